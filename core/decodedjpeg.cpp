#include "core/decodedjpeg.h"

#include "camera/orvixext.h"
#include "core/framecopy.h"

#include <QFile>

#include <limits>

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

QImage toImage(const DecodedJpeg &decoded)
{
    if (decoded.isNull() || decoded.width > std::numeric_limits<int>::max() / 3 ||
        decoded.height > std::numeric_limits<int>::max())
        return QImage();
    const int w = int(decoded.width);
    const int h = int(decoded.height);
    QImage image(w, h, QImage::Format_RGB888);
    if (image.isNull())
        return QImage();
    copyRgbFrame(image, decoded.pixels.get(), w, h);
    return image;
}
