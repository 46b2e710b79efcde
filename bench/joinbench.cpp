// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

// Measures the joining core against a plain byte copy of the same files.
//
//   joinbench [SIZE] [--repeat N] [--dir DIR] [--chunk SIZE]
//   joinbench --many COUNTxSIZE [--repeat N] [--dir DIR]
//
// SIZE is the UTF-8 corpus size (default 1G; suffixes K, M, G). The corpus is
// made in a temporary folder under DIR (default: the system's temporary folder)
// and removed afterwards. --chunk sets how much the joiner reads at a time.
//
// --many joins COUNT small UTF-8 files of SIZE each instead (3000x4K, say),
// where what is done once per file counts, not the converting: it reports the
// median and the best of N runs (default 11) of a join and of a plain copy.

#include "joiner.h"
#include "legacycodepage.h"
#include "platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTextCodec>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <optional>
#include <random>
#include <vector>

namespace {

constexpr int fileCount = 8;
constexpr qint64 mib = 1024 * 1024;

struct Corpus
{
    QStringList files;
    qint64 bytes = 0;
    qint64 expectedUtf8Bytes = 0;
    qint64 expectedCp949Bytes = 0;
};

enum class FileEncoding { Utf8, Utf16LE, Cp949 };

qint64 parseSize(const QString &text, bool *ok)
{
    qint64 factor = 1;
    QString digits = text.trimmed().toUpper();
    if (digits.endsWith('B'))
        digits.chop(1);
    if (digits.endsWith('K'))
        factor = 1024;
    else if (digits.endsWith('M'))
        factor = mib;
    else if (digits.endsWith('G'))
        factor = 1024 * mib;
    if (factor != 1)
        digits.chop(1);
    const qint64 value = digits.toLongLong(ok);
    return value * factor;
}

// Half a million characters of lines mixing Hangul and ASCII; every fifth line ends in CR LF.
QString sampleText()
{
    const QStringList words = {
        QString::fromUtf8("그날"),     QString::fromUtf8("밤"),       QString::fromUtf8("우리는"),
        QString::fromUtf8("서울역에서"), QString::fromUtf8("만났다."),  QString::fromUtf8("기차가"),
        QString::fromUtf8("늦었고"),   QString::fromUtf8("비가"),     QString::fromUtf8("내렸다."),
        "The",  "train", "was", "late", "(2024-05-01)", "log:", "INFO", "request", "id=42", "ok",
    };
    std::mt19937 random(20261208);
    QString text;
    int line = 0;
    while (text.size() < 512 * 1024) {
        const int length = 4 + int(random() % 12);
        for (int i = 0; i < length; ++i) {
            if (i)
                text += ' ';
            text += words.at(int(random() % words.size()));
        }
        text += (++line % 5 == 0) ? QStringLiteral("\r\n") : QStringLiteral("\n");
    }
    return text;
}

// CP949 as the joiner converts it. Only Windows has a converter of its own: this
// way the benchmark also builds with the cores of earlier revisions, which
// bench/against-revision.sh measures beside this one.
QTextCodec *cp949Codec()
{
#ifdef Q_OS_WIN
    return TextJoin::LegacyCodePage::cp949();
#else
    return QTextCodec::codecForName("CP949");
#endif
}

QByteArray toCp949(const QString &text)
{
    return cp949Codec()->fromUnicode(text);
}

// Writes the corpus files, each `perFile` bytes of UTF-8 text cut at a line end,
// in UTF-8 or, from the same text, in UTF-16LE with a byte-order mark or in CP949.
QStringList writeFiles(const QString &dir, FileEncoding encoding, const QString &text, qint64 perFile)
{
    const auto inFileEncoding = [encoding](const QString &part) -> QByteArray {
        switch (encoding) {
        case FileEncoding::Utf16LE:
            return QStringEncoder(QStringEncoder::Utf16LE).encode(part);
        case FileEncoding::Cp949:
            return toCp949(part);
        case FileEncoding::Utf8:
            break;
        }
        return part.toUtf8();
    };
    const char *prefix = encoding == FileEncoding::Utf8 ? "utf8" : encoding == FileEncoding::Utf16LE ? "utf16le" : "cp949";
    const QByteArray utf8Block = text.toUtf8();
    const QByteArray block = inFileEncoding(text);
    QByteArray utf8Tail = utf8Block.left(perFile % utf8Block.size());
    utf8Tail.truncate(utf8Tail.lastIndexOf('\n') + 1);
    const QByteArray tail = inFileEncoding(QString::fromUtf8(utf8Tail));

    QStringList paths;
    for (int i = 0; i < fileCount; ++i) {
        const QString path = QDir(dir).filePath(QStringLiteral("%1-%2.txt").arg(prefix).arg(i));
        QFile file(path);
        bool ok = file.open(QIODevice::WriteOnly);
        if (ok && encoding == FileEncoding::Utf16LE)
            ok = file.write("\xFF\xFE", 2) == 2;
        for (qint64 b = 0; ok && b < perFile / utf8Block.size(); ++b)
            ok = file.write(block) == block.size();
        if (ok)
            ok = file.write(tail) == tail.size();
        if (!ok) {
            std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path), qPrintable(file.errorString()));
            std::exit(1);
        }
        paths << path;
    }
    return paths;
}

