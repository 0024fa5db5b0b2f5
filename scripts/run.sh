#!/usr/bin/env bash
# Installs what is missing (bootstrap.sh), builds the release preset and
# starts the program. Arguments are passed to the program.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/bootstrap.sh
cmake --preset release >/dev/null
cmake --build --preset release -j 2

app=build/release/src/platform/qt/tonquill
if [ -x "$app" ]; then
  exec "$app" "$@"
fi
# Without the desktop program: one second of a 1 kHz sine into tonquill.wav.
if [ $# -eq 0 ]; then set -- -o tonquill.wav; fi
exec build/release/tools/tonquill-render "$@"
