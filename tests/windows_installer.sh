#!/bin/sh
# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT
# Installs the Windows installer silently into a fresh Wine prefix on a Korean system
# (code page 949), checks what it installed and registered, starts the installed
# program on the real windows platform, binds a UTF-8, a UTF-16 and a CP949 file into
# an "ANSI" file through its window and dialogs, and uninstalls silently.
#
# Usage: windows_installer.sh INSTALLER.exe WORKDIR
#   WORKDIR gets a new folder for each run, removed when the run passes and kept, with
#   screenshots, when it fails.
# Needs wine (64-bit), xvfb, xdotool, x11-utils, imagemagick (for the screenshots) and
# the ko_KR.UTF-8 locale.
set -u

if [ $# -ne 2 ]; then
    echo "usage: $0 INSTALLER.exe WORKDIR" >&2
    exit 2
fi
installer=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
work=$2
version=$(basename "$installer" | sed -n 's/^Sheafwright-\(.*\)-win64-setup\.exe$/\1/p')
if [ ! -f "$installer" ] || [ -z "$version" ]; then
    echo "FAIL: $1 is not an installer named Sheafwright-VERSION-win64-setup.exe"
    exit 1
fi

# Always a display of our own, with no window manager: nothing else draws on it or
# takes the focus. Wine then leaves the frame to the absent window manager, so each X
# window is exactly its Windows window's client area. The whole run has a time limit
# too, on top of the one of every step.
if [ -z "${SHEAFWRIGHT_INSTALLER_TEST_DISPLAY:-}" ]; then
    SHEAFWRIGHT_INSTALLER_TEST_DISPLAY=1 exec timeout -k 10 1200 \
        xvfb-run -a -s "-screen 0 1280x1024x24" sh "$0" "$installer" "$work"
fi

title="텍스트파일 통합프로그램"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Sheafwright'

mkdir -p "$work" || exit 2
run=$(mktemp -d "$(cd "$work" && pwd)/installer-test.XXXXXX") || exit 2
export LC_ALL=ko_KR.UTF-8 WINEDEBUG=-all WINEPREFIX="$run/prefix" HOME="$run/home"
# Wine's menu builder would put the shortcut on this machine's own desktop menus.
export WINEDLLOVERRIDES="winemenubuilder.exe,mscoree,mshtml=d"
unset WINEPATH
mkdir -p "$HOME"
program_files="$WINEPREFIX/drive_c/Program Files/Sheafwright"
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/$title.lnk"

failures=0
shots=0
app_pid=""
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
    shots=$((shots + 1))
    if command -v import >/dev/null; then
        import -window root "$run/failure-$shots.png" 2>/dev/null && echo "      screen: $run/failure-$shots.png"
    fi
}
finish() {
    if [ -n "$app_pid" ]; then
        kill "$app_pid" 2>/dev/null
    fi
    timeout 30 wineserver -k 2>/dev/null
    if [ "$failures" -eq 0 ]; then
        rm -rf "$run"
        echo "PASS: windows_installer ($(basename "$installer"))"
        exit 0
    fi
    echo "FAIL: windows_installer, $failures failure(s); files kept in $run"
    exit 1
}
# A step that cannot go on ends the run.
abort() {
    fail "$@"
    finish
}

for tool in wine wineserver xdotool xprop xwininfo iconv strings; do
    command -v "$tool" >/dev/null || abort "$tool is not installed"
done
locale -a | grep -qix 'ko_KR.utf-\?8' || abort "the ko_KR.UTF-8 locale is not generated"

wait_for_wine() {
    timeout "$1" wineserver -w || fail "Wine's processes were still running after $1 s ($2)"
}

echo "-- a fresh Wine prefix in $WINEPREFIX"
timeout 300 wineboot --init >"$run/wineboot.log" 2>&1 || abort "wineboot failed (see $run/wineboot.log)"
wait_for_wine 300 "wineboot"
# The code page Wine takes from the locale, which "ANSI" means to the program.
codepage=$(timeout 60 wine reg query 'HKLM\System\CurrentControlSet\Control\Nls\CodePage' /v ACP 2>/dev/null |
    tr -d '\r' | sed -n 's/^ *ACP *REG_SZ *//p')
[ "$codepage" = "949" ] || abort "Wine's ANSI code page is '$codepage', expected 949"

echo "-- silent install"
timeout 300 wine "$installer" /S || fail "the installer exited with status $?"
wait_for_wine 120 "after installing"

