// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#pragma once

#include <QFile>
#include <QString>

#include <functional>

namespace TextJoin {

// What the system says of an open input: how large it is, and when its content
// and its metadata last changed (in the system's own units, only ever compared).
// Taken again after reading the file, it tells whether the bytes read are one
// version of it.
struct InputState
{
    qint64 size = 0;
    qint64 modified = 0;
    qint64 changed = 0; // metadata included; 0 where nothing but the input's bytes could change it
    quint64 links = 0;
};

// What was seen of an open input while it was read, as it happened.
struct WatchedChanges
{
    bool watching = false; // every write was reported
    bool written = false;  // its bytes were written to, cut or grown
};

// Whether `after` is the same content as `before`. Only the bytes count: a
// write seen, or a change of size or of modification time, is a change. The
// change time moves with metadata too (permissions, access time, links,
// attributes), so it is only looked at where no watch saw every write, and a
// change of it is excused only where the open file no longer has a name
// (renamed over or removed), which leaves what it reads as it was.
bool sameContent(const InputState &before, const InputState &after, const WatchedChanges &seen);

// Tells of writes to an open input as they happen, whatever the granularity of
// its time stamps: inotify on Linux. A join holds one, for an input at a time.
// Elsewhere it watches nothing, and the time stamps and size are all there is
// (on Windows, inputs are opened so that no one can write to them).
class ChangeWatch
{
public:
    ChangeWatch() = default;
    ~ChangeWatch();
    ChangeWatch(const ChangeWatch &) = delete;
    ChangeWatch &operator=(const ChangeWatch &) = delete;

    // Watches the file open at `descriptor` from now on, instead of the one before.
    void watch(int descriptor);
    // Everything seen of the file watched since the watch on it began.
    WatchedChanges seen();

private:
    void end();

    int m_watched = -1;
    quint64 m_writesBefore = 0;
};

// How long a join waits, in all, for the time stamps of inputs that were just
// written to settle: a file that changes again and again is refused once it is
// used up, rather than waited for, however many such files there are.
class SettleBudget
{
public:
    explicit SettleBudget(qint64 milliseconds = 1000)
        : m_left(milliseconds)
    {
    }
    // Waits, where that is still within the budget; false where it is not.
    bool wait(qint64 milliseconds);

private:
    qint64 m_left;
};

struct OpenedInput
{
    enum class Outcome {
        Opened,
        NotRegularFile, // a folder, a pipe, a socket, a device: nothing that can be read twice or has an end
        InUse,          // another program has it open for writing, or holds a write lease on it
        Changing,       // it was still being changed when the settle budget ran out
        Failed,         // error: the system's reason
    };

    Outcome outcome;
    QString error;
    // When opened; for a file changed a moment before, once its time stamps can
    // tell that change from a later one.
    InputState state;
};

// Opens an input for reading if, and only if, it is a regular file (after
// following links). The decision is taken on the opened file, not on a name
// checked earlier, and opening never blocks, not even on a FIFO without a writer.
// `watch`, where given, is on the file before its state is taken and its first
// byte read. On Windows no one can write to it while it is open, and a file
// someone else is writing is not opened.
OpenedInput openRegularFile(const QString &path, QFile &file, ChangeWatch *watch, SettleBudget &settle);

// The state of an input opened by openRegularFile() now; false where the system
// cannot tell.
bool currentState(const QFile &file, InputState *state);

// Whether any program, this one included, has the input open for writing now. A
// write may then be under way: the system stamps a write's time when it begins
// and tells the watch of it only when it ends, and its first pages are in the
// file meanwhile, so a write paused part-way shows in neither. Linux tells by
// granting a read lease only while no one has the file open for writing; where
// it grants this process none (a file of another user, some network file
// systems) it cannot be told, and neither can it on Windows, where no one can
// write to an input while it is open: false.
bool openForWriting(const QFile &file);

// An input open for reading that answers for itself: whether the bytes read of it
// are one version of it, and whether another program is writing it. The join's
// watch and settle budget serve one input after another.
class InputFile
{
public:
    InputFile(ChangeWatch &watch, SettleBudget &settle)
        : m_watch(watch)
        , m_settle(settle)
    {
    }

    // Opens the file at `path` if it is a regular file (see openRegularFile).
    OpenedInput open(const QString &path);
    QFile &file() { return m_file; }
    qint64 sizeWhenOpened() const { return m_opened.size; }
    // Written to, cut or grown since it was opened, or the system can no longer tell.
    bool changed();
    // Another program has it open for writing now (see openForWriting).
    bool beingWritten() const { return openForWriting(m_file); }

private:
    ChangeWatch &m_watch;
    SettleBudget &m_settle;
    QFile m_file;
    InputState m_opened;
};

// Time stamps come from a clock that moves in ticks of a few milliseconds, so a
// write in the same tick as the one before leaves them as they were. This reads
// the state of a file until its last change is at least a few ticks old (or
// stamped in the future, which any later write undoes), waiting in between:
// any write after that shows in a later time stamp. `now` counts in the units
// of the time stamps. A file whose stamps are still too young once `budget` is
// used up is Changing.
enum class Settled { Yes, Changing, Failed };
Settled settledState(const std::function<bool(InputState *)> &readState, const std::function<qint64()> &now,
                     qint64 unitsPerMillisecond, SettleBudget &budget, InputState *state);

} // namespace TextJoin
