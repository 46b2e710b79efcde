// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "joiner.h"

#include "backgroundwriter.h"
#include "helperthread.h"
#include "inputfile.h"
#include "legacycodepage.h"
#include "unicodeinput.h"
#include "utf8.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace TextJoin {

namespace {

// What a chunk may begin with from before: the first bytes of a file that were
// read to look for a byte-order mark and are none, or the partial character a
// chunk ended with (three bytes of UTF-8 or UTF-32, or a high surrogate plus an
// odd byte of UTF-16).
constexpr qint64 maxCarry = 4;

// Memory use is a small multiple of the chunk size; beyond this, larger chunks
// gain nothing.
constexpr qint64 maxChunkSize = 64 << 20;

enum class Outcome { Ok, InvalidInput, ReadFailed, Stopped };

// Chunks at least this large are converted in two halves at once, where the
// conversion is the slow part of a join (the legacy code page's).
constexpr std::size_t minimumSplitChunk = 64 * 1024;

class Joiner
{
public:
    Joiner(QFileDevice &output, OutputEncoding encoding, const JoinOptions &options);

    void add(const QString &path);
    JoinResult finish();

private:
    // Decodes and writes the rest of an input, which begins with `start`.
    Outcome copy(QFile &input, Source source, const QByteArray &start);
    bool passesThrough(Source source) const;
    qint64 consume(Source source, const char *data, qint64 size);
    qint64 consumeUtf8(const char *data, qint64 size);
    qint64 consumeUtf16(Source source, const char *data, qint64 size);
    qint64 consumeUtf32(Source source, const char *data, qint64 size);
    qint64 consumeLocal(const char *data, qint64 size);

    void emitText(QStringView text);
    void submit(qint64 size);
    void rewindOutput(qint64 offset);
    void stop(JoinResult::Status status, const QString &outputError = QString());
    bool readSoFar(qint64 fileRead);
    bool goOn();
    void recordUnrepresentable(QStringView text, qsizetype index);
    HelperThread &helper();
    QString sourceName(Source source) const;

    QFileDevice &m_output;
    const LegacyCodePage m_legacy;
    const bool m_utf8Output;
    const qint64 m_chunkSize;
    const qint64 m_outputStart;

    std::vector<char> m_input;
    std::vector<char16_t> m_units;
    std::unique_ptr<LegacyDecoder> m_legacyDecoder;
    std::unique_ptr<LegacyEncoder> m_legacyEncoder;
    std::unique_ptr<HelperThread> m_helper;
    ChangeWatch m_watch;

