// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#pragma once

#include "unicodeinput.h"

#include <QtGlobal>

#include <memory>
#include <vector>

class QByteArray;
class QFile;
class QTextCodec;

namespace TextJoin {

class HelperThread;
class LegacyDecoder;
class OutputSink;
class ReadProgress;

// Reads an input chunk by chunk, decodes it from the encoding it is in and
// writes the text to the sink. A character cut short at the end of a chunk is
// carried over to the next. Where the text can go out without being decoded
// into UTF-16 first, it does: UTF-8 to UTF-8 is read straight into the writer's
// buffer, UTF-16 and the legacy code page convert straight into it, and large
// chunks of the legacy code page are converted in two halves at once.
class ChunkDecoder
{
public:
    enum class Outcome { Ok, InvalidInput, ReadFailed, Cancelled, OutputFailed };

    ChunkDecoder(OutputSink &sink, qint64 chunkSize);
    ~ChunkDecoder();

    // Decodes and writes the rest of an input in `source`, which begins with
    // `start`: the first bytes, read to look for a byte-order mark, that are
    // none. `legacy` is the code page of Source::Local. Every chunk read is told
    // to `progress`, which may cancel.
    Outcome decode(QFile &input, Source source, QTextCodec *legacy, const QByteArray &start,
                   ReadProgress &progress);

private:
    Outcome readChunks(QFile &input, Source source, const QByteArray &start, ReadProgress &progress);
    qint64 consume(Source source, const char *data, qint64 size);
    qint64 consumeUtf8(const char *data, qint64 size);
    qint64 consumeUtf16(Source source, const char *data, qint64 size);
    qint64 consumeUtf32(Source source, const char *data, qint64 size);
    qint64 consumeLocal(const char *data, qint64 size);
    HelperThread &helper();

    OutputSink &m_sink;
    const qint64 m_chunkSize;
    std::vector<char> m_input;
    std::vector<char16_t> m_units;
    std::unique_ptr<LegacyDecoder> m_legacy;
    std::unique_ptr<HelperThread> m_helper;
};

} // namespace TextJoin
