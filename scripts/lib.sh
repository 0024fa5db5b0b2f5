# Shared helpers for the project's scripts (sourced, not run).

TQ_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
TQ_JOBS="${TQ_JOBS:-$(nproc 2>/dev/null || echo 2)}"

tq_log() { printf '\n== %s\n' "$*"; }

# Runs a command as root: directly when we are root, else through sudo.
tq_as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Polls until process $1 is gone, at most $2 seconds; fails if it is not.
tq_wait_gone() {
  local pid="$1" deadline=$((SECONDS + $2))
  while kill -0 "$pid" 2>/dev/null; do
    [ "$SECONDS" -ge "$deadline" ] && return 1
    sleep 0.1
  done
}

# Stops process $1 by its PID: TERM, then KILL after 5 s; reaps it when it
# is our child. Does nothing for an empty or finished PID.
tq_stop_pid() {
  local pid="$1"
  [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || return 0
  kill "$pid" 2>/dev/null
  tq_wait_gone "$pid" 5 || kill -9 "$pid" 2>/dev/null
  tq_wait_gone "$pid" 5
  wait "$pid" 2>/dev/null
  return 0
}

# Installs the Debian packages of the list that are not installed yet.
tq_apt_install() {
  local missing=()
  local pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  tq_log "installing: ${missing[*]}"
  if [ -z "${TQ_APT_UPDATED:-}" ]; then
    tq_as_root apt-get update -qq
    TQ_APT_UPDATED=1
  fi
  tq_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
}

# What every build needs.
TQ_BUILD_PACKAGES=(build-essential cmake ninja-build pkg-config libsndfile1-dev qt6-base-dev
  libasound2-dev)
# What the unit tests, sanitizers, fuzzer and benchmarks need.
TQ_TEST_PACKAGES=(googletest libgtest-dev libbenchmark-dev clang libclang-rt-14-dev locales)

# Makes a locale with a decimal comma available, so the tests can show that
# numbers in the boxes do not depend on the user's locale.
tq_ensure_comma_locale() {
  locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' && return 0
  tq_as_root sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | tq_as_root tee -a /etc/locale.gen >/dev/null
  tq_as_root locale-gen >/dev/null
}
