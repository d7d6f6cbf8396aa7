#!/bin/bash
# demo.sh: the main job. Builds the Windows programs and shows ForegroundDismisser
# dismissing windows on a Pocket PC-like screen under Wine, with screenshots,
# then one press by each device build (ARM, MIPS, SH-3) under the CE runner,
# and the installation cabinets read back.
#
# Usage: scripts/demo.sh
# Output: a report per press on stdout (also in out/demo/demo.txt) and
# out/demo/pressN-before.png, pressN-after.png, the button pressed end to end
# (out/demo/button.txt, button-before.png, button-after.png), and
# out/demo/device-press[-mips|-sh3].txt and out/demo/cab[-mips|-sh3].txt.
# Uses $DISPLAY when it answers,
# otherwise a private 240x320 Xvfb.
set -u

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root" || exit 1

bash scripts/install-deps.sh || exit 1

build="$root/build/win64"
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake --preset win64 || exit 1
fi
cmake --build --preset win64 || exit 1

closer="$build/closer/ForegroundDismisser.exe"
screen="$build/demo/demo_screen.exe"
for program in "$closer" "$screen"; do
    if [ ! -f "$program" ]; then
        echo "demo.sh: $program was not built" >&2
        exit 1
    fi
done

out="$root/out/demo"
mkdir -p "$out"
rm -f "$out"/press*.png "$out"/demo.txt

. "$root/tests/wine/x-display.sh"
# A Pocket PC's screen, when the display is our own.
WINE_TEST_SCREEN=240x320x24 wine_test_display_start || exit 1
trap wine_test_display_stop EXIT
. "$root/scripts/demo-snaps.sh"

echo "== ForegroundDismisser on a Pocket PC screen (Wine, display $DISPLAY) =="
echo
run_with_snaps demo.txt "$screen" "$closer" --snap-dir "$out"

# ---------------------------------------------------------------------------
# KeyAssigner. Its part of the demo lives in scripts/demo-assigner.sh, which
# finds the build in DEMO_BUILD_DIR, writes to DEMO_OUT_DIR and may use the
# same DISPLAY.
# ---------------------------------------------------------------------------
echo
DEMO_BUILD_DIR="$build" DEMO_OUT_DIR="$root/out" bash "$root/scripts/demo-assigner.sh" || exit 1

# ---------------------------------------------------------------------------
# The two together: both programs installed in one folder, a button
# registered with "/n" by KeyAssigner run from there, and the command it wrote
# started over a Settings page as the shell starts it. Report in
# out/demo/button.txt, the screen in button-before.png and button-after.png.
# ---------------------------------------------------------------------------
press="$build/tests/wine/button/button_press.exe"
if [ ! -f "$press" ]; then
    echo "demo.sh: $press was not built" >&2
    exit 1
fi
rm -f "$out"/button-*.png "$out"/button.txt
echo
run_with_snaps button.txt "$press" "$build/assigner/KeyAssigner.exe" "$closer" --demo "$out"

# ---------------------------------------------------------------------------
# The device builds: one press by ForegroundDismisser.exe as built for each
# Pocket PC CPU, its own machine code run by the CE runner (ARM on an
# emulated StrongARM, MIPS on Unicorn's MIPS under the VR41xx guard, SH-3 on
# qemu-sh4), printing every system call it makes.
# ---------------------------------------------------------------------------
cmake --preset host >/dev/null || exit 1
cmake --build --preset host --target device_demo || exit 1
for cpu in arm mips sh3; do
    echo
    echo "== The device build: one press, ce-$cpu code under the CE runner =="
    cmake --preset "ce-$cpu" >/dev/null || exit 1
    cmake --build --preset "ce-$cpu" || exit 1
    echo
    suffix=$([ "$cpu" = arm ] || echo "-$cpu")
    "$root/build/host/demo/device_demo" "$root/build/ce-$cpu/closer/ForegroundDismisser.exe" /n |
        tee "$out/device-press$suffix.txt"
    [ "${PIPESTATUS[0]}" -eq 0 ] || exit 1
done

# ---------------------------------------------------------------------------
# The installation cabinets a Pocket PC user taps, one per CPU, read back:
# where each file goes, the Start menu shortcut, and what the device must
# be; then the Application Manager's file that offers them from the PC.
# ---------------------------------------------------------------------------
status=0
for cpu in arm mips sh3; do
    echo
    echo "== The ce-$cpu installation cabinet, read back =="
    cab=$(ls "$root"/build/ce-$cpu/ForegroundDismisser-*-ce-$cpu.cab)
    echo "$cab"
    suffix=$([ "$cpu" = arm ] || echo "-$cpu")
    /usr/bin/python3 "$root/tests/ce/check_cab.py" "$cab" --cabextract "$(command -v cabextract)" \
        --cpu "$cpu" \
        --closer "$root/build/ce-$cpu/closer/ForegroundDismisser.exe" \
        --assigner "$root/build/ce-$cpu/assigner/KeyAssigner.exe" | tee "$out/cab$suffix.txt"
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
done
echo
echo "== ForegroundDismisser.ini, for ActiveSync's Application Manager =="
cat "$root"/build/ce-arm/ForegroundDismisser.ini
exit "$status"
