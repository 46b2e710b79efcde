// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "helperthread.h"

namespace TextJoin {

HelperThread::HelperThread()
    : m_thread(&HelperThread::run, this)
{
}

HelperThread::~HelperThread()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void HelperThread::start(std::function<void()> job)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_job = std::move(job);
    }
    m_changed.notify_all();
}

void HelperThread::wait()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_job; });
}

void HelperThread::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopping || m_job; });
        if (!m_job)
            return;
        lock.unlock();
        m_job();
        lock.lock();
        m_job = nullptr;
        m_changed.notify_all();
    }
}

} // namespace TextJoin
