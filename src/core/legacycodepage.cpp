// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "legacycodepage.h"

#include "codepagetables.h"

#include <QTextCodec>

#include <cstring>

#ifdef Q_OS_WIN
#include "windowscodepage.h"

#include <qt_windows.h>
#endif

namespace TextJoin {

namespace {

constexpr int utf8Mib = 106;

// Where the system's code page comes from. On Windows Qt's system codec is
// named "System" and has no useful MIB, so the system itself is asked; any other
// codec installed as the locale's (as the tests do, to stand for another
// system) speaks for itself, as everywhere.
#ifdef Q_OS_WIN
bool isWindowsAnsiCodec(QTextCodec *codec)
{
    return codec->name() == "System";
}
#endif

bool systemIsUtf8(QTextCodec *codec)
{
#ifdef Q_OS_WIN
    if (isWindowsAnsiCodec(codec))
        return GetACP() == CP_UTF8;
#endif
    return codec->mibEnum() == utf8Mib;
}

QString systemCodePageName(QTextCodec *codec)
{
#ifdef Q_OS_WIN
    if (isWindowsAnsiCodec(codec))
        return QStringLiteral("CP%1").arg(GetACP());
#endif
    return QString::fromLatin1(codec->name());
}

} // namespace

QTextCodec *LegacyCodePage::cp949()
{
#ifdef Q_OS_WIN
    return windowsCodePage(949);
#else
    return QTextCodec::codecForName("CP949");
#endif
}

LegacyCodePage LegacyCodePage::system()
{
    QTextCodec *systemCodec = QTextCodec::codecForLocale();
    return choose(systemCodec, systemCodec && systemIsUtf8(systemCodec), cp949());
}

LegacyCodePage LegacyCodePage::choose(QTextCodec *systemCodec, bool systemIsUtf8, QTextCodec *cp949)
{
    LegacyCodePage page;
    if (systemIsUtf8 || !systemCodec) {
        page.m_codec = cp949;
        page.m_name = QStringLiteral("CP949");
    } else {
        page.m_codec = systemCodec;
        page.m_name = systemCodec == cp949 ? QStringLiteral("CP949") : systemCodePageName(systemCodec);
    }
    return page;
}

// A codec that is neither single- nor double-byte decodes on its own; every chunk
// must then encode back to exactly the bytes it came from, so that nothing the
// codec substituted or skipped can pass.
struct LegacyDecoder::Fallback
{
    QTextCodec *codec;
    QTextCodec::ConverterState state;
    QByteArray unmatched; // bytes read whose text has not come out yet
    QString text;
};

LegacyDecoder::LegacyDecoder(QTextCodec *codec)
    : m_tables(tablesFor(codec))
{
    if (!m_tables) {
        m_fallback = std::make_unique<Fallback>();
        m_fallback->codec = codec;
    }
}

LegacyDecoder::~LegacyDecoder() = default;

LegacyDecoder::Result LegacyDecoder::decode(const char *data, std::size_t size)
{
    if (m_tables) {
        if (m_capacity < size) {
            m_units.reset(new char16_t[size]);
            m_capacity = size;
        }
        const TableConversion converted = decodeToUtf16(*m_tables, data, size, m_units.get());
        m_length = converted.written;
        return {converted.read, converted.valid};
    }

    Fallback &f = *m_fallback;
    f.text = f.codec->toUnicode(data, int(size), &f.state);
    // A U+FFFD the codec made up does not encode back to the bytes it replaced;
    // one the text really holds does.
    if (f.state.invalidChars > 0)
        return {0, false};
    f.unmatched.append(data, qsizetype(size));
    const QByteArray back = f.codec->fromUnicode(f.text);
    // What the codec holds back is part of one character, never more.
    if (!f.unmatched.startsWith(back) || f.unmatched.size() - back.size() > 8)
        return {0, false};
    f.unmatched.remove(0, back.size());
    return {size, true};
}

LegacyDecoder::Result LegacyDecoder::decodeToUtf8(const char *data, std::size_t size, char *out,
                                                  std::size_t *written) const
{
    const TableConversion converted = TextJoin::decodeToUtf8(*m_tables, data, size, out);
    *written = converted.written;
    return {converted.read, converted.valid};
}

std::size_t LegacyDecoder::splitPoint(const char *data, std::size_t size) const
{
    return TextJoin::splitPoint(*m_tables, data, size);
}

QStringView LegacyDecoder::text() const
{
    if (m_tables)
        return QStringView(m_units.get(), qsizetype(m_length));
    return m_fallback->text;
}

bool LegacyDecoder::endsCleanly()
{
    if (m_tables)
        return true; // a lead byte at the end is left to the caller, as bytes not read
    // A codec keeps the first bytes of a cut-short character to itself; a line
    // feed, which never continues a character, shows whether any were left over.
    Fallback &f = *m_fallback;
    const QString tail = f.codec->toUnicode("\n", 1, &f.state);
    return f.state.remainingChars == 0 && f.state.invalidChars == 0 && tail == QLatin1String("\n")
        && f.unmatched.isEmpty();
}

LegacyEncoder::LegacyEncoder(QTextCodec *codec)
    : m_codec(codec)
    , m_tables(tablesFor(codec))
{
}

std::size_t LegacyEncoder::maxBytes(std::size_t units) const
{
    // A table code page takes at most two bytes a unit; other codecs, such as
    // GB18030, four a character plus whatever shifting they do.
    return m_tables ? 2 * units : 8 * units + 16;
}

LegacyEncoder::Result LegacyEncoder::encode(QStringView text, char *out) const
{
    if (!m_tables)
        return encodeThroughCodec(text, out);
    const TableConversion converted = encodeUtf16(*m_tables, text, out);
    return {converted.read, converted.written};
}

LegacyEncoder::Result LegacyEncoder::encodeUtf8(const char *utf8, std::size_t size, char *out) const
{
    const TableConversion converted = TextJoin::encodeUtf8(*m_tables, utf8, size, out);
    return {converted.read, converted.written};
}

// Encodes what the codec encodes and decodes back unchanged; the first character
// that fails is where encoding stops.
LegacyEncoder::Result LegacyEncoder::encodeThroughCodec(QStringView text, char *out) const
{
    const QByteArray bytes = m_codec->fromUnicode(text.data(), int(text.size()), nullptr);
    if (m_codec->toUnicode(bytes) == text && std::size_t(bytes.size()) <= maxBytes(std::size_t(text.size()))) {
        std::memcpy(out, bytes.constData(), std::size_t(bytes.size()));
        return {std::size_t(text.size()), std::size_t(bytes.size())};
    }
    Result result;
    while (result.read < std::size_t(text.size())) {
        const qsizetype length = text[qsizetype(result.read)].isHighSurrogate()
                && qsizetype(result.read) + 1 < text.size() ? 2 : 1;
        const QStringView character = text.mid(qsizetype(result.read), length);
        const QByteArray encoded = m_codec->fromUnicode(character.data(), int(length), nullptr);
        if (m_codec->toUnicode(encoded) != character
            || result.written + std::size_t(encoded.size()) > maxBytes(std::size_t(text.size())))
            break;
        std::memcpy(out + result.written, encoded.constData(), std::size_t(encoded.size()));
        result.written += std::size_t(encoded.size());
        result.read += std::size_t(length);
    }
    return result;
}

} // namespace TextJoin
