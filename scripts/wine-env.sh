# Wine for the Windows build's tests; source it:  . scripts/wine-env.sh [BUILD_DIR]
# Gives the build folder a private, quiet Wine prefix (BUILD_DIR/wine-prefix, made on first use
# with `wineboot -i`, about 10 s) and exports what ctest and the test scripts need. BUILD_DIR
# defaults to build/win of this checkout; WINEPREFIX, when already set, wins.
#
# Console programs (the unit tests) need no display. GUI programs do: call
# `wine_env_start_display` to run a private Xvfb for this shell (stopped by `wine_env_stop_display`).
#
# Wine creates sockets inside wineserver, so sockets live in the network namespace where
# wineserver started. Inside a private namespace (scripts/netns-run.sh) call
# `wine_env_private_server` first: it mounts an empty /tmp there, so a wineserver of that
# namespace starts instead of joining one outside.

tov_wine_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tov_wine_build=${1:-${TOV_WINE_BUILD_DIR:-$tov_wine_root/build/win}}
tov_wine_build=$(mkdir -p "$tov_wine_build" && cd "$tov_wine_build" && pwd) # Wine wants it whole
export WINEPREFIX=${WINEPREFIX:-$tov_wine_build/wine-prefix}
export WINEDEBUG=-all
export WINEARCH=win64
# No "install Mono/Gecko?" prompts when the prefix is made.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# Wine's wrapper otherwise asks for wine32, which 64-bit programs do not need.
if [ -z "${WINELOADER:-}" ]; then
    if [ -x /usr/lib/wine/wine64 ]; then
        WINELOADER=/usr/lib/wine/wine64 # Debian's 64-bit loader
    else
        WINELOADER=$(command -v wine64 || command -v wine)
    fi
fi
export WINELOADER

wine_env_private_server() {
    if [ "$(readlink /proc/self/ns/mnt)" = "$(readlink /proc/1/ns/mnt)" ]; then
        echo "wine-env.sh: not in a private mount namespace; /tmp left alone" >&2
        return 1
    fi
    mount -t tmpfs -o mode=1777 tov-wine-tmp /tmp
}

# Makes the prefix once (serialised, so parallel tests do not race), then switches off the X11
# driver's window management: without a window manager Wine stalls about 2 s per hidden window.
wine_env_prepare() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.tov-ready" ]; then
            if "$WINELOADER" wineboot -i >/dev/null 2>&1 &&
                "$WINELOADER" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ \
                    /d N /f >/dev/null 2>&1; then
                wineserver -w
                touch "$WINEPREFIX/.tov-ready"
            else
                echo "wine-env.sh: could not make the Wine prefix $WINEPREFIX" >&2
            fi
        fi
    ) 9>"$WINEPREFIX.lock"
}

wine_env_start_display() {
    local n
    for n in $(seq 90 120); do
        [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        tov_wine_xvfb=$!
        export DISPLAY=":$n"
        # Bounded wait for the server to come up.
        local i
        for i in $(seq 1 50); do
            [ -e "/tmp/.X11-unix/X$n" ] && return 0
            kill -0 "$tov_wine_xvfb" 2>/dev/null || break
            sleep 0.1
        done
        wine_env_stop_display # did not come up on this number: try the next
    done
    echo "wine-env.sh: no Xvfb display could be started" >&2
    return 1
}

wine_env_stop_display() {
    if [ -n "${tov_wine_xvfb:-}" ]; then
        kill "$tov_wine_xvfb" 2>/dev/null
        wait "$tov_wine_xvfb" 2>/dev/null
        tov_wine_xvfb=
    fi
}

wine_env_prepare
