#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace TextJoin {

// A second thread for work that splits in two: the caller does one part while
// this thread does the other.
class HelperThread
{
public:
    HelperThread();
    ~HelperThread();

    HelperThread(const HelperThread &) = delete;
    HelperThread &operator=(const HelperThread &) = delete;

    // Runs `job` on the helper thread; one job at a time.
    void start(std::function<void()> job);
    // Waits until the job has run.
    void wait();

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::function<void()> m_job;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace TextJoin
