// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "outputsink.h"

#include "legacycodepage.h"
#include "utf8.h"

#include <QFileDevice>

#include <algorithm>

namespace TextJoin {

OutputSink::OutputSink(QFileDevice &output, const LegacyEncoder *legacy, qint64 batch)
    : m_output(output)
    , m_legacy(legacy)
    , m_start(output.pos())
    , m_batch(batch)
    , m_writer(output)
{
}

char *OutputSink::take(std::size_t size)
{
    if (!m_gathering)
        m_gathering = m_writer.take(size);
    else
        m_gathering = m_writer.grow(std::size_t(m_gathered) + size);
    return m_gathering + m_gathered;
}

void OutputSink::submit(qint64 size)
{
    m_gathered += size;
    m_submitted += size;
    if (m_gathered >= m_batch)
        handOver();
}

void OutputSink::handOver()
{
    if (!m_gathering)
        return;
    m_writer.submit(std::size_t(m_gathered));
    m_gathering = nullptr;
    m_gathered = 0;
    if (m_writer.failed())
        fail(QString());
}

void OutputSink::write(QStringView text)
{
    if (!m_legacy) {
        // Decoded text always holds whole characters, so the encoder takes all of it.
        char *out = take(3 * std::size_t(text.size()) + 16);
        const Utf16Conversion encoded = utf16ToUtf8(text.utf16(), std::size_t(text.size()), out);
        submit(qint64(encoded.written));
        return;
    }
    if (text.isEmpty())
        return;
    char *out = take(m_legacy->maxBytes(std::size_t(text.size())));
    const LegacyEncoder::Result encoded = m_legacy->encode(text, out);
    submit(qint64(encoded.written));
    if (encoded.read < std::size_t(text.size()))
        lacks(text, qsizetype(encoded.read));
}

void OutputSink::lacks(QStringView text, qsizetype index)
{
    m_writing = false;
    const bool pair = text[index].isHighSurrogate() && index + 1 < text.size() && text[index + 1].isLowSurrogate();
    m_unrepresentable = text.mid(index, pair ? 2 : 1).toString();
}

void OutputSink::rewind(const Mark &mark)
{
    m_writing = mark.writing;
    m_unrepresentable = mark.unrepresentable;
    if (!m_writing)
        return;
    m_furthest = std::max(m_furthest, m_submitted);
    // Back to a place in the batch still being gathered: only the batch is cut.
    const qint64 gatheredFrom = m_submitted - m_gathered;
    if (m_gathering && mark.offset >= gatheredFrom) {
        m_gathered = mark.offset - gatheredFrom;
        m_submitted = mark.offset;
        return;
    }
    // All of the batch lies beyond the mark.
    if (m_gathering) {
        m_writer.submit(0);
        m_gathering = nullptr;
        m_gathered = 0;
    }
    if (!m_writer.wait()) {
        fail(QString());
        return;
    }
    m_submitted = mark.offset;
    if (!m_output.seek(m_start + mark.offset))
        fail(m_output.errorString());
}

bool OutputSink::flush()
{
    handOver();
    if (!m_writer.wait())
        fail(m_writer.errorString());
    return !m_failed;
}

bool OutputSink::trim()
{
    if (m_submitted < m_furthest && !m_output.resize(m_start + m_submitted)) {
        fail(m_output.errorString());
        return false;
    }
    return true;
}

// The first failure's reason is the one kept; the writer's, where it gave none.
void OutputSink::fail(const QString &error)
{
    m_failed = true;
    m_writing = false;
    if (m_error.isEmpty())
        m_error = error;
}

} // namespace TextJoin
