#!/usr/bin/env bash
# Installs what is missing and runs every test: the unit tests (release
# build), the same under AddressSanitizer and UndefinedBehaviorSanitizer, the
# text-entry fuzzer for a bounded time, then the platform legs that exist.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
cd "$TQ_ROOT"

passed=0
failed=0
failures=()

# Runs one named step and counts it.
step() {
  local name="$1"
  shift
  tq_log "$name"
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    failures+=("$name")
  fi
}

build_and_test() {
  local preset="$1"
  cmake --preset "$preset" >/dev/null &&
    cmake --build --preset "$preset" -j "$TQ_JOBS" &&
    ctest --preset "$preset" -j "$TQ_JOBS"
}

fuzz() {
  cmake --preset fuzz >/dev/null &&
    cmake --build --preset fuzz -j "$TQ_JOBS" &&
    bash scripts/run-fuzzers.sh build/fuzz "${TQ_FUZZ_SECONDS:-60}"
}

tq_apt_install "${TQ_BUILD_PACKAGES[@]}" "${TQ_TEST_PACKAGES[@]}" || exit 1
tq_ensure_comma_locale || echo "warning: no locale with a decimal comma could be made"

step "unit tests (release build)" build_and_test dev
step "unit tests (ASan + UBSan)" build_and_test asan
step "fuzzing the text entry paths" fuzz
for leg in scripts/test-linux-app.sh scripts/test-windows.sh; do
  [ -f "$leg" ] && step "$(basename "$leg" .sh)" bash "$leg"
done

tq_log "summary"
for name in "${failures[@]}"; do echo "FAILED: $name"; done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
