// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "legacycodepage.h"

#include <QTest>
#include <QTextCodec>

#include <random>
#include <vector>

using TextJoin::LegacyCodePage;
using TextJoin::LegacyDecoder;
using TextJoin::LegacyEncoder;

namespace {

QTextCodec *cp949()
{
    return LegacyCodePage::cp949();
}

struct Decoded
{
    bool valid = false;
    QString text;
};

// Feeds the bytes in two chunks split at `split`, carrying what the first left
// unread into the second, as the joiner does; decoding to UTF-16 and straight to
// UTF-8 must agree.
Decoded decodeInTwo(QTextCodec *codec, const QByteArray &bytes, qsizetype split)
{
    LegacyDecoder decoder(codec);
    Decoded result;
    QByteArray utf8;
    qsizetype start = 0;
    bool direct = true;
    for (const qsizetype end : {split, bytes.size()}) {
        const QByteArray chunk = bytes.mid(start, end - start);
        const LegacyDecoder::Result decoded = decoder.decode(chunk.constData(), std::size_t(chunk.size()));
        result.text += decoder.text().toString();
        if (decoder.convertsDirectly()) {
            std::vector<char> out(3 * std::size_t(chunk.size()) + 1);
            std::size_t written = 0;
            const LegacyDecoder::Result straight =
                decoder.decodeToUtf8(chunk.constData(), std::size_t(chunk.size()), out.data(), &written);
            direct = direct && straight.read == decoded.read && straight.valid == decoded.valid;
            utf8 += QByteArray(out.data(), qsizetype(written));
        }
        if (!decoded.valid)
            return result;
        start += qsizetype(decoded.read);
    }
    result.valid = start == bytes.size() && decoder.endsCleanly();
    if (decoder.convertsDirectly() && (!direct || utf8 != result.text.toUtf8()))
        result.text = "decoding straight to UTF-8 differs";
    return result;
}

// The characters encoded, and the index of the first that could not be; from
// UTF-16 and straight from UTF-8 alike.
QPair<QByteArray, qsizetype> encodeWith(QTextCodec *codec, const QString &text)
{
    const LegacyEncoder encoder(codec);
    std::vector<char> out(encoder.maxBytes(std::size_t(text.size())) + 1);
    const LegacyEncoder::Result result = encoder.encode(text, out.data());
    const QByteArray bytes(out.data(), qsizetype(result.written));
    if (encoder.convertsDirectly()) {
        const QByteArray utf8 = text.toUtf8();
        std::vector<char> straightOut(encoder.maxBytes(std::size_t(utf8.size())) + 1);
        const LegacyEncoder::Result straight =
            encoder.encodeUtf8(utf8.constData(), std::size_t(utf8.size()), straightOut.data());
        if (QByteArray(straightOut.data(), qsizetype(straight.written)) != bytes
            || qsizetype(straight.read) != text.left(qsizetype(result.read)).toUtf8().size())
            return {"encoding straight from UTF-8 differs", -1};
    }
    return {bytes, qsizetype(result.read)};
}

} // namespace

class TestLegacyCodePage : public QObject
{
    Q_OBJECT

private slots:
    void legacyCodePageIsCp949WhereTheSystemIsUtf8();
    void namedCases_data();
    void namedCases();
    void charactersCp949LacksStopEncodingWhereTheyStand();
    void agreesWithTheCodecOnRandomText();
};

