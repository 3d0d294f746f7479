#!/usr/bin/env bash
# Builds the Windows release and packs dist/YanzhouCombiner-<version>.zip: the
# program, docs/README-zh.txt and SHA256SUMS, then checks the zip (contents,
# sums, imported DLLs, version block, manifest). dist/ also gets the zip's own
# .sha256.
set -euo pipefail
. "$(dirname "$0")/env.sh"

d=$YZ_BUILD_ROOT/win
yz_configure_win -DYZ_DIST_DIR="$YZ_ROOT/dist" >/dev/null
cmake --build "$d" -j"$YZ_JOBS" --target release_zip
version=$(sed -n 's/^project(YanzhouCombiner VERSION \([0-9.]*\).*/\1/p' "$YZ_ROOT/CMakeLists.txt")
zip="$YZ_ROOT/dist/YanzhouCombiner-$version.zip"
objdump=$(command -v i686-w64-mingw32-objdump || command -v objdump)
cmake -DZIP="$zip" -DOBJDUMP="$objdump" -DVERSION="$version" -P "$YZ_ROOT/tests/check_release.cmake"
(cd "$YZ_ROOT/dist" && sha256sum -c "YanzhouCombiner-$version.zip.sha256")
unzip -l "$zip"
