#pragma once

#include "ui_sheafwright.h"

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
    friend class TestWindow;
    friend class TestFileList;
    friend class TestBinding;

    Ui::MirlanClassClass ui;
    qint32 selectedRow;
};
