// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "modal_script.h"
#include "sheafwright.h"
#include "test_support.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QProgressDialog>
#include <QSemaphore>
#include <QThread>
#include <QTextCodec>
#include <qpa/qwindowsysteminterface.h>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif
#ifdef Q_OS_WIN
#include <QScopeGuard>

#include <qt_windows.h>
#endif

namespace {

const QString errorTitle = QString::fromUtf8("에러");

// The system's own words for a missing file, in the language it is set to.
QString noSuchFileReason()
{
#ifdef Q_OS_WIN
    return qt_error_string(ERROR_FILE_NOT_FOUND);
#else
    return QStringLiteral("No such file or directory");
#endif
}
const QString questionTitle = QString::fromUtf8("질문!");
const QString cancelTitle = QString::fromUtf8("취소");
const QString nameRequiredTitle = QString::fromUtf8("중요!");
const QString encodingTitle = QString::fromUtf8("인코딩 선택");
const QString doneTitle = QString::fromUtf8("완료!!");
const QString saveCaption = QString::fromUtf8("저장할 이름을 적으시오.");

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

ModalScript::Step saveAs(const QString &path)
{
    return [path](QWidget *widget) {
        auto *dialog = qobject_cast<QFileDialog *>(widget);
        QVERIFY(dialog);
        dialog->findChild<QLineEdit *>("fileNameEdit")->setText(path);
        static_cast<QDialog *>(dialog)->accept();
    };
}

ModalScript::Step rejectDialog()
{
    return [](QWidget *widget) { static_cast<QDialog *>(widget)->reject(); };
}

ModalScript::Step chooseEncoding(const QString &text)
{
    return [text](QWidget *widget) {
        auto *dialog = qobject_cast<QInputDialog *>(widget);
        QVERIFY(dialog);
        dialog->setTextValue(text);
        dialog->accept();
    };
}

} // namespace

class TestBinding : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void emptyListShowsOnlyTheError();
    void confirmationOffersOkByDefaultAndNoOnEscape();
    void decliningTheConfirmationCancels_data();
    void decliningTheConfirmationCancels();
    void enterConfirmsAndANameIsRequired();
    void encodingDialogOffersUtf8AndAnsi();
    void encodingChoice_data();
    void encodingChoice();
    void anInputCanBeChosenAsTheOutput();
    void bindFollowsTheArrangedOrder();
    void unusableInputsAreListedAndNothingIsWritten_data();
    void unusableInputsAreListedAndNothingIsWritten();
    void charactersTheCodePageLacksAreReported_data();
    void charactersTheCodePageLacksAreReported();
    void outputThatCannotBeWrittenIsNotReportedAsDone();
    void aLongBindShowsProgressAndCanBeCancelled_data();
    void aLongBindShowsProgressAndCanBeCancelled();
    void theCommitCannotBeCancelled();
    void theWindowTakesNoInputBeforeTheProgressShows();
#ifdef Q_OS_UNIX
    void outputThatIsNoFileIsRefused();
#endif

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    // As messages show it: with the system's own separators.
    QString shown(const QString &name) const { return QDir::toNativeSeparators(path(name)); }
    void list(const QStringList &paths);
    void clickBind();

    QScopedPointer<QTemporaryDir> m_dir;
    Sheafwright *m_window = nullptr;
    UnexpectedDialogGuard m_dialogGuard;
    std::unique_ptr<SystemCodec> m_system;
};

void TestBinding::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    // The system's code page is UTF-8, as on Linux, so that "ANSI" is CP949
    // wherever the tests run, Windows set to 1252 included.
    m_system.reset();
    m_system = std::make_unique<SystemCodec>("UTF-8");
    m_window = new Sheafwright;
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void TestBinding::cleanup()
{
    delete m_window;
    m_window = nullptr;
}

void TestBinding::list(const QStringList &paths)
{
    m_window->ui.listWidget->addItems(paths);
}

void TestBinding::clickBind()
{
    QTest::mouseClick(m_window->findChild<QPushButton *>("pushButton_2"), Qt::LeftButton);
}

