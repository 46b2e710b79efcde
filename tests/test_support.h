// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#pragma once

// Helpers shared by the tests of the joining core and of the window.

#include <QByteArray>
#include <QFile>
#include <QTextCodec>

#include "legacycodepage.h"

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// CP949 as the program converts it here (on Windows, Windows' own).
inline QTextCodec *cp949Codec()
{
    return TextJoin::LegacyCodePage::cp949();
}

// Makes the process believe it runs on a system with the given legacy code page
// (CP949 stands for Korean Windows), for as long as it lives.
class SystemCodec
{
public:
    explicit SystemCodec(const QByteArray &name)
        : m_saved(QTextCodec::codecForLocale())
    {
        QTextCodec::setCodecForLocale(name == "CP949" ? cp949Codec() : QTextCodec::codecForName(name));
    }
    ~SystemCodec() { QTextCodec::setCodecForLocale(m_saved); }

    SystemCodec(const SystemCodec &) = delete;
    SystemCodec &operator=(const SystemCodec &) = delete;

private:
    QTextCodec *m_saved;
};
