#!/usr/bin/env bash
# Checks of the Debian packages, one per CTest test: tonquill (the window,
# WINDOW below) and tonquill-tools (the command-line programs, TOOLS), of
# the amd64 build and of the arm64 cross build.
#   check_deb.sh workflow SOURCE_DIR [PRESET]   builds them: cmake --workflow
#                                        --preset PRESET (default package)
#   check_deb.sh lintian DEB...          lintian reports no error
#   check_deb.sh contents WINDOW VERSION every file and control field in place
#   check_deb.sh tools TOOLS VERSION ARCH  the same for tonquill-tools, its
#                                        programs built for ARCH, no Qt
#   check_deb.sh metadata WINDOW TOOLS   desktop file, AppStream data and man pages valid
#   check_deb.sh install WINDOW TOOLS VERSION  apt-get install over tonquill 0.1.0,
#                                        the programs and man pages answer, removal
#                                        (as root; 77 = skipped)
# Each prints what it found and exits non-zero on the first failed check.
set -uo pipefail

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

need_deb() {
  [ -f "$1" ] || fail "no package at $1 (the workflow test builds it)"
}

workflow() {
  cd "$1" || fail "no source directory $1"
  export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-${TQ_JOBS:-2}}"
  cmake --workflow --preset "${2:-package}"
}

run_lintian() {
  local deb
  for deb in "$@"; do need_deb "$deb"; done
  # Errors fail the test; warnings and notes are printed for docs/packaging.md.
  lintian --display-level '>=pedantic' --fail-on error "$@"
}

# What the package must hold, paths as dpkg-deb lists them.
expected_files() {
  cat <<EOF
./usr/bin/tonquill
./usr/share/applications/tonquill.desktop
./usr/share/icons/hicolor/scalable/apps/tonquill.svg
./usr/share/icons/hicolor/48x48/apps/tonquill.png
./usr/share/icons/hicolor/128x128/apps/tonquill.png
./usr/share/icons/hicolor/256x256/apps/tonquill.png
./usr/share/man/man1/tonquill.1.gz
./usr/share/doc/tonquill/copyright
./usr/share/doc/tonquill/changelog.gz
./usr/share/doc/tonquill/README.md
./usr/share/tonquill/tonquill.html
EOF
}

# What tonquill-tools must hold.
expected_tool_files() {
  cat <<EOF
./usr/bin/tonquill-render
./usr/bin/tonquill-play
./usr/share/man/man1/tonquill-render.1.gz
./usr/share/man/man1/tonquill-play.1.gz
./usr/share/doc/tonquill-tools/copyright
./usr/share/doc/tonquill-tools/changelog.gz
EOF
}

# The files of DEB missing from the list that the command EXPECTED prints.
missing_files() {
  comm -23 <("$2" | sort) <(dpkg-deb -c "$1" | awk '{ print $6 }' | sort)
}

# Width and height of a PNG file, from its header.
png_size() {
  od -An -tu1 -j16 -N8 "$1" |
    awk '{ print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4, $5 * 16777216 + $6 * 65536 + $7 * 256 + $8 }'
}

TREE=""
# Unpacks the package into a directory $TREE, removed at the end.
extract() {
  TREE="$(mktemp -d)"
  trap 'rm -rf "$TREE"' EXIT
  dpkg-deb -x "$1" "$TREE"
}

