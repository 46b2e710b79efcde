// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "nameorder.h"

#include <QCollator>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <numeric>

namespace {

QCollator nameCollator()
{
    QCollator collator(QLocale(QLocale::Korean, QLocale::SouthKorea));
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

// A file as sorting by name sees it.
struct NamedPath
{
    explicit NamedPath(const QString &path)
        : path(path)
        , name(QFileInfo(path).fileName())
    {
    }

    QString path;
    QString name;
};

// Whether, sorted by name, one file goes before another.
class GoesBeforeByName
{
public:
    bool operator()(const NamedPath &a, const NamedPath &b) const
    {
        if (const int byName = m_collator.compare(a.name, b.name))
            return byName < 0;
        if (const int byPath = m_collator.compare(a.path, b.path))
            return byPath < 0;
        // Names the collator takes for equal ("a" and "A", "1" and "01") still
        // go in one order, whatever order the folder gave them in.
        return a.path < b.path;
    }

private:
    QCollator m_collator = nameCollator();
};

} // namespace

// The order in which the paths go when sorted by name, as indices into them.
std::vector<qsizetype> nameOrder(const QStringList &paths)
{
    const std::vector<NamedPath> files(paths.cbegin(), paths.cend());
    const GoesBeforeByName goesBefore;
    std::vector<qsizetype> order(files.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](qsizetype a, qsizetype b) { return goesBefore(files[a], files[b]); });
    return order;
}

QStringList sortedByName(const QStringList &paths)
{
    QStringList sorted;
    sorted.reserve(paths.size());
    for (const qsizetype index : nameOrder(paths))
        sorted << paths[index];
    return sorted;
}

bool isSortedByName(const QStringList &paths)
{
    const GoesBeforeByName goesBefore;
    if (paths.isEmpty())
        return true;
    NamedPath above(paths.first());
    for (qsizetype row = 1; row < paths.size(); ++row) {
        NamedPath file(paths[row]);
        if (goesBefore(file, above))
            return false;
        above = std::move(file);
    }
    return true;
}
