// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#pragma once

#include <QObject>
#include <QPoint>
#include <QStringList>
#include <QTimer>
#include <QUndoStack>

#include <functional>

class QDropEvent;
class QListWidget;
class QMimeData;
class QWidget;

// File names in the order people read them: numbers by their value ("제2화"
// before "제10화"), letters without regard to case, Hangul in Korean order; equal
// names by their full path (names equal but for case, or for leading zeros, by
// their characters), and the same path twice as it stood.
QStringList sortedByName(const QStringList &paths);

// The files a folder dropped onto the list stands for: the regular files
// directly in it whose names end in ".txt" (in any case), hidden ones left out,
// sorted by name.
QStringList textFilesIn(const QString &folder);

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
    bool isSortedByName() const;

    // What a row dragged within this list carries.
    QMimeData *dragOfRow(int row) const;

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
    QStringList droppedFiles(const QMimeData *data) const;
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
    QStringList m_droppedFiles;
    QPoint m_pressPosition;
    int m_pressedRow = -1;
};
