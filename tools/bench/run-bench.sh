#!/usr/bin/env bash
# Prints the benchmark figures: the client's start-up against a minimal Win32
# program, its memory and its enter-game latency under Wine in a private Xvfb,
# then the cache purge rates. Figures only; nothing here passes or fails.
set -euo pipefail
source "$(dirname "$0")/../../tests/harness/env.sh"
trap harness_down EXIT

# A display of our own, so that the figures do not depend on a desktop's; with
# openbox in it, the managed windows are framed and activated as on a desktop.
unset DISPLAY
export HARNESS_WM=openbox
harness_display
harness_prefix "$harness_root/build/bench-prefix"
harness_wine_up
harness_platform_up "${DUSKMERE_PLATFORM_PORT:-8350}"

echo "machine: $(nproc) cores, $(lscpu | sed -n 's/^Model name: *//p'), $(wine --version)," \
     "Xvfb $(dpkg-query -W -f '${Version}' xvfb), load average $(cut -d' ' -f1-3 /proc/loadavg)"
/usr/bin/python3 "$harness_root/tools/bench/client_figures.py"

echo
echo "cache purge:"
wine "$harness_root/build/x64/bench/purge_bench.exe" </dev/null

echo
/usr/bin/python3 "$harness_root/tools/bench/startup_breakdown.py"

# The executable that ships, as `make release` makes it (bench builds one for a test address).
echo
release="$harness_root/build/release-test/duskmere.exe"
echo "release executable: $(stat -c %s "$release") bytes; code (.text) $(i686-w64-mingw32-size -A "$release" |
    awk '$1 == ".text" {print $2}') bytes, artwork and other resources (.rsrc) $(i686-w64-mingw32-size -A "$release" |
    awk '$1 == ".rsrc" {print $2}') bytes"
