// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "listedits.h"
#include "modal_script.h"
#include "rowdragging.h"
#include "sheafwright.h"

#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#ifdef Q_OS_UNIX
#include <QScopeGuard>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

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

    void dropsGoWhereTheyAreDropped_data();
    void dropsGoWhereTheyAreDropped();
    void keysAndMenuItemsDoWhatTheirButtonsDo_data();
    void keysAndMenuItemsDoWhatTheirButtonsDo();
    void theMenuOpensFromMouseAndKeyboard_data();
    void theMenuOpensFromMouseAndKeyboard();
    void draggingInALongList();
    void sortByNameReadsNumbersAsPeopleDo_data();
    void sortByNameReadsNumbersAsPeopleDo();
    void everyChangeCanBeUndoneAndRedone();

    void repeatedDeletesEmptyTheListThenWarn();
    void clearEmptiesTheListWithoutAsking();

private:
    QStringList rows() const;
    void fill(const QStringList &paths);
    void click(const char *buttonName);
    void loadThroughDialog(const QStringList &fileNames);
    QStringList pathsOf(const QStringList &fileNames) const;
    QString state() const;
    QStringList onListMenu(const std::function<void()> &open, const std::function<void(QMenu *)> &act);
    void drop(const QMimeData &data, const QPoint &at, bool *accepted = nullptr);

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

// The paths of files in the test's folder as the list shows them: with "\" on Windows.
QStringList TestFileList::pathsOf(const QStringList &fileNames) const
{
    QStringList paths;
    for (const QString &name : fileNames)
        paths << QDir::toNativeSeparators(m_dir.filePath(name));
    return paths;
}

// Clicks "파일로드", types the given names into Qt's own open dialog and accepts it.
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

// The rows, and the current one after a colon.
QString TestFileList::state() const
{
    return rows().join(' ') + ':' + QString::number(m_window->ui.listWidget->currentRow());
}

// As the platform turns the Menu key into a request from the keyboard, sent to the focus.
void requestMenuFromKeyboard(QWidget *focus)
{
    QContextMenuEvent request(QContextMenuEvent::Keyboard, QPoint(), focus->mapToGlobal(QPoint()));
    QApplication::sendEvent(focus, &request);
}

// Opens the list's menu with `open`, runs `act` on it, and returns its items as
// "text shortcut" or "-" for a separator, a disabled item's text in brackets.
QStringList TestFileList::onListMenu(const std::function<void()> &open, const std::function<void(QMenu *)> &act)
{
    QStringList items;
    bool seen = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu || seen)
            return;
        seen = true;
        for (QAction *action : menu->actions()) {
            const QString text = (action->text() + ' ' + action->shortcut().toString()).trimmed();
            items << (action->isSeparator() ? QStringLiteral("-") : action->isEnabled() ? text : '[' + text + ']');
        }
        act(menu);
        if (menu->isVisible())
            menu->close();
    });
    poll.start(5);
    // The menu runs its own loop: by the time it returns, it has been handled.
    open();
    if (!seen)
        QTest::qFail("the menu did not open", __FILE__, __LINE__);
    return items;
}

// As a file manager drops files, or as a row dragged within the list is dropped:
// enter, move, drop, all on the list's viewport.
void TestFileList::drop(const QMimeData &data, const QPoint &at, bool *accepted)
{
    QWidget *viewport = m_window->ui.listWidget->viewport();
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &enter);
    QDragMoveEvent move(at, actions, &data, Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &move);
    // A line shows where the drop goes: at the top of the row it goes before.
    const QWidget *line = m_window->dragging->m_insertionLine;
    QCOMPARE(line->isVisible(), move.isAccepted());
    QListWidget *list = m_window->ui.listWidget;
    const QModelIndex under = list->indexAt(at);
    const QRect rect = under.isValid() ? list->visualRect(under) : list->visualItemRect(list->item(list->count() - 1));
    const int boundary = under.isValid() && at.y() < rect.center().y() ? rect.top() : rect.bottom() + 1;
    if (move.isAccepted())
        QCOMPARE(line->y(), std::max(0, boundary - 1));
    QDropEvent dropped(at, actions, &data, Qt::LeftButton, {});
    dropped.setDropAction(Qt::MoveAction); // as a drag started as a move proposes
    QApplication::sendEvent(viewport, &dropped);
    QVERIFY(!line->isVisible());
    QCOMPARE(enter.isAccepted(), dropped.isAccepted());
    if (accepted)
        *accepted = dropped.isAccepted();
    // Files are copied in; a row moved within the list must not be taken away again as a move.
    QVERIFY(!dropped.isAccepted() || dropped.dropAction() == Qt::CopyAction);
}

