// The page loop of "merge into PDF", kept apart from the window so that it can
// be run and measured without one.
#ifndef PAGEMERGE_H
#define PAGEMERGE_H

#include <QString>
#include <QStringList>

// Adds one page to pdfPath for every entry ending in "jpg" (case-sensitive),
// in list order, through one writer; other entries are passed over. The first
// JPEG that cannot be read or decoded ends the loop: the file keeps the pages
// written before it. Prints one "jpgPath is" line per entry and one decode
// line per JPEG. Returns the number of pages added.
int mergeJpegPages(const QStringList &entries, const QString &pdfPath);

#endif
