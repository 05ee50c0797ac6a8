#!/usr/bin/env bash
# Builds and runs every test twice: a normal build, then one with
# AddressSanitizer and UndefinedBehaviorSanitizer. Fails on any test failure
# or sanitizer report.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:halt_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"

run_suite() {
    local dir=$1
    shift
    scripts/build.sh "$dir" "$@"
    # Windows and dialogs need an X server; the tests share one Xvfb.
    xvfb-run -a -s "-screen 0 1280x1024x24" \
        ctest --test-dir "$dir" --no-tests=error --output-on-failure -j"$(nproc)" --timeout 900
}

run_suite build -DTOLVANE_BUILD_TESTS=ON -DTOLVANE_SANITIZE=OFF
run_suite build-sanitize -DTOLVANE_BUILD_TESTS=ON -DTOLVANE_SANITIZE=ON
