#include "modal_script.h"
#include "sheafwright.h"

#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QMimeData>
#include <QUrl>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestFileList : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void loadOpensTheMultiSelectionDialog();
    void loadAppendsInDialogOrderAfterExistingRows();
    void loadingTheSameFileTwiceListsItTwice();
    void cancellingTheLoadDialogChangesNothing();

    void arrange_data();
    void arrange();
    void eachButtonRunsItsSlot();
    void threeUpsBringRowThreeToTheTop();
    void buttonsActOnARowMadeCurrentByKeyboard();
    void clickOnAnItemReachesGetIndex();

    void droppedFilesAreAppendedInOrder_data();
    void droppedFilesAreAppendedInOrder();

    void repeatedDeletesEmptyTheListThenWarn();
    void clearEmptiesTheListWithoutAsking();

private:
    QStringList rows() const;
    void fill(const QStringList &paths);
    void click(const char *buttonName);
    void loadThroughDialog(const QStringList &fileNames);
    QStringList pathsOf(const QStringList &fileNames) const;

    QTemporaryDir m_dir;
    Sheafwright *m_window = nullptr;
    UnexpectedDialogGuard m_dialogGuard;
};

void TestFileList::init()
{
    m_window = new Sheafwright;
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void TestFileList::cleanup()
{
    delete m_window;
    m_window = nullptr;
}

QStringList TestFileList::rows() const
{
    QStringList texts;
    for (int row = 0; row < m_window->ui.listWidget->count(); ++row)
        texts << m_window->ui.listWidget->item(row)->text();
    return texts;
}

void TestFileList::fill(const QStringList &paths)
{
    m_window->ui.listWidget->addItems(paths);
}

void TestFileList::click(const char *buttonName)
{
    auto *button = m_window->findChild<QPushButton *>(buttonName);
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
}

// Clicks "파일로드", types the given names into Qt's own open dialog and accepts it.
QStringList TestFileList::pathsOf(const QStringList &fileNames) const
{
    QStringList paths;
    for (const QString &name : fileNames)
        paths << m_dir.filePath(name);
    return paths;
}

void TestFileList::loadThroughDialog(const QStringList &fileNames)
{
    for (const QString &name : fileNames) {
        QFile file(m_dir.filePath(name));
        file.open(QIODevice::WriteOnly);
    }
    ModalScript script{[&](QWidget *widget) {
        auto *dialog = qobject_cast<QFileDialog *>(widget);
        QVERIFY(dialog);
        dialog->setDirectory(m_dir.path());
        QStringList quoted;
        for (const QString &name : fileNames)
            quoted << '"' + name + '"';
        dialog->findChild<QLineEdit *>("fileNameEdit")->setText(quoted.join(' '));
        static_cast<QDialog *>(dialog)->accept();
    }};
    click("pushButton");
    QVERIFY2(script.finished(), "the open dialog did not appear");
}

void TestFileList::loadOpensTheMultiSelectionDialog()
{
    QString caption;
    QStringList filters;
    QString selectedFilter;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    bool hasParent = true;
    ModalScript script{[&](QWidget *widget) {
        auto *dialog = qobject_cast<QFileDialog *>(widget);
        QVERIFY(dialog);
        caption = dialog->windowTitle();
        filters = dialog->nameFilters();
        selectedFilter = dialog->selectedNameFilter();
        mode = dialog->fileMode();
        hasParent = dialog->parentWidget() != nullptr;
        dialog->reject();
    }};
    click("pushButton");
    QVERIFY(script.finished());
    QCOMPARE(caption, QString("Select Text Files"));
    QCOMPARE(filters, (QStringList{"Text Files(*.txt)", "All File(*.*)"}));
    QCOMPARE(selectedFilter, QString("Text Files(*.txt)"));
    QCOMPARE(mode, QFileDialog::ExistingFiles);
    QVERIFY(!hasParent);
}

void TestFileList::loadAppendsInDialogOrderAfterExistingRows()
{
    fill({"/already/there.txt"});
    loadThroughDialog({"b.txt", "a.txt"});
    loadThroughDialog({"c.txt"});
    QCOMPARE(rows(), QStringList{"/already/there.txt"} + pathsOf({"b.txt", "a.txt", "c.txt"}));
    QCOMPARE(m_window->selectedRow, -1);
}

void TestFileList::loadingTheSameFileTwiceListsItTwice()
{
    loadThroughDialog({"same.txt"});
    loadThroughDialog({"same.txt"});
    QCOMPARE(rows(), pathsOf({"same.txt", "same.txt"}));
}

void TestFileList::cancellingTheLoadDialogChangesNothing()
{
    fill({"/x/1.txt", "/x/2.txt"});
    ModalScript script{[](QWidget *dialog) { static_cast<QDialog *>(dialog)->reject(); }};
    click("pushButton");
    QVERIFY(script.finished());
    QCOMPARE(rows(), (QStringList{"/x/1.txt", "/x/2.txt"}));
}

void TestFileList::arrange_data()
{
    QTest::addColumn<int>("current");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("order");
    QTest::addColumn<int>("currentAfter");

    // Start order is always "abcde"; -1 means no current row.
    QTest::newRow("up, middle") << 2 << "pushButton_Up" << "acbde" << 1;
    QTest::newRow("up, first row") << 0 << "pushButton_Up" << "abcde" << 0;
    QTest::newRow("up, last row") << 4 << "pushButton_Up" << "abced" << 3;
    QTest::newRow("up, no current") << -1 << "pushButton_Up" << "abcde" << -1;
    QTest::newRow("down, middle") << 2 << "pushButton_Down" << "abdce" << 3;
    QTest::newRow("down, first row") << 0 << "pushButton_Down" << "bacde" << 1;
    QTest::newRow("down, last row") << 4 << "pushButton_Down" << "abcde" << 4;
    QTest::newRow("down, no current") << -1 << "pushButton_Down" << "abcde" << -1;
    // Top and end move the current file itself; the list then makes a neighbour current.
    QTest::newRow("top, middle") << 2 << "pushButton_Top" << "cabde" << 3;
    QTest::newRow("top, first row") << 0 << "pushButton_Top" << "abcde" << 1;
    QTest::newRow("top, last of five") << 4 << "pushButton_Top" << "eabcd" << 4;
    QTest::newRow("top, no current") << -1 << "pushButton_Top" << "abcde" << -1;
    QTest::newRow("end, middle") << 2 << "pushButton_End" << "abdec" << 2;
    QTest::newRow("end, first row") << 0 << "pushButton_End" << "bcdea" << 0;
    QTest::newRow("end, last row") << 4 << "pushButton_End" << "abcde" << 3;
    QTest::newRow("end, no current") << -1 << "pushButton_End" << "abcde" << -1;
    QTest::newRow("delete, middle") << 2 << "pushButton_Delete" << "abde" << 2;
    QTest::newRow("delete, first row") << 0 << "pushButton_Delete" << "bcde" << 0;
    QTest::newRow("delete, last row") << 4 << "pushButton_Delete" << "abcd" << 3;
}

void TestFileList::arrange()
{
    QFETCH(int, current);
    QFETCH(QString, button);
    QFETCH(QString, order);
    QFETCH(int, currentAfter);

    fill({"a", "b", "c", "d", "e"});
    m_window->ui.listWidget->setCurrentRow(current);
    QCOMPARE(m_window->ui.listWidget->currentRow(), current);
    click(button.toLatin1().constData());

    QCOMPARE(rows().join(QString()), order);
    QCOMPARE(m_window->ui.listWidget->currentRow(), currentAfter);
    QCOMPARE(m_window->selectedRow, current);
}

// A click and a call of the slot by name through the meta-object end the same way.
void TestFileList::eachButtonRunsItsSlot()
{
    const QList<QPair<const char *, const char *>> wiring = {
        {"pushButton_Up", "contentUp"},       {"pushButton_Down", "contentDown"},
        {"pushButton_Top", "contentMoveTop"}, {"pushButton_End", "contentMoveEnd"},
        {"pushButton_Delete", "deleteContent"}, {"pushButton_3", "clearList"},
    };
    for (const auto &[button, slot] : wiring) {
        QStringList orders;
        for (bool byName : {false, true}) {
            m_window->ui.listWidget->clear();
            fill({"a", "b", "c", "d"});
            m_window->ui.listWidget->setCurrentRow(2);
            if (byName)
                QVERIFY(QMetaObject::invokeMethod(m_window, slot));
            else
                click(button);
            orders << rows().join(QString()) + QString::number(m_window->ui.listWidget->currentRow());
        }
        QVERIFY2(orders[0] == orders[1], button);
        QVERIFY2(orders[0] != "abcd2", button);
    }
}

void TestFileList::threeUpsBringRowThreeToTheTop()
{
    fill({"a", "b", "c", "d", "e"});
    m_window->ui.listWidget->setCurrentRow(3);
    for (int i = 0; i < 3; ++i)
        click("pushButton_Up");
    QCOMPARE(rows().join(QString()), QString("dabce"));
    QCOMPARE(m_window->ui.listWidget->currentItem()->text(), QString("d"));
}

void TestFileList::buttonsActOnARowMadeCurrentByKeyboard()
{
    fill({"a", "b", "c", "d"});
    QListWidget *list = m_window->ui.listWidget;
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Home);
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(list->currentRow(), 2);
    // The keyboard does not go through getIndex; the buttons read the current row themselves.
    QCOMPARE(m_window->selectedRow, -1);

    click("pushButton_Delete");
    QCOMPARE(rows().join(QString()), QString("abd"));
    QCOMPARE(m_window->selectedRow, 2);
}

