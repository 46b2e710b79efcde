// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "inputfile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#ifdef Q_OS_WIN
#include "windowspath.h"

#include <QDir>
#include <qt_windows.h>
#include <fcntl.h>
#include <io.h>
#else
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#ifdef Q_OS_LINUX
#include <sys/inotify.h>
#endif
#include <time.h>
#include <unistd.h>
#endif

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

#ifdef Q_OS_WIN

namespace {

bool stateOf(HANDLE handle, InputState *state)
{
    BY_HANDLE_FILE_INFORMATION information;
    FILE_BASIC_INFO times;
    if (!GetFileInformationByHandle(handle, &information)
        || !GetFileInformationByHandleEx(handle, FileBasicInfo, &times, sizeof times))
        return false;
    state->size = qint64(quint64(information.nFileSizeHigh) << 32 | information.nFileSizeLow);
    state->modified = times.LastWriteTime.QuadPart;
    // No one can write to an input while it is open, so its change time tells
    // only of attributes and names: left out.
    state->changed = 0;
    state->links = information.nNumberOfLinks;
    return true;
}

// In the units of file times: 100 ns since 1601.
qint64 fileTimeNow()
{
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    return qint64(quint64(now.dwHighDateTime) << 32 | now.dwLowDateTime);
}

} // namespace

OpenedInput openRegularFile(const QString &path, QFile &file, ChangeWatch *, SettleBudget &settle)
{
    // Shared for reading, renaming and removing, not for writing: no one writes to
    // it while it is read, and a file someone is writing does not open. Backup
    // semantics let a folder open too, so that it is told apart by its type.
    // By its exact name: "t.txt." is not "t.txt", and a path may be longer than 260.
    const QString exact = extendedLengthPath(path, QDir::toNativeSeparators(QDir::currentPath()));
    const HANDLE handle = CreateFileW(reinterpret_cast<const wchar_t *>(exact.utf16()),
                                      GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_SHARING_VIOLATION)
            return {OpenedInput::Outcome::InUse, {}, {}};
        return {OpenedInput::Outcome::Failed, qt_error_string(int(error)), {}};
    }
    const auto fail = [handle](OpenedInput::Outcome outcome, const QString &error) {
        CloseHandle(handle);
        return OpenedInput{outcome, error, {}};
    };
    if (GetFileType(handle) != FILE_TYPE_DISK)
        return fail(OpenedInput::Outcome::NotRegularFile, {});
    FILE_BASIC_INFO kind;
    if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &kind, sizeof kind))
        return fail(OpenedInput::Outcome::Failed, qt_error_string(int(GetLastError())));
    if (kind.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return fail(OpenedInput::Outcome::NotRegularFile, {});
    InputState state;
    switch (settledState([handle](InputState *s) { return stateOf(handle, s); }, fileTimeNow, 10000, settle, &state)) {
    case Settled::Yes:
        break;
    case Settled::Changing:
        return fail(OpenedInput::Outcome::Changing, {});
    case Settled::Failed:
        return fail(OpenedInput::Outcome::Failed, qt_error_string(int(GetLastError())));
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (descriptor < 0)
        return fail(OpenedInput::Outcome::Failed, qt_error_string(errno));
    if (!file.open(descriptor, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        _close(descriptor);
        return {OpenedInput::Outcome::Failed, file.errorString(), {}};
    }
    return {OpenedInput::Outcome::Opened, {}, state};
}

bool currentState(const QFile &file, InputState *state)
{
    const intptr_t handle = _get_osfhandle(file.handle());
    return handle != -1 && stateOf(reinterpret_cast<HANDLE>(handle), state);
}

bool openForWriting(const QFile &)
{
    return false;
}

#else

namespace {

qint64 nanoseconds(const timespec &time)
{
    return qint64(time.tv_sec) * 1000000000 + time.tv_nsec;
}

bool stateOf(int descriptor, InputState *state)
{
    struct stat status;
    if (::fstat(descriptor, &status) != 0)
        return false;
    state->size = qint64(status.st_size);
#ifdef Q_OS_DARWIN
    state->modified = nanoseconds(status.st_mtimespec);
    state->changed = nanoseconds(status.st_ctimespec);
#else
    state->modified = nanoseconds(status.st_mtim);
    state->changed = nanoseconds(status.st_ctim);
#endif
    state->links = quint64(status.st_nlink);
    return true;
}

qint64 nanosecondsNow()
{
    timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    return nanoseconds(now);
}

} // namespace

OpenedInput openRegularFile(const QString &path, QFile &file, ChangeWatch *watch, SettleBudget &settle)
{
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        // A socket, or a device node without a driver, cannot be opened at all.
        const int error = errno;
        if (error == ENXIO || error == EOPNOTSUPP)
            return {OpenedInput::Outcome::NotRegularFile, {}, {}};
        // Another program holds a write lease on it (Samba does, for its clients'
        // writes): without O_NONBLOCK the open would wait for it to end.
        if (error == EWOULDBLOCK)
            return {OpenedInput::Outcome::InUse, {}, {}};
        return {OpenedInput::Outcome::Failed, qt_error_string(error), {}};
    }
    const auto fail = [descriptor](OpenedInput::Outcome outcome, int error) {
        ::close(descriptor);
        return OpenedInput{outcome, error ? qt_error_string(error) : QString(), {}};
    };
    struct stat status;
    if (::fstat(descriptor, &status) != 0)
        return fail(OpenedInput::Outcome::Failed, errno);
    if (!S_ISREG(status.st_mode))
        return fail(OpenedInput::Outcome::NotRegularFile, 0);
    if (watch)
        watch->watch(descriptor);
    InputState state;
    switch (settledState([descriptor](InputState *s) { return stateOf(descriptor, s); }, nanosecondsNow, 1000000,
                         settle, &state)) {
    case Settled::Yes:
        break;
    case Settled::Changing:
        return fail(OpenedInput::Outcome::Changing, 0);
    case Settled::Failed:
        return fail(OpenedInput::Outcome::Failed, errno);
    }
    if (!file.open(descriptor, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        return {OpenedInput::Outcome::Failed, file.errorString(), {}};
    }
    return {OpenedInput::Outcome::Opened, {}, state};
}

bool currentState(const QFile &file, InputState *state)
{
    return stateOf(file.handle(), state);
}

#ifdef Q_OS_LINUX
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
#else
bool openForWriting(const QFile &)
{
    return false;
}
#endif

#endif

#ifdef Q_OS_LINUX

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

#else

ChangeWatch::~ChangeWatch() = default;

void ChangeWatch::end() {}

void ChangeWatch::watch(int) {}

WatchedChanges ChangeWatch::seen()
{
    return {};
}

#endif

} // namespace TextJoin
