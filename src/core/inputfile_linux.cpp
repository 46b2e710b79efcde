// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

// Inputs on Linux: opened without blocking, and told apart by what the opened file is.

#include "inputfile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace TextJoin {

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
    state->modified = nanoseconds(status.st_mtim);
    state->changed = nanoseconds(status.st_ctim);
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

} // namespace TextJoin
