// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

// The little the benchmark needs from the operating system, so that joinbench.cpp
// itself builds wherever Qt does.
#pragma once

#include <QtGlobal>

class QFile;

// The most memory this process has held at once so far.
qint64 peakResidentMiB();

// Makes what was written to the open `file` durable, as the joiner's save does.
bool flushToDisk(QFile &file);

// Starts a run with no dirty pages left over from the one before, where the system
// offers a way to do that; elsewhere it does nothing.
void flushAllToDisk();
