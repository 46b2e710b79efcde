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
#include <optional>

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

    // What the first bytes of an input say of its encoding.
    struct Head
    {
        ByteOrderMark mark{Source::Utf8, 0};
        bool marked = false;
        // What follows the mark, where decoding starts.
        QByteArray afterMark;
    };

    // Each step records what made the input unusable, or stops the join, and then
    // tells the next not to go on.
    bool open(const QString &path, InputFile &input);
    std::optional<Head> readHead(const QString &path, InputFile &input);
    std::optional<Outcome> decode(const QString &path, InputFile &input, const Head &head, Source *source);
    void judge(const QString &path, InputFile &input, Outcome outcome, Source source);

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
    InputFile input(m_watch, m_settle);
    if (!open(path, input))
        return;
    const std::optional<Head> head = readHead(path, input);
    if (!head)
        return;
    Source source = head->mark.source;
    if (const std::optional<Outcome> outcome = decode(path, input, *head, &source))
        judge(path, input, *outcome, source);
}

bool Joiner::open(const QString &path, InputFile &input)
{
    const OpenedInput opened = input.open(path);
    switch (opened.outcome) {
    case OpenedInput::Outcome::Opened:
        break;
    case OpenedInput::Outcome::NotRegularFile:
        fault(path, InputFault::Kind::NotRegularFile, QString());
        return false;
    case OpenedInput::Outcome::InUse:
        fault(path, InputFault::Kind::InUse, QString());
        return false;
    case OpenedInput::Outcome::Changing:
        fault(path, InputFault::Kind::Changed, QString());
        return false;
    case OpenedInput::Outcome::Failed:
        fault(path, InputFault::Kind::CannotRead, opened.error);
        return false;
    }
    if (input.beingWritten()) {
        fault(path, InputFault::Kind::InUse, QString());
        return false;
    }
    return true;
}

// Only the very first bytes of a file can be a byte-order mark.
std::optional<Joiner::Head> Joiner::readHead(const QString &path, InputFile &input)
{
    char head[4];
    qint64 headSize = 0;
    while (headSize < qint64(sizeof head)) {
        const qint64 got = input.file().read(head + headSize, qint64(sizeof head) - headSize);
        if (got < 0) {
            fault(path, InputFault::Kind::CannotRead, input.file().errorString());
            return std::nullopt;
        }
        if (got == 0)
            break;
        headSize += got;
    }
    if (!m_progress.readSoFar(headSize)) {
        stop(JoinResult::Status::Cancelled);
        return std::nullopt;
    }
    Head found;
    found.marked = detectByteOrderMark(reinterpret_cast<const unsigned char *>(head), headSize, &found.mark);
    found.afterMark = QByteArray(head + found.mark.length, headSize - found.mark.length);
    return found;
}

// Without a mark, UTF-8 is only a guess; text that is not valid UTF-8 is in the
// legacy code page, so it is decoded again from the start with that, and whatever
// the guess wrote or found unencodable is forgotten.
std::optional<ChunkDecoder::Outcome> Joiner::decode(const QString &path, InputFile &input, const Head &head,
                                                   Source *source)
{
    const OutputSink::Mark start = m_sink.mark();
    const Outcome outcome = m_decoder.decode(input.file(), *source, m_legacy.codec(), head.afterMark, m_progress);
    if (outcome != Outcome::InvalidInput || head.marked || input.changed())
        return outcome;
    if (!m_legacy.isAvailable()) {
        stop(JoinResult::Status::NoLegacyCodePage);
        return std::nullopt;
    }
    *source = Source::Local;
    // The input is a regular file, so it can be read again from the start.
    if (!input.file().seek(0)) {
        fault(path, InputFault::Kind::CannotRead, input.file().errorString());
        return std::nullopt;
    }
    m_sink.rewind(start);
    m_progress.restartInput();
    return m_decoder.decode(input.file(), *source, m_legacy.codec(), QByteArray(), m_progress);
}

// Bytes read are one version of the file only if nothing wrote to it, cut it or
// grew it meanwhile.
void Joiner::judge(const QString &path, InputFile &input, Outcome outcome, Source source)
{
    if (outcome == Outcome::Cancelled)
        stop(JoinResult::Status::Cancelled);
    if (outcome == Outcome::Cancelled || outcome == Outcome::OutputFailed)
        return;
    if (input.changed() || (outcome == Outcome::Ok && m_progress.fileRead() != input.sizeWhenOpened()))
        fault(path, InputFault::Kind::Changed, QString());
    else if (input.beingWritten())
        fault(path, InputFault::Kind::InUse, QString());
    else if (outcome == Outcome::InvalidInput)
        fault(path, InputFault::Kind::BadEncoding, sourceName(source));
    else if (outcome == Outcome::ReadFailed)
        fault(path, InputFault::Kind::CannotRead, input.file().errorString());
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
