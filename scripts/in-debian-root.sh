#!/bin/sh
# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT
# Runs COMMAND as root inside the Debian root DIR (scripts/debian-root.sh makes one), with
# /proc, /sys and /dev, in a clean environment. It runs in mount and process namespaces of
# its own: /proc, /sys and /dev are mounted only there, and the kernel undoes them once the
# last process in there has ended. That is when the command ends, however it ends: a
# failure; Ctrl+C, a hang-up or a kill of this script, which end everything in there at
# once; a kill -9 of this script. Nothing mounted shows outside, not even while it runs.
# Needs root.
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
# The root's own file may be a link to a path that means another file out here.
cp --remove-destination /etc/resolv.conf "$dir/etc/resolv.conf"
cache=${SHEAFWRIGHT_APT_CACHE:-}
[ -z "$cache" ] || mkdir -p "$cache/partial"

# The command is not the namespace's first process, which the kernel shields from signals
# it has no handler for (xvfb-run, for one, waits for a signal that would never come), but
# its child, with Ctrl+C's signals as a command in the foreground has them. unshare waits
# for that first process and ignores Ctrl+C and kills meanwhile, so this script answers
# them: a kill of unshare ends that process, and with it, the namespace and everything in
# it. Should this script be killed outright, unshare is killed with it. Run in the
# background, unshare keeps this script's input, or none where it has none.
if (exec 3<&0) 2>/dev/null; then exec 3<&0; else exec 3</dev/null; fi
setpriv --pdeathsig KILL unshare --mount --pid --fork --kill-child --propagation private sh -c '
    set -eu
    dir=$1 cache=$2
    shift 2
    mount -t proc proc "$dir/proc"
    mount --rbind /sys "$dir/sys"
    mount --rbind /dev "$dir/dev"
    [ -z "$cache" ] || mount --bind "$cache" "$dir/var/cache/apt/archives"
    chroot "$dir" /usr/bin/env -i --default-signal=INT,QUIT HOME=/root TERM="${TERM:-dumb}" \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"
' sh "$dir" "$cache" "$@" <&3 3<&- &
namespace=$!
exec 3<&-
end() {
    kill -KILL "$namespace" 2>/dev/null || :
    wait "$namespace" || :
    exit "$1"
}
trap 'end 129' HUP
trap 'end 143' TERM
# At a terminal, Ctrl+C is the command's to answer, as an interactive shell in the root
# does; once the command has ended, so does everything else in the root.
if [ -t 0 ]; then
    trap '' INT
else
    trap 'end 130' INT
fi
wait "$namespace"
