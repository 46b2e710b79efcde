#!/bin/sh
# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT
# Tests a Debian package as its users meet it, on a fresh minimal root of the release it
# was built for (its version says: 1.2.0~deb13 is for Debian 13): apt installs it as the
# README says, with what it depends on; the program opens its window on Xvfb; and purging it,
# with what it brought in, leaves the root's packages and files as they were before. Needs
# root.
#
#   scripts/test-package-in-debian-root.sh PACKAGE.deb
set -eu
[ $# -eq 1 ] || { echo "usage: $0 PACKAGE.deb" >&2; exit 2; }
deb=$(realpath "$1")
project=$(cd "$(dirname "$0")/.." && pwd)
case "$(dpkg-deb -f "$deb" Version)" in
    *~deb12) release=bookworm ;;
    *~deb13) release=trixie ;;
    *) echo "$0: $(basename "$deb") names no Debian release this script knows" >&2; exit 1 ;;
esac
root=${SHEAFWRIGHT_ROOTS:-/var/tmp/sheafwright-roots}/$release-package
rm -rf --one-file-system "$root"
"$project/scripts/debian-root.sh" "$release" "$root"
cp "$deb" "$root/root/"
echo "== $(basename "$deb") on a fresh Debian $release root"
SHEAFWRIGHT_APT_CACHE="${SHEAFWRIGHT_APT_CACHE:-/var/cache/sheafwright/apt/$release}" \
exec "$project/scripts/in-debian-root.sh" "$root" sh -c '
    set -eu
    export DEBIAN_FRONTEND=noninteractive
    cd /root
    apt-get update -q >/dev/null
    apt-get upgrade -y -q >/dev/null
    look() {
        dpkg-query -W -f="\${Package} \${Version}\n" >"$1.packages"
        find / -xdev \( -path /proc -o -path /sys -o -path /dev -o -path /run -o -path /tmp \
            -o -path /root -o -path /var/tmp -o -path /var/cache -o -path /var/log -o -path /var/lib/apt \) \
            -prune -o -print | LC_ALL=C sort >"$1.files"
    }
    look /tmp/before

    apt install -y -q --no-install-recommends ./"$1" >/tmp/install.log 2>&1 || { cat /tmp/install.log; exit 1; }
    grep -E "newly installed|Installing:|Need to get|Download size" /tmp/install.log || true
    # The test'"'"'s own tools, which go again with the package.
    apt-get install -y -q --no-install-recommends xvfb xauth x11-utils >/dev/null

    # The window appears: the program found its libraries, its platform plugin and a display.
    xvfb-run -a sh -c "
        sheafwright & program=\$!
        for i in \$(seq 100); do
            xwininfo -root -tree | grep -q \"(\\\"sheafwright\\\" \" && { kill \$program; exit 0; }
            sleep 0.1
        done
        kill \$program; exit 1" || { echo "FAIL: the program opened no window"; exit 1; }
    echo "the program opened its window"

    apt-get purge -y -q sheafwright xvfb xauth x11-utils >/dev/null
    # What came in with it goes too, including what a package that was there before only
    # recommends or suggests (libc6 suggests libidn2-0), which apt would otherwise keep.
    apt-get autoremove --purge -y -q -o APT::AutoRemove::RecommendsImportant=false \
        -o APT::AutoRemove::SuggestsImportant=false >/dev/null
    look /tmp/after
    status=0
    for what in packages files; do
        diff -u /tmp/before.$what /tmp/after.$what || { echo "FAIL: purging left $what behind (+ above)"; status=1; }
    done
    [ $status -ne 0 ] || echo "purged: the packages and files are as before"
    exit $status' sh "$(basename "$deb")"
