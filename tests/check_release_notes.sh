#!/bin/sh
# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT
# CHANGELOG.md is where releases are recorded; the project's version, the
# releases in the AppStream metadata and the manual pages' headers must agree
# with it.
# Usage: check_release_notes.sh CHANGELOG.md METAINFO VERSION MANUAL...
set -eu
changelog=$1
metainfo=$2
version=$3
shift 3
status=0
fail() { echo "FAIL: $*"; status=1; }

# "1.1.0 2026-12-08" a line, newest first.
recorded=$(sed -n 's/^## \[\([^]]*\)\] - \([0-9-]*\)$/\1 \2/p' "$changelog")
published=$(sed -n 's/.*<release version="\([^"]*\)" date="\([^"]*\)".*/\1 \2/p' "$metainfo")
[ -n "$recorded" ] || fail "no release in $changelog"
if [ "$recorded" != "$published" ]; then
    fail "the releases in $metainfo differ from $changelog:"
    printf '%s\n' "$recorded" >"${TMPDIR:-/tmp}/recorded.$$"
    printf '%s\n' "$published" | diff -u "${TMPDIR:-/tmp}/recorded.$$" - || true
    rm -f "${TMPDIR:-/tmp}/recorded.$$"
fi
newest=$(printf '%s\n' "$recorded" | head -n 1)
[ "${newest% *}" = "$version" ] || fail "the project's version is $version, $changelog's newest is ${newest% *}"
for manual in "$@"; do
    grep -q "^\.TH SHEAFWRIGHT 1 ${newest#* } \"Sheafwright ${newest% *}\"" "$manual" \
        || fail "$manual is not headed with ${newest#* } and Sheafwright ${newest% *}"
done
exit "$status"
