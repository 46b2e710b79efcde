#include "sheafwright.h"

#include <QFileDialog>
#include <QMessageBox>

Sheafwright::Sheafwright(QWidget *parent)
    : QWidget(parent)
{
    ui.setupUi(this);
    selectedRow = -1;
    setFixedSize(width(), height());
}

void Sheafwright::loadFile()
{
    const QStringList paths = QFileDialog::getOpenFileNames(
        nullptr, QStringLiteral("Select Text Files"), QString(),
        QStringLiteral("Text Files(*.txt);;All File(*.*)"));
    for (const QString &path : paths)
        ui.listWidget->insertItem(ui.listWidget->count(), path);
}

void Sheafwright::bindAll()
{
}

void Sheafwright::deleteContent()
{
    selectedRow = ui.listWidget->currentRow();
    if (selectedRow != -1)
        delete ui.listWidget->takeItem(selectedRow);
    else
        QMessageBox::about(nullptr, QString::fromUtf8("주의"),
                           QString::fromUtf8("지울 파일을 선택해 주세요."));
}

void Sheafwright::getIndex(QModelIndex index)
{
    selectedRow = index.row();
}

// Up and down move the neighbour to the other side of the current file, so the
// current file stays current and repeated clicks keep moving it.
void Sheafwright::contentUp()
{
    selectedRow = ui.listWidget->currentRow();
    if (selectedRow == 0)
        return;
    ui.listWidget->insertItem(selectedRow, ui.listWidget->takeItem(selectedRow - 1));
    repaint();
}

void Sheafwright::contentDown()
{
    selectedRow = ui.listWidget->currentRow();
    if (selectedRow == ui.listWidget->count() - 1)
        return;
    ui.listWidget->insertItem(selectedRow, ui.listWidget->takeItem(selectedRow + 1));
}

void Sheafwright::contentMoveTop()
{
    selectedRow = ui.listWidget->currentRow();
    ui.listWidget->insertItem(0, ui.listWidget->takeItem(selectedRow));
    ui.listWidget->scrollToTop();
}

void Sheafwright::contentMoveEnd()
{
    selectedRow = ui.listWidget->currentRow();
    QListWidgetItem *item = ui.listWidget->takeItem(selectedRow);
    ui.listWidget->insertItem(ui.listWidget->count(), item);
    ui.listWidget->scrollToBottom();
}

void Sheafwright::clearList()
{
    ui.listWidget->clear();
}
