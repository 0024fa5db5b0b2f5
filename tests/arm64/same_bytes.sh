#!/usr/bin/env bash
# The arm64 renderer writes the same bytes as the amd64 one: renders every
# argument line of LIST with both (-o -, raw samples) and compares them.
#
# Usage: same_bytes.sh NATIVE_RENDER LIST CROSS_COMMAND...
#   NATIVE_RENDER  the amd64 tonquill-render (the dev build's)
#   LIST           argument lines, one signal a line; # starts a comment
#   CROSS_COMMAND  the arm64 tonquill-render, after its emulator
set -uo pipefail
native="$1" list="$2"
shift 2
cross=("$@")

[ -x "$native" ] || { echo "FAIL: no amd64 renderer at $native (build the dev preset first)" >&2; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

failures=0 count=0
while read -r line; do
  [[ -z "$line" || "$line" == \#* ]] && continue
  read -ra args <<<"$line"
  count=$((count + 1))
  if ! "$native" "${args[@]}" -o - >"$work/native" || ! "${cross[@]}" "${args[@]}" -o - >"$work/cross"; then
    echo "FAIL: $line: a renderer failed" >&2
    failures=$((failures + 1))
  elif [ ! -s "$work/native" ] || ! cmp "$work/native" "$work/cross"; then
    echo "FAIL: $line: $(stat -c %s "$work/native") and $(stat -c %s "$work/cross") bytes, not the same" >&2
    failures=$((failures + 1))
  else
    echo "same $(stat -c %s "$work/native") bytes: $line"
  fi
done <"$list"
[ "$count" -gt 0 ] || { echo "FAIL: no argument lines in $list" >&2; exit 1; }
echo "$count signals, $failures different"
[ "$failures" -eq 0 ]
