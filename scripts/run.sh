#!/usr/bin/env bash
# Installs what is missing, builds the release preset and starts the program.
# Arguments are passed to the program.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$TQ_ROOT"

tq_apt_install "${TQ_BUILD_PACKAGES[@]}"
cmake --preset release >/dev/null
cmake --build --preset release -j "$TQ_JOBS"

app=build/release/src/platform/qt/tonquill
if [ -x "$app" ]; then
  exec "$app" "$@"
fi
# Without the desktop program: one second of a 1 kHz sine into tonquill.wav.
if [ $# -eq 0 ]; then set -- -o tonquill.wav; fi
exec build/release/tools/tonquill-render "$@"
