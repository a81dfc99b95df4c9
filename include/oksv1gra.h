/* OKSV1Gra, the media graph library: builds and runs media graphs behind a
 * handle. A client makes one handle per job with QMG_Init, builds one kind of
 * graph on it (live preview of a video capture device, microphone
 * monitoring, capture to AVI or WAV, AVI from frames the client supplies,
 * WAV recompression, merge, split, playback), runs it with QMG_Play,
 * QMG_Pause and QMG_Stop, and frees it with QMG_Reset.
 *
 * Every export is meant for the thread that called QMG_Init: the library
 * makes a hidden child window of the given parent on it, whose 33 ms timer
 * and graph events reach the client's callback while that thread pumps its
 * messages. Unless said otherwise an export returns 1 for success and 0 for
 * failure, and 0 for a null handle or a missing required argument. Strings
 * are zero-terminated ANSI. */
#ifndef KSV_INCLUDE_OKSV1GRA_H
#define KSV_INCLUDE_OKSV1GRA_H

#include <stdint.h>

#include "ksv_export.h"
#include "win32_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The library's handle; its contents are the library's own. */
typedef struct QmgHandle QmgHandle;

/* A video format: width, height and the FOURCC of biCompression (BI_RGB 0
 * for uncompressed RGB). Reported heights are absolute values; a requested
 * height is matched against the capability's biHeight as stored, sign and
 * all. */
typedef struct QmgVideoFormat {
  int32_t width;
  int32_t height;
  uint32_t compression;
} QmgVideoFormat;

/* The client callback, on the QMG_Init thread with the user data given to
 * QMG_SetCallbackProc. The user data is pointer-sized, so it can carry a
 * pointer on a 64-bit platform. */
typedef void (*QmgCallback)(int32_t code, intptr_t userData);
#define QMG_CODE_TICK 0          /* the 33 ms timer */
#define QMG_CODE_TICK_ESCAPE 1   /* the timer, and Escape was pressed since the last tick */
#define QMG_CODE_GRAPH_EVENTS 2  /* graph events arrived and were drained */
#define QMG_CODE_BUILT 3         /* a graph was built */
/* The graph events a client must hear of, each told once, after the events
 * were drained and before code 2: QMG_CODE_GRAPH_EVENT + the event code. */
#define QMG_CODE_GRAPH_EVENT 0x100
#define QMG_CODE_COMPLETE (QMG_CODE_GRAPH_EVENT + 1)     /* EC_COMPLETE: every stream ended */
#define QMG_CODE_ERROR_ABORT (QMG_CODE_GRAPH_EVENT + 3)  /* EC_ERRORABORT: the graph stopped on an error */

/* The frame callback of the image-to-AVI and preview-clip builds: called on
 * the graph's streaming thread once per frame with a buffer of
 * width x height x bitsPerPixel / 8 bytes (a bottom-up bitmap) to fill.
 * Returning 0 says there are no more frames: the stream ends there and the
 * buffer is not used. */
typedef int32_t (*QmgFrameCallback)(BYTE* frame, intptr_t userData);

/* Media states (QMG_GetMediaState). */
#define QMG_STATE_NONE 0     /* nothing built yet, or the last command failed */
#define QMG_STATE_RUNNING 1
#define QMG_STATE_PAUSED 2
#define QMG_STATE_STOPPED 3  /* built, or stopped */

/* The handle and its graph. */
KSV_EXPORT QmgHandle* QMG_Init(HINSTANCE instance, HWND parentWindow);
KSV_EXPORT int32_t QMG_Reset(QmgHandle* handle);
KSV_EXPORT int32_t QMG_SetCallbackProc(QmgHandle* handle, QmgCallback callback, intptr_t userData);
KSV_EXPORT int32_t QMG_SetEventFlag(QmgHandle* handle);
KSV_EXPORT int32_t QMG_GetEventFlag(QmgHandle* handle);  /* 1 until the graph completes */
KSV_EXPORT int32_t QMG_GetMediaState(QmgHandle* handle); /* a QMG_STATE_ value */
KSV_EXPORT int32_t QMG_Play(QmgHandle* handle);
KSV_EXPORT int32_t QMG_Pause(QmgHandle* handle);
KSV_EXPORT int32_t QMG_Stop(QmgHandle* handle);
KSV_EXPORT int32_t QMG_SetViewWnd(QmgHandle* handle, HWND owner, int32_t x, int32_t y, int32_t width,
                                  int32_t height);

/* The names of the installed devices and compressors, listed once per
 * process on first use. The totals return the count; the name getters copy
 * the name and its terminating zero (at most 128 bytes in all, nothing past
 * the zero) and fail before their total was asked for. */
