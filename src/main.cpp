// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "sheafwright.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Lets Wayland compositors and docks match the window to its desktop entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.sheafwright.Sheafwright"));
    // The window icon is read from this one place only; when it is missing the
    // window simply keeps the platform's default icon.
    QApplication::setWindowIcon(QIcon(QStringLiteral("D:/Qt_Project/Sheafwright/icon.ico")));

    Sheafwright window;
    window.show();
    return app.exec();
}
