#!/usr/bin/env bash
# Checks of the Debian package, one per CTest test:
#   check_deb.sh workflow SOURCE_DIR      builds it: cmake --workflow --preset package
#   check_deb.sh lintian DEB              lintian reports no error
#   check_deb.sh contents DEB VERSION     every file and control field in place
#   check_deb.sh metadata DEB             desktop file, AppStream data and man pages valid
#   check_deb.sh install DEB VERSION      apt-get install, the programs and man pages
#                                         answer, removal (as root; 77 = skipped)
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
  cmake --workflow --preset package
}

run_lintian() {
  need_deb "$1"
  # Errors fail the test; warnings and notes are printed for docs/packaging.md.
  lintian --display-level '>=pedantic' --fail-on error "$1"
}

# What the package must hold, paths as dpkg-deb lists them.
expected_files() {
  cat <<EOF
./usr/bin/tonquill
./usr/bin/tonquill-render
./usr/share/applications/tonquill.desktop
./usr/share/icons/hicolor/scalable/apps/tonquill.svg
./usr/share/icons/hicolor/48x48/apps/tonquill.png
./usr/share/icons/hicolor/128x128/apps/tonquill.png
./usr/share/icons/hicolor/256x256/apps/tonquill.png
./usr/share/man/man1/tonquill.1.gz
./usr/share/man/man1/tonquill-render.1.gz
./usr/share/doc/tonquill/copyright
./usr/share/doc/tonquill/changelog.gz
./usr/share/doc/tonquill/README.md
./usr/share/tonquill/tonquill.html
EOF
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

check_control_fields() {
  local deb="$1" version="$2"
  [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "Version is not $version"
  [ "$(dpkg-deb -f "$deb" Section)" = "sound" ] || fail "Section is not sound"
  dpkg-deb -f "$deb" Maintainer | grep -Eq '^[^<]+ <[^@>]+@[^>]+>$' || fail "no Maintainer with an address"
  [ "$(dpkg-deb -f "$deb" Description | wc -l)" -gt 2 ] || fail "no long Description"
  [ -z "$(dpkg-deb -f "$deb" Homepage)" ] || fail "a Homepage field"
  # dpkg-shlibdeps names the libraries the binaries link, with versions.
  local depends
  depends="$(dpkg-deb -f "$deb" Depends)"
  for library in libc6 libqt6widgets6 libasound2 libsndfile1; do
    grep -Eq "(^|, )$library \(>= [^)]+\)" <<<"$depends" || fail "Depends lacks $library: $depends"
  done
  # Qt's Wayland plugin and the desktop's opener, which no library names.
  for package in qt6-wayland xdg-utils; do
    grep -Eq "(^|, )$package(,|$| )" <<<"$depends" || fail "Depends lacks $package: $depends"
  done
}

contents() {
  local deb="$1" version="$2"
  need_deb "$deb"
  local listed missing
  listed="$(dpkg-deb -c "$deb" | awk '{ print $6 }')"
  missing="$(comm -23 <(expected_files | sort) <(sort <<<"$listed"))"
  [ -z "$missing" ] || fail "missing from the package: $missing"
  [ "$(grep -c '^\./usr/share/metainfo/.*\.metainfo\.xml$' <<<"$listed")" -eq 1 ] ||
    fail "not exactly one AppStream file in usr/share/metainfo"
  check_control_fields "$deb" "$version"

  extract "$deb"
  for size in 48 128 256; do
    [ "$(png_size "$TREE/usr/share/icons/hicolor/${size}x${size}/apps/tonquill.png")" = "$size $size" ] ||
      fail "the ${size}x${size} icon has another size"
  done
  # The version of project() in every place that shows one.
  for page in tonquill tonquill-render; do
    zcat "$TREE/usr/share/man/man1/$page.1.gz" | grep -q "^\.TH .* \"tonquill $version\"" ||
      fail "$page(1) does not show version $version"
  done
  grep -q "<release version=\"$version\"" "$TREE"/usr/share/metainfo/*.metainfo.xml ||
    fail "the AppStream release is not $version"
  zcat "$TREE/usr/share/doc/tonquill/changelog.gz" | head -n1 | grep -q "^tonquill ($version)" ||
    fail "the changelog's newest entry is not $version"
  grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
    "$TREE/usr/share/doc/tonquill/copyright" || fail "the copyright file is not machine-readable"
  echo "all $(expected_files | wc -l) files, the AppStream file and the control fields are in place"
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
  local deb="$1"
  need_deb "$deb"
  extract "$deb"
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
  dpkg-query -W -f='${Status}' tonquill 2>/dev/null | grep -q 'install ok installed'
}

remove_package() {
  is_installed || return 0
  apt_get purge tonquill >/dev/null
}

install_and_remove() {
  local deb version
  deb="$(realpath "$1")"
  version="$2"
  need_deb "$deb"
  if [ "$(id -u)" -ne 0 ] && ! sudo -n true 2>/dev/null; then
    echo "SKIP: installing needs root (or sudo without a password)"
    exit 77
  fi
  if is_installed; then
    echo "SKIP: tonquill is already installed here; the test would replace it"
    exit 77
  fi
  trap remove_package EXIT
  apt_get install "$deb" || fail "apt-get install $deb"
  [ "$(/usr/bin/tonquill-render --version)" = "tonquill-render $version" ] ||
    fail "tonquill-render --version does not print version $version"
  local page
  for page in tonquill tonquill-render; do
    [ "$(man -w "$page")" = "/usr/share/man/man1/$page.1.gz" ] || fail "man -w $page"
  done
  [ -f /usr/share/applications/tonquill.desktop ] || fail "no menu entry installed"
  apt_get remove tonquill || fail "apt-get remove tonquill"
  ! dpkg-query -W tonquill >/dev/null 2>&1 || fail "dpkg still knows tonquill after the removal"
  local left
  left="$(ls -d /usr/bin/tonquill /usr/bin/tonquill-render /usr/share/doc/tonquill \
    /usr/share/man/man1/tonquill.1.gz 2>/dev/null)"
  [ -z "$left" ] || fail "left behind after the removal: $left"
  echo "installed, answered and removed"
}

command="${1:-}"
shift || true
case "$command" in
  workflow) workflow "$@" ;;
  lintian) run_lintian "$@" ;;
  contents) contents "$@" ;;
  metadata) metadata "$@" ;;
  install) install_and_remove "$@" ;;
  *) fail "unknown check '$command'" ;;
esac
