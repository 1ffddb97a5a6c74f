// A JPEG decoded by the camera library, with its pixel buffer owned here so
// that every path out of a caller releases it.
#ifndef DECODEDJPEG_H
#define DECODEDJPEG_H

#include <QByteArray>
#include <QString>

#include <memory>

struct DecodedJpeg {
    std::unique_ptr<unsigned char[]> pixels; // R,G,B rows back to back
    long width = 0;
    long height = 0;

    bool isNull() const { return !pixels || width <= 0 || height <= 0; }
};

// Decodes JPEG bytes. hintWidth/hintHeight > 0 let the library return a
// smaller picture that is still at least that large (thumbnails).
DecodedJpeg decodeJpegBytes(const QByteArray &bytes, long hintWidth = 0, long hintHeight = 0);

// Reads the whole file and decodes it; a null result when the file cannot be
// read or decoded.
DecodedJpeg decodeJpegFile(const QString &path, long hintWidth = 0, long hintHeight = 0);

#endif
