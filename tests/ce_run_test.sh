#!/bin/bash
# ce_run_test.sh: ce-run on the device programs, over its default Pocket PC
# and over scene files, and on a malformed scene; each run's status and the
# lines of its report that show what the program did. DeviceReport's file
# is cut out of ce-run's output and pressed on as a scene.
#
# Usage: ce_run_test.sh CE_RUN CE_ARM_BUILD_DIR
set -u
run=$1
closer=$2/closer/ForegroundDismisser.exe
assigner=$2/assigner/KeyAssigner.exe
report=$2/report/DeviceReport.exe
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# expect NAME STATUS PATTERN... : the last run ended with STATUS and its
# stdout and stderr together hold every extended regular expression given.
expect() {
    local name=$1 status=$2
    shift 2
    if [ "$got" -ne "$status" ]; then
        echo "FAIL $name: status $got, expected $status"
        cat "$work/out" "$work/err"
        failures=$((failures + 1))
        return
    fi
    for pattern in "$@"; do
        if ! cat "$work/out" "$work/err" | grep -Eq -- "$pattern"; then
            echo "FAIL $name: no line matches: $pattern"
            cat "$work/out" "$work/err"
            failures=$((failures + 1))
            return
        fi
    done
    echo "ok $name"
}

ce_run() {
    "$run" "$@" >"$work/out" 2>"$work/err"
    got=$?
}

ce_run "$closer"
expect "closer, default screen" 0 \
    'SendMessageW\(0x[0-9a-f]+, 0x10, 0x0, 0x0\) = 0x0' \
    '^  destroyed .*\[calculator\]$' \
    '^exit status 1 after 0 ms, [0-9]+ ARM instructions; in front now: today;'

# A window that takes 150 ms to close is gone by the end of /d's 200 ms
# wait, so the window below it is closed too. The options come from the
# scene's press line.
cat >"$work/slow.scene" <<'SCENE'
# two applications over the navigation bar and the Today screen
window AppA|A||visible|closes-after-150
window AppB|B||visible|closes
window bar
window today
press /d
SCENE
ce_run --scene "$work/slow.scene" "$closer"
expect "closer, /d over a slow window" 0 \
    '^  sleep window=0x0 a=0xc8 .*$' \
    '^  destroyed .*\[AppA "A"\]$' \
    '^  message window=0x[0-9a-f]+ a=0x10 .*\[AppB "B"\]$' \
    '^exit status 1 after 200 ms, [0-9]+ ARM instructions; in front now: today;'

# Notes on Windows Mobile 6.5.3: its close button is in the bottom bar, so
# the top bar is not tapped and Notes goes behind the Today screen; a page
# showing OK gets IDOK.
cat >"$work/wm653.scene" <<'SCENE'
profile wm653
window Notes|Note 1||visible|closes
window bar
window today
SCENE
ce_run --scene "$work/wm653.scene" "$closer"
expect "closer, Notes on 6.5.3" 0 \
    '^device: Windows Mobile 6.5.3 \(5.2.23090\), 480x800 at 192 dpi, shipped on ARM$' \
    '^  foreground .*\[today\]$' \
    '^  z-order .*\[Notes "Note 1"\]$' \
    '^exit status 1 after 0 ms, .*at the bottom: Notes "Note 1"'
if grep -Eq 'tray-opened|a=0x201' "$work/out"; then
    echo "FAIL closer, Notes on 6.5.3: the top bar was tapped"
    failures=$((failures + 1))
fi
sed -i 's/^window Notes.*/window Dialog||プロパティ|visible|closes|ok/' "$work/wm653.scene"
ce_run --scene "$work/wm653.scene" "$closer"
expect "closer, a page showing OK on 6.5.3" 0 '^  message window=0x[0-9a-f]+ a=0x111 b=0x1 c=0x0  \[Dialog\]$'
# The same page by its name, with a modifier.
sed -i 's/^window Dialog.*/window settings-properties|ok/' "$work/wm653.scene"
ce_run --scene "$work/wm653.scene" "$closer"
expect "closer, a named page showing OK on 6.5.3" 0 \
    '^  message window=0x[0-9a-f]+ a=0x111 b=0x1 c=0x0  \[settings-properties\]$'
printf 'profile wm7\n' >"$work/wm7.scene"
ce_run --scene "$work/wm7.scene" "$closer"
expect "an unknown profile" 2 "^ce-run: $work/wm7.scene:1: profile is one of ppc2000 .* wm653, not \"wm7\"$"

ce_run "$assigner"
expect "assigner, default buttons, first one and OK" 0 \
    'reg-set .*"SOFTWARE\\Microsoft\\Shell\\Keys\\40C1" bytes=122 +\[none\] value: "\\Program Files\\ForegroundDismisser\\ForegroundDismisser.exe"$' \
    '^exit status 0 after 0 ms, '

