// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#pragma once

// Drives the modal dialogs that a slot opens: each time a new modal widget
// becomes active, the next step of the script is run on it. Every widget seen is
// recorded, so a test can assert which dialogs appeared, in which order. A dialog
// the script has no step for fails the test, and is closed so that the test ends.

#include <QApplication>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <deque>
#include <functional>

struct SeenDialog
{
    QString className;
    QString title;
    QString text;
};

class ModalScript : public QObject
{
public:
    using Step = std::function<void(QWidget *)>;

    explicit ModalScript(std::initializer_list<Step> steps = {})
        : m_steps(steps)
    {
        ++liveScripts();
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, &ModalScript::poll);
        m_timer.start();
    }

    ~ModalScript() override
    {
        --liveScripts();
        m_timer.stop();
        // A dialog left open would block the next test forever.
        if (QWidget *open = QApplication::activeModalWidget())
            open->close();
    }

    void then(Step step) { m_steps.push_back(std::move(step)); }
    // For a bind that may or may not take long enough to show its progress
    // dialog: the dialog, if it shows, is left alone and not recorded.
    void passOverProgress() { m_passOverProgress = true; }

    const QList<SeenDialog> &seen() const { return m_seen; }
    QStringList seenTitles() const
    {
        QStringList titles;
        for (const SeenDialog &dialog : m_seen)
            titles << dialog.title;
        return titles;
    }
    bool finished() const { return m_steps.empty(); }

    static int &liveScripts()
    {
        static int count = 0;
        return count;
    }

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || modal->property("scriptHandled").toBool())
            return;
        if (m_passOverProgress && qobject_cast<QProgressDialog *>(modal))
            return;
        modal->setProperty("scriptHandled", true);
        SeenDialog seen{QString::fromLatin1(modal->metaObject()->className()), modal->windowTitle(), {}};
        if (auto *box = qobject_cast<QMessageBox *>(modal))
            seen.text = box->text();
        m_seen << seen;
        if (m_steps.empty()) {
            QTest::qFail(qPrintable(QStringLiteral("unexpected dialog \"%1\": %2").arg(seen.title, seen.text)),
                         __FILE__, __LINE__);
            modal->close();
            return;
        }
        // Run the step outside this timer's handler: Qt does not re-enter a timer,
        // so a dialog that the step itself opens would otherwise never be seen.
        QTimer::singleShot(0, this, [target = QPointer<QWidget>(modal), step = std::move(m_steps.front())] {
            if (!target)
                return;
            step(target);
            // A step that failed a check before answering must not leave the dialog blocking.
            if (target && target->isVisible())
                target->close();
        });
        m_steps.pop_front();
    }

    std::deque<Step> m_steps;
    QList<SeenDialog> m_seen;
    bool m_passOverProgress = false;
    QTimer m_timer;
};

// Common steps.
inline ModalScript::Step pressButton(QMessageBox::StandardButton which)
{
    return [which](QWidget *widget) {
        auto *box = qobject_cast<QMessageBox *>(widget);
        if (box && box->button(which))
            box->button(which)->click();
        else
            widget->close();
    };
}

inline ModalScript::Step acceptBox()
{
    return [](QWidget *widget) {
        if (auto *box = qobject_cast<QMessageBox *>(widget)) {
            if (QAbstractButton *button = box->buttons().value(0)) {
                button->click();
                return;
            }
        }
        widget->close();
    };
}

// For the stretches of a test that run no script: any modal dialog that appears
// then fails the test and is closed, instead of waiting for a click that never comes.
class UnexpectedDialogGuard : public QObject
{
public:
    UnexpectedDialogGuard()
    {
        m_timer.setInterval(20);
        connect(&m_timer, &QTimer::timeout, this, [] {
            QWidget *modal = QApplication::activeModalWidget();
            if (ModalScript::liveScripts() > 0 || !modal || !modal->isVisible()
                || modal->property("scriptHandled").toBool())
                return;
            QTest::qFail(qPrintable(QStringLiteral("unexpected dialog \"%1\"").arg(modal->windowTitle())), __FILE__,
                         __LINE__);
            modal->close();
        });
        m_timer.start();
    }

private:
    QTimer m_timer;
};
