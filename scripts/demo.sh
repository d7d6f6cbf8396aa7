#!/bin/bash
# demo.sh: the main job. Builds the Windows programs and shows ForegroundDismisser
# dismissing windows on a Pocket PC-like screen under Wine, with screenshots,
# then one press by each device build (ARM, MIPS, SH-3) under the CE runner,
# DeviceReport's report of a device and a press over it, and the
# installation cabinets read back.
#
# Usage: scripts/demo.sh
# Output: a report per press on stdout (also in out/demo/demo.txt) and
# out/demo/pressN-before.png, pressN-after.png, the button pressed end to end
# (out/demo/button.txt, button-before.png, button-after.png), and
# out/demo/device-press[-mips|-sh3].txt (each device press in full, every
# system call with its arguments), out/demo/DeviceReport.txt (the report)
# with device-report-run.txt and device-report-press.txt, and
# out/demo/cab[-mips|-sh3].txt. The
# builds' output goes to out/demo/build.log.
# Uses $DISPLAY when it answers,
# otherwise a private 240x320 Xvfb.
set -u

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root" || exit 1

bash scripts/install-deps.sh || exit 1

out="$root/out/demo"
mkdir -p "$out"
rm -f "$out"/press*.png "$out"/demo.txt "$out"/build.log
. "$root/scripts/demo-common.sh"

build="$root/build/win64"
echo "Building the Windows programs (win64; the output goes to out/demo/build.log)"
if [ ! -f "$build/CMakeCache.txt" ]; then
    quietly cmake --preset win64
fi
quietly cmake --build --preset win64

closer="$build/closer/ForegroundDismisser.exe"
screen="$build/demo/demo_screen.exe"
press="$build/tests/wine/button/button_press.exe"
require_built "$closer" "$screen" "$press"

. "$root/platform/wine/x-display.sh"
# A Pocket PC's screen, when the display is our own.
WINE_TEST_SCREEN=240x320x24 wine_test_display_start || exit 1
trap wine_test_display_stop EXIT

echo
echo "== ForegroundDismisser on a Pocket PC screen (Wine, display $DISPLAY) =="
echo "It exits with 1 when it dealt with the window in front, 0 when that was the Today screen."
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
rm -f "$out"/button-*.png "$out"/button.txt
echo
run_with_snaps button.txt "$press" "$build/assigner/KeyAssigner.exe" "$closer" --demo "$out"

# ---------------------------------------------------------------------------
# The device builds: one press by ForegroundDismisser.exe as built for each
# Pocket PC CPU, its own machine code run by the CE runner (ARM on an
# emulated StrongARM, MIPS on Unicorn's MIPS under the VR41xx guard, SH-3 on
# qemu-sh4). Shown: the window in front, what the press did, the exit status
# and the instructions run; every system call goes to out/demo/device-press*.txt.
# Then Notes pressed on Windows Mobile 6.1 and on 6.5.3, side by side.
# ---------------------------------------------------------------------------
echo
echo "Building the CE runner (host) and the device programs (ce-arm, ce-mips, ce-sh3)"
quietly cmake --preset host
quietly cmake --build --preset host --target device_demo ce-run
for cpu in arm mips sh3; do
    quietly cmake --preset "ce-$cpu"
    quietly cmake --build --preset "ce-$cpu"
done
for cpu in arm mips sh3; do
    echo
    echo "== The device build: one press, ce-$cpu code under the CE runner =="
    echo
    suffix=$([ "$cpu" = arm ] || echo "-$cpu")
    "$root/build/host/demo/device_demo" "out/demo/device-press$suffix.txt" \
        "$root/build/ce-$cpu/closer/ForegroundDismisser.exe" /n || exit 1
done

# Notes in front, pressed by the ARM build on Windows Mobile 6.1, where the
# close button is at the navigation bar's right end and is tapped, and on
# 6.5.3, where it moved to the bottom bar: the top bar is left alone (a tap
# there would open the status tray) and Notes is Smart-Minimized as its X does.
for release in wm61 wm653; do
    echo
    echo "== Notes in front, ce-arm code on the $release release =="
    echo
    "$root/build/host/demo/device_demo" --notes "$release" "out/demo/device-press-$release.txt" \
        "$root/build/ce-arm/closer/ForegroundDismisser.exe" || exit 1
done

# DeviceReport, the program people with a real Pocket PC run once: its ARM
# code under the CE runner over a Windows Mobile 6.5.3 device with Notes in
# front, Pocket Excel and a letter open in a mail program behind it. The
# report it leaves is a scene file (the letter's subject and text withheld),
# and ForegroundDismisser is pressed over it as over any scene.
cat >"$out/device.scene" <<'SCENE'
profile wm653
window bar
window notes
window BOOKWIN|Pocket Excel||visible|closes
window Mail|Letter to Hanako|Meet at 7|visible|closes
window today
value SOFTWARE\Microsoft\Shell\Keys\40C1||"\Program Files\ForegroundDismisser\ForegroundDismisser.exe" /n
value SOFTWARE\Microsoft\Shell\Keys\40C1|Name|Button 1
module \My Documents\DeviceReport.exe
SCENE
echo
echo "== DeviceReport, ce-arm code on the wm653 release: the report it writes =="
echo
ce_run="$root/build/host/platform/ce-runner/tools/ce-run"
"$ce_run" --scene "$out/device.scene" "$root/build/ce-arm/report/DeviceReport.exe" 0 \
    >"$out/device-report-run.txt" || exit 1
sed -n 's/^    //p' "$out/device-report-run.txt" | tr -d '\r' >"$out/DeviceReport.txt"
cat "$out/DeviceReport.txt"
echo
echo "== ForegroundDismisser (ce-arm) pressed over that report =="
echo
"$ce_run" --scene "$out/DeviceReport.txt" "$root/build/ce-arm/closer/ForegroundDismisser.exe" /n \
    >"$out/device-report-press.txt" || exit 1
grep -E '^(device|in front|exit status)' "$out/device-report-press.txt"
echo "in full: out/demo/device-report-run.txt, out/demo/device-report-press.txt"

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
    echo "${cab#"$root"/}"
    suffix=$([ "$cpu" = arm ] || echo "-$cpu")
    /usr/bin/python3 "$root/tests/ce/check_cab.py" "$cab" --cabextract "$(command -v cabextract)" \
        --cpu "$cpu" \
        --closer "$root/build/ce-$cpu/closer/ForegroundDismisser.exe" \
        --assigner "$root/build/ce-$cpu/assigner/KeyAssigner.exe" >"$out/cab$suffix.txt" || status=1
    # What a user meets; every field checked, and any failure, from the full report.
    grep -E '^FAIL|^PASS  (processor|installed files|shortcuts):|passed, ' "$out/cab$suffix.txt"
    echo "every field: out/demo/cab$suffix.txt"
done
echo
echo "== ForegroundDismisser.ini, for ActiveSync's Application Manager =="
cat "$root"/build/ce-arm/ForegroundDismisser.ini
exit "$status"
