# x-display.sh: gives a script an X display to put Wine's windows on: the
# caller's own $DISPLAY when it answers, otherwise a private Xvfb. Sourced.
#
#   wine_test_display_start   exports DISPLAY; starts Xvfb only when needed
#   wine_test_display_stop    stops the Xvfb that start launched, if any
#
# WINE_TEST_SCREEN sets the size of a private Xvfb screen (WxHxDEPTH). It is
# larger than a Pocket PC's 240x320 so that test windows can sit side by side.

WINE_TEST_XVFB_PID=

wine_test_display_answers() {
    [ -n "${1:-}" ] && timeout 10 xdpyinfo -display "$1" >/dev/null 2>&1
}

wine_test_display_start() {
    if wine_test_display_answers "${DISPLAY:-}"; then
        export DISPLAY
        return 0
    fi
    local screen="${WINE_TEST_SCREEN:-480x640x24}"
    local fdfile attempt number
    fdfile=$(mktemp)
    # -displayfd lets Xvfb pick a free display number itself, so that runs
    # started side by side never race for the same one.
    for attempt in 1 2 3; do
        : >"$fdfile"
        Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset \
            3>"$fdfile" </dev/null >/dev/null 2>&1 &
        WINE_TEST_XVFB_PID=$!
        for _ in $(seq 100); do
            number=$(tr -dc 0-9 <"$fdfile")
            [ -n "$number" ] && break
            kill -0 "$WINE_TEST_XVFB_PID" 2>/dev/null || break
            sleep 0.1
        done
        if [ -n "$number" ] && wine_test_display_answers ":$number"; then
            rm -f "$fdfile"
            export DISPLAY=":$number"
            return 0
        fi
        wine_test_display_stop
    done
    rm -f "$fdfile"
    echo "x-display.sh: could not start Xvfb" >&2
    return 1
}

wine_test_display_stop() {
    if [ -n "$WINE_TEST_XVFB_PID" ]; then
        kill "$WINE_TEST_XVFB_PID" 2>/dev/null
        wait "$WINE_TEST_XVFB_PID" 2>/dev/null
        WINE_TEST_XVFB_PID=
    fi
}
