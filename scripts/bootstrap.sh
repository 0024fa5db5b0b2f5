#!/usr/bin/env bash
# Installs every Debian package that the project's builds, tests and scripts
# need and that is not installed yet (apt-get, through sudo when not run as
# root), and makes the de_DE.UTF-8 locale, in which the window tests run a
# second time. The only script that installs anything: scripts/run.sh and
# scripts/test.sh call it before they build; no test installs anything.
# Works on a machine where none of the packages is known to dpkg yet.
#
# Usage: scripts/bootstrap.sh [PACKAGE...]   (more packages for a script of
# one's own, e.g. python3-matplotlib for plot_waveforms.sh)
set -euo pipefail

packages=(
  # building: the core, the Qt program with ALSA, the renderer
  build-essential cmake ninja-build pkg-config git qt6-base-dev libxcb1-dev libasound2-dev
  libsndfile1-dev
  # unit tests, sanitizers, fuzzers, benchmarks
  googletest libgtest-dev libbenchmark-dev clang libclang-rt-14-dev locales
  # the ALSA, PulseAudio, end-to-end and soak legs
  libasound2-plugins pulseaudio pulseaudio-utils stress-ng python3 python3-numpy procps
  # the PulseAudio client service, and the same legs against PipeWire
  libpulse-dev pipewire wireplumber pipewire-pulse dbus-daemon
  # the Wayland leg: a headless compositor and Qt's Wayland plugin
  weston qt6-wayland
  # the Windows program and its Wine legs
  g++-mingw-w64-x86-64-posix wine wine64 xvfb xdotool imagemagick
  # the packages and their checks
  openbox x11-utils lintian desktop-file-utils appstream librsvg2-bin man-db dpkg-dev
  nsis
  # the arm64 tools package: Debian's AArch64 cross compiler, qemu-user for
  # its tests (with multiarch's arm64 loader and C library), and the arm64
  # libraries the tools link (multiarch)
  crossbuild-essential-arm64 qemu-user libc6:arm64
  libsndfile1-dev:arm64 libasound2-dev:arm64 libpulse-dev:arm64 libgtest-dev:arm64
  "$@"
)

# The architectures whose packages the list names besides the machine's own.
foreign_architectures=(arm64)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# The packages dpkg knows as installed, named as the list names them: NAME
# for the machine's own architecture (or all), NAME:ARCH for another.
# dpkg-query ends with status 1 when any of them is one it has never heard
# of ("no packages found matching"), which is the normal case on a new
# machine: its listing is still complete.
installed_packages() {
  local native
  native="$(dpkg --print-architecture)"
  dpkg-query -W -f='${Package}:${Architecture} ${Status}\n' "${packages[@]}" 2>/dev/null |
    awk -v native="$native" '$NF == "installed" { sub(":(" native "|all)$", "", $1); print $1 }' ||
    true
}

# Lets dpkg install the packages of every architecture in the list that it
# does not take yet; apt-get update (below) then fetches their lists.
add_foreign_architectures() {
  local known architecture
  known="$(dpkg --print-foreign-architectures)"
  for architecture in "${foreign_architectures[@]}"; do
    grep -qx -- "$architecture" <<<"$known" && continue
    echo "bootstrap: adding the architecture $architecture"
    as_root dpkg --add-architecture "$architecture"
  done
}

installed="$(installed_packages)"
missing=()
for package in "${packages[@]}"; do
  grep -qx -- "$package" <<<"$installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "bootstrap: installing ${missing[*]}"
  add_foreign_architectures
  # Waits for the package database while another apt-get or dpkg holds it;
  # -q keeps apt's own error lines, which end the script with its status.
  apt=(apt-get -o DPkg::Lock::Timeout=600 -q)
  as_root "${apt[@]}" update >/dev/null
  as_root env DEBIAN_FRONTEND=noninteractive "${apt[@]}" install -y --no-install-recommends \
    "${missing[@]}" >/dev/null
fi

# The list of locales locale-gen makes (another file for the script's test).
locale_list="${TQ_LOCALE_GEN:-/etc/locale.gen}"
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  echo "bootstrap: making the de_DE.UTF-8 locale"
  as_root sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' "$locale_list"
  grep -q '^de_DE.UTF-8 UTF-8' "$locale_list" ||
    echo 'de_DE.UTF-8 UTF-8' | as_root tee -a "$locale_list" >/dev/null
  as_root locale-gen >/dev/null
fi
