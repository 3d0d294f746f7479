#!/usr/bin/env bash
# Builds the Windows program (build/win/YanzhouCombiner.exe, Release) and
# opens it under Wine. With no X display set, it starts a virtual one (Xvfb),
# saves a screenshot of it to build/screenshot.png and says how to watch it.
set -euo pipefail
. "$(dirname "$0")/env.sh"

"$YZ_ROOT/scripts/setup.sh"
yz_say "Building the Windows program"
yz_configure_win >/dev/null
cmake --build "$YZ_BUILD_ROOT/win" --target app -j"$YZ_JOBS"
exe=$YZ_BUILD_ROOT/win/YanzhouCombiner.exe
[ -f "$exe" ] || { echo "The build made no $exe" >&2; exit 1; }
echo "Built: $exe"

app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    yz_stop_xvfb
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ -z "${DISPLAY:-}" ]; then
    yz_start_xvfb
    virtual=1
    yz_say "No X display was set: started a virtual one, $DISPLAY (Xvfb, 1280x1024)"
else
    virtual=0
fi

yz_say "Starting the program under Wine (close its window or press Ctrl+C to end)"
wine "$exe" &
app_pid=$!

if [ "$virtual" = 1 ]; then
    shot=$YZ_BUILD_ROOT/screenshot.png
    for _ in $(seq 50); do
        xdotool search --name 'YanzhouCombiner|V1\.1' >/dev/null 2>&1 && break
        kill -0 "$app_pid" 2>/dev/null || break
        sleep 0.2
    done
    sleep 1   # let it paint
    if import -display "$DISPLAY" -window root "$shot" 2>/dev/null; then
        echo "Screenshot of the virtual display: $shot"
    fi
    cat <<MSG
To watch and use the program live, attach a VNC server to the virtual display
from another shell, then connect a VNC viewer to port 5900:
    apt-get install x11vnc && x11vnc -display $DISPLAY -nopw -forever
or take another screenshot:
    import -display $DISPLAY -window root screenshot.png
MSG
fi

set +e
wait "$app_pid"
rc=$?
app_pid=
echo "The program ended with exit code $rc."
exit "$rc"
