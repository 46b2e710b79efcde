#pragma once

#include <QString>

class QFile;

namespace TextJoin {

struct OpenedInput
{
    enum class Outcome {
        Opened,
        NotRegularFile, // a folder, a pipe, a device: nothing that can be read twice or has an end
        Failed,         // error: the system's reason
    };

    Outcome outcome;
    QString error;
};

// Opens an input for reading if, and only if, it is a regular file (after
// following links). The decision is taken on the opened file, not on a name
// checked earlier, and opening never blocks, not even on a FIFO without a writer.
OpenedInput openRegularFile(const QString &path, QFile &file);

} // namespace TextJoin
