# arm-wince.cmake: cross toolchain for the device build: ARM code for Windows
# CE from Debian's bare-metal ARM compiler. The PE image itself is laid out by
# platform/ce (linker script, headers and import tables).
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CE_DEVICE ON)
set(CE_CPU arm)
set(CE_TOOL_PREFIX arm-none-eabi-)

set(CMAKE_C_COMPILER arm-none-eabi-gcc)
set(CMAKE_CXX_COMPILER arm-none-eabi-g++)
set(CMAKE_ASM_COMPILER arm-none-eabi-gcc)
# No C library to link a test program against.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

# ARMv4 in ARM state: no BX, no Thumb, so the code runs on StrongARM as well
# as on every later core. wchar_t is UTF-16 and enums are int-sized, as in
# the device's own headers. No C library, no exceptions, no RTTI: the only
# outside code is what COREDLL and aygshell export.
set(CE_ARM_FLAGS "-marm -march=armv4 -mfloat-abi=soft -fshort-wchar -fno-short-enums -ffreestanding -ffunction-sections -fdata-sections")
set(CMAKE_C_FLAGS_INIT "${CE_ARM_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${CE_ARM_FLAGS} -fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-use-cxa-atexit")
set(CMAKE_ASM_FLAGS_INIT "-marm -march=armv4")

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
