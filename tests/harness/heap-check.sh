#!/usr/bin/env bash
# Runs a command under Wine's heap checking (WINEDEBUG=warn+heap: freed blocks
# are filled and held back, block tails guarded, bad frees reported) and fails
# if the command fails or Wine reports heap damage, naming what was checked.
#   heap-check.sh unit_login.exe          a unit-test program, run whole
#   heap-check.sh python3 test_handoff.py an end-to-end case; the driver sends
#                                         its clients' stderr to the same log
set -uo pipefail
harness="$(cd "$(dirname "$0")" && pwd)"
log="$(mktemp --suffix=.heap.log)"
trap 'rm -f "$log"' EXIT

export WINEDEBUG=warn+heap
case "$1" in
    *.exe)
        name="$(basename "$1")"
        "$harness/wine-run" "$@" 2>>"$log" ;;
    *)
        name="$(basename "${@: -1}")"
        DUSKMERE_CLIENT_STDERR="$log" "$@" 2>>"$log" ;;
esac
status=$?
cat "$log" >&2

if damage="$(grep -E '(warn|err):heap' "$log")"; then
    printf 'heap check of %s: Wine reports heap damage or a bad free:\n%s\n' "$name" "$damage" >&2
    exit 1
fi
if [ "$status" -ne 0 ]; then
    printf 'heap check of %s: it failed with exit code %d\n' "$name" "$status" >&2
fi
exit "$status"
