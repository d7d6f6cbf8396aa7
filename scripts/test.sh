#!/bin/bash
# test.sh: every test: the device programs (ARM, MIPS, SH-3) built first, since
# the host tables run them too; the host suite against the stand-in, the same suite
# under ASan and UBSan, a short pass of each fuzzer, the desktop programs
# under Wine, and last the checks of the device images (their resources are
# compared with the desktop build's).
#
# Usage: scripts/test.sh [host]
#   host  the inner loop: the three device builds and the host suite only,
#         with nothing installed (the packages must be there already)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

case "${1:-all}" in
all) only_host=false ;;
host) only_host=true ;;
*)
    echo "usage: scripts/test.sh [host]" >&2
    exit 2
    ;;
esac

if ! "$only_host"; then
    scripts/install-deps.sh
fi

for preset in ce-arm ce-mips ce-sh3; do
    echo "== device programs (Windows CE, $preset)"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j"$jobs"
done

echo "== host"
cmake --preset host >/dev/null
cmake --build --preset host -j"$jobs"
ctest --preset host
if "$only_host"; then
    exit 0
fi

echo "== host under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset host-asan >/dev/null
cmake --build --preset host-asan -j"$jobs"
ctest --preset host-asan

echo "== fuzzers, smoke pass"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$jobs" --target windows_fuzzer registry_fuzzer pe_image_fuzzer
ctest --preset fuzz -R '^fuzz_'

echo "== win64 under Wine"
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j"$jobs"
ctest --preset win64

echo "== device images"
ctest --preset ce-arm
ctest --preset ce-mips
ctest --preset ce-sh3

echo "== installed folders, release archives (DeviceReport's too), the device"
echo "   cabinets and the Application Manager's file, in dist/"
for preset in win64 ce-arm ce-mips ce-sh3; do
    cmake --install "build/$preset" >/dev/null
    (cd "build/$preset" && cpack >/dev/null)
done
cp build/ce-arm/ForegroundDismisser-*-ce-arm.cab build/ce-mips/ForegroundDismisser-*-ce-mips.cab \
   build/ce-sh3/ForegroundDismisser-*-ce-sh3.cab build/ce-arm/ForegroundDismisser.ini dist/
ls -l dist/*.zip dist/*.cab dist/*.ini
