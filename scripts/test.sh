#!/usr/bin/env bash
# Builds and runs every test: native unit tests (gcc, AddressSanitizer,
# LeakSanitizer, UBSan), the fuzzers (clang, libFuzzer, a bounded time each),
# and the Windows build under Wine on a virtual display (Win32-layer tests,
# end-to-end tests of the real program, the check of its imported DLLs).
# Exits non-zero if anything failed.
#   YZ_FUZZ_SECONDS  seconds per fuzzer (default 20)
#   YZ_JOBS          parallel compile jobs (default 2)
#   YZ_ONLY          native, fuzz or win: run only that layer
set -uo pipefail
. "$(dirname "$0")/env.sh"

"$YZ_ROOT/scripts/setup.sh" || exit 1

results=()
failed=0
logdir="$YZ_BUILD_ROOT/test-logs"
mkdir -p "$logdir"
rm -f "$logdir"/*.log

# step NAME COMMAND...: runs one step, records PASS or FAIL.
step() {
    local name=$1; shift
    yz_say "$name"
    if "$@"; then
        results+=("PASS  $name")
    else
        results+=("FAIL  $name")
        failed=1
        return 1
    fi
}
# ctest with its output kept, so the summary can repeat its closing lines.
run_ctest() {
    local layer=$1; shift
    ctest --output-on-failure --no-tests=error "$@" 2>&1 | tee "$logdir/$layer.log"
    return "${PIPESTATUS[0]}"
}
wanted() { [ -z "${YZ_ONLY:-}" ] || [ "$YZ_ONLY" = "$1" ]; }

trap 'yz_stop_xvfb' EXIT

if wanted native; then
    d=$YZ_BUILD_ROOT/native
    step "native: configure" cmake -S "$YZ_ROOT" -B "$d" -DCMAKE_BUILD_TYPE=Debug -DYZ_SANITIZE=ON &&
    step "native: build" cmake --build "$d" -j"$YZ_JOBS" &&
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
        step "native: unit tests" run_ctest native --test-dir "$d"
fi

if wanted fuzz; then
    d=$YZ_BUILD_ROOT/fuzz
    step "fuzz: configure" env CC=clang CXX=clang++ cmake -S "$YZ_ROOT" -B "$d" -DCMAKE_BUILD_TYPE=Debug \
        -DYZ_FUZZ=ON -DYZ_FUZZ_SECONDS="${YZ_FUZZ_SECONDS:-20}" &&
    step "fuzz: build" cmake --build "$d" -j"$YZ_JOBS" &&
    step "fuzz: run each fuzzer" run_ctest fuzz --test-dir "$d"
fi

if wanted win; then
    d=$YZ_BUILD_ROOT/win
    # A 4 MB file system for the full-disk export test, where mounting is
    # allowed (root); elsewhere that test skips itself.
    small=$(mktemp -d)
    if mount -t tmpfs -o size=4m tmpfs "$small" 2>/dev/null; then export YZ_SMALL_DISK=$small; fi
    step "windows: configure" yz_configure_win &&
    step "windows: build" cmake --build "$d" -j"$YZ_JOBS" &&
    step "windows: start a virtual display" yz_start_xvfb &&
    { echo "Xvfb on $DISPLAY, Wine prefix $WINEPREFIX"; true; } &&
    step "windows: tests under Wine" run_ctest win --test-dir "$d"
    yz_stop_xvfb
    if [ -n "${YZ_SMALL_DISK:-}" ]; then umount -l "$small"; unset YZ_SMALL_DISK; fi
    rmdir "$small" 2>/dev/null
fi

yz_say "Summary"
for r in "${results[@]}"; do echo "  $r"; done
for layer in native fuzz win; do
    [ -f "$logdir/$layer.log" ] || continue
    if wanted "$layer"; then
        echo "  ctest $layer:"
        grep -E 'tests passed|tests failed|^[[:space:]]+[0-9]+ - |Total Test time' "$logdir/$layer.log" | sed 's/^/    /'
    fi
done
if [ "$failed" -ne 0 ]; then
    echo "SOME TESTS OR BUILDS FAILED"
    exit 1
fi
echo "ALL PASSED"
