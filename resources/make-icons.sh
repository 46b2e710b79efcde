#!/bin/sh
# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT
# Regenerates the bitmap icons from sheafwright.svg (needs librsvg2-bin and icoutils).
set -eu
cd "$(dirname "$0")"
for size in 16 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" sheafwright.svg -o "sheafwright-$size.png"
done
icotool -c -o sheafwright.ico sheafwright-16.png sheafwright-32.png sheafwright-48.png
