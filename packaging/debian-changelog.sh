#!/bin/sh
# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT
# Writes the Debian changelog of the package from CHANGELOG.md: one entry per
# version, newest first, its items as the entry's lines. The newest version takes the
# package's suffix (~deb13), so that the changelog names the version the package has.
# Usage: debian-changelog.sh CHANGELOG.md PACKAGE "MAINTAINER <ADDRESS>" SUFFIX OUTPUT
set -eu
changelog=$1
package=$2
maintainer=$3
suffix=$4
output=$5

# "## [1.1.0] - 2026-12-08" starts a version; "- " starts an item, continued on
# indented lines; headings and prose are left out.
awk -v package="$package" -v maintainer="$maintainer" -v suffix="$suffix" '
function flush_item() {
    if (item == "")
        return
    # Lines of at most 80 characters, as Debian wants them.
    count = split(item, words, " ")
    line = "  *"
    for (i = 1; i <= count; i++) {
        if (length(line) + 1 + length(words[i]) > 78) {
            print line
            line = "   "
        }
        line = line " " words[i]
    }
    print line
    item = ""
}
function flush_entry() {
    flush_item()
    if (version == "")
        return
    # The day is all CHANGELOG.md records; Debian wants each entry later than
    # the one before it, so entries of one day are an hour apart, the newest at noon.
    same_day = (date == last_date) ? same_day + 1 : 0
    last_date = date
    command = "LC_ALL=C date -u -R -d \"" date " " (12 - same_day) ":00\""
    command | getline stamp
    close(command)
    print ""
    print " -- " maintainer "  " stamp
    print ""
}
/^## \[[0-9][^]]*\] - [0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]$/ {
    flush_entry()
    version = substr($2, 2, length($2) - 2) (entries++ == 0 ? suffix : "")
    date = $4
    print package " (" version ") unstable; urgency=medium"
    print ""
    next
}
/^- / && version != "" {
    flush_item()
    item = substr($0, 3)
    next
}
/^  +[^ ]/ && item != "" {
    sub(/^ +/, "")
    item = item " " $0
    next
}
{ flush_item() }
END { flush_entry() }
' "$changelog" >"$output"
