// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#pragma once

#include <QString>

#include <cstddef>
#include <vector>

namespace TextJoin {

// What an input's bytes are: a form of Unicode, or the legacy code page.
enum class Source { Utf8, Utf16LE, Utf16BE, Utf32LE, Utf32BE, Local };

struct ByteOrderMark
{
    Source source;
    int length;
};

// The marks a text stream recognises, at the very start of a file; UTF-32 is
// tested before the UTF-16 mark it begins with.
bool detectByteOrderMark(const unsigned char *head, qint64 size, ByteOrderMark *mark);

// The name of a form of Unicode, as messages give it.
QString unicodeName(Source source);

// The code units of UTF-16 in either byte order: the data itself where it is
// already in the machine's order and aligned, otherwise a copy in `scratch`.
const char16_t *utf16Units(Source source, const char *data, std::size_t count, std::vector<char16_t> &scratch);

// Checks that surrogates pair up. Returns the number of units to use now (a
// trailing high surrogate waits for its partner), or -1 for a lone surrogate.
qsizetype completeUtf16Units(const char16_t *units, qsizetype count);

// Turns `count` UTF-32 code points into UTF-16 in `out`, which has room for two
// units each; returns the number of units, or -1 where a value is a surrogate or
// beyond U+10FFFF.
qsizetype utf32ToUtf16(Source source, const char *data, std::size_t count, char16_t *out);

} // namespace TextJoin
