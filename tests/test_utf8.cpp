// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "utf8.h"

#include <QStringDecoder>
#include <QTest>

#include <random>
#include <vector>

using TextJoin::Utf16Conversion;
using TextJoin::Utf8Scan;

namespace {

// Every check runs against both implementations: the one this processor gets and
// the portable one that processors without AVX2 get.
struct Implementations
{
    const char *name;
    Utf8Scan (*scan)(const unsigned char *, std::size_t);
    Utf16Conversion (*encode)(const char16_t *, std::size_t, char *);
};

const Implementations implementations[] = {
    {"fastest", TextJoin::scanUtf8, TextJoin::utf16ToUtf8},
    {"portable", TextJoin::scanUtf8Portable, TextJoin::utf16ToUtf8Portable},
};

} // namespace

class TestUtf8 : public QObject
{
    Q_OBJECT

private slots:
    void scan_data();
    void scan();
    void agreesWithQtOnRandomNearlyValidText();
    void utf16EncodesAsQtDoesAndStopsAtLoneSurrogates();
};

void TestUtf8::scan_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("complete");
    QTest::addColumn<bool>("valid");

    const QByteArray ascii(40, 'a');
    QTest::newRow("empty") << QByteArray() << 0 << true;
    QTest::newRow("ASCII") << ascii << 40 << true;
    QTest::newRow("every length") << QByteArray("a\xC2\x80\xE0\xA0\x80\xF0\x90\x80\x80\xF4\x8F\xBF\xBF") << 14 << true;
    QTest::newRow("Hangul past a block") << ascii + QByteArray("\xEA\xB0\x80\xED\x9E\xA3") << 46 << true;
    QTest::newRow("cut short: 2 of 3") << ascii + QByteArray("\xEA\xB0") << 40 << true;
    QTest::newRow("cut short: 3 of 4") << ascii + QByteArray("\xF0\x9F\x98") << 40 << true;
    QTest::newRow("cut short: lead only") << QByteArray("ab\xC3") << 2 << true;
    QTest::newRow("lone continuation") << ascii + QByteArray("\x80") + ascii << 40 << false;
    QTest::newRow("C0 overlong") << QByteArray("ab\xC0\xAF") << 2 << false;
    QTest::newRow("C1 overlong") << QByteArray("\xC1\xBF") << 0 << false;
    QTest::newRow("E0 overlong") << QByteArray("x\xE0\x9F\xBF") << 1 << false;
    QTest::newRow("F0 overlong") << QByteArray("\xF0\x8F\xBF\xBF") << 0 << false;
    QTest::newRow("surrogate") << ascii + QByteArray("\xED\xA0\x80") << 40 << false;
    QTest::newRow("above U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << 0 << false;
    QTest::newRow("F5 lead") << QByteArray("\xF5\x80\x80\x80") << 0 << false;
    QTest::newRow("FF") << QByteArray("abc\xFF") << 3 << false;
    QTest::newRow("missing continuation") << QByteArray("\xEA\x41\x80") << 0 << false;
    QTest::newRow("continuation past the end of a sequence") << QByteArray("\xC3\xA9\xA9") << 2 << false;
    QTest::newRow("bad byte inside the cut-short end") << QByteArray("ab\xEA\x41") << 2 << false;
    QTest::newRow("cut-short end that cannot become valid") << ascii + QByteArray("\xE0\x80") << 40 << false;
}

void TestUtf8::scan()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, complete);
    QFETCH(bool, valid);
    for (const Implementations &implementation : implementations) {
        const Utf8Scan result =
            implementation.scan(reinterpret_cast<const unsigned char *>(bytes.constData()), bytes.size());
        QVERIFY2(int(result.complete) == complete && result.valid == valid, implementation.name);
    }
}