void TestBinding::emptyListShowsOnlyTheError()
{
    ModalScript script{[](QWidget *widget) {
        auto *box = qobject_cast<QMessageBox *>(widget);
        QVERIFY(box);
        QCOMPARE(box->icon(), QMessageBox::Critical);
        QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(!box->parentWidget());
        box->button(QMessageBox::Ok)->click();
    }};
    clickBind();
    QCOMPARE(script.seenTitles(), QStringList{errorTitle});
    QCOMPARE(script.seen().first().text, QString::fromUtf8("텍스트 파일이 없습니다."));
}

void TestBinding::confirmationOffersOkByDefaultAndNoOnEscape()
{
    writeFile(path("a.txt"), "a");
    list({path("a.txt")});
    ModalScript script{[](QWidget *widget) {
                           auto *box = qobject_cast<QMessageBox *>(widget);
                           QVERIFY(box);
                           QCOMPARE(box->icon(), QMessageBox::Question);
                           QCOMPARE(box->standardButtons(), QMessageBox::Ok | QMessageBox::No);
                           QCOMPARE(box->defaultButton(), box->button(QMessageBox::Ok));
                           QCOMPARE(box->escapeButton(), box->button(QMessageBox::No));
                           QVERIFY(!box->parentWidget());
                           box->button(QMessageBox::No)->click();
                       },
                       acceptBox()};
    clickBind();
    QCOMPARE(script.seen().first().title, questionTitle);
    QCOMPARE(script.seen().first().text, QString::fromUtf8("현제 파일들을 한개파일로 만드시겠습니까?"));
}

void TestBinding::decliningTheConfirmationCancels_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("No button") << 0;
    QTest::newRow("Escape") << 1;
    QTest::newRow("closing the box") << 2;
}

void TestBinding::decliningTheConfirmationCancels()
{
    QFETCH(int, how);
    writeFile(path("a.txt"), "a");
    list({path("a.txt")});
    ModalScript script{[how](QWidget *widget) {
                           auto *box = qobject_cast<QMessageBox *>(widget);
                           if (how == 0)
                               box->button(QMessageBox::No)->click();
                           else if (how == 1)
                               QTest::keyClick(box, Qt::Key_Escape);
                           else
                               box->close();
                       },
                       acceptBox()};
    clickBind();
    QCOMPARE(script.seenTitles(), (QStringList{questionTitle, cancelTitle}));
    QCOMPARE(script.seen().last().text, QString::fromUtf8("작업을 취소합니다.."));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{"a.txt"});
}

void TestBinding::enterConfirmsAndANameIsRequired()
{
    writeFile(path("a.txt"), "alpha");
    list({path("a.txt")});
    QString caption;
    QStringList filters;
    QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
    ModalScript script{[](QWidget *box) { QTest::keyClick(box, Qt::Key_Return); },
                       [&](QWidget *widget) {
                           auto *dialog = qobject_cast<QFileDialog *>(widget);
                           QVERIFY(dialog);
                           caption = dialog->windowTitle();
                           filters = dialog->nameFilters();
                           mode = dialog->acceptMode();
                           dialog->reject();
                       },
                       acceptBox(), rejectDialog(), acceptBox(), rejectDialog(), acceptBox(),
                       saveAs(path("joined")), chooseEncoding("UTF-8"), acceptBox()};
    clickBind();
    QCOMPARE(script.seenTitles(),
             (QStringList{questionTitle, saveCaption, nameRequiredTitle, saveCaption, nameRequiredTitle,
                          saveCaption, nameRequiredTitle, saveCaption, encodingTitle, doneTitle}));
    QCOMPARE(script.seen().at(2).text, QString::fromUtf8("반드시 이름을 입력 해야합니다."));
    QCOMPARE(script.seen().last().text, QString::fromUtf8("파일 생성 완료!!!"));
    QCOMPARE(caption, saveCaption);
    QCOMPARE(filters, QStringList{"Text file(*.txt *.text)"});
    QCOMPARE(mode, QFileDialog::AcceptSave);
    // The name is used as given: no extension is added.
    QCOMPARE(readAll(path("joined")), QByteArray("alpha"));
}

