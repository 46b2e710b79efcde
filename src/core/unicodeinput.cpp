// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "unicodeinput.h"

#include <QChar>
#include <QtEndian>

#include <algorithm>
#include <initializer_list>

namespace TextJoin {

bool detectByteOrderMark(const unsigned char *head, qint64 size, ByteOrderMark *mark)
{
    const auto startsWith = [&](std::initializer_list<unsigned char> bytes) {
        return size >= qint64(bytes.size()) && std::equal(bytes.begin(), bytes.end(), head);
    };
    if (startsWith({0xFF, 0xFE, 0x00, 0x00}))
        *mark = {Source::Utf32LE, 4};
    else if (startsWith({0x00, 0x00, 0xFE, 0xFF}))
        *mark = {Source::Utf32BE, 4};
    else if (startsWith({0xEF, 0xBB, 0xBF}))
        *mark = {Source::Utf8, 3};
    else if (startsWith({0xFF, 0xFE}))
        *mark = {Source::Utf16LE, 2};
    else if (startsWith({0xFE, 0xFF}))
        *mark = {Source::Utf16BE, 2};
    else
        return false;
    return true;
}

QString unicodeName(Source source)
{
    switch (source) {
    case Source::Utf8:
        return QStringLiteral("UTF-8");
    case Source::Utf16LE:
        return QStringLiteral("UTF-16LE");
    case Source::Utf16BE:
        return QStringLiteral("UTF-16BE");
    case Source::Utf32LE:
        return QStringLiteral("UTF-32LE");
    case Source::Utf32BE:
        return QStringLiteral("UTF-32BE");
    case Source::Local:
        break;
    }
    return QString();
}

const char16_t *utf16Units(Source source, const char *data, std::size_t count, std::vector<char16_t> &scratch)
{
    const bool native = (source == Source::Utf16LE) == (Q_BYTE_ORDER == Q_LITTLE_ENDIAN);
    if (native && reinterpret_cast<quintptr>(data) % alignof(char16_t) == 0)
        return reinterpret_cast<const char16_t *>(data);
    scratch.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const auto *bytes = reinterpret_cast<const uchar *>(data) + 2 * i;
        scratch[i] = source == Source::Utf16LE ? qFromLittleEndian<quint16>(bytes) : qFromBigEndian<quint16>(bytes);
    }
    return scratch.data();
}

qsizetype completeUtf16Units(const char16_t *units, qsizetype count)
{
    for (qsizetype i = 0; i < count; ++i) {
        const char16_t unit = units[i];
        if ((unit & 0xF800) != 0xD800)
            continue;
        if (!QChar::isHighSurrogate(unit))
            return -1;
        if (i + 1 == count)
            return i;
        if (!QChar::isLowSurrogate(units[++i]))
            return -1;
    }
    return count;
}

qsizetype utf32ToUtf16(Source source, const char *data, std::size_t count, char16_t *out)
{
    qsizetype length = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const auto *bytes = reinterpret_cast<const uchar *>(data) + 4 * i;
        const char32_t codePoint =
            source == Source::Utf32LE ? qFromLittleEndian<quint32>(bytes) : qFromBigEndian<quint32>(bytes);
        if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return -1;
        if (codePoint >= 0x10000) {
            out[length++] = QChar::highSurrogate(codePoint);
            out[length++] = QChar::lowSurrogate(codePoint);
        } else {
            out[length++] = char16_t(codePoint);
        }
    }
    return length;
}

} // namespace TextJoin
