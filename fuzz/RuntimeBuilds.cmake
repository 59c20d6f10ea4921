# The target runtime in the configurations a Lexicorn build can write into LXNApiCfg.h, and as the
# prebuilt library, linked side by side under prefixes of their own (fuzz/runtime/RuntimeBuild.c). The
# fuzzer uses them, and so do the tests that replay its findings. Each is compiled with the
# sanitizers of the tree (lexicorn_warnings) and held to the runtime's C99 and -pedantic.
# Keep in step with kRuntimeBuilds in RuntimeBuilds.h.
#   prefix table-type encoding for-ROM search-step
set(lexicornRuntimeBuilds
    "lxn16a LXN_STRTABLE_16 LXN_ENCODING_ANSI 1 2"
    "lxn16u LXN_STRTABLE_16 LXN_ENCODING_UNICODE 0 16"
    "lxn32a LXN_STRTABLE_32 LXN_ENCODING_ANSI 0 4"
    "lxn32u LXN_STRTABLE_32 LXN_ENCODING_UNICODE 1 8")

function(lexicorn_link_runtime_builds target)
    if(NOT TARGET lexicorn_runtime_build_lib)
        set(source ${PROJECT_SOURCE_DIR}/fuzz/runtime/RuntimeBuild.c)
        # The prebuilt library's configuration, from its own header.
        add_library(lexicorn_runtime_build_lib OBJECT ${source})
        target_include_directories(lexicorn_runtime_build_lib PRIVATE ${PROJECT_SOURCE_DIR}/runtime/library
                                                                      ${PROJECT_SOURCE_DIR}/runtime)
        target_compile_definitions(lexicorn_runtime_build_lib PRIVATE LXN_BUILD_PREFIX=lxnlib)
        set(objects lexicorn_runtime_build_lib)
        foreach(build IN LISTS lexicornRuntimeBuilds)
            separate_arguments(values UNIX_COMMAND "${build}")
            list(GET values 0 prefix)
            list(GET values 1 tableType)
            list(GET values 2 encoding)
            list(GET values 3 forRom)
            list(GET values 4 searchStep)
            add_library(lexicorn_runtime_build_${prefix} OBJECT ${source})
            target_include_directories(lexicorn_runtime_build_${prefix}
                PRIVATE ${PROJECT_SOURCE_DIR}/fuzz/runtime/config ${PROJECT_SOURCE_DIR}/runtime)
            target_compile_definitions(lexicorn_runtime_build_${prefix} PRIVATE
                LXN_BUILD_PREFIX=${prefix} LXNCFG_STRTABLE_TYPE=${tableType} LXNCFG_ENCODING_TYPE=${encoding}
                LXNCFG_API_FOR_ROM=${forRom} LXNCFG_SEARCH_STEP=${searchStep})
            list(APPEND objects lexicorn_runtime_build_${prefix})
        endforeach()
        foreach(object IN LISTS objects)
            set_target_properties(${object} PROPERTIES C_STANDARD 99 C_STANDARD_REQUIRED ON C_EXTENSIONS OFF)
            target_compile_options(${object} PRIVATE -pedantic)
            target_link_libraries(${object} PRIVATE lexicorn_warnings)
        endforeach()
        set_property(GLOBAL PROPERTY lexicornRuntimeBuildObjects ${objects})
    endif()
    get_property(objects GLOBAL PROPERTY lexicornRuntimeBuildObjects)
    target_link_libraries(${target} PRIVATE ${objects})
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/runtime)
endfunction()
