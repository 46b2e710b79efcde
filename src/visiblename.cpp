// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "visiblename.h"

#include <QChar>
#include <QFile>
#include <QList>
#include <QStringList>

namespace {

// A message shows a character that would break its line, or show as nothing, as an escape.
QString visibleCharacter(char32_t character)
{
    switch (character) {
    case '\n':
        return QStringLiteral("\\n");
    case '\t':
        return QStringLiteral("\\t");
    case '\r':
        return QStringLiteral("\\r");
    }
    if (character < 0x20 || character == 0x7F)
        return QString::asprintf("\\x%02X", uint(character));
    switch (QChar::category(character)) {
    case QChar::Other_Control:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return QString::asprintf("\\u{%X}", uint(character));
    default:
        return QString::fromUcs4(&character, 1);
    }
}

void appendVisibleCharacters(QStringList &pieces, const QString &text)
{
    for (const char32_t character : text.toUcs4())
        pieces << visibleCharacter(character);
}

// A path as far as it can be read: each of its parts that the system's encoding
// reads, as its text; each that it does not, with its bytes beyond ASCII escaped
// ("\xC1"), which are no characters of this system.
QStringList visiblePieces(const QByteArray &path)
{
    QStringList pieces;
    const QList<QByteArray> parts = path.split('/');
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0)
            pieces << QStringLiteral("/");
        if (isReadableName(parts[i])) {
            appendVisibleCharacters(pieces, QFile::decodeName(parts[i]));
            continue;
        }
        for (const char byte : parts[i]) {
            if (uchar(byte) < 0x80)
                pieces << visibleCharacter(char32_t(byte));
            else
                pieces << QString::asprintf("\\x%02X", uint(uchar(byte)));
        }
    }
    return pieces;
}

// Room for a name in a message box's text, in Latin letters.
constexpr qsizetype roomForAName = 120;

// A Hangul syllable, or a Han or kana character, takes the room of about two
// Latin letters, and a line breaks nowhere in a run of them: a name of such
// characters without spaces that got the room of 120 letters would run off the box.
qsizetype roomOf(const QString &piece)
{
    qsizetype room = 0;
    for (const char32_t character : piece.toUcs4()) {
        switch (QChar::script(character)) {
        case QChar::Script_Hangul:
        case QChar::Script_Han:
        case QChar::Script_Hiragana:
        case QChar::Script_Katakana:
            room += 2;
            break;
        default:
            room += 1;
        }
    }
    return room;
}

// The pieces of a name, where they fit; otherwise the start of the name, "…" and
// its end, which tells the file and so gets most of the room.
QString joinedWithinRoom(const QStringList &pieces)
{
    qsizetype room = 0;
    for (const QString &piece : pieces)
        room += roomOf(piece);
    if (room <= roomForAName)
        return pieces.join(QString());
    QString start;
    qsizetype startRoom = 0;
    qsizetype first = 0;
    while (startRoom + roomOf(pieces[first]) <= roomForAName / 3) {
        startRoom += roomOf(pieces[first]);
        start += pieces[first++];
    }
    QString end;
    qsizetype endRoom = 0;
    for (qsizetype last = pieces.size() - 1;
         last >= first && startRoom + endRoom + roomOf(pieces[last]) < roomForAName; --last) {
        endRoom += roomOf(pieces[last]);
        end.prepend(pieces[last]);
    }
    return start + QChar(0x2026) + end;
}

} // namespace

bool isReadableName(const QByteArray &name)
{
    return QFile::encodeName(QFile::decodeName(name)) == name;
}

QString visibleName(const QString &path)
{
    QStringList pieces;
    appendVisibleCharacters(pieces, path);
    return joinedWithinRoom(pieces);
}

QString visibleName(const QByteArray &path, bool shortened)
{
    const QStringList pieces = visiblePieces(path);
    return shortened ? joinedWithinRoom(pieces) : pieces.join(QString());
}
