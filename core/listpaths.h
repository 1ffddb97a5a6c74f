#ifndef LISTPATHS_H
#define LISTPATHS_H

#include <QList>
#include <QStringList>

// The stored-files list keeps two path lists parallel to its rows: the file
// shown and opened for row i, and the page image behind row i (for a one-page
// PDF capture that is its intermediate JPEG, which a merge takes).

// Removes entry `row` from both lists, leaving every other entry where it was.
// Returns false (and changes nothing) when `row` is not an entry of both lists.
bool removeListEntry(QStringList &shownPaths, QStringList &pagePaths, int row);

// Removes the given rows from both lists; duplicates and rows outside either
// list are skipped. Returns the rows removed, highest first, the order in which
// the caller removes them from its model so that lower rows keep their numbers.
QList<int> removeListEntries(QStringList &shownPaths, QStringList &pagePaths, QList<int> rows);

#endif
