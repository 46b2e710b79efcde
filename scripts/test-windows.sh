#!/bin/sh
# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT
# Builds for Windows (scripts/build-windows.sh) and runs every test under Wine, headless,
# twice: as Korean Windows (code page 949) and as Western Windows (code page 1252).
# Then installs the installer in a new Wine folder, binds with the installed program
# and uninstalls it.
set -eu
cd "$(dirname "$0")/.."
scripts/build-windows.sh

# Wine takes the code page from the Unix locale, which must exist.
for locale in ko_KR en_US; do
    locale -a | grep -qx "$locale.utf8" || localedef -i "$locale" -f UTF-8 "$locale.UTF-8"
done

for locale in ko_KR.UTF-8 en_US.UTF-8; do
    echo "== every test under Wine, $locale"
    (cd build-windows && SHEAFWRIGHT_WINE_LOCALE=$locale ctest --output-on-failure)
done

echo "== the installer"
sh tests/windows_installer.sh build-windows/Sheafwright-*-win64-setup.exe build-windows/installer-test
