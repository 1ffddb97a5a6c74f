// A PDF written front to back into one new file, a page at a time, each page
// as large as its picture (one point per pixel) with the picture over the
// whole page, as the libharu writer lays pages out. A JPEG page carries the
// JPEG's own bytes; nothing but the page being added is held in memory, so
// long documents cost time and memory in proportion to their pages only.
// A page given its recognised text carries it as an invisible layer (see
// TextLayer); the font it needs is written once, with the first such page.
// The file appears under its name when finish() succeeds, never before, and
// never in place of an existing file.
#ifndef STREAMEDPDF_H
#define STREAMEDPDF_H

#include "fileio/atomicfile.h"
#include "pdf/jpegheader.h"
#include "pdf/pagetext.h"
#include "pdf/textlayer.h"

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
    // `header` must be embeddable and describe `jpeg`. `text`, when it has
    // words, is laid invisibly over the picture; without it the page's bytes
    // are those of a page without text.
    bool addJpegPage(const unsigned char *jpeg, size_t size, const JpegHeader &header,
                     const PageText *text = nullptr);
    // R,G,B rows back to back.
    bool addRgbPage(const unsigned char *rgb, int width, int height, const PageText *text = nullptr);
    // Writes the page tree and the cross-reference table and gives the file
    // its name: a taken stamped name moves on to the next free stamp.
    bool finish();
    // Writes the rest, syncs and closes, and keeps the bytes in
    // temporaryPath() (".NAME.XXXXXX" beside the final name); nothing is
    // renamed. The caller renames or removes it.
    bool finishAsTemporary();
    const std::string &temporaryPath() const { return m_file.tempPath(); }

    int pageCount() const { return int(m_pageObjects.size()); }
    const std::string &writtenPath() const { return m_file.finalPath(); }
    const std::string &error() const { return m_error; }
    int errorNumber() const { return m_errno; }

private:
    bool addPage(const std::string &imageDictionary, const unsigned char *pixels, size_t size, int width,
                 int height, const PageText *text);
    // The font objects, written with the first page that has text.
    void writeFont();
    bool writeTrailer();
    // Writes the trailer, then `close` gives the file its place.
    bool finishWith(bool (fileio::AtomicFile::*close)());
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
    TextLayer m_textLayer;
    int m_font = 0;      // the Type0 font object, 0 until a page has text
    int m_toUnicode = 0; // reserved; written last, when every character is known
    std::string m_error;
    int m_errno = 0;
};

#endif
