// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "sheafwright.h"

#include "bindprogress.h"
#include "listarrangement.h"
#include "visiblename.h"

#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMenu>
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

QString faultReason(const TextJoin::InputFault &fault)
{
    switch (fault.kind) {
    case TextJoin::InputFault::Kind::CannotRead:
        return QString::fromUtf8("열 수 없음 (%1)").arg(fault.detail);
    case TextJoin::InputFault::Kind::NotRegularFile:
        return QString::fromUtf8("열 수 없음 (일반 파일이 아님)");
    case TextJoin::InputFault::Kind::BadEncoding:
        return QString::fromUtf8("인코딩 오류 (%1)").arg(fault.detail);
    case TextJoin::InputFault::Kind::Changed:
        return QString::fromUtf8("읽는 동안 파일이 바뀜");
    case TextJoin::InputFault::Kind::InUse:
        return QString::fromUtf8("다른 프로그램이 쓰는 중");
    }
    return QString();
}

// What failed in the program's own words, then the system's reason where it gave one.
QString outputReason(const TextJoin::JoinResult &result)
{
    QString words;
    switch (result.outputStep) {
    case TextJoin::OutputStep::Write:
        words = QString::fromUtf8("파일에 쓰지 못함");
        break;
    case TextJoin::OutputStep::ReadOnly:
        words = QString::fromUtf8("읽기 전용 파일");
        break;
    case TextJoin::OutputStep::Create:
        words = QString::fromUtf8("폴더에 파일을 만들 수 없음");
        break;
    case TextJoin::OutputStep::Flush:
        words = QString::fromUtf8("디스크에 기록하지 못함");
        break;
    case TextJoin::OutputStep::Replace:
        words = QString::fromUtf8("저장할 이름으로 바꾸지 못함");
        break;
    }
    return result.outputError.isEmpty() ? words : words + QStringLiteral(" (%1)").arg(result.outputError);
}

// A box that names thousands of files would be taller than any screen, and its
// OK button out of reach: it names the first few, and holds them all in its details.
constexpr int faultsNamedInTheBox = 10;

struct FailureMessage
{
    QString text;
    QString details;
};

FailureMessage failureMessage(const TextJoin::JoinResult &result, const QString &outputPath)
{
    using Status = TextJoin::JoinResult::Status;
    switch (result.status) {
    case Status::InputFaults: {
        // A name with many lines, or thousands of characters, would stretch the box
        // as much as thousands of files: it shows each name as one short line, and
        // its details hold every name whole.
        QStringList lines;
        QStringList shown;
        for (const TextJoin::InputFault &fault : result.inputFaults) {
            const QString path = QDir::toNativeSeparators(fault.path);
            const QString reason = QStringLiteral(" : ") + faultReason(fault);
            lines << path + reason;
            if (shown.size() < faultsNamedInTheBox)
                shown << visibleName(path) + reason;
        }
        const QString heading = QString::fromUtf8("다음 파일을 읽을 수 없어 파일을 만들지 않았습니다.");
        if (lines.size() <= faultsNamedInTheBox)
            return {(QStringList(heading) + shown).join('\n'), shown == lines ? QString() : lines.join('\n')};
        const QStringList named = QStringList(heading) + shown
            + QStringList(QString::fromUtf8("외 %1개 파일").arg(lines.size() - faultsNamedInTheBox));
        return {named.join('\n'), lines.join('\n')};
    }
    case Status::Unrepresentable: {
        const char32_t codePoint = result.unrepresentable.toUcs4().value(0);
        return {QString::fromUtf8("ANSI 인코딩으로 표현할 수 없는 문자가 있어 파일을 만들지 않았습니다. "
                                  "UTF-8을 선택해 다시 묶어 주세요.")
                    + QStringLiteral("\n%1 (U+%2)")
                          .arg(result.unrepresentable,
                               QString::number(uint(codePoint), 16).toUpper().rightJustified(4, '0')),
                QString()};
    }
    case Status::NoLegacyCodePage:
        return {QString::fromUtf8("이 시스템에는 %1 코드 페이지 변환기가 없어 파일을 만들지 않았습니다.")
                    .arg(result.legacyCodePage),
                QString()};
    case Status::OutputFailed:
    case Status::OutputNotRegularFile: {
        const QString output = QDir::toNativeSeparators(outputPath);
        const QString shownOutput = visibleName(output);
        return {QString::fromUtf8("파일을 저장하지 못했습니다.") + QLatin1Char('\n') + shownOutput + QLatin1Char('\n')
                    + (result.status == Status::OutputNotRegularFile ? QString::fromUtf8("일반 파일이 아님")
                                                                     : outputReason(result)),
                shownOutput == output ? QString() : output};
    }
    case Status::Done:
    case Status::Cancelled:
        break;
    }
    return {};
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
    arrangement = new ListArrangement(ui.listWidget);
    arrangement->onUnreadableDropped(warnOfUnreadableNames);
    ui.listWidget->installEventFilter(this);
    ui.listWidget->viewport()->installEventFilter(this);
    QAction *undo = arrangement->history().createUndoAction(arrangement, QString::fromUtf8("실행 취소"));
    undo->setShortcut(QKeySequence::Undo);
    QAction *redo = arrangement->history().createRedoAction(arrangement, QString::fromUtf8("다시 실행"));
    redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    addActions({undo, redo});
}

