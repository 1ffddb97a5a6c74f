// A PDF written front to back into one new file, a page at a time, each page
// as large as its picture (one point per pixel) with the picture over the
// whole page, as the libharu writer lays pages out. A JPEG page carries the
// JPEG's own bytes; nothing but the page being added is held in memory, so
// long documents cost time and memory in proportion to their pages only.
// The file appears under its name when finish() succeeds, never before, and
// never in place of an existing file.
#ifndef STREAMEDPDF_H
#define STREAMEDPDF_H

#include "fileio/atomicfile.h"
#include "pdf/jpegheader.h"

#include <string>
#include <vector>

class StreamedPdf
{
public:
    explicit StreamedPdf(const std::string &path, fileio::FileOps &ops = fileio::FileOps::system());
    StreamedPdf(const StreamedPdf &) = delete;
    StreamedPdf &operator=(const StreamedPdf &) = delete;

    // Each returns false once any step failed; see error().
    bool open();
    // `header` must be embeddable and describe `jpeg`.
    bool addJpegPage(const unsigned char *jpeg, size_t size, const JpegHeader &header);
    // R,G,B rows back to back.
    bool addRgbPage(const unsigned char *rgb, int width, int height);
    // Writes the page tree and the cross-reference table and gives the file
    // its name: a taken stamped name moves on to the next free stamp.
    bool finish();

    int pageCount() const { return int(m_pageObjects.size()); }
    const std::string &writtenPath() const { return m_file.finalPath(); }
    const std::string &error() const { return m_error; }
    int errorNumber() const { return m_errno; }

private:
    bool addPage(const std::string &imageDictionary, const unsigned char *pixels, size_t size, int width,
                 int height);
    int beginObject();
    bool put(const std::string &text);
    bool putBytes(const void *data, size_t size);
    bool fail(const std::string &why, int err);

    fileio::AtomicFile m_file;
    bool m_open = false;
    bool m_failed = false;
    size_t m_offset = 0;
    std::vector<size_t> m_objectOffsets; // object n at index n - 1
    std::vector<int> m_pageObjects;
    std::string m_error;
    int m_errno = 0;
};

#endif