    // Cleared by the first fault: later inputs are still checked, so that every
    // unusable one can be named, but nothing more is written.
    bool m_writing = true;
    // Set by a failure that ends the join at once.
    bool m_stopped = false;
    // Offsets from m_outputStart: the end of what was handed to the writer, and
    // the furthest it ever reached before an input was redone.
    qint64 m_submitted = 0;
    qint64 m_furthest = 0;
    // Input bytes read: of the inputs before this one, and of this one in this
    // attempt and at the furthest in any attempt.
    qint64 m_readBefore = 0;
    qint64 m_fileRead = 0;
    qint64 m_fileFurthest = 0;
    const std::function<bool(qint64)> m_progress;
    JoinResult m_result;
    BackgroundWriter m_writer;
};

Joiner::Joiner(QFileDevice &output, OutputEncoding encoding, const JoinOptions &options)
    : m_output(output)
    , m_legacy(LegacyCodePage::system())
    , m_utf8Output(encoding == OutputEncoding::Utf8)
    , m_chunkSize(std::clamp<qint64>(options.chunkSize, 1, maxChunkSize))
    , m_outputStart(output.pos())
    , m_input(std::size_t(m_chunkSize + maxCarry))
    , m_progress(options.progress)
    , m_writer(output)
{
    m_result.legacyCodePage = m_legacy.name();
    if (m_utf8Output)
        return;
    if (m_legacy.isAvailable()) {
        m_legacyEncoder = std::make_unique<LegacyEncoder>(m_legacy.codec());
    } else {
        stop(JoinResult::Status::NoLegacyCodePage);
    }
}

void Joiner::add(const QString &path)
{
    if (m_stopped)
        return;
    m_readBefore += m_fileFurthest;
    m_fileRead = m_fileFurthest = 0;
    const auto fault = [&](InputFault::Kind kind, const QString &detail) {
        m_result.inputFaults.append({path, kind, detail});
        m_writing = false;
    };

    QFile input;
    const OpenedInput opened = openRegularFile(path, input, &m_watch);
    switch (opened.outcome) {
    case OpenedInput::Outcome::Opened:
        break;
    case OpenedInput::Outcome::NotRegularFile:
        fault(InputFault::Kind::NotRegularFile, QString());
        return;
    case OpenedInput::Outcome::InUse:
        fault(InputFault::Kind::InUse, QString());
        return;
    case OpenedInput::Outcome::Failed:
        fault(InputFault::Kind::CannotRead, opened.error);
        return;
    }
    // Bytes read are one version of the file only if nothing wrote to it, cut it
    // or grew it meanwhile; a file renamed over it is another file and leaves
    // what the open input reads alone.
    const auto changedSinceOpened = [&] {
        InputState now;
        return !currentState(input, &now) || !sameContent(opened.state, now, m_watch.seen());
    };
    // Only the very first bytes of a file can be a byte-order mark; what follows
    // it is where decoding starts.
    char head[4];
    qint64 headSize = 0;
    while (headSize < qint64(sizeof head)) {
        const qint64 got = input.read(head + headSize, qint64(sizeof head) - headSize);
        if (got < 0) {
            fault(InputFault::Kind::CannotRead, input.errorString());
            return;
        }
        if (got == 0)
            break;
        headSize += got;
    }
    if (!readSoFar(headSize))
        return;
    ByteOrderMark mark{Source::Utf8, 0};
    const bool marked = detectByteOrderMark(reinterpret_cast<const unsigned char *>(head), headSize, &mark);
    const QByteArray afterMark(head + mark.length, headSize - mark.length);

    const qint64 outputStart = m_submitted;
    const bool writingBefore = m_writing;
    const QString unrepresentableBefore = m_result.unrepresentable;
    Source source = mark.source;
    Outcome outcome = copy(input, source, afterMark);
    // Without a mark, UTF-8 is only a guess; text that is not valid UTF-8 is in
    // the legacy code page, so it is decoded again from the start with that, and
    // whatever the guess wrote or found unencodable is forgotten.
    if (outcome == Outcome::InvalidInput && !marked && !changedSinceOpened()) {
        if (!m_legacy.isAvailable()) {
            stop(JoinResult::Status::NoLegacyCodePage);
            return;
        }
        source = Source::Local;
        // The input is a regular file, so it can be read again from the start.
        if (!input.seek(0)) {
            fault(InputFault::Kind::CannotRead, input.errorString());
            return;
        }
        m_writing = writingBefore;
        m_result.unrepresentable = unrepresentableBefore;
        rewindOutput(outputStart);
        m_fileRead = 0;
        outcome = copy(input, source, QByteArray());
    }
    if (outcome == Outcome::Stopped)
        return;
    if (changedSinceOpened() || (outcome == Outcome::Ok && m_fileRead != opened.state.size))
        fault(InputFault::Kind::Changed, QString());
    else if (outcome == Outcome::InvalidInput)
        fault(InputFault::Kind::BadEncoding, sourceName(source));
    else if (outcome == Outcome::ReadFailed)
        fault(InputFault::Kind::CannotRead, input.errorString());
}

Outcome Joiner::copy(QFile &input, Source source, const QByteArray &start)
{
    if (source == Source::Local)
        m_legacyDecoder = std::make_unique<LegacyDecoder>(m_legacy.codec());
    char carry[maxCarry];
    qint64 carried = start.size();
    std::memcpy(carry, start.constData(), std::size_t(carried));
    bool startSeen = carried == 0;
    for (;;) {
        // UTF-8 that goes out as UTF-8 is read straight into a buffer of the
        // writer: once checked, the bytes are written as they are.
        const bool direct = passesThrough(source);
        char *buffer = direct ? m_writer.take(std::size_t(m_chunkSize + maxCarry)) : m_input.data();
        std::memcpy(buffer, carry, std::size_t(carried));
        const qint64 got = input.read(buffer + carried, m_chunkSize);
        if (got < 0 || (got == 0 && startSeen)) {
            if (direct)
                m_writer.submit(0);
            if (got < 0)
                return Outcome::ReadFailed;
            if (carried != 0 || (source == Source::Local && !m_legacyDecoder->endsCleanly()))
                return Outcome::InvalidInput;
            return Outcome::Ok;
        }
        startSeen = true;
        if (!readSoFar(m_fileRead + got)) {
            if (direct)
                m_writer.submit(0);
            return Outcome::Stopped;
        }
        const qint64 size = carried + got;
        qint64 used;
        if (direct) {
            const Utf8Scan scan = scanUtf8(reinterpret_cast<const unsigned char *>(buffer), std::size_t(size));
            used = scan.valid ? qint64(scan.complete) : -1;
            if (used >= 0) {
                carried = size - used;
                std::memcpy(carry, buffer + used, std::size_t(carried));
            }
            submit(std::max<qint64>(used, 0));
        } else {
            used = consume(source, buffer, size);
            if (used >= 0) {
                carried = size - used;
                std::memcpy(carry, buffer + used, std::size_t(carried));
            }
        }
        if (m_stopped)
            return Outcome::Stopped;
        if (used < 0)
            return Outcome::InvalidInput;
    }
}

bool Joiner::passesThrough(Source source) const
{
    return source == Source::Utf8 && m_utf8Output && m_writing;
}

// Decodes and writes the complete characters at the start of the data; returns
// how many bytes it used, or -1 when the data is not valid in its encoding.
qint64 Joiner::consume(Source source, const char *data, qint64 size)
{
    switch (source) {
    case Source::Utf8:
        return consumeUtf8(data, size);
    case Source::Utf16LE:
    case Source::Utf16BE:
        return consumeUtf16(source, data, size);
    case Source::Utf32LE:
    case Source::Utf32BE:
        return consumeUtf32(source, data, size);
    case Source::Local:
        return consumeLocal(data, size);
    }
    return -1;
}

qint64 Joiner::consumeUtf8(const char *data, qint64 size)
{
    const Utf8Scan scan = scanUtf8(reinterpret_cast<const unsigned char *>(data), std::size_t(size));
    if (!scan.valid)
        return -1;
    const qint64 complete = qint64(scan.complete);
    if (complete == 0)
        return 0;
    if (m_writing && !m_utf8Output && m_legacyEncoder->convertsDirectly()) {
        const std::size_t outPerByte = m_legacyEncoder->maxBytes(1);
        char *out = m_writer.take(outPerByte * std::size_t(complete));
        // Any byte that does not continue a character starts one.
        std::size_t split = 0;
        if (std::size_t(complete) >= minimumSplitChunk) {
            split = std::size_t(complete) / 2;
            while ((uchar(data[split]) & 0xC0) == 0x80)
                ++split;
        }
        const LegacyEncoder &encoder = *m_legacyEncoder;
        const auto encode = [&encoder](const char *part, std::size_t partSize, char *to) {
            const LegacyEncoder::Result result = encoder.encodeUtf8(part, partSize, to);
            return Converted{result.read, result.written, true};
        };
        const Converted encoded = split ? convertInHalves(helper(), data, std::size_t(complete), split, outPerByte,
                                                          out, encode)
                                        : encode(data, std::size_t(complete), out);
        submit(qint64(encoded.written));
        if (encoded.read < std::size_t(complete)) {
            const Utf8Scan character = scanUtf8(reinterpret_cast<const unsigned char *>(data) + encoded.read,
                                                std::min<std::size_t>(4, std::size_t(complete) - encoded.read));
            QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
            const QString lacking = decoder.decode(QByteArrayView(data + encoded.read, qsizetype(character.complete)));
            recordUnrepresentable(lacking, 0);
        }
    } else if (m_writing) {
        // Chunk by chunk, never the start of the file: a U+FEFF here is a
        // character, which a fresh decoder would otherwise drop as a byte-order mark.
        QStringDecoder decoder(QStringDecoder::Utf8,
                               QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        m_units.resize(std::size_t(decoder.requiredSpace(complete)));
        auto *units = reinterpret_cast<QChar *>(m_units.data());
        const QChar *end = decoder.appendToBuffer(units, QByteArrayView(data, complete));
        emitText(QStringView(units, end - units));
    }
    return complete;
}

qint64 Joiner::consumeUtf16(Source source, const char *data, qint64 size)
{
    const std::size_t count = std::size_t(size / 2);
    const char16_t *units = utf16Units(source, data, count, m_units);

    if (m_writing && m_utf8Output) {
        // Checked and encoded in one pass, straight into the writer's buffer.
        char *out = m_writer.take(3 * count + 16);
        const Utf16Conversion conversion = utf16ToUtf8(units, count, out);
        if (!conversion.valid) {
            m_writer.submit(0);
            return -1;
        }
        submit(qint64(conversion.written));
        return qint64(conversion.read) * 2;
    }
    const qsizetype complete = completeUtf16Units(units, qsizetype(count));
    if (complete < 0)
        return -1;
    if (m_writing)
        emitText(QStringView(units, complete));
    return qint64(complete) * 2;
}

qint64 Joiner::consumeUtf32(Source source, const char *data, qint64 size)
{
    const qint64 count = size / 4;
    m_units.resize(std::size_t(count * 2));
    const qsizetype length = utf32ToUtf16(source, data, std::size_t(count), m_units.data());
    if (length < 0)
        return -1;
    if (m_writing)
        emitText(QStringView(m_units.data(), length));
    return count * 4;
}

qint64 Joiner::consumeLocal(const char *data, qint64 size)
{
    if (m_writing && m_utf8Output && m_legacyDecoder->convertsDirectly()) {
        char *out = m_writer.take(3 * std::size_t(size));
        const std::size_t split =
            std::size_t(size) >= minimumSplitChunk ? m_legacyDecoder->splitPoint(data, std::size_t(size)) : 0;
        const LegacyDecoder &decoder = *m_legacyDecoder;
        const auto decode = [&decoder](const char *part, std::size_t partSize, char *to) {
            Converted result;
            const LegacyDecoder::Result decoded = decoder.decodeToUtf8(part, partSize, to, &result.written);
            result.read = decoded.read;
            result.valid = decoded.valid;
            return result;
        };
        const Converted decoded = split ? convertInHalves(helper(), data, std::size_t(size), split, 3, out, decode)
                                        : decode(data, std::size_t(size), out);
        submit(decoded.valid ? qint64(decoded.written) : 0);
        return decoded.valid ? qint64(decoded.read) : -1;
    }
    const LegacyDecoder::Result decoded = m_legacyDecoder->decode(data, std::size_t(size));
    if (!decoded.valid)
        return -1;
    if (m_writing)
        emitText(m_legacyDecoder->text());
    return qint64(decoded.read);
}

void Joiner::emitText(QStringView text)
{
    if (m_utf8Output) {
        // Decoded text always holds whole characters, so the encoder takes all of it.
        char *out = m_writer.take(3 * std::size_t(text.size()) + 16);
        const Utf16Conversion encoded = utf16ToUtf8(text.utf16(), std::size_t(text.size()), out);
        submit(qint64(encoded.written));
        return;
    }
    if (text.isEmpty())
        return;
    char *out = m_writer.take(m_legacyEncoder->maxBytes(std::size_t(text.size())));
    const LegacyEncoder::Result encoded = m_legacyEncoder->encode(text, out);
    submit(qint64(encoded.written));
    if (encoded.read < std::size_t(text.size()))
        recordUnrepresentable(text, qsizetype(encoded.read));
}

// Hands the buffer from the last take() to the writer.
void Joiner::submit(qint64 size)
{
    m_writer.submit(std::size_t(size));
    m_submitted += size;
    if (m_writer.failed())
        stop(JoinResult::Status::OutputFailed);
}

// Records how far the current input has been read and asks the caller whether
// to go on; a second reading of an input asks too, with a figure that stays
// where the first reading got to until it gets further.
bool Joiner::readSoFar(qint64 fileRead)
{
    m_fileRead = fileRead;
    m_fileFurthest = std::max(m_fileFurthest, fileRead);
    return goOn();
}

bool Joiner::goOn()
{
    if (!m_progress || m_progress(m_readBefore + m_fileFurthest))
        return true;
    stop(JoinResult::Status::Cancelled);
    return false;
}

// Ends the join at once: nothing more is read or written.
void Joiner::stop(JoinResult::Status status, const QString &outputError)
{
    m_result.status = status;
    if (m_result.outputError.isEmpty())
        m_result.outputError = outputError;
    m_stopped = true;
    m_writing = false;
}

void Joiner::rewindOutput(qint64 offset)
{
    if (!m_writing)
        return;
    if (!m_writer.wait()) {
        stop(JoinResult::Status::OutputFailed);
        return;
    }
    m_furthest = std::max(m_furthest, m_submitted);
    m_submitted = offset;
    if (!m_output.seek(m_outputStart + offset))
        stop(JoinResult::Status::OutputFailed, m_output.errorString());
}

HelperThread &Joiner::helper()
{
    if (!m_helper)
        m_helper = std::make_unique<HelperThread>();
    return *m_helper;
}

void Joiner::recordUnrepresentable(QStringView text, qsizetype index)
{
    m_writing = false;
    const bool pair = text[index].isHighSurrogate() && index + 1 < text.size() && text[index + 1].isLowSurrogate();
    m_result.unrepresentable = text.mid(index, pair ? 2 : 1).toString();
}

QString Joiner::sourceName(Source source) const
{
    return source == Source::Local ? m_legacy.name() : unicodeName(source);
}

JoinResult Joiner::finish()
{
    if (!m_writer.wait())
        stop(JoinResult::Status::OutputFailed, m_writer.errorString());
    // A cancel that comes after the last chunk still counts.
    if (!m_stopped)
        goOn();
    if (m_stopped) {
        if (m_result.status == JoinResult::Status::OutputFailed)
            m_result.bytesWritten = m_writer.written();
        return m_result;
    }
    m_result.bytesWritten = m_submitted;
    if (!m_result.inputFaults.isEmpty()) {
        m_result.status = JoinResult::Status::InputFaults;
    } else if (!m_result.unrepresentable.isEmpty()) {
        m_result.status = JoinResult::Status::Unrepresentable;
    } else if (!m_writing) {
        // Writing only stops for one of the reasons above. Should it ever stop
        // without one, the output is not the whole join and must not be kept.
        m_result.status = JoinResult::Status::OutputFailed;
        m_result.outputError = QStringLiteral("writing stopped before the end");
    } else if (m_submitted < m_furthest && !m_output.resize(m_outputStart + m_submitted)) {
        // A redone input came out shorter than its first attempt; drop the excess.
        m_result.status = JoinResult::Status::OutputFailed;
        m_result.outputError = m_output.errorString();
    }
    return m_result;
}

} // namespace

JoinResult joinToDevice(const QStringList &inputs, QFileDevice &output, OutputEncoding encoding,
                        const JoinOptions &options)
{
    Joiner joiner(output, encoding, options);
    for (const QString &path : inputs)
        joiner.add(path);
    return joiner.finish();
}

namespace {

// The output replaces what is at its path by renaming over it, which must never
// happen to a folder, a pipe or a device. Links are followed as the save follows
// them; a chain of links that never ends names no file either.
bool isSomethingButAFile(const QString &path)
{
    QFileInfo info(path);
    for (int depth = 0; info.isSymLink(); ++depth) {
        if (depth == 128)
            return true;
        info.setFile(info.symLinkTarget());
    }
    return info.exists() && !info.isFile();
}

JoinResult outputNotRegularFile()
{
    JoinResult result;
    result.status = JoinResult::Status::OutputNotRegularFile;
    return result;
}

} // namespace

JoinResult joinFiles(const QStringList &inputs, const QString &outputPath, OutputEncoding encoding,
                     const JoinOptions &options)
{
    if (isSomethingButAFile(outputPath))
        return outputNotRegularFile();
    QSaveFile output(outputPath);
    if (!output.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        JoinResult result;
        result.status = JoinResult::Status::OutputFailed;
        result.outputError = output.errorString();
        return result;
    }
    JoinResult result = joinToDevice(inputs, output, encoding, options);
    // A long join leaves time for something else to appear at the path.
    if (result.ok() && isSomethingButAFile(outputPath))
        result = outputNotRegularFile();
    if (!result.ok()) {
        output.cancelWriting();
        return result;
    }
    if (options.committing && !options.committing()) {
        output.cancelWriting();
        result.status = JoinResult::Status::Cancelled;
        return result;
    }
    if (!output.commit()) {
        result.status = JoinResult::Status::OutputFailed;
        result.outputError = output.errorString();
    }
    return result;
}

} // namespace TextJoin
