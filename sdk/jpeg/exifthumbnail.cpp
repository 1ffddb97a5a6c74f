#include "sdk/jpeg/exifthumbnail.h"

#include "camera/camsdk.h"
#include "sdk/jpeg/turbocodec.h"
#include "sdk/jpeg/wholefactorreduce.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace orvix {
namespace exif {
namespace {

constexpr uint8_t kExifId[6] = {'E', 'x', 'i', 'f', 0, 0};
constexpr size_t kMaxSegmentPayload = 65535 - 2;

enum : uint16_t { kAscii = 2, kShort = 3, kLong = 4, kRational = 5, kUndefined = 7 };

// One directory entry; `value` holds the raw little-endian bytes, placed in
// the entry when they fit in four, else in the data area after the directory.
struct Entry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    std::vector<uint8_t> value;
};

std::vector<uint8_t> le16(uint16_t x) { return {uint8_t(x), uint8_t(x >> 8)}; }
std::vector<uint8_t> le32(uint32_t x) { return {uint8_t(x), uint8_t(x >> 8), uint8_t(x >> 16), uint8_t(x >> 24)}; }

Entry shortEntry(uint16_t tag, uint16_t v) { return {tag, kShort, 1, le16(v)}; }
Entry longEntry(uint16_t tag, uint32_t v) { return {tag, kLong, 1, le32(v)}; }
Entry bytesEntry(uint16_t tag, const char (&text)[5]) { return {tag, kUndefined, 4, {text, text + 4}}; }
Entry asciiEntry(uint16_t tag, const std::string &text)
{
    std::vector<uint8_t> v(text.begin(), text.end());
    v.push_back(0);
    return {tag, kAscii, uint32_t(v.size()), v};
}

// 72 dots per inch, the customary value when nothing is known of the page's
// physical size; readers need the tags present, not a true measure.
Entry resolutionEntry(uint16_t tag)
{
    std::vector<uint8_t> v = le32(72);
    const std::vector<uint8_t> one = le32(1);
    v.insert(v.end(), one.begin(), one.end());
    return {tag, kRational, 1, v};
}

size_t outOfLine(const Entry &e) { return e.value.size() > 4 ? (e.value.size() + 1) & ~size_t(1) : 0; }

size_t directorySize(const std::vector<Entry> &entries)
{
    size_t size = 2 + 12 * entries.size() + 4;
    for (const Entry &e : entries)
        size += outOfLine(e);
    return size;
}

void append(std::vector<uint8_t> &v, const std::vector<uint8_t> &bytes) { v.insert(v.end(), bytes.begin(), bytes.end()); }

// Writes a directory that starts at TIFF offset `at` (== tiff.size() - base),
// its entries sorted by tag as readers expect, then the values that did not fit.
void putDirectory(std::vector<uint8_t> &tiff, size_t base, std::vector<Entry> entries, uint32_t next)
{
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) { return a.tag < b.tag; });
    uint32_t data = uint32_t(tiff.size() - base + 2 + 12 * entries.size() + 4);
    append(tiff, le16(uint16_t(entries.size())));
    for (const Entry &e : entries) {
        append(tiff, le16(e.tag));
        append(tiff, le16(e.type));
        append(tiff, le32(e.count));
        if (outOfLine(e)) {
            append(tiff, le32(data));
            data += uint32_t(outOfLine(e));
        } else {
            std::vector<uint8_t> inline4 = e.value;
            inline4.resize(4, 0);
            append(tiff, inline4);
        }
    }
    append(tiff, le32(next));
    for (const Entry &e : entries) {
        if (outOfLine(e)) {
            append(tiff, e.value);
            tiff.resize(tiff.size() + (outOfLine(e) - e.value.size()), 0);
        }
    }
}

std::string exifTime(std::chrono::system_clock::time_point taken, std::string &subSeconds)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(taken);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y:%m:%d %H:%M:%S", &local);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(taken.time_since_epoch()).count() % 1000;
    char sub[8];
    std::snprintf(sub, sizeof sub, "%03d", int(ms < 0 ? ms + 1000 : ms));
    subSeconds = sub;
    return text;
}