void TestLegacyCodePage::legacyCodePageIsCp949WhereTheSystemIsUtf8()
{
    QTextCodec *utf8 = QTextCodec::codecForName("UTF-8");
    QTextCodec *gb18030 = QTextCodec::codecForName("GB18030");

    const LegacyCodePage onUtf8 = LegacyCodePage::choose(utf8, true, cp949());
    QCOMPARE(onUtf8.codec(), cp949());
    QCOMPARE(onUtf8.name(), QString("CP949"));
    const LegacyCodePage onCp949 = LegacyCodePage::choose(cp949(), false, cp949());
    QCOMPARE(onCp949.codec(), cp949());
    QCOMPARE(onCp949.name(), QString("CP949"));
    QCOMPARE(LegacyCodePage::choose(gb18030, false, cp949()).codec(), gb18030);

    // A system that gives no codec at all is taken for a UTF-8 one.
    QCOMPARE(LegacyCodePage::choose(nullptr, false, cp949()).codec(), cp949());
    const LegacyCodePage missing = LegacyCodePage::choose(utf8, true, nullptr);
    QVERIFY(!missing.isAvailable());
    QCOMPARE(missing.name(), QString("CP949"));

    // This machine's own answer. Where the system's code page is UTF-8, as on
    // every Linux system, it is CP949. On Windows it is the system's ANSI code
    // page, which the Windows test run names for each locale it runs in.
#ifdef Q_OS_WIN
    const QString expected = qEnvironmentVariable("SHEAFWRIGHT_EXPECTED_ANSI");
    if (expected.isEmpty())
        QSKIP("SHEAFWRIGHT_EXPECTED_ANSI does not name the code page this Windows is set to");
    QCOMPARE(LegacyCodePage::system().name(), expected);
    QCOMPARE(LegacyCodePage::system().codec(), QTextCodec::codecForLocale());
#else
    QCOMPARE(LegacyCodePage::system().codec(), cp949());
#endif
}

void TestLegacyCodePage::namedCases_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text"); // empty: the bytes are refused

    QTest::newRow("B0A1 is 가") << QByteArray("\xB0\xA1") << QString::fromUtf8("가");
    QTest::newRow("8141 is 갂") << QByteArray("\x81\x41") << QString::fromUtf8("갂");
    QTest::newRow("C652 is 힣") << QByteArray("\xC6\x52") << QString::fromUtf8("힣");
    QTest::newRow("A2E6 is the euro sign") << QByteArray("\xA2\xE6") << QString::fromUtf8("€");
    QTest::newRow("user-defined row") << QByteArray("\xC9\xA1") << QString(QChar(0xE000));
    QTest::newRow("ASCII around a pair with an ASCII trail")
        << QByteArray("ab\x81\x41z") << QString::fromUtf8("ab갂z");
    QTest::newRow("A2E8 is undefined") << QByteArray("\xA2\xE8") << QString();
    QTest::newRow("lead byte and a space") << QByteArray("x\xB0 y") << QString();
    QTest::newRow("lead byte at the end") << QByteArray("ab\xB0") << QString();
    QTest::newRow("0x80 alone") << QByteArray("a\x80") << QString();
    QTest::newRow("0xFF alone") << QByteArray("\xFF") << QString();
}

void TestLegacyCodePage::namedCases()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);

    for (qsizetype split = 0; split <= bytes.size(); ++split) {
        const Decoded decoded = decodeInTwo(cp949(), bytes, split);
        QVERIFY2(decoded.valid == !text.isEmpty(), qPrintable(QString("split at %1").arg(split)));
        if (decoded.valid)
            QCOMPARE(decoded.text, text);
    }
    if (!text.isEmpty())
        QCOMPARE(encodeWith(cp949(), text), qMakePair(bytes, text.size()));
}

void TestLegacyCodePage::charactersCp949LacksStopEncodingWhereTheyStand()
{
    // U+C0082 would pass for 。 if its fourth byte were overlooked.
    const QString lacks[] = {QString(QChar(0xFEFF)), QString::fromUtf8("é"), QString::fromUtf8("😀"),
                             QString::fromUcs4(U"\U000C0082")};
    for (const QString &before : {QString::fromUtf8("a가"), QString::fromUtf8("a가").repeated(10)}) {
        for (const QString &lacking : lacks) {
            const auto encoded = encodeWith(cp949(), before + lacking + QString::fromUtf8("나").repeated(20));
            QCOMPARE(encoded, qMakePair(cp949()->fromUnicode(before), before.size()));
        }
    }
}

