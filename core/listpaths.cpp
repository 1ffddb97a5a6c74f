#include "core/listpaths.h"

#include <algorithm>

bool removeListEntry(QStringList &shownPaths, QStringList &pagePaths, int row)
{
    if (row < 0 || row >= shownPaths.size() || row >= pagePaths.size())
        return false;
    shownPaths.removeAt(row);
    pagePaths.removeAt(row);
    return true;
}

QList<int> removeListEntries(QStringList &shownPaths, QStringList &pagePaths, QList<int> rows)
{
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QList<int> removed;
    for (const int row : qAsConst(rows)) {
        if (removeListEntry(shownPaths, pagePaths, row))
            removed.append(row);
    }
    return removed;
}
