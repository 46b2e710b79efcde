// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "listmenu.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QListWidget>
#include <QMenu>

ListMenu::ListMenu(QListWidget *list)
    : QObject(list)
    , m_list(list)
{
    // A right click on the rows reaches the list too: the viewport leaves it unanswered.
    m_list->installEventFilter(this);
#ifndef Q_OS_WIN
    // Windows turns Shift+F10 into a request for the menu by itself.
    auto *menuKey = new QAction(this);
    menuKey->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10));
    menuKey->setShortcutContext(Qt::WidgetShortcut);
    connect(menuKey, &QAction::triggered, this, [this] { popup(QPoint()); });
    menuKey->installEventFilter(this);
    m_list->addAction(menuKey);
#endif
}

void ListMenu::add(const QString &text, const QKeySequence &key, std::function<bool()> wouldAct,
                   const std::function<void()> &run)
{
    auto *action = new QAction(text, this);
    connect(action, &QAction::triggered, this, run);
    m_actions << action;
    if (!key.isEmpty()) {
        // The arrows and Del of the numeric keypad count as the others.
        const QKeyCombination combination = key[0];
        const QKeySequence onTheKeypad(
            QKeyCombination(combination.keyboardModifiers() | Qt::KeypadModifier, combination.key()));
        action->setShortcuts({key, onTheKeypad});
        action->setShortcutContext(Qt::WidgetShortcut);
        action->setShortcutVisibleInContextMenu(true);
        action->installEventFilter(this);
        m_list->addAction(action);
    }
    m_items.push_back({action, std::move(wouldAct)});
}

void ListMenu::addSeparator()
{
    auto *separator = new QAction(this);
    separator->setSeparator(true);
    m_actions << separator;
}

void ListMenu::add(QAction *action)
{
    action->setShortcutVisibleInContextMenu(true);
    m_actions << action;
}

bool ListMenu::eventFilter(QObject *watched, QEvent *event)
{
    // Qt tries the list's shortcuts for as long as the list keeps the focus, even
    // while a box holds the window or the menu is open; a key pressed then, or
    // typed ahead of a box, is not for the list.
    if (event->type() == QEvent::Shortcut && watched != m_list)
        return QApplication::activeModalWidget() || QApplication::activePopupWidget();
    if (watched != m_list || event->type() != QEvent::ContextMenu)
        return QObject::eventFilter(watched, event);
    auto *request = static_cast<QContextMenuEvent *>(event);
    popup(request->reason() == QContextMenuEvent::Mouse ? request->globalPos() : QPoint());
    return true;
}

// From the keyboard (no position) the menu opens at the current row. The menu
// itself lives only while it is open: a hidden popup kept for later could still
// be made the active window, and the window's own keys would then not reach it.
void ListMenu::popup(const QPoint &globalPos)
{
    QPoint at = globalPos;
    if (at.isNull()) {
        QListWidgetItem *current = m_list->currentItem();
        if (current)
            m_list->scrollToItem(current);
        const QRect row = current ? m_list->visualItemRect(current) : QRect();
        at = m_list->viewport()->mapToGlobal(row.isValid() ? row.bottomLeft() : QPoint());
    }
    for (const Item &item : m_items)
        item.action->setEnabled(item.wouldAct());
    QMenu menu(m_list);
    menu.addActions(m_actions);
    menu.exec(at);
    for (const Item &item : m_items)
        item.action->setEnabled(true);
}