# Version, Section, Maintainer and a long Description, as each package has them.
check_common_fields() {
  local deb="$1" version="$2"
  [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "Version is not $version"
  [ "$(dpkg-deb -f "$deb" Section)" = "sound" ] || fail "Section is not sound"
  dpkg-deb -f "$deb" Maintainer | grep -Eq '^[^<]+ <[^@>]+@[^>]+>$' || fail "no Maintainer with an address"
  [ "$(dpkg-deb -f "$deb" Description | wc -l)" -gt 2 ] || fail "no long Description"
  [ -z "$(dpkg-deb -f "$deb" Homepage)" ] || fail "a Homepage field"
}

# dpkg-shlibdeps names each library the binaries link, with a version.
check_depends_on() {
  local depends="$1" library
  shift
  for library in "$@"; do
    grep -Eq "(^|, )${library//+/\\+} \(>= [^)]+\)" <<<"$depends" || fail "Depends lacks $library: $depends"
  done
}

check_control_fields() {
  local deb="$1" version="$2"
  check_common_fields "$deb" "$version"
  local depends
  depends="$(dpkg-deb -f "$deb" Depends)"
  check_depends_on "$depends" libc6 libqt6widgets6 libasound2
  # Qt's Wayland plugin and the desktop's opener, which no library names.
  for package in qt6-wayland xdg-utils; do
    grep -Eq "(^|, )$package(,|$| )" <<<"$depends" || fail "Depends lacks $package: $depends"
  done
  [ "$(dpkg-deb -f "$deb" Recommends)" = "tonquill-tools (= $version)" ] ||
    fail "Recommends is not tonquill-tools (= $version)"
}

# The doc files of PACKAGE in the tree: the changelog's newest entry is
# VERSION, the copyright file machine-readable.
check_package_docs() {
  local package="$1" version="$2"
  zcat "$TREE/usr/share/doc/$package/changelog.gz" | head -n1 | grep -q "^tonquill ($version)" ||
    fail "$package: the changelog's newest entry is not $version"
  grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
    "$TREE/usr/share/doc/$package/copyright" || fail "$package: the copyright file is not machine-readable"
}

# Each named man page in the tree shows VERSION.
check_man_versions() {
  local version="$1" page
  shift
  for page in "$@"; do
    zcat "$TREE/usr/share/man/man1/$page.1.gz" | grep -q "^\.TH .* \"tonquill $version\"" ||
      fail "$page(1) does not show version $version"
  done
}

contents() {
  local deb="$1" version="$2"
  need_deb "$deb"
  local listed missing
  listed="$(dpkg-deb -c "$deb" | awk '{ print $6 }')"
  missing="$(missing_files "$deb" expected_files)"
  [ -z "$missing" ] || fail "missing from the package: $missing"
  ! grep -q '^\./usr/bin/tonquill-' <<<"$listed" || fail "a command-line program in the window's package"
  [ "$(grep -c '^\./usr/share/metainfo/.*\.metainfo\.xml$' <<<"$listed")" -eq 1 ] ||
    fail "not exactly one AppStream file in usr/share/metainfo"
  check_control_fields "$deb" "$version"

  extract "$deb"
  for size in 48 128 256; do
    [ "$(png_size "$TREE/usr/share/icons/hicolor/${size}x${size}/apps/tonquill.png")" = "$size $size" ] ||
      fail "the ${size}x${size} icon has another size"
  done
  # The version of project() in every place that shows one.
  check_man_versions "$version" tonquill
  grep -q "<release version=\"$version\"" "$TREE"/usr/share/metainfo/*.metainfo.xml ||
    fail "the AppStream release is not $version"
  check_package_docs tonquill "$version"
  echo "all $(expected_files | wc -l) files, the AppStream file and the control fields are in place"
}

# The ELF machine readelf names for each Debian architecture built here.
declare -A ELF_MACHINE=([amd64]='Advanced Micro Devices X86-64' [arm64]='AArch64')

tools() {
  local deb="$1" version="$2" arch="$3"
  need_deb "$deb"
  local missing
  missing="$(missing_files "$deb" expected_tool_files)"
  [ -z "$missing" ] || fail "missing from tonquill-tools: $missing"
  check_common_fields "$deb" "$version"
  [ "$(dpkg-deb -f "$deb" Package)" = tonquill-tools ] || fail "Package is not tonquill-tools"
  [ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] || fail "Architecture is not $arch"
  local depends
  depends="$(dpkg-deb -f "$deb" Depends)"
  check_depends_on "$depends" libc6 libstdc++6 libsndfile1 libasound2 libpulse0
  ! grep -Eqi 'qt|libx|wayland' <<<"$depends" || fail "Qt or a display library among the Depends: $depends"

  extract "$deb"
  local program
  for program in tonquill-render tonquill-play; do
    readelf -h "$TREE/usr/bin/$program" | grep -q "Machine: *${ELF_MACHINE[$arch]}\$" ||
      fail "$program is not built for $arch"
  done
  check_man_versions "$version" tonquill-render tonquill-play
  check_package_docs tonquill-tools "$version"
  echo "all $(expected_tool_files | wc -l) files and the control fields are in place, programs for $arch"
}

# Prints the validator's output; fails on any remark, not only on errors:
# all it may say is that the validation was successful.
quiet_validator() {
  local output
  output="$("$@" 2>&1)"
  local status=$?
  [ -n "$output" ] && echo "$output"
  [ "$status" -eq 0 ] || return 1
  ! grep -q -v -e '^✔ Validation was successful\.$' -e '^$' <<<"$output"
}

metadata() {
  local window="$1" tools="$2"
  need_deb "$window"
  need_deb "$tools"
  extract "$window"
  dpkg-deb -x "$tools" "$TREE"
  quiet_validator desktop-file-validate "$TREE/usr/share/applications/tonquill.desktop" ||
    fail "desktop-file-validate"
  quiet_validator appstreamcli validate --no-net --pedantic "$TREE"/usr/share/metainfo/*.metainfo.xml ||
    fail "appstreamcli validate"
  quiet_validator appstreamcli validate-tree --no-net --pedantic "$TREE" || fail "appstreamcli validate-tree"
  local page warnings
  for page in "$TREE"/usr/share/man/man1/*.1.gz; do
    warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)"
    [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
  done
  echo "desktop file, AppStream data and man pages are valid"
}

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo -n "$@"; fi
}

apt_get() {
  as_root env DEBIAN_FRONTEND=noninteractive apt-get -y -q -o DPkg::Lock::Timeout=300 "$@"
}

is_installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

remove_packages() {
  local package
  for package in tonquill tonquill-tools; do
    is_installed "$package" && apt_get purge "$package" >/dev/null
  done
  return 0
}

# Removes PACKAGE; fails when dpkg still knows it or one of the FILES is left.
remove_and_check() {
  local package="$1" left
  shift
  apt_get remove "$package" || fail "apt-get remove $package"
  # dpkg keeps a name that another package Breaks as "not-installed".
  local status
  status="$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null)"
  [ -z "$status" ] || [ "$status" = "unknown ok not-installed" ] ||
    fail "dpkg still holds $package after the removal ($status)"
  left="$(ls -d "$@" 2>/dev/null)"
  [ -z "$left" ] || fail "left behind after the removal of $package: $left"
}

# A stand-in for tonquill 0.1.0, which held the renderer and its man page
# that tonquill-tools now holds, installed with dpkg.
install_first_release() {
  local root
  root="$(mktemp -d)"
  chmod 755 "$root"
  mkdir -p "$root/DEBIAN" "$root/usr/bin" "$root/usr/share/man/man1"
  printf '#!/bin/sh\necho tonquill-render 0.1.0\n' >"$root/usr/bin/tonquill-render"
  chmod 755 "$root/usr/bin/tonquill-render"
  echo 'stand-in' | gzip -n >"$root/usr/share/man/man1/tonquill-render.1.gz"
  printf '%s\n' 'Package: tonquill' 'Version: 0.1.0' 'Architecture: all' \
    'Maintainer: Tonquill tests <tests@localhost>' 'Description: tonquill 0.1.0 stand-in' \
    >"$root/DEBIAN/control"
  dpkg-deb --root-owner-group -b "$root" "$root.deb" >/dev/null || fail "building the 0.1.0 stand-in"
  as_root dpkg -i "$root.deb" >/dev/null || fail "installing the 0.1.0 stand-in"
  rm -rf "$root" "$root.deb"
}

install_and_remove() {
  local window tools version
  window="$(realpath "$1")"
  tools="$(realpath "$2")"
  version="$3"
  need_deb "$window"
  need_deb "$tools"
  if [ "$(id -u)" -ne 0 ] && ! sudo -n true 2>/dev/null; then
    echo "SKIP: installing needs root (or sudo without a password)"
    exit 77
  fi
  if is_installed tonquill || is_installed tonquill-tools; then
    echo "SKIP: tonquill or tonquill-tools is already installed here; the test would replace it"
    exit 77
  fi
  trap remove_packages EXIT
  install_first_release
  # The tools alone over it take tonquill-render over, then the window.
  apt_get install "$tools" || fail "apt-get install $tools over tonquill 0.1.0"
  apt_get install "$window" || fail "apt-get install $window"
  local program page
  for program in tonquill-render tonquill-play; do
    [ "$("/usr/bin/$program" --version)" = "$program $version" ] ||
      fail "$program --version does not print version $version"
  done
  for page in tonquill tonquill-render tonquill-play; do
    [ "$(man -w "$page")" = "/usr/share/man/man1/$page.1.gz" ] || fail "man -w $page"
  done
  [ -f /usr/share/applications/tonquill.desktop ] || fail "no menu entry installed"
  # The tools stay without the window, and answer.
  remove_and_check tonquill /usr/bin/tonquill /usr/share/doc/tonquill /usr/share/man/man1/tonquill.1.gz
  /usr/bin/tonquill-render --version >/dev/null || fail "tonquill-render fails once the window is removed"
  remove_and_check tonquill-tools /usr/bin/tonquill-render /usr/bin/tonquill-play \
    /usr/share/doc/tonquill-tools /usr/share/man/man1/tonquill-render.1.gz
  echo "installed, answered and removed"
}

command="${1:-}"
shift || true
case "$command" in
  workflow) workflow "$@" ;;
  lintian) run_lintian "$@" ;;
  contents) contents "$@" ;;
  tools) tools "$@" ;;
  metadata) metadata "$@" ;;
  install) install_and_remove "$@" ;;
  *) fail "unknown check '$command'" ;;
esac
