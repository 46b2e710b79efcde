#!/bin/sh
# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT
# Validates the AppStream metainfo pedantically: every remark fails, but for the capital
# letter in the application id, which the desktop entry and the installed files are named
# after (see the README). AppStream before 1.0 (Debian 12's 0.16) does not know the
# <developer> tag that 1.0 asks for, and only notes it.
# Usage: check_metainfo.sh APPSTREAMCLI METAINFO
set -eu
appstreamcli=$1
metainfo=$2
out=$("$appstreamcli" validate --no-net --pedantic "$metainfo") || { echo "$out"; exit 1; }
echo "$out"
accepted=': cid-contains-uppercase-letter$'
case "$("$appstreamcli" --version)" in
    *"version: 0."*) accepted="$accepted|: unknown-tag developer$" ;;
esac
! echo "$out" | grep -E '^[EWIP]: ' | grep -Ev "$accepted"
