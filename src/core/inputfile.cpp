// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "inputfile.h"

#include <QFile>

#include <cerrno>

#ifdef Q_OS_WIN
#include <QDir>
#include <qt_windows.h>
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace TextJoin {

bool sameContent(const InputState &before, const InputState &after)
{
    return before.device == after.device && before.file == after.file && before.size == after.size
        && before.modified == after.modified && (before.changed == after.changed || before.links != after.links);
}

#ifdef Q_OS_WIN

namespace {

qint64 fileTime(LARGE_INTEGER time)
{
    return time.QuadPart * 100; // in units of 100 ns
}

bool stateOf(HANDLE handle, InputState *state)
{
    BY_HANDLE_FILE_INFORMATION information;
    FILE_BASIC_INFO times;
    if (!GetFileInformationByHandle(handle, &information)
        || !GetFileInformationByHandleEx(handle, FileBasicInfo, &times, sizeof times))
        return false;
    state->device = information.dwVolumeSerialNumber;
    state->file = quint64(information.nFileIndexHigh) << 32 | information.nFileIndexLow;
    state->size = qint64(quint64(information.nFileSizeHigh) << 32 | information.nFileSizeLow);
    state->modified = fileTime(times.LastWriteTime);
    state->changed = fileTime(times.ChangeTime);
    state->links = information.nNumberOfLinks;
    return true;
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
    InputState state;
    BY_HANDLE_FILE_INFORMATION information;
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &information)
        || (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !stateOf(handle, &state)) {
        CloseHandle(handle);
        return {OpenedInput::Outcome::NotRegularFile, {}, {}};
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (descriptor < 0) {
        CloseHandle(handle);
        return {OpenedInput::Outcome::Failed, qt_error_string(errno), {}};
    }
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

InputState stateOf(const struct stat &status)
{
    InputState state;
    state.device = quint64(status.st_dev);
    state.file = quint64(status.st_ino);
    state.size = qint64(status.st_size);
#ifdef Q_OS_DARWIN
    state.modified = nanoseconds(status.st_mtimespec);
    state.changed = nanoseconds(status.st_ctimespec);
#else
    state.modified = nanoseconds(status.st_mtim);
    state.changed = nanoseconds(status.st_ctim);
#endif
    state.links = quint64(status.st_nlink);
    return state;
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
    struct stat status;
    if (::fstat(descriptor, &status) != 0) {
        const int error = errno;
        ::close(descriptor);
        return {OpenedInput::Outcome::Failed, qt_error_string(error), {}};
    }
    if (!S_ISREG(status.st_mode)) {
        ::close(descriptor);
        return {OpenedInput::Outcome::NotRegularFile, {}, {}};
    }
    if (!file.open(descriptor, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        return {OpenedInput::Outcome::Failed, file.errorString(), {}};
    }
    return {OpenedInput::Outcome::Opened, {}, stateOf(status)};
}

bool currentState(const QFile &file, InputState *state)
{
    struct stat status;
    if (::fstat(file.handle(), &status) != 0)
        return false;
    *state = stateOf(status);
    return true;
}

#endif

} // namespace TextJoin
