#!/bin/sh
# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT
# Configures and builds into build/ (Release unless BUILD_TYPE says otherwise): every
# target, or only the one given as the argument.
set -eu
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" >/dev/null
cmake --build build --parallel "$(nproc)" ${1:+--target "$1"}
