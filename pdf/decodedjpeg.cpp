#include "pdf/decodedjpeg.h"

#include "camera/orvixext.h"

#include <QFile>

DecodedJpeg decodeJpegBytes(const QByteArray &bytes, long hintWidth, long hintHeight)
{
    DecodedJpeg out;
    if (bytes.isEmpty())
        return out;
    long width = 0;
    long height = 0;
    unsigned char *rgb = nullptr;
    const auto *jpeg = reinterpret_cast<const unsigned char *>(bytes.constData());
    if (hintWidth > 0 || hintHeight > 0)
        Orvix_ReadBufFromJpegBufScaled(jpeg, long(bytes.size()), hintWidth, hintHeight, &width, &height, &rgb);
    else
        Cam_readBufFromJpegBuf(jpeg, long(bytes.size()), &width, &height, &rgb);
    out.pixels.reset(rgb);
    if (!rgb) {
        // The hint is written back untouched by some failures; never trust it.
        out.width = out.height = 0;
        return out;
    }
    out.width = width;
    out.height = height;
    return out;
}

DecodedJpeg decodeJpegFile(const QString &path, long hintWidth, long hintHeight)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return DecodedJpeg();
    return decodeJpegBytes(file.readAll(), hintWidth, hintHeight);
}
