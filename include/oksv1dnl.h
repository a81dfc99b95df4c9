/* OKSV1DnL, the bulk camera access library: the camera's stored items over
 * bulk transfers.
 *
 * Every function but BULK_Init and BULK_UseCameraMemory takes the connection
 * handle first. Unless stated otherwise a function returns non-zero on
 * success and 0 on failure, and BULK_GetErrCode tells why.
 *
 * The library reaches the camera through a backend: the simulated camera in
 * this process (the default), or a camera memory image file (see the
 * README) named by the environment variable KSV_CAMERA_MEMORY or by
 * BULK_UseCameraMemory. One camera serves all connections of a process, so
 * items erased through one connection are gone for the others; a memory
 * image file itself is never changed. */
#ifndef KSV_INCLUDE_OKSV1DNL_H
#define KSV_INCLUDE_OKSV1DNL_H

#include <stdint.h>

#include "ksv_export.h"
#include "win32_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A connection; 0 means none. */
typedef intptr_t BULK_HANDLE;

/* Error codes of BULK_GetErrCode. */
#define BULK_ERR_NONE 0
#define BULK_ERR_NO_CONNECTION 1    /* the handle is not an open connection */
#define BULK_ERR_BAD_ARGUMENT 2     /* null buffer or callback, unknown item type */
#define BULK_ERR_NO_SUCH_ITEM 3     /* item index out of range; nothing to erase */
#define BULK_ERR_BUFFER_TOO_SMALL 4 /* the item is larger than the buffer */
#define BULK_ERR_NO_SUCH_TABLE 5    /* the camera has no such quantisation table */
#define BULK_ERR_NO_MEMORY_IMAGE 6  /* the memory image file cannot be read */
#define BULK_ERR_BAD_MEMORY_IMAGE 7 /* truncated, impossible sizes, unknown tags */
#define BULK_ERR_REGISTRY 8         /* the registry could not be written */
#define BULK_ERR_OUT_OF_MEMORY 9
#define BULK_ERR_NO_CAMERA 10        /* no camera is plugged in (and no memory image is chosen) */

/* Item types of BULK_GetImgCount_2. */
#define BULK_TYPE_HQ_PICTURES 1
#define BULK_TYPE_LQ_PICTURES 2
#define BULK_TYPE_CLIPS 3
#define BULK_TYPE_LORES_CLIPS 4
#define BULK_TYPE_BURSTS 18

/* Results of BULK_GetAllImgs. */
#define BULK_STREAM_DONE 0
#define BULK_STREAM_STOPPED (-15) /* the callback answered non-zero */
#define BULK_STREAM_NO_CONNECTION (-1)
#define BULK_STREAM_BAD_ARGUMENT (-2)
#define BULK_STREAM_OUT_OF_MEMORY (-3)

/* Sizes of the fixed buffers. */
#define BULK_QTABLE_BYTES 128
#define BULK_JPEG_HEADER_BYTES 623
#define BULK_VERSION_TEXT_BYTES 256

/* Called with the caller's context, the size of the whole stream, and the
 * next `length` bytes of it (a multiple of 64). Answers 0 to go on, non-zero
 * to stop. */
typedef int (*BULK_STREAM_CALLBACK)(intptr_t context, DWORD streamSize, const BYTE* bytes,
                                    DWORD length);

/* Opens a connection to the camera: 0 when there is none (the memory image
 * cannot be read or is bad; BULK_GetErrCode(0) tells which). While any
 * connection of the process is open the driver's registry value "BulkMode"
 * is 1, keeping the video stream closed; it is set to 0 when the last one
 * closes. */
KSV_EXPORT BULK_HANDLE BULK_Init(void);
/* Closes the connection. */
KSV_EXPORT int BULK_Reset(BULK_HANDLE handle);

/* The number of stored items, as the per-item functions count them. */
KSV_EXPORT int BULK_GetImgCount(BULK_HANDLE handle);
/* The number of items of one type (BULK_TYPE_...). */
KSV_EXPORT int BULK_GetImgCount_2(BULK_HANDLE handle, int type);
/* BULK_ERR_NONE when the connection's last call succeeded. For 0 or an
 * unknown handle: the calling thread's last failure without a connection. */
KSV_EXPORT int BULK_GetErrCode(BULK_HANDLE handle);

/* The size in bytes of item `index` (from 0) in its per-item form. */
KSV_EXPORT int BULK_GetNthSize(BULK_HANDLE handle, int index);
/* Copies item `index` in its per-item form (its 64-byte header first) into
 * `buffer` of `bufferSize` bytes. */
KSV_EXPORT int BULK_GetNthDSC(BULK_HANDLE handle, int index, int bufferSize, BYTE* buffer);

/* The 128 bytes of quantisation table `tableIndex`: 64 luminance then 64
 * chrominance entries, natural order. */
KSV_EXPORT int BULK_GetQtable(BULK_HANDLE handle, int tableIndex, BYTE* table);
/* The 623-byte JPEG header (SOI up to and including SOS) for pictures
 * stored with table `tableIndex`. Byte 10 is the zero that ends "JFIF". */
KSV_EXPORT int BULK_GetJPEGHeader(BULK_HANDLE handle, int tableIndex, BYTE* header);
/* The same for 4:2:0 pictures; the camera stores every picture 4:2:0, so
 * both give the same header. */
KSV_EXPORT int BULK_GetJPEGHeader_420(BULK_HANDLE handle, int tableIndex, BYTE* header);

/* Streams every stored item, each a 64-byte header and its data, through
 * `callback` in deliveries of at most 16 KiB. BULK_STREAM_DONE when all
 * were delivered (at once when nothing is stored), BULK_STREAM_STOPPED when
 * the callback stopped it, another negative value on failure. The callback
 * may call the other functions of the library. */
KSV_EXPORT int BULK_GetAllImgs(BULK_HANDLE handle, intptr_t context, BULK_STREAM_CALLBACK callback);

/* Erases every stored item, or the newest one. */
KSV_EXPORT int BULK_ClearCamera(BULK_HANDLE handle);
KSV_EXPORT int BULK_ClearLastOne(BULK_HANDLE handle);

/* Writes the camera's firmware, sensor or controller chip version text,
 * zero-terminated, into `text` (at least 256 bytes). */
KSV_EXPORT int BULK_GetFWVer(BULK_HANDLE handle, char* text);
KSV_EXPORT int BULK_GetSensorVer(BULK_HANDLE handle, char* text);
KSV_EXPORT int BULK_GetAsicVer(BULK_HANDLE handle, char* text);

/* Writes a REG_DWORD or REG_SZ value `name` under the camera driver's key
 * "Software\Tarvio\KSV Drivers\" of the machine registry. */
KSV_EXPORT int BULK_WriteDriverRegistryDword(BULK_HANDLE handle, const char* name, DWORD value);
KSV_EXPORT int BULK_WriteDriverRegistryString(BULK_HANDLE handle, const char* name, const char* text);

/* Chooses the camera of later BULK_Init calls: the memory image file at
 * `path`; with a null `path` the one KSV_CAMERA_MEMORY names, else the
 * simulated camera. Either way the next connection finds the memory whole
 * again, whatever was erased before; connections already open keep their
 * camera. Returns 1. */
KSV_EXPORT int BULK_UseCameraMemory(const char* path);

#ifdef __cplusplus
}
#endif

#endif /* KSV_INCLUDE_OKSV1DNL_H */
