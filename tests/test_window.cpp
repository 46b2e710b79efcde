// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "sheafwright.h"

#include <QListWidget>
#include <QMetaMethod>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

namespace {

const QStringList formWidgetNames = {
    "pushButton",   "pushButton_Delete", "listWidget",     "pushButton_2", "pushButton_Up",
    "pushButton_Down", "pushButton_Top", "pushButton_End", "pushButton_3",
};

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void widgetsAreCreatedInFormOrder();
    void geometry_data();
    void geometry();
    void palette_data();
    void palette();
    void rolesOutsideTheTableKeepTheDefaultPalette();
    void texts_data();
    void texts();
    void loadButtonHasAnEmptyToolTip();
    void formNamesAnUnnamedWindowOnly();
    void windowHasAFixedSize();
    void startsWithAnEmptyListAndNoSelectedRow();
    void metaObjectOffersTheNineSlotsInOrder();
    void metaCastRecognisesTheClassName();
};

void TestWindow::widgetsAreCreatedInFormOrder()
{
    Sheafwright window;
    QStringList names;
    for (QObject *child : window.children())
        names << child->objectName();
    QCOMPARE(names, formWidgetNames);

    // Without a layout or explicit tab order, focus follows creation order.
    QStringList focusOrder;
    QWidget *widget = window.findChild<QWidget *>("pushButton");
    for (int i = 0; i < formWidgetNames.size(); ++i) {
        focusOrder << widget->objectName();
        widget = widget->nextInFocusChain();
        while (widget->parentWidget() != &window && widget != &window)
            widget = widget->nextInFocusChain();
    }
    QCOMPARE(focusOrder, formWidgetNames);
}

void TestWindow::geometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");
    QTest::newRow("load") << "pushButton" << QRect(50, 240, 91, 31);
    QTest::newRow("delete") << "pushButton_Delete" << QRect(440, 20, 31, 21);
    QTest::newRow("list") << "listWidget" << QRect(30, 20, 401, 201);
    QTest::newRow("bind") << "pushButton_2" << QRect(180, 240, 111, 31);
    QTest::newRow("up") << "pushButton_Up" << QRect(440, 80, 31, 20);
    QTest::newRow("down") << "pushButton_Down" << QRect(440, 110, 31, 20);
    QTest::newRow("top") << "pushButton_Top" << QRect(440, 50, 31, 21);
    QTest::newRow("end") << "pushButton_End" << QRect(440, 140, 31, 23);
    QTest::newRow("clear") << "pushButton_3" << QRect(330, 240, 81, 31);
}

void TestWindow::geometry()
{
    QFETCH(QString, name);
    QFETCH(QRect, rect);
    Sheafwright window;
    auto *widget = window.findChild<QWidget *>(name);
    QVERIFY(widget);
    QCOMPARE(widget->geometry(), rect);
}

void TestWindow::palette_data()
{
    QTest::addColumn<QPalette::ColorRole>("role");
    QTest::addColumn<QColor>("enabled");
    QTest::addColumn<QColor>("disabled");
    const QColor black(0, 0, 0), white(255, 255, 255), grey(127, 127, 127), mid(170, 170, 170),
        tipBase(255, 255, 220);
    QTest::newRow("WindowText") << QPalette::WindowText << black << grey;
    QTest::newRow("Button") << QPalette::Button << white << white;
    QTest::newRow("Light") << QPalette::Light << white << white;
    QTest::newRow("Midlight") << QPalette::Midlight << white << white;
    QTest::newRow("Dark") << QPalette::Dark << grey << grey;
    QTest::newRow("Mid") << QPalette::Mid << mid << mid;
    QTest::newRow("Text") << QPalette::Text << black << grey;
    QTest::newRow("BrightText") << QPalette::BrightText << white << white;
    QTest::newRow("ButtonText") << QPalette::ButtonText << black << grey;
    QTest::newRow("Base") << QPalette::Base << white << white;
    QTest::newRow("Window") << QPalette::Window << white << white;
    QTest::newRow("Shadow") << QPalette::Shadow << black << black;
    QTest::newRow("AlternateBase") << QPalette::AlternateBase << white << white;
    QTest::newRow("ToolTipBase") << QPalette::ToolTipBase << tipBase << tipBase;
    QTest::newRow("ToolTipText") << QPalette::ToolTipText << black << black;
}

void TestWindow::palette()
{
    QFETCH(QPalette::ColorRole, role);
    QFETCH(QColor, enabled);
    QFETCH(QColor, disabled);
    Sheafwright window;
    const QPalette palette = window.palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        QCOMPARE(palette.brush(group, role).style(), Qt::SolidPattern);
        QCOMPARE(palette.color(group, role), enabled);
    }
    QCOMPARE(palette.brush(QPalette::Disabled, role).style(), Qt::SolidPattern);
    QCOMPARE(palette.color(QPalette::Disabled, role), disabled);
    // Children inherit the window's palette.
    QCOMPARE(window.findChild<QListWidget *>("listWidget")->palette().color(QPalette::Active, role),
             enabled);
}

