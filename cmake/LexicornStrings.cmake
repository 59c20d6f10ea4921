# lexicorn_add_strings(TARGET <target> TABLE <file>
#                      [PROJECT <file.lxn>] [OUTPUT_DIR <dir>] [LANGUAGES <code>...]
#                      [ENCODING ascii|wide|utf8] [TABLE_TYPE 16|32] [ALIGN 1|2|4]
#                      [BYTE_ORDER little|big] [CODE_PAGE <name>]
#                      [TARGET_LANGUAGE c|csharp|vb] [TARGET_PLATFORM api|dotnet]
#                      [NO_FILE_SYSTEM | FILE_SYSTEM] [SEARCH_STEP 1|2|4|8|16]
#                      [UNIQUE_ID <hex>] [NOT_STRICT] [OPTIONS <option of lexicorn build>...])
#
# Builds the string table with `lexicorn build` when <target> is built, and again whenever the table
# or the project file changes (and only then). The sources the build writes (Lexicorn.c,
# StringList.h and LXNApiCfg.h for a C target) become sources of <target>, and their folder
# (OUTPUT_DIR, by default lexicorn/<target> in the current binary folder) is on its include path;
# Lexicorn.bin is written beside them. The target reads the strings through the runtime: link it
# with Lexicorn::runtime_sources (compiled with the target's flags, for any processor) or, for a
# program of this machine, Lexicorn::runtime.
#
# Each keyword is the option of `lexicorn build` of the same name, and wins over the project file
# as on the command line; OPTIONS go to `lexicorn build` as they are. Without NO_FILE_SYSTEM or
# FILE_SYSTEM, a bare-metal cross build (CMAKE_SYSTEM_NAME Generic) has no file system
# (LXNCFG_API_FOR_ROM 1); any other build takes the project's choice, else a file system (0), as
# the window and `lexicorn build` do. A value that `lexicorn
# build` does not take is refused when CMake configures. The table check is strict: its warnings
# (white space that differs from the default language's) fail the build with their cells named,
# unless NOT_STRICT; its errors (placeholders that differ, ids that repeat) fail it always. The
# unique id is the same for every build, so that a build with no change of the table gives the
# same files: UNIQUE_ID, else SOURCE_DATE_EPOCH's when it is set when CMake configures, else one
# made from the project's and the target's names.
#
# Relative paths of TABLE and PROJECT are taken from the current source folder, of OUTPUT_DIR from
# the current binary folder. Call it in the folder (CMakeLists.txt) that creates <target>.
function(lexicorn_add_strings)
    set(valued TARGET TABLE PROJECT OUTPUT_DIR ENCODING TABLE_TYPE ALIGN BYTE_ORDER CODE_PAGE TARGET_LANGUAGE
               TARGET_PLATFORM SEARCH_STEP UNIQUE_ID)
    cmake_parse_arguments(PARSE_ARGV 0 arg "NO_FILE_SYSTEM;FILE_SYSTEM;NOT_STRICT" "${valued}" "LANGUAGES;OPTIONS")
    if(arg_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "lexicorn_add_strings: unknown arguments: ${arg_UNPARSED_ARGUMENTS}")
    endif()
    if(NOT arg_TARGET OR NOT arg_TABLE)
        message(FATAL_ERROR "lexicorn_add_strings: TARGET and TABLE are required")
    endif()
    if(NOT TARGET ${arg_TARGET})
        message(FATAL_ERROR "lexicorn_add_strings: there is no target named ${arg_TARGET}")
    endif()
    if(arg_NO_FILE_SYSTEM AND arg_FILE_SYSTEM)
        message(FATAL_ERROR "lexicorn_add_strings: NO_FILE_SYSTEM or FILE_SYSTEM, not both")
    endif()

    cmake_path(ABSOLUTE_PATH arg_TABLE BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}" NORMALIZE
               OUTPUT_VARIABLE table)
    set(outputDir "${CMAKE_CURRENT_BINARY_DIR}/lexicorn/${arg_TARGET}")
    if(DEFINED arg_OUTPUT_DIR)
        cmake_path(ABSOLUTE_PATH arg_OUTPUT_DIR BASE_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}" NORMALIZE
                   OUTPUT_VARIABLE outputDir)
    endif()
    # -q keeps the summary out of the build's log; no error and no refusing warning is kept back.
    set(arguments build "${table}" -o "${outputDir}" -q)
    if(NOT arg_NOT_STRICT)
        list(APPEND arguments --strict)
    endif()
    set(inputs "${table}")

    # The values `lexicorn build` takes, refused here already rather than when the target is built.
    foreach(setting IN ITEMS "ENCODING;--encoding;ascii|wide|utf8" "TABLE_TYPE;--table;16|32"
                             "ALIGN;--align;1|2|4" "BYTE_ORDER;--byte-order;little|big"
                             "TARGET_LANGUAGE;--target-language;c|csharp|vb"
                             "TARGET_PLATFORM;--target-platform;api|dotnet"
                             "SEARCH_STEP;--search-step;1|2|4|8|16")
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
    if(DEFINED arg_CODE_PAGE)
        list(APPEND arguments --code-page "${arg_CODE_PAGE}")
    endif()
    # A bare-metal cross build (CMAKE_SYSTEM_NAME Generic) has no file system unless told; elsewhere
    # the project's choice stands, as in the window.
    if(arg_NO_FILE_SYSTEM OR (NOT arg_FILE_SYSTEM AND CMAKE_SYSTEM_NAME STREQUAL "Generic"))
        list(APPEND arguments --no-file-system)
    elseif(arg_FILE_SYSTEM)
        list(APPEND arguments --file-system)
    endif()
    if(arg_LANGUAGES)
        list(JOIN arg_LANGUAGES "," codes)
        list(APPEND arguments --languages "${codes}")
    endif()

    if(DEFINED arg_UNIQUE_ID)
        string(REGEX REPLACE "^0[xX]" "" digits "${arg_UNIQUE_ID}")
        string(LENGTH "${digits}" length)
        if(NOT digits MATCHES "^[0-9A-Fa-f]+$" OR length GREATER 8)
            message(FATAL_ERROR "lexicorn_add_strings: UNIQUE_ID takes up to 8 hexadecimal digits, not "
                                "'${arg_UNIQUE_ID}'")
        endif()
        list(APPEND arguments --unique-id "${arg_UNIQUE_ID}")
    elseif(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
        string(MD5 hash "${PROJECT_NAME}/${arg_TARGET}")
        string(SUBSTRING "${hash}" 0 8 stableId)
        list(APPEND arguments --unique-id "0x${stableId}")
    endif()

    # Which sources the build writes follows the target language and platform: the keywords', else
    # the project's (lines 10 and 11), else a C target that compiles the runtime.
    set(language c)
    set(platform api)
    if(DEFINED arg_PROJECT)
        cmake_path(ABSOLUTE_PATH arg_PROJECT BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}" NORMALIZE
                   OUTPUT_VARIABLE project)
        list(APPEND arguments -p "${project}")
        list(APPEND inputs "${project}")
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${project}")
        file(STRINGS "${project}" lines)
        list(LENGTH lines count)
        if(count GREATER 10)
            list(GET lines 9 platformCode)
            list(GET lines 10 languageCode)
            string(STRIP "${platformCode}" platformCode)
            string(STRIP "${languageCode}" languageCode)
            if(platformCode STREQUAL "1")
                set(platform dotnet)
            endif()
            if(languageCode STREQUAL "1")
                set(language csharp)
            elseif(languageCode STREQUAL "2")
                set(language vb)
            endif()
        endif()
    endif()
    if(DEFINED arg_TARGET_LANGUAGE)
        set(language ${arg_TARGET_LANGUAGE})
    endif()
    if(DEFINED arg_TARGET_PLATFORM)
        set(platform ${arg_TARGET_PLATFORM})
    endif()
    list(APPEND arguments ${arg_OPTIONS})

    set(sources)
    if(language STREQUAL "c" AND platform STREQUAL "api")
        list(APPEND sources "${outputDir}/Lexicorn.c")
    endif()
    if(language STREQUAL "csharp")
        list(APPEND sources "${outputDir}/StringList.cs")
    elseif(language STREQUAL "vb")
        list(APPEND sources "${outputDir}/StringList.vb")
    else()
        list(APPEND sources "${outputDir}/StringList.h")
    endif()
    list(APPEND sources "${outputDir}/LXNApiCfg.h")
    add_custom_command(
        OUTPUT "${outputDir}/Lexicorn.bin" ${sources}
        COMMAND Lexicorn::lexicorn ${arguments}
        DEPENDS ${inputs} "$<TARGET_FILE:Lexicorn::lexicorn>"
        COMMENT "Building the strings of ${arg_TARGET} from ${arg_TABLE}"
        VERBATIM)
    target_sources(${arg_TARGET} PRIVATE ${sources})
    target_include_directories(${arg_TARGET} PRIVATE "${outputDir}")
endfunction()