void TestFileList::clickOnAnItemReachesGetIndex()
{
    fill({"a", "b", "c"});
    QListWidget *list = m_window->ui.listWidget;
    const QRect itemRect = list->visualItemRect(list->item(1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, itemRect.center());
    QCOMPARE(m_window->selectedRow, 1);
    QCOMPARE(list->currentRow(), 1);

    // A change of selection without a click is not reported to the window.
    list->setCurrentRow(2);
    QCOMPARE(m_window->selectedRow, 1);
}

void TestFileList::droppedFilesAreAppendedInOrder_data()
{
    QTest::addColumn<QStringList>("dropped"); // names in the test folder, or URLs
    QTest::addColumn<QStringList>("appended");
    QTest::newRow("files, a folder and a web address")
        << QStringList{"b.txt", "folder", "https://example.com/c.txt", "a.txt", "b.txt"}
        << QStringList{"b.txt", "a.txt", "b.txt"};
    QTest::newRow("nothing usable") << QStringList{"folder", "https://example.com/c.txt"} << QStringList();
}

// As a file manager drops files: enter, move, drop, all on the list's viewport.
void TestFileList::droppedFilesAreAppendedInOrder()
{
    QFETCH(QStringList, dropped);
    QFETCH(QStringList, appended);

    for (const char *name : {"a.txt", "b.txt"}) {
        QFile file(m_dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QDir(m_dir.path()).mkdir("folder");
    fill({"first"});
    QList<QUrl> urls;
    for (const QString &item : dropped)
        urls << (item.contains(':') ? QUrl(item) : QUrl::fromLocalFile(m_dir.filePath(item)));
    QMimeData data;
    data.setUrls(urls);

    QWidget *viewport = m_window->ui.listWidget->viewport();
    const QPoint at = viewport->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &enter);
    QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &move);
    QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &drop);

    const bool usable = !appended.isEmpty();
    QCOMPARE(enter.isAccepted(), usable);
    QCOMPARE(move.isAccepted(), usable);
    QCOMPARE(drop.isAccepted(), usable);
    if (usable) {
        QCOMPARE(enter.dropAction(), Qt::CopyAction);
        QCOMPARE(drop.dropAction(), Qt::CopyAction);
    }
    QCOMPARE(rows(), QStringList{"first"} + pathsOf(appended));
}

