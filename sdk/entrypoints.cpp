// The C entry points: pointer checks, then the registry. Nothing thrown
// inside may cross into the C caller.
#include "camera/camsdk.h"
#include "camera/orvixext.h"
#include "sdk/jpeg/jpegcodec.h"
#include "sdk/lasterror.h"
#include "sdk/registry.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace orvix {
namespace {

constexpr size_t kMaxNameBytes = 255;

// At most 255 bytes and a NUL, never ending inside a UTF-8 sequence.
void copyName(const std::string &name, char *out)
{
    size_t n = std::min(name.size(), kMaxNameBytes);
    if (n < name.size())
        while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80)
            --n;
    std::memcpy(out, name.data(), n);
    out[n] = '\0';
}

int nullArgument(const char *what)
{
    setLastError(std::string(what) + " is a null pointer");
    return ORVIX_E_ARGUMENT;
}

template <typename Body>
int guarded(Body body)
{
    try {
        return body();
    } catch (const std::bad_alloc &) {
        setLastError("out of memory");
        return ORVIX_E_NOMEM;
    } catch (const std::exception &e) {
        setLastError(e.what());
        return ORVIX_E_IO;
    } catch (...) {
        setLastError("unexpected failure");
        return ORVIX_E_IO;
    }
}

Registry &registry() { return Registry::instance(); }

} // namespace

} // namespace orvix

using namespace orvix;

