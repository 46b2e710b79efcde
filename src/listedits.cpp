// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "listedits.h"

#include "nameorder.h"

#include <QListWidget>
#include <QUndoCommand>

#include <algorithm>
#include <numeric>
#include <vector>

namespace {

// Room kept for the undo history; a step holds no more than the paths it took out.
constexpr int stepsKept = 100;

// One change of the rows. Its first redo is the change itself and notes the
// current row it leaves; undo puts the rows and the current row back as they were.
class ListEdit : public QUndoCommand
{
public:
    explicit ListEdit(QListWidget *list)
        : m_list(list)
        , m_currentBefore(list->currentRow())
    {
    }

    void redo() final
    {
        apply();
        if (m_currentAfter)
            showCurrent(*m_currentAfter);
        else
            m_currentAfter = m_list->currentRow();
    }

    void undo() final
    {
        revert();
        showCurrent(m_currentBefore);
    }

protected:
    virtual void apply() = 0;
    virtual void revert() = 0;

    QListWidget *const m_list;

private:
    void showCurrent(int row)
    {
        m_list->setCurrentRow(row);
        if (QListWidgetItem *current = m_list->currentItem())
            m_list->scrollToItem(current);
    }

    const int m_currentBefore;
    std::optional<int> m_currentAfter;
};

class InsertRows : public ListEdit
{
public:
    InsertRows(QListWidget *list, int row, QStringList paths)
        : ListEdit(list)
        , m_row(row)
        , m_paths(std::move(paths))
    {
    }

private:
    void apply() override
    {
        for (int i = 0; i < m_paths.size(); ++i)
            m_list->insertItem(m_row + i, m_paths[i]);
    }
    void revert() override
    {
        for (int i = 0; i < m_paths.size(); ++i)
            delete m_list->takeItem(m_row);
    }

    const int m_row;
    const QStringList m_paths;
};

class RemoveRows : public ListEdit
{
public:
    // All rows from `row` on, or the one at `row`.
    enum class Extent { OneRow, ToTheEnd };

    RemoveRows(QListWidget *list, int row, Extent extent)
        : ListEdit(list)
        , m_row(row)
    {
        const int end = extent == Extent::ToTheEnd ? list->count() : row + 1;
        for (int i = row; i < end; ++i)
            m_paths << list->item(i)->text();
    }

private:
    void apply() override
    {
        if (m_row == 0 && m_paths.size() == m_list->count()) {
            m_list->clear();
            return;
        }
        for (int i = 0; i < m_paths.size(); ++i)
            delete m_list->takeItem(m_row);
    }
    void revert() override
    {
        for (int i = 0; i < m_paths.size(); ++i)
            m_list->insertItem(m_row + i, m_paths[i]);
    }

    const int m_row;
    QStringList m_paths;
};

void moveItem(QListWidget *list, int from, int to, ListEdits::Current current)
{
    QListWidgetItem *item = list->takeItem(from);
    list->insertItem(to, item);
    if (current == ListEdits::Current::FollowsTheRow)
        list->setCurrentItem(item);
}

class MoveRow : public ListEdit
{
public:
    MoveRow(QListWidget *list, int from, int to, ListEdits::Current current)
        : ListEdit(list)
        , m_from(from)
        , m_to(to)
        , m_current(current)
    {
    }

private:
    void apply() override { moveItem(m_list, m_from, m_to, m_current); }
    void revert() override { m_list->insertItem(m_from, m_list->takeItem(m_to)); }

    const int m_from;
    const int m_to;
    const ListEdits::Current m_current;
};

// Puts the rows in a new order, given as the rows they were; the current file stays current.
class ReorderRows : public ListEdit
{
public:
    ReorderRows(QListWidget *list, std::vector<qsizetype> order)
        : ListEdit(list)
        , m_order(std::move(order))
        , m_inverse(m_order.size())
    {
        for (size_t i = 0; i < m_order.size(); ++i)
            m_inverse[size_t(m_order[i])] = qsizetype(i);
    }

private:
    void apply() override { reorder(m_order); }
    void revert() override { reorder(m_inverse); }

    void reorder(const std::vector<qsizetype> &order)
    {
        QListWidgetItem *current = m_list->currentItem();
        QList<QListWidgetItem *> items;
        while (m_list->count() > 0)
            items << m_list->takeItem(0);
        for (const qsizetype index : order)
            m_list->addItem(items[index]);
        m_list->setCurrentItem(current);
    }

    const std::vector<qsizetype> m_order;
    std::vector<qsizetype> m_inverse;
};

} // namespace

ListEdits::ListEdits(QListWidget *list)
    : QObject(list)
    , m_list(list)
{
    m_history.setUndoLimit(stepsKept);
    const auto forgetNameOrder = [this] { m_sortedByName.reset(); };
    const QAbstractItemModel *model = m_list->model();
    connect(model, &QAbstractItemModel::rowsInserted, this, forgetNameOrder);
    connect(model, &QAbstractItemModel::rowsRemoved, this, forgetNameOrder);
    connect(model, &QAbstractItemModel::rowsMoved, this, forgetNameOrder);
    connect(model, &QAbstractItemModel::dataChanged, this, forgetNameOrder);
    connect(model, &QAbstractItemModel::layoutChanged, this, forgetNameOrder);
    connect(model, &QAbstractItemModel::modelReset, this, forgetNameOrder);
}

QStringList ListEdits::paths() const
{
    QStringList paths;
    paths.reserve(m_list->count());
    for (int row = 0; row < m_list->count(); ++row)
        paths << m_list->item(row)->text();
    return paths;
}

void ListEdits::insert(int row, const QStringList &paths)
{
    if (!paths.isEmpty())
        m_history.push(new InsertRows(m_list, std::clamp(row, 0, m_list->count()), paths));
}

void ListEdits::append(const QStringList &paths)
{
    insert(m_list->count(), paths);
}

void ListEdits::remove(int row)
{
    if (row >= 0 && row < m_list->count())
        m_history.push(new RemoveRows(m_list, row, RemoveRows::Extent::OneRow));
}

void ListEdits::clear()
{
    if (m_list->count() > 0)
        m_history.push(new RemoveRows(m_list, 0, RemoveRows::Extent::ToTheEnd));
}

void ListEdits::move(int from, int to, Current current)
{
    const int count = m_list->count();
    if (from < 0 || from >= count || to < 0 || to >= count)
        return;
    // Put back where it was, or among copies of itself, a row changes no path: the
    // list still takes it out and puts it in, which may move the current row, but
    // there is nothing to undo.
    const QString path = m_list->item(from)->text();
    bool changesPaths = false;
    for (int row = std::min(from, to); row <= std::max(from, to) && !changesPaths; ++row)
        changesPaths = m_list->item(row)->text() != path;
    if (changesPaths)
        m_history.push(new MoveRow(m_list, from, to, current));
    else
        moveItem(m_list, from, to, current);
}

bool ListEdits::isSortedByName() const
{
    if (!m_sortedByName)
        m_sortedByName = ::isSortedByName(paths());
    return *m_sortedByName;
}

void ListEdits::sortByName()
{
    std::vector<qsizetype> order = nameOrder(paths());
    std::vector<qsizetype> unchanged(order.size());
    std::iota(unchanged.begin(), unchanged.end(), 0);
    if (order != unchanged)
        m_history.push(new ReorderRows(m_list, std::move(order)));
}
