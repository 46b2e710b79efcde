// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

// Joins files as the window does, for tests that need a join in a process of
// its own, to kill it part-way:
//
//   join_files [--slowly] OUTPUT INPUT...
//
// Prints "reading" once it has read its first chunk; exits 0 once the output
// is in place, 1 if the join failed. --slowly waits 20 ms after every chunk,
// so that the join is sure to be part-way when it is killed.

#include "joiner.h"

#include <QCoreApplication>
#include <QStringList>

#include <chrono>
#include <cstdio>
#include <thread>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool slowly = !args.isEmpty() && args.first() == QLatin1String("--slowly");
    if (slowly)
        args.removeFirst();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: join_files [--slowly] OUTPUT INPUT...\n");
        return 2;
    }
    TextJoin::JoinOptions options;
    bool told = false;
    options.progress = [&told, slowly](qint64) {
        if (!told) {
            std::printf("reading\n");
            std::fflush(stdout);
            told = true;
        }
        if (slowly)
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
