# Shared settings of the build and test scripts; sourced, not run.
# YZ_BUILD_ROOT moves every build folder and the Wine prefix (default: build/).
YZ_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
YZ_BUILD_ROOT=${YZ_BUILD_ROOT:-$YZ_ROOT/build}
YZ_JOBS=${YZ_JOBS:-2}
export WINEPREFIX=${YZ_WINEPREFIX:-$YZ_BUILD_ROOT/wineprefix}
export WINEDEBUG=-all
# No Mono or Gecko download prompts.
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine takes the ANSI code page from the locale: zh_CN.UTF-8 gives 936, the
# code page the program is made for.
export LC_ALL=zh_CN.UTF-8

yz_say() { printf '\n\033[1m== %s\033[0m\n' "$*"; }

# Starts Xvfb on a free display (the server picks it, so parallel runs do not
# collide) and sets DISPLAY and YZ_XVFB_PID. Call yz_stop_xvfb when done.
yz_start_xvfb() {
    local fdfile
    fdfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" 2>/dev/null &
    YZ_XVFB_PID=$!
    local i
    for i in $(seq 100); do
        [ -s "$fdfile" ] && break
        kill -0 "$YZ_XVFB_PID" 2>/dev/null || { echo "Xvfb did not start" >&2; rm -f "$fdfile"; return 1; }
        sleep 0.1
    done
    [ -s "$fdfile" ] || { echo "Xvfb gave no display number" >&2; rm -f "$fdfile"; return 1; }
    export DISPLAY=":$(head -n1 "$fdfile" | tr -d '[:space:]')"
    rm -f "$fdfile"
}
yz_stop_xvfb() {
    if [ -n "${YZ_XVFB_PID:-}" ]; then
        kill "$YZ_XVFB_PID" 2>/dev/null || true
        wait "$YZ_XVFB_PID" 2>/dev/null || true
        YZ_XVFB_PID=
    fi
}

yz_configure_win() {
    cmake -S "$YZ_ROOT" -B "$YZ_BUILD_ROOT/win" \
        -DCMAKE_TOOLCHAIN_FILE="$YZ_ROOT/cmake/mingw-i686.cmake" \
        -DCMAKE_BUILD_TYPE=Release "$@"
}
