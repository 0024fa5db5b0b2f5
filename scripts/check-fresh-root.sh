#!/usr/bin/env bash
# Runs the README's two commands as a new user would meet them: in a Debian
# 12 minbase root (mmdebstrap) where nothing but minbase and git is installed,
# with the current commit cloned into it, as root, in a mount and PID
# namespace of its own with /proc, /sys and /dev. Passes when
#   bash scripts/run.sh   builds and ends with the program's no-display line
#                         and status 1 (there is no display in the root), and
#   bash scripts/test.sh  ends with status 0.
# The root, its logs and timings stay in ROOT_DIR (default build/fresh-root,
# made anew each run). Needs root, network access to the Debian mirror, and
# about 25 minutes on 2 cores. Uncommitted changes are not part of the check.
#
# Usage: sudo scripts/check-fresh-root.sh [ROOT_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
source=$PWD
work="${1:-$source/build/fresh-root}"
root="$work/root"
commit="$(git rev-parse HEAD)"

[ "$(id -u)" -eq 0 ] || { echo "check-fresh-root: run as root" >&2; exit 1; }
bash scripts/bootstrap.sh mmdebstrap

step() { echo "== check-fresh-root: $* (at ${SECONDS} s)"; }

umount_root() { umount -R "$root/proc" "$root/sys" "$root/dev" 2>/dev/null || true; }
umount_root
if findmnt -rn -o TARGET | grep -q "^$root/"; then
  echo "check-fresh-root: something is still mounted under $root" >&2
  exit 1
fi
rm -rf "$work"
mkdir -p "$work"

step "building a bookworm minbase root in $root"
# The mirror's snapshot keeps Release files past their validity date.
mmdebstrap --quiet --variant=minbase --include=git,ca-certificates \
  --aptopt='Acquire::Check-Valid-Until "false"' \
  bookworm "$root"
dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${Package}\n' | sort >"$work/packages-before.txt"
cp /etc/resolv.conf "$root/etc/resolv.conf"

step "cloning $commit"
git clone --quiet --no-local --no-checkout "$source" "$root/src/tonquill"
git -C "$root/src/tonquill" checkout --quiet --detach "$commit"

# Runs one command in the root, in new mount and PID namespaces (every
# process it leaves is ended with the namespace), and writes its output to
# LOG and its status and time to LOG.status.
in_root() {
  local log="$1"
  shift
  local started=$SECONDS status=0
  unshare --mount --pid --fork --propagation private bash -c '
    root="$1"; shift
    mount -t proc proc "$root/proc"
    mount --rbind /sys "$root/sys"
    mount --rbind /dev "$root/dev"
    exec chroot "$root" env -i HOME=/root TERM=dumb LANG=C.UTF-8 \
      PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
      bash -c "cd /src/tonquill && $*" </dev/null' _ "$root" "$@" >"$log" 2>&1 || status=$?
  echo "status $status after $((SECONDS - started)) s" >"$log.status"
  return "$status"
}

step "bash scripts/run.sh"
run_status=0
in_root "$work/run.log" "bash scripts/run.sh" || run_status=$?
tail -n 3 "$work/run.log"
last_line="$(tail -n 1 "$work/run.log")"
failures=()
if [ "$run_status" -ne 1 ] || [[ "$last_line" != tonquill:* ]] ||
  [ ! -x "$root/src/tonquill/build/release/src/platform/qt/tonquill" ]; then
  failures+=("run.sh: $(cat "$work/run.log.status"), last line: $last_line")
fi

step "bash scripts/test.sh"
in_root "$work/test.log" "bash scripts/test.sh" || failures+=("test.sh: $(cat "$work/test.log.status")")
sed -n '/^== summary/,$p' "$work/test.log"

dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${Package}\n' | sort >"$work/packages-after.txt"
comm -13 "$work/packages-before.txt" "$work/packages-after.txt" >"$work/installed.txt"
step "done"
echo "run.sh: $(cat "$work/run.log.status"); test.sh: $(cat "$work/test.log.status")"
echo "installed by bootstrap.sh: $(wc -l <"$work/installed.txt") packages (list in $work/installed.txt)"
if [ ${#failures[@]} -gt 0 ]; then
  printf 'check-fresh-root: FAILED: %s\n' "${failures[@]}" >&2
  exit 1
fi
echo "check-fresh-root: both commands behave as on a new machine should"
