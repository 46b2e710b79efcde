#!/bin/sh
# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT
# Installs what is missing, builds the program, and starts it.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh sheafwright
# Without a display Qt aborts with a long message about platform plugins.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "Built build/src/sheafwright, but there is no graphical session to start it in (neither DISPLAY nor WAYLAND_DISPLAY is set)." >&2
    exit 1
fi
exec build/src/sheafwright
