#!/usr/bin/env bash
# Runs the soak program of the x64 build in a throwaway Wine prefix under build/,
# with the demo platform. Arguments: round trips, cleanings.
set -euo pipefail
source "$(dirname "$0")/../harness/env.sh"
trap harness_down EXIT

harness_display
# A folder of its own: the platform's pidfile lies next to the prefix.
harness_prefix "$harness_root/build/soak/prefix"
harness_wine_up
harness_platform_up "${DUSKMERE_PLATFORM_PORT:-8350}"
# Unmanaged, as in the test run (tests/soak/CMakeLists.txt says why).
wine reg add 'HKCU\Software\Wine\AppDefaults\soak.exe\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
timeout 3000 wine "$harness_root/build/x64/tests/soak/soak.exe" "$@" </dev/null
