// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "outputfile.h"

#include <QFileInfo>

#include <cerrno>

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
// for a chain that never ends.
QString followLinks(const QString &path)
{
    QFileInfo info(path);
    for (int depth = 0; info.isSymLink(); ++depth) {
        if (depth == 128)
            return QString();
        info.setFile(info.symLinkTarget());
    }
    return info.filePath();
}

// A temporary file that no join holds any more goes; one that a join still
// holds is locked, and stays. The lock is taken on the file itself, which is
// removed only while it is held and only if the name still leads to it.
void removeIfStale(int folder, const char *name)
{
    const int file = ::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (file < 0)
        return;
    struct stat opened;
    struct stat named;
    if (::fstat(file, &opened) == 0 && S_ISREG(opened.st_mode) && ::flock(file, LOCK_EX | LOCK_NB) == 0
        && ::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(opened, named))
        ::unlinkat(folder, name, 0);
    ::close(file);
}

void removeStaleTemporaries(int folder)
{
    const int listed = ::dup(folder);
    DIR *entries = listed >= 0 ? ::fdopendir(listed) : nullptr;
    if (!entries) {
        if (listed >= 0)
            ::close(listed);
        return;
    }
    while (const dirent *entry = ::readdir(entries)) {
        if (entry->d_name[0] == '.' && OutputFile::isTemporaryName(QFile::decodeName(entry->d_name)))
            removeIfStale(folder, entry->d_name);
    }
    ::closedir(entries);
}

// The lock tells other joins the file is in use. Where the file system has no
// locks, the file goes unlocked: no sweep can lock it either, so none removes it.
bool lockOrNoLocks(int file)
{
    return ::flock(file, LOCK_EX | LOCK_NB) == 0 || (errno != EWOULDBLOCK && errno != EINTR);
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

bool OutputFile::open()
{
    Native &n = *m_native;
    const QString target = followLinks(m_path);
    if (target.isEmpty())
        return fail(Failure::NotRegularFile, QString());
    const QFileInfo info(target);
    const QByteArray folderPath = QFile::encodeName(info.path());
    n.target = QFile::encodeName(info.fileName());

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

    removeStaleTemporaries(n.folder);

    // Until it replaces a file it is readable by its owner only; a new file gets
    // the permissions new files get.
    const mode_t mode = n.replacing ? 0600 : 0666;
#ifdef O_TMPFILE
    // Where the file system can, the file has no name until it is complete, so a
    // join killed before then leaves nothing at all.
    n.file = ::openat(n.folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (n.file >= 0 && !lockOrNoLocks(n.file))
        return fail(Failure::Create, errno);
#endif
    while (n.file < 0) {
        n.temporary = QFile::encodeName(temporaryName());
        n.file = ::openat(n.folder, n.temporary.constData(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC,
                          mode);
        if (n.file < 0) {
            if (errno == EEXIST)
                continue;
            n.temporary.clear();
            return fail(Failure::Create, errno);
        }
        // Another join's sweep may have found it between its making and its lock;
        // then that join removes it, and this one makes another.
        struct stat opened;
        struct stat named;
        if (lockOrNoLocks(n.file) && ::fstat(n.file, &opened) == 0
            && ::fstatat(n.folder, n.temporary.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0
            && sameFile(opened, named))
            break;
        ::close(n.file);
        n.file = -1;
    }
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
