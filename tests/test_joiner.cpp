// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "inputfile.h"
#include "joiner.h"
#include "outputfile.h"
#include "windowspath.h"
#include "test_support.h"

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>

#include <QSemaphore>
#include <QThread>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <limits>
#include <thread>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif
#ifdef Q_OS_UNIX
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/socket.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>
#endif

using TextJoin::InputFault;
using TextJoin::InputState;
using TextJoin::WatchedChanges;
using TextJoin::JoinOptions;
using TextJoin::JoinResult;
using TextJoin::OutputEncoding;

Q_DECLARE_METATYPE(OutputEncoding)
Q_DECLARE_METATYPE(JoinResult::Status)
Q_DECLARE_METATYPE(TextJoin::OutputStep)
Q_DECLARE_METATYPE(InputState)
Q_DECLARE_METATYPE(WatchedChanges)

namespace {

// Test inputs in the UTF encodings, without a byte-order mark.
QByteArray encoded(const QString &text, QStringConverter::Encoding encoding)
{
    return QStringEncoder(encoding).encode(text);
}

const QByteArray utf8Bom("\xEF\xBB\xBF");
const QByteArray utf16LeBom("\xFF\xFE");
const QByteArray utf16BeBom("\xFE\xFF");
const QByteArray utf32LeBom("\xFF\xFE\x00\x00", 4);
const QByteArray utf32BeBom("\x00\x00\xFE\xFF", 4);

QByteArray cp949(const QString &text)
{
    return cp949Codec()->fromUnicode(text);
}

// Converts as Windows' own system codec does: whatever it cannot convert either
// way becomes '?' or a look-alike, and nothing is counted.
class SubstitutingCodec : public QTextCodec
{
public:
    static constexpr const char *codecName = "x-substituting-949";

    QByteArray name() const override { return codecName; }
    int mibEnum() const override { return 0; }

protected:
    QString convertToUnicode(const char *in, int length, ConverterState *state) const override
    {
        QString text = QTextCodec::codecForName("CP949")->toUnicode(in, length, state);
        if (state)
            state->invalidChars = 0;
        return text.replace(QChar::ReplacementCharacter, QLatin1Char('?'));
    }
    QByteArray convertFromUnicode(const QChar *in, int length, ConverterState *state) const override
    {
        const QString bestFit = QString(in, length).replace(QString::fromUtf8("é"), QStringLiteral("e"));
        QByteArray bytes = QTextCodec::codecForName("CP949")->fromUnicode(bestFit.constData(), int(bestFit.size()), state);
        if (state)
            state->invalidChars = 0;
        return bytes;
    }
};

// GB18030 as a codec that forgets the first bytes of a character cut short at
// the end of what it is given, instead of holding them or counting them.
class ForgetfulCodec : public QTextCodec
{
public:
    static constexpr const char *codecName = "x-forgetful-gb18030";

    QByteArray name() const override { return codecName; }
    int mibEnum() const override { return 0; }

protected:
    QString convertToUnicode(const char *in, int length, ConverterState *) const override
    {
        ConverterState forgotten;
        return QTextCodec::codecForName("GB18030")->toUnicode(in, length, &forgotten);
    }
    QByteArray convertFromUnicode(const QChar *in, int length, ConverterState *state) const override
    {
        return QTextCodec::codecForName("GB18030")->fromUnicode(in, length, state);
    }
};

// Qt keeps every codec once made, and finds it by name.
const bool testCodecsMade = (new SubstitutingCodec, new ForgetfulCodec, true);

} // namespace

class TestJoiner : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void joins_data();
    void joins();
    void splitCharactersSurviveEveryChunkBoundary_data();
    void splitCharactersSurviveEveryChunkBoundary();
    void guessedUtf8ThatTurnsOutLegacyIsRedoneInPlace();
    void sameFileTwiceIsJoinedTwice();
    void progressCountsEveryInputByteOnce();
    void changesWhileReadingAndLateCancels_data();
    void changesWhileReadingAndLateCancels();
    void onlyAChangeOfTheBytesIsAChange_data();
    void onlyAChangeOfTheBytesIsAChange();
    void theStateIsTakenOnceItsStampsCanTellALaterWrite();
#ifdef Q_OS_LINUX
    void watchesOfOneFileAreEachTheirOwn();
#endif
    void largeChunksAreConvertedInTwoHalves_data();
    void largeChunksAreConvertedInTwoHalves();

    void badInputsAreAllNamed_data();
    void badInputsAreAllNamed();
    void charactersTheCodePageLacksStopTheBind_data();
    void charactersTheCodePageLacksStopTheBind();

    void failedBindLeavesExistingOutputUntouched_data();
    void failedBindLeavesExistingOutputUntouched();
    void outputThatCannotBeCreatedIsReported_data();
    void outputThatCannotBeCreatedIsReported();
    void staleTemporaryFilesGoAndHeldOnesStay();
    void writeFailureMidwayIsReported_data();
    void writeFailureMidwayIsReported();
    void slowWritesAreAllDoneWhenTheJoinReturns();
#ifdef Q_OS_UNIX
    void fileSizeLimitGivesTheSystemsReason_data();
    void fileSizeLimitGivesTheSystemsReason();
#endif
    void ansiIsTheSystemsOwnCodePage();
    void anInputCanBeTheOutput();
    void namesWithHangulSpacesAndBackslashes();
    void aLinkToAFileStaysALink();
    void windowsPathsAreOpenedByTheirExactNames_data();
    void windowsPathsAreOpenedByTheirExactNames();
#ifdef Q_OS_WIN
    void trailingDotsAndLongPathsAreTheirOwnFiles();
#endif

private:
    QStringList writeInputs(const QList<QByteArray> &contents);
    QString faultSummary(const JoinResult &result, const QStringList &inputs) const;

    QScopedPointer<QTemporaryDir> m_dir;
    std::unique_ptr<SystemCodec> m_system;
};

void TestJoiner::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    // Unless a test says otherwise, the system's code page is UTF-8, as on Linux,
    // so that "ANSI" is CP949 wherever the tests run, Windows set to 1252 included.
    m_system.reset();
    m_system = std::make_unique<SystemCodec>("UTF-8");
}

QStringList TestJoiner::writeInputs(const QList<QByteArray> &contents)
{
    QStringList paths;
    for (const QByteArray &content : contents) {
        const QString path = m_dir->filePath(QStringLiteral("input%1.txt").arg(paths.size()));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            qFatal("cannot write test input %s", qPrintable(path));
        paths << path;
    }
    return paths;
}

// "index kind detail" per fault, so a test says exactly which input failed and why.
QString TestJoiner::faultSummary(const JoinResult &result, const QStringList &inputs) const
{
    QStringList lines;
    for (const InputFault &fault : result.inputFaults) {
        const QString kind = fault.kind == InputFault::Kind::CannotRead       ? "unreadable"
                           : fault.kind == InputFault::Kind::NotRegularFile ? "not a file"
                           : fault.kind == InputFault::Kind::Changed        ? "changed"
                           : fault.kind == InputFault::Kind::InUse          ? "in use"
                                                                             : "encoding";
        const int index = inputs.indexOf(fault.path);
        lines << QStringLiteral("%1 %2 %3").arg(index).arg(kind, fault.detail);
    }
    return lines.join(" | ");
}

