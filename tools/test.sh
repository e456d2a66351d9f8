#!/bin/sh
# Installs what is missing, builds everything twice (plain, and with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs every test in both builds. Tests that need a display run
# under a virtual X server; each test sets its own sound driver (OpenAL Soft's null device), so
# ctest gives the same results here and by hand.
set -e
ROOT=$(cd "$(dirname "$0")/.." && pwd)
"$ROOT/tools/setup.sh"
JOBS=$(nproc)
export XDG_RUNTIME_DIR=$(mktemp -d)   # the single-copy guard of test runs stays private

# A failed configuration or build fails the suite (set -e does not reach into a function
# called from an || list), so a public function without its comment fails CI as well.
run_suite() {
  dir=$1; shift
  cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null || return 1
  cmake --build "$dir" -j"$JOBS" || return 1
  (cd "$dir" && xvfb-run -a -s "-screen 0 1024x768x24" \
     ctest --output-on-failure -j"$JOBS" --timeout 300)
}

status=0
echo "== plain build =="
run_suite "$ROOT/build" || status=1
echo "== sanitizer build =="
ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$ROOT/tests/lsan.supp run_suite "$ROOT/build-asan" -DZAN_SANITIZE=ON -DZAN_BUILD_BENCH=OFF -DZAN_BUILD_DOCS=OFF || status=1
exit $status
