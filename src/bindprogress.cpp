// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "bindprogress.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QKeyEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <future>
#include <thread>

namespace {

// Once the output is being committed there is no going back: the progress
// dialog is not to be closed then, neither by Escape nor by its close button.
class CommitGuard : public QObject
{
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Close) {
            event->ignore();
            return true;
        }
        const bool key = event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride;
        if (!key || static_cast<QKeyEvent *>(event)->key() != Qt::Key_Escape)
            return false;
        // Claimed as an override, Escape no longer reaches the dialog's own cancel shortcut.
        event->accept();
        return true;
    }
};

qint64 totalSize(const QStringList &inputs)
{
    qint64 total = 0;
    for (const QString &input : inputs)
        total += QFileInfo(input).size();
    return total;
}

// Shown after half a second; the cancel button, its Escape shortcut and closing
// the dialog all cancel, and so does Escape reaching the dialog itself, which rejects it.
void setUpDialog(QProgressDialog &dialog, std::atomic<bool> &cancelRequested)
{
    dialog.setWindowTitle(QString::fromUtf8("진행 중"));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setAutoReset(false);
    dialog.setAutoClose(false);
    dialog.setMinimumDuration(500);
    dialog.setValue(0); // starts the half second
    QObject::connect(&dialog, &QProgressDialog::canceled, [&] { cancelRequested = true; });
    QObject::connect(&dialog, &QDialog::rejected, [&] { cancelRequested = true; });
}

// From the commit on, "취소" is disabled and the dialog cannot be closed.
void holdForCommit(QProgressDialog &dialog, CommitGuard &guard)
{
    dialog.installEventFilter(&guard);
    dialog.setRange(0, 0);
    if (auto *cancel = dialog.findChild<QPushButton *>())
        cancel->setEnabled(false);
}

} // namespace

TextJoin::JoinResult joinWithProgress(const QStringList &inputs, const QString &outputPath,
                                      TextJoin::OutputEncoding encoding, const TextJoin::JoinOptions &base)
{
    const qint64 total = totalSize(inputs);
    std::atomic<qint64> read{0};
    std::atomic<bool> cancelRequested{false};
    std::atomic<bool> commitAsked{false};
    std::atomic<bool> done{false};
    bool committing = false;

    QProgressDialog dialog(QString::fromUtf8("파일을 묶는 중입니다..."), QString::fromUtf8("취소"), 0, 1000);
    setUpDialog(dialog, cancelRequested);
    CommitGuard commitGuard;
    QEventLoop loop;

    TextJoin::JoinOptions options = base;
    options.progress = [&, outer = base.progress](qint64 bytes) {
        read = bytes;
        return (!outer || outer(bytes)) && !cancelRequested;
    };
    // Before the output is committed, the GUI thread disables "취소" and only then
    // tells the join whether it was pressed, so that a press the user saw take
    // effect is never overtaken by the commit. The answer goes through the
    // standard library, whose hand-over ThreadSanitizer can see.
    std::promise<bool> commitAnswer;
    std::future<bool> commitAllowed = commitAnswer.get_future();
    options.committing = [&, outer = base.committing] {
        commitAsked = true;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        return commitAllowed.get() && (!outer || outer());
    };
    const auto answerCommit = [&] {
        committing = true;
        holdForCommit(dialog, commitGuard);
        commitAnswer.set_value(!cancelRequested);
    };

    bool dialogWasUp = false;
    QTimer tick;
    tick.setInterval(50);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (!committing && total > 0) {
            // Never back, never past the end, even for an input read twice or growing meanwhile.
            const int value = int(std::min<qint64>(1000, read * 1000 / total));
            if (value > dialog.value())
                dialog.setValue(value);
        }
        if (dialog.isVisible() != dialogWasUp)
            loop.quit();
    });
    tick.start();

    TextJoin::JoinResult result;
    std::thread worker([&] {
        result = TextJoin::joinFiles(inputs, outputPath, encoding, options);
        done = true;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    while (!done) {
        dialogWasUp = dialog.isVisible();
        loop.exec(dialogWasUp ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
        if (commitAsked && !committing)
            answerCommit();
    }
    worker.join();
    return result;
}