namespace {

// The keys that stand for the buttons while the list has the focus.
const QKeySequence moveUpKey(Qt::ALT | Qt::Key_Up);
const QKeySequence moveDownKey(Qt::ALT | Qt::Key_Down);
const QKeySequence moveTopKey(Qt::ALT | Qt::Key_Home);
const QKeySequence moveEndKey(Qt::ALT | Qt::Key_End);
const QKeySequence deleteKey(Qt::Key_Delete);

// The arrows and Del of the numeric keypad count as the others.
QKeySequence sequenceOf(const QKeyEvent *key)
{
    return QKeySequence(QKeyCombination(key->modifiers() & ~Qt::KeypadModifier, Qt::Key(key->key())));
}

} // namespace

bool Sheafwright::eventFilter(QObject *watched, QEvent *event)
{
    // Only the list and its viewport are watched. The viewport is not asked
    // for: it is still sent events while the list is being destroyed.
    if (watched != ui.listWidget && watched->parent() != ui.listWidget)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::ContextMenu) {
        auto *request = static_cast<QContextMenuEvent *>(event);
        showListMenu(request->reason() == QContextMenuEvent::Mouse ? request->globalPos() : QPoint());
        return true;
    }
    if (event->type() != QEvent::KeyPress || watched != ui.listWidget)
        return QWidget::eventFilter(watched, event);
    const QKeySequence key = sequenceOf(static_cast<QKeyEvent *>(event));
    if (key == deleteKey)
        deleteContent();
    else if (key == moveUpKey)
        contentUp();
    else if (key == moveDownKey)
        contentDown();
    else if (key == moveTopKey)
        contentMoveTop();
    else if (key == moveEndKey)
        contentMoveEnd();
#ifndef Q_OS_WIN
    // Windows turns Shift+F10 into a request for the menu by itself.
    else if (key == QKeySequence(Qt::SHIFT | Qt::Key_F10))
        showListMenu(QPoint());
#endif
    else
        return QWidget::eventFilter(watched, event);
    return true;
}

