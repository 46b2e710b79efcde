// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

// What Linux tells of an open input: writes as they happen (inotify), and whether
// anyone has it open for writing (a read lease).

#include "inputfile.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <map>
#include <mutex>

#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace TextJoin {

bool openForWriting(const QFile &file)
{
    // The lease is given back at once. Should a writer open the file in between,
    // the system holds its open back until then and signals this process, with
    // SIGURG, which does nothing unless handled (SIGIO, the default, would end it).
    const int descriptor = file.handle();
    if (::fcntl(descriptor, F_SETSIG, SIGURG) != 0)
        return false;
    if (::fcntl(descriptor, F_SETLEASE, F_RDLCK) == 0) {
        ::fcntl(descriptor, F_SETLEASE, F_UNLCK);
        return false;
    }
    return errno == EAGAIN;
}

namespace {

// One inotify instance for the process, never closed: closing one makes the
// system wait milliseconds for its readers to finish, which thousands of joins
// would feel. Watches on the same file are one watch, so they are counted, and
// so are the writes each has seen; every ChangeWatch compares with the count at
// its start.
class Inotify
{
public:
    static Inotify &instance()
    {
        static Inotify inotify;
        return inotify;
    }

    // The watch, and the writes counted on it so far; -1 where there is none.
    int add(int descriptor, quint64 *writes)
    {
        const QByteArray name = "/proc/self/fd/" + QByteArray::number(descriptor);
        std::lock_guard<std::mutex> lock(m_mutex);
        const int watch = m_descriptor >= 0 ? ::inotify_add_watch(m_descriptor, name.constData(), IN_MODIFY) : -1;
        if (watch >= 0) {
            readEvents();
            Watch &counted = m_watches[watch];
            ++counted.users;
            *writes = counted.writes;
        }
        return watch;
    }

    quint64 writes(int watch)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        readEvents();
        return m_watches[watch].writes;
    }

    void remove(int watch)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (--m_watches[watch].users == 0) {
            ::inotify_rm_watch(m_descriptor, watch);
            m_watches.erase(watch);
        }
    }

private:
    struct Watch
    {
        int users = 0;
        quint64 writes = 0;
    };

    Inotify()
        : m_descriptor(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
    }

    void readEvents()
    {
        alignas(inotify_event) char events[4096];
        ssize_t got;
        while ((got = ::read(m_descriptor, events, sizeof events)) > 0) {
            for (ssize_t at = 0; at < got;) {
                const auto *event = reinterpret_cast<const inotify_event *>(events + at);
                if (event->mask & IN_MODIFY) {
                    const auto found = m_watches.find(event->wd);
                    if (found != m_watches.end())
                        ++found->second.writes;
                }
                // Lost events may have been writes to any of them.
                if (event->mask & IN_Q_OVERFLOW) {
                    for (auto &watch : m_watches)
                        ++watch.second.writes;
                }
                at += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
    }

    std::mutex m_mutex;
    const int m_descriptor;
    std::map<int, Watch> m_watches;
};

} // namespace

ChangeWatch::~ChangeWatch()
{
    end();
}

void ChangeWatch::end()
{
    if (m_watched >= 0)
        Inotify::instance().remove(m_watched);
    m_watched = -1;
}

// inotify is told of a file by name: /proc/self/fd names the open file itself,
// whatever has become of the name it was opened by.
void ChangeWatch::watch(int descriptor)
{
    end();
    m_watched = Inotify::instance().add(descriptor, &m_writesBefore);
}

WatchedChanges ChangeWatch::seen()
{
    if (m_watched < 0)
        return {};
    return {true, Inotify::instance().writes(m_watched) != m_writesBefore};
}

} // namespace TextJoin
