#!/bin/sh
# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT
# Writes a text with every Hangul syllable, ASCII, hanja, symbols, the euro sign
# and ® in UTF-8 to $1, and the same as iconv writes it in CP949 to $2: what
# "ANSI" must give where it means CP949.
set -eu
perl -CO -e 'print "ASCII 0-9 A-Z a-z !?~\r\n", map(chr, 0xAC00 .. 0xD7A3),
                   "\n\x{6F22}\x{5B57} \x{97D3}\x{570B} \x{2460} \x{203B} \x{20AC} \x{AE}\n"' > "$1"
iconv -f UTF-8 -t CP949 "$1" > "$2"
