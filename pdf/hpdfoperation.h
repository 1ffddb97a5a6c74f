#ifndef HPDFOPERATION_H
#define HPDFOPERATION_H

#include "fileio/fileops.h"

#include <hpdf.h>

#include <string>

// Turns raw 8-bit pixel buffers into PDF pages, one page per call, each page
// as large as its picture. One libharu document per writer.
class hpdfoperation
{
public:
    hpdfoperation();
    // Writes through `ops` (tests make the disk fail); it must outlive the writer.
    explicit hpdfoperation(fileio::FileOps &ops);
    ~hpdfoperation();
    hpdfoperation(const hpdfoperation &) = delete;
    hpdfoperation &operator=(const hpdfoperation &) = delete;

    // colorType 0: R,G,B bytes; anything else: one grey byte per pixel.
    // Returns 0, -4 (bad arguments), -6 (no document) or -12 (libharu error or
    // the file could not be written completely). The file under destFile is
    // only ever replaced by a completely written document, so after -12 it
    // still holds the pages of the last successful call. A writer that
    // returned -12 refuses every later page with -12: a new document written
    // over the same file would throw away the pages already there.
    int rgb2pdf(unsigned char *srcData, int srcDataWidth, int srcDataHeight, const char *destFile,
                int colorType, int nPage);

    // From now on the document never replaces a file it did not write: the
    // first page goes to a new file (a taken stamped name moves on to the next
    // free stamp) and later pages replace that file only, whatever destFile
    // they name.
    void setNewFile(bool on) { m_newFile = on; }
    // The file the last successful call wrote; empty before one.
    const std::string &writtenPath() const { return m_writtenPath; }

    // Why the last -6/-12 happened (English, for trace lines), and the errno
    // of the failed system call, 0 when none failed.
    const std::string &lastError() const { return m_error; }
    int lastErrno() const { return m_errno; }
    // Whether a libharu document is held: none before the first page is
    // added, and none after a failure released it.
    bool holdsDocument() const { return pdf != nullptr; }

private:
    int failed(const std::string &why, int err);

    HPDF_Doc pdf;
    fileio::FileOps *m_ops;
    bool m_refused = false;
    bool m_newFile = false;
    std::string m_writtenPath;
    std::string m_error;
    int m_errno = 0;
};

#endif
