#!/usr/bin/env bash
# The long fuzzer runs, for a nightly job: builds the asan tree and runs each
# fuzzer of tests/fuzz to 10 million executions (label fuzz-long; two at a
# time on two cores), then prints the executions each reached and ctest's
# summary. scripts/test.sh runs each only for a bounded time.
#   QEX_CMAKE_ARGS="-DQEX_FUZZ_LONG_RUNS=50000000"  more executions
#   QEX_BUILD_ROOT=/path                              as for test.sh
set -euo pipefail
cd "$(dirname "$0")/.."
QEX_TREES=asan QEX_FUZZ_LONG=1 QEX_TEST_JOBS=${QEX_TEST_JOBS:-$(nproc)} \
  QEX_CTEST_ARGS="-L fuzz-long ${QEX_CTEST_ARGS:-}" exec bash scripts/test.sh
