#!/bin/sh
# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT
# Cross-builds Qt 6.8.2 for 64-bit Windows (QtCore, Gui, Widgets, Test and
# Core5Compat, the windows, offscreen and minimal platform plugins, the Windows
# style) from Debian 13's own source packages, with Debian 13's MinGW-w64 (GCC 14) and
# its native Qt 6.8.2 as the host Qt. Well over a quarter of an hour on 2 cores, 3 GiB of disk.
#
#   scripts/build-qt-windows.sh PREFIX [WORKDIR]
#
# QT5COMPAT_SRC names a qt5compat source tree, or its .tar.xz, for when
# `apt-get source qt6-5compat` cannot download it: Qt's own tag v6.8.0 builds against
# qtbase 6.8.2.
set -eu
[ $# -ge 1 ] || { echo "usage: $0 PREFIX [WORKDIR]" >&2; exit 2; }
project=$(cd "$(dirname "$0")/.." && pwd)
prefix=$(realpath -m "$1")
work=$(realpath -m "${2:-${XDG_CACHE_HOME:-$HOME/.cache}/sheafwright/qt-windows-work}")
version=6.8.2
as_root=""
[ "$(id -u)" -eq 0 ] || as_root=sudo

# Source packages come from the same archive as the binary ones.
if ! grep -rqs '^Types:.*deb-src\|^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
            | $as_root tee /etc/apt/sources.list.d/debian-src.sources >/dev/null
    else
        sed -n 's/^deb /deb-src /p' /etc/apt/sources.list | $as_root tee /etc/apt/sources.list.d/debian-src.list >/dev/null
    fi
    $as_root apt-get update -q
fi
"$project/scripts/install-deps.sh" g++-mingw-w64-x86-64-posix libz-mingw-w64-dev dpkg-dev perl patch \
    xz-utils qt6-base-dev-tools
case "$(dpkg-query -W -f='${Version}' qt6-base-dev)" in
    "$version"*) ;;
    *) echo "the host Qt must be $version too" >&2; exit 1 ;;
esac

mkdir -p "$work/src"
cd "$work/src"
[ -d "qt6-base-$version+dfsg" ] || apt-get source -q "qt6-base=$version+dfsg-9+deb13u2" || apt-get source -q qt6-base
qtbase="$work/src/qt6-base-$version+dfsg"
compat=${QT5COMPAT_SRC:-}
case "$compat" in
    *.tar.xz) tar -xJf "$compat" && compat="$work/src/$(tar -tJf "$compat" | sed -n '1s|/.*||p')" ;;
    "") [ -d "qt6-5compat-$version" ] || apt-get source -q qt6-5compat || {
            echo "apt-get source qt6-5compat failed: set QT5COMPAT_SRC to a qt5compat tree or .tar.xz" >&2
            exit 1
        }
        compat="$work/src/qt6-5compat-$version" ;;
esac

# Debian's tarball has no src/3rdparty/wintab: no tablet events. There is no
# MinGW ICU in Debian: QTextCodec uses Qt's own codecs and Windows' code pages.
# Qt is built without direct2d, which its Windows font code does not allow for: the two
# patches the package carries mend that, and text is drawn with GDI, as Qt 6.4 did by
# default, instead of DirectWrite.
for name in qtbase-windows-plugin-directwrite-needs-direct2d qtbase-font-loader-without-direct2d; do
    patch=$project/packaging/windows/$name.patch
    patch -d "$qtbase" -p1 -R --dry-run -s <"$patch" >/dev/null 2>&1 || patch -d "$qtbase" -p1 --batch <"$patch"
done
rm -rf "$work/build-qtbase" "$work/build-qt5compat"
mkdir -p "$work/build-qtbase" "$work/build-qt5compat"
cd "$work/build-qtbase"
"$qtbase/configure" -prefix "$prefix" -qt-host-path /usr -xplatform win32-g++ \
    -release -shared -opensource -confirm-license -nomake examples -nomake tests \
    -no-opengl -no-dbus -no-icu -no-zstd -no-pkg-config \
    -no-feature-sql -no-feature-network -no-feature-printsupport -no-feature-concurrent \
    -no-feature-tabletevent -no-feature-androiddeployqt -no-feature-direct2d \
    -system-zlib -qt-pcre -qt-harfbuzz -qt-freetype -qt-libpng -qt-libjpeg \
    -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$project/cmake/mingw-w64.cmake" \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
[ "${STOP_AFTER:-}" = configure ] && exit 0
cmake --build . --parallel "$(nproc)"
cmake --install .

cd "$work/build-qt5compat"
"$prefix/bin/qt-configure-module" "$compat" -- -G Ninja -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
cmake --build . --parallel "$(nproc)"
cmake --install .
echo "Windows Qt installed in $prefix"
