#!/usr/bin/env bash
# Builds the fuzz targets (clang, build/fuzz) and runs each one for N seconds
# (first argument, default 60) on a scratch copy of its seed corpus, with its
# stored regression inputs read as well. Any finding (crash, sanitizer report,
# leak, timeout, memory limit) fails the script; the finding's input is kept
# under <build>/findings/<target>/ and its report is printed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
seconds=${1:-60}
build=${KSB_FUZZ_BUILD:-$root/build/fuzz}

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DKSB_FUZZ=ON -DKSB_BUILD_QT=OFF \
    -DKSB_BUILD_TESTS=OFF -DKSB_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"${KSB_JOBS:-2}" --target fuzz_module fuzz_icon fuzz_script fuzz_unpack

# The targets write a module or two per input: a memory-backed folder keeps
# them from waiting on the disk.
fuzz_tmp=${KSB_FUZZ_TMPDIR:-}
if [ -z "$fuzz_tmp" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
    fuzz_tmp=/dev/shm
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
for target in module icon script unpack; do
    work=$scratch/$target
    # The unpacker reads modules: its seeds and tokens are the module target's.
    seeds=$target
    [ "$target" = unpack ] && seeds=module
    mkdir -p "$work/corpus" "$work/artifacts"
    # libFuzzer adds new inputs to the first folder only: the committed
    # corpus and the regression inputs are read, never grown.
    cp -r "$here/corpus/$seeds/." "$work/corpus/"
    inputs=("$work/corpus")
    if [ -d "$here/regressions/$target" ]; then
        inputs+=("$here/regressions/$target")
    fi
    echo "=== fuzz_$target for ${seconds}s"
    rc=0
    TMPDIR=${fuzz_tmp:-${TMPDIR:-/tmp}} "$build/fuzz/fuzz_$target" "${inputs[@]}" -dict="$here/dict/$seeds.dict" \
        -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$work/artifacts/" >"$work/log" 2>&1 || rc=$?
    runs=$(grep -E '^stat::number_of_executed_units' "$work/log" | awk '{print $2}' || true)
    if [ "$rc" -ne 0 ]; then
        echo "!! fuzz_$target: FINDING (exit $rc)"
        grep -v '^INFO:' "$work/log" | tail -n 80
        mkdir -p "$build/findings/$target"
        cp -r "$work/artifacts/." "$build/findings/$target/" 2>/dev/null || true
        echo "!! inputs kept in $build/findings/$target/"
        status=1
    else
        echo "fuzz_$target: ${runs:-?} runs, no finding"
    fi
done
exit "$status"
