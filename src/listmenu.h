// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#pragma once

#include <QKeySequence>
#include <QList>
#include <QObject>

#include <functional>
#include <vector>

class QAction;
class QListWidget;

// The file list's commands as actions, each made once: the list's context menu
// shows them, and their keys work while the list has the focus. The menu opens
// at the pointer, or from the keyboard at the current row.
class ListMenu : public QObject
{
public:
    explicit ListMenu(QListWidget *list);

    // An item of the menu, with the key that runs it. The menu shows it disabled
    // where `wouldAct` says it would do nothing; the key always runs it, as its
    // button does.
    void add(const QString &text, const QKeySequence &key, std::function<bool()> wouldAct,
             const std::function<void()> &run);
    // An action that keeps its own state (undo, redo).
    void add(QAction *action);
    void addSeparator();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void popup(const QPoint &globalPos);

    struct Item
    {
        QAction *action;
        std::function<bool()> wouldAct;
    };

    QListWidget *m_list;
    // In the menu's order, separators included.
    QList<QAction *> m_actions;
    std::vector<Item> m_items;
};
