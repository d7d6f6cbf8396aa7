#!/bin/bash
# check-binary.sh: a shipped program stays within its size budget and imports
# only DLLs that every Windows system has, none of a compiler's runtime.
#
# Usage: check-binary.sh OBJDUMP PROGRAM.exe MAX-BYTES
set -u
objdump=$1 program=$2 limit=$3

size=$(stat -c %s "$program")
imports=$("$objdump" -p "$program" | awk '/DLL Name:/ {print toupper($3)}' | sort | tr '\n' ' ')
echo "$(basename "$program"): $size bytes (budget $limit), imports: $imports"

failed=0
if [ "$size" -gt "$limit" ]; then
    echo "  over budget by $((size - limit)) bytes"
    failed=1
fi
for dll in $imports; do
    case "$dll" in
    KERNEL32.DLL | USER32.DLL | ADVAPI32.DLL | MSVCRT.DLL | GDI32.DLL) ;;
    *) echo "  imports $dll, which is not a system DLL"; failed=1 ;;
    esac
done
echo "$((1 - failed)) passed, $failed failed"
exit $failed
