// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QFileDevice;

namespace TextJoin {

enum class OutputEncoding {
    Utf8,      // UTF-8 without a byte-order mark
    Local8Bit, // the system's legacy code page ("ANSI")
};

struct InputFault
{
    enum class Kind {
        CannotRead,     // detail: the system's reason
        NotRegularFile, // a folder, a pipe, a socket or a device
        BadEncoding,    // detail: the name of the encoding the bytes are not valid in
        Changed,        // written to, cut or grown while it was read: the bytes read may mix two versions
        InUse,          // another program has it open for writing, where the system can tell
    };

    QString path;
    Kind kind;
    QString detail;
};

// The step of saving the output that failed, for the user to be told of in
// the program's own words.
enum class OutputStep {
    Write,    // writing the joined text
    ReadOnly, // the file at the output's path is read-only
    Create,   // making the new file in the output's folder
    Flush,    // flushing it to the disk
    Replace,  // putting it in place under the output's name
};

struct JoinResult
{
    enum class Status {
        Done,
        InputFaults,          // see inputFaults: every input that could not be used
        Unrepresentable,      // see unrepresentable: the output encoding lacks a character
        OutputFailed,         // see outputStep and outputError
        OutputNotRegularFile, // the output path names a folder, a pipe or a device
        NoLegacyCodePage,     // the legacy code page was needed and the system has no converter for it
        Cancelled,            // the progress callback asked to stop
    };

    Status status = Status::Done;
    QList<InputFault> inputFaults;
    QString unrepresentable;
    OutputStep outputStep = OutputStep::Write;
    QString outputError; // the system's reason, where it gave one
    // The code page "ANSI" means here, as users know it ("CP949").
    QString legacyCodePage;
    qint64 bytesWritten = 0;

    bool ok() const { return status == Status::Done; }
};

struct JoinOptions
{
    // Bytes read from an input at a time; memory use is a small multiple of it.
    qint64 chunkSize = 1 << 20;
    // Called on the joining thread after every chunk read, second readings of an
    // input included, and once more after the last input, with the input bytes
    // read so far; an input read a second time counts only where it gets further
    // than before, so the figure never goes back. Returning false cancels the
    // join: nothing is written.
    std::function<bool(qint64 inputBytesRead)> progress;
    // Called by joinFiles() once everything is written, before the output is
    // flushed to the disk and moved into place, which can take a while and
    // cannot be cancelled: the last moment to cancel, by returning false.
    std::function<bool()> committing;
};

// Decodes every input in order, joins the texts with nothing between them and
// writes them in the chosen encoding. An input with a byte-order mark is decoded
// by it; one without is read as UTF-8 when it is valid UTF-8, otherwise in the
// legacy code page, which "ANSI" output uses too (see LegacyCodePage).
// The file at outputPath is replaced only when everything succeeded; on any
// failure it is left exactly as it was.
JoinResult joinFiles(const QStringList &inputs, const QString &outputPath,
                     OutputEncoding encoding, const JoinOptions &options = {});

// The same, writing at the current position of an open, seekable file device.
// On failure the device holds an unspecified part of the output.
JoinResult joinToDevice(const QStringList &inputs, QFileDevice &output,
                        OutputEncoding encoding, const JoinOptions &options = {});

} // namespace TextJoin
