// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "utf8.h"

#include "asciiruns.h"
#include "utf8avx2.h"

namespace TextJoin {

namespace {

inline bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

} // namespace

Utf8Scan scanUtf8Portable(const unsigned char *data, std::size_t size)
{
    std::size_t i = 0;
    while (i < size) {
        // Most text is long runs of ASCII: test sixteen bytes at a time.
        while (i + 16 <= size && areAsciiBytes16(data + i))
            i += 16;
        if (i >= size)
            break;

        const unsigned char lead = data[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t length;
        unsigned char secondMin = 0x80;
        unsigned char secondMax = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0)
                secondMin = 0xA0; // overlong
            else if (lead == 0xED)
                secondMax = 0x9F; // surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0)
                secondMin = 0x90; // overlong
            else if (lead == 0xF4)
                secondMax = 0x8F; // above U+10FFFF
        } else {
            return {i, false};
        }

        const std::size_t available = size - i;
        if (available >= 2 && (data[i + 1] < secondMin || data[i + 1] > secondMax))
            return {i, false};
        for (std::size_t k = 2; k < length && k < available; ++k) {
            if (!isContinuation(data[i + k]))
                return {i, false};
        }
        if (available < length)
            return {i, true};
        i += length;
    }
    return {size, true};
}

namespace {

enum class Encoded { Yes, WaitsForPartner, LoneSurrogate };

// Encodes the character at units[i] and moves past it.
inline Encoded encodeOne(const char16_t *units, std::size_t count, std::size_t &i, unsigned char *&bytes)
{
    const char32_t unit = units[i];
    if (unit < 0x80) {
        *bytes++ = static_cast<unsigned char>(unit);
        ++i;
    } else if (unit < 0x800) {
        bytes[0] = static_cast<unsigned char>(0xC0 | (unit >> 6));
        bytes[1] = static_cast<unsigned char>(0x80 | (unit & 0x3F));
        bytes += 2;
        ++i;
    } else if ((unit & 0xF800) != 0xD800) {
        bytes[0] = static_cast<unsigned char>(0xE0 | (unit >> 12));
        bytes[1] = static_cast<unsigned char>(0x80 | ((unit >> 6) & 0x3F));
        bytes[2] = static_cast<unsigned char>(0x80 | (unit & 0x3F));
        bytes += 3;
        ++i;
    } else {
        if (unit > 0xDBFF)
            return Encoded::LoneSurrogate;
        if (i + 1 == count)
            return Encoded::WaitsForPartner;
        const char32_t low = units[i + 1];
        if (low < 0xDC00 || low > 0xDFFF)
            return Encoded::LoneSurrogate;
        const char32_t codePoint = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        bytes[0] = static_cast<unsigned char>(0xF0 | (codePoint >> 18));
        bytes[1] = static_cast<unsigned char>(0x80 | ((codePoint >> 12) & 0x3F));
        bytes[2] = static_cast<unsigned char>(0x80 | ((codePoint >> 6) & 0x3F));
        bytes[3] = static_cast<unsigned char>(0x80 | (codePoint & 0x3F));
        bytes += 4;
        i += 2;
    }
    return Encoded::Yes;
}

} // namespace

Utf16Conversion encodeFrom(const char16_t *units, std::size_t count, std::size_t i, std::size_t until,
                           unsigned char *bytes, char *out)
{
    const auto result = [&](bool valid) {
        return Utf16Conversion{i, std::size_t(bytes - reinterpret_cast<unsigned char *>(out)), valid};
    };
    while (i < until) {
        while (i + 4 <= until && areAsciiUnits4(units + i)) {
            for (int k = 0; k < 4; ++k)
                bytes[k] = static_cast<unsigned char>(units[i + k]);
            bytes += 4;
            i += 4;
        }
        if (i >= until)
            break;
        switch (encodeOne(units, count, i, bytes)) {
        case Encoded::Yes:
            break;
        case Encoded::WaitsForPartner:
            return result(true);
        case Encoded::LoneSurrogate:
            return result(false);
        }
    }
    return result(true);
}

Utf16Conversion utf16ToUtf8(const char16_t *units, std::size_t count, char *out)
{
#ifdef SHEAFWRIGHT_AVX2
    if (hasAvx2())
        return utf16ToUtf8Avx2(units, count, out);
#endif
    return utf16ToUtf8Portable(units, count, out);
}

Utf16Conversion utf16ToUtf8Portable(const char16_t *units, std::size_t count, char *out)
{
    return encodeFrom(units, count, 0, count, reinterpret_cast<unsigned char *>(out), out);
}

Utf8Scan scanUtf8(const unsigned char *data, std::size_t size)
{
#ifdef SHEAFWRIGHT_AVX2
    // The fast check only answers yes or no; invalid data is rare, and for it the
    // bytewise scan finds where the fault is.
    if (hasAvx2()) {
        const std::size_t complete = withoutUnfinishedEnd(data, size);
        if (isCompleteUtf8Avx2(data, complete))
            return {complete, scanUtf8Portable(data + complete, size - complete).valid};
    }
#endif
    return scanUtf8Portable(data, size);
}

} // namespace TextJoin
