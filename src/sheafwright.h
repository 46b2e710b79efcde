// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#pragma once

#include "joiner.h"
#include "ui_sheafwright.h"

class ListArrangement;

#include <QModelIndex>
#include <QWidget>

class Sheafwright : public QWidget
{
    Q_OBJECT

public:
    explicit Sheafwright(QWidget *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

public slots:
    void loadFile();
    void bindAll();
    void deleteContent();
    void getIndex(QModelIndex index);
    void contentUp();
    void contentDown();
    void contentMoveTop();
    void contentMoveEnd();
    void clearList();

private:
    void showListMenu(const QPoint &globalPos);

    friend class TestWindow;
    friend class TestFileList;
    friend class TestBinding;

    Ui::MirlanClassClass ui;
    qint32 selectedRow;
    // How binds are joined; tests slow them down through it.
    TextJoin::JoinOptions joinOptions;
    // Undo, sorting, dragging and dropping; a child of the list.
    ListArrangement *arrangement;
};
