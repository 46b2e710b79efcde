// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#pragma once

#include <cstddef>

namespace TextJoin {

struct Utf8Scan
{
    // Bytes from the start that form complete, valid sequences.
    std::size_t complete = 0;
    // False when an invalid sequence starts at `complete`. When true, the bytes
    // after `complete` (at most three) begin a sequence that the data cut short.
    bool valid = true;
};

// Checks UTF-8 strictly: no overlong forms, no surrogates, nothing above U+10FFFF.
Utf8Scan scanUtf8(const unsigned char *data, std::size_t size);

struct Utf16Conversion
{
    // Code units read; a high surrogate at the very end waits for its partner.
    std::size_t read = 0;
    // Bytes of UTF-8 written.
    std::size_t written = 0;
    // False when a surrogate without its partner was met at `read`.
    bool valid = true;
};

// Encodes UTF-16 as UTF-8 into `out`, which has room for three bytes a unit and
// sixteen more (the fast path stores whole vectors).
Utf16Conversion utf16ToUtf8(const char16_t *units, std::size_t count, char *out);

// The same two, one character at a time: what processors without AVX2 run.
Utf8Scan scanUtf8Portable(const unsigned char *data, std::size_t size);
Utf16Conversion utf16ToUtf8Portable(const char16_t *units, std::size_t count, char *out);

} // namespace TextJoin
