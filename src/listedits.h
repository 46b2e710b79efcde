// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#pragma once

#include <QObject>
#include <QStringList>
#include <QUndoStack>

#include <optional>

class QListWidget;

// The one way the file list's rows change. Each change is a step of the history,
// undone and redone with the current row as it was before, and after, the change;
// a change that would leave the paths as they are is no step.
class ListEdits : public QObject
{
public:
    // What a moved row leaves current: the list's own choice, as the buttons
    // have always left it, or the moved row itself, as a drag does.
    enum class Current { AsTheListLeavesIt, FollowsTheRow };

    explicit ListEdits(QListWidget *list);

    QUndoStack &history() { return m_history; }

    void insert(int row, const QStringList &paths);
    void append(const QStringList &paths);
    void remove(int row);
    void clear();
    // Takes the row `from` out and puts it in at `to`, counted among the rest; to
    // the same place too, as the buttons do.
    void move(int from, int to, Current current);
    void sortByName();
    // The menu asks each time it opens: the answer is kept until the rows change.
    bool isSortedByName() const;

private:
    QStringList paths() const;

    QListWidget *m_list;
    QUndoStack m_history;
    mutable std::optional<bool> m_sortedByName;
};
