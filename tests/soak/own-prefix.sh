#!/usr/bin/env bash
# Runs the soak program (its path and arguments follow) in a Wine prefix of its
# own, made afresh beside the unit lane's. Its cleanings empty the real cache
# folders, subfolders included, while its URL cache keeps the index that names
# them, and Wine makes a cache's subfolders only with a new index: a prefix the
# soak has cleaned caches no more content, so the unit tests' must not be it.
set -euo pipefail
source "$(dirname "$0")/../harness/env.sh"
export DISPLAY="${HARNESS_UNIT_DISPLAY:-$DISPLAY}"
harness_prefix "${HARNESS_UNIT_PREFIX:?run it through tests/harness/run-tests.sh}-soak"
trap 'wineserver -k 2>/dev/null || true' EXIT
# Unmanaged, as the unit tests' windows are (CMakeLists.txt says why).
wine reg add 'HKCU\Software\Wine\AppDefaults\soak.exe\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
wine "$@" </dev/null
