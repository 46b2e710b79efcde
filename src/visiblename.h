// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#pragma once

#include <QByteArray>
#include <QString>

// A file's name or path as the text of a message box shows it: a control
// character as an escape ("\n", "\t", "\x1B"; "\u{2028}" beyond ASCII), so that
// it takes one line, and one longer than about 120 characters (a Hangul syllable
// counting as two) with its middle left out ("…"), keeping its end, which tells
// the file.
QString visibleName(const QString &path);

// The same for a path the system's encoding may not read: each part that it does
// not read shows its bytes beyond ASCII escaped ("\xC1"). `shortened` leaves out
// the middle of a long one, as above.
QString visibleName(const QByteArray &path, bool shortened);

// Whether the system's encoding reads these bytes of a name: decoded and encoded
// again, they are what they were. Those it does not read decode to U+FFFD, and the
// text names no file.
bool isReadableName(const QByteArray &name);
