#!/bin/sh
# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT
# Makes the Debian package from the build folder into a scratch folder and checks
# that it holds exactly the installed files, depends on what the program needs at
# run time, including what dpkg-shlibdeps cannot see, and that lintian finds no
# error and nothing to warn of.
set -eu
cpack=$1
config=$2
build_type=$3
lintian=$4
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

if ! "$cpack" --config "$config" -G DEB -C "$build_type" -B "$scratch" >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log"
    exit 1
fi
deb=$(ls "$scratch"/sheafwright_*_*.deb)
status=0

dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort >"$scratch/files"
sort >"$scratch/expected" <<'LIST'
./usr/bin/sheafwright
./usr/share/applications/io.github.sheafwright.Sheafwright.desktop
./usr/share/metainfo/io.github.sheafwright.Sheafwright.metainfo.xml
./usr/share/icons/hicolor/scalable/apps/sheafwright.svg
./usr/share/icons/hicolor/16x16/apps/sheafwright.png
./usr/share/icons/hicolor/32x32/apps/sheafwright.png
./usr/share/icons/hicolor/48x48/apps/sheafwright.png
./usr/share/icons/hicolor/64x64/apps/sheafwright.png
./usr/share/icons/hicolor/128x128/apps/sheafwright.png
./usr/share/icons/hicolor/256x256/apps/sheafwright.png
./usr/share/doc/sheafwright/README.md
./usr/share/doc/sheafwright/changelog.gz
./usr/share/doc/sheafwright/copyright
./usr/share/man/man1/sheafwright.1.gz
./usr/share/man/ko/man1/sheafwright.1.gz
LIST
if ! diff -u "$scratch/expected" "$scratch/files"; then
    echo "FAIL: the package's files differ from the expected ones (- expected, + packaged)"
    status=1
fi

depends=$(dpkg-deb -f "$deb" Depends)
for wanted in "qt6-qpa-plugins" "fonts-nanum | fonts-noto-cjk" "libqt6widgets6 ("; do
    case "$depends" in
        *"$wanted"*) ;;
        *) echo "FAIL: Depends lacks '$wanted': $depends"; status=1 ;;
    esac
done
recommends=$(dpkg-deb -f "$deb" Recommends)
if [ "$recommends" != "qt6-wayland" ]; then
    echo "FAIL: Recommends is '$recommends', expected qt6-wayland"
    status=1
fi

# Without overrides: whatever lintian warns of is to be mended, not silenced.
if ! "$lintian" --fail-on error,warning "$deb"; then
    echo "FAIL: lintian (above)"
    status=1
fi

echo "$(basename "$deb"), Depends: $depends"
exit "$status"
