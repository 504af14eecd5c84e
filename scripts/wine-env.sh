# SPDX-License-Identifier: MIT
# Wine for the Windows build's tests; source it:  . scripts/wine-env.sh [BUILD_DIR]
# Gives the build folder a private, quiet Wine prefix (BUILD_DIR/wine-prefix, made on first use
# with `wineboot -i`, about 10 s) and exports what ctest and the test scripts need. BUILD_DIR
# defaults to build/windows (the windows preset's folder); WINEPREFIX, when already set, wins.
#
# Console programs (the unit tests) need no display. GUI programs do: call
# `wine_env_start_display` to run a private Xvfb for this shell (stopped by `wine_env_stop_display`).
#
# Wine creates sockets inside wineserver, so sockets live in the network namespace where
# wineserver started. Inside a private namespace (scripts/netns-run.sh) call
# `wine_env_private_server` first: it mounts an empty wineserver directory (/tmp/.wine-UID)
# there, so a wineserver of that namespace starts instead of joining one outside.

tov_wine_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tov_wine_build=${1:-${TOV_WINE_BUILD_DIR:-$tov_wine_root/build/windows}}
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
        echo "wine-env.sh: not in a private mount namespace; wineserver left shared" >&2
        return 1
    fi
    # Only wineserver's own directory is hidden: the rest of /tmp (which may hold this very
    # checkout, or the X server's socket) stays as it is.
    local dir=/tmp/.wine-$(id -u)
    mkdir -p "$dir" && chmod 700 "$dir"
    mount -t tmpfs -o mode=0700 tov-wine-server "$dir"
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
    # In a private namespace the display is private too: Xvfb's abstract socket belongs to the
    # network namespace, a tmpfs over /tmp/.X11-unix keeps its path socket from clobbering, or
    # being removed by, another namespace's display of the same number, and one over
    # /var/lib/xkb keeps displays of the same number from sharing the keymap file they compile.
    if [ "$(readlink /proc/self/ns/mnt)" != "$(readlink /proc/1/ns/mnt)" ]; then
        mkdir -p /tmp/.X11-unix && chmod 1777 /tmp/.X11-unix
        mount -t tmpfs -o mode=1777 tov-x11 /tmp/.X11-unix
        mkdir -p /var/lib/xkb
        mount -t tmpfs -o mode=0755 tov-xkb /var/lib/xkb
    fi
    # Xvfb picks a free display number itself (-displayfd) and writes it once it accepts
    # connections. A server that dies while starting (a busy machine) is given two more tries.
    local numberFile attempt i n
    numberFile=$(mktemp)
    for attempt in 1 2 3; do
        : >"$numberFile"
        Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$numberFile" >/dev/null 2>&1 &
        tov_wine_xvfb=$!
        for i in $(seq 1 150); do
            n=$(tr -dc 0-9 <"$numberFile")
            if [ -n "$n" ]; then
                rm -f "$numberFile"
                export DISPLAY=":$n"
                return 0
            fi
            kill -0 "$tov_wine_xvfb" 2>/dev/null || break
            sleep 0.1
        done
        kill "$tov_wine_xvfb" 2>/dev/null
        wait "$tov_wine_xvfb" 2>/dev/null
    done
    rm -f "$numberFile"
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
