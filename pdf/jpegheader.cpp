#include "pdf/jpegheader.h"

#include <cstring>

namespace {

constexpr unsigned char kMarker = 0xFF;
constexpr unsigned char kStartOfImage = 0xD8;
constexpr unsigned char kEndOfImage = 0xD9;
constexpr unsigned char kStartOfScan = 0xDA;
constexpr unsigned char kAdobeApp = 0xEE;

unsigned be16(const unsigned char *p)
{
    return unsigned(p[0]) << 8 | p[1];
}

bool isFrameMarker(unsigned char m)
{
    // C0-CF except DHT (C4), JPG (C8) and DAC (CC).
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

bool standsAlone(unsigned char m)
{
    return m == 0x01 || (m >= 0xD0 && m <= 0xD7);
}

JpegHeader refuse(JpegHeader header, const char *why)
{
    header.embeddable = false;
    header.why = why;
    return header;
}

} // namespace

JpegHeader readJpegHeader(const unsigned char *data, size_t size)
{
    JpegHeader header;
    if (!data || size < 4 || data[0] != kMarker || data[1] != kStartOfImage)
        return refuse(header, "no JPEG start marker");
    // The camera's encoder ends every file with the end marker; anything
    // else is cut short or carries bytes a reader might take for the picture.
    if (data[size - 2] != kMarker || data[size - 1] != kEndOfImage)
        return refuse(header, "does not end with the JPEG end marker");

    bool sawFrame = false;
    size_t pos = 2;
    while (pos < size) {
        if (data[pos] != kMarker)
            return refuse(header, "bytes between markers");
        while (pos < size && data[pos] == kMarker) // fill bytes
            ++pos;
        if (pos >= size)
            break;
        const unsigned char marker = data[pos++];
        if (standsAlone(marker))
            continue;
        if (marker == kEndOfImage)
            break;
        if (pos + 2 > size)
            return refuse(header, "marker segment cut short");
        const size_t length = be16(data + pos);
        if (length < 2 || pos + length > size)
            return refuse(header, "marker segment length out of range");
        const unsigned char *segment = data + pos + 2;
        const size_t payload = length - 2;
        if (marker == kAdobeApp && payload >= 12 && std::memcmp(segment, "Adobe", 5) == 0)
            header.adobe = true;
        if (isFrameMarker(marker)) {
            if (sawFrame)
                return refuse(header, "more than one frame");
            sawFrame = true;
            if (marker != 0xC0 && marker != 0xC1 && marker != 0xC2)
                return refuse(header, "not a baseline, extended or progressive Huffman JPEG");
            if (payload < 6)
                return refuse(header, "frame header cut short");
            header.progressive = marker == 0xC2;
            header.height = int(be16(segment + 1));
            header.width = int(be16(segment + 3));
            header.components = segment[5];
            if (segment[0] != 8)
                return refuse(header, "not 8 bits per sample");
            if (header.width == 0 || header.height == 0)
                return refuse(header, "no size in the frame header");
            if (header.components != 1 && header.components != 3 && header.components != 4)
                return refuse(header, "unsupported number of components");
        }
        if (marker == kStartOfScan) {
            if (!sawFrame)
                return refuse(header, "scan before the frame header");
            header.embeddable = true;
            return header;
        }
        pos += length;
    }
    return refuse(header, "no scan");
}
