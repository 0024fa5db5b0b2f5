#!/usr/bin/env bash
# Runs scripts/bootstrap.sh against stand-ins for dpkg-query, apt-get, sudo,
# id, locale and locale-gen that behave as the real ones do, and checks what
# it asked apt to install and how it ended: on a machine where dpkg knows
# none of the packages, some of them, all of them, when apt fails, as a user
# who is not root, and without the de_DE.UTF-8 locale. No network, nothing
# installed.
#
# Usage: bootstrap_test.sh [BOOTSTRAP_SCRIPT]   (default: scripts/bootstrap.sh)
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
bootstrap="${1:-$here/../../scripts/bootstrap.sh}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0

# The stand-ins. Package states come from $STATE (lines "PACKAGE STATUS",
# PACKAGE as the list names it); a package not listed is one dpkg has never
# heard of. dpkg-query names each NAME:ARCH, the machine's being amd64; dpkg
# takes the architectures in $FOREIGN (default arm64) besides. Every apt,
# dpkg and sudo call is logged.
mkdir -p "$work/bin"
cat >"$work/bin/dpkg-query" <<'STANDIN'
#!/usr/bin/env bash
status=0
for package in "${@:3}"; do
  line="$(grep -m1 "^$package " "$STATE")"
  qualified="$package"
  [[ "$package" == *:* ]] || qualified="$package:amd64"
  if [ -n "$line" ]; then echo "$qualified ${line#* }"; else
    echo "dpkg-query: no packages found matching $package" >&2
    status=1
  fi
done
exit "$status"
STANDIN
cat >"$work/bin/dpkg" <<'STANDIN'
#!/usr/bin/env bash
case "$1" in
  --print-architecture) echo amd64 ;;
  --print-foreign-architectures) [ -n "${FOREIGN-arm64}" ] && echo "${FOREIGN-arm64}" ;;
  *) echo "dpkg $*" >>"$LOG" ;;
esac
exit 0
STANDIN
cat >"$work/bin/apt-get" <<'STANDIN'
#!/usr/bin/env bash
echo "apt-get $*" >>"$LOG"
if [[ " $* " == *" install "* && -n "${APT_FAILS:-}" ]]; then
  echo "E: Unable to locate package $APT_FAILS" >&2
  exit 100
fi
STANDIN
cat >"$work/bin/sudo" <<'STANDIN'
#!/usr/bin/env bash
echo "sudo $*" >>"$LOG"
exec "$@"
STANDIN
cat >"$work/bin/id" <<'STANDIN'
#!/usr/bin/env bash
echo "${USER_ID:-0}"
STANDIN
cat >"$work/bin/locale" <<'STANDIN'
#!/usr/bin/env bash
printf 'C\nC.utf8\nPOSIX\n%s' "${LOCALES-de_DE.utf8}"
STANDIN
cat >"$work/bin/locale-gen" <<'STANDIN'
#!/usr/bin/env bash
echo "locale-gen" >>"$LOG"
STANDIN
chmod +x "$work/bin/"*

# The packages bootstrap.sh asks for, as it lists them.
packages=$(sed -n '/^packages=(/,/^)/p' "$bootstrap" | grep -v '^ *#' |
  sed 's/packages=(//; s/)//; s/"\$@"//' | tr -s ' \n' '\n' | grep -v '^$')
first=$(head -n1 <<<"$packages")
second=$(sed -n 2p <<<"$packages")
rest=$(tail -n +3 <<<"$packages")

fail() {
  echo "FAIL: $1" >&2
  failures=$((failures + 1))
}

# run_case NAME STATE EXPECTED_STATUS EXPECTED_INSTALL [VAR=VALUE...]:
# EXPECTED_INSTALL is the list apt-get install must get ("" for no install).
run_case() {
  local name="$1" state="$2" want_status="$3" want_install="$4"
  shift 4
  printf '%s' "$state" >"$work/state"
  : >"$work/log"
  printf '# de_DE.UTF-8 UTF-8\n' >"$work/locale.gen"
  env PATH="$work/bin:$PATH" STATE="$work/state" LOG="$work/log" \
    TQ_LOCALE_GEN="$work/locale.gen" "$@" \
    bash "$bootstrap" >"$work/out" 2>&1
  local status=$?
  local install
  install=$(grep '^apt-get ' "$work/log" | grep -o ' install -y --no-install-recommends .*' |
    sed 's/ install -y --no-install-recommends //' | tr ' ' '\n')
  [ "$status" -eq "$want_status" ] || fail "$name: status $status, expected $want_status ($(cat "$work/out"))"
  [ "$install" = "$want_install" ] || fail "$name: installed [$(echo $install)], expected [$(echo $want_install)]"
  if [ -n "$want_install" ]; then
    grep -q "^bootstrap: installing $(echo $want_install)\$" "$work/out" ||
      fail "$name: no one-line announcement of what is installed"
  fi
  echo "$name: status $status"
}

all_installed=$(sed 's/$/ install ok installed/' <<<"$packages")
run_case "nothing known" "" 0 "$packages"
run_case "some known, one removed" "$first install ok installed
$second deinstall ok config-files
" 0 "$second
$rest"
run_case "all installed" "$all_installed" 0 ""
run_case "apt fails" "$first install ok installed
" 100 "$second
$rest" APT_FAILS="$second"
grep -q "E: Unable to locate package $second" "$work/out" || fail "apt fails: apt's message not shown"

run_case "not root" "" 0 "$packages" USER_ID=1000
[ "$(grep -c '^sudo .*apt-get' "$work/log")" -eq 2 ] || fail "not root: apt-get not run through sudo"

run_case "arm64 not added yet" "" 0 "$packages" FOREIGN=
[ "$(grep -E -m2 '^(dpkg|apt-get) ' "$work/log" | tr '\n' ';')" = \
  "dpkg --add-architecture arm64;apt-get -o DPkg::Lock::Timeout=600 -q update;" ] ||
  fail "arm64 not added yet: not added before apt-get update ($(cat "$work/log"))"
run_case "arm64 added before" "" 0 "$packages"
! grep -q -- '--add-architecture' "$work/log" || fail "arm64 added before: added again"

run_case "no German locale" "$all_installed" 0 "" LOCALES=
grep -qx locale-gen "$work/log" || fail "no German locale: locale-gen not run"
grep -qx 'de_DE.UTF-8 UTF-8' "$work/locale.gen" || fail "no German locale: not in the locale list"

echo "checks failed: $failures"
[ "$failures" -eq 0 ]