void TestFileList::dropsGoWhereTheyAreDropped_data()
{
    QTest::addColumn<QStringList>("dropped"); // names in the test folder (percent-encoded where they are not
                                              // UTF-8), URLs, "row N" dragged within, or "other row N" dragged
                                              // from another window
    QTest::addColumn<QString>("where");       // top: upper half of row 0; below N: lower half of row N; end
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("after");       // rows and current row, then the title, text and details of a box
                                              // if one shows; the list starts "one two three:1"

    QTest::newRow("files at the top") << QStringList{"b.txt", "a.txt"} << "top" << true
                                      << "b.txt a.txt one two three:3";
    QTest::newRow("a file between rows") << QStringList{"a.txt", "https://example.com/c.txt", "gone.txt"}
                                         << "below 0" << true << "one a.txt two three:2";
    QTest::newRow("below the last row") << QStringList{"a.txt", "b.txt", "a.txt"} << "end" << true
                                        << "one two three a.txt b.txt a.txt:1";
    // Text files directly in it, in any case, by name; no hidden ones, no subfolders, no others.
    QTest::newRow("a file and a folder") << QStringList{"a.txt", "folder"} << "below 0" << true
                                         << "one a.txt folder/ch9.TXT folder/ch10.txt two three:4";
    QTest::newRow("nothing usable") << QStringList{"empty", "https://example.com/c.txt"} << "top" << false
                                    << "one two three:1";
    QTest::newRow("row dragged to the top") << QStringList{"row 2"} << "top" << true << "three one two:0";
    QTest::newRow("row dragged below the last") << QStringList{"row 0"} << "end" << true << "two three one:2";
    QTest::newRow("row dragged down into the middle") << QStringList{"row 0"} << "below 1" << true
                                                      << "two one three:1";
    QTest::newRow("row dragged onto the lower half of the row above")
        << QStringList{"row 2"} << "below 0" << true << "one three two:1";
    QTest::newRow("row dropped where it is") << QStringList{"row 0"} << "below 0" << true << "one two three:1";
    QTest::newRow("a row no longer there") << QStringList{"row 7"} << "top" << false << "one two three:1";
    QTest::newRow("a row of another window") << QStringList{"other row 0"} << "end" << false << "one two three:1";
#ifdef Q_OS_UNIX
    // Names in CP949, as an archive made on Korean Windows leaves them here: what can
    // be added is, and a box tells how many files could not be, and where they are.
    const QString couldNotAdd = QString::fromUtf8("\n주의\n파일 이름을 시스템 인코딩으로 읽을 수 없어 %1개 파일을 "
                                                  "추가하지 못했습니다.\n폴더: ");
    QTest::newRow("a folder with names in another encoding")
        << QStringList{"cp949"} << "top" << true
        << "cp949/03.txt one two three:2" + couldNotAdd.arg(2)
               + "cp949\ncp949/\\xC1\\xA61\\xC8\\xAD.txt\ncp949/\\xC1\\xA62\\xC8\\xAD.txt";
    QTest::newRow("a file and a folder named in another encoding")
        << QStringList{"cp949/%C1%A61%C8%AD.txt", "%C1%A6"} << "end" << true
        << "one two three:1" + couldNotAdd.arg(2)
               + QString::fromUtf8("cp949\n폴더: \\xC1\\xA6\ncp949/\\xC1\\xA61\\xC8\\xAD.txt\n\\xC1\\xA6/a.txt");
#endif
}

