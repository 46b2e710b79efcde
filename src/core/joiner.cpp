// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "joiner.h"

#include "chunkdecoder.h"
#include "inputfile.h"
#include "legacycodepage.h"
#include "outputfile.h"
#include "outputsink.h"
#include "readprogress.h"
#include "unicodeinput.h"

#include <QFile>

#include <algorithm>
#include <memory>

namespace TextJoin {

namespace {

// Memory use is a small multiple of the chunk size; beyond this, larger chunks
// gain nothing.
constexpr qint64 maxChunkSize = 64 << 20;

// Joins input after input: opens each, finds its encoding, has it decoded into
// the output, decodes it again in the legacy code page where it was not the
// UTF-8 it looked like, checks that it did not change meanwhile, and records
// what made it unusable.
class Joiner
{
public:
    Joiner(QFileDevice &output, OutputEncoding encoding, const JoinOptions &options);

    void add(const QString &path);
    JoinResult finish();

private:
    using Outcome = ChunkDecoder::Outcome;

    void fault(const QString &path, InputFault::Kind kind, const QString &detail);
    // Ends the join at once: nothing more is read or written.
    void stop(JoinResult::Status status);
    bool stopped() const { return m_stopped || m_sink.failed(); }
    QString sourceName(Source source) const;

    const LegacyCodePage m_legacy;
    std::unique_ptr<LegacyEncoder> m_legacyEncoder;
    OutputSink m_sink;
    ChunkDecoder m_decoder;
    ReadProgress m_progress;
    ChangeWatch m_watch;
    SettleBudget m_settle;
    // Set by a cancel, or where the legacy code page is needed and missing.
    bool m_stopped = false;
    JoinResult m_result;
};

qint64 chunkSizeOf(const JoinOptions &options)
{
    return std::clamp<qint64>(options.chunkSize, 1, maxChunkSize);
}

// Only "ANSI" output needs an encoder, and it needs the legacy code page.
std::unique_ptr<LegacyEncoder> encoderFor(OutputEncoding encoding, const LegacyCodePage &legacy)
{
    if (encoding == OutputEncoding::Utf8 || !legacy.isAvailable())
        return nullptr;
    return std::make_unique<LegacyEncoder>(legacy.codec());
}

Joiner::Joiner(QFileDevice &output, OutputEncoding encoding, const JoinOptions &options)
    : m_legacy(LegacyCodePage::system())
    , m_legacyEncoder(encoderFor(encoding, m_legacy))
    , m_sink(output, m_legacyEncoder.get(), chunkSizeOf(options))
    , m_decoder(m_sink, chunkSizeOf(options))
    , m_progress(options.progress)
{
    m_result.legacyCodePage = m_legacy.name();
    if (encoding == OutputEncoding::Local8Bit && !m_legacyEncoder)
        stop(JoinResult::Status::NoLegacyCodePage);
}

// Later inputs are still checked, so that every unusable one can be named, but
// nothing more is written.
void Joiner::fault(const QString &path, InputFault::Kind kind, const QString &detail)
{
    m_result.inputFaults.append({path, kind, detail});
    m_sink.stopWriting();
}

void Joiner::stop(JoinResult::Status status)
{
    m_result.status = status;
    m_stopped = true;
    m_sink.stopWriting();
}

void Joiner::add(const QString &path)
{
    if (stopped())
        return;
    m_progress.nextInput();

    QFile input;
    const OpenedInput opened = openRegularFile(path, input, &m_watch, m_settle);
    switch (opened.outcome) {
    case OpenedInput::Outcome::Opened:
        break;
    case OpenedInput::Outcome::NotRegularFile:
        fault(path, InputFault::Kind::NotRegularFile, QString());
        return;
    case OpenedInput::Outcome::InUse:
        fault(path, InputFault::Kind::InUse, QString());
        return;
    case OpenedInput::Outcome::Changing:
        fault(path, InputFault::Kind::Changed, QString());
        return;
    case OpenedInput::Outcome::Failed:
        fault(path, InputFault::Kind::CannotRead, opened.error);
        return;
    }
    if (openForWriting(input)) {
        fault(path, InputFault::Kind::InUse, QString());
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
            fault(path, InputFault::Kind::CannotRead, input.errorString());
            return;
        }
        if (got == 0)
            break;
        headSize += got;
    }
    if (!m_progress.readSoFar(headSize)) {
        stop(JoinResult::Status::Cancelled);
        return;
    }
    ByteOrderMark mark{Source::Utf8, 0};
    const bool marked = detectByteOrderMark(reinterpret_cast<const unsigned char *>(head), headSize, &mark);
    const QByteArray afterMark(head + mark.length, headSize - mark.length);

