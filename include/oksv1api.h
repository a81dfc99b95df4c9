/* OKSV1API, the camera access library: the pictures, bursts, clips and raw
 * recordings stored in the camera's memory, downloaded as files through the
 * bulk library OKSV1DnL, and the camera's and drivers' versions.
 *
 * A context comes from KXCAMAPI_Init or KXCAMAPI_InitKSV and goes back to
 * KXCAMAPI_Reset; every other export but the two driver-version functions
 * takes it first. The library runs on the caller's thread and calls the
 * callbacks from inside the export that triggered them. One download runs at
 * a time in a context. */
#ifndef KSV_INCLUDE_OKSV1API_H
#define KSV_INCLUDE_OKSV1API_H

#include <stdint.h>

#include "ksv_export.h"
#include "win32_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Status codes of the exports (0 success). */
#define KXCAMAPI_OK 0
#define KXCAMAPI_NO_CONTEXT 1          /* null context, missing buffer, no bulk connection */
#define KXCAMAPI_NO_CONNECTION 2       /* counts and clears without a bulk connection */
#define KXCAMAPI_COUNT_HQ_FAILED 3     /* the bulk library failed to count, per type */
#define KXCAMAPI_COUNT_LQ_FAILED 4
#define KXCAMAPI_COUNT_CLIPS_FAILED 5
#define KXCAMAPI_COUNT_LORES_FAILED 6
#define KXCAMAPI_CLEAR_FAILED 7
#define KXCAMAPI_OUT_OF_MEMORY 8
#define KXCAMAPI_CANCELLED 9           /* a callback asked to stop */
#define KXCAMAPI_ITEM_FAILED 10        /* an item's handler failed (per-item download) */
#define KXCAMAPI_FETCH_FAILED 11       /* an item could not be fetched */
#define KXCAMAPI_WRITE_FAILED 12       /* EndItemCallback: the item's file could not be written */
#define KXCAMAPI_COUNT_BURSTS_FAILED 13
#define KXCAMAPI_SAVE_FAILED 14        /* EndItemCallback: a burst picture could not be saved */
#define KXCAMAPI_BAD_STREAM 15         /* the stream holds an impossible item; it was stopped */
#define KXCAMAPI_STREAM_FAILED 20      /* the bulk stream failed */
#define KXCAMAPI_FW_VERSION_FAILED 21
#define KXCAMAPI_SENSOR_VERSION_FAILED 22
#define KXCAMAPI_ASIC_VERSION_FAILED 23
#define KXCAMAPI_INTERNAL_ERROR 0x80000000u
/* EndItemCallback: the disk holding the file has less than 1 MiB free. */
#define KXCAMAPI_DISK_FULL 0x800405D3u
/* EndItemCallback: an item of a kind this library does not convert yet (clips). */
#define KXCAMAPI_NOT_CONVERTED 0x80004001u

/* Item kinds handed to KXCAMAPI_BeginItemCallback. */
#define KXCAMAPI_KIND_CLIP 1            /* per-item download: a clip */
#define KXCAMAPI_KIND_BURST_PICTURE 2   /* one picture of a burst */
#define KXCAMAPI_KIND_HQ_PICTURE 3
#define KXCAMAPI_KIND_LQ_PICTURE 4
#define KXCAMAPI_KIND_RAW 5             /* per-item download: a raw recording */
#define KXCAMAPI_KIND_STREAM_CLIP 6     /* stream: a clip with sound */
#define KXCAMAPI_KIND_STREAM_LORES_CLIP 7

/* Bytes of the path buffer handed to the callbacks. */
#define KXCAMAPI_PATH_BYTES 260

/* Called before each file: the application writes the file's full path (at
 * most 259 characters and a zero) into `path` and may set `*cancel`. */
typedef void (*KXCAMAPI_BeginItemCallback)(intptr_t userData, int kind, char* path,
                                           int32_t* cancel);
/* Called after each file with its status (0 success, else why it failed). */
typedef void (*KXCAMAPI_EndItemCallback)(intptr_t userData, DWORD status, char* path,
                                         int32_t* cancel);

/* Progress of KXCAMAPI_GetAllImgs. */
typedef struct KXCAMAPI_ProgressRecord {
  DWORD storedHqPictures;
  DWORD storedLqPictures;
  DWORD storedClips;
  DWORD storedLoResClips;
  DWORD itemsCompleted;  /* items of the stream received whole so far */
  DWORD overallPercent;  /* 0..100 */
  DWORD itemSize;        /* the current item with its 64-byte header */
  DWORD itemReceived;    /* bytes of the current item received so far */
  DWORD itemPercent;     /* 0..100 */
} KXCAMAPI_ProgressRecord;

/* Called as the stream arrives; non-zero stops the download. */
typedef int (*KXCAMAPI_ProgressCallback)(intptr_t userData, const KXCAMAPI_ProgressRecord* record);

typedef struct CameraContext* KXCAMAPI_HANDLE;

