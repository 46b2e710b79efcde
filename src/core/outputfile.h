// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#pragma once

#include "joiner.h"

#include <QFile>
#include <QString>
#include <QStringList>

#include <memory>

namespace TextJoin {

// The output as the join writes it: a temporary file of the program's own in the
// output's folder, moved over the output only once complete, so that a join
// that fails, is cancelled or is killed leaves what was there as it was. A link
// at the output's path stays, and the file it leads to is replaced.
//
// The temporary file's name is short whatever the output's, so that a name at
// the system's limit can still be replaced; it is hidden, and held for as long
// as its join runs (a lock on Linux, its open handle on Windows). Opening an
// output removes what earlier joins into that folder left behind, never a file
// another join still holds, and no other file.
class OutputFile
{
public:
    explicit OutputFile(const QString &path);
    // Removes the temporary file unless it was committed.
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // Checks what is at the path, clears away stale temporary files and makes
    // this join's. False with failed() and reason() set where it cannot. The
    // inputs, and the output itself, are never cleared away, whatever their names.
    bool open(const QStringList &inputs);
    // Open for writing, at its start, once open() succeeded.
    QFile &device() { return m_device; }
    // Flushes the written output to the disk and moves it into place.
    bool commit();

    // NotRegularFile where what is at the path is a folder, a pipe or a device:
    // it is never replaced by a file.
    enum class Failure { None, NotRegularFile, ReadOnly, Create, Flush, Replace };
    Failure failed() const { return m_failure; }
    // The system's reason, where it gave one.
    QString reason() const { return m_reason; }

    // A new name for a temporary file, and whether a name is one the program gives them.
    static QString temporaryName();
    static bool isTemporaryName(const QString &name);

private:
    bool fail(Failure failure, const QString &reason);
    bool fail(Failure failure, int systemError);

    struct Native;
    const QString m_path;
    std::unique_ptr<Native> m_native;
    QFile m_device;
    Failure m_failure = Failure::None;
    QString m_reason;
};

} // namespace TextJoin
