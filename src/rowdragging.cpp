// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "rowdragging.h"

#include "listedits.h"

#include <QApplication>
#include <QDir>
#include <QDrag>
#include <QDropEvent>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>

namespace {

// A drag that nears the top or bottom of the list scrolls it, so that a row can
// be taken anywhere in a long list.
constexpr int autoScrollMargin = 16;
constexpr int autoScrollInterval = 50;

const QString rowDragType = QStringLiteral("application/x-sheafwright-list-row");

} // namespace

RowDragging::RowDragging(QListWidget *list, ListEdits &edits)
    : QObject(list)
    , m_list(list)
    , m_edits(edits)
    , m_viewport(list->viewport())
    , m_insertionLine(new QWidget(m_viewport))
{
    m_insertionLine->setAutoFillBackground(true);
    m_insertionLine->setBackgroundRole(QPalette::Text);
    m_insertionLine->hide();
    m_autoScroll.setInterval(autoScrollInterval);
    connect(&m_autoScroll, &QTimer::timeout, this, &RowDragging::scrollNearEdge);
    m_viewport->setAcceptDrops(true);
    m_viewport->installEventFilter(this);
}

QMimeData *RowDragging::dragOfRow(int row) const
{
    auto *data = new QMimeData;
    // Names this list, so that a row dragged from another window is not taken for one of ours.
    data->setData(rowDragType, QByteArray::number(QCoreApplication::applicationPid()) + ' '
                                   + QByteArray::number(quintptr(this)) + ' ' + QByteArray::number(row));
    return data;
}

int RowDragging::draggedRow(const QMimeData *data) const
{
    if (!data || !data->hasFormat(rowDragType))
        return -1;
    const QList<QByteArray> fields = data->data(rowDragType).split(' ');
    if (fields.size() != 3 || fields[0] != QByteArray::number(QCoreApplication::applicationPid())
        || fields[1] != QByteArray::number(quintptr(this)))
        return -1;
    bool ok = false;
    const int row = fields[2].toInt(&ok);
    return ok && row >= 0 && row < m_list->count() ? row : -1;
}

int RowDragging::insertionRow(const QPoint &pos) const
{
    const QModelIndex index = m_list->indexAt(pos);
    if (!index.isValid())
        return m_list->count();
    return pos.y() < m_list->visualRect(index).center().y() ? index.row() : index.row() + 1;
}

void RowDragging::showInsertionLine(const QPoint &pos)
{
    const int row = insertionRow(pos);
    int y = 0;
    if (row < m_list->count())
        y = m_list->visualItemRect(m_list->item(row)).top();
    else if (row > 0)
        y = m_list->visualItemRect(m_list->item(row - 1)).bottom() + 1;
    m_insertionLine->setGeometry(0, std::max(0, y - 1), m_viewport->width(), 2);
    m_insertionLine->show();
    m_insertionLine->raise();
}

void RowDragging::hideInsertionLine()
{
    m_insertionLine->hide();
    m_autoScroll.stop();
}

void RowDragging::scrollNearEdge()
{
    QScrollBar *bar = m_list->verticalScrollBar();
    if (m_dragPosition.y() < autoScrollMargin)
        bar->setValue(bar->value() - bar->singleStep());
    else if (m_dragPosition.y() > m_viewport->height() - autoScrollMargin)
        bar->setValue(bar->value() + bar->singleStep());
    else
        m_autoScroll.stop();
    showInsertionLine(m_dragPosition);
}

bool RowDragging::handleDrag(QEvent *event)
{
    auto *drag = static_cast<QDragMoveEvent *>(event);
    // A folder is looked into once, as the drag comes in.
    if (event->type() == QEvent::DragEnter)
        m_droppedFiles = droppedFiles(drag->mimeData());
    const bool ours = draggedRow(drag->mimeData()) >= 0;
    const Qt::DropAction action = ours ? Qt::MoveAction : Qt::CopyAction;
    if ((!ours && m_droppedFiles.isEmpty()) || !(drag->possibleActions() & action)) {
        drag->ignore();
        hideInsertionLine();
        return true;
    }
    drag->setDropAction(action);
    drag->accept();
    m_dragPosition = drag->position().toPoint();
    showInsertionLine(m_dragPosition);
    if (!m_autoScroll.isActive())
        m_autoScroll.start();
    return true;
}

void RowDragging::drop(QDropEvent *event)
{
    hideInsertionLine();
    const int at = insertionRow(event->position().toPoint());
    const int from = draggedRow(event->mimeData());
    if (from >= 0 && (event->possibleActions() & Qt::MoveAction)) {
        moveRow(from, at);
        // Moved here already: the drag must not take the row away as a move would.
        event->setDropAction(Qt::CopyAction);
        event->accept();
        return;
    }
    const DroppedFiles files = droppedFiles(event->mimeData());
    if (files.isEmpty() || !(event->possibleActions() & Qt::CopyAction)) {
        event->ignore();
        return;
    }
    QStringList paths;
    for (const QString &path : files.paths)
        paths << QDir::toNativeSeparators(path);
    m_edits.insert(at, paths);
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // Once the drop is over: the program the files came from waits for its end.
    if (!files.unreadable.isEmpty() && m_unreadableDropped)
        QTimer::singleShot(0, this, [this, unreadable = files.unreadable] { m_unreadableDropped(unreadable); });
}

// Puts the row `from` where a drop before row `to` puts it; it stays current.
void RowDragging::moveRow(int from, int to)
{
    if (to != from && to != from + 1)
        m_edits.move(from, to > from ? to - 1 : to, ListEdits::Current::FollowsTheRow);
}

void RowDragging::startDrag(int row)
{
    auto *drag = new QDrag(m_list);
    drag->setMimeData(dragOfRow(row));
    // The row's picture hangs below the pointer, clear of the line that shows
    // where it goes, which is never more than half a row away.
    const QRect rect = m_list->visualItemRect(m_list->item(row));
    drag->setPixmap(m_viewport->grab(rect));
    drag->setHotSpot(QPoint(m_pressPosition.x() - rect.left(), -(rect.height() / 2 + 2)));
    drag->exec(Qt::MoveAction);
}

bool RowDragging::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_viewport)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *press = static_cast<QMouseEvent *>(event);
        m_pressPosition = press->position().toPoint();
        m_pressedRow = press->button() == Qt::LeftButton ? m_list->indexAt(m_pressPosition).row() : -1;
        return false;
    }
    case QEvent::MouseMove: {
        auto *move = static_cast<QMouseEvent *>(event);
        if (m_pressedRow < 0 || !(move->buttons() & Qt::LeftButton))
            return false;
        // A row pressed on is being taken somewhere: the list does not select
        // the rows the pointer passes on its way.
        if ((move->position().toPoint() - m_pressPosition).manhattanLength() >= QApplication::startDragDistance()) {
            const int row = m_pressedRow;
            m_pressedRow = -1;
            startDrag(row);
        }
        return true;
    }
    case QEvent::MouseButtonRelease:
        m_pressedRow = -1;
        return false;
    case QEvent::DragEnter:
    case QEvent::DragMove:
        return handleDrag(event);
    case QEvent::DragLeave:
        hideInsertionLine();
        return true;
    case QEvent::Drop:
        drop(static_cast<QDropEvent *>(event));
        return true;
    default:
        return QObject::eventFilter(watched, event);
    }
}
