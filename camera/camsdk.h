/*
 * The camera library's C boundary (libOrvix.so.1).
 *
 * Plain C: fixed layouts, results as integers, no exceptions across the line.
 * Every integer argument is a 64-bit `long`; callers widen their ints.
 * Results: ORVIX_OK (0) or a negative ORVIX_E_* code; the application
 * ignores them, tests look at them.
 */
#ifndef QUILLO_CAMERA_CAMSDK_H
#define QUILLO_CAMERA_CAMSDK_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define ORVIX_API __declspec(dllimport)
#else
#define ORVIX_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

enum {
    ORVIX_OK = 0,
    ORVIX_E_ARGUMENT = -1,  /* null pointer, index out of range, bad size */
    ORVIX_E_NODEVICE = -2,  /* no device at that index */
    ORVIX_E_ACCESS = -3,    /* the device cannot be opened with the user's rights */
    ORVIX_E_IO = -4,        /* the device or the file system failed */
    ORVIX_E_DECODE = -5,    /* the bytes are not a JPEG we accept */
    ORVIX_E_NOMEM = -6,     /* an allocation failed or would be absurdly large */
    ORVIX_E_STATE = -7,     /* not initialised, or not capturing when that is needed */
    ORVIX_E_BUSY = -8       /* the device is in use by another program */
};

typedef struct MPoint {
    int32_t x;
    int32_t y;
#ifdef __cplusplus
    MPoint() : x(0), y(0) {}
#endif
} MPoint;

/* The processing record of one capture, passed by value. Layout is fixed:
 * 128 bytes, natural alignment; the gaps carry no data. */
typedef struct IMAGEPARAM {
    int32_t nCropType;        /* 0 none, 1 automatic */
    MPoint mp4[4];            /* corner points; always 0 here */
    bool bIsTextEn;           /* document optimisation */
    int32_t nRotate;          /* degrees, a multiple of 90, any sign or size */
    int32_t nColorType;       /* always 0 */
    bool bIsWater;            /* draw the text watermark */
    bool bIsWaterImage;       /* always false */
    char *szWaterImagePath;   /* always null */
    int32_t x;                /* watermark position; always 0 */
    int32_t y;
    int32_t nR;               /* watermark colour 0-255 */
    int32_t nG;
    int32_t nB;
    int32_t nFont;            /* watermark size; 0 = proportional to the page */
    char *szWaterContent;     /* UTF-8, NUL-terminated, may be null */
    unsigned char *buffer;    /* always null */
    int32_t nWidth;           /* always 0 */
    int32_t nHeight;
    int32_t nSize;
    bool bColorBlance;
    bool bRedEn;
    bool bInverse;
    bool bColorDropOut;
    bool bNoise;
    bool bFillBorder;
    bool bRemoveFinger;
    bool bAutoCampture;
} IMAGEPARAM;

typedef IMAGEPARAM ImageParam;

/* Called once per preview frame on the library's own thread. `data` holds
 * w*h pixels of R,G,B bytes, rows back to back, or is null. */
typedef int (*CamFrameCallback)(void *data, int size, int w, int h, int nFormatType);

ORVIX_API int Cam_Init(void);
ORVIX_API int Cam_GetDevCount(long *count);
/* `name` is a caller-zeroed 256-byte buffer; at most 255 bytes are written. */
ORVIX_API int Cam_GetDevName(long index, char *name);
ORVIX_API int Cam_GetCameraFormatCount(long device, long *count);
/* Format of the device last counted; `name` is a 256-byte buffer. */
ORVIX_API int Cam_GetCameraFormatName(long format, char *name);
ORVIX_API int Cam_GetCameraResolutionCount(long device, long format, long *count);
/* Resolution of the device last counted. */
ORVIX_API int Cam_GetCameraResolutionName(long index, long *width, long *height);
ORVIX_API int Cam_SetCameraResolution(long device, long width, long height);
ORVIX_API int Cam_SetCameraFormat(long device, long format);
ORVIX_API int Cam_CameraCaptureStart(long device, CamFrameCallback callback);
/* Returns only when no callback runs any more; harmless when nothing runs. */
ORVIX_API int Cam_CameraCaptureStop(void);
ORVIX_API int Cam_SetAutoCrop(bool on);
/* Writes the processed page as a JPEG at `path` (UTF-8), atomically. */
ORVIX_API int Cam_CameraCaptureFile(long reserved, const char *path, IMAGEPARAM param);
/* Decodes a whole JPEG file's bytes into a new[]-allocated R,G,B buffer the
 * caller releases with delete[]. On any failure: width = height = 0 and
 * *rgb = null. A positive *width and *height on entry are a size hint: the
 * library may return a smaller picture, at least that large when it can. */
ORVIX_API int Cam_readBufFromJpegBuf(const unsigned char *jpeg, long size, long *width,
                                     long *height, unsigned char **rgb);

#ifdef __cplusplus
}

#include <cstddef>
static_assert(sizeof(MPoint) == 8, "MPoint is two int32");
static_assert(sizeof(IMAGEPARAM) == 128, "IMAGEPARAM crosses the library boundary by value");
static_assert(offsetof(IMAGEPARAM, nCropType) == 0, "layout");
static_assert(offsetof(IMAGEPARAM, mp4) == 4, "layout");
static_assert(offsetof(IMAGEPARAM, bIsTextEn) == 36, "layout");
static_assert(offsetof(IMAGEPARAM, nRotate) == 40, "layout");
static_assert(offsetof(IMAGEPARAM, nColorType) == 44, "layout");
static_assert(offsetof(IMAGEPARAM, bIsWater) == 48, "layout");
static_assert(offsetof(IMAGEPARAM, bIsWaterImage) == 49, "layout");
static_assert(offsetof(IMAGEPARAM, szWaterImagePath) == 56, "layout");
static_assert(offsetof(IMAGEPARAM, x) == 64, "layout");
static_assert(offsetof(IMAGEPARAM, y) == 68, "layout");
static_assert(offsetof(IMAGEPARAM, nR) == 72, "layout");
static_assert(offsetof(IMAGEPARAM, nG) == 76, "layout");
static_assert(offsetof(IMAGEPARAM, nB) == 80, "layout");
static_assert(offsetof(IMAGEPARAM, nFont) == 84, "layout");
static_assert(offsetof(IMAGEPARAM, szWaterContent) == 88, "layout");
static_assert(offsetof(IMAGEPARAM, buffer) == 96, "layout");
static_assert(offsetof(IMAGEPARAM, nWidth) == 104, "layout");
static_assert(offsetof(IMAGEPARAM, nHeight) == 108, "layout");
static_assert(offsetof(IMAGEPARAM, nSize) == 112, "layout");
static_assert(offsetof(IMAGEPARAM, bColorBlance) == 116, "layout");
static_assert(offsetof(IMAGEPARAM, bRedEn) == 117, "layout");
static_assert(offsetof(IMAGEPARAM, bInverse) == 118, "layout");
static_assert(offsetof(IMAGEPARAM, bColorDropOut) == 119, "layout");
static_assert(offsetof(IMAGEPARAM, bNoise) == 120, "layout");
static_assert(offsetof(IMAGEPARAM, bFillBorder) == 121, "layout");
static_assert(offsetof(IMAGEPARAM, bRemoveFinger) == 122, "layout");
static_assert(offsetof(IMAGEPARAM, bAutoCampture) == 123, "layout");
#endif

#endif
