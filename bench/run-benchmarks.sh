#!/bin/bash
# run-benchmarks.sh: prints the figures behind the performance table of
# docs/DEVELOPING.md:
# start-to-exit time under Wine of ForegroundDismisser beside an empty GUI
# program started the same way, the two taking turns, and callgrind's
# instruction count per press on the host and of ARM instructions on the
# device for growing Z orders.
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

# The empty program and the closer take turns, run by run, in one timer:
# prints the median of each and the median and quartiles of the closer's
# runs each over the empty run beside it, figures that drift of the machine
# cancels.
time_of() {
    platform/wine/run-under-wine.sh "$timer" "$empty" "$closer" "$1" "$runs" | tr -d '\r' | tail -n 1
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.2f", a/b}'; }

echo "Start to exit under Wine, median of $runs runs (ms), the empty program and"
echo "the closer taking turns; \"paired\": median of each closer run over the empty"
echo "run beside it, and the middle half of those ratios:"
for scene in plain shell; do
    read -r empty_ms closer_ms paired low high <<<"$(time_of $scene)"
    if [ $scene = plain ]; then front="plain window in front"; else front="settings page in front"; fi
    printf '  %-44s %8s\n' "empty GUI program, $front" "$empty_ms"
    printf '  %-44s %8s  (x%s, paired x%s, middle half x%s-x%s)\n' \
        "ForegroundDismisser, $front" "$closer_ms" "$(ratio "$closer_ms" "$empty_ms")" \
        "$paired" "$low" "$high"
done

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
echo "(whole press: everything under RunCloseCommand, the stand-in's model"
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
