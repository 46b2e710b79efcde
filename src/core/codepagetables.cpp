// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "codepagetables.h"

#include "asciiruns.h"
#include "codepagetablesdata.h"

#include <QStringView>
#include <QtEndian>

#include <algorithm>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define SHEAFWRIGHT_SSE2 1
#endif

namespace TextJoin {

namespace {

using CodePageUnits::put;

// Decodes into UTF-16 or, with bytes for units, straight into UTF-8.
template<typename Unit>
TableConversion decodeWithTables(const CodePageTables &t, const unsigned char *data, std::size_t size, Unit *out)
{
    // Locals, so that stores to the output need not reload the tables.
    const char16_t *single = t.single;
    const char16_t *pairs = t.pairs.data();
    const bool asciiIsAscii = t.asciiIsAscii;
    std::size_t i = 0;
    std::size_t o = 0;
    TableConversion result;
    while (i < size) {
        // Trail bytes can be ASCII letters, so runs of ASCII are only taken from
        // a character boundary, which is where this loop always stands.
        if (asciiIsAscii) {
            while (i + 16 <= size && areAsciiBytes16(data + i)) {
                for (int k = 0; k < 16; ++k)
                    out[o + k] = data[i + k];
                i += 16;
                o += 16;
            }
            if (i == size)
                break;
        }
        const unsigned char byte = data[i];
        const char16_t unit = single[byte];
        if (unit < CodePageTables::lead) {
            o += put(out + o, unit);
            ++i;
        } else if (unit == CodePageTables::lead) {
            if (i + 1 == size)
                break; // the trail byte comes with the next chunk
            const char16_t paired = pairs[std::size_t(byte << 8 | data[i + 1])];
            if (paired == CodePageTables::invalid) {
                result.valid = false;
                break;
            }
            o += put(out + o, paired);
            i += 2;
        } else {
            result.valid = false;
            break;
        }
    }
    result.read = i;
    result.written = o;
    return result;
}

// Bit k set where byte k of the 64 at `block` is a lead byte.
std::uint64_t leadBits(const CodePageTables &t, const unsigned char *block)
{
    std::uint64_t bits = 0;
#ifdef SHEAFWRIGHT_SSE2
    if (t.leadsInOneRange) {
        // Compared as signed bytes, after moving 0x80 to the bottom of the range.
        const __m128i flip = _mm_set1_epi8(char(0x80));
        const __m128i belowFirst = _mm_set1_epi8(char((t.firstLead ^ 0x80) - 1));
        const __m128i last = _mm_set1_epi8(char(t.lastLead ^ 0x80));
        for (int k = 0; k < 4; ++k) {
            const __m128i bytes =
                _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(block + 16 * k)), flip);
            const __m128i inRange = _mm_andnot_si128(_mm_cmpgt_epi8(bytes, last), _mm_cmpgt_epi8(bytes, belowFirst));
            bits |= std::uint64_t(std::uint16_t(_mm_movemask_epi8(inRange))) << (16 * k);
        }
        return bits;
    }
#endif
    for (int k = 0; k < 64; ++k)
        bits |= std::uint64_t(t.isLead[block[k]]) << k;
    return bits;
}

} // namespace

TableConversion decodeToUtf16(const CodePageTables &t, const char *data, std::size_t size, char16_t *out)
{
    return decodeWithTables(t, reinterpret_cast<const unsigned char *>(data), size, out);
}

