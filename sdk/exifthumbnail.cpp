#include "exifthumbnail.h"

#include "camsdk.h"
#include "jpegcodec.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace orvix {
namespace exif {
namespace {

constexpr uint8_t kExifId[6] = {'E', 'x', 'i', 'f', 0, 0};
constexpr size_t kMaxSegmentPayload = 65535 - 2;

// Little-endian TIFF: header, IFD0 with the orientation, IFD1 pointing at the
// preview, then the preview itself.
constexpr uint32_t kIfd0Offset = 8;
constexpr uint32_t kIfd1Offset = kIfd0Offset + 2 + 12 + 4;
constexpr uint32_t kThumbOffset = kIfd1Offset + 2 + 3 * 12 + 4;

void put16(std::vector<uint8_t> &v, uint16_t x)
{
    v.push_back(uint8_t(x));
    v.push_back(uint8_t(x >> 8));
}

void put32(std::vector<uint8_t> &v, uint32_t x)
{
    put16(v, uint16_t(x));
    put16(v, uint16_t(x >> 16));
}

void putEntry(std::vector<uint8_t> &v, uint16_t tag, uint16_t type, uint32_t value)
{
    put16(v, tag);
    put16(v, type);
    put32(v, 1);
    if (type == 3) { // SHORT: value left-aligned in the 4 bytes
        put16(v, uint16_t(value));
        put16(v, 0);
    } else {
        put32(v, value);
    }
}

std::vector<uint8_t> buildSegment(const std::vector<uint8_t> &thumb)
{
    std::vector<uint8_t> seg;
    seg.reserve(4 + sizeof kExifId + kThumbOffset + thumb.size());
    const size_t payload = sizeof kExifId + kThumbOffset + thumb.size();
    seg.push_back(0xFF);
    seg.push_back(0xE1);
    seg.push_back(uint8_t((payload + 2) >> 8));
    seg.push_back(uint8_t(payload + 2));
    seg.insert(seg.end(), kExifId, kExifId + sizeof kExifId);
    seg.insert(seg.end(), {'I', 'I', 0x2A, 0x00});
    put32(seg, kIfd0Offset);
    put16(seg, 1);
    putEntry(seg, 0x0112, 3, 1); // orientation: as stored
    put32(seg, kIfd1Offset);
    put16(seg, 3);
    putEntry(seg, 0x0103, 3, 6); // compression: JPEG
    putEntry(seg, 0x0201, 4, kThumbOffset);
    putEntry(seg, 0x0202, 4, uint32_t(thumb.size()));
    put32(seg, 0);
    seg.insert(seg.end(), thumb.begin(), thumb.end());
    return seg;
}

struct TiffReader {
    const uint8_t *base;
    size_t size;
    bool little;

