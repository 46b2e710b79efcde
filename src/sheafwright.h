// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#pragma once

#include "joiner.h"
#include "ui_sheafwright.h"

class ListEdits;
class RowDragging;

#include <QModelIndex>
#include <QWidget>

class Sheafwright : public QWidget
{
    Q_OBJECT

public:
    explicit Sheafwright(QWidget *parent = nullptr);

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
    void buildListMenu();

    friend class TestWindow;
    friend class TestFileList;
    friend class TestBinding;

    Ui::MirlanClassClass ui;
    qint32 selectedRow;
    // How binds are joined; tests slow them down through it.
    TextJoin::JoinOptions joinOptions;
    // Every change of the rows, and the history to undo them; a child of the list.
    ListEdits *edits;
    // Rows dragged and files dropped; a child of the list.
    RowDragging *dragging;
};
