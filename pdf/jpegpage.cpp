#include "pdf/jpegpage.h"

#include "pdf/decodedjpeg.h"
#include "pdf/jpegheader.h"
#include "pdf/streamedpdf.h"

#include <QDebug>

#include <cstdio>
#include <limits>

namespace jpegpage {
namespace {

// Null, after the decode trace line, when `jpeg` cannot be decoded or is too large a page.
DecodedJpeg decode(const QByteArray &jpeg)
{
    DecodedJpeg page = decodeJpegBytes(jpeg);
    printf("Cam_readBufFromJpeg width is %d,height is %d\n", int(page.width), int(page.height));
    if (page.width > std::numeric_limits<int>::max() || page.height > std::numeric_limits<int>::max())
        return DecodedJpeg();
    return page;
}

Added addPixels(StreamedPdf &pdf, const DecodedJpeg &page, const PageText *text)
{
    return pdf.addRgbPage(page.pixels.get(), int(page.width), int(page.height), text) ? Added::AsPixels
                                                                                        : Added::NotWritten;
}

} // namespace

Added add(StreamedPdf &pdf, const QByteArray &jpeg, const QString &name, const PageText *text)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(jpeg.constData());
    const JpegHeader header = readJpegHeader(bytes, size_t(jpeg.size()));
    if (header.embeddable) {
        printf("jpeg page %dx%d, %d components, embedded as it is\n", header.width, header.height,
               header.components);
        return pdf.addJpegPage(bytes, size_t(jpeg.size()), header, text) ? Added::AsJpeg : Added::NotWritten;
    }

    const DecodedJpeg page = decode(jpeg);
    if (page.isNull()) {
        qDebug() << "page" << name << "is neither an embeddable JPEG (" << header.why.c_str()
                 << ") nor decodable";
        return Added::Unreadable;
    }
    qDebug() << "page" << name << "not embeddable as it is (" << header.why.c_str() << "), written as pixels";
    return addPixels(pdf, page, text);
}

Added addDecoded(StreamedPdf &pdf, const QByteArray &jpeg, const QString &name, const PageText *text)
{
    const DecodedJpeg page = decode(jpeg);
    if (page.isNull()) {
        qDebug() << "page" << name << "cannot be decoded";
        return Added::Unreadable;
    }
    return addPixels(pdf, page, text);
}

} // namespace jpegpage