    const OutputSink::Mark start = m_sink.mark();
    Source source = mark.source;
    Outcome outcome = m_decoder.decode(input, source, m_legacy.codec(), afterMark, m_progress);
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
            fault(path, InputFault::Kind::CannotRead, input.errorString());
            return;
        }
        m_sink.rewind(start);
        m_progress.restartInput();
        outcome = m_decoder.decode(input, source, m_legacy.codec(), QByteArray(), m_progress);
    }
    if (outcome == Outcome::Cancelled)
        stop(JoinResult::Status::Cancelled);
    if (outcome == Outcome::Cancelled || outcome == Outcome::OutputFailed)
        return;
    if (changedSinceOpened() || (outcome == Outcome::Ok && m_progress.fileRead() != opened.state.size))
        fault(path, InputFault::Kind::Changed, QString());
    else if (openForWriting(input))
        fault(path, InputFault::Kind::InUse, QString());
    else if (outcome == Outcome::InvalidInput)
        fault(path, InputFault::Kind::BadEncoding, sourceName(source));
    else if (outcome == Outcome::ReadFailed)
        fault(path, InputFault::Kind::CannotRead, input.errorString());
}

QString Joiner::sourceName(Source source) const
{
    return source == Source::Local ? m_legacy.name() : unicodeName(source);
}

JoinResult Joiner::finish()
{
    m_sink.flush();
    // A cancel that comes after the last chunk still counts.
    if (!stopped() && !m_progress.goOn())
        stop(JoinResult::Status::Cancelled);
    m_result.unrepresentable = m_sink.unrepresentable();
    if (m_sink.failed()) {
        m_result.status = JoinResult::Status::OutputFailed;
        m_result.outputError = m_sink.error();
        m_result.bytesWritten = m_sink.written();
        return m_result;
    }
    if (m_stopped)
        return m_result;
    m_result.bytesWritten = m_sink.submitted();
    if (!m_result.inputFaults.isEmpty()) {
        m_result.status = JoinResult::Status::InputFaults;
    } else if (!m_sink.unrepresentable().isEmpty()) {
        m_result.status = JoinResult::Status::Unrepresentable;
    } else if (!m_sink.writing()) {
        // Writing only stops for one of the reasons above. Should it ever stop
        // without one, the output is not the whole join and must not be kept.
        m_result.status = JoinResult::Status::OutputFailed;
        m_result.outputError.clear();
    } else if (!m_sink.trim()) {
        // A redone input came out shorter than its first attempt, and its excess stayed.
        m_result.status = JoinResult::Status::OutputFailed;
        m_result.outputError = m_sink.error();
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

JoinResult outputFailed(const OutputFile &output)
{
    JoinResult result;
    result.status = JoinResult::Status::OutputFailed;
    result.outputError = output.reason();
    switch (output.failed()) {
    case OutputFile::Failure::NotRegularFile:
        result.status = JoinResult::Status::OutputNotRegularFile;
        break;
    case OutputFile::Failure::ReadOnly:
        result.outputStep = OutputStep::ReadOnly;
        break;
    case OutputFile::Failure::Create:
        result.outputStep = OutputStep::Create;
        break;
    case OutputFile::Failure::Flush:
        result.outputStep = OutputStep::Flush;
        break;
    case OutputFile::Failure::Replace:
    case OutputFile::Failure::None:
        result.outputStep = OutputStep::Replace;
        break;
    }
    return result;
}

} // namespace

JoinResult joinFiles(const QStringList &inputs, const QString &outputPath, OutputEncoding encoding,
                     const JoinOptions &options)
{
    OutputFile output(outputPath);
    if (!output.open(inputs))
        return outputFailed(output);
    JoinResult result = joinToDevice(inputs, output.device(), encoding, options);
    if (!result.ok())
        return result;
    if (options.committing && !options.committing()) {
        result.status = JoinResult::Status::Cancelled;
        return result;
    }
    if (!output.commit()) {
        const qint64 written = result.bytesWritten;
        result = outputFailed(output);
        result.bytesWritten = written;
    }
    return result;
}

} // namespace TextJoin
