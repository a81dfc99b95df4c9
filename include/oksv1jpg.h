/* OKSV1JPG, the camera's JPEG codec library: JPEG files to packed bitmaps
 * and back. */
#ifndef KSV_INCLUDE_OKSV1JPG_H
#define KSV_INCLUDE_OKSV1JPG_H

#include "ksv_export.h"
#include "win32_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Decodes the JPEG file at `path` (baseline or progressive) into a movable
 * global-memory block holding a packed bitmap: a BITMAPINFOHEADER, then for
 * a greyscale picture a 256-entry grey colour table and 8-bit pixels, else
 * 24-bit B, G, R pixels; rows bottom-up, each padded to 4 bytes. The caller
 * owns the block and frees it with GlobalFree. Null when the file cannot be
 * read, is not a JPEG file, is truncated or corrupt, or is larger than
 * 50 million pixels. */
KSV_EXPORT HGLOBAL JPEG_2Dib(const char* path);

/* Writes `width` x `height` 24-bit pixels laid out as packed-bitmap rows
 * (B, G, R; bottom row first; rows padded to 4 bytes) as a JPEG file at
 * `path`, creating or replacing it, at `quality` (1 to 100; values outside
 * are taken as the nearest). Non-zero on success. On failure zero, and the
 * file at `path` is as it was: the new file is written beside it and only
 * moved into place once complete. */
KSV_EXPORT BOOL JPEG_SaveBMPImg(const char* path, int quality, int width, int height, const BYTE* bits);

#ifdef __cplusplus
}
#endif

#endif /* KSV_INCLUDE_OKSV1JPG_H */
