#!/bin/sh
# Runs every libFuzzer target (or the ones named) for a given number of seconds each, two at
# a time at low priority, and prints executions per second and what was found.
#   tools/fuzz.sh [seconds] [fuzz_name ...]
# Findings land in build-fuzz/findings/<target>/; copy reproducers into fuzz/corpus/<target>/
# once fixed, so the replay tests keep them.
set -eu
cd "$(dirname "$0")/.."
ROOT=$PWD
tools/setup.sh clang libclang-rt-14-dev
# Leaks that system libraries keep for the life of the process are not findings.
export LSAN_OPTIONS="suppressions=$ROOT/tests/lsan.supp" ALSOFT_DRIVERS=null
seconds=${1:-600}
[ $# -gt 0 ] && shift
jobs=${FUZZ_JOBS:-2}
build=build-fuzz

if [ ! -f $build/CMakeCache.txt ]; then
    CC=clang CXX=clang++ cmake -S . -B $build -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DZAN_BUILD_FUZZ=ON -DZAN_BUILD_TESTS=OFF -DZAN_BUILD_BENCH=OFF
fi
targets=${*:-$(cd fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//')}
nice cmake --build $build -j2 --target $targets

run_one() {
    name=$1
    work=$ROOT/$build/findings/$name
    mkdir -p "$work/corpus"
    log=$work/run.log
    # The working corpus grows beside the seeds, which stay as they are in the repository.
    # Absolute paths: a target may change its working directory.
    nice -n 15 "$ROOT/$build/bin/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -malloc_limit_mb=1024 -print_final_stats=1 -artifact_prefix="$work/" \
        "$work/corpus" "$ROOT/fuzz/corpus/$name" >"$log" 2>&1 || true
    units=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    took=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
    found=$(ls "$work" | grep -c -E '^(crash|leak|timeout|oom|slow-unit)-' || true)
    printf '%-16s %10s runs %8s exec/s  %s finding(s)\n' "$name" "${units:-?}" "${took:-?}" "$found"
}

running=0
for t in $targets; do
    run_one "$t" &
    running=$((running + 1))
    if [ $running -ge "$jobs" ]; then
        wait
        running=0
    fi
done
wait
