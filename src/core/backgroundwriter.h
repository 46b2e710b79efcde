// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#pragma once

#include <QString>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

class QIODevice;

namespace TextJoin {

// Writes to a device on a thread of its own, so that reading and converting the
// next chunk overlaps writing this one. The caller fills a buffer it takes with
// take() and hands it back with submit(); a few buffers circulate, so memory
// stays bounded. Only wait() makes the device safe to touch again.
class BackgroundWriter
{
public:
    explicit BackgroundWriter(QIODevice &device, int bufferCount = 3);
    ~BackgroundWriter();

    BackgroundWriter(const BackgroundWriter &) = delete;
    BackgroundWriter &operator=(const BackgroundWriter &) = delete;

    // A free buffer of at least `capacity` bytes; waits while all are queued.
    char *take(std::size_t capacity);
    // The buffer taken last, made room for `capacity` bytes, what it holds kept.
    char *grow(std::size_t capacity);
    // Queues the first `size` bytes of the buffer from take(); 0 just returns it.
    void submit(std::size_t size);
    // Waits until everything queued is written. False once a write has failed.
    bool wait();

    bool failed() const;
    QString errorString() const;
    qint64 written() const;

private:
    struct Job
    {
        int buffer;
        std::size_t size;
    };

    void run();

    QIODevice &m_device;
    std::vector<std::vector<char>> m_buffers;
    int m_taken = -1;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<int> m_free;
    std::deque<Job> m_queue;
    bool m_busy = false;
    bool m_stopping = false;
    bool m_failed = false;
    QString m_error;
    qint64 m_written = 0;
    std::thread m_thread;
};

} // namespace TextJoin
