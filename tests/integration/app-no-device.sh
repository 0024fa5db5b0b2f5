#!/usr/bin/env bash
# The Linux program without a sound device (no sound server answers or is
# expected, so it plays through ALSA, whose default names a card that is not
# there): the window opens and works, and one message box says why.
#
# Usage: app-no-device.sh TONQUILL_DRIVE WORK_DIR
set -uo pipefail
source "$(dirname "$0")/lib.sh"

drive="$1"
work="$2"
rm -rf "$work"
mkdir -p "$work"
tq_without_sound_device "$work"
tq_start_driver "$drive" "$work/no-device.conf" "$work/driver.log"
trap 'tq_stop_pid "$tq_driver_pid"' EXIT

answer="$(tq_drive state)"
echo "$answer"
[[ "$answer" == *" service=alsa" ]] || tq_fail "the program plays through ALSA"
answer="$(tq_drive_boxes)"
echo "$answer"
grep -qx 'ok boxes 1' <<<"$answer" && grep -q '^box Message from Varnholt Tonquill | .' <<<"$answer" ||
  tq_fail "one message box says why nothing is heard"
answer="$(tq_drive frequency 440)"
echo "$answer"
[[ "$answer" == *" 440" ]] || tq_fail "the frequency box takes 440"
answer="$(tq_drive_boxes)"
echo "$answer"
grep -qx 'ok boxes 1' <<<"$answer" || tq_fail "no second box comes up"
tq_exit_driver || tq_fail "File -> Exit! ends the program with status 0"
