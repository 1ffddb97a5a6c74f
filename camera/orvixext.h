/*
 * Our additions to the camera library's boundary. The maker's fourteen Cam_
 * functions say nothing about access rights or device families, which the
 * start-up needs; these few calls answer that and help tests look inside,
 * and thumbnails get a cheaper, reduced decode.
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
/* The errno of the system call behind the calling thread's last failure, 0
 * when no system call failed. A file the library could not write gives its
 * reason here (ENOSPC for a full disk, EACCES, EROFS, ...); a camera's own
 * failures give 0. */
ORVIX_API int Orvix_LastErrorNumber(void);
/* Number of frames delivered since the last Cam_CameraCaptureStart. */
ORVIX_API long Orvix_FramesDelivered(void);
/* The page outline drawn on the last preview frame, for callers that need to
 * know where the page lies (a hand over it breaks the outline). 1 with a page
 * seen: `corners` gets its four corners as x0,y0 .. x3,y3 in the pixels of a
 * `*width` x `*height` frame; 0 when the outline is drawn but finds no page;
 * ORVIX_E_STATE when no outline is drawn (cropping off or no capture). */
ORVIX_API int Orvix_PreviewOutline(double *corners, int *width, int *height);
/* Cam_readBufFromJpegBuf with a size wish, for thumbnails: when `wantWidth`
 * or `wantHeight` is positive the picture may come back smaller, but its long
 * side still reaches the wish's long side (an embedded preview of the same
 * shape, or the page scaled by n/8). A wish of 0 x 0, or one above the
 * picture's size, gives the whole picture. Outputs, results and the release
 * of `*rgb` (delete[]) are those of Cam_readBufFromJpegBuf, whose `*width`
 * and `*height` are outputs only. */
ORVIX_API int Orvix_ReadBufFromJpegBufScaled(const unsigned char *jpeg, long size, long wantWidth,
                                             long wantHeight, long *width, long *height,
                                             unsigned char **rgb);

/* Flag of Orvix_CameraCaptureNewFile: the file is readable by its owner
 * only (0600), whatever the umask. */
#define ORVIX_FILE_PRIVATE 1
/* Cam_CameraCaptureFile that never replaces a file. When `path` exists, or
 * appears while the picture is written, and its file name is a 17-digit stamp
 * with a suffix, the next free stamp in that folder is used; `usedPath` (of
 * `usedSize` bytes, more than strlen(path)) receives the path written.
 * Returns ORVIX_OK, ORVIX_E_ARGUMENT (a null or empty path, a null or short
 * usedPath, unknown flags), ORVIX_E_IO (a name that is not a stamp is taken,
 * or the file could not be written) or the capture's codes of
 * Cam_CameraCaptureFile. On failure `usedPath` holds an empty string. */
ORVIX_API int Orvix_CameraCaptureNewFile(long reserved, const char *path, IMAGEPARAM param, int flags,
                                         char *usedPath, long usedSize);

/* Book mode's capture, otherwise as Orvix_CameraCaptureNewFile: the still
 * is turned by param.nRotate, the open book in it is found (whatever
 * Cam_SetAutoCrop says), split at its gutter, and each page flattened, its
 * gutter shadow evened and its outer margin cleaned of the fingers that hold
 * it, then optimised and watermarked as `param` says. The left page goes to
 * `path` (or the next free stamp), the right page under the next free stamp
 * after the left's. A single sheet gives one page, cropped. `leftPath` and
 * `rightPath` (each of `pathSize` bytes, more than strlen(path)) receive the
 * paths written, `rightPath` an empty string for one page; `*pageCount` gets
 * 1 or 2. Returns ORVIX_OK, ORVIX_E_ARGUMENT or the codes of
 * Orvix_CameraCaptureNewFile; on failure no page is left on disk, both
 * paths are empty strings and `*pageCount` is 0. */
ORVIX_API int Orvix_CameraCaptureBookFiles(long reserved, const char *path, IMAGEPARAM param, int flags,
                                           char *leftPath, char *rightPath, long pathSize, int *pageCount);

#ifdef __cplusplus
}
#endif

#endif
