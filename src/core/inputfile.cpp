// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "inputfile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#ifdef Q_OS_WIN
#include <QDir>
#include <qt_windows.h>
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#endif

namespace TextJoin {

bool sameContent(const InputState &before, const InputState &after)
{
    return before.size == after.size && before.modified == after.modified
        && (before.changed == after.changed || after.links < before.links);
}

namespace {

// Time stamps come from a clock that moves in ticks of a few milliseconds (the
// coarse clock of Linux, 4 ms on Debian; 10 ms on exFAT), so a write in the same
// tick as the one before leaves them as they were. A file changed within the last
// few ticks is looked at again once they have passed: any write after that shows
// in a later time stamp.
constexpr qint64 settleMilliseconds = 15;

template<typename ReadState, typename Now>
bool settledState(ReadState readState, Now now, qint64 unitsPerMillisecond, InputState *state)
{
    if (!readState(state))
        return false;
    const qint64 settle = settleMilliseconds * unitsPerMillisecond;
    const qint64 age = now() - std::max(state->modified, state->changed);
    if (age >= settle)
        return true;
    const qint64 wait = std::min(settle, settle - age);
    std::this_thread::sleep_for(std::chrono::milliseconds(wait / unitsPerMillisecond + 1));
    return readState(state);
}

} // namespace

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
    state->changed = times.ChangeTime.QuadPart;
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

OpenedInput openRegularFile(const QString &path, QFile &file)
{
    // Backup semantics let a folder open too, so that it is told apart by its type.
    const HANDLE handle = CreateFileW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16()),
                                      GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return {OpenedInput::Outcome::Failed, qt_error_string(int(GetLastError())), {}};
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
    if (!settledState([handle](InputState *s) { return stateOf(handle, s); }, fileTimeNow, 10000, &state))
        return fail(OpenedInput::Outcome::Failed, qt_error_string(int(GetLastError())));
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

OpenedInput openRegularFile(const QString &path, QFile &file)
{
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        // A socket, or a device node without a driver, cannot be opened at all.
        const int error = errno;
        if (error == ENXIO || error == EOPNOTSUPP)
            return {OpenedInput::Outcome::NotRegularFile, {}, {}};
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
    InputState state;
    if (!settledState([descriptor](InputState *s) { return stateOf(descriptor, s); }, nanosecondsNow, 1000000,
                      &state))
        return fail(OpenedInput::Outcome::Failed, errno);
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

#endif

} // namespace TextJoin
