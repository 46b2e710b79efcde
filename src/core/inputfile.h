// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#pragma once

#include <QString>

class QFile;

namespace TextJoin {

// What the system says of an open input: which file it is, how large, and when
// its content and its metadata last changed. Read again after reading the file,
// it tells whether the bytes read are one version of it.
struct InputState
{
    quint64 device = 0;
    quint64 file = 0;
    qint64 size = 0;
    qint64 modified = 0; // nanoseconds
    qint64 changed = 0;  // nanoseconds; metadata included
    quint64 links = 0;
};

// Whether `after` is the same file with the same content as `before`. Unlinking
// a file, or renaming another over it, changes its change time and its link
// count but not a byte of what its open descriptor reads; the change time is
// not compared where the link count differs.
bool sameContent(const InputState &before, const InputState &after);

struct OpenedInput
{
    enum class Outcome {
        Opened,
        NotRegularFile, // a folder, a pipe, a socket, a device: nothing that can be read twice or has an end
        Failed,         // error: the system's reason
    };

    Outcome outcome;
    QString error;
    InputState state; // when opened
};

// Opens an input for reading if, and only if, it is a regular file (after
// following links). The decision is taken on the opened file, not on a name
// checked earlier, and opening never blocks, not even on a FIFO without a writer.
OpenedInput openRegularFile(const QString &path, QFile &file);

// The state of an input opened by openRegularFile() now; false where the system
// cannot tell.
bool currentState(const QFile &file, InputState *state);

} // namespace TextJoin
