#!/bin/sh
# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT
# Runs a Windows program of the build under Wine, headless: CTest's emulator for
# the Windows build. Usage: wine-run.sh PROGRAM.exe [ARGUMENTS...]
#
#   SHEAFWRIGHT_WINE_LOCALE  the Unix locale Wine takes the code page from:
#                            ko_KR.UTF-8 gives code page 949 (the default),
#                            en_US.UTF-8 gives 1252
#   WINEPREFIX               the Wine folder (default: one per locale in the build)
#   SHEAFWRIGHT_WINDOWS_QT   the Windows Qt, whose bin/ holds its DLLs
set -u
# Wine needs an X display even for Qt's offscreen platform.
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" sh "$0" "$@"
fi
program=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
build=${SHEAFWRIGHT_WINDOWS_BUILD:-$(cd "$(dirname "$program")" && pwd)}
locale=${SHEAFWRIGHT_WINE_LOCALE:-ko_KR.UTF-8}
qt=${SHEAFWRIGHT_WINDOWS_QT:?the Windows Qt is not named in SHEAFWRIGHT_WINDOWS_QT}

# The tests compare what "ANSI" means with the code page Wine was set to.
case "$locale" in
    ko_KR*) export SHEAFWRIGHT_EXPECTED_ANSI=CP949 ;;
    en_US*) export SHEAFWRIGHT_EXPECTED_ANSI=CP1252 ;;
esac
export LC_ALL="$locale" WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe,mscoree,mshtml=d"
export WINEPREFIX="${WINEPREFIX:-$build/wine-$locale}"
# Wine hides Unix variables named QT_* from Windows programs; it hands WINEQT_* on
# under the name without its prefix.
for variable in $(env | sed -n 's/^\(QT_[A-Za-z0-9_]*\)=.*/\1/p'); do
    eval "export WINE$variable=\"\$$variable\""
done
# Qt's DLLs, and the compiler's runtime DLLs, which lie beside its libgcc.
gcc_runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
export WINEPATH="$(winepath -w "$qt/bin");$(winepath -w "$gcc_runtime");$(winepath -w /usr/x86_64-w64-mingw32/lib)"

# A QtTest program with no console of its own writes its report to the debugger:
# it goes to a file instead, shown when the test ends.
report=""
case "$(basename "$program")" in
    test_*.exe)
        report=$(mktemp "${TMPDIR:-/tmp}/wine-test.XXXXXX")
        set -- "$@" -o "$(winepath -w "$report"),txt"
        ;;
esac

run() {
    wine "$program" "$@"
    status=$?
    if [ -n "$report" ]; then
        cat "$report"
        rm -f "$report"
    fi
    # Let the next program start with a Wine of its own settings.
    wineserver -w
    exit $status
}

run "$@"
