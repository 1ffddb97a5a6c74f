// What a PDF reader needs to know about a JPEG to show it from its own
// bytes (DCTDecode): size, colour components and whether the bytes are a
// kind every reader decodes. Read from the markers only, nothing decoded.
#ifndef JPEGHEADER_H
#define JPEGHEADER_H

#include <cstddef>
#include <string>

struct JpegHeader
{
    bool embeddable = false;
    int width = 0;
    int height = 0;
    int components = 0;      // 1 grey, 3 colour, 4 CMYK
    bool progressive = false;
    // An Adobe APP14 segment: its CMYK is stored inverted, as Adobe writes it.
    bool adobe = false;
    std::string why;         // English, when not embeddable
};

// Embeddable: 8-bit baseline, extended or progressive Huffman JPEG with 1, 3
// or 4 components, a size given in its frame header, ending with its end
// marker. Everything else (lossless, arithmetic, hierarchical, 12-bit,
// truncated, bytes after the end) is not.
JpegHeader readJpegHeader(const unsigned char *data, size_t size);

#endif
