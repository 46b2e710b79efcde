#!/bin/sh
# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT
# Runs COMMAND as root inside the Debian root DIR (scripts/debian-root.sh makes one), with
# /proc, /sys and /dev, in a clean environment. It runs in mount and process namespaces of
# its own: /proc, /sys and /dev are mounted only there, so the kernel undoes them when the
# command ends, however it ends (a failure, Ctrl+C, a kill), and every process the command
# left running ends with it. Nothing mounted shows outside, not even while it runs. Needs
# root.
#
#   scripts/in-debian-root.sh DIR COMMAND [ARGUMENTS...]
#
# SHEAFWRIGHT_APT_CACHE names a folder to keep apt's downloads in between roots.
set -eu
[ $# -ge 2 ] || { echo "usage: $0 DIR COMMAND [ARGUMENTS...]" >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || { echo "$0: entering a Debian root needs root" >&2; exit 1; }
dir=$(realpath "$1")
shift
[ -x "$dir/bin/sh" ] || { echo "$0: $dir holds no Debian root" >&2; exit 1; }
cp /etc/resolv.conf "$dir/etc/resolv.conf"
cache=${SHEAFWRIGHT_APT_CACHE:-}
[ -z "$cache" ] || mkdir -p "$cache/partial"

exec unshare --mount --pid --fork --kill-child --propagation private sh -c '
    set -eu
    dir=$1 cache=$2
    shift 2
    mount -t proc proc "$dir/proc"
    mount --rbind /sys "$dir/sys"
    mount --rbind /dev "$dir/dev"
    [ -z "$cache" ] || mount --bind "$cache" "$dir/var/cache/apt/archives"
    exec chroot "$dir" /usr/bin/env -i HOME=/root TERM="${TERM:-dumb}" \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"
' sh "$dir" "$cache" "$@"
