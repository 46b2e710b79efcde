#!/bin/sh
# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT
# Installs what is missing, builds, and runs every test headless.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
(cd build && ctest --output-on-failure)

# Multi-configuration generators (Visual Studio, Ninja Multi-Config) put uic's output in
# another folder; build and run the window's test that way too.
cmake -S . -B build-multi -G "Ninja Multi-Config" >/dev/null
cmake --build build-multi --config Release --target test_window
ctest --test-dir build-multi -C Release -R '^test_window$' --output-on-failure

# The joining core under the sanitizers.
scripts/test-sanitizers.sh
