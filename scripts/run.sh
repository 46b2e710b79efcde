#!/bin/sh
# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT
# Installs what is missing, builds the program, and starts it.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh sheafwright

# Whether an X server answers at $DISPLAY ([host]:number[.screen]): its local
# socket, or its TCP port on another host. Perl is on every Debian system.
x_server_answers() {
    command -v perl >/dev/null 2>&1 || return 0
    host=${DISPLAY%%:*}
    number=${DISPLAY#*:}
    number=${number%%.*}
    case "$number" in '' | *[!0-9]*) return 0 ;; esac
    if [ -z "$host" ] || [ "$host" = unix ]; then
        perl -MIO::Socket::UNIX -e 'exit(IO::Socket::UNIX->new(Peer => $ARGV[0]) ? 0 : 1)' \
            "/tmp/.X11-unix/X$number"
    else
        perl -MIO::Socket::INET -e 'exit(IO::Socket::INET->new(PeerAddr => $ARGV[0], Timeout => 3) ? 0 : 1)' \
            "$host:$((6000 + number))"
    fi
}

# Without a display Qt aborts with a long message about platform plugins that
# suggests reinstalling the program, which would not help.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "Built build/src/sheafwright, but there is no graphical session to start it in (neither DISPLAY nor WAYLAND_DISPLAY is set)." >&2
    exit 1
fi
if [ -n "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ] && ! x_server_answers; then
    echo "Built build/src/sheafwright, but the display named in DISPLAY ($DISPLAY) does not answer: no X server runs there." >&2
    echo "Start it from a desktop session, or set DISPLAY to a running X server's (echo \$DISPLAY in a terminal of the desktop shows it)." >&2
    exit 1
fi
exec build/src/sheafwright
