#ifndef HPDFOPERATION_H
#define HPDFOPERATION_H

#include <hpdf.h>

// Turns raw 8-bit pixel buffers into PDF pages, one page per call, each page
// as large as its picture. One libharu document per writer.
class hpdfoperation
{
public:
    hpdfoperation();
    ~hpdfoperation();
    hpdfoperation(const hpdfoperation &) = delete;
    hpdfoperation &operator=(const hpdfoperation &) = delete;

    // colorType 0: R,G,B bytes; anything else: one grey byte per pixel.
    // Returns 0, -4 (bad arguments), -6 (no document) or -12 (libharu error or
    // the file could not be written; the earlier file stays, the next call
    // starts a new document).
    int rgb2pdf(unsigned char *srcData, int srcDataWidth, int srcDataHeight, const char *destFile,
                int colorType, int nPage);

private:
    friend class TestPdfWriter;

    HPDF_Doc pdf;
};

#endif
