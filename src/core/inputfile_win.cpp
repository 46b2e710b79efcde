// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

// Inputs on Windows: opened by their exact names so that no one can write to them
// while they are read. Nothing needs watching, and no one can be writing them.

#include "inputfile.h"

#include "windowspath.h"

#include <QDir>
#include <QFile>

#include <qt_windows.h>
#include <cerrno>
#include <fcntl.h>
#include <io.h>

namespace TextJoin {

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
ChangeWatch::~ChangeWatch() = default;

void ChangeWatch::end() {}

void ChangeWatch::watch(int) {}

WatchedChanges ChangeWatch::seen()
{
    return {};
}

} // namespace TextJoin
