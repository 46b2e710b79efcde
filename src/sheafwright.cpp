#include "sheafwright.h"

#include "joiner.h"

#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

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

QString failureMessage(const TextJoin::JoinResult &result, const QString &outputPath)
{
    using Status = TextJoin::JoinResult::Status;
    switch (result.status) {
    case Status::InputFaults: {
        QStringList lines{QString::fromUtf8("다음 파일을 읽을 수 없어 파일을 만들지 않았습니다.")};
        for (const TextJoin::InputFault &fault : result.inputFaults) {
            QString reason;
            switch (fault.kind) {
            case TextJoin::InputFault::Kind::CannotRead:
                reason = QString::fromUtf8("열 수 없음 (%1)").arg(fault.detail);
                break;
            case TextJoin::InputFault::Kind::NotRegularFile:
                reason = QString::fromUtf8("열 수 없음 (일반 파일이 아님)");
                break;
            case TextJoin::InputFault::Kind::BadEncoding:
                reason = QString::fromUtf8("인코딩 오류 (%1)").arg(fault.detail);
                break;
            }
            lines << QDir::toNativeSeparators(fault.path) + QStringLiteral(" : ") + reason;
        }
        return lines.join('\n');
    }
    case Status::Unrepresentable: {
        const char32_t codePoint = result.unrepresentable.toUcs4().value(0);
        return QString::fromUtf8("ANSI 인코딩으로 표현할 수 없는 문자가 있어 파일을 만들지 않았습니다. "
                                 "UTF-8을 선택해 다시 묶어 주세요.")
            + QStringLiteral("\n%1 (U+%2)")
                  .arg(result.unrepresentable,
                       QString::number(uint(codePoint), 16).toUpper().rightJustified(4, '0'));
    }
    case Status::NoLegacyCodePage:
        return QString::fromUtf8("이 시스템에는 %1 코드 페이지 변환기가 없어 파일을 만들지 않았습니다.")
            .arg(result.legacyCodePage);
    case Status::OutputFailed:
    case Status::OutputNotRegularFile:
        return QString::fromUtf8("파일을 저장하지 못했습니다.") + QLatin1Char('\n')
            + QDir::toNativeSeparators(outputPath) + QLatin1Char('\n')
            + (result.status == Status::OutputNotRegularFile ? QString::fromUtf8("일반 파일이 아님")
                                                             : result.outputError);
    case Status::Done:
        break;
    }
    return QString();
}

} // namespace

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

    const TextJoin::JoinResult result = TextJoin::joinFiles(
        inputs, outputPath,
        encoding == QLatin1String("UTF-8") ? TextJoin::OutputEncoding::Utf8
                                           : TextJoin::OutputEncoding::Local8Bit);
    if (!result.ok()) {
        QMessageBox::critical(nullptr, QString::fromUtf8("에러"), failureMessage(result, outputPath));
        return;
    }
    QMessageBox::about(nullptr, QString::fromUtf8("완료!!"), QString::fromUtf8("파일 생성 완료!!!"));
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
