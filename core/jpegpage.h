// One scanned page into a PDF that carries JPEG pages: the JPEG's own bytes
// when a reader can show them as they are, else its decoded pixels.
#ifndef JPEGPAGE_H
#define JPEGPAGE_H

#include <QByteArray>
#include <QString>

class StreamedPdf;

namespace jpegpage {

enum class Added {
    AsJpeg,     // the JPEG's bytes, unchanged
    AsPixels,   // not embeddable as it is: decoded pixels instead
    Unreadable, // neither embeddable nor decodable; nothing added
    NotWritten, // the document could not take the page (see its error)
};

// Adds `jpeg` (the bytes of the file `name`, named in trace lines) as the
// next page of `pdf`. Prints one line saying how the page went in.
Added add(StreamedPdf &pdf, const QByteArray &jpeg, const QString &name);

} // namespace jpegpage

#endif