// The list's context menu; from the keyboard (no position) it opens at the current row.
void Sheafwright::showListMenu(const QPoint &globalPos)
{
    QListWidget *list = ui.listWidget;
    const int current = list->currentRow();
    const int last = list->count() - 1;
    QMenu menu(list);
    const auto add = [&menu](const char *text, const QKeySequence &key, bool enabled, auto &&action) {
        QAction *item = menu.addAction(QString::fromUtf8(text), action);
        item->setShortcut(key);
        item->setShortcutVisibleInContextMenu(true);
        item->setEnabled(enabled);
    };
    add("위로 이동", moveUpKey, current > 0, [this] { contentUp(); });
    add("아래로 이동", moveDownKey, current >= 0 && current < last, [this] { contentDown(); });
    add("처음으로 이동", moveTopKey, current > 0, [this] { contentMoveTop(); });
    add("끝으로 이동", moveEndKey, current >= 0 && current < last, [this] { contentMoveEnd(); });
    add("삭제", deleteKey, current >= 0, [this] { deleteContent(); });
    menu.addSeparator();
    add("이름순 정렬", QKeySequence(), !arrangement->isSortedByName(), [this] { arrangement->sortByName(); });
    menu.addSeparator();
    for (QAction *history : actions()) {
        history->setShortcutVisibleInContextMenu(true);
        menu.addAction(history);
    }
    menu.addSeparator();
    add("리스트 비우기", QKeySequence(), last >= 0, [this] { clearList(); });

    QPoint at = globalPos;
    if (at.isNull()) {
        if (current >= 0)
            list->scrollToItem(list->currentItem());
        const QRect row = current >= 0 ? list->visualItemRect(list->currentItem()) : QRect();
        at = list->viewport()->mapToGlobal(row.isValid() ? row.bottomLeft() : QPoint());
    }
    menu.exec(at);
}

void Sheafwright::loadFile()
{
    const QStringList paths = QFileDialog::getOpenFileNames(
        nullptr, QStringLiteral("Select Text Files"), QString(),
        QStringLiteral("Text Files(*.txt);;All File(*.*)"));
    // Shown as the system writes paths: with "\" on Windows, as Explorer does.
    arrangement->record([&] {
        for (const QString &path : paths)
            ui.listWidget->insertItem(ui.listWidget->count(), QDir::toNativeSeparators(path));
    });
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

// Every change of the list is kept as a step that can be undone.
void Sheafwright::deleteContent()
{
    arrangement->record([this] {
        selectedRow = ui.listWidget->currentRow();
        if (selectedRow != -1)
            delete ui.listWidget->takeItem(selectedRow);
        else
            QMessageBox::about(nullptr, QString::fromUtf8("주의"),
                               QString::fromUtf8("지울 파일을 선택해 주세요."));
    });
}

void Sheafwright::getIndex(QModelIndex index)
{
    selectedRow = index.row();
}

// Up and down move the neighbour to the other side of the current file, so the
// current file stays current and repeated clicks keep moving it.
void Sheafwright::contentUp()
{
    arrangement->record([this] {
        selectedRow = ui.listWidget->currentRow();
        if (selectedRow == 0)
            return;
        ui.listWidget->insertItem(selectedRow, ui.listWidget->takeItem(selectedRow - 1));
        repaint();
    });
}

void Sheafwright::contentDown()
{
    arrangement->record([this] {
        selectedRow = ui.listWidget->currentRow();
        if (selectedRow == ui.listWidget->count() - 1)
            return;
        ui.listWidget->insertItem(selectedRow, ui.listWidget->takeItem(selectedRow + 1));
    });
}

void Sheafwright::contentMoveTop()
{
    arrangement->record([this] {
        selectedRow = ui.listWidget->currentRow();
        ui.listWidget->insertItem(0, ui.listWidget->takeItem(selectedRow));
        ui.listWidget->scrollToTop();
    });
}

void Sheafwright::contentMoveEnd()
{
    arrangement->record([this] {
        selectedRow = ui.listWidget->currentRow();
        QListWidgetItem *item = ui.listWidget->takeItem(selectedRow);
        ui.listWidget->insertItem(ui.listWidget->count(), item);
        ui.listWidget->scrollToBottom();
    });
}

void Sheafwright::clearList()
{
    arrangement->record([this] { ui.listWidget->clear(); });
}
