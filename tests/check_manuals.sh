#!/bin/sh
# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT
# Renders each manual page as man does, on a terminal, and fails on any warning
# from groff or man.
set -eu
status=0
for manual in "$@"; do
    messages=$( { groff -k -man -ww -z -Tutf8 "$manual"
                  LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$manual" >/dev/null; } 2>&1)
    if [ -n "$messages" ]; then
        printf 'FAIL: %s\n%s\n' "$manual" "$messages"
        status=1
    fi
done
exit "$status"