void TestBinding::encodingDialogOffersUtf8AndAnsi()
{
    writeFile(path("a.txt"), "a");
    list({path("a.txt")});
    ModalScript script{pressButton(QMessageBox::Ok), saveAs(path("out.txt")), [](QWidget *widget) {
                           auto *dialog = qobject_cast<QInputDialog *>(widget);
                           QVERIFY(dialog);
                           QCOMPARE(dialog->labelText(), QString::fromUtf8("선택 :"));
                           QCOMPARE(dialog->comboBoxItems(), (QStringList{"UTF-8", "ANSI"}));
                           QCOMPARE(dialog->textValue(), QString("UTF-8"));
                           QVERIFY(dialog->isComboBoxEditable());
                           QVERIFY(!dialog->parentWidget());
                           dialog->accept();
                       },
                       acceptBox()};
    clickBind();
    QCOMPARE(script.seenTitles().value(2), encodingTitle);
    QVERIFY(script.finished());
}

void TestBinding::encodingChoice_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("ansi");
    QTest::newRow("UTF-8") << false << "UTF-8" << false;
    QTest::newRow("cancel means UTF-8") << true << "ANSI" << false;
    QTest::newRow("ANSI") << false << "ANSI" << true;
    QTest::newRow("typed lower-case utf-8 is ANSI") << false << "utf-8" << true;
    QTest::newRow("any other text is ANSI") << false << "EUC-KR" << true;
}

void TestBinding::encodingChoice()
{
    QFETCH(bool, cancel);
    QFETCH(QString, typed);
    QFETCH(bool, ansi);

    // The legacy code page where the system's is UTF-8: CP949.
    const QString text = QString::fromUtf8("한글\r\n");
    QTextCodec *cp949 = cp949Codec();
    writeFile(path("a.txt"), text.toUtf8());
    writeFile(path("b.txt"), cp949->fromUnicode(text));
    list({path("a.txt"), path("b.txt")});
    ModalScript script{pressButton(QMessageBox::Ok), saveAs(path("out.txt")),
                       [&](QWidget *widget) {
                           auto *dialog = qobject_cast<QInputDialog *>(widget);
                           QVERIFY(dialog);
                           QLineEdit *edit = dialog->findChild<QComboBox *>()->lineEdit();
                           edit->selectAll();
                           QTest::keyClicks(edit, typed);
                           if (cancel)
                               dialog->reject();
                           else
                               QTest::keyClick(edit, Qt::Key_Return);
                       },
                       acceptBox()};
    clickBind();
    QCOMPARE(script.seenTitles().last(), doneTitle);
    const QByteArray expected = ansi ? cp949->fromUnicode(text + text) : (text + text).toUtf8();
    QCOMPARE(readAll(path("out.txt")), expected);
}

void TestBinding::anInputCanBeChosenAsTheOutput()
{
    writeFile(path("a.txt"), "first\n");
    writeFile(path("b.txt"), "second\n");
    list({path("a.txt"), path("b.txt")});
    ModalScript script{pressButton(QMessageBox::Ok), saveAs(path("a.txt")),
                       pressButton(QMessageBox::Yes), // the dialog's own "replace?" question
                       chooseEncoding("UTF-8"), acceptBox()};
    clickBind();
    QCOMPARE(script.seenTitles().last(), doneTitle);
    QCOMPARE(readAll(path("a.txt")), QByteArray("first\nsecond\n"));
}

void TestBinding::bindFollowsTheArrangedOrder()
{
    for (const char *name : {"1", "2", "3", "4"})
        writeFile(path(name), name);
    list({path("1"), path("2"), path("3"), path("4")});
    m_window->ui.listWidget->setCurrentRow(2);
    QTest::mouseClick(m_window->findChild<QPushButton *>("pushButton_Top"), Qt::LeftButton);
    m_window->ui.listWidget->setCurrentRow(1);
    QTest::mouseClick(m_window->findChild<QPushButton *>("pushButton_End"), Qt::LeftButton);

    ModalScript script{pressButton(QMessageBox::Ok), saveAs(path("out.txt")), chooseEncoding("UTF-8"),
                       acceptBox()};
    clickBind();
    QCOMPARE(readAll(path("out.txt")), QByteArray("3241"));
}

