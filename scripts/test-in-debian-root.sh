#!/bin/sh
# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT
# Does what the README asks of a new user, on a fresh minimal Debian root of RELEASE
# (bookworm, trixie): installs git, takes a fresh clone of this checkout's HEAD, and runs
# COMMAND in it (the README's test command unless another is named). The root stays in
# $SHEAFWRIGHT_ROOTS/RELEASE (default /var/tmp/sheafwright-roots) until the next run
# replaces it. Needs root.
#
# SHEAFWRIGHT_WINDOWS_QT_ARCHIVE, if set, names a Windows Qt archive to copy into the root and
# name there (scripts/build-windows.sh).
#
#   scripts/test-in-debian-root.sh RELEASE [COMMAND [ARGUMENTS...]]
set -eu
[ $# -ge 1 ] || { echo "usage: $0 RELEASE [COMMAND [ARGUMENTS...]]" >&2; exit 2; }
release=$1
shift
[ $# -gt 0 ] || set -- scripts/test.sh
project=$(cd "$(dirname "$0")/.." && pwd)
root=${SHEAFWRIGHT_ROOTS:-/var/tmp/sheafwright-roots}/$release

rm -rf --one-file-system "$root"
"$project/scripts/debian-root.sh" "$release" "$root"
git clone -q "$project" "$root/root/sheafwright"
archive=""
if [ -n "${SHEAFWRIGHT_WINDOWS_QT_ARCHIVE:-}" ]; then
    cp "$SHEAFWRIGHT_WINDOWS_QT_ARCHIVE" "$root/root/"
    archive=/root/$(basename "$SHEAFWRIGHT_WINDOWS_QT_ARCHIVE")
fi
export SHEAFWRIGHT_APT_CACHE="${SHEAFWRIGHT_APT_CACHE:-/var/cache/sheafwright/apt/$release}"
exec "$project/scripts/in-debian-root.sh" "$root" sh -c '
    set -eu
    apt-get update -q >/dev/null
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q git >/dev/null
    [ -z "$0" ] || export SHEAFWRIGHT_WINDOWS_QT_ARCHIVE="$0"
    cd /root/sheafwright
    exec "$@"' "$archive" "$@"