void TestJoiner::joins_data()
{
    QTest::addColumn<QByteArray>("system");
    QTest::addColumn<QList<QByteArray>>("inputs");
    QTest::addColumn<OutputEncoding>("encoding");
    QTest::addColumn<QByteArray>("expected");

    const auto U8 = OutputEncoding::Utf8;
    const auto ANSI = OutputEncoding::Local8Bit;
    const QString hangul = QString::fromUtf8("가나다 😀\n");
    const QByteArray hangulUtf8 = hangul.toUtf8();

    QTest::newRow("UTF-8 without mark") << QByteArray("UTF-8") << QList<QByteArray>{hangulUtf8, "abc"} << U8
                                        << hangulUtf8 + "abc";
    QTest::newRow("UTF-8 mark is dropped") << QByteArray("UTF-8")
                                           << QList<QByteArray>{utf8Bom + "x", utf8Bom + hangulUtf8} << U8
                                           << "x" + hangulUtf8;
    QTest::newRow("UTF-16LE") << QByteArray("UTF-8")
                              << QList<QByteArray>{utf16LeBom + encoded(hangul, QStringConverter::Utf16LE)} << U8
                              << hangulUtf8;
    QTest::newRow("UTF-16BE") << QByteArray("UTF-8")
                              << QList<QByteArray>{utf16BeBom + encoded(hangul, QStringConverter::Utf16BE)} << U8
                              << hangulUtf8;
    QTest::newRow("UTF-32LE") << QByteArray("UTF-8")
                              << QList<QByteArray>{utf32LeBom + encoded(hangul, QStringConverter::Utf32LE)} << U8
                              << hangulUtf8;
    QTest::newRow("UTF-32BE") << QByteArray("UTF-8")
                              << QList<QByteArray>{utf32BeBom + encoded(hangul, QStringConverter::Utf32BE)} << U8
                              << hangulUtf8;
    const QString edges = QString::fromUcs4(U"\uFFFF\U00010000\U0010FFFF");
    QTest::newRow("UTF-32 edges of the code space") << QByteArray("UTF-8")
                                                    << QList<QByteArray>{utf32LeBom + encoded(edges, QStringConverter::Utf32LE)}
                                                    << U8 << edges.toUtf8();
    QTest::newRow("mark only and empty files") << QByteArray("UTF-8")
                                               << QList<QByteArray>{utf8Bom, "", utf16LeBom, utf32BeBom} << U8
                                               << QByteArray();
    QTest::newRow("line breaks pass unchanged, nothing between files")
        << QByteArray("UTF-8") << QList<QByteArray>{"one\r\ntwo", "three\n", "\rfour\r"} << U8
        << QByteArray("one\r\ntwothree\n\rfour\r");
    QTest::newRow("each mark decides its own file")
        << QByteArray("UTF-8")
        << QList<QByteArray>{utf16LeBom + encoded("a", QStringConverter::Utf16LE), "b", utf8Bom + "c"} << U8
        << QByteArray("abc");
    const QString korean = QString::fromUtf8("한글 text\r\n");
    const QString replacement = QString::fromUtf8("a\uFFFDb");
    QTest::newRow("a U+FFFD that GB18030 really holds")
        << QByteArray("GB18030") << QList<QByteArray>{QTextCodec::codecForName("GB18030")->fromUnicode(replacement)}
        << U8 << replacement.toUtf8();
    QTest::newRow("a UTF-8 mark takes all three bytes") << QByteArray("UTF-8") << QList<QByteArray>{"\xEF\xBB" "ABC"}
                                                        << U8 << QString::fromUtf8("癤ABC").toUtf8();
    QTest::newRow("CP949 input on a UTF-8 system") << QByteArray("UTF-8") << QList<QByteArray>{cp949(korean), "."}
                                                   << U8 << korean.toUtf8() + ".";
    QTest::newRow("ANSI on a UTF-8 system is CP949") << QByteArray("UTF-8") << QList<QByteArray>{korean.toUtf8()}
                                                     << ANSI << cp949(korean);
    QTest::newRow("CP949 input on a CP949 system") << QByteArray("CP949") << QList<QByteArray>{cp949(korean)}
                                                   << U8 << korean.toUtf8();
    QTest::newRow("UTF-8 without mark on a CP949 system")
        << QByteArray("CP949") << QList<QByteArray>{korean.toUtf8(), cp949(korean)} << U8
        << korean.toUtf8() + korean.toUtf8();
    QTest::newRow("ANSI output in a single-byte code page, to its last byte")
        << QByteArray("windows-1252") << QList<QByteArray>{utf16LeBom + encoded(QString::fromUtf8("aÿ"), QStringConverter::Utf16LE)}
        << ANSI << QByteArray("a\xFF");
    QTest::newRow("ANSI output is CP949") << QByteArray("CP949")
                                          << QList<QByteArray>{korean.toUtf8(), cp949(korean),
                                                               utf16LeBom + encoded(korean, QStringConverter::Utf16LE)}
                                          << ANSI << cp949(korean) + cp949(korean) + cp949(korean);
}

void TestJoiner::joins()
{
    QFETCH(QByteArray, system);
    QFETCH(QList<QByteArray>, inputs);
    QFETCH(OutputEncoding, encoding);
    QFETCH(QByteArray, expected);

    SystemCodec codec(system);
    const QString output = m_dir->filePath("out.txt");
    const QStringList paths = writeInputs(inputs);
    const JoinResult result = TextJoin::joinFiles(paths, output, encoding);
    QCOMPARE(faultSummary(result, paths), QString());
    QCOMPARE(result.status, JoinResult::Status::Done);
    QCOMPARE(readAll(output), expected);
    QCOMPARE(result.bytesWritten, expected.size());
}

void TestJoiner::splitCharactersSurviveEveryChunkBoundary_data()
{
    QTest::addColumn<QByteArray>("system");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<OutputEncoding>("encoding");
    QTest::addColumn<QByteArray>("expected");

    const QString text = QString::fromUtf8("a가😀b각\r\n𝄞");
    const QByteArray expected = text.toUtf8();
    QTest::newRow("UTF-8") << QByteArray("UTF-8") << expected << OutputEncoding::Utf8 << expected;
    QTest::newRow("UTF-8 to CP949") << QByteArray("CP949") << QString::fromUtf8("a가b각\r\n").toUtf8()
                                    << OutputEncoding::Local8Bit << cp949(QString::fromUtf8("a가b각\r\n"));
    QTest::newRow("UTF-16LE") << QByteArray("UTF-8") << utf16LeBom + encoded(text, QStringConverter::Utf16LE)
                              << OutputEncoding::Utf8 << expected;
    QTest::newRow("UTF-16BE") << QByteArray("UTF-8") << utf16BeBom + encoded(text, QStringConverter::Utf16BE)
                              << OutputEncoding::Utf8 << expected;
    QTest::newRow("UTF-32LE") << QByteArray("UTF-8") << utf32LeBom + encoded(text, QStringConverter::Utf32LE)
                              << OutputEncoding::Utf8 << expected;
    QTest::newRow("CP949") << QByteArray("CP949") << cp949(QString::fromUtf8("가나 다\r\n라"))
                           << OutputEncoding::Utf8 << QString::fromUtf8("가나 다\r\n라").toUtf8();
    const QString throughCodec = QString::fromUtf8("a가€b");
    QTest::newRow("GB18030, through its codec") << QByteArray("GB18030")
                                                << QTextCodec::codecForName("GB18030")->fromUnicode(throughCodec)
                                                << OutputEncoding::Utf8 << throughCodec.toUtf8();
    // Only a file's very first bytes can be a byte-order mark; anywhere else
    // U+FEFF is a character like any other.
    const QString zwnbsp = QString::fromUtf8("a\uFEFFb\uFEFF\uFEFF가\uFEFF");
    QTest::newRow("U+FEFF inside UTF-8") << QByteArray("UTF-8") << zwnbsp.toUtf8() << OutputEncoding::Utf8
                                         << zwnbsp.toUtf8();
    QTest::newRow("U+FEFF inside UTF-8, out through a codec")
        << QByteArray("GB18030") << zwnbsp.toUtf8() << OutputEncoding::Local8Bit
        << QTextCodec::codecForName("GB18030")->fromUnicode(zwnbsp);
    QTest::newRow("U+FEFF inside UTF-16") << QByteArray("UTF-8")
                                          << utf16LeBom + encoded(zwnbsp, QStringConverter::Utf16LE)
                                          << OutputEncoding::Utf8 << zwnbsp.toUtf8();
}

void TestJoiner::splitCharactersSurviveEveryChunkBoundary()
{
    QFETCH(QByteArray, system);
    QFETCH(QByteArray, input);
    QFETCH(OutputEncoding, encoding);
    QFETCH(QByteArray, expected);

    SystemCodec codec(system);
    const QStringList paths = writeInputs({input, input});
    const QString output = m_dir->filePath("out.txt");
    for (qint64 chunk : {qint64(1), qint64(2), qint64(3), qint64(4), qint64(5), qint64(6), qint64(7), qint64(8),
                         qint64(9), std::numeric_limits<qint64>::max()}) {
        JoinOptions options;
        options.chunkSize = chunk;
        const JoinResult result = TextJoin::joinFiles(paths, output, encoding, options);
        QVERIFY2(result.ok(), qPrintable(QStringLiteral("chunk %1: %2").arg(chunk).arg(faultSummary(result, paths))));
        QVERIFY2(readAll(output) == expected + expected, qPrintable(QStringLiteral("chunk %1").arg(chunk)));
    }
}