// Text built from valid characters and the bytes at the edges of validity, at
// every length around the 32-byte blocks of the fast check.
void TestUtf8::agreesWithQtOnRandomNearlyValidText()
{
    const QByteArray edges("\x00\x7F\x80\x8F\x90\x9F\xA0\xBF\xC0\xC1\xC2\xDF\xE0\xE1\xEC\xED\xEE\xEF\xF0\xF3\xF4\xF5\xFF", 23);
    const QList<QByteArray> characters = {"a", "\xC3\xA9", "\xEA\xB0\x80", "\xED\x9F\xBF", "\xEE\x80\x80",
                                          "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF"};
    std::mt19937 random(7);
    for (int round = 0; round < 100000; ++round) {
        QByteArray bytes;
        const int pieces = int(random() % 40);
        for (int i = 0; i < pieces; ++i) {
            if (random() % 8 == 0)
                bytes += edges.at(int(random() % edges.size()));
            else
                bytes += characters.at(int(random() % characters.size()));
        }
        QStringDecoder qtDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = qtDecoder.decode(bytes); // decoding happens on conversion to QString
        const bool qtValid = !qtDecoder.hasError();
        for (const Implementations &implementation : implementations) {
            const Utf8Scan result =
                implementation.scan(reinterpret_cast<const unsigned char *>(bytes.constData()), bytes.size());
            const bool ours = result.valid && result.complete == std::size_t(bytes.size());
            if (ours != qtValid)
                QFAIL(qPrintable(QStringLiteral("%1 disagrees on %2")
                                     .arg(implementation.name, QString::fromLatin1(bytes.toHex(' ')))));
            // Whatever is reported complete must decode cleanly on its own.
            QStringDecoder prefixDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            const QString prefix = prefixDecoder.decode( // decodes on conversion to QString
                QByteArrayView(bytes.constData(), qsizetype(result.complete)));
            QVERIFY2(!prefixDecoder.hasError(), implementation.name);
        }
    }
}

// Runs of ASCII, two- and three-byte characters and surrogate pairs, now and then
// a lone surrogate, at lengths around the eight-unit blocks of the fast path.
void TestUtf8::utf16EncodesAsQtDoesAndStopsAtLoneSurrogates()
{
    const QList<QString> pieces = {"a",          "The train ", QString::fromUtf8("é"), QString::fromUtf8("가나다"),
                                   QString::fromUtf8("서울역 "), QString::fromUtf8("😀"), QString(QChar(0x7FF)),
                                   QString(QChar(0x800)),        QString(QChar(0xFFFF))};
    std::mt19937 random(11);
    std::vector<char> out;
    for (int round = 0; round < 50000; ++round) {
        QString text;
        const int count = int(random() % 24);
        for (int i = 0; i < count; ++i) {
            if (random() % 40 == 0)
                text += QChar(char16_t(random() % 2 ? 0xD83D : 0xDE00)); // half of a pair, alone
            else
                text += pieces.at(int(random() % pieces.size()));
        }

        // Where the encoder must stop: the first surrogate without its partner,
        // or a high surrogate at the very end, which waits for more text.
        qsizetype stop = text.size();
        bool valid = true;
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                ++i;
            } else if (text[i].isSurrogate()) {
                stop = i;
                valid = !(text[i].isLowSurrogate() || i + 1 < text.size());
                break;
            }
        }

        const QByteArray expected = text.left(stop).toUtf8();
        for (const Implementations &implementation : implementations) {
            out.assign(std::size_t(text.size()) * 3 + 16, '\0');
            const Utf16Conversion result = implementation.encode(
                reinterpret_cast<const char16_t *>(text.utf16()), std::size_t(text.size()), out.data());
            if (result.valid != valid || qsizetype(result.read) != stop
                || QByteArray(out.data(), qsizetype(result.written)) != expected)
                QFAIL(qPrintable(QStringLiteral("%1 is wrong for units %2")
                                     .arg(implementation.name,
                                          QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(text.utf16()),
                                                                         text.size() * 2)
                                                                  .toHex(' ')))));
        }
    }
}

QTEST_GUILESS_MAIN(TestUtf8)
#include "test_utf8.moc"
