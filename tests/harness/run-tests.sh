#!/usr/bin/env bash
# Runs every test through ctest in a throwaway Wine prefix under build/.
# --wm runs the windows under openbox, as on a desktop; --no-wm (the default
# until every suite passes there) in a bare X server. Other arguments go to
# ctest (e.g. -R backdrop).
set -euo pipefail
source "$(dirname "$0")/env.sh"
case "${1:-}" in
    --wm) export HARNESS_WM=openbox; shift ;;
    --no-wm) export HARNESS_WM=none; shift ;;
esac
trap harness_down EXIT

harness_display
harness_prefix "$harness_root/build/wineprefix"
harness_wine_up
harness_platform_up "${DUSKMERE_PLATFORM_PORT:-8350}"

cd "$harness_root/build/x64"
timeout 3000 ctest --output-on-failure --timeout 300 "$@"
