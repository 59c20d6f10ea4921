# Bare-metal ARM Cortex-M with Debian's gcc-arm-none-eabi and libnewlib-arm-none-eabi, as a firmware
# project's toolchain file usually reads: programs of the machine that builds, libraries, headers
# and packages only from the target's root.
#
#   cmake -S examples/arm -B build-arm -DCMAKE_TOOLCHAIN_FILE=examples/arm/arm-none-eabi.cmake \
#         -DARM_CPU=cortex-m4
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-none-eabi-gcc)
# Programs need a start-up and a memory layout of their own; the compiler's checks build a library.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(ARM_CPU cortex-m0 CACHE STRING "The processor: cortex-m0, cortex-m0plus, cortex-m3, cortex-m4, ...")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ARM_CPU)
set(CMAKE_C_FLAGS_INIT "-mcpu=${ARM_CPU} -mthumb")
set(CMAKE_C_FLAGS_MINSIZEREL_INIT "-Os -DNDEBUG")

set(CMAKE_FIND_ROOT_PATH /usr/lib/arm-none-eabi)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
