#!/usr/bin/env bash
# Installs what is missing, then builds and runs the whole test suite twice:
# a normal build, and one with AddressSanitizer and UndefinedBehaviorSanitizer.
# Both halves always run, so both results are seen; the exit status is
# non-zero when either half failed.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh || exit 1

normal=0
echo "== normal build"
if scripts/build.sh build; then
  ctest --test-dir build --output-on-failure -j2 || normal=1
else
  echo "== normal build FAILED"
  normal=1
fi

sanitized=0
echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
if scripts/build.sh build-asan -DTROVIK_SANITIZE=ON; then
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
  LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -j2 || sanitized=1
else
  echo "== sanitizer build FAILED"
  sanitized=1
fi

echo "== results: normal $([ $normal = 0 ] && echo passed || echo FAILED)," \
     "sanitizers $([ $sanitized = 0 ] && echo passed || echo FAILED)"
[ $normal = 0 ] && [ $sanitized = 0 ]
