// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "chunkdecoder.h"

#include "helperthread.h"
#include "legacycodepage.h"
#include "outputsink.h"
#include "readprogress.h"
#include "utf8.h"

#include <QByteArray>
#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>

namespace TextJoin {

namespace {

// What a chunk may begin with from before: the first bytes of a file that were
// read to look for a byte-order mark and are none, or the partial character a
// chunk ended with (three bytes of UTF-8 or UTF-32, or a high surrogate plus an
// odd byte of UTF-16).
constexpr qint64 maxCarry = 4;

// Chunks at least this large are converted in two halves at once, where the
// conversion is the slow part of a join (the legacy code page's).
constexpr std::size_t minimumSplitChunk = 64 * 1024;

} // namespace

ChunkDecoder::ChunkDecoder(OutputSink &sink, qint64 chunkSize)
    : m_sink(sink)
    , m_chunkSize(chunkSize)
    , m_input(std::size_t(chunkSize + maxCarry))
{
}

ChunkDecoder::~ChunkDecoder() = default;

ChunkDecoder::Outcome ChunkDecoder::decode(QFile &input, Source source, QTextCodec *legacy,
                                           const QByteArray &start, ReadProgress &progress)
{
    m_legacy.reset(source == Source::Local ? new LegacyDecoder(legacy) : nullptr);
    const Outcome outcome = readChunks(input, source, start, progress);
    if (outcome == Outcome::Ok && source == Source::Local && !m_legacy->endsCleanly())
        return Outcome::InvalidInput;
    return outcome;
}

ChunkDecoder::Outcome ChunkDecoder::readChunks(QFile &input, Source source, const QByteArray &start,
                                               ReadProgress &progress)
{
    char carry[maxCarry];
    qint64 carried = start.size();
    std::memcpy(carry, start.constData(), std::size_t(carried));
    bool startSeen = carried == 0;
    for (;;) {
        // UTF-8 that goes out as UTF-8 is read straight into a buffer of the
        // writer: once checked, the bytes are written as they are.
        const bool direct = source == Source::Utf8 && m_sink.utf8() && m_sink.writing();
        char *buffer = direct ? m_sink.take(std::size_t(m_chunkSize + maxCarry)) : m_input.data();
        std::memcpy(buffer, carry, std::size_t(carried));
        const qint64 got = input.read(buffer + carried, m_chunkSize);
        if (got < 0 || (got == 0 && startSeen)) {
            if (direct)
                m_sink.submit(0);
            if (got < 0)
                return Outcome::ReadFailed;
            return carried == 0 ? Outcome::Ok : Outcome::InvalidInput;
        }
        startSeen = true;
        if (!progress.readSoFar(progress.fileRead() + got)) {
            if (direct)
                m_sink.submit(0);
            return Outcome::Cancelled;
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
            m_sink.submit(std::max<qint64>(used, 0));
        } else {
            used = consume(source, buffer, size);
            if (used >= 0) {
                carried = size - used;
                std::memcpy(carry, buffer + used, std::size_t(carried));
            }
        }
        if (m_sink.failed())
            return Outcome::OutputFailed;
        if (used < 0)
            return Outcome::InvalidInput;
    }
}

// Decodes and writes the complete characters at the start of the data; returns
// how many bytes it used, or -1 when the data is not valid in its encoding.
qint64 ChunkDecoder::consume(Source source, const char *data, qint64 size)
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

qint64 ChunkDecoder::consumeUtf8(const char *data, qint64 size)
{
    const Utf8Scan scan = scanUtf8(reinterpret_cast<const unsigned char *>(data), std::size_t(size));
    if (!scan.valid)
        return -1;
    const qint64 complete = qint64(scan.complete);
    if (complete == 0)
        return 0;
    const LegacyEncoder *encoder = m_sink.legacyEncoder();
    if (m_sink.writing() && encoder && encoder->convertsDirectly()) {
        const std::size_t outPerByte = encoder->maxBytes(1);
        char *out = m_sink.take(outPerByte * std::size_t(complete));
        // Any byte that does not continue a character starts one.
        std::size_t split = 0;
        if (std::size_t(complete) >= minimumSplitChunk) {
            split = std::size_t(complete) / 2;
            while ((uchar(data[split]) & 0xC0) == 0x80)
                ++split;
        }
        const auto encode = [encoder](const char *part, std::size_t partSize, char *to) {
            const LegacyEncoder::Result result = encoder->encodeUtf8(part, partSize, to);
            return Converted{result.read, result.written, true};
        };
        const Converted encoded = split ? convertInHalves(helper(), data, std::size_t(complete), split, outPerByte,
                                                          out, encode)
                                        : encode(data, std::size_t(complete), out);
        m_sink.submit(qint64(encoded.written));
        if (encoded.read < std::size_t(complete)) {
            const Utf8Scan character = scanUtf8(reinterpret_cast<const unsigned char *>(data) + encoded.read,
                                                std::min<std::size_t>(4, std::size_t(complete) - encoded.read));
            QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
            const QString lacking = decoder.decode(QByteArrayView(data + encoded.read, qsizetype(character.complete)));
            m_sink.lacks(lacking, 0);
        }
    } else if (m_sink.writing()) {
        // Chunk by chunk, never the start of the file: a U+FEFF here is a
        // character, which a fresh decoder would otherwise drop as a byte-order mark.
        QStringDecoder decoder(QStringDecoder::Utf8,
                               QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        m_units.resize(std::size_t(decoder.requiredSpace(complete)));
        auto *units = reinterpret_cast<QChar *>(m_units.data());
        const QChar *end = decoder.appendToBuffer(units, QByteArrayView(data, complete));
        m_sink.write(QStringView(units, end - units));
    }
    return complete;
}

qint64 ChunkDecoder::consumeUtf16(Source source, const char *data, qint64 size)
{
    const std::size_t count = std::size_t(size / 2);
    const char16_t *units = utf16Units(source, data, count, m_units);

    if (m_sink.writing() && m_sink.utf8()) {
        // Checked and encoded in one pass, straight into the writer's buffer.
        char *out = m_sink.take(3 * count + 16);
        const Utf16Conversion conversion = utf16ToUtf8(units, count, out);
        if (!conversion.valid) {
            m_sink.submit(0);
            return -1;
        }
        m_sink.submit(qint64(conversion.written));
        return qint64(conversion.read) * 2;
    }
    const qsizetype complete = completeUtf16Units(units, qsizetype(count));
    if (complete < 0)
        return -1;
    if (m_sink.writing())
        m_sink.write(QStringView(units, complete));
    return qint64(complete) * 2;
}

qint64 ChunkDecoder::consumeUtf32(Source source, const char *data, qint64 size)
{
    const qint64 count = size / 4;
    m_units.resize(std::size_t(count * 2));
    const qsizetype length = utf32ToUtf16(source, data, std::size_t(count), m_units.data());
    if (length < 0)
        return -1;
    if (m_sink.writing())
        m_sink.write(QStringView(m_units.data(), length));
    return count * 4;
}

qint64 ChunkDecoder::consumeLocal(const char *data, qint64 size)
{
    if (m_sink.writing() && m_sink.utf8() && m_legacy->convertsDirectly()) {
        char *out = m_sink.take(3 * std::size_t(size));
        const std::size_t split =
            std::size_t(size) >= minimumSplitChunk ? m_legacy->splitPoint(data, std::size_t(size)) : 0;
        const LegacyDecoder &decoder = *m_legacy;
        const auto decode = [&decoder](const char *part, std::size_t partSize, char *to) {
            Converted result;
            const LegacyDecoder::Result decoded = decoder.decodeToUtf8(part, partSize, to, &result.written);
            result.read = decoded.read;
            result.valid = decoded.valid;
            return result;
        };
        const Converted decoded = split ? convertInHalves(helper(), data, std::size_t(size), split, 3, out, decode)
                                        : decode(data, std::size_t(size), out);
        m_sink.submit(decoded.valid ? qint64(decoded.written) : 0);
        return decoded.valid ? qint64(decoded.read) : -1;
    }
    const LegacyDecoder::Result decoded = m_legacy->decode(data, std::size_t(size));
    if (!decoded.valid)
        return -1;
    if (m_sink.writing())
        m_sink.write(m_legacy->text());
    return qint64(decoded.read);
}

// Made on first use: a join of small files never needs it.
HelperThread &ChunkDecoder::helper()
{
    if (!m_helper)
        m_helper = std::make_unique<HelperThread>();
    return *m_helper;
}

} // namespace TextJoin
