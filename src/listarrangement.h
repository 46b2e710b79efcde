// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#pragma once

#include "droppedfiles.h"

#include <QObject>
#include <QPoint>
#include <QStringList>
#include <QTimer>
#include <QUndoStack>

#include <functional>
#include <optional>

class QDropEvent;
class QListWidget;
class QMimeData;
class QWidget;

// Arranges the file list beyond its buttons: every change can be undone and
// redone, the list can be sorted by name, rows can be dragged to another place,
// and files dropped from outside land where they are dropped. Lives as a child
// of the list it arranges.
class ListArrangement : public QObject
{
public:
    explicit ListArrangement(QListWidget *list);

    // Runs `edit` and keeps what it did to the rows as one step of the history;
    // an edit that leaves the rows as they were is no step.
    void record(const std::function<void()> &edit);
    QUndoStack &history() { return m_history; }

    void sortByName();
    // The menu asks each time it opens: the answer is kept until the rows change.
    bool isSortedByName() const;

    // What a row dragged within this list carries.
    QMimeData *dragOfRow(int row) const;

    // Told, once a drop is over, of the files it could not add, their names not in
    // the system's encoding.
    void onUnreadableDropped(std::function<void(const QList<QByteArray> &)> tell)
    {
        m_unreadableDropped = std::move(tell);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Rows
    {
        QStringList paths;
        int current = -1;
    };
    class Step;

    Rows rows() const;
    void restore(const Rows &rows);

    // Where a drop at `pos` on the viewport puts what it carries: before the row
    // under its upper half, after the row under its lower half, at the end below
    // the last row.
    int insertionRow(const QPoint &pos) const;
    void showInsertionLine(const QPoint &pos);
    void hideInsertionLine();
    void scrollNearEdge();
    int draggedRow(const QMimeData *data) const;
    bool handleDrag(QEvent *event);
    void drop(QDropEvent *event);
    void moveRow(int from, int to);
    void startDrag(int row);

    friend class TestFileList;

    QListWidget *m_list;
    // Kept from the start: while the list is being destroyed, its viewport is
    // still sent events but the list can no longer be asked for it.
    QWidget *m_viewport;
    QWidget *m_insertionLine;
    QUndoStack m_history;
    QTimer m_autoScroll;
    QPoint m_dragPosition;
    DroppedFiles m_droppedFiles;
    QPoint m_pressPosition;
    int m_pressedRow = -1;
    mutable std::optional<bool> m_sortedByName;
    std::function<void(const QList<QByteArray> &)> m_unreadableDropped;
};
