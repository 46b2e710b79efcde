#!/bin/sh
# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT
# A build folder made inside the checkout under a name .gitignore does not know
# (an IDE's out/, say) must be ignored by git, and so by reuse.
set -eu
source=$1
git -C "$source" rev-parse --git-dir >/dev/null 2>&1 || { echo "not a git checkout: nothing to check"; exit 0; }
folder="$source/out-check-$$"
trap 'rm -rf "$folder"' EXIT
cmake -S "$source" -B "$folder" -DBUILD_TESTING=OFF >/dev/null
seen=$(git -C "$source" status --porcelain --untracked-files=all -- "$folder")
if [ -n "$seen" ]; then
    echo "FAIL: git sees the build folder's files:"
    echo "$seen" | head -5
    exit 1
fi
echo "the build folder is ignored"