// A legacy file whose first chunks happen to be valid UTF-8 is only found out
// later; what was written for it must be replaced, also when the redone text is
// shorter (U+00A0 takes four bytes in GB18030, the two bytes C2 A0 one character).
void TestJoiner::guessedUtf8ThatTurnsOutLegacyIsRedoneInPlace()
{
    JoinOptions options;
    options.chunkSize = 4;
    {
        SystemCodec codec("CP949");
        const QByteArray legacy = QByteArray(20, 'x') + cp949(QString::fromUtf8("가"));
        const QStringList paths = writeInputs({"first ", legacy, " last"});
        const QString output = m_dir->filePath("cp949.txt");
        QVERIFY(TextJoin::joinFiles(paths, output, OutputEncoding::Utf8, options).ok());
        QCOMPARE(readAll(output), "first " + QByteArray(20, 'x') + QString::fromUtf8("가").toUtf8() + " last");
    }
    {
        // The guess finds an "é", which CP949 lacks, before it turns out wrong:
        // neither that nor the writing it stopped may outlive the guess, nor what
        // it wrote before it, still gathered for the writer or already written.
        const QByteArray legacy = "ab\xC3\xA9" + QByteArray(10, 'a') + "\xB0\xA1";
        const QStringList paths = writeInputs({legacy});
        const QString output = m_dir->filePath("cp949-out.txt");
        for (qint64 chunk : {2, 8}) {
            options.chunkSize = chunk;
            const JoinResult result = TextJoin::joinFiles(paths, output, OutputEncoding::Local8Bit, options);
            QCOMPARE(result.status, JoinResult::Status::Done);
            QCOMPARE(readAll(output), legacy);
        }
        options.chunkSize = 4;
    }
    {
        // Written after what the device already holds, also where an input is redone.
        QFile output(m_dir->filePath("device.txt"));
        QVERIFY(output.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        QCOMPARE(output.write("HEAD"), 4);
        const QByteArray legacy = QByteArray(20, 'x') + cp949(QString::fromUtf8("가"));
        QVERIFY(TextJoin::joinToDevice(writeInputs({legacy}), output, OutputEncoding::Utf8, options).ok());
        output.close();
        QCOMPARE(readAll(output.fileName()), "HEAD" + QByteArray(20, 'x') + QString::fromUtf8("가").toUtf8());
    }
    {
        SystemCodec codec("GB18030");
        const QByteArray legacy = QByteArray("\xC2\xA0\xC2\xA0\xC2\xA0\xC2\xA0\xB0\xA1");
        const QStringList paths = writeInputs({legacy});
        const QString output = m_dir->filePath("gb18030.txt");
        const JoinResult result = TextJoin::joinFiles(paths, output, OutputEncoding::Local8Bit, options);
        QVERIFY(result.ok());
        QCOMPARE(readAll(output), legacy);
        QCOMPARE(result.bytesWritten, legacy.size());
    }
}

// Progress only goes forward, also over an input read twice (a UTF-8 guess that
// turned out wrong), and ends at the inputs' total size; the second reading asks
// too, and so does the join once more after the last input.
void TestJoiner::progressCountsEveryInputByteOnce()
{
    const QByteArray legacy = QByteArray(20, 'x') + cp949(QString::fromUtf8("가나"));
    const QStringList paths = writeInputs({"abc", legacy, utf16LeBom + encoded("hello", QStringConverter::Utf16LE)});
    QList<qint64> reported;
    JoinOptions options;
    options.chunkSize = 4;
    options.progress = [&](qint64 read) {
        reported << read;
        return true;
    };
    int committing = 0;
    options.committing = [&] { return ++committing; };
    QVERIFY(TextJoin::joinFiles(paths, m_dir->filePath("out.txt"), OutputEncoding::Utf8, options).ok());
    const qint64 total = 3 + legacy.size() + 12;
    QCOMPARE(reported.last(), total);
    QVERIFY(std::is_sorted(reported.begin(), reported.end()));
    // 1 for "abc"; 6 for the guess, 6 for the second reading; 4 for UTF-16; 1 after the last.
    QCOMPARE(reported.size(), 18);
    QCOMPARE(reported.count(3 + legacy.size()), 1 + 6);
    QCOMPARE(committing, 1);

    // An input whose second reading ends before the first did (€ is no CP949) still
    // counts as far as the first got.
    reported.clear();
    const QStringList neither = writeInputs({"\xE2\x82\xAC" + QByteArray(20, 'a') + "\xFF", "abc"});
    TextJoin::joinFiles(neither, m_dir->filePath("out.txt"), OutputEncoding::Utf8, options);
    QVERIFY(std::is_sorted(reported.begin(), reported.end()));
    QCOMPARE(reported.last(), 24 + 3);
}

// Something changes an input while it is read, or the user cancels late: the
// progress callback does it, at one of its calls.
void TestJoiner::changesWhileReadingAndLateCancels_data()
{
    QTest::addColumn<QString>("action"); // rewrite, truncate, grow, rename, cancel
    QTest::addColumn<QString>("when");   // first call, guess read, second reading, last call
    QTest::addColumn<QString>("outcome"); // changed, in use, old text, cancelled

#ifdef Q_OS_WIN
    // No one can write to an input while it is read: the writes fail.
    const QString written = "old text";
#else
    const QString written = "changed";
#endif
    QTest::newRow("rewritten in place") << "rewrite" << "first call" << written;
    QTest::newRow("cut short") << "truncate" << "first call" << written;
    QTest::newRow("grown") << "grow" << "first call" << written;
    QTest::newRow("rewritten once the guess has read it") << "rewrite" << "guess read" << written;
    QTest::newRow("cut short once the guess has read it") << "truncate" << "guess read" << written;
    // A write that is under way shows in neither the watch nor the time stamps
    // while it is paused part-way: the writer still has the file open then.
    QTest::newRow("open for writing when opened, closed unwritten") << "close" << "first call" << "in use";
    QTest::newRow("opened for writing and left open") << "hold open" << "first call"
                                                       << QString(written).replace("changed", "in use");
    // Only the bytes count.
    QTest::newRow("its permissions changed") << "chmod" << "first call" << "old text";
#ifdef Q_OS_UNIX
    // The input already open is the file renamed away, which keeps its content.
    QTest::newRow("another file renamed over it") << "rename" << "first call" << "old text";
    QTest::newRow("another renamed over it once the guess has read it") << "rename" << "guess read" << "old text";
    // Its times put back as they were, and a second name given to it, or taken away.
    QTest::newRow("rewritten in disguise") << "disguise" << "first call" << "changed";
    QTest::newRow("rewritten in disguise, a second name removed") << "disguise, unlink" << "first call" << "changed";
    QTest::newRow("a second name given to it") << "link" << "first call" << "old text";
    QTest::newRow("its access time set") << "touch -a" << "first call" << "old text";
#endif
    QTest::newRow("cancelled during the second reading") << "cancel" << "second reading" << "cancelled";
    QTest::newRow("cancelled after the last chunk") << "cancel" << "last call" << "cancelled";
}

void TestJoiner::changesWhileReadingAndLateCancels()
{
    QFETCH(QString, action);
    QFETCH(QString, when);
    QFETCH(QString, outcome);

    const QString output = m_dir->filePath("out.txt");
    const QByteArray previous("the previous output\n");
    QVERIFY(QFile::rename(writeInputs({previous}).first(), output));
    // Valid UTF-8 until a CP949 tail: guessed as UTF-8, then read again as CP949.
    const QByteArray text = QByteArray(40, 'x') + cp949(QString::fromUtf8("가"));
    // Written a moment ago: a change while it is read must still show, also
    // where the clock behind time stamps moves in ticks of milliseconds.
    const QString input = writeInputs({text}).first();
#ifdef Q_OS_UNIX
    if (action == "disguise, unlink")
        QCOMPARE(::link(QFile::encodeName(input).constData(), QFile::encodeName(input + ".link").constData()), 0);
#endif

    JoinOptions options;
    options.chunkSize = 8;
    int calls = 0;
    options.progress = [&](qint64) { return ++calls > 0; };
    QFile writer(input);
    QVERIFY(TextJoin::joinFiles({input}, m_dir->filePath("undisturbed.txt"), OutputEncoding::Utf8, options).ok());
    const int lastCall = calls;
    if (action == "close")
        QVERIFY(writer.open(QIODevice::Append));

    calls = 0;
    int wholeFileReported = 0;
    options.progress = [&](qint64 read) {
        ++calls;
        wholeFileReported += read == text.size();
        const bool now = (when == "first call" && calls == 1)
            || (when == "guess read" && read == text.size() && wholeFileReported == 1)
            || (when == "second reading" && wholeFileReported == 2 && calls < lastCall)
            || (when == "last call" && calls == lastCall);
        if (!now)
            return true;
        if (action == "cancel")
            return false;
        if (action == "truncate") {
            QFile::resize(input, 10);
        } else if (action == "hold open") {
            writer.open(QIODevice::Append);
        } else if (action == "close") {
            writer.close();
        } else if (action == "chmod") {
            QFile::setPermissions(input, QFile::ReadOwner);
#ifdef Q_OS_UNIX
        } else if (action == "link") {
            ::link(QFile::encodeName(input).constData(), QFile::encodeName(input + ".link").constData());
        } else if (action == "touch -a") {
            const timespec times[2] = {{1, 0}, {0, UTIME_OMIT}};
            ::utimensat(AT_FDCWD, QFile::encodeName(input).constData(), times, 0);
#endif
        } else if (action == "rename") {
            const QString other = m_dir->filePath("other.txt");
            QFile file(other);
            file.open(QIODevice::WriteOnly);
            file.write("another file");
            file.close();
            std::rename(QFile::encodeName(other).constData(), QFile::encodeName(input).constData());
        } else {
#ifdef Q_OS_UNIX
            struct stat before;
            ::stat(QFile::encodeName(input).constData(), &before);
#endif
            QFile file(input);
            file.open(action == "grow" ? QIODevice::Append : QIODevice::WriteOnly | QIODevice::Unbuffered);
            file.write(action == "grow" ? QByteArray("more") : QByteArray(40, 'y') + "\xB0\xA1");
#ifdef Q_OS_UNIX
            if (action.startsWith("disguise")) {
                const timespec times[2] = {before.st_atim, before.st_mtim};
                ::futimens(file.handle(), times);
                if (action == "disguise")
                    ::link(QFile::encodeName(input).constData(), QFile::encodeName(input + ".link").constData());
                else
                    ::unlink(QFile::encodeName(input + ".link").constData());
            }
#endif
        }
        return true;
    };
    const JoinResult result = TextJoin::joinFiles({input}, output, OutputEncoding::Utf8, options);
    if (outcome == "old text") {
        QCOMPARE(faultSummary(result, {input}), QString());
        QCOMPARE(result.status, JoinResult::Status::Done);
        QCOMPARE(readAll(output), QByteArray(40, 'x') + QString::fromUtf8("가").toUtf8());
        return;
    }
    QCOMPARE(result.status, outcome == "cancelled" ? JoinResult::Status::Cancelled : JoinResult::Status::InputFaults);
    QCOMPARE(faultSummary(result, {input}), outcome == "cancelled" ? QString() : "0 " + outcome + " ");
    QCOMPARE(readAll(output), previous);
}

void TestJoiner::onlyAChangeOfTheBytesIsAChange_data()
{
    QTest::addColumn<InputState>("after");
    QTest::addColumn<WatchedChanges>("seen");
    QTest::addColumn<bool>("same");

    // Before: 100 bytes, modified at 10, changed at 10, two names.
    const auto state = [](qint64 size, qint64 modified, qint64 changed, quint64 links) {
        return InputState{size, modified, changed, links};
    };
    const WatchedChanges unwatched;
    const WatchedChanges nothingSeen{true, false};
    QTest::newRow("nothing changed") << state(100, 10, 10, 2) << unwatched << true;
    QTest::newRow("a write seen") << state(100, 10, 10, 2) << WatchedChanges{true, true} << false;
    QTest::newRow("another size, the same times") << state(99, 10, 10, 2) << nothingSeen << false;
    QTest::newRow("modified later") << state(100, 11, 11, 2) << nothingSeen << false;
    QTest::newRow("only changed later, no write seen") << state(100, 10, 11, 3) << nothingSeen << true;
    QTest::newRow("only changed later, unwatched") << state(100, 10, 11, 2) << unwatched << false;
    QTest::newRow("only changed later, a name fewer") << state(100, 10, 11, 1) << unwatched << false;
    QTest::newRow("only changed later, no name left") << state(100, 10, 11, 0) << unwatched << true;
    QTest::newRow("no name left, another size") << state(90, 10, 11, 0) << unwatched << false;
}

void TestJoiner::onlyAChangeOfTheBytesIsAChange()
{
    QFETCH(InputState, after);
    QFETCH(WatchedChanges, seen);
    QFETCH(bool, same);
    QCOMPARE(TextJoin::sameContent(InputState{100, 10, 10, 2}, after, seen), same);
}

// A write in the same tick of the stamps' clock as the state taken would go
// unseen: the state is taken again until its last change is ticks old, however
// often the file changes meanwhile, but not for a stamp in the future.
void TestJoiner::theStateIsTakenOnceItsStampsCanTellALaterWrite()
{
    struct Look
    {
        qint64 at;
        qint64 modified;
        qint64 changed;
    };
    // The last change, of the content or of the metadata, is what counts.
    for (const QList<Look> &looks : {QList<Look>{{1000, 999, 999}, {1020, 1019, 1019}, {1040, 1020, 1020}},
                                     QList<Look>{{1000, 500, 999}, {1020, 500, 999}}, QList<Look>{{1000, 980, 980}},
                                     QList<Look>{{1000, 1500, 1500}}}) {
        int look = 0;
        const auto read = [&](InputState *state) {
            *state = InputState{look, looks[look].modified, looks[look].changed, 1};
            return true;
        };
        const auto now = [&] { return looks[look++].at; };
        InputState state;
        TextJoin::SettleBudget budget;
        QCOMPARE(TextJoin::settledState(read, now, 1, budget, &state), TextJoin::Settled::Yes);
        QCOMPARE(look, looks.size());
        QCOMPARE(state.size, looks.size() - 1);
    }
    // Once the join's budget for waiting is spent, a file changed a moment ago is
    // still changing: it is not waited for.
    const auto read = [](InputState *state) {
        *state = InputState{1, 995, 995, 1};
        return true;
    };
    const auto now = [] { return qint64(1000); };
    InputState state;
    TextJoin::SettleBudget budget(100);
    // Ten looks, with nine waits of 11 ms between them, are all a file gets.
    QCOMPARE(TextJoin::settledState(read, now, 1, budget, &state), TextJoin::Settled::Yes);
    QCOMPARE(TextJoin::settledState(read, now, 1, budget, &state), TextJoin::Settled::Changing);
}

#ifdef Q_OS_LINUX
// Joins running at once may watch the same file: each sees the writes made since
// it began, and one that ends leaves the others watching.
void TestJoiner::watchesOfOneFileAreEachTheirOwn()
{
    const QString path = writeInputs({"text"}).first();
    QFile first(path);
    QFile second(path);
    QFile third(path);
    QFile writer(path);
    QVERIFY(first.open(QIODevice::ReadOnly) && second.open(QIODevice::ReadOnly) && third.open(QIODevice::ReadOnly)
            && writer.open(QIODevice::Append | QIODevice::Unbuffered));
    TextJoin::ChangeWatch firstWatch;
    firstWatch.watch(first.handle());
    {
        TextJoin::ChangeWatch secondWatch;
        secondWatch.watch(second.handle());
    }
    QCOMPARE(writer.write("!"), 1);
    QVERIFY(firstWatch.seen().written);
    TextJoin::ChangeWatch thirdWatch;
    thirdWatch.watch(third.handle());
    QVERIFY(thirdWatch.seen().watching && !thirdWatch.seen().written);
}
#endif

// A large chunk of the legacy code page is converted in two halves at once; what
// is found in either half must be found as if it were one.
void TestJoiner::largeChunksAreConvertedInTwoHalves_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<OutputEncoding>("encoding");
    QTest::addColumn<QByteArray>("expected"); // the output, or what stopped the bind

    const QString text = QString::fromUtf8("그날 밤 우리는 서울역에서 만났다. The train was late.\n").repeated(4000);
    const qsizetype early = text.size() / 4;
    const qsizetype late = text.size() * 3 / 4;
    const auto with = [&](const QString &extra, qsizetype at) { return QString(text).insert(at, extra); };
    const QByteArray undefined("\xA2\xE8");
    const auto withBytes = [&](qsizetype at) { return cp949(text.left(at)) + undefined + cp949(text.mid(at)); };

    QTest::newRow("CP949 to UTF-8") << cp949(text) << OutputEncoding::Utf8 << text.toUtf8();
    QTest::newRow("UTF-8 to CP949") << text.toUtf8() << OutputEncoding::Local8Bit << cp949(text);
    QTest::newRow("bad CP949 in the first half") << withBytes(early) << OutputEncoding::Utf8 << QByteArray("0 encoding CP949");
    QTest::newRow("bad CP949 in the second half") << withBytes(late) << OutputEncoding::Utf8 << QByteArray("0 encoding CP949");
    // Hangul only, so the first byte that stands alone after the middle is the
    // space that cuts the pair short.
    const QByteArray hangul = cp949(QString::fromUtf8("가나다라").repeated(10000));
    QTest::newRow("lead byte cut short where the halves meet")
        << hangul.left(hangul.size() / 2 + 100) + "\xB0 " + hangul.mid(hangul.size() / 2 + 100)
        << OutputEncoding::Utf8 << QByteArray("0 encoding CP949");
    QTest::newRow("lacking in the second half") << with("é", late).toUtf8() << OutputEncoding::Local8Bit
                                               << QByteArray("é");
    QTest::newRow("lacking in both halves") << with("é", late).insert(early, QString::fromUtf8("😀")).toUtf8()
                                            << OutputEncoding::Local8Bit << QString::fromUtf8("😀").toUtf8();
}

