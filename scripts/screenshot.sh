#!/usr/bin/env bash
# Builds the program, opens it on a virtual display in the Chinese locale and
# saves a picture of its main window to docs/screenshot.png.
set -euo pipefail
. "$(dirname "$0")/env.sh"

"$YZ_ROOT/scripts/setup.sh"
yz_configure_win >/dev/null
cmake --build "$YZ_BUILD_ROOT/win" --target app -j"$YZ_JOBS"
exe=$YZ_BUILD_ROOT/win/YanzhouCombiner.exe

app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    yz_stop_xvfb
}
trap cleanup EXIT

yz_start_xvfb
# A Wine virtual desktop draws the window's frame and title bar the way
# Windows does (no window manager runs on the virtual display).
dw=640 dh=720
wine explorer /desktop=yzshot,${dw}x${dh} "$exe" &
app_pid=$!
for _ in $(seq 100); do
    xdotool search --name yzshot >/dev/null 2>&1 && break
    sleep 0.2
done
sleep 6   # start-up and painting
out=${1:-$YZ_ROOT/docs/screenshot.png}
mkdir -p "$(dirname "$out")"
# The program centres its 525 x 638 window on the screen.
import -display "$DISPLAY" -window root -crop "525x638+$(((dw - 525) / 2))+$(((dh - 638) / 2))" +repage "$out"
echo "Saved $out"
