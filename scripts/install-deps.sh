#!/bin/bash
# install-deps.sh: installs, on Debian 12, everything the builds, the tests and
# the demo need. Does nothing when all of it is already there.
set -euo pipefail

packages=(
    cmake make g++ libgtest-dev           # host build and tests
    clang libclang-rt-14-dev valgrind     # sanitizers, fuzzing, instruction counts
    mingw-w64 g++-mingw-w64-x86-64        # the desktop programs, and resources for all
    gcc-arm-none-eabi binutils-arm-none-eabi  # the device programs (ARMv4)
    gcc-mipsel-linux-gnu g++-mipsel-linux-gnu binutils-mipsel-linux-gnu  # the MIPS device programs (VR41xx)
    gcc-sh4-linux-gnu g++-sh4-linux-gnu   # the SH-3 device programs (SH-4 compiler, SH-3 code)
    binutils-sh-elf                       # SH-3-only disassembler for the image check
    qemu-user-static                      # runs the device programs' SH code
    python3-pefile                        # lays out and checks the device images
    gcab cabextract                       # the device installation cabinet, and reading it back
    libunicorn-dev pkgconf                # runs the device programs' ARM code
    wine wine64                           # running them
    xvfb xauth x11-utils imagemagick      # a screen for Wine and screenshots of it
    fonts-noto-cjk fonts-ipafont-gothic   # Japanese text on that screen
    python3                               # draws the icon and the logo at build time
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=
[ "$(id -u)" -ne 0 ] && sudo=sudo
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
