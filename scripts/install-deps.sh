#!/bin/sh
# Installs the Debian 12 packages that building, running and testing need, if any are missing.
set -eu
packages="cmake make g++ qt6-base-dev qt6-5compat-dev qt6-qpa-plugins libx11-dev xvfb xauth fonts-nanum"
missing=""
for package in $packages; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
        || missing="$missing $package"
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
if [ "$(id -u)" -eq 0 ]; then
    as_root=""
else
    as_root="sudo"
fi
$as_root apt-get update -qq
DEBIAN_FRONTEND=noninteractive $as_root apt-get install -y -qq $missing