cat >"$work/second.scene" <<'SCENE'
key SOFTWARE\Microsoft\Shell\Keys
value SOFTWARE\Microsoft\Shell\Keys\40C1|Name|Calendar
value SOFTWARE\Microsoft\Shell\Keys\40C2|Name|Contacts
module \Storage Card\Tools\KeyAssigner.exe
dialog click 1002
dialog select 1003 1
dialog click ok
SCENE
ce_run --scene "$work/second.scene" "$assigner"
expect "assigner, the second button with /ns" 0 \
    'reg-set .*"SOFTWARE\\Microsoft\\Shell\\Keys\\40C2" bytes=[0-9]+ +\[none\] value: "\\Storage Card\\Tools\\ForegroundDismisser.exe" /ns$'

printf 'screen 240 320 96\n\nwindow Calculator|Calc\n' >"$work/bad.scene"
ce_run --scene "$work/bad.scene" "$closer"
expect "malformed scene: nothing runs" 2 \
    "^ce-run: $work/bad.scene:3: window wants a Pocket PC window's name, or CLASS\\|TITLE\\|CHILD\\|SHOWN\\|ON_CLOSE"
if [ -s "$work/out" ]; then
    echo "FAIL malformed scene: the program ran"
    failures=$((failures + 1))
fi

printf 'window notes|ok|sometimes\n' >"$work/badmodifier.scene"
ce_run --scene "$work/badmodifier.scene" "$closer"
expect "a named window with a modifier it does not know" 2 \
    "^ce-run: $work/badmodifier.scene:1: a modifier is visible, hidden, .*, not \"sometimes\"$"
printf 'window bar\nfront 3\n' >"$work/badfront.scene"
ce_run --scene "$work/badfront.scene" "$closer"
expect "front past the last window" 2 "^ce-run: $work/badfront.scene: front names window 3 of 1$"

printf 'key SOFTWARE\\Microsoft\\Shell\\Keys\ndialog click 4242\n' >"$work/nocontrol.scene"
ce_run --scene "$work/nocontrol.scene" "$assigner"
expect "a dialog step on a control the dialog lacks" 1 \
    '^ce-run: DialogBoxIndirectParamW called from .*: scene line 2: the dialog has no control 4242$'

# DeviceReport over a Pocket PC with Notes in front; the report it leaves
# is a scene, and the closer's press over it taps the bar's close button.
cat >"$work/device.scene" <<'SCENE'
window bar
window Notes|Note 1||visible|closes
window today
value SOFTWARE\Microsoft\Shell\Keys\40C1||"\Windows\notes.exe"
module \Windows\DeviceReport.exe
SCENE
ce_run --scene "$work/device.scene" "$report" 0
expect "report of the device" 0 \
    '^  \\Windows\\DeviceReport.txt, [0-9]+ bytes:$' \
    '^    window Notes\|Note 1\|\|visible\|closes\|rect=0,0,240,320\|style=0x00000000\|exstyle=0x00000000$' \
    '^    front 2$' \
    '^    value SOFTWARE\\Microsoft\\Shell\\Keys\\40C1\|\|"\\Windows\\notes.exe"$' \
    '^exit status 0 after 0 ms'
sed -n 's/^    //p' "$work/out" >"$work/report.scene"
ce_run --scene "$work/report.scene" "$closer"
expect "closer over the report" 0 \
    '^in front: Notes "Note 1"$' \
    '^  message window=0x[0-9a-f]+ a=0x201 b=0x0 c=0xd00e4  \[HHTaskBar\]$' \
    '^exit status 1 after '

# A report as a device writes it: escapes in the title and value, the
# system version, which makes the model that release (Windows Mobile 6.5.3:
# no bar is tapped), OK from the extended style.
cat >"$work/written.scene" <<'SCENE'
# DeviceReport 1
version 5.2.23090
platform PocketPC
screen 480 800 192
window HHTaskBar|||visible|closes|rect=0,0,480,52|style=0x90000000|exstyle=0x00000008
window Dialog||プロパティ|visible|closes|rect=0,52,480,800|style=0x00000000|exstyle=0x80000000
window Worker|100%25 a%7Cb%uD83D%uDE00||hidden|closes|rect=0,0,0,0|style=0x00000000|exstyle=0x00000000
window DesktopExplorerWindow|Desktop||visible|closes|rect=0,0,480,800|style=0x00000000|exstyle=0x00000000
front 2
key SOFTWARE\Microsoft\Shell\Keys\40C1
value SOFTWARE\Microsoft\Shell\Keys\40C1||"\Windows\a%7Cb.exe" 50%
SCENE
ce_run --scene "$work/written.scene" "$closer"
expect "closer over a written report" 0 \
    '^device: Windows Mobile 6.5.3 \(5.2.23090\), 480x800 at 192 dpi' \
    '^  message window=0x[0-9a-f]+ a=0x111 b=0x1 c=0x0  \[Dialog\]$' \
    '^exit status 1 after 0 ms'
printf 'window C|T||visible|closes|rect=1,2,3\n' >"$work/badrect.scene"
ce_run --scene "$work/badrect.scene" "$closer"
expect "a malformed rect" 2 "^ce-run: $work/badrect.scene:1: a field after ON_CLOSE is .*, not \"rect=1,2,3\"$"

ce_run "$work/missing.exe"
expect "no such program" 1 "^ce-run: $work/missing.exe: cannot open"

exit $((failures > 0))
