#!/usr/bin/env bash
# CI: every test, built with AddressSanitizer (leaks included) and
# UndefinedBehaviorSanitizer; any report fails the run. Third-party leaks are suppressed by name in
# tests/robustness/lsan.supp, never the console's own.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build="${TQM_ASAN_BUILD_DIR:-$here/build-asan}"
check=sanitizers
# shellcheck source=scripts/ci/lib/common.sh
source "$here/scripts/ci/lib/common.sh"

bash "$here/scripts/setup.sh"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTQM_SANITIZE=ON \
  -DTQM_BENCH=OFF >/dev/null
cmake --build "$build"

export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:print_stacktrace=1:check_initialization_order=1:strict_init_order=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS="suppressions=$here/tests/robustness/lsan.supp:print_suppressions=0"
ctest --test-dir "$build" --output-on-failure -j2 --timeout 600
say "done in $SECONDS s"