void TestFileList::dropsGoWhereTheyAreDropped()
{
    QFETCH(QStringList, dropped);
    QFETCH(QString, where);
    QFETCH(bool, accepted);
    QFETCH(QString, after);

    QDir dir(m_dir.path());
    QVERIFY(dir.mkpath("folder/sub") && dir.mkpath("folder/x.txt") && dir.mkpath("empty") && dir.mkpath("cp949"));
    for (const char *name : {"a.txt", "b.txt", "folder/ch10.txt", "folder/ch9.TXT", "folder/.hidden.txt",
                             "folder/notes.md", "folder/sub/inner.txt", "empty/notes.md", "cp949/03.txt"}) {
        QFile file(m_dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
#ifdef Q_OS_WIN
    // On Windows a file is hidden by its attribute, not by a leading dot.
    const QString hidden = QDir::toNativeSeparators(m_dir.filePath("folder/.hidden.txt"));
    QVERIFY(::SetFileAttributesW(reinterpret_cast<const wchar_t *>(hidden.utf16()), FILE_ATTRIBUTE_HIDDEN));
#endif
#ifdef Q_OS_UNIX
    for (const char *name : {"folder/pipe.txt", "folder/broken.txt"})
        QFile::remove(m_dir.filePath(name));
    QCOMPARE(::mkfifo(QFile::encodeName(m_dir.filePath("folder/pipe.txt")).constData(), 0600), 0);
    QVERIFY(QFile::link(m_dir.filePath("nowhere"), m_dir.filePath("folder/broken.txt")));
    // Qt cannot name these files: they are made, and removed again, by their bytes.
    const QByteArray base = QFile::encodeName(m_dir.path()) + '/';
    const char *const foreignNames[] = {"cp949/\xC1\xA6" "1\xC8\xAD.txt", "cp949/\xC1\xA6" "2\xC8\xAD.txt",
                                        "cp949/\xC1\xA6.md", "cp949/.\xC1\xA6.txt", "\xC1\xA6/a.txt"};
    const auto removeForeignNames = qScopeGuard([&] {
        for (const char *name : foreignNames)
            ::unlink((base + name).constData());
        ::rmdir((base + "\xC1\xA6").constData());
    });
    QCOMPARE(::mkdir((base + "\xC1\xA6").constData(), 0700), 0);
    for (const char *name : foreignNames) {
        FILE *file = std::fopen((base + name).constData(), "w");
        QVERIFY(file);
        std::fclose(file);
    }
#endif
    fill({"one", "two", "three"});
    QListWidget *list = m_window->ui.listWidget;
    list->setCurrentRow(1);
    Sheafwright other;
    std::unique_ptr<QMimeData> data;
    if (dropped.first().startsWith("row ")) {
        data.reset(m_window->dragging->dragOfRow(dropped.first().mid(4).toInt()));
    } else if (dropped.first().startsWith("other row ")) {
        other.ui.listWidget->addItems({"elsewhere"});
        data.reset(other.dragging->dragOfRow(dropped.first().mid(10).toInt()));
    } else {
        QList<QUrl> urls;
        for (const QString &item : dropped)
            urls << (item.contains(':')   ? QUrl(item)
                     : item.contains('%') ? QUrl::fromEncoded(QUrl::fromLocalFile(m_dir.path()).toEncoded() + '/'
                                                              + item.toLatin1())
                                          : QUrl::fromLocalFile(m_dir.filePath(item)));
        data.reset(new QMimeData);
        data->setUrls(urls);
    }
    // Just above the middle of a row is its upper half; its middle, the lower.
    const auto middle = [list](int row) { return list->visualItemRect(list->item(row)).center(); };
    const QPoint at = where == "top"            ? middle(0) - QPoint(0, 1)
                    : where.startsWith("below") ? middle(where.mid(6).toInt())
                                                : QPoint(5, list->viewport()->height() - 2);
    // A box shows once the drop is over, as the events after it are handled; one
    // the row does not expect fails the test.
    QString told;
    ModalScript script;
    if (after.contains('\n')) {
        script.then([&](QWidget *widget) {
            auto *box = qobject_cast<QMessageBox *>(widget);
            QVERIFY(box);
            told = '\n' + QStringList{box->windowTitle(), box->text(), box->detailedText()}.join('\n');
            box->button(QMessageBox::Ok)->click();
        });
    }
    bool wasAccepted = false;
    drop(*data, at, &wasAccepted);
    QCoreApplication::processEvents();
    QTRY_VERIFY(script.finished());
    QCOMPARE(wasAccepted, accepted);
    QCOMPARE(QString(state() + told).replace(QDir::toNativeSeparators(m_dir.path() + '/'), QString()),
             QDir::toNativeSeparators(after));
    QCOMPARE(m_window->edits->history().count(), after.startsWith("one two three:1") ? 0 : 1);
}

void TestFileList::keysAndMenuItemsDoWhatTheirButtonsDo_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QKeySequence>("key");
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("current");

    const struct {
        const char *button;
        QKeySequence key;
        const char *item;
    } commands[] = {
        {"pushButton_Up", QKeySequence(Qt::ALT | Qt::Key_Up), "위로 이동"},
        {"pushButton_Down", QKeySequence(Qt::ALT | Qt::Key_Down), "아래로 이동"},
        {"pushButton_Top", QKeySequence(Qt::ALT | Qt::Key_Home), "처음으로 이동"},
        {"pushButton_End", QKeySequence(Qt::ALT | Qt::Key_End), "끝으로 이동"},
        {"pushButton_Delete", QKeySequence(Qt::Key_Delete), "삭제"},
    };
    for (const auto &command : commands) {
        for (const int current : {0, 2, 4, -1}) {
            QTest::addRow("%s, row %d", command.button, current)
                << command.button << command.key << QString::fromUtf8(command.item) << current;
        }
    }
}

// The same start, then the button, the key, the key on the keypad and the menu
// item: the same end, and one step to undo where the rows changed. A menu item
// that would leave the order as it is, is disabled.
void TestFileList::keysAndMenuItemsDoWhatTheirButtonsDo()
{
    QFETCH(QString, button);
    QFETCH(QKeySequence, key);
    QFETCH(QString, item);
    QFETCH(int, current);

    QListWidget *list = m_window->ui.listWidget;
    QStringList ends;
    bool itemEnabled = false;
    for (int way = 0; way < 4; ++way) {
        list->clear();
        fill({"a", "b", "c", "d", "e"});
        // Keys reach the active window: a window system makes it active again once
        // a box of the way before is closed; the offscreen platform does not.
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        // Focus makes a row current where there is none; the row is set after it.
        list->setFocus();
        list->setCurrentRow(current);
        const int steps = m_window->edits->history().count();
        ModalScript script{acceptBox()};
        if (way == 0) {
            click(button.toLatin1().constData());
        } else if (way == 1) {
            QTest::keySequence(list, key);
        } else if (way == 2) {
            QTest::keyClick(list, key[0].key(), key[0].keyboardModifiers() | Qt::KeypadModifier);
        } else {
            onListMenu([&] { requestMenuFromKeyboard(list); },
                       [&](QMenu *menu) {
                           for (QAction *action : menu->actions()) {
                               if (action->text() != item)
                                   continue;
                               itemEnabled = action->isEnabled();
                               QCOMPARE(action->shortcut(), key);
                               if (itemEnabled) {
                                   menu->setActiveAction(action);
                                   QTest::keyClick(menu, Qt::Key_Return);
                               }
                           }
                       });
        }
        const bool changed = !state().startsWith("a b c d e:");
        QCOMPARE(m_window->edits->history().count() - steps, changed ? 1 : 0);
        ends << state() + ' ' + script.seenTitles().join(',');
    }
    QCOMPARE(ends[1], ends[0]);
    QCOMPARE(ends[2], ends[0]);
    QCOMPARE(itemEnabled, !ends[0].startsWith("a b c d e:"));
    if (itemEnabled)
        QCOMPARE(ends[3], ends[0]);
}

void TestFileList::theMenuOpensFromMouseAndKeyboard_data()
{
    QTest::addColumn<int>("how"); // 0: right click, 1: the Menu key, 2: Shift+F10
    QTest::newRow("right click") << 0;
    QTest::newRow("Menu key") << 1;
#ifndef Q_OS_WIN
    QTest::newRow("Shift+F10") << 2;
#endif
}

void TestFileList::theMenuOpensFromMouseAndKeyboard()
{
    QFETCH(int, how);
    QListWidget *list = m_window->ui.listWidget;
    fill({"a", "b", "c"});
    list->setCurrentRow(2);
    list->setFocus();
    const QPoint clickAt(40, 5);
    QPoint shownAt;
    const QStringList items = onListMenu(
        [&] {
            if (how == 0) {
                // As the window system delivers a right click: to the viewport, at the pointer.
                QContextMenuEvent request(QContextMenuEvent::Mouse, clickAt, list->viewport()->mapToGlobal(clickAt));
                QApplication::sendEvent(list->viewport(), &request);
            } else if (how == 1) {
                requestMenuFromKeyboard(list);
            } else {
                QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
            }
        },
        [&](QMenu *menu) {
            shownAt = menu->pos();
            // The list keeps the focus, but its keys are not for it while the menu is open.
            QTest::keyClick(menu, Qt::Key_Delete);
            QTest::keyClick(menu, Qt::Key_Up, Qt::AltModifier);
        });
    QCOMPARE(items, (QStringList{QString::fromUtf8("위로 이동 Alt+Up"), QString::fromUtf8("[아래로 이동 Alt+Down]"),
                                 QString::fromUtf8("처음으로 이동 Alt+Home"), QString::fromUtf8("[끝으로 이동 Alt+End]"),
                                 QString::fromUtf8("삭제 Del"), "-", QString::fromUtf8("[이름순 정렬]"), "-",
                                 QString::fromUtf8("[실행 취소 Ctrl+Z]"), QString::fromUtf8("[다시 실행 Ctrl+Shift+Z]"),
                                 "-", QString::fromUtf8("리스트 비우기")}));
    QCOMPARE(state(), QString("a b c:2"));
    // From the keyboard, the menu opens at the current row, not wherever the pointer is.
    const QPoint expected = how == 0 ? clickAt : list->visualItemRect(list->item(2)).bottomLeft();
    QCOMPARE(shownAt, list->viewport()->mapToGlobal(expected));

    // On an empty list there is nothing to do but undo.
    click("pushButton_3");
    const QStringList empty = onListMenu(
        [&] {
            QContextMenuEvent request(QContextMenuEvent::Mouse, clickAt, list->viewport()->mapToGlobal(clickAt));
            QApplication::sendEvent(list->viewport(), &request);
        },
        [](QMenu *) {});
    QCOMPARE(empty.filter(QRegularExpression("^[^[-]")), QStringList{QString::fromUtf8("실행 취소 Ctrl+Z")});
}

// A row is taken along by the pointer, not selected on its way; near the top or
// the bottom of a long list, a drag scrolls it.
void TestFileList::draggingInALongList()
{
    QStringList paths;
    for (int i = 0; i < 60; ++i)
        paths << QStringLiteral("row %1").arg(i);
    fill(paths);
    QListWidget *list = m_window->ui.listWidget;
    QWidget *viewport = list->viewport();
    const QPoint first = list->visualItemRect(list->item(0)).center();
    QTest::mousePress(viewport, Qt::LeftButton, {}, first);
    QTest::mouseMove(viewport, list->visualItemRect(list->item(3)).center());
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, list->visualItemRect(list->item(3)).center());
    QCOMPARE(list->currentRow(), 0);

    std::unique_ptr<QMimeData> row(m_window->dragging->dragOfRow(0));
    QScrollBar *bar = list->verticalScrollBar();
    const Qt::DropActions actions = Qt::MoveAction;
    QDragEnterEvent enter(QPoint(5, viewport->height() - 2), actions, row.get(), Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &enter);
    QDragMoveEvent nearBottom(QPoint(5, viewport->height() - 2), actions, row.get(), Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &nearBottom);
    QTRY_VERIFY(bar->value() >= 3);
    QDragMoveEvent nearTop(QPoint(5, 2), actions, row.get(), Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &nearTop);
    QTRY_COMPARE(bar->value(), 0);
    QDragLeaveEvent leave;
    QApplication::sendEvent(viewport, &leave);
    QVERIFY(!m_window->dragging->m_insertionLine->isVisible());
}

