// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "outputfile.h"

#include <QStringList>

#include <cerrno>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace TextJoin {

struct OutputFile::Native
{
    int folder = -1;
    int file = -1;
    // The output's own name in its folder, links followed.
    QByteArray target;
    // The temporary file's name; empty while it has none (made with O_TMPFILE).
    QByteArray temporary;
    bool replacing = false;
    mode_t mode = 0;
    bool committed = false;
};

namespace {

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The path a chain of links leads to, the path itself where it is none; empty
// for a chain that never ends. A relative link is taken from its own folder as
// the system takes it: ".." after a folder that is itself a link is the parent
// of where that link leads, so nothing is cleaned away as text.
QByteArray followLinks(QByteArray path)
{
    for (int depth = 0; depth < 128; ++depth) {
        struct stat status;
        if (::lstat(path.constData(), &status) != 0 || !S_ISLNK(status.st_mode))
            return path;
        QByteArray target(qsizetype(status.st_size > 0 ? status.st_size : 255) + 1, Qt::Uninitialized);
        const ssize_t length = ::readlink(path.constData(), target.data(), std::size_t(target.size()));
        if (length < 0 || length >= target.size())
            return path; // changed meanwhile: the system has the last word when the folder is opened
        target.truncate(length);
        const qsizetype slash = path.lastIndexOf('/');
        path = target.startsWith('/') || slash < 0 ? target : path.left(slash + 1) + target;
    }
    return QByteArray();
}

bool sameFile(const struct stat &a, dev_t device, ino_t inode)
{
    return a.st_dev == device && a.st_ino == inode;
}

// The files a sweep leaves alone whatever their names: the output, and the inputs.
class Spared
{
public:
    Spared(const QStringList &paths, const QByteArray &target)
        : m_paths(paths)
        , m_target(target)
    {
    }

    bool contains(const struct stat &file)
    {
        if (!m_known) {
            // Only once a sweep finds something to remove.
            m_known = true;
            for (const QString &path : m_paths)
                add(QFile::encodeName(path));
            add(m_target);
        }
        for (const auto &spared : m_files) {
            if (sameFile(file, spared.first, spared.second))
                return true;
        }
        return false;
    }

private:
    void add(const QByteArray &path)
    {
        struct stat status;
        if (::stat(path.constData(), &status) == 0)
            m_files.push_back({status.st_dev, status.st_ino});
    }

