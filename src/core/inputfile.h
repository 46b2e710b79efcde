// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#pragma once

#include <QString>

class QFile;

namespace TextJoin {

// What the system says of an open input: how large it is, and when its content
// and its metadata last changed (in the system's own units, only ever compared).
// Taken again after reading the file, it tells whether the bytes read are one
// version of it.
struct InputState
{
    qint64 size = 0;
    qint64 modified = 0;
    qint64 changed = 0; // metadata included
    quint64 links = 0;
};

// Whether `after` is the same content as `before`. Unlinking a file, or renaming
// another over it, lowers its link count and changes its change time but not a
// byte of what its open descriptor reads; the change time is not compared then.
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
    // When opened; for a file changed a moment before, once its time stamps can
    // tell that change from a later one.
    InputState state;
};

// Opens an input for reading if, and only if, it is a regular file (after
// following links). The decision is taken on the opened file, not on a name
// checked earlier, and opening never blocks, not even on a FIFO without a writer.
OpenedInput openRegularFile(const QString &path, QFile &file);

// The state of an input opened by openRegularFile() now; false where the system
// cannot tell.
bool currentState(const QFile &file, InputState *state);

} // namespace TextJoin