void TestJoiner::largeChunksAreConvertedInTwoHalves()
{
    QFETCH(QByteArray, input);
    QFETCH(OutputEncoding, encoding);
    QFETCH(QByteArray, expected);

    const QStringList paths = writeInputs({input});
    const QString output = m_dir->filePath("out.txt");
    const JoinResult result = TextJoin::joinFiles(paths, output, encoding);
    if (result.ok())
        QCOMPARE(readAll(output), expected);
    else
        QCOMPARE(result.status == JoinResult::Status::Unrepresentable ? result.unrepresentable.toUtf8()
                                                                       : faultSummary(result, paths).toUtf8(),
                 expected);
}

void TestJoiner::sameFileTwiceIsJoinedTwice()
{
    const QStringList paths = writeInputs({"once\n"});
    const QString output = m_dir->filePath("out.txt");
    QVERIFY(TextJoin::joinFiles({paths[0], paths[0]}, output, OutputEncoding::Utf8).ok());
    QCOMPARE(readAll(output), QByteArray("once\nonce\n"));
}

void TestJoiner::badInputsAreAllNamed_data()
{
    QTest::addColumn<QByteArray>("system");
    QTest::addColumn<QList<QByteArray>>("inputs");
    QTest::addColumn<QString>("faults");
    QTest::addColumn<OutputEncoding>("encoding");

    const QByteArray good("fine\n");
    QTest::newRow("neither UTF-8 nor CP949")
        << QByteArray("UTF-8") << QList<QByteArray>{good, "caf\xE9\n", good, "x\xFF"}
        << "1 encoding CP949 | 3 encoding CP949" << OutputEncoding::Utf8;
    QTest::newRow("overlong form and surrogate after a UTF-8 mark")
        << QByteArray("UTF-8") << QList<QByteArray>{utf8Bom + "\xC0\xAF", utf8Bom + "\xED\xA0\x80"}
        << "0 encoding UTF-8 | 1 encoding UTF-8" << OutputEncoding::Utf8;
    QTest::newRow("UTF-8 cut short at the end") << QByteArray("UTF-8")
                                                << QList<QByteArray>{good, utf8Bom + "ab\xEA\xB0"}
                                                << "1 encoding UTF-8" << OutputEncoding::Utf8;
    QTest::newRow("a UTF-8 mark decides even on a CP949 system")
        << QByteArray("CP949") << QList<QByteArray>{utf8Bom + cp949(QString::fromUtf8("가"))}
        << "0 encoding UTF-8" << OutputEncoding::Utf8;
    QTest::newRow("odd-length UTF-16") << QByteArray("UTF-8")
                                       << QList<QByteArray>{utf16LeBom + QByteArray("A\0B", 3)}
                                       << "0 encoding UTF-16LE" << OutputEncoding::Utf8;
    QTest::newRow("lone surrogates in UTF-16")
        << QByteArray("UTF-8")
        << QList<QByteArray>{utf16BeBom + QByteArray("\xD8\x00\x00\x41", 4),
                             utf16LeBom + QByteArray("\x00\xDC", 2), utf16LeBom + QByteArray("\x00\xD8", 2)}
        << "0 encoding UTF-16BE | 1 encoding UTF-16LE | 2 encoding UTF-16LE" << OutputEncoding::Utf8;
    QTest::newRow("UTF-32 beyond U+10FFFF, and surrogates at both ends")
        << QByteArray("UTF-8")
        << QList<QByteArray>{utf32LeBom + QByteArray("\x00\x00\x11\x00", 4),
                             utf32LeBom + QByteArray("A\0\0\0\x00\xD8\x00\x00", 8),
                             utf32LeBom + QByteArray("\xFF\xDF\x00\x00", 4)}
        << "0 encoding UTF-32LE | 1 encoding UTF-32LE | 2 encoding UTF-32LE" << OutputEncoding::Utf8;
    QTest::newRow("invalid sequences in the middle")
        << QByteArray("UTF-8")
        << QList<QByteArray>{utf8Bom + "abc\xE0\x80\x80" "def", utf8Bom + "abcd\xED\xA0\x80" "ef",
                             utf8Bom + "abc\xEA\xB0" "xyz", utf16LeBom + QByteArray("a\0b\0\x00\xDC" "c\0", 8),
                             "abcd\xA2\xE8" "efgh", "abcdef\xB0 gh"}
        << "0 encoding UTF-8 | 1 encoding UTF-8 | 2 encoding UTF-8 | 3 encoding UTF-16LE | 4 encoding CP949 | "
           "5 encoding CP949" << OutputEncoding::Utf8;
    QTest::newRow("CP949 cut short, in the middle and at the end")
        << QByteArray("CP949") << QList<QByteArray>{"ab\xB0 cd", good, "ab\xB0"}
        << "0 encoding CP949 | 2 encoding CP949" << OutputEncoding::Utf8;
    QTest::newRow("a system codec that substitutes and counts nothing")
        << QByteArray(SubstitutingCodec::codecName) << QList<QByteArray>{"ab\xB0 cd", good, "\xA2\xE8", "?"}
        << "0 encoding x-substituting-949 | 2 encoding x-substituting-949" << OutputEncoding::Utf8;
    QTest::newRow("undefined pair far enough in for whole blocks")
        << QByteArray("UTF-8") << QList<QByteArray>{QByteArray(10, 'a') + "\x81\x20" + QByteArray(60, 'a')}
        << "0 encoding CP949" << OutputEncoding::Utf8;
    QTest::newRow("a lone surrogate on the way to ANSI")
        << QByteArray("UTF-8") << QList<QByteArray>{utf16LeBom + QByteArray("\x00\xAC\x00\xD8" "A\0", 6)}
        << "0 encoding UTF-16LE" << OutputEncoding::Local8Bit;
    QTest::newRow("bad input is reported before what ANSI lacks")
        << QByteArray("UTF-8") << QList<QByteArray>{QString::fromUtf8("é").toUtf8(), "\x80"} << "1 encoding CP949"
        << OutputEncoding::Local8Bit;
    // A code page of more than two bytes a character goes through its codec.
    QTest::newRow("cut short at the end, through a codec that forgets it")
        << QByteArray(ForgetfulCodec::codecName) << QList<QByteArray>{good, "ab\x81\x30"}
        << "1 encoding x-forgetful-gb18030" << OutputEncoding::Utf8;
    QTest::newRow("GB18030 cut short, and with a byte it lacks")
        << QByteArray("GB18030") << QList<QByteArray>{"ab\x81\x30", "cd\x80" "ef"}
        << "0 encoding GB18030 | 1 encoding GB18030" << OutputEncoding::Utf8;
}

