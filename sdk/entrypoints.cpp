// The C entry points. Placeholder bodies until the registry lands.
#include "backend.h"
#include "camsdk.h"
#include "orvixext.h"

#include <string>

namespace orvix {
namespace {
thread_local std::string t_lastError;
}
void setLastError(const std::string &text) { t_lastError = text; }
const char *lastError() { return t_lastError.c_str(); }
} // namespace orvix

extern "C" {

ORVIX_API int Cam_Init(void) { return ORVIX_OK; }
ORVIX_API int Cam_GetDevCount(long *count) { if (count) *count = 0; return ORVIX_OK; }
ORVIX_API int Cam_GetDevName(long, char *) { return ORVIX_E_NODEVICE; }
ORVIX_API int Cam_GetCameraFormatCount(long, long *count) { if (count) *count = 0; return ORVIX_E_NODEVICE; }
ORVIX_API int Cam_GetCameraFormatName(long, char *) { return ORVIX_E_NODEVICE; }
ORVIX_API int Cam_GetCameraResolutionCount(long, long, long *count) { if (count) *count = 0; return ORVIX_E_NODEVICE; }
ORVIX_API int Cam_GetCameraResolutionName(long, long *, long *) { return ORVIX_E_NODEVICE; }
ORVIX_API int Cam_SetCameraResolution(long, long, long) { return ORVIX_E_NODEVICE; }
ORVIX_API int Cam_SetCameraFormat(long, long) { return ORVIX_E_NODEVICE; }
ORVIX_API int Cam_CameraCaptureStart(long, CamFrameCallback) { return ORVIX_E_NODEVICE; }
ORVIX_API int Cam_CameraCaptureStop(void) { return ORVIX_OK; }
ORVIX_API int Cam_SetAutoCrop(bool) { return ORVIX_OK; }
ORVIX_API int Cam_CameraCaptureFile(long, const char *, IMAGEPARAM) { return ORVIX_E_NODEVICE; }
ORVIX_API int Cam_readBufFromJpegBuf(const unsigned char *, long, long *width, long *height, unsigned char **rgb)
{
    if (width) *width = 0;
    if (height) *height = 0;
    if (rgb) *rgb = nullptr;
    return ORVIX_E_DECODE;
}
ORVIX_API int Orvix_IsDeviceAccessible(long) { return ORVIX_E_NODEVICE; }
ORVIX_API int Orvix_IsTarvoDevice(long) { return ORVIX_E_NODEVICE; }
ORVIX_API const char *Orvix_LastError(void) { return orvix::lastError(); }
ORVIX_API long Orvix_FramesDelivered(void) { return 0; }

}
