#include "sdk/jpeg/jpegcodec.h"

#include "fileio/atomicfile.h"

#include "camera/camsdk.h"
#include "sdk/jpeg/exifthumbnail.h"
#include "sdk/lasterror.h"

#include <new>

namespace orvix {
namespace jpeg {

int decode(const uint8_t *data, size_t size, Frame &out, int hintWidth, int hintHeight)
{
    // An embedded preview that answers the hint spares decoding the page.
    if (hintWidth > 0 || hintHeight > 0) {
        int width = 0, height = 0;
        if (peekSize(data, size, width, height) == ORVIX_OK &&
            exif::decodeThumbnail(data, size, width, height, hintWidth, hintHeight, out))
            return ORVIX_OK;
    }
    return decodePixels(data, size, out, hintWidth, hintHeight);
}

int encode(const Frame &in, int quality, std::vector<uint8_t> &out, bool embedThumbnail)
{
    const int rc = encodePixels(in, quality, out);
    if (rc != ORVIX_OK || !embedThumbnail)
        return rc;
    try {
        exif::embedExif(in, out);
    } catch (const std::bad_alloc &) {
        out.clear();
        setLastError("no memory for the encoded JPEG");
        return ORVIX_E_NOMEM;
    }
    return ORVIX_OK;
}

int writeFileAtomic(const std::string &path, const std::vector<uint8_t> &bytes)
{
    if (path.empty() || path.back() == '/') {
        setLastError("not a file path: \"" + path + "\"");
        return ORVIX_E_ARGUMENT;
    }
    std::string error;
    int errorNumber = 0;
    if (!fileio::AtomicFile::writeWhole(path, bytes.data(), bytes.size(), error, errorNumber)) {
        setLastError(error, errorNumber);
        return ORVIX_E_IO;
    }
    return ORVIX_OK;
}

int writeNewFile(const std::string &path, const std::vector<uint8_t> &bytes, bool privateFile,
                 std::string &usedPath)
{
    std::string error;
    int errorNumber = 0;
    if (!fileio::AtomicFile::writeNew(path, bytes.data(), bytes.size(), privateFile, usedPath, error, errorNumber)) {
        setLastError(error, errorNumber);
        return ORVIX_E_IO;
    }
    return ORVIX_OK;
}

} // namespace jpeg
} // namespace orvix
