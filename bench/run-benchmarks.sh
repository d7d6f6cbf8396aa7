#!/bin/bash
# run-benchmarks.sh: prints the figures behind the README's performance table:
# start-to-exit time under Wine of ForegroundDismisser beside an empty GUI
# program started the same way, and callgrind's instruction count per press
# on the host and of ARM instructions on the device for growing Z orders.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20}

scripts/install-deps.sh
cmake --preset host >/dev/null
cmake --build --preset host -j"$(nproc)" --target press_bench device_press_bench >/dev/null
cmake --preset ce-arm >/dev/null
cmake --build --preset ce-arm -j"$(nproc)" >/dev/null
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j"$(nproc)" --target ForegroundDismisser empty_gui launch_timer >/dev/null

wine_exe() { echo "Z:$(realpath "$1" | tr / '\\')"; }
timer=build/win64/bench/launch_timer.exe
closer=$(wine_exe build/win64/closer/ForegroundDismisser.exe)
empty=$(wine_exe build/win64/bench/empty_gui.exe)

time_of() {
    tests/wine/run-under-wine.sh "$timer" "$1" "$2" "$runs" | tr -d '\r' | tail -n 1
}

echo "Start to exit under Wine, median of $runs runs (ms):"
empty_plain=$(time_of "$empty" plain)
closer_plain=$(time_of "$closer" plain)
closer_shell=$(time_of "$closer" shell)
printf '  %-44s %8s\n' "empty GUI program" "$empty_plain"
printf '  %-44s %8s  (x%s)\n' "ForegroundDismisser, plain window in front" "$closer_plain" \
    "$(awk -v a="$closer_plain" -v b="$empty_plain" 'BEGIN{printf "%.2f", a/b}')"
printf '  %-44s %8s  (x%s)\n' "ForegroundDismisser, settings page in front" "$closer_shell" \
    "$(awk -v a="$closer_shell" -v b="$empty_plain" 'BEGIN{printf "%.2f", a/b}')"

echo
echo "Instructions per press on the host, \"/ns\" with a settings page in front and"
echo "every window below it hidden (the whole Z order is walked and classified):"
printf '  %-18s %16s %16s\n' "windows below" "whole press" "closer's own"
out=$(mktemp -d)
for n in 10 100 1000; do
    valgrind --tool=callgrind --callgrind-out-file="$out/cg.$n" \
        --toggle-collect='RunCloseCommand*' build/host/bench/press_bench "$n" >/dev/null 2>&1
    total=$(callgrind_annotate --auto=no "$out/cg.$n" 2>/dev/null | awk '/PROGRAM TOTALS/ {gsub(",","",$1); print $1}')
    own=$(callgrind_annotate --auto=no --threshold=100 "$out/cg.$n" 2>/dev/null |
        awk '/closer\/(window_rules|close_command|window_lock)\.cpp:/ {gsub(",","",$1); s+=$1} END {print s+0}')
    printf '  %-18s %16s %16s\n' "$n" "$total" "$own"
done
rm -rf "$out"
echo "(whole press: everything under RunCloseCommand, the host stand-in's model"
echo " of the window manager included; closer's own: the closer's code alone)"

echo
echo "ARM instructions per press on the device (ForegroundDismisser.exe on the"
echo "emulated SA-1110), same scenes; the system libraries' own work not counted:"
build/host/bench/device_press_bench build/ce-arm/closer/ForegroundDismisser.exe 10 100 1000
if [ -f build/ce-mips/closer/ForegroundDismisser.exe ]; then
    echo
    echo "MIPS instructions per press (the VR41xx build, MIPS II, on Unicorn's 4Kc"
    echo "under the runner's VR41xx guard), same scenes:"
    build/host/bench/device_press_bench build/ce-mips/closer/ForegroundDismisser.exe 10 100 1000
fi
if [ -f build/ce-sh3/closer/ForegroundDismisser.exe ]; then
    echo
    echo "SH-3 (the same scenes pressed on qemu-sh4; qemu gives no instruction count):"
    build/host/bench/device_press_bench build/ce-sh3/closer/ForegroundDismisser.exe 10 100 1000
fi
