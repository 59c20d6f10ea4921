# make package: two Debian packages of what make install installs, under /usr. `lexicorn` holds the
# command line, the runtime, the CMake package and their documentation, and needs no Qt, for
# machines that build without a display; `lexicorn-wizard` holds the window and depends on it.
# The Windows build packs what it installs into a zip: lexicorn.exe, the manual, the runtime's
# sources and library, the CMake package.
if(WIN32)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_NAME lexicorn)
    set(CPACK_PACKAGE_FILE_NAME lexicorn-${PROJECT_VERSION}-windows-x64)
    set(CPACK_STRIP_FILES ON)
    include(CPack)
    return()
endif()
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL lexicorn)
if(LEXICORN_GUI)
    list(APPEND CPACK_COMPONENTS_ALL lexicorn-wizard)
endif()
set(CPACK_PACKAGE_NAME lexicorn-wizard)
set(CPACK_PACKAGE_VENDOR "Lexicorn Wizard developers")
set(CPACK_PACKAGE_CONTACT "${LEXICORN_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Each description as Debian has it: the summary, then lines of at most 79 characters.
set(CPACK_DEBIAN_LEXICORN_PACKAGE_NAME lexicorn)
set(CPACK_DEBIAN_LEXICORN_DESCRIPTION
    "string table compiler for multilingual embedded software
Lexicorn compiles the user-interface texts of multilingual embedded software
from a string table (a .xlsx, .ods or .xls workbook or CSV text) into a
Lexicorn image: one compact binary string database, plus the C sources and
the string-id enumeration that a target project compiles with it. It places
images into firmware files.

The package holds the command line (lexicorn), the C runtime that reads
images on the target (sources, static library, pkg-config file), the CMake
package (find_package(Lexicorn) with lexicorn_add_strings, also for cross
builds), the manual, the manual page and the shell's completion. The window
is in the package lexicorn-wizard.")
set(CPACK_DEBIAN_LEXICORN-WIZARD_PACKAGE_NAME lexicorn-wizard)
set(CPACK_DEBIAN_LEXICORN-WIZARD_DESCRIPTION
    "desktop window of the Lexicorn string table compiler
Lexicorn Wizard compiles the user-interface texts of multilingual embedded
software from a string table into a Lexicorn image, and places images into
firmware files, in a desktop window: load a table, choose its languages and
settings, build; choose an image and a firmware file, merge.

The package holds the window (lexicorn-wizard), its manual page, a desktop
entry with the icon, and the file type of .lxn projects. The command line,
the runtime and the manual are in the package lexicorn, which it depends
on.")
set(CPACK_COMPONENT_LEXICORN-WIZARD_DEPENDS lexicorn)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
# The completion does nothing until bash-completion loads it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS bash-completion)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
# Folders as Debian's policy has them, whatever the umask of the build.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# Debian's packages hold no compiler notes (.comment), which strip leaves in: the packaged programs
# and the runtime library lose them when they are installed stripped, as packages are made.
function(lexicorn_remove_compiler_notes component)
    install(CODE "if(CMAKE_INSTALL_DO_STRIP)
    foreach(file IN ITEMS ${ARGN})
        execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
                                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${file}\" COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
endif()" COMPONENT ${component})
endfunction()
lexicorn_remove_compiler_notes(lexicorn ${CMAKE_INSTALL_BINDIR}/lexicorn
                               ${CMAKE_INSTALL_LIBEXECDIR}/lexicorn/lexicorn-xls-reader
                               ${CMAKE_INSTALL_LIBDIR}/liblexicorn_runtime.a)
if(LEXICORN_GUI)
    lexicorn_remove_compiler_notes(lexicorn-wizard ${CMAKE_INSTALL_BINDIR}/lexicorn-wizard)
endif()

include(CPack)
