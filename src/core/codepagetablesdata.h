// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class QTextCodec;

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

// Null when the codec is not a single- or double-byte code page.
std::unique_ptr<CodePageTables> buildTables(QTextCodec *codec);

namespace CodePageUnits {

// Puts a character of the BMP, as one UTF-16 unit or as its UTF-8; returns how many units or bytes.
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

} // namespace CodePageUnits

} // namespace TextJoin