// APP1 segment: little-endian TIFF with IFD0 (orientation, resolution, chroma
// siting), the Exif directory (version, capture time, colour space, size) and,
// when there is a preview, IFD1 describing it, followed by its JPEG bytes.
std::vector<uint8_t> buildSegment(const Frame &page, const std::vector<uint8_t> &thumb,
                                  std::chrono::system_clock::time_point taken)
{
    std::string subSeconds;
    const std::string original = exifTime(taken, subSeconds);
    const std::vector<Entry> exifDir = {
        bytesEntry(0x9000, "0230"),                 // Exif version 2.3
        asciiEntry(0x9003, original),               // date and time original
        bytesEntry(0x9101, "\x01\x02\x03\x00"),        // components: Y Cb Cr
        asciiEntry(0x9291, subSeconds),             // milliseconds of the above
        bytesEntry(0xA000, "0100"),                 // Flashpix version 1.0
        shortEntry(0xA001, 1),                      // sRGB
        longEntry(0xA002, uint32_t(page.width)),
        longEntry(0xA003, uint32_t(page.height)),
    };
    std::vector<Entry> ifd0 = {
        shortEntry(0x0112, 1), // orientation: as stored
        resolutionEntry(0x011A), resolutionEntry(0x011B), shortEntry(0x0128, 2), // inches
        shortEntry(0x0213, 1), // chroma samples centred, as our encoder makes them
        longEntry(0x8769, 0),  // offset of the Exif directory, set below
    };
    const uint32_t ifd0Offset = 8;
    const uint32_t exifOffset = uint32_t(ifd0Offset + directorySize(ifd0));
    ifd0.back().value = le32(exifOffset);
    const uint32_t ifd1Offset = uint32_t(exifOffset + directorySize(exifDir));
    std::vector<Entry> ifd1 = {
        shortEntry(0x0103, 6), // compression: JPEG
        resolutionEntry(0x011A), resolutionEntry(0x011B), shortEntry(0x0128, 2),
        longEntry(0x0201, 0), // preview offset, set below
        longEntry(0x0202, uint32_t(thumb.size())),
    };
    const uint32_t thumbOffset = uint32_t(ifd1Offset + directorySize(ifd1));
    ifd1[4].value = le32(thumbOffset);

    std::vector<uint8_t> seg = {0xFF, 0xE1, 0, 0};
    seg.insert(seg.end(), kExifId, kExifId + sizeof kExifId);
    const size_t base = seg.size();
    seg.insert(seg.end(), {'I', 'I', 0x2A, 0x00});
    append(seg, le32(ifd0Offset));
    putDirectory(seg, base, ifd0, thumb.empty() ? 0 : ifd1Offset);
    putDirectory(seg, base, exifDir, 0);
    if (!thumb.empty()) {
        putDirectory(seg, base, ifd1, 0);
        seg.insert(seg.end(), thumb.begin(), thumb.end());
    }
    const size_t length = seg.size() - 2;
    seg[2] = uint8_t(length >> 8);
    seg[3] = uint8_t(length);
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

namespace {

std::vector<uint8_t> makePreview(const Frame &page)
{
    const int longSide = std::max(page.width, page.height);
    if (longSide <= kThumbnailLongSide)
        return {}; // the page is its own preview
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
        reduceByWholeFactor(whole, factor, reduced);
        src = reduced;
    }
    cv::resize(src, dst, dst.size(), 0, 0, cv::INTER_AREA);

    // The directories take a few hundred bytes of the segment; the rest is
    // the preview's.
    constexpr size_t kDirectoriesRoom = 512;
    std::vector<uint8_t> thumb;
    for (int quality : {80, 60, 40}) {
        if (jpeg::encodePixels(small, quality, thumb) != ORVIX_OK)
            return {};
        if (sizeof kExifId + kDirectoriesRoom + thumb.size() <= kMaxSegmentPayload)
            return thumb;
    }
    return {};
}

} // namespace

void embedExif(const Frame &page, std::vector<uint8_t> &jpeg, std::chrono::system_clock::time_point taken)
{
    if (page.empty() || jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8)
        return;
    // After SOI and, when present, the JFIF APP0 segment.
    size_t at = 2;
    if (jpeg.size() > 6 && jpeg[2] == 0xFF && jpeg[3] == 0xE0)
        at = 4 + (size_t(jpeg[4]) << 8 | jpeg[5]);
    if (at > jpeg.size())
        return;
    const std::vector<uint8_t> segment = buildSegment(page, makePreview(page), taken);
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
    if (jpeg::decodePixels(thumb, thumbSize, decoded) != ORVIX_OK)
        return false;
    out = std::move(decoded);
    return true;
}

} // namespace exif
} // namespace orvix