qint64 totalSize(const QStringList &files)
{
    qint64 total = 0;
    for (const QString &file : files)
        total += QFileInfo(file).size();
    return total;
}

// Reads each input a chunk at a time and writes what `write` makes of every
// chunk; `startFile` runs before each input. With `durable`, the output is
// flushed to the disk at the end, as the joiner's save is.
bool streamFiles(const QStringList &inputs, const QString &outputPath, bool durable,
                 const std::function<void()> &startFile,
                 const std::function<bool(const char *, qint64, QFile &)> &write)
{
    QFile output(outputPath);
    if (!output.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    QByteArray buffer(int(mib), Qt::Uninitialized);
    for (const QString &path : inputs) {
        QFile input(path);
        if (!input.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            return false;
        startFile();
        for (;;) {
            const qint64 got = input.read(buffer.data(), buffer.size());
            if (got < 0)
                return false;
            if (got == 0)
                break;
            if (!write(buffer.constData(), got, output))
                return false;
        }
    }
    return !durable || flushToDisk(output);
}

// What cat does: read each file and append its bytes, nothing else; so that,
// flushed, it differs from a join only in the joining work.
bool copyBytes(const QStringList &inputs, const QString &outputPath, bool durable)
{
    return streamFiles(inputs, outputPath, durable, [] {}, [](const char *data, qint64 size, QFile &output) {
        return output.write(data, size) == size;
    });
}

// The same conversions as Qt's codec makes them, chunk by chunk, for comparison
// with the joiner's own converters.
bool convertThroughCodec(const QStringList &inputs, const QString &outputPath, QTextCodec *from, QTextCodec *to)
{
    QTextCodec::ConverterState decodeState;
    QTextCodec::ConverterState encodeState;
    return streamFiles(
        inputs, outputPath, true, [&] { decodeState = QTextCodec::ConverterState(); },
        [&](const char *data, qint64 size, QFile &output) {
            const QString text = from->toUnicode(data, int(size), &decodeState);
            const QByteArray bytes = to->fromUnicode(text.constData(), int(text.size()), &encodeState);
            return !decodeState.invalidChars && !encodeState.invalidChars && output.write(bytes) == bytes.size();
        });
}

struct Case
{
    QByteArray name;
    const Corpus *corpus;
    std::function<bool()> run; // false when the output is missing or of the wrong size
    int baseline;              // the case whose time this one is compared with
    double best = std::numeric_limits<double>::max();
    qint64 peakMiB = 0;
    bool failed = false;
};

// Runs the cases in turns rather than one after another, so that whatever the
// disk is doing in the background falls on all of them alike.
void runInTurns(std::vector<Case> &cases, int repeat, const QString &output)
{
    for (int round = 0; round < repeat; ++round) {
        for (Case &c : cases) {
            if (c.failed)
                continue;
            // Start every run with no dirty pages from the one before.
            flushAllToDisk();
            QElapsedTimer timer;
            timer.start();
            c.failed = !c.run();
            c.best = std::min(c.best, timer.nsecsElapsed() / 1e9);
            QFile::remove(output);
            if (round == 0)
                c.peakMiB = peakResidentMiB();
        }
    }
}

void report(const Case &c, const Case &baseline)
{
    if (c.failed) {
        std::printf("%-30s FAILED (wrong or missing output)\n", c.name.constData());
        return;
    }
    std::printf("%-30s %8.3f s %9.1f MiB/s %7.2fx copy %6lld MiB peak RSS\n", c.name.constData(), c.best,
                c.corpus->bytes / double(mib) / c.best, c.best / baseline.best, c.peakMiB);
}

struct ManyFiles
{
    int count = 0;
    qint64 size = 0;
};

// "3000x4K"
bool parseMany(const QString &text, ManyFiles *many)
{
    const QStringList parts = text.split(QLatin1Char('x'));
    bool countOk = false;
    bool sizeOk = false;
    if (parts.size() == 2) {
        many->count = parts[0].toInt(&countOk);
        many->size = parseSize(parts[1], &sizeOk);
    }
    return countOk && sizeOk && many->count > 0 && many->size > 0;
}

double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    const std::size_t middle = times.size() / 2;
    return times.size() % 2 ? times[middle] : (times[middle - 1] + times[middle]) / 2;
}

int runManyFiles(const ManyFiles &many, int repeat, const QString &dir, TextJoin::JoinOptions options)
{
    // Whole lines of the sample text, as many as fit.
    QByteArray content = sampleText().toUtf8().left(int(many.size));
    content.truncate(content.lastIndexOf('\n') + 1);
    QStringList files;
    for (int i = 0; i < many.count; ++i) {
        const QString path = QDir(dir).filePath(QStringLiteral("small-%1.txt").arg(i, 5, 10, QLatin1Char('0')));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        files << path;
    }
    const qint64 bytes = qint64(content.size()) * many.count;
    std::printf("corpus: %d UTF-8 files of %.1f KiB, %.1f MiB in all; median and best of %d\n", many.count,
                content.size() / 1024.0, bytes / double(mib), repeat);

    const QString output = QDir(dir).filePath("joined.txt");
    options.progress = [](qint64) { return true; };
    struct Timed
    {
        const char *name;
        std::function<bool()> run;
        std::vector<double> times;
    };
    std::vector<Timed> cases = {
        {"byte copy", [&] { return copyBytes(files, output, true) && QFileInfo(output).size() == bytes; }, {}},
        {"join, UTF-8 -> UTF-8",
         [&] {
             return TextJoin::joinFiles(files, output, TextJoin::OutputEncoding::Utf8, options).ok()
                 && QFileInfo(output).size() == bytes;
         },
         {}},
    };
    for (int round = 0; round < repeat; ++round) {
        for (Timed &c : cases) {
            flushAllToDisk();
            QElapsedTimer timer;
            timer.start();
            if (!c.run()) {
                std::printf("%-24s FAILED (wrong or missing output)\n", c.name);
                return 1;
            }
            c.times.push_back(timer.nsecsElapsed() / 1e6);
            QFile::remove(output);
        }
    }
    const double copyMedian = median(cases[0].times);
    for (const Timed &c : cases) {
        std::printf("%-24s %8.1f ms median %8.1f ms best %7.2fx copy %7.1f us a file\n", c.name, median(c.times),
                    *std::min_element(c.times.begin(), c.times.end()), median(c.times) / copyMedian,
                    median(c.times) * 1000 / many.count);
    }
    return 0;
}

struct Settings
{
    qint64 size = 1024 * mib;
    int repeat = 0;
    ManyFiles many;
    TextJoin::JoinOptions options;
    QString baseDir = QDir::tempPath();
};

std::optional<Settings> parseArguments(const QStringList &args)
{
    Settings settings;
    for (int i = 0; i < args.size(); ++i) {
        bool ok = true;
        if (args[i] == "--repeat" && i + 1 < args.size())
            settings.repeat = args[++i].toInt(&ok);
        else if (args[i] == "--dir" && i + 1 < args.size())
            settings.baseDir = args[++i];
        else if (args[i] == "--chunk" && i + 1 < args.size())
            settings.options.chunkSize = parseSize(args[++i], &ok);
        else if (args[i] == "--many" && i + 1 < args.size())
            ok = parseMany(args[++i], &settings.many);
        else
            settings.size = parseSize(args[i], &ok);
        if (!ok || settings.size <= 0 || settings.repeat < 0 || settings.options.chunkSize <= 0)
            return std::nullopt;
    }
    if (settings.repeat == 0)
        settings.repeat = settings.many.count ? 11 : 3;
    return settings;
}

// The same text in each encoding, in files of the same count.
struct Corpora
{
    Corpus utf8;
    Corpus utf16;
    Corpus cp949;
};

void writeCorpora(const QString &dir, qint64 size, Corpora &corpora)
{
    const QString text = sampleText();
    const std::pair<Corpus *, FileEncoding> kinds[] = {{&corpora.utf8, FileEncoding::Utf8},
                                                       {&corpora.utf16, FileEncoding::Utf16LE},
                                                       {&corpora.cp949, FileEncoding::Cp949}};
    for (const auto &[corpus, encoding] : kinds) {
        corpus->files = writeFiles(dir, encoding, text, size / fileCount);
        corpus->bytes = totalSize(corpus->files);
    }
    for (Corpus *corpus : {&corpora.utf8, &corpora.utf16, &corpora.cp949}) {
        corpus->expectedUtf8Bytes = corpora.utf8.bytes;
        corpus->expectedCp949Bytes = corpora.cp949.bytes;
    }
}

// Each path of the large-files run, measured against a byte copy of the larger of
// its input and output. The cases refer to the corpora, the output and the options.
std::vector<Case> largeFileCases(const Corpora &corpora, const QString &output, const TextJoin::JoinOptions &options,
                                 const TextJoin::LegacyCodePage &ansi)
{
    const Corpus &utf8 = corpora.utf8;
    const Corpus &utf16 = corpora.utf16;
    const Corpus &cp949 = corpora.cp949;
    const auto copy = [&](const Corpus &corpus, bool durable) {
        return [&corpus, &output, durable] {
            return copyBytes(corpus.files, output, durable) && QFileInfo(output).size() == corpus.bytes;
        };
    };
    // Only where ANSI is CP949 is the size of its output known beforehand.
    const bool ansiIsCp949 = ansi.name() == QLatin1String("CP949");
    const auto expectedSize = [ansiIsCp949](const Corpus &corpus, TextJoin::OutputEncoding encoding) -> qint64 {
        if (encoding == TextJoin::OutputEncoding::Utf8)
            return corpus.expectedUtf8Bytes;
        return ansiIsCp949 ? corpus.expectedCp949Bytes : -1;
    };
    const auto join = [&](const Corpus &corpus, TextJoin::OutputEncoding encoding) {
        return [&corpus, &output, &options, encoding, expected = expectedSize(corpus, encoding)] {
            const TextJoin::JoinResult result = TextJoin::joinFiles(corpus.files, output, encoding, options);
            const qint64 written = QFileInfo(output).size();
            return result.ok() && written == result.bytesWritten && (expected < 0 || written == expected);
        };
    };
    const auto throughCodec = [&](const Corpus &corpus, QTextCodec *from, QTextCodec *to, qint64 expected) {
        return [&corpus, &output, from, to, expected] {
            return convertThroughCodec(corpus.files, output, from, to)
                && (expected < 0 || QFileInfo(output).size() == expected);
        };
    };
    QTextCodec *utf8Codec = QTextCodec::codecForName("UTF-8");
    const QByteArray toAnsi = "UTF-8 -> ANSI (" + ansi.name().toLatin1() + ")";
    enum { CopyUtf8 = 1, CopyUtf16 = 2 };
    return {
        {"cat-like copy, UTF-8", &utf8, copy(utf8, false), CopyUtf8},
        {"byte copy, UTF-8", &utf8, copy(utf8, true), CopyUtf8},
        {"byte copy, UTF-16LE", &utf16, copy(utf16, true), CopyUtf16},
        {"UTF-8 -> UTF-8", &utf8, join(utf8, TextJoin::OutputEncoding::Utf8), CopyUtf8},
        {"UTF-16LE -> UTF-8", &utf16, join(utf16, TextJoin::OutputEncoding::Utf8), CopyUtf16},
        {"CP949 -> UTF-8", &cp949, join(cp949, TextJoin::OutputEncoding::Utf8), CopyUtf8},
        {toAnsi, &utf8, join(utf8, TextJoin::OutputEncoding::Local8Bit), CopyUtf8},
        {"CP949 -> UTF-8, codec", &cp949, throughCodec(cp949, cp949Codec(), utf8Codec, utf8.bytes), CopyUtf8},
        {toAnsi + ", codec", &utf8,
         throughCodec(utf8, utf8Codec, ansi.codec(), expectedSize(utf8, TextJoin::OutputEncoding::Local8Bit)),
         CopyUtf8},
    };
}

int runLargeFiles(qint64 size, int repeat, const QString &dir, TextJoin::JoinOptions options)
{
    Corpora corpora;
    writeCorpora(dir, size, corpora);
    // The corpus is Korean: where "ANSI" is another code page (Western Windows),
    // the benchmark runs as Korean Windows would.
    if (TextJoin::LegacyCodePage::system().name() != QLatin1String("CP949"))
        QTextCodec::setCodecForLocale(cp949Codec());
    const TextJoin::LegacyCodePage ansi = TextJoin::LegacyCodePage::system();
    if (!ansi.isAvailable()) {
        std::fprintf(stderr, "this system has no converter for %s\n", qPrintable(ansi.name()));
        return 1;
    }
    std::printf("corpus: %d files each of UTF-8, %.1f MiB; UTF-16LE, %.1f MiB; CP949, %.1f MiB; "
                "ANSI is %s; best of %d\n",
                fileCount, corpora.utf8.bytes / double(mib), corpora.utf16.bytes / double(mib),
                corpora.cp949.bytes / double(mib), qPrintable(ansi.name()), repeat);

    // Joins report their progress and are asked whether to go on, as the window's are.
    std::atomic<qint64> inputRead{0};
    std::atomic<bool> cancelled{false};
    options.progress = [&](qint64 read) {
        inputRead = read;
        return !cancelled;
    };
    const QString output = QDir(dir).filePath("joined.txt");
    std::vector<Case> cases = largeFileCases(corpora, output, options, ansi);
    runInTurns(cases, repeat, output);

    bool allGood = true;
    for (const Case &c : cases) {
        report(c, cases[std::size_t(c.baseline)]);
        allGood = allGood && !c.failed;
    }
    return allGood ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const std::optional<Settings> settings = parseArguments(app.arguments().mid(1));
    if (!settings) {
        std::fprintf(stderr, "usage: joinbench [SIZE] [--repeat N] [--dir DIR] [--chunk SIZE]\n"
                             "       joinbench --many COUNTxSIZE [--repeat N] [--dir DIR]\n");
        return 2;
    }
    QTemporaryDir dir(QDir(settings->baseDir).filePath("joinbench-XXXXXX"));
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot create a folder under %s\n", qPrintable(settings->baseDir));
        return 1;
    }
    if (settings->many.count)
        return runManyFiles(settings->many, settings->repeat, dir.path(), settings->options);
    return runLargeFiles(settings->size, settings->repeat, dir.path(), settings->options);
}
