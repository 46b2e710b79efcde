// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "sheafwright.h"

#include "bindprogress.h"
#include "failuremessage.h"
#include "listedits.h"
#include "listmenu.h"
#include "rowdragging.h"
#include "visiblename.h"

#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

#include <algorithm>

namespace {

// OK is the default (Enter); No answers Escape and the close button.
bool confirmBinding()
{
    QMessageBox box(QMessageBox::Question, QString::fromUtf8("질문!"),
                    QString::fromUtf8("현제 파일들을 한개파일로 만드시겠습니까?"),
                    QMessageBox::Ok | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() != QMessageBox::No;
}

// The item dialog with "UTF-8" preselected. Cancel keeps "UTF-8"; only exactly
// "UTF-8" means UTF-8, and anything else, chosen or typed, the legacy code page.
QString chooseEncoding()
{
    const QStringList encodings{QStringLiteral("UTF-8"), QStringLiteral("ANSI")};
    QInputDialog dialog;
    dialog.setWindowTitle(QString::fromUtf8("인코딩 선택"));
    dialog.setLabelText(QString::fromUtf8("선택 :"));
    dialog.setComboBoxItems(encodings);
    dialog.setComboBoxEditable(true);
    dialog.setTextValue(encodings.first());
    // When editing ends, the combo box would swap a typed "utf-8" for the listed
    // "UTF-8"; a case-sensitive completer keeps the text as the user typed it.
    if (auto *combo = dialog.findChild<QComboBox *>()) {
        if (QCompleter *completer = combo->completer())
            completer->setCaseSensitivity(Qt::CaseSensitive);
    }
    return dialog.exec() == QDialog::Accepted ? dialog.textValue() : encodings.first();
}

// Files a drop could not add, their names not in the system's encoding (an
// archive made on Korean Windows and unpacked here keeps them in CP949): how
// many, and where; the details name each by its bytes.
void warnOfUnreadableNames(const QList<QByteArray> &paths)
{
    constexpr int foldersNamedInTheBox = 10;
    QStringList folders;
    QStringList names;
    for (const QByteArray &path : paths) {
        const QByteArray folderPath = path.left(std::max(path.lastIndexOf('/'), qsizetype(1)));
        const QString folder = visibleName(folderPath, true);
        if (!folders.contains(folder))
            folders << folder;
        names << visibleName(path, false);
    }
    QStringList lines(QString::fromUtf8("파일 이름을 시스템 인코딩으로 읽을 수 없어 %1개 파일을 추가하지 못했습니다.")
                          .arg(paths.size()));
    for (const QString &folder : folders.mid(0, foldersNamedInTheBox))
        lines << QString::fromUtf8("폴더: %1").arg(folder);
    if (folders.size() > foldersNamedInTheBox)
        lines << QString::fromUtf8("외 %1개 폴더").arg(folders.size() - foldersNamedInTheBox);
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8("주의"), lines.join('\n'), QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.setDetailedText(names.join('\n'));
    box.exec();
}

} // namespace

Sheafwright::Sheafwright(QWidget *parent)
    : QWidget(parent)
{
    ui.setupUi(this);
    selectedRow = -1;
    setFixedSize(width(), height());
    // The form stays as it is: what the list does beyond its buttons is added here.
    edits = new ListEdits(ui.listWidget);
    dragging = new RowDragging(ui.listWidget, *edits);
    dragging->onUnreadableDropped(warnOfUnreadableNames);
    buildListMenu();
}

// The keys stand for the buttons while the list has the focus; undo and redo work anywhere in the window.
void Sheafwright::buildListMenu()
{
    QListWidget *list = ui.listWidget;
    const auto current = [list] { return list->currentRow(); };
    const auto last = [list] { return list->count() - 1; };
    auto *menu = new ListMenu(list);
    menu->add(QString::fromUtf8("위로 이동"), QKeySequence(Qt::ALT | Qt::Key_Up), [=] { return current() > 0; },
              [this] { contentUp(); });
    menu->add(QString::fromUtf8("아래로 이동"), QKeySequence(Qt::ALT | Qt::Key_Down),
              [=] { return current() >= 0 && current() < last(); }, [this] { contentDown(); });
    menu->add(QString::fromUtf8("처음으로 이동"), QKeySequence(Qt::ALT | Qt::Key_Home), [=] { return current() > 0; },
              [this] { contentMoveTop(); });
    menu->add(QString::fromUtf8("끝으로 이동"), QKeySequence(Qt::ALT | Qt::Key_End),
              [=] { return current() >= 0 && current() < last(); }, [this] { contentMoveEnd(); });
    menu->add(QString::fromUtf8("삭제"), QKeySequence(Qt::Key_Delete), [=] { return current() >= 0; },
              [this] { deleteContent(); });
    menu->addSeparator();
    menu->add(QString::fromUtf8("이름순 정렬"), QKeySequence(), [this] { return !edits->isSortedByName(); },
              [this] { edits->sortByName(); });
    menu->addSeparator();
    QAction *undo = edits->history().createUndoAction(edits, QString::fromUtf8("실행 취소"));
    undo->setShortcut(QKeySequence::Undo);
    QAction *redo = edits->history().createRedoAction(edits, QString::fromUtf8("다시 실행"));
    redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    addActions({undo, redo});
    menu->add(undo);
    menu->add(redo);
    menu->addSeparator();
    menu->add(QString::fromUtf8("리스트 비우기"), QKeySequence(), [=] { return last() >= 0; }, [this] { clearList(); });
}

void Sheafwright::loadFile()
{
    const QStringList paths = QFileDialog::getOpenFileNames(
        nullptr, QStringLiteral("Select Text Files"), QString(),
        QStringLiteral("Text Files(*.txt);;All File(*.*)"));
    // Shown as the system writes paths: with "\" on Windows, as Explorer does.
    QStringList shown;
    for (const QString &path : paths)
        shown << QDir::toNativeSeparators(path);
    edits->append(shown);
}

void Sheafwright::bindAll()
{
    if (ui.listWidget->count() == 0) {
        QMessageBox::critical(nullptr, QString::fromUtf8("에러"),
                              QString::fromUtf8("텍스트 파일이 없습니다."));
        return;
    }

    if (!confirmBinding()) {
        QMessageBox::information(nullptr, QString::fromUtf8("취소"),
                                 QString::fromUtf8("작업을 취소합니다.."));
        return;
    }

    QString outputPath;
    while (outputPath.isEmpty()) {
        outputPath = QFileDialog::getSaveFileName(nullptr,
                                                  QString::fromUtf8("저장할 이름을 적으시오."),
                                                  QString(), QStringLiteral("Text file(*.txt *.text)"));
        if (outputPath.isEmpty())
            QMessageBox::about(nullptr, QString::fromUtf8("중요!"),
                               QString::fromUtf8("반드시 이름을 입력 해야합니다."));
    }

    const QString encoding = chooseEncoding();

    QStringList inputs;
    for (int row = 0; row < ui.listWidget->count(); ++row)
        inputs << ui.listWidget->item(row)->text();

    const TextJoin::JoinResult result = joinWithProgress(
        inputs, outputPath,
        encoding == QLatin1String("UTF-8") ? TextJoin::OutputEncoding::Utf8 : TextJoin::OutputEncoding::Local8Bit,
        joinOptions);
    if (result.status == TextJoin::JoinResult::Status::Cancelled) {
        QMessageBox::information(nullptr, QString::fromUtf8("취소"), QString::fromUtf8("작업을 취소합니다.."));
        return;
    }
    if (!result.ok()) {
        const FailureMessage message = failureMessage(result, outputPath);
        QMessageBox box(QMessageBox::Critical, QString::fromUtf8("에러"), message.text, QMessageBox::Ok);
        box.setDetailedText(message.details);
        box.exec();
        return;
    }
    QMessageBox::about(nullptr, QString::fromUtf8("완료!!"), QString::fromUtf8("파일 생성 완료!!!"));
}

// Every change of the list goes through its edits, so that it can be undone.
void Sheafwright::deleteContent()
{
    selectedRow = ui.listWidget->currentRow();
    if (selectedRow != -1)
        edits->remove(selectedRow);
    else
        QMessageBox::about(nullptr, QString::fromUtf8("주의"), QString::fromUtf8("지울 파일을 선택해 주세요."));
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
    if (selectedRow > 0)
        edits->move(selectedRow - 1, selectedRow, ListEdits::Current::AsTheListLeavesIt);
}

void Sheafwright::contentDown()
{
    selectedRow = ui.listWidget->currentRow();
    if (selectedRow >= 0)
        edits->move(selectedRow + 1, selectedRow, ListEdits::Current::AsTheListLeavesIt);
}

// Top and end move the current file itself; the list then makes a neighbour current.
void Sheafwright::contentMoveTop()
{
    selectedRow = ui.listWidget->currentRow();
    edits->move(selectedRow, 0, ListEdits::Current::AsTheListLeavesIt);
    ui.listWidget->scrollToTop();
}

void Sheafwright::contentMoveEnd()
{
    selectedRow = ui.listWidget->currentRow();
    edits->move(selectedRow, ui.listWidget->count() - 1, ListEdits::Current::AsTheListLeavesIt);
    ui.listWidget->scrollToBottom();
}

void Sheafwright::clearList()
{
    edits->clear();
}
