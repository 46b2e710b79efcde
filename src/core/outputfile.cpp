// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "outputfile.h"

#include <QRandomGenerator>

namespace TextJoin {

namespace {

// ".sheafwright-" twelve letters or digits ".tmp": hidden where a leading dot
// hides, and 29 characters, well within every system's limit for a name.
const QLatin1String temporaryPrefix(".sheafwright-");
const QLatin1String temporarySuffix(".tmp");
constexpr int temporaryLetters = 12;
const char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";

} // namespace

QString OutputFile::temporaryName()
{
    QString name = temporaryPrefix;
    for (int i = 0; i < temporaryLetters; ++i)
        name += QLatin1Char(alphabet[QRandomGenerator::global()->bounded(int(sizeof alphabet - 1))]);
    return name + temporarySuffix;
}

bool OutputFile::isTemporaryName(const QString &name)
{
    if (name.size() != temporaryPrefix.size() + temporaryLetters + temporarySuffix.size()
        || !name.startsWith(temporaryPrefix) || !name.endsWith(temporarySuffix))
        return false;
    for (qsizetype i = temporaryPrefix.size(); i < temporaryPrefix.size() + temporaryLetters; ++i) {
        const char16_t c = name[i].unicode();
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

bool OutputFile::fail(Failure failure, const QString &reason)
{
    m_failure = failure;
    m_reason = reason;
    return false;
}

bool OutputFile::fail(Failure failure, int systemError)
{
    return fail(failure, systemError ? qt_error_string(systemError) : QString());
}

} // namespace TextJoin
