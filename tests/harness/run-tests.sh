#!/usr/bin/env bash
# Runs every test through ctest in a throwaway Wine prefix under build/.
# The windows are managed by openbox, as on a desktop; --no-wm runs them in a
# bare X server instead. Other arguments go to ctest (e.g. -R backdrop).
set -euo pipefail
source "$(dirname "$0")/env.sh"
if [ "${1:-}" = --no-wm ]; then
    export HARNESS_WM=none
    shift
fi
trap harness_down EXIT

harness_display
harness_prefix "$harness_root/build/wineprefix"
harness_wine_up
harness_platform_up "${DUSKMERE_PLATFORM_PORT:-8350}"

cd "$harness_root/build/x64"
timeout 3000 ctest --output-on-failure --timeout 300 "$@"
