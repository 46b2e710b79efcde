// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#pragma once

#include "utf8.h"

// The UTF-8 paths for processors with AVX2, chosen at run time; the portable
// ones in utf8.cpp are the reference they are tested against.
#if defined(__x86_64__) && defined(__GNUC__)
#define SHEAFWRIGHT_AVX2 1
#endif

namespace TextJoin {

// Encodes from units[i] until `until` (or the end), one character at a time;
// `bytes` is where in `out` the next byte goes. The vector path hands it
// surrogates and the units left over.
Utf16Conversion encodeFrom(const char16_t *units, std::size_t count, std::size_t i, std::size_t until,
                           unsigned char *bytes, char *out);

#ifdef SHEAFWRIGHT_AVX2
bool hasAvx2();
// Length of the data without a final sequence that the data cuts short.
std::size_t withoutUnfinishedEnd(const unsigned char *data, std::size_t size);
// True when the data is valid UTF-8 that ends with a complete character.
bool isCompleteUtf8Avx2(const unsigned char *data, std::size_t size);
Utf16Conversion utf16ToUtf8Avx2(const char16_t *units, std::size_t count, char *out);
#endif

} // namespace TextJoin