// Marking the lead bytes of 64 bytes at a time first, the walk through them
// needs no lookup to find where the next character starts, only those marks;
// each character is then one lookup by its first two bytes. On mixed Hangul and
// ASCII this ran a third faster than a plain loop a character at a time.
TableConversion decodeToUtf8(const CodePageTables &t, const char *data, std::size_t size, char *out)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(data);
    const std::uint32_t *steps = t.utf8Steps.data();
    const bool asciiIsAscii = t.asciiIsAscii;
    std::size_t i = 0;
    std::size_t o = 0;
    while (i + 65 <= size) {
        const unsigned char *block = bytes + i;
        if (asciiIsAscii && areAsciiBytes16(block) && areAsciiBytes16(block + 16) && areAsciiBytes16(block + 32)
            && areAsciiBytes16(block + 48)) {
            std::memcpy(out + o, block, 64);
            i += 64;
            o += 64;
            continue;
        }
        const std::uint64_t leads = leadBits(t, block);
        std::size_t p = 0;
        while (p < 64) {
            const std::uint32_t step = steps[std::size_t(block[p]) << 8 | block[p + 1]];
            if (step == CodePageTables::undecodable)
                return {i + p, o, false};
            const std::uint32_t inOrder = qToLittleEndian(step);
            std::memcpy(out + o, &inOrder, 4); // the fourth byte is overwritten by what follows
            o += step >> 24 & 0xF;
            p += 1 + (leads >> p & 1);
        }
        i += p; // a pair may have ended one byte past the block
    }
    const TableConversion tail =
        decodeWithTables(t, bytes + i, size - i, reinterpret_cast<unsigned char *>(out) + o);
    return {i + tail.read, o + tail.written, tail.valid};
}

std::size_t splitPoint(const CodePageTables &t, const char *data, std::size_t size)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(data);
    // Text has spaces and line ends often enough; a part of 4 KiB without one is
    // rather decoded whole. After the last byte there is nothing left to split off.
    const std::size_t end = std::min(size / 2 + 4096, size == 0 ? 0 : size - 1);
    for (std::size_t i = size / 2; i < end; ++i) {
        if (t.standsAlone[bytes[i]])
            return i + 1;
    }
    return 0;
}

TableConversion encodeUtf16(const CodePageTables &t, QStringView text, char *out)
{
    const char16_t *units = text.utf16();
    const std::size_t size = std::size_t(text.size());
    std::size_t i = 0;
    std::size_t o = 0;
    while (i < size) {
        if (t.asciiIsAscii) {
            while (i + 8 <= size && areAsciiUnits4(units + i) && areAsciiUnits4(units + i + 4)) {
                for (int k = 0; k < 8; ++k)
                    out[o + k] = char(units[i + k]);
                i += 8;
                o += 8;
            }
            if (i == size)
                break;
        }
        const std::uint16_t bytes = t.encoded[units[i]];
        if (bytes == 0)
            return {i, o, true};
        if (bytes <= 0x100) {
            out[o++] = char(bytes - 1);
        } else {
            out[o++] = char(bytes >> 8);
            out[o++] = char(bytes & 0xFF);
        }
        ++i;
    }
    return {i, o, true};
}

// A plain loop a character at a time: with a branch on each character's length
// it ran three times as fast on mixed Hangul and ASCII as anything branch-free
// tried here, the processor predicting those branches well.
TableConversion encodeUtf8(const CodePageTables &t, const char *utf8, std::size_t size, char *out)
{
    const std::uint16_t *encoded = t.encoded.data();
    const bool asciiIsAscii = t.asciiIsAscii;
    const auto *data = reinterpret_cast<const unsigned char *>(utf8);
    std::size_t i = 0;
    std::size_t o = 0;
    while (i < size) {
        const unsigned lead = data[i];
        if (lead < 0x80 && asciiIsAscii) {
            out[o++] = char(lead);
            ++i;
            continue;
        }
        // The UTF-8 has been checked, so its first byte gives its length.
        unsigned unit;
        std::size_t length;
        if (lead < 0x80) {
            unit = lead;
            length = 1;
        } else if (lead < 0xE0) {
            unit = (lead & 0x1Fu) << 6 | (data[i + 1] & 0x3Fu);
            length = 2;
        } else if (lead < 0xF0) {
            unit = (lead & 0x0Fu) << 12 | (data[i + 1] & 0x3Fu) << 6 | (data[i + 2] & 0x3Fu);
            length = 3;
        } else {
            break; // beyond the BMP, which table code pages do not reach
        }
        const std::uint16_t bytes = encoded[unit];
        if (bytes == 0)
            break;
        if (bytes > 0x100) {
            out[o] = char(bytes >> 8);
            out[o + 1] = char(bytes & 0xFF);
            o += 2;
        } else {
            out[o++] = char(bytes - 1);
        }
        i += length;
    }
    return {i, o, true};
}

} // namespace TextJoin
