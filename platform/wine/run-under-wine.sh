#!/bin/bash
# run-under-wine.sh: runs one Windows program under Wine in a private, reused
# prefix and on an X display of its own if need be; exits with its status.
#
# Usage: run-under-wine.sh PROGRAM [ARGS...]
#
# Environment:
#   WINE_TEST_PREFIX   the prefix to use (default: wine-prefix in the build
#                      directory that holds PROGRAM, else one under $TMPDIR)
#   WINE_TEST_TIMEOUT  seconds before the program is killed (default 600)
#   WINE_TEST_SCREEN   size of a private Xvfb screen (default 480x640x24)
#   DISPLAY            used when it answers; otherwise a private Xvfb is started
#   WINEDEBUG          kept if set; otherwise Wine's own messages are silenced
set -u

if [ $# -lt 1 ]; then
    echo "usage: $0 PROGRAM [ARGS...]" >&2
    exit 2
fi

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/x-display.sh"

program=$1
shift

# The prefix lives with the build that it tests, so a clean build starts
# from a clean prefix and two build trees never share one.
default_prefix() {
    local dir
    dir=$(cd "$(dirname "$program")" 2>/dev/null && pwd) || dir=
    while [ -n "$dir" ] && [ "$dir" != / ]; do
        if [ -f "$dir/CMakeCache.txt" ]; then
            echo "$dir/wine-prefix"
            return
        fi
        dir=$(dirname "$dir")
    done
    echo "${TMPDIR:-/tmp}/wine-test-prefix-$(id -u)"
}

export WINEPREFIX="${WINE_TEST_PREFIX:-$(default_prefix)}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
# Without this a new prefix asks, in a dialog nobody sees, to install Mono
# and Gecko, and waits for an answer.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

mkdir -p "$(dirname "$WINEPREFIX")"

stop_wineserver() {
    wineserver -k >/dev/null 2>&1 9>&-
    wineserver -w >/dev/null 2>&1 9>&-
}

holding_lock=
cleanup() {
    [ -n "$holding_lock" ] && stop_wineserver
    wine_test_display_stop
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

wine_test_display_start || exit 125

# One wineserver serves a prefix and is bound to the display of the first
# program that starts it, and every run here ends by shutting it down: runs
# that share a prefix therefore take turns. Wine's processes must not inherit
# the lock, or a wineserver that outlives a killed run would keep holding it.
exec 9>"$WINEPREFIX.lock"
if ! flock -w 900 9; then
    echo "$0: timed out waiting for $WINEPREFIX.lock" >&2
    exit 125
fi
holding_lock=1

# Any wineserver left by an earlier run that was killed may be bound to a
# display that is gone.
stop_wineserver

ready="$WINEPREFIX/.run-under-wine-ready"
if [ ! -f "$ready" ]; then
    # A prefix without the mark was cut short while being made; start over.
    rm -rf "$WINEPREFIX"
    echo "run-under-wine.sh: creating Wine prefix $WINEPREFIX" >&2
    wine wineboot -i </dev/null >/dev/null 2>&1 9>&-
    # Without a window manager Wine waits about two seconds for each
    # captioned window to be mapped; unmanaged windows don't wait.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
        </dev/null >/dev/null 2>&1 9>&-
    # A program that crashes ends at once instead of waiting behind a crash
    # dialog that nobody will close.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
        </dev/null >/dev/null 2>&1 9>&-
    stop_wineserver
    if ! grep -q '"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
        echo "run-under-wine.sh: could not set up $WINEPREFIX" >&2
        exit 125
    fi
    touch "$ready"
fi

timeout --kill-after=10 "${WINE_TEST_TIMEOUT:-600}" wine "$program" "$@" </dev/null 9>&-
status=$?
if [ $status -eq 124 ]; then
    echo "run-under-wine.sh: $program timed out" >&2
fi
exit $status
