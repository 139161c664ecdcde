#!/usr/bin/env bash
# Installs what is missing, checks formatting, builds, and runs the whole test suite twice:
# in the normal build (warnings are errors) and under AddressSanitizer + UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/check-format.sh

echo "== build and test (RelWithDebInfo)"
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir build -j2 --output-on-failure --timeout 300

# Under the sanitizers everything runs several times slower; a test that timed out once there
# gets a second run (the normal build above gets none).
echo "== build and test (AddressSanitizer + UndefinedBehaviorSanitizer)"
scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DQUILLMARK_SANITIZE=ON -DQUILLMARK_BUILD_BENCHMARKS=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
LSAN_OPTIONS=suppressions=$PWD/tests/support/lsan.supp:print_suppressions=0 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan -j2 --output-on-failure --timeout 600 --repeat until-pass:2
