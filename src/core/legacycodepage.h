// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#pragma once

#include <QString>
#include <QStringView>

#include <cstddef>
#include <memory>

class QTextCodec;

namespace TextJoin {

struct CodePageTables;

// The legacy code page that "ANSI" means: the system's own, or CP949 where the
// system's codec is UTF-8 (every Linux system, and Windows set to code page 65001),
// since the legacy text this program's users have is Korean.
class LegacyCodePage
{
public:
    static LegacyCodePage system();
    // The choice itself, given what the system offers; `cp949` is null where the
    // toolkit has no such codec.
    static LegacyCodePage choose(QTextCodec *systemCodec, bool systemIsUtf8, QTextCodec *cp949);
    // CP949 as this system converts it: on Windows, Windows' own code page 949.
    static QTextCodec *cp949();

    // False where CP949 is needed but missing: legacy conversion is then refused.
    bool isAvailable() const { return m_codec != nullptr; }
    QTextCodec *codec() const { return m_codec; }
    // As users know it: "CP949", "CP1252".
    QString name() const { return m_name; }

private:
    QTextCodec *m_codec = nullptr;
    QString m_name;
};

// Strict conversion from a legacy code page, one chunk at a time: bytes the code
// page does not define are refused, never turned into U+FFFD, '?' or a look-alike.
// Single- and double-byte code pages go through tables derived from the codec;
// any other codec is decoded by the codec and checked by converting back.
class LegacyDecoder
{
public:
    explicit LegacyDecoder(QTextCodec *codec);
    ~LegacyDecoder();

    struct Result
    {
        // Bytes used from the start of the data. When valid, the bytes after
        // them (a lead byte at most) begin a character that the data cut short.
        std::size_t read = 0;
        bool valid = true;
    };

    // Decodes the complete characters at the start of the data; text() holds them.
    Result decode(const char *data, std::size_t size);
    QStringView text() const;

    // Whether decodeToUtf8() can be used: the code page has tables.
    bool convertsDirectly() const { return m_tables != nullptr; }
    // The same as decode(), written straight out as UTF-8 into `out`, which has
    // room for three bytes a byte of data.
    Result decodeToUtf8(const char *data, std::size_t size, char *out, std::size_t *written) const;
    // A place about half-way through the data where a character certainly
    // starts, so that the two parts can be decoded apart; 0 where none was found.
    std::size_t splitPoint(const char *data, std::size_t size) const;
    // At the end of an input: true unless the codec still holds part of a character.
    bool endsCleanly();

private:
    struct Fallback;

    const CodePageTables *m_tables;
    std::unique_ptr<Fallback> m_fallback;
    std::unique_ptr<char16_t[]> m_units;
    std::size_t m_capacity = 0;
    std::size_t m_length = 0;
};

// Strict conversion to a legacy code page: a character is written only when its
// bytes decode back to it.
class LegacyEncoder
{
public:
    explicit LegacyEncoder(QTextCodec *codec);

    // Room `out` needs for `units` UTF-16 code units.
    std::size_t maxBytes(std::size_t units) const;

    struct Result
    {
        // UTF-16 code units encoded; below the text's size when the character
        // that starts there cannot be represented.
        std::size_t read = 0;
        std::size_t written = 0;
    };

    Result encode(QStringView text, char *out) const;

    // Whether encodeUtf8() can be used: the code page has tables.
    bool convertsDirectly() const { return m_tables != nullptr; }
    // The same for valid, complete UTF-8, read counted in bytes; `out` needs
    // maxBytes() of the UTF-8's size.
    Result encodeUtf8(const char *utf8, std::size_t size, char *out) const;

private:
    Result encodeThroughCodec(QStringView text, char *out) const;

    QTextCodec *m_codec;
    const CodePageTables *m_tables;
};

} // namespace TextJoin
