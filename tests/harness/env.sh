# Sourced by the test and demo scripts: one Wine prefix with the stand-in browser
# registered, one warm wineserver, a display, and the demo platform.
harness_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
# The tests run the x86_64 build, so Wine's 64-bit loader and 64-bit prefixes:
# once Debian's wine32 is installed, /usr/bin/wine always starts the 32-bit
# loader, whatever the program or the prefix.
export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
export PATH="$harness_root/tests/harness/wine64:$PATH"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
# What harness_down ends: the X servers and what runs in them.
HARNESS_PIDS=()

# Starts Xvfb on a free display unless one is set.
harness_display() {
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return; fi
    harness_x_server
}

# Starts Xvfb on a free display, with the compositor and (HARNESS_WM=openbox)
# the window manager, and exports DISPLAY.
harness_x_server() {
    local n=90 pid _
    # Another run starting at the same moment may take the number first: then
    # our Xvfb exits, and the display that answers is not ours.
    for _ in $(seq 20); do
        while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
        Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
        pid=$!
        export DISPLAY=":$n"
        for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
        kill -0 "$pid" 2>/dev/null && break
        n=$((n + 1))
    done
    kill -0 "$pid" 2>/dev/null && xdpyinfo >/dev/null 2>&1 || { echo "Xvfb did not start" >&2; return 1; }
    HARNESS_PIDS+=("$pid")
    # Per-pixel alpha of layered windows shows only through a compositor.
    xcompmgr >/dev/null 2>&1 &
    HARNESS_PIDS+=($!)
    [ "${HARNESS_WM:-none}" = openbox ] && harness_window_manager
    return 0
}

# The unit-test programs and the soak run through tests/harness/wine-run in a
# lane of their own: another display and prefix (with their own wineserver), so
# that they run beside the end-to-end cases, which hold the first display. The
# prefix is made in the background; harness_unit_lane_wait waits for it.
harness_unit_lane() {
    local display="$DISPLAY"
    harness_x_server
    export HARNESS_UNIT_DISPLAY="$DISPLAY" HARNESS_UNIT_PREFIX="$1"
    export DISPLAY="$display"
    (DISPLAY="$HARNESS_UNIT_DISPLAY" && harness_prefix "$HARNESS_UNIT_PREFIX" && harness_wine_up) &
    HARNESS_UNIT_LANE_PID=$!
}

harness_unit_lane_wait() {
    wait "$HARNESS_UNIT_LANE_PID" || { echo "the unit-test lane's prefix was not made" >&2; return 1; }
}

# A desktop has a window manager: openbox, as Debian ships it, frames and
# activates the managed windows. Ready once it names itself on the root window.
harness_window_manager() {
    # Debian's configuration, with the rules for the test rig's own windows.
    local rc="$harness_root/build/openbox-rc.xml"
    mkdir -p "$(dirname "$rc")"
    sed "/<applications>/r $harness_root/tests/harness/openbox-applications.xml" /etc/xdg/openbox/rc.xml > "$rc"
    openbox --sm-disable --config-file "$rc" >/dev/null 2>&1 &
    HARNESS_PIDS+=($!)
    for _ in $(seq 50); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return
        sleep 0.1
    done
    echo "openbox did not start" >&2
    return 1
}

# Creates a fresh prefix at $1 with the stand-in registered over the browser's class id.
harness_prefix() {
    export WINEPREFIX="$1"
    rm -rf "$WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    wine wineboot -i </dev/null >/dev/null 2>&1
    wineserver -w
    harness_unmanaged_unit_tests
    harness_chinese_fonts
    wine regsvr32 /s "$harness_root/build/x64/standin-browser.dll" </dev/null >/dev/null 2>&1
    wineserver -w
}

# The unit-test programs need no window names, frames or focus from X: their
# windows are unmanaged, so that Wine alone activates and stacks them, the same
# with a window manager or without one (where Wine would wait for one whenever a
# managed window hides). The client's windows stay managed, as on a desktop.
harness_unmanaged_unit_tests() {
    local reg
    reg="$(mktemp --suffix=.reg)"
    printf 'REGEDIT4\n\n' > "$reg"
    for exe in "$harness_root"/build/x64/tests/unit_*.exe; do
        [ -e "$exe" ] || continue
        printf '[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\%s\\X11 Driver]\n"Managed"="N"\n\n' \
            "$(basename "$exe")" >> "$reg"
    done
    wine regedit /S "$(wine winepath -w "$reg" 2>/dev/null)" </dev/null >/dev/null 2>&1
    rm -f "$reg"
}

# A fresh prefix has none of the Chinese fonts the dialogs ask for: "宋体" is
# substituted, and the Latin fonts fall back to WenQuanYi for CJK characters.
harness_chinese_fonts() {
    local nt='HKLM\Software\Microsoft\Windows NT\CurrentVersion'
    wine reg add "$nt\FontSubstitutes" /v '宋体' /d 'WenQuanYi Micro Hei' /f </dev/null >/dev/null 2>&1
    for face in Arial Tahoma 'MS Shell Dlg' 'Microsoft Sans Serif'; do
        wine reg add "$nt\FontLink\SystemLink" /v "$face" /t REG_MULTI_SZ \
            /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f </dev/null >/dev/null 2>&1
    done
}

# Keeps one wineserver (and Wine's services) running for the whole session.
harness_wine_up() {
    wineserver -p
    wine wineboot </dev/null >/dev/null 2>&1
}

harness_platform_up() {
    local port="$1"
    HARNESS_PLATFORM_PIDFILE="$(dirname "$WINEPREFIX")/platform-$port.pid"
    # The pidfile names only a platform of this session: harness_down ends it.
    rm -f "$HARNESS_PLATFORM_PIDFILE"
    /usr/bin/python3 "$harness_root/tools/demo-platform/server.py" --port "$port" \
        --pidfile "$HARNESS_PLATFORM_PIDFILE" </dev/null >"$(dirname "$WINEPREFIX")/platform-$port.log" 2>&1 &
    HARNESS_PLATFORM_PID=$!
    for _ in $(seq 50); do
        (echo > "/dev/tcp/127.0.0.1/$port") 2>/dev/null && return
        sleep 0.1
    done
    echo "demo platform did not start" >&2
    return 1
}

# Every step runs even when an earlier one finds its process gone (the platform
# exits at once when another one holds the port): under set -e a failed kill
# would end the trap and leave the wineserver holding the caller's output.
harness_down() {
    [ -n "${HARNESS_PLATFORM_PID:-}" ] && kill "$HARNESS_PLATFORM_PID" 2>/dev/null || true
    # A fault case may have put another platform in its place; the pidfile names it.
    [ -s "${HARNESS_PLATFORM_PIDFILE:-}" ] && kill "$(cat "$HARNESS_PLATFORM_PIDFILE")" 2>/dev/null || true
    [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null || true
    [ -n "${HARNESS_UNIT_PREFIX:-}" ] && WINEPREFIX="$HARNESS_UNIT_PREFIX" wineserver -k 2>/dev/null || true
    local i
    for ((i = ${#HARNESS_PIDS[@]} - 1; i >= 0; i--)); do kill "${HARNESS_PIDS[i]}" 2>/dev/null || true; done
}
