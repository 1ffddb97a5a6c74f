// One scanned page into a PDF that carries JPEG pages: the JPEG's own bytes
// when a reader can show them as they are, else its decoded pixels.
#ifndef JPEGPAGE_H
#define JPEGPAGE_H

#include <QByteArray>
#include <QString>

class StreamedPdf;
struct PageText;

namespace jpegpage {

enum class Added {
    AsJpeg,     // the JPEG's bytes, unchanged
    AsPixels,   // not embeddable as it is: decoded pixels instead
    Unreadable, // neither embeddable nor decodable; nothing added
    NotWritten, // the document could not take the page (see its error)
};

// Adds `jpeg` (the bytes of the file `name`, named in trace lines) as the
// next page of `pdf`, with `text` laid invisibly over it when given. Prints
// one line saying how the page went in.
Added add(StreamedPdf &pdf, const QByteArray &jpeg, const QString &name, const PageText *text = nullptr);

// The same page always as its decoded pixels, as the raw format stores pages;
// AsPixels, Unreadable or NotWritten.
Added addDecoded(StreamedPdf &pdf, const QByteArray &jpeg, const QString &name, const PageText *text = nullptr);

} // namespace jpegpage

#endif