    bool read16(size_t at, uint32_t &v) const
    {
        if (at + 2 > size)
            return false;
        v = little ? uint32_t(base[at]) | uint32_t(base[at + 1]) << 8
                   : uint32_t(base[at]) << 8 | uint32_t(base[at + 1]);
        return true;
    }
    bool read32(size_t at, uint32_t &v) const
    {
        uint32_t a = 0, b = 0;
        if (!read16(at, a) || !read16(at + 2, b))
            return false;
        v = little ? (a | b << 16) : (a << 16 | b);
        return true;
    }
};

bool thumbnailInTiff(const uint8_t *tiff, size_t size, const uint8_t *&thumb, size_t &thumbSize)
{
    if (size < 8)
        return false;
    TiffReader r{tiff, size, tiff[0] == 'I' && tiff[1] == 'I'};
    if (!r.little && !(tiff[0] == 'M' && tiff[1] == 'M'))
        return false;
    uint32_t ifd0 = 0, count0 = 0, ifd1 = 0, count1 = 0;
    if (!r.read32(4, ifd0) || !r.read16(ifd0, count0) ||
        !r.read32(size_t(ifd0) + 2 + 12 * size_t(count0), ifd1) || ifd1 == 0 ||
        !r.read16(ifd1, count1))
        return false;
    uint32_t offset = 0, length = 0;
    for (uint32_t i = 0; i < count1; ++i) {
        const size_t entry = size_t(ifd1) + 2 + 12 * size_t(i);
        uint32_t tag = 0, value = 0;
        if (!r.read16(entry, tag) || !r.read32(entry + 8, value))
            return false;
        if (tag == 0x0201)
            offset = value;
        else if (tag == 0x0202)
            length = value;
    }
    if (offset == 0 || length < 4 || size_t(offset) + length > size)
        return false;
    thumb = tiff + offset;
    thumbSize = length;
    return true;
}

} // namespace

void embedThumbnail(const Frame &page, std::vector<uint8_t> &jpeg)
{
    if (page.empty() || jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8)
        return;
    const int longSide = std::max(page.width, page.height);
    if (longSide <= kThumbnailLongSide)
        return; // the page is its own preview
    Frame small;
    small.allocate(std::max(1, page.width * kThumbnailLongSide / longSide),
                   std::max(1, page.height * kThumbnailLongSide / longSide));
    cv::Mat src(page.height, page.width, CV_8UC3, const_cast<uint8_t *>(page.rgb.data()));
    cv::Mat dst(small.height, small.width, CV_8UC3, small.rgb.data());
    // Averaging by a whole factor first takes OpenCV's fast path; the few
    // edge pixels left out do not show in a preview.
    const int factor = longSide / kThumbnailLongSide;
    if (factor >= 2) {
        cv::Mat reduced;
        const cv::Mat whole = src(cv::Rect(0, 0, page.width / factor * factor, page.height / factor * factor));
        cv::resize(whole, reduced, cv::Size(whole.cols / factor, whole.rows / factor), 0, 0, cv::INTER_AREA);
        src = reduced;
    }
    cv::resize(src, dst, dst.size(), 0, 0, cv::INTER_AREA);

    std::vector<uint8_t> thumb;
    for (int quality : {80, 60, 40}) {
        if (jpeg::encode(small, quality, thumb, false) != ORVIX_OK)
            return;
        if (sizeof kExifId + kThumbOffset + thumb.size() <= kMaxSegmentPayload)
            break;
        thumb.clear();
    }
    if (thumb.empty())
        return;
    // After SOI and, when present, the JFIF APP0 segment.
    size_t at = 2;
    if (jpeg.size() > 6 && jpeg[2] == 0xFF && jpeg[3] == 0xE0)
        at = 4 + (size_t(jpeg[4]) << 8 | jpeg[5]);
    if (at > jpeg.size())
        return;
    const std::vector<uint8_t> segment = buildSegment(thumb);
    jpeg.insert(jpeg.begin() + static_cast<std::ptrdiff_t>(at), segment.begin(), segment.end());
}

bool findThumbnail(const uint8_t *data, size_t size, const uint8_t *&thumb, size_t &thumbSize)
{
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return false;
    size_t pos = 2;
    while (pos + 4 <= size) {
        if (data[pos] != 0xFF)
            return false;
        const uint8_t marker = data[pos + 1];
        if (marker == 0xFF) { // fill byte
            ++pos;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9)
            return false; // image data begins: no more header segments
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            pos += 2;
            continue;
        }
        const size_t length = size_t(data[pos + 2]) << 8 | data[pos + 3];
        if (length < 2 || pos + 2 + length > size)
            return false;
        const uint8_t *body = data + pos + 4;
        const size_t bodySize = length - 2;
        if (marker == 0xE1 && bodySize > sizeof kExifId &&
            std::memcmp(body, kExifId, sizeof kExifId) == 0)
            return thumbnailInTiff(body + sizeof kExifId, bodySize - sizeof kExifId, thumb,
                                   thumbSize);
        pos += 2 + length;
    }
    return false;
}

bool decodeThumbnail(const uint8_t *data, size_t size, int mainWidth, int mainHeight,
                     int hintWidth, int hintHeight, Frame &out)
{
    const int hintLong = std::max(hintWidth, hintHeight);
    if (hintLong <= 0 || mainWidth <= 0 || mainHeight <= 0)
        return false;
    const uint8_t *thumb = nullptr;
    size_t thumbSize = 0;
    if (!findThumbnail(data, size, thumb, thumbSize))
        return false;
    int w = 0, h = 0;
    if (jpeg::peekSize(thumb, thumbSize, w, h) != ORVIX_OK)
        return false;
    if (std::max(w, h) < hintLong || std::max(w, h) >= std::max(mainWidth, mainHeight))
        return false;
    // Same shape within about a pixel of the preview.
    const int64_t skew = int64_t(w) * mainHeight - int64_t(h) * mainWidth;
    if (std::llabs(skew) > int64_t(mainWidth) + mainHeight)
        return false;
    Frame decoded;
    if (jpeg::decode(thumb, thumbSize, decoded, 0, 0) != ORVIX_OK)
        return false;
    out = std::move(decoded);
    return true;
}

} // namespace exif
} // namespace orvix
