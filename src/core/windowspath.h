// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#pragma once

#include <QString>

namespace TextJoin {

// The path Windows opens exactly as named: with "\\?\" before a local path and
// "\\?\UNC\" before a share, the system neither strips a trailing dot or space
// from a name nor stops at 260 characters. Those prefixes also turn off the
// system's own handling of "." and ".." and of forward slashes, so that is done
// here, on the text alone. A relative path is taken from `currentFolder`; a path
// already in that form, or naming a device ("\\.\"), is left as it is.
// Only a string operation, so it is the same, and tested, on every system.
QString extendedLengthPath(const QString &path, const QString &currentFolder);

} // namespace TextJoin
