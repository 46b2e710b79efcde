// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#pragma once

#include "backgroundwriter.h"

#include <QString>
#include <QStringView>

#include <cstddef>

class QFileDevice;

namespace TextJoin {

class LegacyEncoder;

// Where the joined text goes: it encodes text as UTF-8 or in the legacy code
// page, hands the bytes to a writer on a thread of its own, and keeps count.
// Output of small inputs is gathered into batches first, so that the writer is
// not woken for every few bytes. Writing stops for good at a failed write, and
// until the input is redone at a character the encoding lacks or when the
// caller stops it.
class OutputSink
{
public:
    // `legacy` encodes "ANSI" output; null for UTF-8. The writer gets the bytes
    // once there are `batch` of them.
    OutputSink(QFileDevice &output, const LegacyEncoder *legacy, qint64 batch);

    bool utf8() const { return !m_legacy; }
    const LegacyEncoder *legacyEncoder() const { return m_legacy; }

    // Whether text still goes out.
    bool writing() const { return m_writing; }
    void stopWriting() { m_writing = false; }
    // A write or a rewind failed: the join ends.
    bool failed() const { return m_failed; }
    QString error() const { return m_error; }

    // Room for `size` bytes of output, handed over with submit().
    char *take(std::size_t size);
    // Hands over the first `size` bytes of the room taken last, which may be none.
    void submit(qint64 size);
    // Encodes and writes text of whole characters.
    void write(QStringView text);
    // The character at `index` of the text cannot be encoded: nothing more is written.
    void lacks(QStringView text, qsizetype index);
    QString unrepresentable() const { return m_unrepresentable; }

    // Where an input began, to go back to should it be decoded again.
    struct Mark
    {
        qint64 offset;
        bool writing;
        QString unrepresentable;
    };
    Mark mark() const { return {m_submitted, m_writing, m_unrepresentable}; }
    void rewind(const Mark &mark);

    // Waits until everything is written; false where a write failed.
    bool flush();
    // Cuts what a redone input, shorter the second time, left beyond its end.
    bool trim();
    // Bytes handed over, and bytes the writer managed to write.
    qint64 submitted() const { return m_submitted; }
    qint64 written() const { return m_writer.written(); }

private:
    void fail(const QString &error);
    // Gives the writer the batch gathered so far.
    void handOver();

    QFileDevice &m_output;
    const LegacyEncoder *const m_legacy;
    const qint64 m_start;
    bool m_writing = true;
    bool m_failed = false;
    QString m_error;
    QString m_unrepresentable;
    // Offsets from m_start: the end of what was handed over, and the furthest it
    // ever reached before an input was redone.
    qint64 m_submitted = 0;
    qint64 m_furthest = 0;
    const qint64 m_batch;
    // The writer's buffer being filled, and how much of it is; none while null.
    char *m_gathering = nullptr;
    qint64 m_gathered = 0;
    BackgroundWriter m_writer;
};

} // namespace TextJoin
