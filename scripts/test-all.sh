#!/usr/bin/env bash
# Runs the whole test suite: Linux release build, sanitizer build (ASan +
# UBSan), a clang build, Windows x86_64 under wine64 and Windows i686 under
# wine32, each with its package; then the fuzz targets. The unit tests run
# once per system (and per Linux compiler), the end-to-end tests on each
# architecture. Installs what it needs first. The last line is the overall
# summary, each stage's minutes before it.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/setup-debian.sh

jobs=${KSB_JOBS:-2}
summary=()
passed=0
failed=0

run_ctest() { # name, build dir
    local log="$2/ctest.log" rc=0
    ctest --test-dir "$2" --output-on-failure -j"$jobs" --timeout 900 2>&1 | tee "$log" || rc=$?
    local line
    line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 || true)
    if [ -z "$line" ]; then
        echo "!! $1: ctest gave no summary (exit $rc)"
        failed=$((failed + 1))
        summary+=("$1: no summary")
        return
    fi
    local total fail
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    fail=$(sed -E 's/.*tests passed, ([0-9]+) tests failed.*/\1/' <<<"$line")
    passed=$((passed + total - fail))
    failed=$((failed + fail))
    summary+=("$1: $line")
    if [ "$rc" -ne 0 ] && [ "$fail" -eq 0 ]; then
        failed=$((failed + 1))
        summary+=("$1: ctest exit $rc")
    fi
}

timings=()
stage_start=$SECONDS
stage_done() { # name
    local took=$((SECONDS - stage_start))
    timings+=("$(printf '%-14s %3d min %02d s' "$1" $((took / 60)) $((took % 60)))")
    stage_start=$SECONDS
}

build() { # preset; a failed configure or build ends the script
    echo "=== configure and build: $1"
    cmake --preset "$1" >/dev/null
    cmake --build "build/$1" -j"$jobs"
}

# The Linux program and a Windows one build the example to the same modules;
# Wine's loader reads the example's strings back.
cross_check() { # name, build dir, runner
    echo "=== cross-build check: $1"
    if KSB_WINEPREFIX="$root/$2/wine-prefix" /usr/bin/python3 tests/integration/cross_check.py \
        --linux build/release/app/qt/KestoSkinBuilder \
        --windows "$2/app/win32/KestoSkinBuilder.exe" \
        --load-strings "$2/tests/wine_example/load_strings.exe" \
        --wine "$3"; then
        passed=$((passed + 1))
        summary+=("cross-build $1: identical modules, strings read back")
    else
        failed=$((failed + 1))
        summary+=("cross-build $1: FAILED (see above)")
    fi
}

build release
run_ctest linux build/release
stage_done linux

build dev
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    run_ctest sanitizers build/dev
stage_done sanitizers

# A second compiler on the same suite, in a light configuration (Release).
build clang
run_ctest clang build/clang
stage_done clang

build windows
run_ctest windows build/windows
cross_check x86_64 build/windows cmake/wine-run.sh
stage_done windows

# The 32-bit program: its end-to-end tests (no unit tests) under wine32. A
# kernel without IA32 emulation runs no 32-bit program at all, wine32's
# loader included: the tests are then reported as not run (and count as a
# failure with KSB_REQUIRE_WINE32=1).
build windows-i686
if bash cmake/wine32-run.sh --check; then
    run_ctest windows-i686 build/windows-i686
    cross_check i686 build/windows-i686 cmake/wine32-run.sh
elif [ "${KSB_REQUIRE_WINE32:-0}" = 1 ]; then
    failed=$((failed + 1))
    summary+=("windows-i686: compiled; wine32 cannot run here: FAILED (KSB_REQUIRE_WINE32=1)")
else
    echo "!! windows-i686: wine32 cannot run on this machine; its end-to-end tests are NOT RUN"
    summary+=("windows-i686: compiled; end-to-end tests NOT RUN (wine32 cannot run here, see above)")
fi
stage_done windows-i686

# Each fuzz target for KSB_FUZZ_SECONDS (default 60) on its corpus; one entry.
if bash fuzz/run_fuzzers.sh "${KSB_FUZZ_SECONDS:-60}"; then
    passed=$((passed + 1))
    summary+=("fuzz: no finding")
else
    failed=$((failed + 1))
    summary+=("fuzz: FINDING (see above)")
fi
stage_done fuzz

echo
echo "=== summary"
printf '%s\n' "${timings[@]}"
printf '%s\n' "${summary[@]}"
echo "total: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
