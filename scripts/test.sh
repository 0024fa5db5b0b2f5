#!/usr/bin/env bash
# The test command: installs what is missing (bootstrap.sh), builds the
# presets the tests run from (dev, package-arm64, asan, tsan, fuzz, mingw),
# then runs CTest per test preset: the unit tests of the release build
# (unit), the arm64 cross build's unit tests under qemu-user and its
# renderer's bytes against the dev build's (arm64), the unit,
# ALSA, sound server and Qt window suites under ASan+UBSan (asan), the ALSA
# and sound server services' suites and the player's legs under
# ThreadSanitizer (tsan), the
# integration legs (integration: labels alsa, pulse, app, soak, wayland,
# wine, fuzz), whose fixtures start and stop the services they need, and the
# packages (package). Needs no display and no sound card. Ends with CTest's
# own summary line of each run; exits non-zero when a build or a test fails.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

bash scripts/bootstrap.sh || exit 1

status=0
# dev before package-arm64: the arm64 renderer is compared with the dev one.
for preset in dev package-arm64 asan tsan fuzz mingw; do
  echo "== build: $preset (at ${SECONDS} s)"
  if ! { cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j 2; }; then
    echo "== build: $preset FAILED"
    status=1
  fi
done

logs=build/test-logs
mkdir -p "$logs"
for preset in unit arm64 asan tsan integration package; do
  echo "== ctest --preset $preset (at ${SECONDS} s)"
  ctest --preset "$preset" 2>&1 | tee "$logs/$preset.log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
done

# A test of the dev build without a label is run by none of the presets.
unlabeled="$(ctest --test-dir build/dev -N -LE . | grep 'Test *#')"
if [ -n "$unlabeled" ]; then
  printf '== tests that no preset runs (no label):\n%s\n' "$unlabeled"
  status=1
fi

echo "== summary (after ${SECONDS} s)"
for preset in unit arm64 asan tsan integration package; do
  echo "$preset: $(grep -h 'tests passed' "$logs/$preset.log" || echo 'no summary (CTest did not run)')"
done
exit "$status"
