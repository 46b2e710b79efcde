#!/bin/sh
# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT
# Makes DIR a minimal Debian root of RELEASE (bookworm, trixie), as debootstrap's minbase
# variant makes it, with the release's updates and security suites in its sources. A DIR that
# already holds that release is reused as it is. The first root of each release is kept,
# untouched, in $SHEAFWRIGHT_ROOT_CACHE (default /var/cache/sheafwright/roots), and later ones
# are copies of it, which saves the download. Needs root.
#
#   scripts/debian-root.sh RELEASE DIR
set -eu
[ $# -eq 2 ] || { echo "usage: $0 RELEASE DIR" >&2; exit 2; }
release=$1
dir=$2
[ "$(id -u)" -eq 0 ] || { echo "$0: making a Debian root needs root" >&2; exit 1; }
if grep -qsx "VERSION_CODENAME=$release" "$dir/etc/os-release"; then
    exit 0
fi

pristine=${SHEAFWRIGHT_ROOT_CACHE:-/var/cache/sheafwright/roots}/$release
mirror=http://deb.debian.org/debian
if ! grep -qsx "VERSION_CODENAME=$release" "$pristine/etc/os-release"; then
    command -v debootstrap >/dev/null || { apt-get update -q && apt-get install -y -q debootstrap; }
    echo "Making a minimal Debian $release root in $pristine (about 90 MB to download)"
    rm -rf --one-file-system "$pristine.partial"
    mkdir -p "$pristine.partial"
    # debootstrap mounts /proc and /sys in the root while it works: in a mount namespace of
    # its own, so that they never outlive it.
    unshare --mount --propagation private \
        debootstrap --variant=minbase "$release" "$pristine.partial" "$mirror" >"$pristine.partial.log" 2>&1 || {
        tail -n 20 "$pristine.partial.log" >&2
        exit 1
    }
    cat >"$pristine.partial/etc/apt/sources.list" <<SOURCES
deb $mirror $release main
deb $mirror $release-updates main
deb http://deb.debian.org/debian-security $release-security main
SOURCES
    rm -rf --one-file-system "$pristine" "$pristine.partial.log"
    mv "$pristine.partial" "$pristine"
fi
rm -rf --one-file-system "$dir"
mkdir -p "$(dirname "$dir")"
cp -a "$pristine" "$dir"
