# lexicorn_add_strings(TARGET <target> TABLE <file>
#                      [LANGUAGES <code>...] [ENCODING ascii|wide|utf8] [TABLE_TYPE 16|32]
#                      [ALIGN 1|2|4] [BYTE_ORDER little|big] [PROJECT <file.lxn>]
#                      [OUTPUT_DIR <dir>])
#
# Builds the string table with `lexicorn build` when <target> is built, and again whenever the table
# or the project file changes (and only then). Lexicorn.c, StringList.h and LXNApiCfg.h become
# sources of <target>, and their folder (OUTPUT_DIR, by default lexicorn/<target> in the current
# binary folder) is on its include path; Lexicorn.bin is written beside them. The target reads the
# strings through the runtime: link it with Lexicorn::runtime.
#
# Relative paths of TABLE and PROJECT are taken from the current source folder, of OUTPUT_DIR from
# the current binary folder. Options given here win over the project file, as on the command line.
# Call it in the folder (CMakeLists.txt) that creates <target>.
function(lexicorn_add_strings)
    cmake_parse_arguments(PARSE_ARGV 0 arg ""
                          "TARGET;TABLE;ENCODING;TABLE_TYPE;ALIGN;BYTE_ORDER;PROJECT;OUTPUT_DIR" "LANGUAGES")
    if(arg_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "lexicorn_add_strings: unknown arguments: ${arg_UNPARSED_ARGUMENTS}")
    endif()
    if(NOT arg_TARGET OR NOT arg_TABLE)
        message(FATAL_ERROR "lexicorn_add_strings: TARGET and TABLE are required")
    endif()
    if(NOT TARGET ${arg_TARGET})
        message(FATAL_ERROR "lexicorn_add_strings: there is no target named ${arg_TARGET}")
    endif()

    cmake_path(ABSOLUTE_PATH arg_TABLE BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}" NORMALIZE
               OUTPUT_VARIABLE table)
    set(outputDir "${CMAKE_CURRENT_BINARY_DIR}/lexicorn/${arg_TARGET}")
    if(DEFINED arg_OUTPUT_DIR)
        cmake_path(ABSOLUTE_PATH arg_OUTPUT_DIR BASE_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}" NORMALIZE
                   OUTPUT_VARIABLE outputDir)
    endif()
    set(arguments build "${table}" -o "${outputDir}" -q)
    set(inputs "${table}")

    # The values `lexicorn build` takes, refused here already rather than when the target is built.
    foreach(setting IN ITEMS "ENCODING;--encoding;ascii|wide|utf8" "TABLE_TYPE;--table;16|32"
                             "ALIGN;--align;1|2|4" "BYTE_ORDER;--byte-order;little|big")
        list(GET setting 0 keyword)
        list(GET setting 1 option)
        list(GET setting 2 words)
        if(NOT DEFINED arg_${keyword})
            continue()
        endif()
        string(REPLACE "|" ";" allowed "${words}")
        if(NOT arg_${keyword} IN_LIST allowed)
            message(FATAL_ERROR "lexicorn_add_strings: ${keyword} takes ${words}, not '${arg_${keyword}}'")
        endif()
        list(APPEND arguments ${option} ${arg_${keyword}})
    endforeach()
    if(arg_LANGUAGES)
        list(JOIN arg_LANGUAGES "," codes)
        list(APPEND arguments --languages "${codes}")
    endif()
    if(DEFINED arg_PROJECT)
        cmake_path(ABSOLUTE_PATH arg_PROJECT BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}" NORMALIZE
                   OUTPUT_VARIABLE project)
        list(APPEND arguments -p "${project}")
        list(APPEND inputs "${project}")
    endif()

    set(sources "${outputDir}/Lexicorn.c" "${outputDir}/StringList.h" "${outputDir}/LXNApiCfg.h")
    add_custom_command(
        OUTPUT "${outputDir}/Lexicorn.bin" ${sources}
        COMMAND Lexicorn::lexicorn ${arguments}
        DEPENDS ${inputs}
        COMMENT "Building the strings of ${arg_TARGET} from ${arg_TABLE}"
        VERBATIM)
    target_sources(${arg_TARGET} PRIVATE ${sources})
    target_include_directories(${arg_TARGET} PRIVATE "${outputDir}")
endfunction()
