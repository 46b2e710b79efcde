// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

class QMimeData;

// What files dropped onto the list stand for, in the drop's order: local files
// as they are; folders as the regular files directly in them whose names end in
// ".txt" (in any case), hidden ones left out, sorted by name. On Unix a name is
// any bytes: those not in the system's encoding cannot be listed, and are kept
// apart, as their bytes. Anything but local files and folders is left out.
struct DroppedFiles
{
    QStringList paths;
    QList<QByteArray> unreadable;

    bool isEmpty() const { return paths.isEmpty() && unreadable.isEmpty(); }
};

DroppedFiles droppedFiles(const QMimeData *data);
