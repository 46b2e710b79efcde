#!/bin/sh
# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT
# Installs what is missing, builds the program, and starts it.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh sheafwright

# Whether an X server answers at $DISPLAY ([host]:number[.screen]): on this
# machine through its abstract or its file socket, as Xlib tries them, on another
# host through its TCP port. Perl is on every Debian system. A DISPLAY that is
# not of that form answers nowhere.
x_server_answers() {
    command -v perl >/dev/null 2>&1 || return 0
    host=${DISPLAY%:*}
    number=${DISPLAY##*:}
    number=${number%%.*}
    case "$DISPLAY" in *:*) ;; *) return 1 ;; esac
    case "$number" in '' | *[!0-9]*) return 1 ;; esac
    if [ -z "$host" ] || [ "$host" = unix ]; then
        perl -MIO::Socket::UNIX -e '
            for my $peer ("\0$ARGV[0]", $ARGV[0]) { exit 0 if IO::Socket::UNIX->new(Peer => $peer) }
            exit 1' "/tmp/.X11-unix/X$number"
    else
        host=${host#[}
        host=${host%]}
        perl -MIO::Socket::IP -e 'exit(IO::Socket::IP->new(PeerHost => $ARGV[0], PeerPort => $ARGV[1], Timeout => 3) ? 0 : 1)' \
            "$host" "$((6000 + number))"
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
