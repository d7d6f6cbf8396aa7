#!/bin/bash
# demo-assigner.sh: KeyAssigner's part of the demo: a button and "/n" chosen,
# OK, the result box and the command written, with screenshots in out/demo/.
#
# Usage: scripts/demo-assigner.sh
# Environment (set by scripts/demo.sh; alone, the script builds for itself):
#   DEMO_BUILD_DIR  the win64 build (default build/win64)
#   DEMO_OUT_DIR    where out/ lies (default out); pictures go to its demo/
#   DISPLAY         used when it answers, otherwise a private 240x320 Xvfb
set -u

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root" || exit 1

out="${DEMO_OUT_DIR:-$root/out}/demo"
mkdir -p "$out"
rm -f "$out"/keyassigner-*.png "$out"/keyassigner.txt
. "$root/scripts/demo-common.sh"

if [ -z "${DEMO_BUILD_DIR:-}" ]; then
    if [ ! -f build/win64/CMakeCache.txt ]; then
        quietly cmake --preset win64
    fi
    quietly cmake --build --preset win64 --target KeyAssigner assigner_demo
fi
build="${DEMO_BUILD_DIR:-$root/build/win64}"
tool="$build/assigner/KeyAssigner.exe"
demo="$build/demo/assigner_demo.exe"
require_built "$tool" "$demo"

. "$root/platform/wine/x-display.sh"
WINE_TEST_SCREEN=240x320x24 wine_test_display_start || exit 1
trap wine_test_display_stop EXIT

echo "== KeyAssigner registers ForegroundDismisser on a button (Wine, display $DISPLAY) =="
echo
# The demo program asks for each picture of the dialog's own area, which
# fills a device's screen but not a desktop's.
run_with_snaps keyassigner.txt "$demo" "$tool" "$out"
