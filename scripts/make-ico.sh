#!/usr/bin/env bash
# Makes data/tonquill.ico, the Windows program's icon, from data/tonquill.svg:
# one image per size Windows asks for (16 to 256 pixels), transparent
# around the dial, 8 bits per channel (Windows reads no deeper PNG). Run it
# again after changing the SVG and check in the .ico.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/bootstrap.sh # ImageMagick

convert -background none -density 96 data/tonquill.svg -resize 256x256 \
  -depth 8 -define icon:auto-resize=256,64,48,32,24,16 data/tonquill.ico
identify data/tonquill.ico