void TestWindow::rolesOutsideTheTableKeepTheDefaultPalette()
{
    Sheafwright window;
    const QPalette defaults;
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        for (auto role : {QPalette::Highlight, QPalette::HighlightedText, QPalette::Link,
                          QPalette::LinkVisited})
            QCOMPARE(window.palette().brush(group, role), defaults.brush(group, role));
    }
}

void TestWindow::texts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("load") << "pushButton" << QString::fromUtf8("파일로드");
    QTest::newRow("delete") << "pushButton_Delete" << QString::fromUtf8("삭제");
    QTest::newRow("bind") << "pushButton_2" << QString::fromUtf8("텍스트 파일 묶기");
    QTest::newRow("up") << "pushButton_Up" << QString(QChar(0x2191));
    QTest::newRow("down") << "pushButton_Down" << QString(QChar(0x2193));
    QTest::newRow("top") << "pushButton_Top" << QString::fromUtf8("처음");
    QTest::newRow("end") << "pushButton_End" << QString::fromUtf8("끝");
    QTest::newRow("clear") << "pushButton_3" << QString::fromUtf8("리스트 삭제");
}

void TestWindow::texts()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    Sheafwright window;
    QCOMPARE(window.windowTitle(), QString::fromUtf8("텍스트파일 통합프로그램"));
    QCOMPARE(window.findChild<QPushButton *>(name)->text(), text);
}

void TestWindow::loadButtonHasAnEmptyToolTip()
{
    Sheafwright window;
    QVERIFY(window.findChild<QPushButton *>("pushButton")->toolTip().isEmpty());
}

void TestWindow::formNamesAnUnnamedWindowOnly()
{
    Sheafwright unnamed;
    QCOMPARE(unnamed.objectName(), QString("MirlanClassClass"));

    // A plain widget has none of the window's slots, so the form's connections warn.
    QWidget named;
    named.setObjectName("alreadyNamed");
    for (int i = 0; i < 9; ++i)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("No such slot QWidget::"));
    Ui::MirlanClassClass form;
    form.setupUi(&named);
    QCOMPARE(named.objectName(), QString("alreadyNamed"));
    QCOMPARE(named.size(), QSize(482, 282));
}

void TestWindow::windowHasAFixedSize()
{
    Sheafwright window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.size(), QSize(482, 282));
    QCOMPARE(window.minimumSize(), QSize(482, 282));
    QCOMPARE(window.maximumSize(), QSize(482, 282));
    window.resize(800, 600);
    QCOMPARE(window.size(), QSize(482, 282));
}

void TestWindow::startsWithAnEmptyListAndNoSelectedRow()
{
    Sheafwright window;
    QCOMPARE(window.selectedRow, -1);
    QCOMPARE(window.ui.listWidget->count(), 0);
    QVERIFY(window.isWindow());
}

void TestWindow::metaObjectOffersTheNineSlotsInOrder()
{
    const QMetaObject &meta = Sheafwright::staticMetaObject;
    QCOMPARE(meta.className(), "Sheafwright");
    QCOMPARE(meta.superClass(), &QWidget::staticMetaObject);
    QCOMPARE(meta.propertyCount(), meta.propertyOffset());
    QCOMPARE(meta.enumeratorCount(), meta.enumeratorOffset());
    QCOMPARE(meta.classInfoCount(), 0);

    const QByteArrayList expected = {
        "loadFile()",      "bindAll()",      "deleteContent()",
        "getIndex(QModelIndex)", "contentUp()", "contentDown()",
        "contentMoveTop()", "contentMoveEnd()", "clearList()",
    };
    QCOMPARE(meta.methodCount() - meta.methodOffset(), int(expected.size()));
    for (int i = 0; i < expected.size(); ++i) {
        const QMetaMethod method = meta.method(meta.methodOffset() + i);
        QCOMPARE(method.methodSignature(), expected.at(i));
        QCOMPARE(method.methodType(), QMetaMethod::Slot);
        QCOMPARE(method.access(), QMetaMethod::Public);
        QCOMPARE(method.returnType(), int(QMetaType::Void));
    }
    const QMetaMethod getIndex = meta.method(meta.indexOfSlot("getIndex(QModelIndex)"));
    QCOMPARE(getIndex.parameterNames(), QByteArrayList{"index"});
}

void TestWindow::metaCastRecognisesTheClassName()
{
    Sheafwright window;
    QCOMPARE(window.qt_metacast("Sheafwright"), static_cast<void *>(&window));
    QCOMPARE(window.qt_metacast(nullptr), nullptr);
    QVERIFY(window.qt_metacast("QWidget"));
    QCOMPARE(window.qt_metacast("QListWidget"), nullptr);
    QCOMPARE(window.metaObject(), &Sheafwright::staticMetaObject);
}

QTEST_MAIN(TestWindow)
#include "test_window.moc"