// The tables against the codec itself: wherever the codec's answer converts back
// to the very same input, the tables must give that answer; wherever it does
// not, they must refuse. Decoding is split at every point, so that carried lead
// bytes and ASCII trails are met at every chunk boundary.
void TestLegacyCodePage::agreesWithTheCodecOnRandomText()
{
    const QList<QString> pieces = {
        "a",  " ",  "\r\n", QString::fromUtf8("가"), QString::fromUtf8("힣"), QString::fromUtf8("갂"),
        QString::fromUtf8("€"), QString::fromUtf8("漢"), QString::fromUtf8("①"), QString(QChar(0xE000)),
        QString(QChar(0xE0BB)), // FE FE: the last lead byte and the last trail byte
        // and what CP949 lacks:
        QString::fromUtf8("é"), QString::fromUtf8("😀"), QString(QChar(0xFEFF)), QString(QChar(0x0080))};
    const int representable = 11;
    QTextCodec *codec = cp949();
    std::mt19937 random(949);
    for (int round = 0; round < 20000; ++round) {
        QString text;
        QString decodable;
        // Now and then long enough for the converters' blocks of 64 bytes.
        const int count = int(random() % (round % 8 ? 12 : 120));
        for (int i = 0; i < count; ++i) {
            const bool lacking = random() % 30 == 0;
            const int piece = lacking ? representable + int(random() % (pieces.size() - representable))
                                      : int(random() % representable);
            text += pieces.at(piece);
            if (piece < representable)
                decodable += pieces.at(piece);
        }

        // Encoding stops at the first character the codec cannot take there and back.
        qsizetype stop = 0;
        QByteArray expected;
        while (stop < text.size()) {
            const qsizetype length = text.at(stop).isHighSurrogate() ? 2 : 1;
            const QString character = text.mid(stop, length);
            QTextCodec::ConverterState state;
            const QByteArray bytes = codec->fromUnicode(character.constData(), int(length), &state);
            const bool undefined = bytes == "\x80" || bytes == "\xFF"; // passed through, not defined
            if (state.invalidChars || codec->toUnicode(bytes) != character || undefined)
                break;
            expected += bytes;
            stop += length;
        }
        if (encodeWith(codec, text) != qMakePair(expected, stop))
            QFAIL(qPrintable("encoding differs for " + QString::fromLatin1(QByteArray(
                reinterpret_cast<const char *>(text.utf16()), text.size() * 2).toHex(' '))));

        // Decoding: valid text, then the same with a byte or two of noise.
        QByteArray bytes = codec->fromUnicode(decodable);
        if (random() % 2 && !bytes.isEmpty()) {
            for (int n = 1 + int(random() % 2); n > 0; --n)
                bytes.insert(qsizetype(random() % (bytes.size() + 1)), char(0x81 + random() % 0x7E));
            if (bytes.contains('\x80') || bytes.contains('\xFF'))
                continue; // undefined bytes the codec passes through; named above
        }
        const QString codecText = codec->toUnicode(bytes);
        const bool roundTrips = !codecText.contains(QChar::ReplacementCharacter) && codec->fromUnicode(codecText) == bytes;
        for (qsizetype split = 0; split <= bytes.size(); split += 1 + bytes.size() / 40) {
            const Decoded decoded = decodeInTwo(codec, bytes, split);
            if (decoded.valid != roundTrips || (roundTrips && decoded.text != codecText))
                QFAIL(qPrintable(QString("decoding differs for %1 split at %2")
                                     .arg(QString::fromLatin1(bytes.toHex(' ')))
                                     .arg(split)));
        }
    }
}

QTEST_GUILESS_MAIN(TestLegacyCodePage)
#include "test_legacycodepage.moc"
