#!/bin/sh
# A short run of one benchmark: it must end with status 0 and print its table.
# Usage: smoke.sh PROGRAM EXPECTED_TEXT [ARGUMENTS...]
program=$1
expected=$2
shift 2
output=$("$program" "$@" 2>&1)
status=$?
printf '%s\n' "$output"
if [ "$status" -ne 0 ]; then
    echo "smoke: $program ended with status $status"
    exit 1
fi
if ! printf '%s\n' "$output" | grep -qF -- "$expected"; then
    echo "smoke: $program did not print '$expected'"
    exit 1
fi