KSV_EXPORT int32_t QMG_GetTotalVideoDevice(void);
KSV_EXPORT int32_t QMG_GetTotalAudioDevice(void);
KSV_EXPORT int32_t QMG_GetTotalVideoCompressor(void);
KSV_EXPORT int32_t QMG_GetTotalAudioCompressor(void);
KSV_EXPORT int32_t QMG_GetVideoDeviceName(int32_t index, char* name);
KSV_EXPORT int32_t QMG_GetAudioDeviceName(int32_t index, char* name);
KSV_EXPORT int32_t QMG_GetVideoCompressorName(int32_t index, char* name);
KSV_EXPORT int32_t QMG_GetAudioCompressorName(int32_t index, char* name);

/* Live graphs. Optional names and formats may be null. */
KSV_EXPORT int32_t QMG_BuildPreview(QmgHandle* handle, const char* deviceName, const QmgVideoFormat* format);
KSV_EXPORT int32_t QMG_BuildPreview_Mic(QmgHandle* handle, const char* audioDeviceName);
KSV_EXPORT int32_t QMG_BuildCaptureVideo(QmgHandle* handle, const char* deviceName, const QmgVideoFormat* format,
                                         const char* videoCompressorName, const char* audioDeviceName,
                                         const char* audioCompressorName, const char* outputAviPath);
KSV_EXPORT int32_t QMG_BuildCaptureAudio(QmgHandle* handle, const char* audioDeviceName,
                                         const char* audioCompressorName, const char* outputWavPath);

/* Formats and settings dialogs of the live graphs. */
KSV_EXPORT int32_t QMG_ChooseAudioFormat(QmgHandle* handle);
KSV_EXPORT int32_t QMG_SetVideoFormat(QmgHandle* handle, int32_t rebuild);
KSV_EXPORT int32_t QMG_GetVideoFormat(QmgHandle* handle, QmgVideoFormat* format);
KSV_EXPORT int32_t QMG_SelectVideoFormat(QmgHandle* handle, QmgVideoFormat* format);
KSV_EXPORT int32_t QMG_CaptureFilterDlg(QmgHandle* handle);

/* The preview's caption, passed through to the caption filter (see
 * caption_control.h for each argument). A caption from QMG_GetVideoCaption
 * is freed with CoTaskMemFree. */
KSV_EXPORT int32_t QMG_GetVideoCaption(QmgHandle* handle, char** caption);
KSV_EXPORT int32_t QMG_SetVideoCaption(QmgHandle* handle, const char* caption);
KSV_EXPORT int32_t QMG_IsVideoCaptioning(QmgHandle* handle, BOOL* on);
KSV_EXPORT int32_t QMG_SetVideoCaptionFont(QmgHandle* handle, LONG height, DWORD colour, DWORD background,
                                           LONG x, LONG y);
KSV_EXPORT int32_t QMG_GetStreamFromVideoText(QmgHandle* handle, const char* text, BYTE* bits, DWORD* size,
                                              BITMAPINFOHEADER* header);

/* Choices for the builds that follow on this handle. */
KSV_EXPORT int32_t QMG_UseVexel5CompressionFilter(QmgHandle* handle, int32_t use);
KSV_EXPORT int32_t QMG_UseScalingFilter(QmgHandle* handle, int32_t use);

/* File building and playback. */
KSV_EXPORT int32_t QMG_BuildImage2AVI(QmgHandle* handle, int32_t width, int32_t height, int32_t bitsPerPixel,
                                      QmgFrameCallback frames, intptr_t userData, const char* outputAviPath,
                                      const char* videoCompressorName);
KSV_EXPORT int32_t QMG_BuildImageWav2AVI(QmgHandle* handle, int32_t width, int32_t height, int32_t bitsPerPixel,
                                         QmgFrameCallback frames, intptr_t userData, const char* outputAviPath,
                                         const char* videoCompressorName, const char* wavPath);
KSV_EXPORT int32_t QMG_BuildPreviewClip(QmgHandle* handle, int32_t width, int32_t height, int32_t bitsPerPixel,
                                        QmgFrameCallback frames, intptr_t userData);
KSV_EXPORT int32_t QMG_AviMaker_MillisecondPerFrame(QmgHandle* handle, int32_t milliseconds);
KSV_EXPORT int32_t QMG_CompressedWAV(QmgHandle* handle, const char* sourcePath, const char* outputWavPath,
                                     const char* audioCompressorName);
KSV_EXPORT int32_t QMG_Merge_AVI_WAV_2_AVI(QmgHandle* handle, const char* aviPath, const char* wavPath,
                                           const char* outputAviPath);
KSV_EXPORT int32_t QMG_BuildAVI2AviWave(QmgHandle* handle, const char* sourcePath, const char* outputAviPath,
                                        const char* outputWavPath, const char* videoCompressorName,
                                        const char* audioCompressorName);
KSV_EXPORT int32_t QMG_BuildPlayMediaFile(QmgHandle* handle, const char* path);
KSV_EXPORT int32_t QMG_SetPlayRate(QmgHandle* handle, double rate);
KSV_EXPORT int32_t QMG_GetPlayRate(QmgHandle* handle, double* rate);

#ifdef __cplusplus
}
#endif

#endif /* KSV_INCLUDE_OKSV1GRA_H */