void TestJoiner::badInputsAreAllNamed()
{
    QFETCH(QByteArray, system);
    QFETCH(QList<QByteArray>, inputs);
    QFETCH(QString, faults);
    QFETCH(OutputEncoding, encoding);

    SystemCodec codec(system);
    const QStringList paths = writeInputs(inputs);
    const QString output = m_dir->filePath("out.txt");
    // Wherever the chunks split the bad sequences.
    for (qint64 chunk : {qint64(1) << 20, qint64(1), qint64(2), qint64(3), qint64(4), qint64(5), qint64(6),
                         qint64(7), qint64(8), qint64(9), qint64(10), qint64(11), qint64(12), qint64(13),
                         qint64(14), qint64(15), qint64(16), qint64(17)}) {
        JoinOptions options;
        options.chunkSize = chunk;
        const JoinResult result = TextJoin::joinFiles(paths, output, encoding, options);
        QVERIFY2(result.status == JoinResult::Status::InputFaults && faultSummary(result, paths) == faults,
                 qPrintable(QStringLiteral("chunk %1: %2").arg(chunk).arg(faultSummary(result, paths))));
        QVERIFY(!QFile::exists(output));
    }
}

void TestJoiner::charactersTheCodePageLacksStopTheBind_data()
{
    QTest::addColumn<QByteArray>("system");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("first");
    QTest::newRow("emoji") << QByteArray("UTF-8") << QString::fromUtf8("가나😀다é") << QString::fromUtf8("😀");
    QTest::newRow("exactly one") << QByteArray("UTF-8") << QString::fromUtf8("가나다 é 라") << QString::fromUtf8("é");
    QTest::newRow("U+FEFF inside the text") << QByteArray("UTF-8") << QString::fromUtf8("가\uFEFF나")
                                            << QString(QChar(0xFEFF));
    QTest::newRow("accented letter") << QByteArray("UTF-8") << QString::fromUtf8("abc é 😀")
                                     << QString::fromUtf8("é");
    QTest::newRow("look-alike from a codec that counts nothing")
        << QByteArray(SubstitutingCodec::codecName) << QString::fromUtf8("abc é 😀") << QString::fromUtf8("é");
    QTest::newRow("from UTF-16") << QByteArray("UTF-8") << QString::fromUtf8("가\uFEFF나😀") << QString(QChar(0xFEFF));
    QTest::newRow("a code page that goes through its codec") << QByteArray("EUC-JP") << QString::fromUtf8("abc 漢字 한")
                                                             << QString::fromUtf8("한");
    QTest::newRow("'?' from a codec that counts nothing")
        << QByteArray(SubstitutingCodec::codecName) << QString::fromUtf8("a?b😀") << QString::fromUtf8("😀");
}

void TestJoiner::charactersTheCodePageLacksStopTheBind()
{
    QFETCH(QByteArray, system);
    QFETCH(QString, text);
    QFETCH(QString, first);

    SystemCodec codec(system);
    const bool fromUtf16 = QByteArray(QTest::currentDataTag()) == "from UTF-16";
    const QByteArray input = fromUtf16 ? utf16LeBom + encoded(text, QStringConverter::Utf16LE) : text.toUtf8();
    const QStringList paths = writeInputs({"ok", input});
    const QString output = m_dir->filePath("out.txt");
    for (qint64 chunk = 1; chunk <= 10; ++chunk) {
        JoinOptions options;
        options.chunkSize = chunk == 10 ? JoinOptions().chunkSize : chunk;
        const JoinResult result = TextJoin::joinFiles(paths, output, OutputEncoding::Local8Bit, options);
        QVERIFY2(result.status == JoinResult::Status::Unrepresentable && result.unrepresentable == first,
                 qPrintable(QStringLiteral("chunk %1: %2").arg(chunk).arg(result.unrepresentable)));
        QVERIFY(!QFile::exists(output));
    }

    // The same text in UTF-8 is fine.
    QVERIFY(TextJoin::joinFiles(paths, output, OutputEncoding::Utf8).ok());
    QCOMPARE(readAll(output), "ok" + text.toUtf8());
}

