# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (the POSIX thread model, which
# std::thread and std::mutex need). Libraries are looked for only in the target's folders and in
# LEXICORN_WINDOWS_PREFIX, where the dependencies built from source are staged.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(mingwTriple x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${mingwTriple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingwTriple}-g++-posix)
set(CMAKE_RC_COMPILER ${mingwTriple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${mingwTriple} ${LEXICORN_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The toolchain file is read again by every try_compile: it needs the staging prefix there too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES LEXICORN_WINDOWS_PREFIX)

# One .exe that runs without mingw's DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# pkg-config answers for the target: the staged libraries and mingw's zlib, with what a static link
# of each needs besides (libpng's zlib, libzip's advapi32).
set(ENV{PKG_CONFIG_LIBDIR} "${LEXICORN_WINDOWS_PREFIX}/lib/pkgconfig:/usr/${mingwTriple}/lib/pkgconfig")
set(PKG_CONFIG_ARGN --static)
