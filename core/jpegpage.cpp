#include "core/jpegpage.h"

#include "core/decodedjpeg.h"
#include "pdf/jpegheader.h"
#include "pdf/streamedpdf.h"

#include <QDebug>

#include <cstdio>
#include <limits>

namespace jpegpage {
namespace {

// `why` says in trace lines why the JPEG's own bytes are not used.
Added addPixels(StreamedPdf &pdf, const QByteArray &jpeg, const QString &name, const PageText *text,
                const char *why)
{
    const DecodedJpeg page = decodeJpegBytes(jpeg);
    printf("Cam_readBufFromJpeg width is %d,height is %d\n", int(page.width), int(page.height));
    if (page.isNull() || page.width > std::numeric_limits<int>::max() ||
        page.height > std::numeric_limits<int>::max()) {
        qDebug() << "page" << name << "is not decodable (" << why << ")";
        return Added::Unreadable;
    }
    qDebug() << "page" << name << "written as pixels (" << why << ")";
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
    return addPixels(pdf, jpeg, name, text, ("not an embeddable JPEG: " + header.why).c_str());
}

Added addDecoded(StreamedPdf &pdf, const QByteArray &jpeg, const QString &name, const PageText *text)
{
    return addPixels(pdf, jpeg, name, text, "the raw format");
}

} // namespace jpegpage
