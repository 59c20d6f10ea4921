# Convenience wrapper around CMake. `make run` and `make test` set everything up on a fresh Debian machine.
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
CORE_BUILD ?= build-core
WINDOWS_BUILD ?= build-windows
JOBS ?= $(shell nproc)

.PHONY: all run test bench deps configure clean install package package-windows windows-deps windows windows-test

all: configure
	cmake --build $(BUILD) -j $(JOBS)

deps:
	scripts/install-deps $(BUILD)

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

# Starts the window when there is a display; without one, builds the example table with the
# command line into out/ and prints the summary.
run: all
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
		$(BUILD)/src/gui/lexicorn-wizard examples/example.lxn; \
	else \
		echo "No display: building examples/strings.csv with the command line instead of starting the window."; \
		$(BUILD)/src/cli/lexicorn build examples/strings.csv -o out; \
	fi

# Everything built; lexicorn.exe built and its command-line tests run under wine (the Windows code is
# the one a Linux workstation never builds, so it comes early); every test, among them the comparison
# of lexicorn.exe's outputs with this build's; every test again built with AddressSanitizer and
# UndefinedBehaviorSanitizer; then the core and the command line built and tested without Qt, as CI
# containers build them. Warnings are errors here, as in CI; packagers may leave LEXICORN_WERROR off.
# The benchmark tools are built too, so that a change that breaks one is seen before someone wants
# its figures.
test: CMAKE_FLAGS += -DLEXICORN_WERROR=ON -DLEXICORN_BUILD_BENCH=ON
test: all windows-test
	ctest --test-dir $(BUILD) -j $(JOBS) --output-on-failure
	cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLEXICORN_SANITIZE=ON -DLEXICORN_WERROR=ON
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	ctest --test-dir $(SANITIZE_BUILD) -j $(JOBS) --output-on-failure
	cmake -S . -B $(CORE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DLEXICORN_GUI=OFF -DLEXICORN_WERROR=ON
	cmake --build $(CORE_BUILD) -j $(JOBS)
	ctest --test-dir $(CORE_BUILD) -j $(JOBS) --output-on-failure

bench: deps
	bench/run
	bench/merge
	bench/memory
	bench/xlsx
	bench/window
	bench/hostile
	bench/memory-readers

# The libraries lexicorn.exe links statically, cross-built with mingw-w64 from Debian's source
# packages into $(WINDOWS_BUILD)/prefix.
windows-deps: deps
	scripts/install-deps --windows-sources $(WINDOWS_BUILD)/sources
	cmake -S packaging/windows -B $(WINDOWS_BUILD)/dependencies -G Ninja \
		-DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake \
		-DLEXICORN_WINDOWS_SOURCES=$(CURDIR)/$(WINDOWS_BUILD)/sources \
		-DLEXICORN_WINDOWS_PREFIX=$(CURDIR)/$(WINDOWS_BUILD)/prefix
	cmake --build $(WINDOWS_BUILD)/dependencies -j $(JOBS)

# A static lexicorn.exe (the command line for 64-bit Windows) and beside it lexicorn-xls-reader.exe in
# $(WINDOWS_BUILD)/lexicorn/src/cli. make test compares their outputs under wine with the Linux
# programs'.
windows: windows-deps
	cmake -S . -B $(WINDOWS_BUILD)/lexicorn -G Ninja -DCMAKE_BUILD_TYPE=Release \
		-DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake \
		-DLEXICORN_WINDOWS_PREFIX=$(CURDIR)/$(WINDOWS_BUILD)/prefix \
		-DLEXICORN_GUI=OFF -DLEXICORN_TEST_INSTALL=OFF -DLEXICORN_HARDENING=OFF
	cmake --build $(WINDOWS_BUILD)/lexicorn -j $(JOBS) --target lexicorn lexicorn-xls-reader

# The command-line tests built for Windows and run under wine.
windows-test: windows
	cmake --build $(WINDOWS_BUILD)/lexicorn -j $(JOBS) --target cli_tests
	ctest --test-dir $(WINDOWS_BUILD)/lexicorn --output-on-failure

install: all
	cmake --install $(BUILD)

# The two Debian packages, from the Linux build alone: $(BUILD)/lexicorn_*.deb (the command line) and
# $(BUILD)/lexicorn-wizard_*.deb (the window).
package: all
	cmake --build $(BUILD) --target package

# A zip of what the Windows build installs: $(WINDOWS_BUILD)/lexicorn/lexicorn-*-windows-x64.zip.
package-windows: windows
	cmake --build $(WINDOWS_BUILD)/lexicorn --target package

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(CORE_BUILD) $(WINDOWS_BUILD) build-release out
