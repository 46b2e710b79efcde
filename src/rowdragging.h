// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#pragma once

#include "droppedfiles.h"

#include <QObject>
#include <QPoint>
#include <QTimer>

#include <functional>

class ListEdits;
class QDropEvent;
class QListWidget;
class QMimeData;
class QWidget;

// Dragging on the file list: a row taken to another place, and files dropped
// from outside, each landing where it is dropped. Both are edits of the list and
// can be undone. Lives as a child of the list.
//
// QAbstractItemView has a drop indicator, auto-scroll and an internal move of
// its own, but none of them serves here. Its indicator shows only for drags its
// model accepts, and QListWidget's model takes nothing but its own rows unless
// the list is made a class of its own, which the form's list is not. Its
// auto-scroll follows the mouse cursor rather than the drag, and speeds up as
// it goes. Its move changes the rows past the history. So the line, the
// scrolling and the drop are done here, on the list's viewport.
class RowDragging : public QObject
{
public:
    RowDragging(QListWidget *list, ListEdits &edits);

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
    ListEdits &m_edits;
    // Kept from the start: while the list is being destroyed, its viewport is
    // still sent events but the list can no longer be asked for it.
    QWidget *m_viewport;
    QWidget *m_insertionLine;
    QTimer m_autoScroll;
    QPoint m_dragPosition;
    DroppedFiles m_droppedFiles;
    QPoint m_pressPosition;
    int m_pressedRow = -1;
    std::function<void(const QList<QByteArray> &)> m_unreadableDropped;
};
