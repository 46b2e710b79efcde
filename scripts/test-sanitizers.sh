#!/bin/sh
# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT
# Builds the tests with AddressSanitizer and UndefinedBehaviorSanitizer, and those
# with threads again with ThreadSanitizer, and runs them; any report fails.
set -eu
cd "$(dirname "$0")/.."

# The core, and the window with its list and its bind, whose widgets are made and
# destroyed in every test.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer" >/dev/null
cmake --build build-asan --target test_joiner test_utf8 test_legacycodepage test_window test_file_list test_binding
ctest --test-dir build-asan -R '^test_' --output-on-failure

# The core's threads, and the window's worker thread beside the GUI thread. The
# tests set TSAN_OPTIONS themselves (tests/CMakeLists.txt), so that ctest in
# build-tsan runs them as this script does.
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" >/dev/null
cmake --build build-tsan --target test_joiner test_binding
ctest --test-dir build-tsan -R '^test_(joiner|binding)$' --output-on-failure
