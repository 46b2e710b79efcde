// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstring>
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

// What converting part of a chunk came to.
struct Converted
{
    std::size_t read = 0;    // bytes of input converted
    std::size_t written = 0; // bytes of output
    bool valid = true;       // false: the input is not valid where reading stopped
};

// Converts data[0, split) on this thread and data[split, size) on the helper at
// the same time, each part into its own region of `out`, which has room for
// `outPerByte` bytes a byte of data; then joins the two outputs. The second part
// counts only where the first was converted to its very end, so the result is
// what converting it all in one go gives. `split` lies inside the data, where a
// character starts.
template<typename Convert>
Converted convertInHalves(HelperThread &helper, const char *data, std::size_t size, std::size_t split,
                          std::size_t outPerByte, char *out, Convert convert)
{
    char *secondOut = out + outPerByte * split;
    Converted second;
    helper.start([&] { second = convert(data + split, size - split, secondOut); });
    const Converted first = convert(data, split, out);
    helper.wait();
    if (!first.valid || first.read != split)
        return first;
    std::memmove(out + first.written, secondOut, second.written);
    return {split + second.read, first.written + second.written, second.valid};
}

} // namespace TextJoin
