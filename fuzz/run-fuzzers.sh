#!/bin/bash
# run-fuzzers.sh: runs each fuzzer for SECONDS (default 600) from its seed
# corpus and prints how many inputs it executed and what it found. New
# inputs and any crash go under build/fuzz/, never into the committed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)" --target windows_fuzzer registry_fuzzer pe_image_fuzzer >/dev/null

status=0
for f in windows registry pe_image; do
    out=build/fuzz/fuzz/found-$f
    mkdir -p "$out"
    log=build/fuzz/fuzz/$f.log
    if build/fuzz/fuzz/${f}_fuzzer -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix=build/fuzz/fuzz/ "$out" fuzz/corpus/$f >"$log" 2>&1; then
        result="no findings"
    else
        result="FOUND A FAULT (see $log)"
        status=1
    fi
    runs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}')
    echo "$f: ${runs:-?} executions in ${seconds} s, $result"
done
exit $status
