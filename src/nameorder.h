// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#pragma once

#include <QStringList>

#include <vector>

// File names in the order people read them: numbers by their value ("제2화"
// before "제10화"), letters without regard to case, Hangul in Korean order; equal
// names by their full path (names equal but for case, or for leading zeros, by
// their characters), and the same path twice as it stood.
QStringList sortedByName(const QStringList &paths);

// The same order, as indices into the paths.
std::vector<qsizetype> nameOrder(const QStringList &paths);

// Whether no file goes before the one above it: one pass down the list, not a
// sort, and it ends at the first file out of order.
bool isSortedByName(const QStringList &paths);
