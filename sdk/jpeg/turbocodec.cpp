#include "sdk/jpeg/turbocodec.h"

#include "camera/camsdk.h"
#include "sdk/lasterror.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>

namespace orvix {
namespace jpeg {
namespace {

struct TjHandleCloser {
    void operator()(void *h) const { tjDestroy(h); }
};
using TjHandle = std::unique_ptr<void, TjHandleCloser>;

struct TjBufferFreer {
    void operator()(unsigned char *p) const { tjFree(p); }
};
using TjBuffer = std::unique_ptr<unsigned char, TjBufferFreer>;

// Warnings that mean pixels are missing or made up: the data ends early, its
// codes are broken, or a restart marker went astray. Anything else libjpeg
// merely grumbles about (extraneous bytes before a marker, common in camera
// frames) still yields the whole picture.
bool warningMeansDataMissing(const char *text)
{
    for (const char *sign : {"remature end", "bad Huffman code", "instead of RST"})
        if (std::strstr(text, sign))
            return true;
    return false;
}

// The largest reduction whose long side still reaches the hint's long side.
// Comparing long sides keeps the choice the same for portrait and landscape
// pages, which thumbnails of rotated captures need.
tjscalingfactor chooseScale(int width, int height, int hintWidth, int hintHeight)
{
    tjscalingfactor best{1, 1};
    const int hintLong = std::max(hintWidth, hintHeight);
    if (hintLong <= 0)
        return best;
    const int imageLong = std::max(width, height);
    int count = 0;
    const tjscalingfactor *factors = tjGetScalingFactors(&count);
    int bestLong = imageLong;
    for (int i = 0; factors && i < count; ++i) {
        const tjscalingfactor f = factors[i];
        if (f.num <= 0 || f.num > f.denom)
            continue; // never enlarge
        const int scaledLong = TJSCALED(imageLong, f);
        if (scaledLong >= hintLong && scaledLong < bestLong) {
            best = f;
            bestLong = scaledLong;
        }
    }
    return best;
}

int readHeader(tjhandle handle, const uint8_t *data, size_t size, int &width, int &height)
{
    int subsamp = 0, colorspace = 0;
    if (tjDecompressHeader3(handle, data, static_cast<unsigned long>(size), &width, &height,
                            &subsamp, &colorspace) != 0) {
        setLastError(std::string("not a readable JPEG header: ") + tjGetErrorStr2(handle));
        return ORVIX_E_DECODE;
    }
    if (width <= 0 || height <= 0) {
        setLastError("JPEG header has an empty size");
        return ORVIX_E_DECODE;
    }
    if (static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > kMaxPixels) {
        setLastError("JPEG of " + std::to_string(width) + "x" + std::to_string(height) +
                     " is larger than the library accepts");
        return ORVIX_E_NOMEM;
    }
    return ORVIX_OK;
}

int decodeFull(const uint8_t *data, size_t size, Frame &out, int hintWidth, int hintHeight)
{
    TjHandle handle(tjInitDecompress());
    if (!handle) {
        setLastError("cannot start the JPEG decoder");
        return ORVIX_E_NOMEM;
    }
    int width = 0, height = 0;
    if (int rc = readHeader(handle.get(), data, size, width, height))
        return rc;
    const tjscalingfactor scale = chooseScale(width, height, hintWidth, hintHeight);
    const int outWidth = TJSCALED(width, scale);
    const int outHeight = TJSCALED(height, scale);
    // The caller's buffer is reused: a stream of camera frames decodes
    // without a fresh allocation (and its page faults) per frame.
    try {
        out.rgb.resize(static_cast<size_t>(outWidth) * static_cast<size_t>(outHeight) * 3);
    } catch (const std::bad_alloc &) {
        out.rgb = std::vector<uint8_t>();
        setLastError("no memory for a decoded JPEG");
        return ORVIX_E_NOMEM;
    }
    if (tjDecompress2(handle.get(), data, static_cast<unsigned long>(size), out.rgb.data(),
                      outWidth, 0, outHeight, TJPF_RGB, TJFLAG_LIMITSCANS) != 0) {
        const char *text = tjGetErrorStr2(handle.get());
        if (tjGetErrorCode(handle.get()) != TJERR_WARNING || warningMeansDataMissing(text)) {
            out.rgb.clear();
            setLastError(std::string("JPEG decoding failed: ") + text);
            return ORVIX_E_DECODE;
        }
    }
    out.width = outWidth;
    out.height = outHeight;
    return ORVIX_OK;
}

} // namespace

int decodePixels(const uint8_t *data, size_t size, Frame &out, int hintWidth, int hintHeight)
{
    out.width = out.height = 0;
    out.rgb.clear(); // capacity kept for the next picture
    if (!data || size == 0) {
        setLastError("no JPEG bytes given");
        return ORVIX_E_ARGUMENT;
    }
    if (size > 0xFFFFFFFFull) {
        setLastError("JPEG data larger than 4 GiB");
        return ORVIX_E_NOMEM;
    }
    return decodeFull(data, size, out, hintWidth, hintHeight);
}

int peekSize(const uint8_t *data, size_t size, int &width, int &height)
{
    width = height = 0;
    if (!data || size == 0 || size > 0xFFFFFFFFull) {
        setLastError("no JPEG bytes given");
        return ORVIX_E_ARGUMENT;
    }
    TjHandle handle(tjInitDecompress());
    if (!handle) {
        setLastError("cannot start the JPEG decoder");
        return ORVIX_E_NOMEM;
    }
    int w = 0, h = 0;
    if (int rc = readHeader(handle.get(), data, size, w, h))
        return rc;
    width = w;
    height = h;
    return ORVIX_OK;
}

int encodePixels(const Frame &in, int quality, std::vector<uint8_t> &out)
{
    out.clear();
    if (in.empty() || in.rgb.size() < in.stride() * static_cast<size_t>(in.height)) {
        setLastError("nothing to encode");
        return ORVIX_E_ARGUMENT;
    }
    TjHandle handle(tjInitCompress());
    if (!handle) {
        setLastError("cannot start the JPEG encoder");
        return ORVIX_E_NOMEM;
    }
    unsigned char *raw = nullptr;
    unsigned long rawSize = 0;
    const int rc = tjCompress2(handle.get(), in.rgb.data(), in.width, 0, in.height, TJPF_RGB, &raw,
                               &rawSize, TJSAMP_420, std::clamp(quality, 1, 100), 0);
    TjBuffer owned(raw);
    if (rc != 0 || !raw) {
        setLastError(std::string("JPEG encoding failed: ") + tjGetErrorStr2(handle.get()));
        return ORVIX_E_IO;
    }
    try {
        out.assign(raw, raw + rawSize);
    } catch (const std::bad_alloc &) {
        out.clear();
        setLastError("no memory for the encoded JPEG");
        return ORVIX_E_NOMEM;
    }
    return ORVIX_OK;
}

} // namespace jpeg
} // namespace orvix
