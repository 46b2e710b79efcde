// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#pragma once

#include "joiner.h"

#include <QString>

// A failed join told in the program's own words: the box's text, short enough
// for any screen, and its details, which hold every name whole.
struct FailureMessage
{
    QString text;
    QString details;
};

FailureMessage failureMessage(const TextJoin::JoinResult &result, const QString &outputPath);
