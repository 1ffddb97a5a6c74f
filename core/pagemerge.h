// The page loop of "merge into PDF", kept apart from the window so that it can
// be run and measured without one.
#ifndef PAGEMERGE_H
#define PAGEMERGE_H

#include "fileio/fileops.h"

#include <QString>
#include <QStringList>

struct MergeResult
{
    int pagesWanted = 0;  // entries ending in "jpg"
    int pagesWritten = 0; // pages the file on disk holds, the first ones, in order
    QString stopEntry;    // the entry the merge stopped at; empty when it did not stop
    QString reason;       // Chinese, why it stopped

    bool stoppedEarly() const { return pagesWritten < pagesWanted; }
    // The error box text; empty when every page was written.
    QString message(const QString &pdfPath) const;
};

// Adds one page to pdfPath for every entry ending in "jpg" (case-sensitive),
// in list order, through one writer; other entries are passed over. The first
// JPEG that cannot be read or decoded, or whose page cannot be written, ends
// the loop: the file keeps the pages written before it, in order. Prints one
// "jpgPath is" line per entry and one decode line per JPEG.
MergeResult mergeJpegPages(const QStringList &entries, const QString &pdfPath,
                           fileio::FileOps &ops = fileio::FileOps::system());

#endif
