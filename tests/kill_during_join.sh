#!/bin/sh
# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT
# Has five joins killed part-way (SIGKILL; TerminateProcess on Windows), then lets a
# sixth finish: the folder must then hold the inputs and the output, and nothing else.
# On a FUSE mount (bindfs)
# where the system allows one, since FUSE has no unnamed files and every kill
# leaves a named temporary file behind; otherwise in a plain folder.
#
#   kill_during_join.sh [RUNNER...] JOIN_FILES
#
# RUNNER, where given, runs JOIN_FILES (Wine, for the Windows build).
set -u
[ $# -ge 1 ] || { echo "usage: $0 [RUNNER...] JOIN_FILES" >&2; exit 2; }
work=$(mktemp -d "${TMPDIR:-/tmp}/kill-during-join.XXXXXX")
folder=$work/folder
mkdir "$folder" "$work/under"
mounted=""
cleanup() {
    [ -z "$mounted" ] || fusermount3 -u "$folder" 2>/dev/null || umount "$folder" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' HUP INT TERM
if command -v bindfs >/dev/null && [ -c /dev/fuse ] && bindfs "$work/under" "$folder" 2>/dev/null; then
    mounted=yes
    echo "on a FUSE mount (bindfs)"
else
    echo "in a plain folder: no FUSE mount could be made here"
fi

# Sixty chunks of text, read slowly when the join is to be killed: more than a second.
yes "한 줄의 글, a line of text" | head -n 1000000 >"$folder/a.txt"
yes "another line, 또 한 줄" | head -n 1000000 >"$folder/b.txt"
names() { (cd "$folder" && ls -A | sort | tr '\n' ' '); }

for kill in 1 2 3 4 5; do
    "$@" --killed-after "${kill}00" "$folder/out.txt" "$folder/a.txt" "$folder/b.txt" >"$work/said" 2>&1
    status=$?
    if [ "$status" -eq 0 ] || [ -e "$folder/out.txt" ]; then
        echo "join $kill was not killed part-way (exit status $status):"
        cat "$work/said"
        exit 1
    fi
    echo "join $kill killed (exit status $status); the folder holds: $(names)"
done

if ! "$@" "$folder/out.txt" "$folder/a.txt" "$folder/b.txt" >"$work/said" 2>&1; then
    echo "the last join failed:"
    cat "$work/said"
    exit 1
fi
left=$(names)
echo "after a finished join: $left"
[ "$left" = "a.txt b.txt out.txt " ] || { echo "FAIL: more than the inputs and the output are left"; exit 1; }
cat "$folder/a.txt" "$folder/b.txt" | cmp -s - "$folder/out.txt" || { echo "FAIL: the output is not the inputs joined"; exit 1; }
echo "PASS"
