#!/usr/bin/env bash
# Runs COMMAND on the Xvfb fixture's display (folder TQ_XVFB_DIR).
#
# Usage: with-display.sh COMMAND [ARGS...]
set -uo pipefail
source "$(dirname "$0")/lib.sh"
tq_use_display
exec "$@"
