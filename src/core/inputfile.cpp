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

#ifdef Q_OS_WIN

OpenedInput openRegularFile(const QString &path, QFile &file)
{
    // Backup semantics let a folder open too, so that it is told apart by its type.
    const HANDLE handle = CreateFileW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16()),
                                      GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return {OpenedInput::Outcome::Failed, qt_error_string(int(GetLastError()))};
    BY_HANDLE_FILE_INFORMATION information;
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &information)
        || (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        CloseHandle(handle);
        return {OpenedInput::Outcome::NotRegularFile, {}};
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (descriptor < 0) {
        CloseHandle(handle);
        return {OpenedInput::Outcome::Failed, qt_error_string(errno)};
    }
    if (!file.open(descriptor, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        _close(descriptor);
        return {OpenedInput::Outcome::Failed, file.errorString()};
    }
    return {OpenedInput::Outcome::Opened, {}};
}

#else

OpenedInput openRegularFile(const QString &path, QFile &file)
{
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        return {OpenedInput::Outcome::Failed, qt_error_string(errno)};
    struct stat status;
    if (::fstat(descriptor, &status) != 0) {
        const int error = errno;
        ::close(descriptor);
        return {OpenedInput::Outcome::Failed, qt_error_string(error)};
    }
    if (!S_ISREG(status.st_mode)) {
        ::close(descriptor);
        return {OpenedInput::Outcome::NotRegularFile, {}};
    }
    if (!file.open(descriptor, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        return {OpenedInput::Outcome::Failed, file.errorString()};
    }
    return {OpenedInput::Outcome::Opened, {}};
}

#endif

} // namespace TextJoin
