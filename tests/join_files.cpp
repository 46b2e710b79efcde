// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

// Joins files as the window does, for tests that need a join in a process of
// its own, to kill it part-way:
//
//   join_files [--killed-after MS] OUTPUT INPUT...
//
// Exits 0 once the output is in place, 1 if the join failed. With --killed-after,
// the join goes slowly (20 ms after every chunk) and the process is killed, as
// SIGKILL or the Task Manager kills it, MS milliseconds after its first chunk.

#include "joiner.h"

#include <QCoreApplication>
#include <QStringList>

#include <chrono>
#include <cstdio>
#include <thread>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#else
#include <csignal>
#include <unistd.h>
#endif

namespace {

[[noreturn]] void killThisProcess()
{
#ifdef Q_OS_WIN
    TerminateProcess(GetCurrentProcess(), 9);
#else
    ::kill(::getpid(), SIGKILL);
#endif
    for (;;)
        std::this_thread::sleep_for(std::chrono::seconds(1));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int killedAfter = -1;
    if (args.size() > 1 && args.first() == QLatin1String("--killed-after")) {
        killedAfter = args[1].toInt();
        args = args.mid(2);
    }
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: join_files [--killed-after MS] OUTPUT INPUT...\n");
        return 2;
    }
    TextJoin::JoinOptions options;
    bool started = false;
    options.progress = [&started, killedAfter](qint64) {
        if (killedAfter < 0)
            return true;
        if (!started) {
            std::thread([killedAfter] {
                std::this_thread::sleep_for(std::chrono::milliseconds(killedAfter));
                killThisProcess();
            }).detach();
            started = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return true;
    };
    const TextJoin::JoinResult result =
        TextJoin::joinFiles(args.mid(1), args.first(), TextJoin::OutputEncoding::Utf8, options);
    if (!result.ok()) {
        std::fprintf(stderr, "join_files: the join failed (status %d) %s\n", int(result.status),
                     qPrintable(result.outputError));
        for (const TextJoin::InputFault &fault : result.inputFaults)
            std::fprintf(stderr, "  %s: fault %d %s\n", qPrintable(fault.path), int(fault.kind),
                         qPrintable(fault.detail));
        return 1;
    }
    return 0;
}
