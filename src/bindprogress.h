// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#pragma once

#include "joiner.h"

// Joins on a thread of its own, so that the window keeps painting through a long
// bind. A progress dialog shows itself once the join has run for half a second;
// until it does, the window takes no input, as while a join used to block it, so
// a quick bind looks as it always did.
TextJoin::JoinResult joinWithProgress(const QStringList &inputs, const QString &outputPath,
                                      TextJoin::OutputEncoding encoding, const TextJoin::JoinOptions &base);
