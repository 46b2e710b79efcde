#!/bin/sh
# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT
# Cross-builds the program for 64-bit Windows into build-windows/: the program, its
# tests, the installer and the portable zip. Installs what is missing first.
#
# It runs on Debian 13, whose Qt 6.8.2 gives the tools (moc, uic, rcc) for the Windows Qt of
# the same version, a release with long-term support. Elsewhere, scripts/test-in-debian-root.sh
# runs it in a Debian 13 root.
#
# The Windows Qt 6.8.2 is looked for in
#   $SHEAFWRIGHT_WINDOWS_QT, else ~/.cache/sheafwright/qt-6.8.2-mingw64;
# when that is empty, it is unpacked from the archive named in
#   $SHEAFWRIGHT_WINDOWS_QT_ARCHIVE,
# and with no archive either, it is built from Debian's sources by
# scripts/build-qt-windows.sh, which takes well over a quarter of an hour on 2 cores.
set -eu
cd "$(dirname "$0")/.."
qt_version=6.8.2
if ! grep -qsx 'VERSION_CODENAME=trixie' /etc/os-release; then
    echo "The Windows build needs Debian 13, whose Qt $qt_version gives the tools for the Windows Qt." >&2
    echo "Here, as root, run it in a Debian 13 root: scripts/test-in-debian-root.sh trixie $0" >&2
    exit 1
fi
# The host Qt gives moc, uic and rcc; Wine runs the tests, on Xvfb, with Hangul fonts, and
# its DLLs tell Windows' own from those to bundle; locales let Wine stand for Korean and for
# Western Windows; xdotool and x11-utils drive and measure the installed program's window.
scripts/install-deps.sh g++-mingw-w64-x86-64-posix libz-mingw-w64 nsis wine wine64 locales xz-utils \
    xdotool x11-utils x11-apps netpbm

qt=${SHEAFWRIGHT_WINDOWS_QT:-${XDG_CACHE_HOME:-$HOME/.cache}/sheafwright/qt-$qt_version-mingw64}
if [ ! -f "$qt/lib/cmake/Qt6Core5Compat/Qt6Core5CompatConfig.cmake" ]; then
    if [ -n "${SHEAFWRIGHT_WINDOWS_QT_ARCHIVE:-}" ]; then
        echo "Unpacking the Windows Qt from $SHEAFWRIGHT_WINDOWS_QT_ARCHIVE into $qt"
        mkdir -p "$qt"
        tar -xJf "$SHEAFWRIGHT_WINDOWS_QT_ARCHIVE" -C "$qt" --strip-components=1
    else
        echo "No Windows Qt in $qt and no SHEAFWRIGHT_WINDOWS_QT_ARCHIVE: building it from Debian's"
        echo "sources, which takes well over a quarter of an hour on 2 cores, and 3 GiB of disk."
        scripts/build-qt-windows.sh "$qt"
    fi
fi

cmake -S . -B build-windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" -DCMAKE_PREFIX_PATH="$qt" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake >/dev/null
cmake --build build-windows --parallel "$(nproc)"
(cd build-windows && cpack)