void TestFileList::sortByNameReadsNumbersAsPeopleDo_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QStringList>("sorted");
    QTest::addColumn<int>("current"); // its file stays current
    QTest::newRow("numbers of different lengths")
        << QStringList{"/d/제10화.txt", "/d/제2화.txt", "/d/제1화.txt", "/d/제100화.txt"}
        << QStringList{"/d/제1화.txt", "/d/제2화.txt", "/d/제10화.txt", "/d/제100화.txt"} << 0;
    QTest::newRow("numbers after letters") << QStringList{"/d/ch10.txt", "/d/ch9.txt", "/d/ch9a.txt"}
                                           << QStringList{"/d/ch9.txt", "/d/ch9a.txt", "/d/ch10.txt"} << 1;
    QTest::newRow("letters without regard to case") << QStringList{"/d/b.txt", "/d/A.txt", "/d/C.txt", "/d/a.txt"}
                                                    << QStringList{"/d/A.txt", "/d/a.txt", "/d/b.txt", "/d/C.txt"}
                                                    << 3;
    QTest::newRow("names equal but for case or leading zeros, by their characters")
        << QStringList{"/d/ch1.txt", "/d/a.txt", "/d/ch01.txt", "/d/A.txt"}
        << QStringList{"/d/A.txt", "/d/a.txt", "/d/ch01.txt", "/d/ch1.txt"} << 0;