expected_files="LICENSE.txt
THIRD-PARTY-NOTICES.txt
Uninstall.exe
bin/Qt6Core.dll
bin/Qt6Core5Compat.dll
bin/Qt6Gui.dll
bin/Qt6Widgets.dll
bin/libgcc_s_seh-1.dll
bin/libstdc++-6.dll
bin/libwinpthread-1.dll
bin/platforms/qwindows.dll
bin/sheafwright.exe
bin/styles/qmodernwindowsstyle.dll
bin/zlib1.dll
third-party/LGPL-3.0-only.txt
third-party/gcc-mingw-w64-x86-64-posix-runtime-copyright.txt
third-party/libz-mingw-w64-copyright.txt
third-party/mingw-w64-x86-64-dev-copyright.txt
third-party/qtbase-font-loader-without-direct2d.patch
third-party/qtbase-windows-plugin-directwrite-needs-direct2d.patch"
installed_files=$(cd "$program_files" 2>/dev/null && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
if [ "$installed_files" != "$expected_files" ]; then
    fail "the files in Program Files\\Sheafwright differ (- expected, + installed):"
    printf '%s\n' "$expected_files" >"$run/expected-files"
    printf '%s\n' "$installed_files" >"$run/installed-files"
    diff -u "$run/expected-files" "$run/installed-files"
fi

registry_value() {
    timeout 60 wine reg query "$uninstall_key" /v "$1" 2>/dev/null | tr -d '\r' |
        sed -n "s/^ *$1 *REG_SZ *//p"
}
for entry in "DisplayName=Sheafwright" "DisplayVersion=$version" "Publisher=Sheafwright contributors"; do
    name=${entry%%=*}
    wanted=${entry#*=}
    value=$(registry_value "$name")
    if [ "$value" != "$wanted" ]; then
        fail "the uninstall entry's $name is '$value', expected '$wanted'"
    else
        echo "   uninstall entry: $name = $value"
    fi
done
if [ ! -f "$shortcut" ]; then
    fail "no Start-menu shortcut named $title"
elif ! { strings -a "$shortcut"; strings -a -el "$shortcut"; } | grep -qi 'Sheafwright\\bin\\sheafwright\.exe'; then
    fail "the Start-menu shortcut does not lead to bin\\sheafwright.exe"
else
    echo "   Start-menu shortcut: $title"
fi

# The installed program, from a folder of its own: it must find its DLLs and plugins
# by itself.
start_program() {
    (cd "$run" && exec wine 'C:\Program Files\Sheafwright\bin\sheafwright.exe') >>"$run/program.log" 2>&1 &
    app_pid=$!
}
# Waits up to $2 seconds for a visible window of the program titled $1, and prints its
# id. An error box ends the wait at once. It runs in a subshell of its own: the caller
# counts the failure.
window_titled() {
    deadline=$(($(date +%s) + $2))
    while [ "$(date +%s)" -lt "$deadline" ]; do
        for id in $(timeout 10 xdotool search --onlyvisible --class 'sheafwright' 2>/dev/null); do
            name=$(timeout 10 xprop -id "$id" _NET_WM_NAME 2>/dev/null |
                sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p')
            if [ "$name" = "$1" ]; then
                echo "$id"
                return 0
            fi
            if [ "$name" = "에러" ]; then
                echo "   the program shows an error box" >&2
                return 1
            fi
        done
        sleep 0.5
    done
    echo "   no window titled '$1' within $2 s" >&2
    return 1
}
# Waits up to $2 seconds until the window $1 is gone.
window_gone() {
    deadline=$(($(date +%s) + $2))
    while [ "$(date +%s)" -lt "$deadline" ]; do
        timeout 10 xwininfo -id "$1" 2>/dev/null | grep -q 'IsViewable' || return 0
        sleep 0.5
    done
    fail "the window '$3' is still open after $2 s"
    return 1
}
focus() {
    timeout 10 xdotool windowfocus --sync "$1" || fail "cannot give the focus to window $1"
}
# Clicks at a point of a window's client area.
click() {
    timeout 10 xdotool mousemove --window "$1" "$2" "$3" click 1 || fail "cannot click in window $1"
}
keys() {
    timeout 10 xdotool key --delay 50 "$@" || fail "cannot press $*"
}
type_text() {
    timeout 30 xdotool type --delay 30 "$1" || fail "cannot type '$1'"
}
# Closes the program as its window's close button does, and expects exit status 0.
close_program() {
    focus "$1"
    keys alt+F4
    deadline=$(($(date +%s) + 30))
    while kill -0 "$app_pid" 2>/dev/null && [ "$(date +%s)" -lt "$deadline" ]; do
        sleep 0.5
    done
    if kill -0 "$app_pid" 2>/dev/null; then
        fail "the program is still running 30 s after Alt+F4"
        kill "$app_pid" 2>/dev/null
    else
        wait "$app_pid"
        status=$?
        [ "$status" -eq 0 ] || fail "the program exited with status $status"
    fi
    app_pid=""
    wait_for_wine 60 "after the program"
}

echo "-- the installed program's window"
start_program
if window=$(window_titled "$title" 60); then
    size=$(timeout 10 xwininfo -id "$window" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')
    if [ "$size" = "482x282" ]; then
        echo "   window: $title, client area $size"
    else
        fail "the window's client area is $size, expected 482x282"
    fi
    close_program "$window"
else
    abort "the installed program did not open its window (see $run/program.log)"
fi

echo "-- binding UTF-8, UTF-16 and CP949 files into an ANSI file"
inputs="$WINEPREFIX/drive_c/sheafwright-test"
mkdir -p "$inputs"
first="첫째 파일 (UTF-8): 가나다 똠"
second="둘째 파일 (UTF-16): 라마바"
third="셋째 파일 (CP949): 사아자 똠"
printf '%s\r\n' "$first" >"$inputs/utf8.txt"
printf '\357\273\277' | iconv -f UTF-8 -t UTF-16LE >"$inputs/utf16.txt"
printf '%s\r\n' "$second" | iconv -f UTF-8 -t UTF-16LE >>"$inputs/utf16.txt"
printf '%s\r\n' "$third" | iconv -f UTF-8 -t CP949 >"$inputs/cp949.txt"
# 똠 is in CP949 but not in EUC-KR: the output must be CP949 itself.
printf '%s\r\n%s\r\n%s\r\n' "$first" "$second" "$third" | iconv -f UTF-8 -t CP949 >"$run/expected.txt"

start_program
window=$(window_titled "$title" 60) || abort "the installed program did not open its window"
# The buttons' centres, from src/forms/sheafwright.ui.
for input in utf8 utf16 cp949; do
    click "$window" 95 255
    dialog=$(window_titled "Select Text Files" 60) || abort "no file dialog for $input.txt"
    focus "$dialog"
    type_text "C:\\sheafwright-test\\$input.txt"
    keys Return
    window_gone "$dialog" 30 "Select Text Files" || abort "the file dialog did not take $input.txt"
done
click "$window" 235 255
question=$(window_titled "질문!" 30) || abort "no question before binding"
focus "$question"
keys Return
save=$(window_titled "저장할 이름을 적으시오." 60) || abort "no dialog for the output's name"
focus "$save"
type_text 'C:\sheafwright-test\joined.txt'
keys Return
encoding=$(window_titled "인코딩 선택" 30) || abort "no dialog for the encoding"
focus "$encoding"
keys ctrl+a
type_text ANSI
keys Return
done_box=$(window_titled "완료!!" 60) || abort "the binding did not finish"
focus "$done_box"
keys Return
window_gone "$done_box" 30 "완료!!"
if cmp -s "$run/expected.txt" "$inputs/joined.txt"; then
    echo "   joined.txt is exactly the three texts in CP949 ($(wc -c <"$inputs/joined.txt") bytes)"
else
    fail "joined.txt is not the three texts in CP949 (expected $run/expected.txt)"
fi
close_program "$window"

echo "-- silent uninstall"
timeout 120 wine 'C:\Program Files\Sheafwright\Uninstall.exe' /S || fail "the uninstaller exited with status $?"
# The uninstaller runs from a copy of itself, so that it can delete itself; the first
# process returns at once.
wait_for_wine 120 "after uninstalling"
if [ -e "$program_files" ]; then
    fail "the install folder is still there, holding:"
    (cd "$program_files" && find . | sed 's|^|      |')
fi
if timeout 60 wine reg query "$uninstall_key" >/dev/null 2>&1; then
    fail "the uninstall entry is still in the registry"
fi
[ ! -e "$shortcut" ] || fail "the Start-menu shortcut is still there"

finish
