# What `make install` puts beside the programs for the projects that use them: the README and the
# runtime's guide with the examples that build with the CMake package (find_package(Lexicorn)), the
# package itself and the runtime's pkg-config file.
include(CMakePackageConfigHelpers)

install(FILES README.md docs/runtime.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY examples/cmake examples/arm DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

# The package is found by the machine that builds, for its own programs and for firmware of any
# processor: in share/, where a cross build looks as well, with a version that holds whatever the
# target's pointer size.
set(LEXICORN_CMAKE_DIR ${CMAKE_INSTALL_DATADIR}/cmake/Lexicorn)
set(LEXICORN_RUNTIME_SOURCE_DIR ${CMAKE_INSTALL_DATADIR}/lexicorn/runtime)
install(EXPORT LexicornTargets NAMESPACE Lexicorn:: DESTINATION ${LEXICORN_CMAKE_DIR})
configure_package_config_file(cmake/LexicornConfig.cmake.in ${PROJECT_BINARY_DIR}/LexicornConfig.cmake
                              INSTALL_DESTINATION ${LEXICORN_CMAKE_DIR}
                              PATH_VARS CMAKE_INSTALL_BINDIR LEXICORN_RUNTIME_SOURCE_DIR)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/LexicornConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
install(FILES ${PROJECT_BINARY_DIR}/LexicornConfig.cmake ${PROJECT_BINARY_DIR}/LexicornConfigVersion.cmake
              cmake/LexicornStrings.cmake
        DESTINATION ${LEXICORN_CMAKE_DIR})

# The pkg-config file finds the prefix from its own place, so that it holds wherever the files are
# installed (a staging folder, a package).
set(pkgconfigDir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
cmake_path(ABSOLUTE_PATH pkgconfigDir BASE_DIRECTORY ${CMAKE_INSTALL_PREFIX} OUTPUT_VARIABLE fullPkgconfigDir)
file(RELATIVE_PATH LEXICORN_PC_TO_PREFIX ${fullPkgconfigDir} ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" LEXICORN_PC_TO_PREFIX "${LEXICORN_PC_TO_PREFIX}")
foreach(kind LIBDIR INCLUDEDIR)
    if(IS_ABSOLUTE "${CMAKE_INSTALL_${kind}}")
        set(LEXICORN_PC_${kind} "${CMAKE_INSTALL_${kind}}")
    else()
        set(LEXICORN_PC_${kind} "\${prefix}/${CMAKE_INSTALL_${kind}}")
    endif()
endforeach()
configure_file(cmake/lexicorn.pc.in ${PROJECT_BINARY_DIR}/lexicorn.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/lexicorn.pc DESTINATION ${pkgconfigDir})