#ifdef Q_OS_WIN
    // Windows' Korean collation, as Explorer sorts, puts Latin letters first.
    QTest::newRow("Hangul in Korean order, after Latin")
        << QStringList{"/d/하.txt", "/d/a.txt", "/d/가.txt", "/d/나.txt"}
        << QStringList{"/d/a.txt", "/d/가.txt", "/d/나.txt", "/d/하.txt"} << 2;
#else
    QTest::newRow("Hangul in Korean order, before Latin")
        << QStringList{"/d/하.txt", "/d/a.txt", "/d/가.txt", "/d/나.txt"}
        << QStringList{"/d/가.txt", "/d/나.txt", "/d/하.txt", "/d/a.txt"} << 2;
#endif
    QTest::newRow("equal names by folder, the same path twice as it stood")
        << QStringList{"/b/1.txt", "/a/2.txt", "/a/1.txt", "/b/1.txt"}
        << QStringList{"/a/1.txt", "/b/1.txt", "/b/1.txt", "/a/2.txt"} << 3;
}

void TestFileList::sortByNameReadsNumbersAsPeopleDo()
{
    QFETCH(QStringList, paths);
    QFETCH(QStringList, sorted);
    QFETCH(int, current);

    fill(paths);
    QListWidget *list = m_window->ui.listWidget;
    list->setCurrentRow(current);
    QListWidgetItem *currentItem = list->currentItem();
    m_window->edits->sortByName();
    QCOMPARE(rows(), sorted);
    QCOMPARE(list->currentItem(), currentItem);
    QVERIFY(m_window->edits->isSortedByName());
    // The menu asks again after each change, whatever made it.
    list->insertItem(1, sorted.last());
    QVERIFY(!m_window->edits->isSortedByName());
    delete list->takeItem(1);
    QVERIFY(m_window->edits->isSortedByName());
}

