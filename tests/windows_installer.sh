#!/bin/sh
# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT
# Tries the Windows installer in a fresh Wine prefix on a Korean system (code page 949),
# with Windows' Korean interface fonts mapped to Nanum ones, as Windows has them:
# - installs it page by page, as a user does, with a screenshot of each page, and runs
#   the program from the finish page;
# - checks what it installed and registered, starts the installed program on the real
#   windows platform, binds a UTF-8, a UTF-16 and a CP949 file into an "ANSI" file
#   through its window and dialogs, and checks that the encoding dialog draws its text;
# - installs again while the program runs (refused), the same version again, over an
#   older version, and over a newer one (refused), each silently;
# - uninstalls silently, then installs and uninstalls for the current user only.
#
# Usage: windows_installer.sh INSTALLER.exe WORKDIR [SCREENSHOTS]
#   WORKDIR gets a new folder for each run, removed when the run passes and kept, with
#   screenshots, when it fails. SCREENSHOTS, where given, receives the installer's pages
#   and the encoding dialog as PNG files.
# Needs wine (64-bit), xvfb, xdotool, x11-utils, x11-apps and netpbm (for the
# screenshots) and the ko_KR.UTF-8 locale.
set -u

if [ $# -ne 2 ] && [ $# -ne 3 ]; then
    echo "usage: $0 INSTALLER.exe WORKDIR [SCREENSHOTS]" >&2
    exit 2
fi
installer=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
work=$2
screenshots=${3:-}
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
        xvfb-run -a -s "-screen 0 1280x1024x24" sh "$0" "$installer" "$work" "$screenshots"
fi

title="텍스트파일 통합프로그램"
product="텍스트파일 통합프로그램 (Sheafwright)"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Sheafwright'
user_uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Sheafwright'

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
    printf 'FAIL: %s\n' "$*"
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

for tool in wine wineserver xdotool xprop xwininfo xwd xwdtopnm pnmtopng pamcut iconv strings; do
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
# Windows' Korean interface fonts, which Wine lacks, drawn with Nanum Gothic instead,
# as the dialogs' text would otherwise fall back to a font with huge line metrics.
for font in Gulim GulimChe Dotum "Malgun Gothic" "MS Shell Dlg" "MS Shell Dlg 2"; do
    timeout 60 wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$font" /d NanumGothic /f >/dev/null 2>&1 ||
        abort "cannot map the font $font"
done
wait_for_wine 60 "after mapping the fonts"

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
# What an install must have put in place: check_installed FOLDER KEY SHORTCUT LOCATION START_IN
check_installed() {
    installed_files=$(cd "$1" 2>/dev/null && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
    if [ "$installed_files" != "$expected_files" ]; then
        fail "the files in $4 differ (- expected, + installed):"
        printf '%s\n' "$expected_files" >"$run/expected-files"
        printf '%s\n' "$installed_files" >"$run/installed-files"
        diff -u "$run/expected-files" "$run/installed-files"
    fi
    for entry in "DisplayName=$product" "DisplayVersion=$version" "Publisher=Sheafwright contributors" \
        "InstallLocation=$4"; do
        name=${entry%%=*}
        wanted=${entry#*=}
        value=$(registry_value "$2" "$name")
        if [ "$value" != "$wanted" ]; then
            fail "the uninstall entry's $name is '$value', expected '$wanted'"
        else
            printf '   uninstall entry: %s = %s\n' "$name" "$value"
        fi
    done
    if [ ! -f "$3" ]; then
        fail "no Start-menu shortcut named $title"
    elif ! { strings -a "$3"; strings -a -el "$3"; } | grep -qi 'Sheafwright\\bin\\sheafwright\.exe'; then
        fail "the Start-menu shortcut does not lead to bin\\sheafwright.exe"
    elif ! { strings -a "$3"; strings -a -el "$3"; } | grep -qiF "$5"; then
        fail "the Start-menu shortcut does not start the program in $5"
    else
        printf '   Start-menu shortcut: %s, starting in %s\n' "$title" "$5"
    fi
}
# reg writes in the console's code page, 949.
registry_value() {
    timeout 60 wine reg query "$1" /v "$2" 2>/dev/null | iconv -f CP949 -t UTF-8 | tr -d '\r' |
        sed -n "s/^ *$2 *REG_SZ *//p"
}
location='C:\Program Files\Sheafwright'

# The installed program, from a folder of its own: it must find its DLLs and plugins
# by itself.
start_program() {
    (cd "$run" && exec wine 'C:\Program Files\Sheafwright\bin\sheafwright.exe') >>"$run/program.log" 2>&1 &
    app_pid=$!
}
# Waits up to $2 seconds for a visible window of the program titled $1 (a pattern), and prints its
# id. An error box ends the wait at once. It runs in a subshell of its own: the caller
# counts the failure.
window_titled() {
    deadline=$(($(date +%s) + $2))
    while [ "$(date +%s)" -lt "$deadline" ]; do
        for id in $(timeout 10 xdotool search --onlyvisible --class 'sheafwright' 2>/dev/null); do
            name=$(timeout 10 xprop -id "$id" _NET_WM_NAME 2>/dev/null |
                sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p')
            # shellcheck disable=SC2254 # $1 may be a pattern
            case "$name" in
                $1)
                    echo "$id"
                    return 0
                    ;;
            esac
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

# A window's picture as PNG, and the number of its pixels, in the rectangle given,
# that are dark, as text is.
screenshot() {
    timeout 30 xwd -silent -id "$1" | xwdtopnm 2>/dev/null | pnmtopng >"$2" 2>/dev/null
}
drawn_pixels() {
    timeout 30 xwd -silent -id "$1" | xwdtopnm 2>/dev/null | pamcut -left "$2" -top "$3" -width "$4" -height "$5" |
        pnmtoplainpnm | awk 'NR > 3 { for (i = 1; i <= NF; i += 3) if ($i + $(i + 1) + $(i + 2) < 500) n++ } END { print n + 0 }'
}
keep_screenshot() {
    [ -n "$screenshots" ] || return 0
    mkdir -p "$screenshots" && cp "$1" "$screenshots/" || fail "cannot keep the screenshot $1"
}

setup_title="$product 설치"
echo "-- the installer, page by page"
(cd "$run" && exec wine "$installer") >>"$run/installer.log" 2>&1 &
installer_pid=$!
page=0
for name in welcome licence users folder finish; do
    page=$((page + 1))
    # The same window shows every page: the finish page comes once the files are in.
    if [ "$name" = finish ]; then
        waited=0
        until [ -f "$program_files/Uninstall.exe" ] || [ "$waited" -ge 240 ]; do
            sleep 0.5
            waited=$((waited + 1))
        done
        sleep 3
    fi
    # Past the first page the title ends in a space.
    dialog=$(window_titled "$setup_title*" 120) || abort "the installer's $name page did not show"
    # Pages are drawn a moment after the window shows.
    sleep 2
    screenshot "$dialog" "$run/installer-$page-$name.png" || fail "no screenshot of the $name page"
    keep_screenshot "$run/installer-$page-$name.png"
    focus "$dialog"
    # Enter is each page's default button: next, agree, next, install, finish. The finish
    # page's "실행" box is ticked, so the program starts.
    keys Return
    [ "$name" = finish ] || sleep 1
done
wait "$installer_pid" || fail "the installer exited with status $?"
if window=$(window_titled "$title" 60); then
    echo "   the finish page started the program"
    app_pid=""
    focus "$window"
    keys alt+F4
    window_gone "$window" 30 "$title"
else
    fail "the finish page's 실행 did not start the program"
fi
wait_for_wine 120 "after installing"
check_installed "$program_files" "$uninstall_key" "$shortcut" "$location" '%USERPROFILE%\Documents'

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
sleep 1
# The editable box holds "UTF-8", selected. Unselected, its text must be drawn (as it
# was not once under Wine): the box's band, in the middle of the dialog left of its
# arrow, holds more dark pixels with the text than without it.
focus "$encoding"
keys End
sleep 0.5
screenshot "$encoding" "$run/encoding-dialog.png" && keep_screenshot "$run/encoding-dialog.png"
size=$(timeout 10 xwininfo -id "$encoding" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w " " h }')
width=${size% *}
height=${size#* }
box_pixels() {
    drawn_pixels "$encoding" $((width / 20)) $((height * 30 / 100)) $((width * 7 / 10)) $((height * 30 / 100))
}
with_text=$(box_pixels)
keys ctrl+a BackSpace
sleep 0.5
without_text=$(box_pixels)
echo "   the encoding dialog's box: $with_text dark pixels with its text, $without_text without"
[ "$((${with_text:-0} - ${without_text:-0}))" -ge 20 ] || fail "the encoding dialog's box does not draw its text"
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

echo "-- installing while the program runs"
timeout 120 wine "$installer" /S
status=$?
[ "$status" -eq 3 ] || fail "the installer, with the program running, exited with status $status, expected 3"
kill -0 "$app_pid" 2>/dev/null || fail "the program did not survive the installer"
close_program "$window"

# Installs silently, and expects the exit status $1 and the uninstall entry's version $2.
silent_install() {
    timeout 300 wine "$installer" /S
    status=$?
    wait_for_wine 120 "after installing"
    [ "$status" -eq "$1" ] || fail "the installer ($3) exited with status $status, expected $1"
    value=$(registry_value "$uninstall_key" DisplayVersion)
    [ "$value" = "$2" ] || fail "after the installer ($3) the installed version is '$value', expected '$2'"
    entries=$(timeout 60 wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' 2>/dev/null |
        grep -c 'Uninstall\\Sheafwright')
    [ "$entries" -eq 1 ] || fail "after the installer ($3) there are $entries uninstall entries"
    echo "   $3: exit status $status, version $value"
}
set_installed_version() {
    timeout 60 wine reg add "$uninstall_key" /v DisplayVersion /d "$1" /f >/dev/null 2>&1 || fail "cannot set the version"
}
echo "-- installing the same version again, over an older one and over a newer one"
silent_install 0 "$version" "the same version"
set_installed_version 1.0.0
silent_install 0 "$version" "over 1.0.0"
[ -f "$program_files/bin/sheafwright.exe" ] || fail "the upgrade left no program"
set_installed_version 99.0.0
silent_install 4 99.0.0 "over 99.0.0"
set_installed_version "$version"

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

echo "-- for the current user only"
# Wine runs everything with administrator rights; the install must still keep to the
# user's own folders and registry.
user=$(id -un)
user_profile="$WINEPREFIX/drive_c/users/$user"
user_files="$user_profile/AppData/Local/Programs/Sheafwright"
user_shortcut="$user_profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/$title.lnk"
timeout 300 wine "$installer" /S /CurrentUser || fail "the per-user installer exited with status $?"
wait_for_wine 120 "after installing for the current user"
check_installed "$user_files" "$user_uninstall_key" "$user_shortcut" \
    "C:\\users\\$user\\AppData\\Local\\Programs\\Sheafwright" "C:\\users\\$user\\Documents"
[ ! -e "$program_files" ] || fail "the per-user install wrote to Program Files"
! timeout 60 wine reg query "$uninstall_key" >/dev/null 2>&1 || fail "the per-user install made an entry for all users"
uninstall=$(timeout 60 wine reg query "$user_uninstall_key" /v QuietUninstallString 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *QuietUninstallString *REG_SZ *//p')
case "$uninstall" in
    *'/CurrentUser /S') ;;
    *) fail "the per-user uninstall entry's QuietUninstallString is '$uninstall'" ;;
esac
timeout 120 wine "$(winepath -w "$user_files/Uninstall.exe")" /CurrentUser /S || fail "the per-user uninstaller exited with status $?"
wait_for_wine 120 "after uninstalling for the current user"
[ ! -e "$user_files" ] || fail "the per-user install folder is still there"
! timeout 60 wine reg query "$user_uninstall_key" >/dev/null 2>&1 || fail "the per-user uninstall entry is still there"
[ ! -e "$user_shortcut" ] || fail "the per-user Start-menu shortcut is still there"

finish
