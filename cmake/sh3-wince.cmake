# sh3-wince.cmake: cross toolchain for the SH-3 device build: Hitachi SH-3
# code for Windows CE (the HP Jornada 525 and 548's SH7709A) from Debian's sh4
# Linux compiler. The PE image itself is laid out by platform/ce, as for ARM
# and MIPS.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR sh3)
set(CE_DEVICE ON)
set(CE_CPU sh3)
set(CE_TOOL_PREFIX sh4-linux-gnu-)

set(CMAKE_C_COMPILER sh4-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER sh4-linux-gnu-g++)
set(CMAKE_ASM_COMPILER sh4-linux-gnu-gcc)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

# The compiler has no SH-3 target: SH-4 without its FPU is the nearest, and
# the assembler then refuses every instruction the SH-3 lacks. Little-endian,
# as every SH CE device runs. Division by libgcc's div1 routines, which use no
# FPU. wchar_t is UTF-16 and enums are int-sized, as in the device's headers.
set(CE_SH3_FLAGS "-m4-nofpu -ml -mdiv=call-div1 -Wa,-isa=sh3 -fno-pic -fno-pie -fshort-wchar -fno-short-enums -ffreestanding -ffunction-sections -fdata-sections -fno-asynchronous-unwind-tables -fno-unwind-tables")
set(CMAKE_C_FLAGS_INIT "${CE_SH3_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${CE_SH3_FLAGS} -fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-use-cxa-atexit")
set(CMAKE_ASM_FLAGS_INIT "-m4-nofpu -ml -Wa,-isa=sh3")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-no-pie -Wl,-z,noexecstack -Wl,--build-id=none")

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Every C and C++ file of the programs is compiled through the guard against
# the compiler's faulty sh_treg_combine pass: the top-level CMakeLists.txt
# sets it for CE_CPU sh3 (platform/ce/sh3/treg_guard.py).