// Every kind of change, then back step by step with Ctrl+Z, and forward again
// with Ctrl+Shift+Z and Ctrl+Y: the rows and the current row as they were just
// before, and just after, each change.
void TestFileList::everyChangeCanBeUndoneAndRedone()
{
    QListWidget *list = m_window->ui.listWidget;
    QStringList before;
    QStringList after;
    const auto change = [&](const std::function<void()> &edit) {
        before << state().replace(QDir::toNativeSeparators(m_dir.path() + '/'), QString());
        edit();
        after << state().replace(QDir::toNativeSeparators(m_dir.path() + '/'), QString());
    };

    change([&] { loadThroughDialog({"ch10.txt", "ch2.txt", "ch1.txt"}); });
    list->setCurrentRow(2);
    change([&] { click("pushButton_Up"); });
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    list->setFocus();
    change([&] { QTest::keyClick(list, Qt::Key_Delete); });
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(m_dir.filePath("ch2.txt"))});
    change([&] { drop(files, list->visualItemRect(list->item(0)).topLeft() + QPoint(5, 1)); });
    std::unique_ptr<QMimeData> row(m_window->dragging->dragOfRow(0));
    change([&] { drop(*row, QPoint(5, list->viewport()->height() - 2)); });
    list->setCurrentRow(0);
    change([&] {
        onListMenu([&] { requestMenuFromKeyboard(list); },
                   [](QMenu *menu) {
                       for (QAction *action : menu->actions()) {
                           if (action->text() == QString::fromUtf8("이름순 정렬"))
                               action->trigger();
                       }
                   });
    });
    change([&] { click("pushButton_3"); });
    QCOMPARE(after, (QStringList{"ch10.txt ch2.txt ch1.txt:-1", "ch10.txt ch1.txt ch2.txt:1", "ch10.txt ch2.txt:1",
                                 "ch2.txt ch10.txt ch2.txt:2", "ch10.txt ch2.txt ch2.txt:2",
                                 "ch2.txt ch2.txt ch10.txt:2", ":-1"}));

    // The dialogs and the menu were the active windows in turn.
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    for (qsizetype step = before.size() - 1; step >= 0; --step) {
        QTest::keyClick(m_window, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(state().replace(QDir::toNativeSeparators(m_dir.path() + '/'), QString()), before[step]);
    }
    for (qsizetype step = 0; step < after.size(); ++step) {
        if (step % 2)
            QTest::keyClick(m_window, Qt::Key_Y, Qt::ControlModifier);
        else
            QTest::keyClick(m_window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(state().replace(QDir::toNativeSeparators(m_dir.path() + '/'), QString()), after[step]);
    }

    // The last hundred changes are kept, and no more.
    fill({"x", "y"});
    list->setCurrentRow(0);
    for (int i = 0; i < 150; ++i)
        click(i % 2 ? "pushButton_Up" : "pushButton_Down");
    int undone = 0;
    while (m_window->edits->history().canUndo() && undone < 1000) {
        m_window->edits->history().undo();
        ++undone;
    }
    QCOMPARE(undone, 100);
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
