// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "inputfile.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace TextJoin {

bool sameContent(const InputState &before, const InputState &after, const WatchedChanges &seen)
{
    if (seen.written || before.size != after.size || before.modified != after.modified)
        return false;
    return seen.watching || before.changed == after.changed || after.links == 0;
}

namespace {

// A few ticks of the coarsest clocks behind time stamps: Linux's (4 ms on
// Debian), exFAT's 10 ms.
constexpr qint64 settleMilliseconds = 15;
// A file written again and again is looked at this often at most; what is
// written to it after it was opened is the watch's to see.
constexpr int mostLooks = 10;

} // namespace

bool SettleBudget::wait(qint64 milliseconds)
{
    if (milliseconds > m_left)
        return false;
    m_left -= milliseconds;
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    return true;
}

Settled settledState(const std::function<bool(InputState *)> &readState, const std::function<qint64()> &now,
                     qint64 unitsPerMillisecond, SettleBudget &budget, InputState *state)
{
    const qint64 settle = settleMilliseconds * unitsPerMillisecond;
    for (int look = 1;; ++look) {
        if (!readState(state))
            return Settled::Failed;
        const qint64 age = now() - std::max(state->modified, state->changed);
        if (age < 0 || age >= settle || look == mostLooks)
            return Settled::Yes;
        if (!budget.wait((settle - age) / unitsPerMillisecond + 1))
            return Settled::Changing;
    }
}

OpenedInput InputFile::open(const QString &path)
{
    const OpenedInput opened = openRegularFile(path, m_file, &m_watch, m_settle);
    m_opened = opened.state;
    return opened;
}

// A file renamed over it is another file, and leaves what the open input reads alone.
bool InputFile::changed()
{
    InputState now;
    return !currentState(m_file, &now) || !sameContent(m_opened, now, m_watch.seen());
}

} // namespace TextJoin