/* Opens the camera: null when `module` or `window` is null, the camera is
 * not there or memory is short. The context works in a folder of its own
 * inside the clip work folder "RM900Clp" beside the module's file (removed
 * again by KXCAMAPI_Reset; the folders of contexts whose process has gone
 * are removed too, those of live contexts never): pass
 * GetModuleHandleA("OKSV1API.DLL") (win32_calls.h) to have it under $KSV_ROOT. KXCAMAPI_InitKSV does the same and turns on KSV
 * mode for every context of the process; KXCAMAPI_Init turns it off. */
KSV_EXPORT KXCAMAPI_HANDLE KXCAMAPI_Init(KXCAMAPI_BeginItemCallback begin, KXCAMAPI_EndItemCallback end,
                              intptr_t userData, HINSTANCE module, HWND window);
KSV_EXPORT KXCAMAPI_HANDLE KXCAMAPI_InitKSV(KXCAMAPI_BeginItemCallback begin, KXCAMAPI_EndItemCallback end,
                                 intptr_t userData, HINSTANCE module, HWND window);
/* Frees the context and everything it owns; 1 for a null context. */
KSV_EXPORT int KXCAMAPI_Reset(KXCAMAPI_HANDLE context);

/* Stored counts; bursts count five pictures each. */
KSV_EXPORT int KXCAMAPI_GetNumHQImg(KXCAMAPI_HANDLE context, int* count);
KSV_EXPORT int KXCAMAPI_GetNumLQImg(KXCAMAPI_HANDLE context, int* count);
KSV_EXPORT int KXCAMAPI_GetNumVdoClip(KXCAMAPI_HANDLE context, int* count);
KSV_EXPORT int KXCAMAPI_GetNumVdoClip_LoRes(KXCAMAPI_HANDLE context, int* count);
KSV_EXPORT int KXCAMAPI_GetNumBurst(KXCAMAPI_HANDLE context, int* count);

/* Erase every stored item, or the newest. */
KSV_EXPORT int KXCAMAPI_ClearCamera(KXCAMAPI_HANDLE context);
KSV_EXPORT int KXCAMAPI_ClearLastOne(KXCAMAPI_HANDLE context);

/* The camera's version texts into `text` (at least 256 bytes). */
KSV_EXPORT int KXCAMAPI_GetFWVer(KXCAMAPI_HANDLE context, char* text);
KSV_EXPORT int KXCAMAPI_GetSensorVer(KXCAMAPI_HANDLE context, char* text);
KSV_EXPORT int KXCAMAPI_GetAsicVer(KXCAMAPI_HANDLE context, char* text);

/* The file version of the video driver OKSV1VID.SYS or the bulk driver
 * OKSV1BLK.SYS in the system folder's system32/drivers, into `text` (at
 * least 256 bytes): 1 with the text, 0 when there is none. */
KSV_EXPORT int KXCAMAPI_GetVideoDriverVer(char* text);
KSV_EXPORT int KXCAMAPI_GetBulkDriverVer(char* text);

/* Writes a value under the camera driver's registry key through the bulk
 * library and gives its result unchanged; 1 for a null context. */
KSV_EXPORT int KXCAMAPI_WriteDriverRegistryDword(KXCAMAPI_HANDLE context, const char* name, DWORD value);
KSV_EXPORT int KXCAMAPI_WriteDriverRegistryString(KXCAMAPI_HANDLE context, const char* name,
                                       const char* text);

/* Stores the audio rate for clips (kept, not used); 1 for a null context. */
KSV_EXPORT int KXCAMAPI_SetAudioUpSampleRate(KXCAMAPI_HANDLE context, DWORD rate);

/* The first frame of the clip just made, as a packed bitmap the caller
 * frees with GlobalFree; null when there is none (always in KSV mode). */
KSV_EXPORT HGLOBAL KXCAMAPI_GetVideoFrame(KXCAMAPI_HANDLE context);

/* Downloads every stored item one at a time: pictures as JPEG files (low
 * quality ones resampled to 320 x 240), each burst picture as a JPEG file
 * of the 320 x 240 decoded frame, raw recordings with each byte rotated
 * right by two bits. Returns a status above. */
KSV_EXPORT int KXCAMAPI_Download(KXCAMAPI_HANDLE context);

/* Downloads the whole memory as one stream: pictures as JPEG files (low
 * quality ones cut to their top-left 160 x 120), burst pictures as with
 * KXCAMAPI_Download, reporting progress to `progress` (may be null).
 * 0 when finished or nothing is stored, 1 without a context, 9 when a
 * callback stopped it, 15 for an impossible stream, 8 out of memory, 20
 * when the bulk stream failed. */
KSV_EXPORT int KXCAMAPI_GetAllImgs(KXCAMAPI_HANDLE context, KXCAMAPI_ProgressCallback progress);

#ifdef __cplusplus
}
#endif

#endif /* KSV_INCLUDE_OKSV1API_H */
