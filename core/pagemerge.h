// The page loop of "merge into PDF", kept apart from the window so that it can
// be run and measured without one.
#ifndef PAGEMERGE_H
#define PAGEMERGE_H

#include "core/storedpages.h"
#include "fileio/fileops.h"
#include "pdf/pagetext.h"

#include <QList>
#include <QString>

#include <functional>

struct MergeResult
{
    int pagesWanted = 0;  // pages whose page image is a JPEG
    int pagesWritten = 0; // pages the file on disk holds, the first ones, in order
    QString stopEntry;    // the entry the merge stopped at; empty when it did not stop
    QString reason;       // Chinese, why it stopped

    bool stoppedEarly() const { return pagesWritten < pagesWanted; }
    // The error box text; empty when every page was written.
    QString message(const QString &pdfPath) const;
};

// Adds the page image of every page the scan recorded as a JPEG page to
// pdfPath, in list order, through one writer; other pages are passed over,
// whatever their names. The first JPEG that cannot be read or decoded, or
// whose page cannot be written, ends the loop: the file keeps the pages
// written before it, in order. Prints one "jpgPath is" line per page and one
// decode line per JPEG.
// The file is new: an existing file is never replaced, a taken stamped name
// moves on to the next free stamp, and `writtenPath` receives the name used.
MergeResult mergeJpegPages(const QList<StoredPages::Page> &pages, const QString &pdfPath,
                           fileio::FileOps &ops = fileio::FileOps::system(), QString *writtenPath = nullptr);

// The same pages, each carrying its JPEG's own bytes (a page that cannot be
// embedded as it is carries its decoded pixels). The document is written
// once, front to back, and gets its name only when complete: a page that
// cannot be read, or a failed write, leaves no file at all.
MergeResult mergeJpegPagesAsIs(const QList<StoredPages::Page> &pages, const QString &pdfPath,
                               fileio::FileOps &ops = fileio::FileOps::system(), QString *writtenPath = nullptr);

// As mergeJpegPagesAsIs, with each page's text from `textOf` (nullptr: none
// for that page) laid invisibly over it; `jpegPages` false: each page carries
// its decoded pixels, as the raw format does.
MergeResult mergePagesWithText(const QList<StoredPages::Page> &pages, const QString &pdfPath,
                               const std::function<const PageText *(const StoredPages::Page &)> &textOf,
                               bool jpegPages, fileio::FileOps &ops = fileio::FileOps::system(),
                               QString *writtenPath = nullptr);

#endif
