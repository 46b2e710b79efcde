// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#pragma once

#include <QtGlobal>

#include <algorithm>
#include <functional>
#include <utility>

namespace TextJoin {

// The input bytes read so far, as the join's progress callback is told them,
// and its answer whether to go on. An input read a second time counts only
// where it gets further than the first reading did, so the figure never goes back.
class ReadProgress
{
public:
    explicit ReadProgress(std::function<bool(qint64)> callback)
        : m_callback(std::move(callback))
    {
    }

    // The next input begins; the one before counts as far as it was ever read.
    void nextInput()
    {
        m_readBefore += m_fileFurthest;
        m_fileRead = m_fileFurthest = 0;
    }
    // The current input is read again from its start.
    void restartInput() { m_fileRead = 0; }
    // Records how far the current input has been read in this reading, and asks.
    bool readSoFar(qint64 fileRead)
    {
        m_fileRead = fileRead;
        m_fileFurthest = std::max(m_fileFurthest, fileRead);
        return goOn();
    }
    bool goOn() const { return !m_callback || m_callback(m_readBefore + m_fileFurthest); }
    // Of the current input, in this reading.
    qint64 fileRead() const { return m_fileRead; }

private:
    const std::function<bool(qint64)> m_callback;
    // Of the inputs before this one; of this one in this reading, and at the
    // furthest in any.
    qint64 m_readBefore = 0;
    qint64 m_fileRead = 0;
    qint64 m_fileFurthest = 0;
};

} // namespace TextJoin
