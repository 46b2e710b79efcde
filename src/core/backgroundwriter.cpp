// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "backgroundwriter.h"

#include <QFileDevice>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#endif
#ifdef Q_OS_UNIX
#include <signal.h>
#endif

namespace TextJoin {

namespace {

// Written data waits in the page cache until the save flushes it all at the end,
// which for gigabytes takes seconds that cannot be cancelled. Starting the disk
// on each few megabytes once written overlaps that flush with the rest of the
// join. Only Linux offers this without waiting for the disk.
constexpr qint64 writebackStep = 16 << 20;

// Starts writing back the bytes written since `from`, once there are enough of
// them; returns where the next range starts.
qint64 startWriteback(QIODevice &device, qint64 from)
{
    const qint64 to = device.pos();
    if (to < from)
        return to; // rewound
    if (to - from < writebackStep)
        return from;
#ifdef Q_OS_LINUX
    if (auto *file = qobject_cast<QFileDevice *>(&device); file && file->handle() >= 0)
        ::sync_file_range(file->handle(), from, to - from, SYNC_FILE_RANGE_WRITE);
#endif
    return to;
}

// A write past the process's file size limit raises SIGXFSZ, which by default
// kills the program. Blocked on the writing thread, it stays pending there and
// the write fails with EFBIG instead, which is reported like any other failure.
void keepFileSizeLimitFromKilling()
{
#ifdef Q_OS_UNIX
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGXFSZ);
    pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
#endif
}

} // namespace

BackgroundWriter::BackgroundWriter(QIODevice &device, int bufferCount)
    : m_device(device)
    , m_buffers(std::size_t(bufferCount))
{
    for (int i = 0; i < bufferCount; ++i)
        m_free.push_back(i);
    m_thread = std::thread(&BackgroundWriter::run, this);
}

BackgroundWriter::~BackgroundWriter()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

char *BackgroundWriter::take(std::size_t capacity)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_free.empty(); });
    m_taken = m_free.front();
    m_free.pop_front();
    lock.unlock();

    std::vector<char> &buffer = m_buffers[std::size_t(m_taken)];
    if (buffer.size() < capacity)
        buffer.resize(capacity);
    return buffer.data();
}

char *BackgroundWriter::grow(std::size_t capacity)
{
    std::vector<char> &buffer = m_buffers[std::size_t(m_taken)];
    if (buffer.size() < capacity)
        buffer.resize(capacity);
    return buffer.data();
}

void BackgroundWriter::submit(std::size_t size)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (size == 0 || m_failed)
            m_free.push_back(m_taken);
        else
            m_queue.push_back({m_taken, size});
        m_taken = -1;
    }
    m_changed.notify_all();
}

bool BackgroundWriter::wait()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queue.empty() && !m_busy; });
    return !m_failed;
}

bool BackgroundWriter::failed() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_failed;
}

QString BackgroundWriter::errorString() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_error;
}

qint64 BackgroundWriter::written() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_written;
}

void BackgroundWriter::run()
{
    keepFileSizeLimitFromKilling();
    qint64 writebackFrom = m_device.pos();
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
        if (m_queue.empty())
            return;
        const Job job = m_queue.front();
        m_queue.pop_front();
        m_busy = true;
        const bool skip = m_failed;
        lock.unlock();

        const char *data = m_buffers[std::size_t(job.buffer)].data();
        const qint64 size = qint64(job.size);
        qint64 done = 0;
        QString error;
        // A write the system takes only part of (a disk that fills up, a file
        // size limit) comes back short with no error; the system says why only
        // when asked to write the rest.
        while (!skip && done < size) {
            const qint64 wrote = m_device.write(data + done, size - done);
            if (wrote <= 0) {
                error = m_device.errorString();
                break;
            }
            done += wrote;
        }

        if (!skip)
            writebackFrom = startWriteback(m_device, writebackFrom);

        lock.lock();
        if (!skip) {
            m_written += done;
            if (done < size) {
                m_failed = true;
                m_error = error;
            }
        }
        m_busy = false;
        m_free.push_back(job.buffer);
        m_changed.notify_all();
    }
}

} // namespace TextJoin
