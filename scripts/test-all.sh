#!/usr/bin/env bash
# Runs the whole test suite: Linux release build, sanitizer build (ASan +
# UBSan), Windows x86_64 build under wine64, and a compile of Windows i686.
# Installs what it needs first. The last line is the overall summary.
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

build() { # preset
    echo "=== configure and build: $1"
    cmake --preset "$1" >/dev/null
    cmake --build "build/$1" -j"$jobs"
}

build release
run_ctest linux build/release

build dev
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    run_ctest sanitizers build/dev

build windows
run_ctest windows build/windows

# The two programs build the example to the same modules; Wine's loader reads
# the example's strings back.
echo "=== cross-build check"
if KSB_WINEPREFIX="$root/build/windows/wine-prefix" /usr/bin/python3 tests/integration/cross_check.py \
    --linux build/release/app/qt/KestoSkinBuilder \
    --windows build/windows/app/win32/KestoSkinBuilder.exe \
    --load-strings build/windows/tests/wine_example/load_strings.exe \
    --wine cmake/wine-run.sh; then
    passed=$((passed + 1))
    summary+=("cross-build: identical modules, strings read back")
else
    failed=$((failed + 1))
    summary+=("cross-build: FAILED (see above)")
fi

build windows-i686
summary+=("windows-i686: compiled")

# Each fuzz target for KSB_FUZZ_SECONDS (default 60) on its corpus; one entry.
if bash fuzz/run_fuzzers.sh "${KSB_FUZZ_SECONDS:-60}"; then
    passed=$((passed + 1))
    summary+=("fuzz: no finding")
else
    failed=$((failed + 1))
    summary+=("fuzz: FINDING (see above)")
fi

echo
echo "=== summary"
printf '%s\n' "${summary[@]}"
echo "total: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