void TestBinding::unusableInputsAreListedAndNothingIsWritten_data()
{
    QTest::addColumn<int>("missing");         // further inputs that do not exist
    QTest::addColumn<QString>("missingName"); // theirs, %1 their number
    QTest::newRow("each kind") << 0 << QString();
    QTest::newRow("ten, all named") << 6 << "missing-%1.txt";
    QTest::newRow("thousands") << 5000 << "missing-%1.txt";
    QTest::newRow("names of many lines, very long")
        << 6 << QString("\n").repeated(200) + QString(300, QChar(u'가')) + "\n\n%1.txt";
}

void TestBinding::unusableInputsAreListedAndNothingIsWritten()
{
    QFETCH(int, missing);
    QFETCH(QString, missingName);
    writeFile(path("growing.txt"), "grows");
    writeFile(path("good.txt"), "good");
    writeFile(path("latin.txt"), "caf\xE9");
    writeFile(path("out.txt"), "previous");
    QVERIFY(QDir(m_dir->path()).mkdir("folder"));
    QStringList inputs{path("growing.txt"), path("good.txt"), path("missing.txt"), path("latin.txt"),
                       path("folder")};
    for (int i = 0; i < missing; ++i)
        inputs << path(missingName.arg(i));
    list(inputs);
#ifdef Q_OS_WIN
    QFile writer(path("growing.txt"));
    QVERIFY(writer.open(QIODevice::Append));
#endif
    // The first input grows while it is read.
    m_window->joinOptions.progress = [&, grown = false](qint64) mutable {
        QFile file(path("growing.txt"));
        grown = grown || (file.open(QIODevice::Append) && file.write("!") == 1);
        return true;
    };
    QSize boxSize;
    QString details;
    ModalScript script{pressButton(QMessageBox::Ok), saveAs(path("out.txt")), pressButton(QMessageBox::Yes),
                       chooseEncoding("UTF-8"), [&](QWidget *widget) {
                           auto *box = qobject_cast<QMessageBox *>(widget);
                           QVERIFY(box);
                           QCOMPARE(box->icon(), QMessageBox::Critical);
                           boxSize = box->sizeHint().expandedTo(box->size());
                           details = box->detailedText();
                           box->button(QMessageBox::Ok)->click();
                       }};
    script.passOverProgress();
    clickBind();
    QCOMPARE(script.seenTitles().last(), errorTitle);
    const QString noSuchFile = QString::fromUtf8(" : 열 수 없음 (%1)").arg(noSuchFileReason());
#ifdef Q_OS_WIN
    // Where no one can write to an input while it is read, one that another
    // program has open for writing is not read at all.
    const QString growing = QString::fromUtf8(" : 다른 프로그램이 쓰는 중");
#else
    const QString growing = QString::fromUtf8(" : 읽는 동안 파일이 바뀜");
#endif
    const QStringList reasons{shown("growing.txt") + growing,
                              shown("missing.txt") + noSuchFile, shown("latin.txt") + QString::fromUtf8(" : 인코딩 오류 (CP949)"),
                              shown("folder") + QString::fromUtf8(" : 열 수 없음 (일반 파일이 아님)")};
    // The box names the first ten, each on a line of its own, and how many more;
    // where it does not show them all as they are, its details name them all, whole.
    const QString heading = QString::fromUtf8("다음 파일을 읽을 수 없어 파일을 만들지 않았습니다.");
    const QStringList lines = script.seen().last().text.split('\n');
    const int unusable = reasons.size() + missing;
    QCOMPARE(lines.size(), 1 + std::min(unusable, 10) + (unusable > 10 ? 1 : 0));
    QCOMPARE(lines.first(), heading);
    QCOMPARE(lines.mid(1, 4), reasons);
    if (unusable > 10)
        QCOMPARE(lines.last(), QString::fromUtf8("외 %1개 파일").arg(unusable - 10));
    const bool namesShownAsTheyAre = !missingName.contains('\n');
    if (missing > 0 && namesShownAsTheyAre)
        QCOMPARE(lines.at(5), shown(missingName.arg(0)) + noSuchFile);
    // A name of many lines shows as one, its newlines as "\n", its middle left out, its end kept.
    for (int i = 0; !namesShownAsTheyAre && i < missing; ++i) {
        const QString &line = lines.at(5 + i);
        QVERIFY2(line.contains(QChar(0x2026))
                     && line.contains(QString(20, QChar(u'가')) + "\\n\\n" + QString::number(i) + ".txt : "),
                 qPrintable(line));
    }
    if (unusable <= 10 && namesShownAsTheyAre) {
        QCOMPARE(details, QString());
    } else {
        QCOMPARE(details.count(QStringLiteral(" : ")), unusable);
        QVERIFY(details.startsWith(reasons.first() + '\n'));
        QVERIFY(details.contains(shown(missingName.arg(missing - 1)) + QStringLiteral(" : ")));
    }
    QVERIFY2(boxSize.width() <= 1024 && boxSize.height() <= 768,
             qPrintable(QStringLiteral("%1x%2").arg(boxSize.width()).arg(boxSize.height())));
    QCOMPARE(readAll(path("out.txt")), QByteArray("previous"));
}