void TestFileList::repeatedDeletesEmptyTheListThenWarn()
{
    fill({"a", "b", "c"});
    m_window->ui.listWidget->setCurrentRow(1);
    ModalScript script;
    for (const char *remaining : {"ac", "a", ""}) {
        click("pushButton_Delete");
        QCOMPARE(rows().join(QString()), QString(remaining));
    }
    QVERIFY(script.seen().isEmpty());

    script.then(acceptBox());
    click("pushButton_Delete");
    QCOMPARE(script.seen().size(), 1);
    QCOMPARE(script.seen().first().className, QString("QMessageBox"));
    QCOMPARE(script.seen().first().title, QString::fromUtf8("주의"));
    QCOMPARE(script.seen().first().text, QString::fromUtf8("지울 파일을 선택해 주세요."));
    QCOMPARE(m_window->selectedRow, -1);
}

void TestFileList::clearEmptiesTheListWithoutAsking()
{
    fill({"a", "b", "c"});
    m_window->ui.listWidget->setCurrentRow(2);
    click("pushButton_Delete");
    ModalScript script;
    click("pushButton_3");
    QCOMPARE(m_window->ui.listWidget->count(), 0);
    QVERIFY(script.seen().isEmpty());
    QCOMPARE(m_window->selectedRow, 2);
}

QTEST_MAIN(TestFileList)
#include "test_file_list.moc"
