// Where the page images of PDF scans wait for a merge: a folder in the
// user's cache that only the user may enter, never the shared /tmp. The
// images are scans of ID cards and bank slips.
#ifndef PAGEFOLDER_H
#define PAGEFOLDER_H

#include <QString>
#include <QStringList>

namespace pagefolder {

// The cache folder's "quillo/pages" ($XDG_CACHE_HOME or ~/.cache).
QString path();

// Makes the folder (0700), tightens a looser mode, and refuses a folder that
// is a symlink, not a folder or not the user's. False with `reason` (English,
// for trace lines) when the folder cannot be used.
bool prepare(QString *reason = nullptr);

// Removes every page image in the folder: what a run that did not end
// (a crash, a kill) left behind. Only this user's one instance uses it.
// Returns the names removed.
QStringList clear();

// Removes one page image, only when it lies in the folder.
void removePage(const QString &pagePath);

} // namespace pagefolder

#endif
