#!/usr/bin/env bash
# Installs what building and testing need on Debian 12 (run as root) and
# creates the Wine prefix. Does nothing slow when everything is there.
set -euo pipefail
. "$(dirname "$0")/env.sh"

packages=(
    cmake make g++ clang libclang-rt-14-dev googletest
    g++-mingw-w64-i686 binutils-mingw-w64-i686
    wine wine32:i386 xvfb xauth x11-utils xdotool
    locales fonts-wqy-microhei imagemagick zip unzip python3
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${db:Status-Abbrev}' "$p" 2>/dev/null | grep -q '^ii' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    yz_say "Installing: ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then
        echo "Packages are missing and this is not root: run as root, or install them: ${missing[*]}" >&2
        exit 1
    fi
    # wine32 is a 32-bit package.
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}" </dev/null
fi

if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
    yz_say "Generating the zh_CN.UTF-8 locale"
    if grep -q '^# *zh_CN.UTF-8 UTF-8' /etc/locale.gen; then
        sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
    elif ! grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen; then
        echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen
    fi
    locale-gen
fi

# The prefix is made once and serially: Wine processes that start in
# parallel on a fresh prefix race while creating it.
if [ ! -f "$WINEPREFIX/.yz-ready" ]; then
    yz_say "Creating the Wine prefix $WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    wine wineboot --init </dev/null
    wineserver -w
    # A crashing test must fail, not wait for someone to close a dialog.
    wine reg ADD 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null
    wineserver -w
    touch "$WINEPREFIX/.yz-ready"
fi
