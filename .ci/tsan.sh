#!/usr/bin/env bash
# The thread tests under ThreadSanitizer: configures the tsan preset, builds
# only test_threads and runs the tests whose name contains "Threads".
# Any race report fails the run (halt_on_error in the test preset).
set -euo pipefail
cd "$(dirname "$0")/.."
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-2}"
cmake --preset tsan >/dev/null
cmake --build --preset tsan --target test_threads
ctest --preset tsan