namespace {

#ifdef Q_OS_UNIX
// A named pipe in the test folder; with content, something holds it open for
// writing with that content waiting in it, as a program feeding it would.
class Fifo
{
public:
    Fifo(const QString &path, const QByteArray &content, bool withWriter)
    {
        if (::mkfifo(QFile::encodeName(path).constData(), 0600) != 0)
            qFatal("cannot make a FIFO");
        if (!withWriter)
            return;
        m_writer = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (m_writer < 0 || ::write(m_writer, content.constData(), std::size_t(content.size())) != content.size())
            qFatal("cannot feed a FIFO");
    }
    ~Fifo()
    {
        if (m_writer >= 0)
            ::close(m_writer);
    }

private:
    int m_writer = -1;
};

// A socket bound to a path in the test folder, as a program listening there has one.
class Socket
{
public:
    explicit Socket(const QString &path)
        : m_socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        if (m_socket < 0 || std::size_t(name.size()) >= sizeof address.sun_path)
            qFatal("cannot make a socket");
        std::memcpy(address.sun_path, name.constData(), std::size_t(name.size()));
        if (::bind(m_socket, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
            qFatal("cannot bind a socket");
    }
    ~Socket() { ::close(m_socket); }

private:
    int m_socket;
};
#endif

} // namespace

void TestJoiner::failedBindLeavesExistingOutputUntouched_data()
{
    QTest::addColumn<QString>("badInput");
    QTest::addColumn<int>("fifo"); // 0: none, 1: without a writer, 2: with a writer and the content, 3: a socket,
                                   // 4: a file open for writing elsewhere, 5: one under a write lease
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("faults"); // none: the join is cancelled from another thread
    QTest::newRow("cancelled") << "input0.txt" << 0 << QByteArray() << QString();
#ifdef Q_OS_WIN
    // The system's own words, in the language Windows is set to.
    QTest::newRow("missing") << "missing.txt" << 0 << QByteArray()
                             << "1 unreadable " + qt_error_string(ERROR_FILE_NOT_FOUND);
#else
    QTest::newRow("missing") << "missing.txt" << 0 << QByteArray() << "1 unreadable No such file or directory";
    QTest::newRow("fails while reading") << "/proc/self/mem" << 0 << QByteArray() << "1 unreadable Input/output error";
    // Its size says nothing of what it holds: more is read than it had.
    QTest::newRow("larger than its size") << "/proc/self/status" << 0 << QByteArray() << "1 changed ";
#endif
    QTest::newRow("folder") << "folder" << 0 << QByteArray() << "1 not a file ";
#ifdef Q_OS_WIN
    QTest::newRow("device") << "//./NUL" << 0 << QByteArray() << "1 not a file ";
#endif
    QTest::newRow("being written by another program") << "written.txt" << 4 << QByteArray() << "1 in use ";
#ifdef Q_OS_LINUX
    QTest::newRow("under another program's write lease") << "leased.txt" << 5 << QByteArray() << "1 in use ";
#endif
#ifdef Q_OS_UNIX
    const QString notAFile("1 not a file ");
    QTest::newRow("FIFO with text") << "fifo" << 2 << QByteArray("ABCDEFGH") << notAFile;
    QTest::newRow("FIFO with a UTF-8 mark") << "fifo" << 2 << utf8Bom + QString::fromUtf8("가나").toUtf8() << notAFile;
    QTest::newRow("FIFO with CP949") << "fifo" << 2 << cp949(QString::fromUtf8("가나다라")) << notAFile;
    QTest::newRow("FIFO without a writer") << "fifo" << 1 << QByteArray() << notAFile;
    QTest::newRow("socket") << "socket" << 3 << QByteArray() << notAFile;
    QTest::newRow("endless device") << "/dev/zero" << 0 << QByteArray() << notAFile;
    QTest::newRow("empty device") << "/dev/null" << 0 << QByteArray() << notAFile;
#endif
}

void TestJoiner::failedBindLeavesExistingOutputUntouched()
{
    QFETCH(QString, badInput);
    QFETCH(int, fifo);
    QFETCH(QByteArray, content);
    QFETCH(QString, faults);

    QVERIFY(QDir(m_dir->path()).mkdir("folder"));
    const QString output = m_dir->filePath("out.txt");
    const QByteArray previous("the previous output\n");
    writeInputs({previous});
    QVERIFY(QFile::rename(m_dir->filePath("input0.txt"), output));
#ifdef Q_OS_UNIX
    std::unique_ptr<Fifo> pipe;
    if (fifo == 1 || fifo == 2)
        pipe = std::make_unique<Fifo>(m_dir->filePath(badInput), content, fifo == 2);
    std::unique_ptr<Socket> socket;
    if (fifo == 3)
        socket = std::make_unique<Socket>(m_dir->filePath(badInput));
#endif

    const QStringList paths{writeInputs({"good"}).first(), QDir(m_dir->path()).absoluteFilePath(badInput)};
    QFile writer(paths.last());
    if (fifo == 4 || fifo == 5)
        QVERIFY(writer.open(QIODevice::Append));
#ifdef Q_OS_LINUX
    // A lease's holder is signalled when someone opens the file: SIGURG does nothing.
    if (fifo == 5)
        QVERIFY(::fcntl(writer.handle(), F_SETSIG, SIGURG) == 0 && ::fcntl(writer.handle(), F_SETLEASE, F_WRLCK) == 0);
#endif
    JoinResult result;
    if (faults.isEmpty()) {
        // Held at its first chunk until another thread asks it to stop.
        QSemaphore held;
        QSemaphore released;
        std::atomic<bool> cancel{false};
        JoinOptions options;
        options.chunkSize = 1;
        options.progress = [&](qint64) {
            held.release();
            released.acquire();
            return !cancel;
        };
        std::thread join([&] { result = TextJoin::joinFiles(paths, output, OutputEncoding::Utf8, options); });
        held.acquire();
        cancel = true;
        released.release(1000);
        join.join();
        QCOMPARE(result.status, JoinResult::Status::Cancelled);
        QCOMPARE(held.available(), 0); // it stopped at once
    } else {
        result = TextJoin::joinFiles(paths, output, OutputEncoding::Utf8);
        QCOMPARE(result.status, JoinResult::Status::InputFaults);
    }
    QCOMPARE(faultSummary(result, paths), faults);
    QCOMPARE(readAll(output), previous);
    // No temporary left behind.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden).size(), fifo >= 4 ? 3 : 2);
}

void TestJoiner::outputThatCannotBeCreatedIsReported_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("node"); // 0: none, 1: a FIFO, 2: a character device, 3: links in a loop,
                                   // 4: a FIFO made while the join runs, 5: a read-only file
    QTest::addColumn<JoinResult::Status>("status");
    QTest::addColumn<TextJoin::OutputStep>("step");
    QTest::addColumn<bool>("reason"); // whether the system gives one
    const auto failed = JoinResult::Status::OutputFailed;
    const auto notAFile = JoinResult::Status::OutputNotRegularFile;
    const auto create = TextJoin::OutputStep::Create;
    QTest::newRow("folder that does not exist") << "no/such/folder/out.txt" << 0 << failed << create << true;
#ifdef Q_OS_UNIX
    QTest::newRow("read-only file system") << "/proc/sheafwright-out.txt" << 0 << failed << create << true;
#endif
    // Refused before anything is read, whoever runs the join.
    QTest::newRow("a read-only file") << "out.txt" << 5 << failed << TextJoin::OutputStep::ReadOnly << false;
    QTest::newRow("a folder") << "." << 0 << notAFile << create << false;
#ifdef Q_OS_UNIX
    QTest::newRow("a FIFO") << "fifo" << 1 << notAFile << create << false;
    QTest::newRow("a character device") << "null" << 2 << notAFile << create << false;
    QTest::newRow("links in a loop") << "loop" << 3 << notAFile << create << false;
    QTest::newRow("a FIFO made during the join") << "fifo" << 4 << notAFile << create << false;
#endif
}

void TestJoiner::outputThatCannotBeCreatedIsReported()
{
    QFETCH(QString, output);
    QFETCH(int, node);
    QFETCH(JoinResult::Status, status);
    QFETCH(TextJoin::OutputStep, step);
    QFETCH(bool, reason);

    const QString path = QDir(m_dir->path()).absoluteFilePath(output);
#ifdef Q_OS_UNIX
    std::unique_ptr<Fifo> pipe;
    if (node == 1)
        pipe = std::make_unique<Fifo>(path, QByteArray(), false);
    // The same device as /dev/null, made here, so that a fault would replace a node of the test's own.
    if (node == 2 && ::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        QSKIP("making a device node needs privileges this test does not have");
    if (node == 3)
        QVERIFY(QFile::link(path + ".other", path) && QFile::link(path, path + ".other"));
#endif
    if (node == 5) {
        QVERIFY(QFile::rename(writeInputs({"previous"}).first(), path));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    }
    const QStringList paths = writeInputs({"text"});
    qint64 read = 0;
    JoinOptions options;
    options.progress = [&](qint64 bytes) {
        read = bytes;
#ifdef Q_OS_UNIX
        if (node == 4 && !pipe)
            pipe = std::make_unique<Fifo>(path, QByteArray(), false);
#endif
        return true;
    };
    const JoinResult result = TextJoin::joinFiles(paths, path, OutputEncoding::Utf8, options);
    QCOMPARE(result.status, status);
    if (status == JoinResult::Status::OutputFailed) {
        QCOMPARE(result.outputStep, step);
        QCOMPARE(!result.outputError.isEmpty(), reason);
        QCOMPARE(read, 0);
    }
    if (node == 5) {
        QCOMPARE(readAll(path), QByteArray("previous"));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    } else if (node) {
        QVERIFY((QFileInfo::exists(path) || QFileInfo(path).isSymLink()) && !QFileInfo(path).isFile());
    }
    QCOMPARE(QDir(m_dir->path()).entryList({".*.tmp"}, QDir::Files | QDir::Hidden | QDir::System), QStringList());
}

// What a killed join left behind goes with the next join into the folder; what
// a running join holds, and every other file, stays.
void TestJoiner::staleTemporaryFilesGoAndHeldOnesStay()
{
    const QDir folder(m_dir->path());
    const QStringList stale{".sheafwright-0123456789ab.tmp", ".sheafwright-zz00zz00zz00.tmp"};
    const QString held(".sheafwright-heldheldheld.tmp");
    const QStringList others{".sheafwright-short.tmp", ".sheafwright-0123456789a-.tmp", "sheafwright-0123456789ab.tmp",
                             ".sheafwright-0123456789ab.tmp.txt", "out.txt.Ab12Cd"};
    for (const QString &name : stale + others + QStringList(held))
        QVERIFY(QFile::rename(writeInputs({"left behind"}).first(), folder.filePath(name)));
#ifdef Q_OS_WIN
    // A running join's file is open, and no one may remove it meanwhile.
    const HANDLE holder = CreateFileW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(folder.filePath(held)).utf16()),
                                      GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    QVERIFY(holder != INVALID_HANDLE_VALUE);
    const auto release = qScopeGuard([holder] { CloseHandle(holder); });
#else
    const int holder = ::open(QFile::encodeName(folder.filePath(held)).constData(), O_RDWR | O_CLOEXEC);
    QVERIFY(holder >= 0 && ::flock(holder, LOCK_EX) == 0);
    const auto release = qScopeGuard([holder] { ::close(holder); });
#endif
    const QString output = folder.filePath("out.txt");
    JoinOptions options;
    QStringList duringTheJoin;
    options.progress = [&](qint64) {
        duringTheJoin = folder.entryList({".sheafwright-*"}, QDir::Files | QDir::Hidden | QDir::System);
        return true;
    };
    // What the user lists is theirs, whatever its name: a killed join's file kept to
    // read it, and an output named so.
    const QString listed = folder.filePath(".sheafwright-inputinput12.tmp");
    QVERIFY(QFile::rename(writeInputs({" kept"}).first(), listed));
    QVERIFY(TextJoin::joinFiles({writeInputs({"new"}).first(), listed}, output, OutputEncoding::Utf8, options).ok());
    QCOMPARE(readAll(output), QByteArray("new kept"));
    const QString named = folder.filePath(".sheafwright-outputoutput.tmp");
    QVERIFY(QFile::copy(output, named));
    QVERIFY(TextJoin::joinFiles({listed}, named, OutputEncoding::Utf8).ok());
    QCOMPARE(readAll(named), QByteArray(" kept"));
    QVERIFY(QFile::remove(named) && QFile::remove(listed));
    const QStringList left = folder.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : stale)
        QVERIFY2(!left.contains(name), qPrintable(name));
    for (const QString &name : others + QStringList(held))
        QVERIFY2(left.contains(name), qPrintable(name));
    QCOMPARE(left.size(), others.size() + 3); // the held one, an input and the output
