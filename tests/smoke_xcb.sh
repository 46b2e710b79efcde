#!/bin/sh
# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT
# Starts the real program on the xcb platform under Xvfb, checks that its window
# appears with the right title and size, closes it and expects exit code 0.
set -u
app=$1
probe=$2
unset QT_QPA_PLATFORM
exec xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
    app=$1; probe=$2
    QT_QPA_PLATFORM=xcb timeout 30 "$app" &
    pid=$!
    size=$("$probe" "텍스트파일 통합프로그램")
    found=$?
    if [ "$found" -ne 0 ]; then
        echo "FAIL: no window titled 텍스트파일 통합프로그램 appeared"
        kill "$pid" 2>/dev/null
        exit 1
    fi
    wait "$pid"
    status=$?
    echo "window size $size, exit code $status"
    [ "$size" = "482x282" ] || { echo "FAIL: expected 482x282"; exit 1; }
    [ "$status" -eq 0 ] || { echo "FAIL: expected exit code 0"; exit 1; }
' smoke "$app" "$probe"
