#!/bin/bash
# demo.sh: the main job. Builds the Windows programs and shows ForegroundDismisser
# dismissing windows on a Pocket PC-like screen under Wine, with screenshots,
# then one press by the device (ARM) build under the CE runner, and the
# device's installation cabinet read back.
#
# Usage: scripts/demo.sh
# Output: a report per press on stdout (also in out/demo/demo.txt) and
# out/demo/pressN-before.png, pressN-after.png, the button pressed end to end
# (out/demo/button.txt, button-before.png, button-after.png), and
# out/demo/device-press.txt and out/demo/cab.txt.
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
# The device build: one press by ForegroundDismisser.exe as built for Pocket
# PC (ARM), its own machine code run on an emulated StrongARM by the CE
# runner, printing every system call it makes.
# ---------------------------------------------------------------------------
echo
echo "== The device build: one press, ARM code under the CE runner =="
cmake --preset ce-arm >/dev/null || exit 1
cmake --build --preset ce-arm || exit 1
cmake --preset host >/dev/null || exit 1
cmake --build --preset host --target device_demo || exit 1
echo
"$root/build/host/demo/device_demo" "$root/build/ce-arm/closer/ForegroundDismisser.exe" /n |
    tee "$out/device-press.txt"
[ "${PIPESTATUS[0]}" -eq 0 ] || exit 1

# ---------------------------------------------------------------------------
# The installation cabinet a Pocket PC user taps, read back: where each
# file goes, the Start menu shortcut, and what the device must be.
# ---------------------------------------------------------------------------
echo
echo "== The installation cabinet, read back =="
cab=$(ls "$root"/build/ce-arm/ForegroundDismisser-*-ce-arm.cab)
echo "$cab"
/usr/bin/python3 "$root/tests/ce/check_cab.py" "$cab" --cabextract "$(command -v cabextract)" \
    --closer "$root/build/ce-arm/closer/ForegroundDismisser.exe" \
    --assigner "$root/build/ce-arm/assigner/KeyAssigner.exe" | tee "$out/cab.txt"
exit "${PIPESTATUS[0]}"
