#!/usr/bin/env bash
# Runs every test through ctest in throwaway Wine prefixes under build/.
# The windows run under openbox, as on a desktop (--wm, the default), or with
# --no-wm in a bare X server. Other arguments go to ctest (e.g. -R backdrop).
set -Eeuo pipefail
# The set-up's Wine and X commands keep their output to themselves: say which
# one stopped the run.
trap 'echo "run-tests.sh: \"$BASH_COMMAND\" failed (exit $?) in ${FUNCNAME[0]:-main}" >&2' ERR
source "$(dirname "$0")/env.sh"
export HARNESS_WM=openbox
case "${1:-}" in
    --wm) shift ;;
    --no-wm) export HARNESS_WM=none; shift ;;
esac
trap harness_down EXIT

harness_display
harness_unit_lane "$harness_root/build/wineprefix-unit"
harness_prefix "$harness_root/build/wineprefix"
harness_wine_up
harness_platform_up "${DUSKMERE_PLATFORM_PORT:-8350}"
harness_unit_lane_wait

cd "$harness_root/build/x64"
timeout 3000 ctest --output-on-failure --timeout 300 --parallel 2 "$@"