    const QStringList &m_paths;
    const QByteArray m_target;
    bool m_known = false;
    std::vector<std::pair<dev_t, ino_t>> m_files;
};

// A temporary file that no join holds any more goes; one that a join still
// holds is locked, and stays. The lock is taken on the file itself, which is
// removed only while it is held and only if the name still leads to it. It is
// opened for writing where it can be: NFS locks only such files.
void removeIfStale(int folder, const char *name, Spared &spared)
{
    int file = ::openat(folder, name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (file < 0 && errno == EACCES)
        file = ::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (file < 0)
        return;
    struct stat opened;
    struct stat named;
    if (::fstat(file, &opened) == 0 && S_ISREG(opened.st_mode) && ::flock(file, LOCK_EX | LOCK_NB) == 0
        && ::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(opened, named)
        && !spared.contains(opened))
        ::unlinkat(folder, name, 0);
    ::close(file);
}

void removeStaleTemporaries(int folder, Spared &spared)
{
    const int listed = ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
    DIR *entries = listed >= 0 ? ::fdopendir(listed) : nullptr;
    if (!entries) {
        if (listed >= 0)
            ::close(listed);
        return;
    }
    while (const dirent *entry = ::readdir(entries)) {
        if (entry->d_name[0] == '.' && OutputFile::isTemporaryName(QFile::decodeName(entry->d_name)))
            removeIfStale(folder, entry->d_name, spared);
    }
    ::closedir(entries);
}

// The lock tells other joins the file is in use. Where the file system has no
// locks, the file goes unlocked: no sweep can lock it either, so none removes it.
bool lockOrNoLocks(int file)
{
    return ::flock(file, LOCK_EX | LOCK_NB) == 0 || (errno != EWOULDBLOCK && errno != EINTR);
}

// The output's temporary file in `folder`, locked, and its name, left empty
// where it has none; -1 with errno where none could be made.
int makeTemporary(int folder, mode_t mode, QByteArray &name)
{
#ifdef O_TMPFILE
    // Where the file system can, the file has no name until it is complete, so a
    // join killed before then leaves nothing at all. It is named through /proc.
    if (::access("/proc/self/fd", F_OK) == 0) {
        const int file = ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
        if (file >= 0) {
            if (lockOrNoLocks(file))
                return file;
            const int error = errno;
            ::close(file);
            errno = error;
            return -1;
        }
    }
#endif
    for (;;) {
        name = QFile::encodeName(OutputFile::temporaryName());
        const int file = ::openat(folder, name.constData(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, mode);
        if (file < 0) {
            if (errno == EEXIST)
                continue;
            name.clear();
            return -1;
        }
        // Another join's sweep may have found it between its making and its lock;
        // then that join removes it, and this one makes another.
        struct stat opened;
        struct stat named;
        if (lockOrNoLocks(file) && ::fstat(file, &opened) == 0
            && ::fstatat(folder, name.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(opened, named))
            return file;
        ::close(file);
    }
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
    if (n.file >= 0 && !n.committed && !n.temporary.isEmpty())
        ::unlinkat(n.folder, n.temporary.constData(), 0);
    if (n.file >= 0)
        ::close(n.file);
    if (n.folder >= 0)
        ::close(n.folder);
}

bool OutputFile::open(const QStringList &inputs)
{
    Native &n = *m_native;
    const QByteArray target = followLinks(QFile::encodeName(m_path));
    if (target.isEmpty())
        return fail(Failure::NotRegularFile, QString());
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folderPath = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : target.left(slash);
    n.target = target.mid(slash + 1);
    if (n.target.isEmpty())
        return fail(Failure::NotRegularFile, QString());

    n.folder = ::open(folderPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (n.folder < 0)
        return fail(Failure::Create, errno);
    struct stat existing;
    if (::fstatat(n.folder, n.target.constData(), &existing, 0) == 0) {
        if (!S_ISREG(existing.st_mode))
            return fail(Failure::NotRegularFile, QString());
        // Read-only by its permissions, whoever asks: even the administrator's
        // join leaves alone a file its owner marked so.
        if (!(existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH))
            || ::faccessat(n.folder, n.target.constData(), W_OK, AT_EACCESS) != 0)
            return fail(Failure::ReadOnly, QString());
        n.replacing = true;
        n.mode = existing.st_mode & 07777;
    } else if (errno != ENOENT) {
        return fail(Failure::Create, errno);
    }

    Spared spared(inputs, target);
    removeStaleTemporaries(n.folder, spared);

    // Until it replaces a file it is readable by its owner only; a new file gets
    // the permissions new files get.
    n.file = makeTemporary(n.folder, n.replacing ? 0600 : 0666, n.temporary);
    if (n.file < 0)
        return fail(Failure::Create, errno);
    if (!m_device.open(n.file, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle))
        return fail(Failure::Create, m_device.errorString());
    return true;
}

bool OutputFile::commit()
{
    Native &n = *m_native;
    // What is at the path may have changed during a long join.
    struct stat existing;
    if (::fstatat(n.folder, n.target.constData(), &existing, 0) == 0 && !S_ISREG(existing.st_mode))
        return fail(Failure::NotRegularFile, QString());
    if (::fdatasync(n.file) != 0)
        return fail(Failure::Flush, errno);
    // Where the file system keeps no permissions (FAT), there is nothing to keep.
    if (n.replacing)
        ::fchmod(n.file, n.mode);
    if (n.temporary.isEmpty()) {
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(n.file);
        for (;;) {
            const QByteArray name = QFile::encodeName(temporaryName());
            if (::linkat(AT_FDCWD, self.constData(), n.folder, name.constData(), AT_SYMLINK_FOLLOW) == 0) {
                n.temporary = name;
                break;
            }
            if (errno != EEXIST)
                return fail(Failure::Replace, errno);
        }
    }
    // Should the join be killed between the two, the name is a temporary file's,
    // and the next join into the folder removes it.
    if (::renameat(n.folder, n.temporary.constData(), n.folder, n.target.constData()) != 0)
        return fail(Failure::Replace, errno);
    n.committed = true;
    return true;
}

} // namespace TextJoin
