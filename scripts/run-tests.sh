#!/usr/bin/env bash
# Builds and runs every test three times: a normal build (build-tests/), one
# with AddressSanitizer and UndefinedBehaviorSanitizer (build-sanitize/) and
# one with ThreadSanitizer (build-tsan/, its options come with the build).
# Each runs whatever the one before gives; a summary names each build's result.
# Fails on any build or test failure, sanitizer report, or a build that ran
# no test. Warnings are errors here, as in CI.
# Usage: scripts/run-tests.sh [ctest arguments...], e.g. -R ShellTest to run
# only some tests.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh || exit 1

ctest_args=("$@")

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:halt_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"

summary=()
failed=0

# Builds one folder and runs its tests; adds a line to the summary.
run_suite() {
    local dir=$1
    shift
    if ! scripts/build.sh "$dir" -DTOLVANE_BUILD_TESTS=ON -DTOLVANE_WARNINGS_AS_ERRORS=ON "$@"; then
        summary+=("$dir: FAILED (the build failed, no test ran)")
        failed=1
        return
    fi
    # Windows and dialogs need an X server; the tests share one Xvfb.
    local log="$dir/run-tests.log"
    xvfb-run -a -s "-screen 0 1280x1024x24" \
        ctest --test-dir "$dir" --no-tests=error --output-on-failure -j"$(nproc)" --timeout 900 \
        "${ctest_args[@]}" | tee "$log"
    local status=$?
    # ctest's own count, e.g. "100% tests passed, 0 tests failed out of 412".
    local count total
    count=$(grep -Eo '[0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    total=${count##* }
    if [ -z "$count" ] || [ "$total" -eq 0 ]; then
        summary+=("$dir: FAILED (no test ran)")
        failed=1
    elif [ "$status" -ne 0 ]; then
        [ "${count%% *}" -eq 0 ] && count="ctest ended with status $status"
        summary+=("$dir: FAILED ($count)")
        failed=1
    else
        summary+=("$dir: passed ($total tests)")
    fi
}

run_suite build-tests -DTOLVANE_SANITIZE=OFF
run_suite build-sanitize -DTOLVANE_SANITIZE=ON
run_suite build-tsan -DTOLVANE_SANITIZE=thread

echo
echo "Test summary:"
printf '  %s\n' "${summary[@]}"
exit "$failed"
