// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "droppedfiles.h"

#include "nameorder.h"
#include "visiblename.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace {

#ifdef Q_OS_UNIX
// Listed by the system, not by QDir, which turns the names the system's encoding
// does not read into U+FFFD and then finds no such files: those are kept, as their bytes.
void addTextFilesIn(const QByteArray &folder, DroppedFiles &files)
{
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return;
    const QByteArray prefix = folder.endsWith('/') ? folder : folder + '/';
    const QDir readableFolder(QFile::decodeName(folder));
    QStringList paths;
    QList<QByteArray> unreadable;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        const QByteArray path = prefix + name;
        struct stat status;
        if (name.startsWith('.') || !name.toLower().endsWith(".txt") || ::stat(path.constData(), &status) != 0
            || !S_ISREG(status.st_mode))
            continue;
        if (isReadableName(path))
            paths << readableFolder.filePath(QFile::decodeName(name));
        else
            unreadable << path;
    }
    ::closedir(dir);
    files.paths << sortedByName(paths);
    std::sort(unreadable.begin(), unreadable.end());
    files.unreadable << unreadable;
}
#else
void addTextFilesIn(const QString &folder, DroppedFiles &files)
{
    const QDir dir(folder, QStringLiteral("*.txt"), QDir::NoSort, QDir::Files);
    QStringList paths;
    for (const QString &name : dir.entryList())
        paths << dir.filePath(name);
    files.paths << sortedByName(paths);
}
#endif

} // namespace

DroppedFiles droppedFiles(const QMimeData *data)
{
    DroppedFiles files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl &url : data->urls()) {
        if (!url.isLocalFile())
            continue;
        const QFileInfo info(url.toLocalFile());
#ifdef Q_OS_UNIX
        // The URL keeps a name's bytes, percent-encoded; its text has U+FFFD for
        // those the system's encoding does not read.
        const QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
        const QByteArray path = isReadableName(bytes) ? QFile::encodeName(info.filePath()) : bytes;
        struct stat status;
        if (::stat(path.constData(), &status) != 0)
            continue;
        if (S_ISDIR(status.st_mode))
            addTextFilesIn(path, files);
        else if (isReadableName(path))
            files.paths << info.filePath();
        else
            files.unreadable << path;
#else
        if (info.isDir())
            addTextFilesIn(info.filePath(), files);
        else if (info.exists())
            files.paths << info.filePath();
#endif
    }
    return files;
}
