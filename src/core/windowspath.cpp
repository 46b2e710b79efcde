// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "windowspath.h"

#include <QStringList>

namespace TextJoin {

namespace {

bool isSeparator(QChar c)
{
    return c == QLatin1Char('/') || c == QLatin1Char('\\');
}

bool startsWithDrive(const QString &path)
{
    return path.size() >= 2 && path[1] == QLatin1Char(':') && path[0].isLetter() && path[0].unicode() < 128;
}

// "\\server\share" with at least both names.
bool isShare(const QString &path)
{
    return path.size() > 2 && isSeparator(path[0]) && isSeparator(path[1]) && !isSeparator(path[2]);
}

// The names after the root, with "." dropped and ".." taking back the name
// before it, never past the root.
QString joinedNames(const QString &rest)
{
    QStringList names;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= rest.size(); ++i) {
        if (i < rest.size() && !isSeparator(rest[i]))
            continue;
        const QString name = rest.mid(start, i - start);
        start = i + 1;
        if (name.isEmpty() || name == QLatin1String("."))
            continue;
        if (name == QLatin1String("..")) {
            if (!names.isEmpty())
                names.removeLast();
            continue;
        }
        names << name;
    }
    return names.join(QLatin1Char('\\'));
}

// The root a path starts from ("\\?\C:" or "\\?\UNC\server\share"), and where
// its names begin; an empty root where it has none of its own.
struct Root
{
    QString prefix;
    qsizetype namesFrom = 0;
};

Root rootOf(const QString &path)
{
    if (isShare(path)) {
        qsizetype at = 2;
        QStringList parts;
        while (parts.size() < 2 && at < path.size()) {
            qsizetype end = at;
            while (end < path.size() && !isSeparator(path[end]))
                ++end;
            if (end > at)
                parts << path.mid(at, end - at);
            at = end + 1;
        }
        return {QLatin1String("\\\\?\\UNC\\") + parts.join(QLatin1Char('\\')), at};
    }
    if (startsWithDrive(path) && path.size() > 2 && isSeparator(path[2]))
        return {QLatin1String("\\\\?\\") + path.left(2).toUpper(), 3};
    return {};
}

} // namespace

QString extendedLengthPath(const QString &path, const QString &currentFolder)
{
    if (path.startsWith(QLatin1String("\\\\?\\")) || path.startsWith(QLatin1String("\\\\.\\")))
        return path;
    if (path.startsWith(QLatin1String("//?/")) || path.startsWith(QLatin1String("//./")))
        return QLatin1String("\\\\") + path.mid(2, 1) + QLatin1Char('\\') + QString(path.mid(4)).replace('/', '\\');
    Root root = rootOf(path);
    QString names = path.mid(root.namesFrom);
    if (root.prefix.isEmpty()) {
        // A drive's own current folder ("C:name") is the system's to know.
        if (path.isEmpty() || startsWithDrive(path))
            return path;
        const Root current = rootOf(currentFolder);
        if (current.prefix.isEmpty())
            return path;
        root = current;
        // "\name" starts at the root of the current folder's drive or share.
        names = isSeparator(path[0]) ? path : currentFolder.mid(current.namesFrom) + QLatin1Char('\\') + path;
    }
    const QString joined = joinedNames(names);
    return root.prefix + QLatin1Char('\\') + joined;
}

} // namespace TextJoin
