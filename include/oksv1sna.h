/* OKSV1Sna, the snapshot conversion library: the raw snapshot file the
 * camera driver writes when a snapshot is taken, made into a packed bitmap. */
#ifndef KSV_INCLUDE_OKSV1SNA_H
#define KSV_INCLUDE_OKSV1SNA_H

#include <stdint.h>

#include "ksv_export.h"
#include "win32_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Status codes of KXSNAPSHOT_RawToFile. */
#define KXSNAPSHOT_OK 0
#define KXSNAPSHOT_REFUSED 1      /* null path or out pointer, or a mode other than 2 */
#define KXSNAPSHOT_CANNOT_OPEN 2  /* missing, unreadable, not a plain file, or a read error */
#define KXSNAPSHOT_NO_SIZE 3      /* the size is unknown or below the 128-byte header */
#define KXSNAPSHOT_NO_BITMAP 4    /* out of memory, or a picture size of 0 or too large */

/* The only mode that converts. */
#define KXSNAPSHOT_MODE_CONVERT 2

/* The largest picture converted: the pixel rows (each padded to 4 bytes)
 * may hold at most this many bytes. */
#define KXSNAPSHOT_MAX_IMAGE_BYTES (16u << 20)

/* Converts the raw snapshot file at `path` into a movable, zero-filled
 * global-memory block holding a packed bitmap: a 40-byte BITMAPINFOHEADER
 * (the width and height from the file, 24 bits a pixel, uncompressed) and
 * the pixel rows as they lie in the file from byte 1024 (B, G, R, bottom row
 * first, each row padded to 4 bytes). The width and height are the 16-bit
 * little-endian numbers at bytes 65 and 67 of the file's 128-byte header.
 *
 * `rawDataType` (the data source's raw type) is accepted and changes
 * nothing. Only `mode` 2 converts. The path is kept as the process's last
 * snapshot path even when the mode refuses.
 *
 * Returns KXSNAPSHOT_OK and the bitmap in `*bitmap`; the caller owns it and
 * frees it with GlobalFree. A file shorter than its header claims still
 * converts: the rows it lacks (the top of the picture) stay black. On
 * KXSNAPSHOT_REFUSED nothing is read and `*bitmap` is untouched; on any other
 * failure `*bitmap` is null. Safe to call from several threads. */
KSV_EXPORT int32_t KXSNAPSHOT_RawToFile(double rawDataType, const char* path, int32_t mode,
                             HGLOBAL* bitmap);

#ifdef __cplusplus
}
#endif

#endif /* KSV_INCLUDE_OKSV1SNA_H */