extern "C" {

ORVIX_API int Cam_Init(void)
{
    return guarded([] { return registry().init(); });
}

ORVIX_API int Cam_GetDevCount(long *count)
{
    if (!count)
        return nullArgument("count");
    *count = 0;
    return guarded([&] { return registry().deviceCount(*count); });
}

ORVIX_API int Cam_GetDevName(long index, char *name)
{
    if (!name)
        return nullArgument("name");
    name[0] = '\0';
    return guarded([&] {
        std::string text;
        const int rc = registry().deviceName(index, text);
        if (rc == ORVIX_OK)
            copyName(text, name);
        return rc;
    });
}

ORVIX_API int Cam_GetCameraFormatCount(long device, long *count)
{
    if (!count)
        return nullArgument("count");
    *count = 0;
    return guarded([&] { return registry().formatCount(device, *count); });
}

ORVIX_API int Cam_GetCameraFormatName(long format, char *name)
{
    if (!name)
        return nullArgument("name");
    name[0] = '\0';
    return guarded([&] {
        std::string text;
        const int rc = registry().formatName(format, text);
        if (rc == ORVIX_OK)
            copyName(text, name);
        return rc;
    });
}

ORVIX_API int Cam_GetCameraResolutionCount(long device, long format, long *count)
{
    if (!count)
        return nullArgument("count");
    *count = 0;
    return guarded([&] { return registry().resolutionCount(device, format, *count); });
}

ORVIX_API int Cam_GetCameraResolutionName(long index, long *width, long *height)
{
    if (!width || !height)
        return nullArgument(!width ? "width" : "height");
    *width = *height = 0;
    return guarded([&] { return registry().resolutionName(index, *width, *height); });
}

ORVIX_API int Cam_SetCameraResolution(long device, long width, long height)
{
    return guarded([&] { return registry().setResolution(device, width, height); });
}

ORVIX_API int Cam_SetCameraFormat(long device, long format)
{
    return guarded([&] { return registry().setFormat(device, format); });
}

ORVIX_API int Cam_CameraCaptureStart(long device, CamFrameCallback callback)
{
    return guarded([&] { return registry().startCapture(device, callback); });
}

ORVIX_API int Cam_CameraCaptureStop(void)
{
    return guarded([] { return registry().stopCapture(); });
}

ORVIX_API int Cam_SetAutoCrop(bool on)
{
    registry().setAutoCrop(on);
    return ORVIX_OK;
}

ORVIX_API int Cam_CameraCaptureFile(long /*reserved*/, const char *path, IMAGEPARAM param)
{
    if (!path || !*path)
        return nullArgument("path");
    return guarded([&] { return registry().captureFile(path, param); });
}

namespace {

// The checks of the calls that write new files: a path, known flags, and
// room for the path written (a stamp keeps its length when it moves on).
int newFileArguments(const char *path, int flags, long outSize, const char *tooShort)
{
    if (!path || !*path)
        return nullArgument("path");
    if (outSize <= 0 || static_cast<size_t>(outSize) <= std::strlen(path)) {
        orvix::setLastError(tooShort);
        return ORVIX_E_ARGUMENT;
    }
    if ((flags & ~ORVIX_FILE_PRIVATE) != 0) {
        orvix::setLastError("unknown flags");
        return ORVIX_E_ARGUMENT;
    }
    return ORVIX_OK;
}

} // namespace

ORVIX_API int Orvix_CameraCaptureNewFile(long /*reserved*/, const char *path, IMAGEPARAM param, int flags,
                                         char *usedPath, long usedSize)
{
    if (!usedPath)
        return nullArgument("usedPath");
    usedPath[0] = '\0';
    if (const int rc = newFileArguments(path, flags, usedSize, "usedPath is too short for the path"))
        return rc;
    return guarded([&] {
        orvix::Registry::NewFile newFile;
        newFile.privateFile = (flags & ORVIX_FILE_PRIVATE) != 0;
        const int rc = registry().captureFile(path, param, &newFile);
        if (rc == ORVIX_OK && newFile.usedPath.size() < static_cast<size_t>(usedSize))
            std::memcpy(usedPath, newFile.usedPath.c_str(), newFile.usedPath.size() + 1);
        return rc;
    });
}

ORVIX_API int Orvix_CameraCaptureBookFiles(long /*reserved*/, const char *path, IMAGEPARAM param, int flags,
                                           char *leftPath, char *rightPath, long pathSize, int *pageCount)
{
    if (!leftPath || !rightPath || !pageCount)
        return nullArgument("an out-parameter");
    leftPath[0] = rightPath[0] = '\0';
    *pageCount = 0;
    if (const int rc = newFileArguments(path, flags, pathSize, "the page paths are too short for the path"))
        return rc;
    return guarded([&] {
        std::vector<std::string> used;
        const int rc = registry().captureBookFiles(path, param, (flags & ORVIX_FILE_PRIVATE) != 0, used);
        if (rc != ORVIX_OK)
            return rc;
        char *out[2] = {leftPath, rightPath};
        for (size_t i = 0; i < used.size() && i < 2; ++i)
            if (used[i].size() < static_cast<size_t>(pathSize))
                std::memcpy(out[i], used[i].c_str(), used[i].size() + 1);
        *pageCount = int(std::min<size_t>(used.size(), 2));
        return rc;
    });
}

ORVIX_API int Cam_readBufFromJpegBuf(const unsigned char *jpeg, long size, long *width,
                                     long *height, unsigned char **rgb)
{
    // Outputs only: whatever the caller's variables hold on entry, the whole
    // picture comes back.
    return Orvix_ReadBufFromJpegBufScaled(jpeg, size, 0, 0, width, height, rgb);
}

ORVIX_API int Orvix_ReadBufFromJpegBufScaled(const unsigned char *jpeg, long size, long wantWidth,
                                             long wantHeight, long *width, long *height,
                                             unsigned char **rgb)
{
    if (!width || !height || !rgb) {
        if (width)
            *width = 0;
        if (height)
            *height = 0;
        if (rgb)
            *rgb = nullptr;
        return nullArgument("an out-parameter");
    }
    const long hintWidth = wantWidth > 0 ? wantWidth : 0;
    const long hintHeight = wantHeight > 0 ? wantHeight : 0;
    *width = *height = 0;
    *rgb = nullptr;
    if (!jpeg || size <= 0) {
        setLastError("no JPEG bytes given");
        return ORVIX_E_ARGUMENT;
    }
    return guarded([&] {
        Frame picture;
        const int rc = jpeg::decode(jpeg, static_cast<size_t>(size), picture,
                                    static_cast<int>(std::min(hintWidth, long(kMaxPictureSide))),
                                    static_cast<int>(std::min(hintHeight, long(kMaxPictureSide))));
        if (rc != ORVIX_OK)
            return rc;
        unsigned char *buffer = new (std::nothrow) unsigned char[picture.rgb.size()];
        if (!buffer) {
            setLastError("no memory for the decoded picture");
            return static_cast<int>(ORVIX_E_NOMEM);
        }
        std::memcpy(buffer, picture.rgb.data(), picture.rgb.size());
        *rgb = buffer;
        *width = picture.width;
        *height = picture.height;
        return static_cast<int>(ORVIX_OK);
    });
}

ORVIX_API int Orvix_IsDeviceAccessible(long index)
{
    return guarded([&] { return registry().accessible(index); });
}

ORVIX_API int Orvix_IsTarvoDevice(long index)
{
    return guarded([&] { return registry().tarvo(index); });
}

ORVIX_API const char *Orvix_LastError(void) { return orvix::lastError(); }

ORVIX_API int Orvix_LastErrorNumber(void) { return orvix::lastErrorNumber(); }

ORVIX_API long Orvix_FramesDelivered(void) { return registry().framesDelivered(); }

ORVIX_API int Orvix_PreviewOutline(double *corners, int *width, int *height)
{
    if (!corners || !width || !height) {
        setLastError("null output pointer");
        return ORVIX_E_ARGUMENT;
    }
    return guarded([&] {
        orvix::Quad quad{};
        int w = 0, h = 0;
        const int rc = registry().previewOutline(quad, w, h);
        if (rc < 0)
            return rc;
        for (int i = 0; i < 4; ++i) {
            corners[2 * i] = quad[size_t(i)].x;
            corners[2 * i + 1] = quad[size_t(i)].y;
        }
        *width = w;
        *height = h;
        return rc;
    });
}

}
