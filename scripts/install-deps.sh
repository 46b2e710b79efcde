#!/bin/sh
# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT
# Installs the Debian packages (Debian 12 and 13 alike) that building, running, testing and packaging need, if any
# are missing, and those named as arguments. Recommended packages are left out: nothing
# here needs them.
set -eu
packages="cmake make ninja-build g++ qt6-base-dev qt6-base-private-dev qt6-5compat-dev qt6-qpa-plugins
          qt6-wayland libx11-dev xvfb xauth fonts-nanum dpkg-dev file desktop-file-utils appstream
          lintian reuse groff-base man-db bindfs $*"
missing=""
for package in $packages; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
        || missing="$missing $package"
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    as_root=""
elif command -v sudo >/dev/null 2>&1; then
    as_root="sudo"
else
    echo "Packages are missing; as root, run: apt-get update && apt-get install --no-install-recommends$missing" >&2
    exit 1
fi
echo "Installing:$missing"
[ $# -eq 0 ] && echo "(on a fresh system this downloads about 200 MiB; apt shows how it goes)"
$as_root apt-get update -q
# sudo does not pass the environment on, hence env. The download shows apt's own
# progress; unpacking and setting up, which is quicker, only its summary.
$as_root env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y --no-install-recommends --download-only $missing
echo "Unpacking and setting up the packages..."
$as_root env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends $missing >/dev/null
echo "Installed."