void TestBinding::charactersTheCodePageLacksAreReported_data()
{
    QTest::addColumn<QString>("lacking");
    QTest::newRow("beyond the BMP") << QString::fromUtf8("😀 (U+1F600)");
    QTest::newRow("in the BMP") << QString::fromUtf8("é (U+00E9)");
}

void TestBinding::charactersTheCodePageLacksAreReported()
{
    QFETCH(QString, lacking);
    writeFile(path("a.txt"), (QString::fromUtf8("한글 ") + lacking.section(' ', 0, 0)).toUtf8());
    list({path("a.txt")});
    ModalScript script{pressButton(QMessageBox::Ok), saveAs(path("out.txt")), chooseEncoding("ANSI"),
                       acceptBox()};
    clickBind();
    QCOMPARE(script.seenTitles().last(), errorTitle);
    QCOMPARE(script.seen().last().text,
             QString::fromUtf8("ANSI 인코딩으로 표현할 수 없는 문자가 있어 파일을 만들지 않았습니다. "
                               "UTF-8을 선택해 다시 묶어 주세요.\n")
                 + lacking);
    QVERIFY(!QFile::exists(path("out.txt")));
}

void TestBinding::outputThatCannotBeWrittenIsNotReportedAsDone()
{
    writeFile(path("a.txt"), "a");
    list({path("a.txt")});
#ifdef Q_OS_WIN
    // Another program holds the file open and lets no one replace it, as some
    // editors and spreadsheets do.
    const QString output = path("out.txt");
    writeFile(output, "previous");
    const HANDLE holder = CreateFileW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(output).utf16()),
                                      GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    QVERIFY(holder != INVALID_HANDLE_VALUE);
    const auto release = qScopeGuard([holder] { CloseHandle(holder); });
    ModalScript script{pressButton(QMessageBox::Ok), saveAs(output), pressButton(QMessageBox::Yes),
                       chooseEncoding("UTF-8"), acceptBox()};
    const QString reason = QString::fromUtf8("저장할 이름으로 바꾸지 못함 (");
#else
    // Its owner made it read-only; even the administrator's join leaves it so.
    const QString output = path("out.txt");
    writeFile(output, "previous");
    QVERIFY(QFile::setPermissions(output, QFile::ReadOwner | QFile::ReadGroup));
    ModalScript script{pressButton(QMessageBox::Ok), saveAs(output), pressButton(QMessageBox::Yes),
                       chooseEncoding("UTF-8"), acceptBox()};
    const QString reason = QString::fromUtf8("읽기 전용 파일");
