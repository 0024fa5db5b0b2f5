#!/usr/bin/env bash
# Runs every libFuzzer target of a build for a bounded time each.
# Usage: run-fuzzers.sh BUILD_DIR SECONDS
set -euo pipefail
build="$1"
seconds="$2"
corpus="$(mktemp -d)"
trap 'rm -rf "$corpus"' EXIT
found=0
for target in "$build"/tests/fuzz/*_fuzz; do
  [ -x "$target" ] || continue
  found=1
  name="$(basename "$target")"
  mkdir -p "$corpus/$name"
  echo "fuzzing $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -print_final_stats=1 "$corpus/$name" 2>&1 | tail -n 12
done
[ "$found" -eq 1 ] || { echo "no fuzz target in $build/tests/fuzz"; exit 1; }
