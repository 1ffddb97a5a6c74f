/*
 * Our additions to the camera library's boundary. The maker's fourteen Cam_
 * functions say nothing about access rights or device families, which the
 * start-up needs; these few calls answer that and help tests look inside.
 */
#ifndef QUILLO_CAMERA_ORVIXEXT_H
#define QUILLO_CAMERA_ORVIXEXT_H

#include "camsdk.h"

#ifdef __cplusplus
extern "C" {
#endif

/* 1 when the device at `index` can be opened with the user's rights, 0 when
 * not, negative when there is no such device. */
ORVIX_API int Orvix_IsDeviceAccessible(long index);
/* 1 when the device belongs to the Tarvo family, 0 when not, negative when
 * there is no such device. */
ORVIX_API int Orvix_IsTarvoDevice(long index);
/* The last failure seen by the calling thread, as text; never null. */
ORVIX_API const char *Orvix_LastError(void);
/* Number of frames delivered since the last Cam_CameraCaptureStart. */
ORVIX_API long Orvix_FramesDelivered(void);

#ifdef __cplusplus
}
#endif

#endif