#endif
    clickBind();
    QCOMPARE(script.seenTitles().last(), errorTitle);
    // In the program's own words, and the system's reason in its own language.
    QVERIFY2(script.seen().last().text.startsWith(QString::fromUtf8("파일을 저장하지 못했습니다.\n")
                                                  + QDir::toNativeSeparators(output) + '\n' + reason),
             qPrintable(script.seen().last().text));
    QVERIFY(!script.seenTitles().contains(doneTitle));
    QCOMPARE(readAll(output), QByteArray("previous"));
}

#ifdef Q_OS_UNIX
// Renaming over a pipe or a device would replace it with a file.
void TestBinding::outputThatIsNoFileIsRefused()
{
    writeFile(path("a.txt"), "a");
    list({path("a.txt")});
    const QString output = path("fifo");
    QCOMPARE(::mkfifo(QFile::encodeName(output).constData(), 0600), 0);
    ModalScript script{pressButton(QMessageBox::Ok), saveAs(output), pressButton(QMessageBox::Yes),
                       chooseEncoding("UTF-8"), acceptBox()};
    clickBind();
    QCOMPARE(script.seenTitles().last(), errorTitle);
    QCOMPARE(script.seen().last().text, QString::fromUtf8("파일을 저장하지 못했습니다.\n") + output
                                            + QString::fromUtf8("\n일반 파일이 아님"));
    QVERIFY(QFileInfo::exists(output) && !QFileInfo(output).isFile());
}
#endif

namespace {

const QString progressTitle = QString::fromUtf8("진행 중");

// The progress dialog as the user meets it, checked before `act` is run on it.
ModalScript::Step onProgressDialog(std::function<void(QProgressDialog *)> act)
{
    return [act](QWidget *widget) {
        auto *dialog = qobject_cast<QProgressDialog *>(widget);
        QVERIFY(dialog);
        QCOMPARE(dialog->labelText(), QString::fromUtf8("파일을 묶는 중입니다..."));
        QCOMPARE(dialog->findChild<QPushButton *>()->text(), QString::fromUtf8("취소"));
        QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
        QVERIFY(!dialog->parentWidget());
        act(dialog);
    };
}

} // namespace

void TestBinding::aLongBindShowsProgressAndCanBeCancelled_data()
{
    QTest::addColumn<int>("how");
    QTest::addColumn<int>("heldAt"); // the progress call the join waits at
    QTest::newRow("cancel button") << 0 << 1;
    QTest::newRow("Escape") << 1 << 1;
    QTest::newRow("closing the dialog") << 2 << 1;
    // "alpha" read a byte at a time: the first four, then one, then the last question.
    QTest::newRow("cancel button after the last chunk") << 0 << 3;
    // Pressed once the join has gone on from its last question, before the commit.
    QTest::newRow("cancel button before the commit") << 3 << 3;
}

void TestBinding::aLongBindShowsProgressAndCanBeCancelled()
{
    QFETCH(int, how);
    QFETCH(int, heldAt);
    writeFile(path("a.txt"), "alpha");
    writeFile(path("out.txt"), "previous");
    list({path("a.txt")});
    // The join waits at one progress call until the test lets it go on.
    QSemaphore goOn;
    QSemaphore wentOn;
    m_window->joinOptions.chunkSize = 1;
    int calls = 0;
    m_window->joinOptions.progress = [&](qint64) {
        if (++calls != heldAt)
            return true;
        const bool held = goOn.tryAcquire(1, 10000);
        wentOn.release();
        return held;
    };
    ModalScript script{pressButton(QMessageBox::Ok), saveAs(path("out.txt")), pressButton(QMessageBox::Yes),
                       chooseEncoding("UTF-8"), onProgressDialog([&](QProgressDialog *dialog) {
                           QCOMPARE(dialog->maximum(), 1000);
                           if (how == 3) {
                               // By now the join asks whether to commit, or is about to.
                               goOn.release(100);
                               QVERIFY(wentOn.tryAcquire(1, 10000));
                               QThread::msleep(50);
                           }
                           if (how == 0 || how == 3)
                               dialog->findChild<QPushButton *>()->click();
                           else if (how == 1)
                               QTest::keyClick(dialog, Qt::Key_Escape);
                           else
                               dialog->close();
                           goOn.release(100);
                       }),
                       acceptBox()};
    clickBind();
    QCOMPARE(script.seenTitles().mid(4), (QStringList{progressTitle, cancelTitle}));
    // The join stops at once: the core is asked no more.
    QCOMPARE(calls, heldAt);
    QCOMPARE(script.seen().last().text, QString::fromUtf8("작업을 취소합니다.."));
    QCOMPARE(readAll(path("out.txt")), QByteArray("previous"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), (QStringList{"a.txt", "out.txt"}));
}

