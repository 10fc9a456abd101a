#!/usr/bin/env bash
# Runs the client under Wine against the demo platform. With a display the
# client stays up until it is closed; without one it runs inside Xvfb and
# tools/demo/screens.py saves a series of screenshots to build/demo/.
set -euo pipefail
source "$(dirname "$0")/../../tests/harness/env.sh"
trap harness_down EXIT

headless=0
if [ -z "${DISPLAY:-}" ]; then headless=1; fi
harness_display
prefix="$harness_root/build/demo-prefix"
if [ ! -f "$prefix/system.reg" ]; then
    harness_prefix "$prefix"
else
    export WINEPREFIX="$prefix"
    wine regsvr32 /s "$harness_root/build/x64/standin-browser.dll" </dev/null >/dev/null 2>&1
    wineserver -w
fi
harness_wine_up
harness_platform_up "${DUSKMERE_PLATFORM_PORT:-8350}"

if [ "$headless" = 0 ]; then
    echo "Duskmere is running against the demo platform; close it to end the demo."
    wine "$harness_root/build/x64/duskmere.exe" </dev/null
else
    /usr/bin/python3 "$harness_root/tools/demo/screens.py"
fi
