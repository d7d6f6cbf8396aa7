# demo-common.sh: sourced by the demo scripts. Keeps the builds' output in a
# log, checks that the programs to show were built, runs a demo program under
# Wine and takes the screenshots it asks for. Needs $root (the checkout) and
# $out (where pictures, reports and the log go); the pictures need $DISPLAY.

# quietly COMMAND...: runs a build step with its output appended to
# $out/build.log; on failure shows the end of the log and exits the calling
# script.
quietly() {
    if ! "$@" >>"$out/build.log" 2>&1; then
        tail -n 30 "$out/build.log" >&2
        echo "$(basename "$0"): $* failed; the whole output is in ${out#"$root"/}/build.log" >&2
        exit 1
    fi
}

# require_built PROGRAM...: exits the calling script unless each one is there.
require_built() {
    local program
    for program in "$@"; do
        if [ ! -f "$program" ]; then
            echo "$(basename "$0"): $program was not built" >&2
            exit 1
        fi
    done
}

# snap NAME [AREA]: the screen, or the area WxH+X+Y of it, into $out/NAME.png.
# Only the device's 240x320 corner is kept when no area is given, should the
# display be larger.
snap() {
    local name=$1 area=${2:-240x320+0+0}
    import -window root -display "$DISPLAY" -crop "$area" +repage "$out/.$name.png" &&
        mv "$out/.$name.png" "$out/$name.png"
}

# run_with_snaps REPORT PROGRAM ARGS...: runs a demo program under Wine. It
# asks for each picture with a line "SNAP NAME [AREA]" and waits until the
# file is there; every other line is the report, shown and kept in
# $out/REPORT. Exits the calling script when the program fails.
run_with_snaps() {
    local report=$1
    shift
    "$root/platform/wine/run-under-wine.sh" "$@" |
        while IFS= read -r line; do
            line=${line%$'\r'}
            case "$line" in
            "SNAP "*)
                set -- $line
                snap "$2" "${3:-}" || echo "$(basename "$0"): could not take $2.png" >&2
                echo "  screenshot: ${out#"$root"/}/$2.png"
                ;;
            *)
                echo "$line"
                ;;
            esac
        done | tee "$out/$report"
    local status=${PIPESTATUS[0]}
    if [ "$status" -ne 0 ]; then
        echo "$(basename "$0"): $(basename "$1") failed with status $status" >&2
        exit "$status"
    fi
}