// Flushing the output and moving it into place cannot be undone half-way.
void TestBinding::theCommitCannotBeCancelled()
{
    writeFile(path("a.txt"), "alpha");
    list({path("a.txt")});
    QSemaphore goOn;
    m_window->joinOptions.committing = [&] { return goOn.tryAcquire(1, 10000); };
    ModalScript script{pressButton(QMessageBox::Ok), saveAs(path("out.txt")), chooseEncoding("UTF-8"),
                       onProgressDialog([&](QProgressDialog *dialog) {
                           QTRY_COMPARE(dialog->maximum(), 0);
                           QVERIFY(!dialog->findChild<QPushButton *>()->isEnabled());
                           QTest::keyClick(dialog, Qt::Key_Escape);
                           dialog->close();
                           QVERIFY(dialog->isVisible());
                           goOn.release();
                       }),
                       acceptBox()};
    clickBind();
    QCOMPARE(script.seenTitles().mid(3), (QStringList{progressTitle, doneTitle}));
    QCOMPARE(readAll(path("out.txt")), QByteArray("alpha"));
}

// Until the progress dialog shows, the window takes no input, as while a join
// used to block it: a click the window system delivers meanwhile does nothing,
// nor does a key of the list's handed to the window once the boxes are up.
void TestBinding::theWindowTakesNoInputBeforeTheProgressShows()
{
    writeFile(path("a.txt"), "alpha");
    list({path("a.txt"), path("a.txt")});
    QListWidget *files = m_window->ui.listWidget;
    files->setCurrentRow(0);
    QWindow *window = m_window->windowHandle();
    QWidget *clear = m_window->findChild<QPushButton *>("pushButton_3");
    const QPointF at = clear->mapTo(m_window, clear->rect().center());
    m_window->joinOptions.progress = [&, clicked = false](qint64) mutable {
        if (clicked)
            return true;
        clicked = true;
        // Queued as the window system queues a real click, from a thread of its own.
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
            QWindowSystemInterface::handleMouseEvent<QWindowSystemInterface::AsynchronousDelivery>(
                window, at, window->mapToGlobal(at), type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                Qt::LeftButton, type);
        // And an Enter, which must not answer the box that follows the bind unread.
        for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease})
            QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::AsynchronousDelivery>(
                window, type, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        // And Del typed into the list ahead of the boxes, the window active again as a
        // window manager makes it.
        QMetaObject::invokeMethod(files, [this, files] {
            m_window->activateWindow();
            files->setFocus();
        });
        for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease})
            QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::AsynchronousDelivery>(
                window, type, Qt::Key_Delete, Qt::NoModifier);
        // Rounds of the window's event loop, in which the click would be handled.
        for (int round = 0; round < 3; ++round)
            QMetaObject::invokeMethod(m_window, [] {}, Qt::BlockingQueuedConnection);
        return true;
    };
    ModalScript script{pressButton(QMessageBox::Ok), saveAs(path("out.txt")), chooseEncoding("UTF-8"),
                       acceptBox()};
    clickBind();
    QCOMPARE(script.seenTitles().last(), doneTitle);
    QCOMPARE(files->count(), 2);
    QCOMPARE(readAll(path("out.txt")), QByteArray("alphaalpha"));
}

QTEST_MAIN(TestBinding)
#include "test_binding.moc"
