// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "outputfile.h"

#include "windowspath.h"

#include <QDir>

#include <qt_windows.h>
#include <fcntl.h>
#include <io.h>

#include <vector>

namespace TextJoin {

struct OutputFile::Native
{
    // The output's path as the system opens it exactly, links followed.
    QString target;
    QString folder;
    HANDLE file = INVALID_HANDLE_VALUE;
    int descriptor = -1;
    bool committed = false;
};

namespace {

const wchar_t *native(const QString &path)
{
    return reinterpret_cast<const wchar_t *>(path.utf16());
}

// The path to the file the output's path leads to: the path itself unless it
// is a link to a file.
QString finalPath(const QString &path, HANDLE file)
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(file, buffer.data(), DWORD(buffer.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0)
            return path;
        if (length < buffer.size())
            return QString::fromWCharArray(buffer.data(), int(length));
        buffer.resize(length + 1);
    }
}

// A temporary file no join holds any more goes. A running join's is open and
// shared with no one who would remove it, so the system refuses to. The inputs
// and the output stay, whatever their names (`spared`: exact paths, in lower case).
void removeStaleTemporaries(const QString &folder, const QStringList &spared)
{
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileExW(native(folder + QLatin1String("\\.sheafwright-*.tmp")), FindExInfoBasic,
                                           &found, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const QString name = QString::fromWCharArray(found.cFileName);
        const QString path = folder + QLatin1Char('\\') + name;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && OutputFile::isTemporaryName(name)
            && !spared.contains(path.toLower()))
            DeleteFileW(native(path));
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

bool setAttributes(HANDLE file, DWORD attributes)
{
    FILE_BASIC_INFO basic = {};
    basic.FileAttributes = attributes;
    return SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic);
}

} // namespace

OutputFile::OutputFile(const QString &path)
    : m_path(path)
    , m_native(std::make_unique<Native>())
{
}

OutputFile::~OutputFile()
{
    m_device.close();
    Native &n = *m_native;
    if (n.file == INVALID_HANDLE_VALUE)
        return;
    if (!n.committed) {
        FILE_DISPOSITION_INFO remove = {TRUE};
        SetFileInformationByHandle(n.file, FileDispositionInfo, &remove, sizeof remove);
    }
    // The descriptor owns the handle.
    if (n.descriptor >= 0)
        _close(n.descriptor);
    else
        CloseHandle(n.file);
}

bool OutputFile::open(const QStringList &inputs)
{
    Native &n = *m_native;
    const QString current = QDir::toNativeSeparators(QDir::currentPath());
    n.target = extendedLengthPath(m_path, current);
    const HANDLE existing = CreateFileW(native(n.target), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (existing != INVALID_HANDLE_VALUE) {
        BY_HANDLE_FILE_INFORMATION information;
        const bool known = GetFileInformationByHandle(existing, &information);
        const bool file = GetFileType(existing) == FILE_TYPE_DISK && known
            && !(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        n.target = finalPath(n.target, existing);
        CloseHandle(existing);
        if (!file)
            return fail(Failure::NotRegularFile, QString());
        if (information.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
            return fail(Failure::ReadOnly, QString());
    } else if (const DWORD error = GetLastError(); error != ERROR_FILE_NOT_FOUND) {
        return fail(Failure::Create, int(error));
    }
    n.folder = n.target.left(n.target.lastIndexOf(QLatin1Char('\\')));

    QStringList spared{n.target.toLower()};
    for (const QString &input : inputs)
        spared << extendedLengthPath(input, current).toLower();
    removeStaleTemporaries(n.folder, spared);

    // Hidden, and held open with no one allowed to remove it, until it is complete.
    for (;;) {
        n.file = CreateFileW(native(n.folder + QLatin1Char('\\') + temporaryName()), GENERIC_READ | GENERIC_WRITE | DELETE,
                             FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY,
                             nullptr);
        if (n.file != INVALID_HANDLE_VALUE)
            break;
        if (const DWORD error = GetLastError(); error != ERROR_FILE_EXISTS)
            return fail(Failure::Create, int(error));
    }
    n.descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(n.file), _O_WRONLY | _O_BINARY);
    if (n.descriptor < 0)
        return fail(Failure::Create, int(ERROR_INVALID_HANDLE));
    if (!m_device.open(n.descriptor, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle))
        return fail(Failure::Create, m_device.errorString());
    return true;
}

bool OutputFile::commit()
{
    Native &n = *m_native;
    // What is at the path may have changed during a long join.
    const DWORD now = GetFileAttributesW(native(n.target));
    if (now != INVALID_FILE_ATTRIBUTES && (now & FILE_ATTRIBUTE_DIRECTORY))
        return fail(Failure::NotRegularFile, QString());
    if (!FlushFileBuffers(n.file))
        return fail(Failure::Flush, int(GetLastError()));
    if (!setAttributes(n.file, FILE_ATTRIBUTE_NORMAL))
        return fail(Failure::Replace, int(GetLastError()));
    // Renamed while still open, so that no other join removes it in between.
    const std::wstring name = n.target.toStdWString();
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
    auto *rename = reinterpret_cast<FILE_RENAME_INFO *>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = DWORD(name.size() * sizeof(wchar_t));
    std::copy(name.begin(), name.end(), rename->FileName);
    if (!SetFileInformationByHandle(n.file, FileRenameInfo, rename, DWORD(buffer.size()))) {
        const DWORD error = GetLastError();
        setAttributes(n.file, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY);
        return fail(Failure::Replace, int(error));
    }
    n.committed = true;
    return true;
}

} // namespace TextJoin