#ifdef Q_OS_WIN
    // Its own file, hidden, beside the held one, the listed one and three of the others.
    QCOMPARE(duringTheJoin.size(), 6);
    for (const QString &name : duringTheJoin) {
        const auto native = reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(folder.filePath(name)).utf16());
        if (TextJoin::OutputFile::isTemporaryName(name) && name != held)
            QVERIFY(GetFileAttributesW(native) & FILE_ATTRIBUTE_HIDDEN);
    }
#endif
}

namespace {

// A file whose write across a given size fails, as on a full disk, and whose
// later writes would go through again, as after someone freed some space.
class FailingFile : public QFile
{
public:
    FailingFile(const QString &path, qint64 capacity)
        : QFile(path)
        , m_capacity(capacity)
    {
    }

protected:
    qint64 writeData(const char *data, qint64 size) override
    {
        if (!m_failed && pos() + size > m_capacity) {
            // Long enough for the join to queue its next chunks meanwhile.
            QThread::msleep(20);
            m_failed = true;
            setErrorString(QStringLiteral("No space left on device"));
            return -1;
        }
        return QFile::writeData(data, size);
    }

private:
    qint64 m_capacity;
    bool m_failed = false;
};

} // namespace

void TestJoiner::writeFailureMidwayIsReported_data()
{
    QTest::addColumn<qint64>("capacity");
    QTest::addColumn<qint64>("leastWritten");
    QTest::newRow("part-way") << qint64(150) << qint64(101);
    // Nothing may be written after the failure, though later writes would go through.
    QTest::newRow("at the first write") << qint64(0) << qint64(0);
}

void TestJoiner::writeFailureMidwayIsReported()
{
    QFETCH(qint64, capacity);
    QFETCH(qint64, leastWritten);
    QList<QByteArray> inputs(50, QByteArray(100, 'x'));
    inputs.prepend(QByteArray(100, 'a'));
    const QStringList paths = writeInputs(inputs);
    FailingFile output(m_dir->filePath("out.txt"), capacity);
    QVERIFY(output.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    JoinOptions options;
    options.chunkSize = 32;
    qint64 read = 0;
    options.progress = [&](qint64 bytes) { return (read = bytes) >= 0; };
    const JoinResult result = TextJoin::joinToDevice(paths, output, OutputEncoding::Utf8, options);
    QCOMPARE(result.status, JoinResult::Status::OutputFailed);
    QCOMPARE(result.outputError, QString("No space left on device"));
    QCOMPARE(result.bytesWritten, output.size());
    QVERIFY(result.bytesWritten >= leastWritten && result.bytesWritten <= capacity);
    // The join stops at once, a few chunks on at most, not at the end of the inputs.
    QVERIFY2(read < 1000, qPrintable(QString::number(read)));
}

namespace {

// A device whose writes take their time, as a slow disk's or a network share's do.
class SlowFile : public QFile
{
public:
    using QFile::QFile;

protected:
    qint64 writeData(const char *data, qint64 size) override
    {
        QThread::msleep(30);
        return QFile::writeData(data, size);
    }
};

} // namespace

// Writing runs on a thread of its own; the join must not return before it is done.
void TestJoiner::slowWritesAreAllDoneWhenTheJoinReturns()
{
    const QStringList paths = writeInputs({QByteArray(100, 'a'), QByteArray(100, 'b'), QByteArray(100, 'c')});
    SlowFile output(m_dir->filePath("out.txt"));
    QVERIFY(output.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    JoinOptions options;
    options.chunkSize = 100;
    const JoinResult result = TextJoin::joinToDevice(paths, output, OutputEncoding::Utf8, options);
    QCOMPARE(result.status, JoinResult::Status::Done);
    QCOMPARE(output.size(), 300);
    QCOMPARE(result.bytesWritten, 300);

    // Nor may a guess that turns out wrong go back over its output while the last of
    // it is still being written.
    SystemCodec korean("CP949");
    const QStringList redone = writeInputs({"HEAD", QByteArray(200, 'x') + cp949(QString::fromUtf8("가"))});
    SlowFile again(m_dir->filePath("again.txt"));
    QVERIFY(again.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    QVERIFY(TextJoin::joinToDevice(redone, again, OutputEncoding::Utf8, options).ok());
    QCOMPARE(readAll(again.fileName()), "HEAD" + QByteArray(200, 'x') + QString::fromUtf8("가").toUtf8());
}

#ifdef Q_OS_UNIX
void TestJoiner::fileSizeLimitGivesTheSystemsReason_data()
{
    QTest::addColumn<QList<QByteArray>>("inputs");
    QTest::addColumn<qint64>("chunk");
    QTest::addColumn<qint64>("limit");
    const QByteArray kib48(48 * 1024, 'a');
    QTest::newRow("part-way") << QList<QByteArray>{kib48, kib48} << qint64(1) << qint64(64 * 1024);
    QTest::newRow("in the last chunk") << QList<QByteArray>{kib48, QByteArray(24 * 1024, 'b')} << qint64(16 * 1024)
                                       << qint64(70 * 1024);
}

// A real write failure part-way through the real output file: the process may
// not grow files beyond a limit, so the system takes only part of a write; the
// target, smaller than the limit, must come through unchanged.
void TestJoiner::fileSizeLimitGivesTheSystemsReason()
{
    QFETCH(QList<QByteArray>, inputs);
    QFETCH(qint64, chunk);
    QFETCH(qint64, limit);

    const QString output = m_dir->filePath("out.txt");
    const QByteArray previous(1000, 'p');
    QVERIFY(QFile::rename(writeInputs({previous}).first(), output));
    const QStringList paths = writeInputs(inputs);
    JoinOptions options;
    if (chunk > 1)
        options.chunkSize = chunk;

    // SIGXFSZ keeps its default, which kills the process: the join must fail, not die.
    rlimit saved;
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = rlim_t(limit);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const JoinResult result = TextJoin::joinFiles(paths, output, OutputEncoding::Utf8, options);
    setrlimit(RLIMIT_FSIZE, &saved);

    QCOMPARE(result.status, JoinResult::Status::OutputFailed);
    QCOMPARE(result.outputError, QString("File too large"));
    QCOMPARE(result.bytesWritten, limit);
    QCOMPARE(readAll(output), previous);
}
#endif

// "ANSI" on this very system, with no codec installed in the system's place:
// where it means CP949, byte for byte what iconv writes; where it means CP1252
// (Western Windows), Hangul is refused, and named.
void TestJoiner::ansiIsTheSystemsOwnCodePage()
{
    m_system.reset();
#ifdef Q_OS_WIN
    const QString expected = qEnvironmentVariable("SHEAFWRIGHT_EXPECTED_ANSI");
    if (expected.isEmpty())
        QSKIP("SHEAFWRIGHT_EXPECTED_ANSI does not name the code page this Windows is set to");
#else
    const QString expected("CP949");
#endif
    const QString output = m_dir->filePath("out.txt");
    const JoinResult result = TextJoin::joinFiles({ANSI_SAMPLE ".utf8"}, output, OutputEncoding::Local8Bit);
    QCOMPARE(result.legacyCodePage, expected);
    if (expected == "CP949") {
        QCOMPARE(result.status, JoinResult::Status::Done);
        QVERIFY(readAll(output) == readAll(ANSI_SAMPLE ".cp949"));
    } else {
        QCOMPARE(result.status, JoinResult::Status::Unrepresentable);
        QCOMPARE(result.unrepresentable, QString::fromUtf8("가"));
    }
}

void TestJoiner::anInputCanBeTheOutput()
{
    const QStringList paths = writeInputs({"first\n", "second\n"});
    // The file replaced keeps its permissions.
    const auto permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    QVERIFY(QFile::setPermissions(paths[0], permissions));
    QVERIFY(TextJoin::joinFiles({paths[0], paths[1], paths[0]}, paths[0], OutputEncoding::Utf8).ok());
    QCOMPARE(readAll(paths[0]), QByteArray("first\nsecond\nfirst\n"));
#ifdef Q_OS_UNIX
    QCOMPARE(QFile::permissions(paths[0]) & ~(QFile::ReadUser | QFile::WriteUser), permissions);
#endif
}

// Names as people give them: Hangul, spaces, and backslashes, which are the
// separator on Windows and a character of the name elsewhere.
void TestJoiner::namesWithHangulSpacesAndBackslashes()
{
    const QString folder = m_dir->filePath(QString::fromUtf8("소설 원고"));
    QVERIFY(QDir().mkdir(folder));
#ifdef Q_OS_WIN
    const QString input = QDir::toNativeSeparators(folder + QString::fromUtf8("/제1화 시작.txt"));
    const QString output = QDir::toNativeSeparators(folder + QString::fromUtf8("/묶은 결과.txt"));
#else
    const QString input = folder + QString::fromUtf8("/제1화\\시작.txt");
    const QString output = folder + QString::fromUtf8("/묶은\\결과.txt");
#endif
    QFile file(input);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(cp949(QString::fromUtf8("가나다"))) == 6);
    file.close();
    QVERIFY(TextJoin::joinFiles({input}, output, OutputEncoding::Utf8).ok());
    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 2);
    QCOMPARE(readAll(output), QString::fromUtf8("가나다").toUtf8());

    // A name of 250 bytes in UTF-8, near the limit of 255, already there: the
    // file that replaces it is made under a name of its own length.
    const QString longName = QString(83, QChar(0xAC00)) + QLatin1Char('x');
    const QString longOutput = folder + QLatin1Char('/') + longName;
    QCOMPARE(longName.toUtf8().size(), 250);
    QVERIFY(QFile::copy(output, longOutput));
    QVERIFY(TextJoin::joinFiles({input, input}, longOutput, OutputEncoding::Utf8).ok());
    QCOMPARE(readAll(longOutput), QString::fromUtf8("가나다가나다").toUtf8());
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 3);
}

