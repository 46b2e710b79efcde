// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#pragma once

#include <cstddef>

class QStringView;
class QTextCodec;

namespace TextJoin {

// Decoding and encoding tables of a single- or double-byte code page (every
// Windows ANSI code page, and CP949), and the conversions through them.
struct CodePageTables;

// The tables of the codec's code page, derived from the codec on first use and
// kept for the life of the process; null for a codec that is neither single- nor
// double-byte.
const CodePageTables *tablesFor(QTextCodec *codec);

struct TableConversion
{
    std::size_t read = 0;    // input converted: bytes, or UTF-16 units
    std::size_t written = 0; // output: UTF-16 units, or bytes
    bool valid = true;       // false: an invalid sequence starts at `read`
};

// Decode the complete characters at the start of the data; a lead byte at its
// very end is left unread. `out` needs a unit, or three bytes, a byte of data.
TableConversion decodeToUtf16(const CodePageTables &tables, const char *data, std::size_t size, char16_t *out);
TableConversion decodeToUtf8(const CodePageTables &tables, const char *data, std::size_t size, char *out);
// A place about half-way through the data where a character certainly starts,
// so that the two parts can be decoded apart; 0 where none was found.
std::size_t splitPoint(const CodePageTables &tables, const char *data, std::size_t size);

// Encode up to the first character the code page lacks; `out` needs two bytes a
// unit of text, or a byte of UTF-8, which must be valid and complete.
TableConversion encodeUtf16(const CodePageTables &tables, QStringView text, char *out);
TableConversion encodeUtf8(const CodePageTables &tables, const char *utf8, std::size_t size, char *out);

} // namespace TextJoin
