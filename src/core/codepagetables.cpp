// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "codepagetables.h"

#include "asciiruns.h"

#include <QStringView>
#include <QTextCodec>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define SHEAFWRIGHT_SSE2 1
#endif

namespace TextJoin {

// Decoding and encoding tables of a single- or double-byte code page, derived
// from its codec by asking it about every byte, every pair that starts with a
// lead byte, and every character it decodes to.
struct CodePageTables
{
    static constexpr char16_t invalid = 0xFFFF; // no character
    static constexpr char16_t lead = 0xFFFE;    // a byte that starts a pair

    char16_t single[256];
    std::vector<char16_t> pairs = std::vector<char16_t>(65536, invalid); // by lead << 8 | trail
    // By UTF-16 unit: 0 for none, a single byte b as b + 1, a pair as lead << 8 | trail.
    std::vector<std::uint16_t> encoded = std::vector<std::uint16_t>(65536, 0);
    // For decoding straight to UTF-8, by a character's first byte and the byte
    // after it (lead << 8 | next): its UTF-8 in the low three bytes, then how
    // many bytes that is.
    static constexpr std::uint32_t undecodable = 0;
    std::vector<std::uint32_t> utf8Steps = std::vector<std::uint32_t>(65536, undecodable);
    unsigned char isLead[256] = {};
    // Bytes that are a character of their own wherever they stand: never a lead
    // byte, never the second byte of a pair (in CP949, 0x00 to 0x40 among others).
    bool standsAlone[256] = {};
    // Where the lead bytes are one range (as in CP949, 0x81 to 0xFE), its ends.
    bool leadsInOneRange = false;
    unsigned char firstLead = 0;
    unsigned char lastLead = 0;
    bool asciiIsAscii = true;
};

namespace {

inline std::size_t put(char16_t *out, char16_t unit)
{
    *out = unit;
    return 1;
}

inline std::size_t put(unsigned char *out, char16_t unit)
{
    if (unit < 0x80) {
        out[0] = static_cast<unsigned char>(unit);
        return 1;
    }
    if (unit < 0x800) {
        out[0] = static_cast<unsigned char>(0xC0 | unit >> 6);
        out[1] = static_cast<unsigned char>(0x80 | (unit & 0x3F));
        return 2;
    }
    out[0] = static_cast<unsigned char>(0xE0 | unit >> 12);
    out[1] = static_cast<unsigned char>(0x80 | (unit >> 6 & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | (unit & 0x3F));
    return 3;
}

bool isUndefinedPassThrough(char16_t unit)
{
    // Codecs hand bytes a code page leaves undefined through as C1 controls or
    // private-use characters (CP949's 0x80 and 0xFF become U+0080 and U+F8F7).
    return (unit >= 0x80 && unit <= 0x9F) || (unit >= 0xE000 && unit <= 0xF8FF);
}

// Null when the codec is not a single- or double-byte code page.
std::unique_ptr<CodePageTables> buildTables(QTextCodec *codec)
{
    auto tables = std::make_unique<CodePageTables>();
    CodePageTables &t = *tables;

    // What the codec writes for a character it cannot encode, and what that reads
    // back as. A noncharacter of the BMP is in no code page, and is one UTF-16
    // unit: codecs that substitute unit by unit write one substitute for it.
    const QString unencodable(QChar(char16_t(0xFDD0)));
    const QByteArray substitutionBytes = codec->fromUnicode(unencodable);
    const QString substitution = codec->toUnicode(substitutionBytes);

    // A sequence is a candidate when it decodes to exactly one plausible character;
    // it becomes valid once that character is known to encode to bytes that decode back.
    std::vector<char16_t> singleCandidate(256, CodePageTables::invalid);
    std::vector<char16_t> pairCandidate(65536, CodePageTables::invalid);
    bool unsupported = false;
    const auto candidate = [&](const char *bytes, int size) -> char16_t {
        const QString text = codec->toUnicode(bytes, size, nullptr);
        if (text.isEmpty())
            return CodePageTables::lead;
        if (text.size() == 2 && text.at(0).isHighSurrogate() && text.at(1).isLowSurrogate())
            unsupported = true; // characters beyond the BMP
        if (text.size() != 1)
            return CodePageTables::invalid;
        const char16_t unit = text.at(0).unicode();
        if (unit == QChar::ReplacementCharacter || QChar::isSurrogate(unit) || unit >= 0xFFFE)
            return CodePageTables::invalid;
        if (substitution.size() == 1 && unit == substitution.at(0)
            && QByteArray(bytes, size) != substitutionBytes)
            return CodePageTables::invalid;
        return unit;
    };

    std::vector<bool> leadByte(256, false);
    for (int b = 0; b < 256; ++b) {
        const char byte = char(b);
        const char16_t unit = candidate(&byte, 1);
        if (unit != CodePageTables::lead && unit != CodePageTables::invalid) {
            // Undefined bytes are neither characters nor lead bytes.
            if (b < 0x80 || !isUndefinedPassThrough(unit))
                singleCandidate[std::size_t(b)] = unit;
            continue;
        }
        if (b < 0x80) {
            if (unit == CodePageTables::lead)
                return nullptr; // an escape or a lead byte in ASCII: not a code page for tables
            continue;
        }
        // A byte that is no character alone may start a pair. Some codecs say
        // nothing for a lone lead byte, others substitute: try every trail.
        for (int trail = 0; trail < 256; ++trail) {
            const char pair[2] = {byte, char(trail)};
            const char16_t paired = candidate(pair, 2);
            if (paired == CodePageTables::lead)
                return nullptr; // three bytes or more
            if (paired != CodePageTables::invalid) {
                pairCandidate[std::size_t(b << 8 | trail)] = paired;
                leadByte[std::size_t(b)] = true;
            }
        }
    }
    if (unsupported)
        return nullptr;

    const auto decodesTo = [&](const QByteArray &bytes, char16_t unit) {
        if (bytes.size() == 1)
            return singleCandidate[uchar(bytes[0])] == unit;
        return bytes.size() == 2 && pairCandidate[std::size_t(uchar(bytes[0]) << 8 | uchar(bytes[1]))] == unit;
    };
    std::vector<bool> asked(65536, false);
    const auto encodeOnce = [&](char16_t unit) {
        if (asked[unit])
            return;
        asked[unit] = true;
        const QChar character(unit);
        const QByteArray bytes = codec->fromUnicode(&character, 1, nullptr);
        if (!decodesTo(bytes, unit))
            return;
        t.encoded[unit] = bytes.size() == 1 ? std::uint16_t(uchar(bytes[0]) + 1)
                                            : std::uint16_t(uchar(bytes[0]) << 8 | uchar(bytes[1]));
    };
    for (char16_t unit : singleCandidate) {
        if (unit != CodePageTables::invalid)
            encodeOnce(unit);
    }
    for (char16_t unit : pairCandidate) {
        if (unit != CodePageTables::invalid)
            encodeOnce(unit);
    }

    for (int b = 0; b < 256; ++b) {
        const char16_t unit = singleCandidate[std::size_t(b)];
        t.single[b] = unit != CodePageTables::invalid && t.encoded[unit] ? unit : CodePageTables::invalid;
        if (leadByte[std::size_t(b)]) {
            t.single[b] = CodePageTables::lead;
            t.isLead[b] = 1;
        }
    }
    for (std::size_t i = 0; i < pairCandidate.size(); ++i) {
        const char16_t unit = pairCandidate[i];
        if (unit != CodePageTables::invalid && t.encoded[unit])
            t.pairs[i] = unit;
    }
    for (int b = 0; b < 0x80; ++b)
        t.asciiIsAscii = t.asciiIsAscii && t.single[b] == b && t.encoded[std::size_t(b)] == b + 1;

    std::vector<bool> trailByte(256, false);
    for (std::size_t index = 0; index < t.pairs.size(); ++index) {
        if (t.pairs[index] != CodePageTables::invalid)
            trailByte[index & 0xFF] = true;
    }
    for (int b = 0; b < 256; ++b)
        t.standsAlone[b] = t.single[b] < CodePageTables::lead && !trailByte[std::size_t(b)];

    int leadRanges = 0;
    for (int b = 0; b < 256; ++b) {
        if (t.isLead[b] && (b == 0 || !t.isLead[b - 1])) {
            ++leadRanges;
            t.firstLead = static_cast<unsigned char>(b);
        }
        if (t.isLead[b])
            t.lastLead = static_cast<unsigned char>(b);
    }
    t.leadsInOneRange = leadRanges == 1;

    const auto step = [](char16_t unit) {
        unsigned char utf8[3];
        const std::size_t length = put(utf8, unit);
        std::uint32_t bytes = 0;
        for (std::size_t k = length; k-- > 0;)
            bytes = bytes << 8 | utf8[k];
        return bytes | std::uint32_t(length) << 24;
    };
    for (std::size_t index = 0; index < t.utf8Steps.size(); ++index) {
        const char16_t unit = t.single[index >> 8];
        if (unit == CodePageTables::lead && t.pairs[index] != CodePageTables::invalid)
            t.utf8Steps[index] = step(t.pairs[index]);
        else if (unit < CodePageTables::lead)
            t.utf8Steps[index] = step(unit);
    }
    return tables;
}

} // namespace

// Built on first use, once per codec: it costs tens of milliseconds.
const CodePageTables *tablesFor(QTextCodec *codec)
{
    static std::mutex mutex;
    static std::map<QTextCodec *, std::unique_ptr<CodePageTables>> cache;
    std::lock_guard<std::mutex> lock(mutex);
    auto found = cache.find(codec);
    if (found == cache.end())
        found = cache.emplace(codec, buildTables(codec)).first;
    return found->second.get();
}

namespace {

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