// The link stays, and the file it points to gets the output. On Windows that is
// a symbolic link: a shortcut (.lnk) is a file of the shell's, not a link.
void TestJoiner::aLinkToAFileStaysALink()
{
    const QStringList paths = writeInputs({"new\n", "old\n"});
    const QString link = m_dir->filePath("link.txt");
#ifdef Q_OS_WIN
    const auto native = [](const QString &path) {
        return reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16());
    };
    if (!CreateSymbolicLinkW(native(link), native(paths[1]), SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
        QSKIP("this Windows lets only administrators and developers make symbolic links");
    if (!QFileInfo(link).isSymLink())
        QSKIP("the link was made, but the system does not report it as one (Wine has no reparse points)");
#else
    QVERIFY(QFile::link(paths[1], link));
#endif
    QVERIFY(TextJoin::joinFiles({paths[0]}, link, OutputEncoding::Utf8).ok());
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(readAll(paths[1]), QByteArray("new\n"));
#ifdef Q_OS_UNIX
    // A relative link is followed from where it lies, as the system follows it:
    // after a folder that is a link, ".." is the parent of where that leads.
    const QDir dir(m_dir->path());
    QVERIFY(dir.mkpath("a") && dir.mkpath("b/c"));
    QVERIFY(::symlink("../b/c", QFile::encodeName(dir.filePath("a/link")).constData()) == 0
            && ::symlink("../real.txt", QFile::encodeName(dir.filePath("b/c/out.txt")).constData()) == 0);
    QVERIFY(QFile::copy(paths[1], dir.filePath("a/real.txt")) && QFile::copy(paths[1], dir.filePath("b/real.txt")));
    QVERIFY(TextJoin::joinFiles({paths[1], paths[1]}, dir.filePath("a/link/out.txt"), OutputEncoding::Utf8).ok());
    QCOMPARE(readAll(dir.filePath("b/real.txt")), QByteArray("new\nnew\n"));
    QCOMPARE(readAll(dir.filePath("a/real.txt")), QByteArray("new\n"));
#endif
}

void TestJoiner::windowsPathsAreOpenedByTheirExactNames_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("exact");
    QTest::newRow("a drive") << "c:/Users/t.txt" << "" << R"(\\?\C:\Users\t.txt)";
    QTest::newRow("a trailing dot and a trailing space stay")
        << R"(C:\a\t.txt.)" << "" << R"(\\?\C:\a\t.txt.)";
    QTest::newRow("trailing space") << "C:/a/s.txt " << "" << R"(\\?\C:\a\s.txt )";
    QTest::newRow("dots and doubled separators") << R"(C:\a\.\b\..\\c\d.txt)" << "" << R"(\\?\C:\a\c\d.txt)";
    QTest::newRow("never above the drive") << "C:/../../x.txt" << "" << R"(\\?\C:\x.txt)";
    QTest::newRow("a share") << "//server/share/dir/../x.txt" << "" << R"(\\?\UNC\server\share\x.txt)";
    QTest::newRow("never above the share") << R"(\\server\share\..\..\x.txt)" << "" << R"(\\?\UNC\server\share\x.txt)";
    QTest::newRow("relative") << R"(sub\x.txt)" << R"(C:\work)" << R"(\\?\C:\work\sub\x.txt)";
    QTest::newRow("from the current root") << R"(\top.txt)" << R"(\\server\share\dir)"
                                           << R"(\\?\UNC\server\share\top.txt)";
    QTest::newRow("already exact") << R"(\\?\C:\a\..\t.)" << "" << R"(\\?\C:\a\..\t.)";
    QTest::newRow("a device") << "//./NUL" << "" << R"(\\.\NUL)";
    QTest::newRow("a drive's own current folder") << "C:x.txt" << R"(D:\work)" << "C:x.txt";
}

void TestJoiner::windowsPathsAreOpenedByTheirExactNames()
{
    QFETCH(QString, path);
    QFETCH(QString, current);
    QFETCH(QString, exact);
    QCOMPARE(TextJoin::extendedLengthPath(path, current), exact);
}

#ifdef Q_OS_WIN
// Windows strips a trailing dot or space from a name, and stops at 260
// characters, unless told the path is exact.
void TestJoiner::trailingDotsAndLongPathsAreTheirOwnFiles()
{
    const auto exact = [](const QString &path) {
        return reinterpret_cast<const wchar_t *>(TextJoin::extendedLengthPath(path, QString()).utf16());
    };
    const auto write = [&](const QString &path, const QByteArray &content) {
        const HANDLE file = CreateFileW(exact(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD wrote = 0;
        const bool ok = file != INVALID_HANDLE_VALUE
            && WriteFile(file, content.constData(), DWORD(content.size()), &wrote, nullptr);
        CloseHandle(file);
        return ok && wrote == DWORD(content.size());
    };
    const auto read = [&](const QString &path) {
        const HANDLE file = CreateFileW(exact(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        char buffer[256];
        DWORD got = 0;
        const bool ok = file != INVALID_HANDLE_VALUE && ReadFile(file, buffer, sizeof buffer, &got, nullptr);
        CloseHandle(file);
        return ok ? QByteArray(buffer, int(got)) : QByteArray("(unreadable)");
    };
    const QString folder = m_dir->path();
    QVERIFY(write(folder + "/t.txt", "plain\n") && write(folder + "/t.txt.", "dotted\n")
            && write(folder + "/s.txt ", "spaced\n"));
    const QString output = folder + "/out.txt.";
    QVERIFY(TextJoin::joinFiles({folder + "/t.txt.", folder + "/s.txt ", folder + "/t.txt"}, output,
                                OutputEncoding::Utf8).ok());
    QCOMPARE(read(output), QByteArray("dotted\nspaced\nplain\n"));
    QVERIFY(!QFileInfo::exists(folder + "/out.txt"));

    // More than 300 characters of folders.
    QString deep = folder;
    while (deep.size() <= 300) {
        deep += QString::fromUtf8("/긴 폴더 이름 0123456789");
        QVERIFY(CreateDirectoryW(exact(deep), nullptr));
    }
    QVERIFY(write(deep + "/in.txt", "deep\n"));
    QVERIFY(TextJoin::joinFiles({deep + "/in.txt", folder + "/t.txt."}, deep + "/out.txt", OutputEncoding::Utf8).ok());
    QCOMPARE(read(deep + "/out.txt"), QByteArray("deep\ndotted\n"));
    // Qt would remove them by their stripped names.
    for (const char *name : {"/t.txt.", "/s.txt ", "/out.txt."})
        QVERIFY(DeleteFileW(exact(folder + name)));
}
#endif

QTEST_GUILESS_MAIN(TestJoiner)
#include "test_joiner.moc"
