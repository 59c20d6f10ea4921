# make package: a Debian package of everything make install installs, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lexicorn-wizard)
set(CPACK_PACKAGE_VENDOR "Lexicorn Wizard developers")
set(CPACK_PACKAGE_CONTACT "${LEXICORN_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "string table compiler for multilingual embedded software")
# The extended description as Debian has it: lines of at most 79 characters.
set(CPACK_PACKAGE_DESCRIPTION
    "Lexicorn Wizard compiles the user-interface texts of multilingual embedded
software from a string table (a .xlsx, .ods or .xls workbook or CSV text)
into a Lexicorn image: one compact binary string database, plus the C sources
and the string-id enumeration that a target project compiles with it. It
places images into firmware files.

The package holds the window (lexicorn-wizard), the command line (lexicorn),
the C runtime that reads images on the target (sources, static library,
pkg-config file), the CMake package (find_package(Lexicorn) with
lexicorn_add_strings), the manual and the manual pages.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
# Folders as Debian's policy has them, whatever the umask of the build.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
