#!/bin/sh
# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT
# Regenerates the bitmap icons from sheafwright.svg (needs librsvg2-bin, imagemagick and icoutils),
# and the Windows installer's side picture.
set -eu
cd "$(dirname "$0")"
for size in 16 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" sheafwright.svg -o "sheafwright-$size.png"
done

# Windows shows the 4- and 8-bit images where the display or the place has fewer colours
# (remote sessions, some shells and dialogs). Those images carry a palette and a one-bit
# mask instead of an alpha channel, so each colour count gets its own copy with the
# edges cut at half opacity and no dithering, which only speckles pictures this small.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for size in 16 32 48; do
    for colours in 16 256; do
        convert "sheafwright-$size.png" -channel A -threshold 50% +channel +dither -colors "$colours" \
            "PNG8:$work/$size-$colours.png"
    done
done
icotool -c -o sheafwright.ico \
    -b 4 "$work/16-16.png" "$work/32-16.png" "$work/48-16.png" \
    -b 8 "$work/16-256.png" "$work/32-256.png" "$work/48-256.png" \
    -b 32 sheafwright-16.png sheafwright-32.png sheafwright-48.png

# Beside the installer's welcome and finish pages: 164 × 314 pixels, as NSIS's Modern UI
# wants, the icon on white, a third of the way down; a 24-bit BMP, which is all NSIS reads.
rsvg-convert -w 128 -h 128 sheafwright.svg -o "$work/side-icon.png"
convert -size 164x314 xc:white "$work/side-icon.png" -gravity north -geometry +0+60 -composite \
    -type TrueColor BMP3:installer-side.bmp
