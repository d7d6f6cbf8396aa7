# mipsel-wince.cmake: cross toolchain for the device build's MIPS programs:
# code for the NEC VR41xx Pocket PCs (VR4121, VR4122) from Debian's mipsel
# Linux compiler, used without its C library, start files or libgcc. The PE
# image is laid out by platform/ce, as for ARM.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR mips)
set(CE_DEVICE ON)
set(CE_CPU mips)
set(CE_TOOL_PREFIX mipsel-linux-gnu-)

set(CMAKE_C_COMPILER mipsel-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER mipsel-linux-gnu-g++)
set(CMAKE_ASM_COMPILER mipsel-linux-gnu-gcc)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

# MIPS II, which CE's own MIPS compiler targets on these chips: no FPU, no
# LL/SC, no MIPS32 or 64-bit instructions. o32 with every argument word in
# a0-a3 and the caller's 16-byte home area is CE's MIPS convention. No $gp:
# -mno-abicalls -fno-pic -G0 address everything absolutely. -mfix-vr4120
# sends signed division to helpers that avoid the VR4120 core's divide
# erratum (platform/ce/divide_mips.c); -mdivide-breaks traps a zero divisor
# with BREAK 7, as CE's compiler does.
set(CE_MIPS_FLAGS "-march=mips2 -mtune=vr4120 -mfix-vr4120 -mabi=32 -mno-abicalls -mno-shared -fno-pic -fno-pie -G0 -msoft-float -mno-llsc -mdivide-breaks -mno-mips16 -mno-micromips -fno-asynchronous-unwind-tables -fno-unwind-tables")
set(CMAKE_C_FLAGS_INIT "${CE_MIPS_FLAGS} -fshort-wchar -fno-short-enums -ffreestanding -ffunction-sections -fdata-sections")
set(CMAKE_CXX_FLAGS_INIT "${CMAKE_C_FLAGS_INIT} -fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-use-cxa-atexit")
set(CMAKE_ASM_FLAGS_INIT "-march=mips2 -mabi=32 -mno-abicalls -fno-pic -msoft-float -G0")
# Debian's compiler links position-independent executables by default.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -no-pie -Wl,--build-id=none")

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
