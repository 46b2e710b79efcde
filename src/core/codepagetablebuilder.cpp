// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "codepagetables.h"
#include "codepagetablesdata.h"

#include <QTextCodec>

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>

namespace TextJoin {

namespace {

bool isUndefinedPassThrough(char16_t unit)
{
    // Codecs hand bytes a code page leaves undefined through as C1 controls or
    // private-use characters (CP949's 0x80 and 0xFF become U+0080 and U+F8F7).
    return (unit >= 0x80 && unit <= 0x9F) || (unit >= 0xE000 && unit <= 0xF8FF);
}

// A sequence is a candidate when it decodes to exactly one plausible character;
// it becomes valid once that character is known to encode to bytes that decode back.
struct Candidates
{
    std::vector<char16_t> single = std::vector<char16_t>(256, CodePageTables::invalid);
    std::vector<char16_t> pairs = std::vector<char16_t>(65536, CodePageTables::invalid); // by lead << 8 | trail
    std::vector<bool> leadByte = std::vector<bool>(256, false);
};

// Asks the codec what a sequence of bytes decodes to.
class CodecProbe
{
public:
    explicit CodecProbe(QTextCodec *codec)
        : m_codec(codec)
        // What the codec writes for a character it cannot encode, and what that reads
        // back as. A noncharacter of the BMP is in no code page, and is one UTF-16
        // unit: codecs that substitute unit by unit write one substitute for it.
        , m_substitutionBytes(codec->fromUnicode(QString(QChar(char16_t(0xFDD0)))))
        , m_substitution(codec->toUnicode(m_substitutionBytes))
    {
    }

    // The one plausible character, `lead` where the codec waits for more bytes, or `invalid`.
    char16_t candidate(const char *bytes, int size)
    {
        const QString text = m_codec->toUnicode(bytes, size, nullptr);
        if (text.isEmpty())
            return CodePageTables::lead;
        if (text.size() == 2 && text.at(0).isHighSurrogate() && text.at(1).isLowSurrogate())
            m_beyondTheBmp = true;
        if (text.size() != 1)
            return CodePageTables::invalid;
        const char16_t unit = text.at(0).unicode();
        if (unit == QChar::ReplacementCharacter || QChar::isSurrogate(unit) || unit >= 0xFFFE)
            return CodePageTables::invalid;
        if (m_substitution.size() == 1 && unit == m_substitution.at(0)
            && QByteArray(bytes, size) != m_substitutionBytes)
            return CodePageTables::invalid;
        return unit;
    }

    bool sawCharactersBeyondTheBmp() const { return m_beyondTheBmp; }

private:
    QTextCodec *m_codec;
    const QByteArray m_substitutionBytes;
    const QString m_substitution;
    bool m_beyondTheBmp = false;
};

// Every byte, and every pair that starts with a byte that is no character alone;
// nothing for a codec with escapes, sequences of three bytes or more, or characters
// beyond the BMP.
std::optional<Candidates> askCodec(QTextCodec *codec)
{
    CodecProbe probe(codec);
    Candidates found;
    for (int b = 0; b < 256; ++b) {
        const char byte = char(b);
        const char16_t unit = probe.candidate(&byte, 1);
        if (unit != CodePageTables::lead && unit != CodePageTables::invalid) {
            // Undefined bytes are neither characters nor lead bytes.
            if (b < 0x80 || !isUndefinedPassThrough(unit))
                found.single[std::size_t(b)] = unit;
            continue;
        }
        if (b < 0x80) {
            if (unit == CodePageTables::lead)
                return std::nullopt; // an escape or a lead byte in ASCII
            continue;
        }
        // Some codecs say nothing for a lone lead byte, others substitute: try every trail.
        for (int trail = 0; trail < 256; ++trail) {
            const char pair[2] = {byte, char(trail)};
            const char16_t paired = probe.candidate(pair, 2);
            if (paired == CodePageTables::lead)
                return std::nullopt;
            if (paired != CodePageTables::invalid) {
                found.pairs[std::size_t(b << 8 | trail)] = paired;
                found.leadByte[std::size_t(b)] = true;
            }
        }
    }
    if (probe.sawCharactersBeyondTheBmp())
        return std::nullopt;
    return found;
}

// Keeps the candidates whose character the codec encodes back to bytes that decode to it.
void keepRoundTrips(QTextCodec *codec, const Candidates &found, CodePageTables &t)
{
    const auto decodesTo = [&](const QByteArray &bytes, char16_t unit) {
        if (bytes.size() == 1)
            return found.single[uchar(bytes[0])] == unit;
        return bytes.size() == 2 && found.pairs[std::size_t(uchar(bytes[0]) << 8 | uchar(bytes[1]))] == unit;
    };
    std::vector<bool> asked(65536, false);
    const auto encodeOnce = [&](char16_t unit) {
        if (unit == CodePageTables::invalid || asked[unit])
            return;
        asked[unit] = true;
        const QChar character(unit);
        const QByteArray bytes = codec->fromUnicode(&character, 1, nullptr);
        if (decodesTo(bytes, unit))
            t.encoded[unit] = bytes.size() == 1 ? std::uint16_t(uchar(bytes[0]) + 1)
                                                : std::uint16_t(uchar(bytes[0]) << 8 | uchar(bytes[1]));
    };
    std::for_each(found.single.begin(), found.single.end(), encodeOnce);
    std::for_each(found.pairs.begin(), found.pairs.end(), encodeOnce);

    for (int b = 0; b < 256; ++b) {
        const char16_t unit = found.single[std::size_t(b)];
        t.single[b] = unit != CodePageTables::invalid && t.encoded[unit] ? unit : CodePageTables::invalid;
        if (found.leadByte[std::size_t(b)]) {
            t.single[b] = CodePageTables::lead;
            t.isLead[b] = 1;
        }
    }
    for (std::size_t i = 0; i < found.pairs.size(); ++i) {
        const char16_t unit = found.pairs[i];
        if (unit != CodePageTables::invalid && t.encoded[unit])
            t.pairs[i] = unit;
    }
}

// What the fast paths rely on: plain ASCII, bytes that stand alone, one range of lead bytes.
void findShortcuts(CodePageTables &t)
{
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
}

void buildUtf8Steps(CodePageTables &t)
{
    const auto step = [](char16_t unit) {
        unsigned char utf8[3];
        const std::size_t length = CodePageUnits::put(utf8, unit);
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
}

} // namespace

std::unique_ptr<CodePageTables> buildTables(QTextCodec *codec)
{
    const std::optional<Candidates> found = askCodec(codec);
    if (!found)
        return nullptr;
    auto tables = std::make_unique<CodePageTables>();
    keepRoundTrips(codec, *found, *tables);
    findShortcuts(*tables);
    buildUtf8Steps(*tables);
    return tables;
}

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

} // namespace TextJoin
