// The AVI file services (Video for Windows' AVIFile): open an AVI file, read
// its streams sample by sample, decode its video frames, cut, copy and paste
// stream ranges in memory, and save streams into a new AVI file.
//
// The calls, structures, constants and error codes carry the platform's
// documented names and values. Files and streams are reference-counted
// handles (PAVIFILE, PAVISTREAM): each call that hands one out adds a
// reference the caller gives back with AVIFileRelease / AVIStreamRelease.
// A stream keeps its file alive; a stream from an edit call keeps the
// streams it was made from alive.
//
// Layout: AVIFILEINFOA (108 bytes) and AVISTREAMINFOA (140 bytes) hold no
// pointer and match the documented layout byte for byte. AVICOMPRESSOPTIONS
// holds two pointers: 44 bytes on the documented 32-bit platform, 56 here
// (lpFormat and lpParms widen to 8 bytes, each followed by padding so that
// the next pointer is aligned); the field order and meaning are unchanged.
//
// Results are HRESULTs: AVIERR_OK (0) or one of the AVIERR_ codes below.
#pragma once

#include "include/ksv_export.h"
#include "include/win32_types.h"
#include "platform/com/com_types.h"
#include "platform/com/guid.h"
#include "platform/com/hresult.h"

/* Opaque handles. */
struct IAVIFile;
struct IAVIStream;
struct IGetFrame;
typedef IAVIFile* PAVIFILE;
typedef IAVIStream* PAVISTREAM;
typedef IGetFrame* PGETFRAME;

/* ------------------------------------------------------------------ */
/* Error codes: severity error, facility ITF (4), code 0x4000 + n.     */

#define KSV_MAKE_AVIERR(n) static_cast<HRESULT>(0x80044000u + (n))
inline constexpr HRESULT AVIERR_OK = 0;
inline constexpr HRESULT AVIERR_UNSUPPORTED = KSV_MAKE_AVIERR(101);   /* 0x80044065 */
inline constexpr HRESULT AVIERR_BADFORMAT = KSV_MAKE_AVIERR(102);     /* 0x80044066 */
inline constexpr HRESULT AVIERR_MEMORY = KSV_MAKE_AVIERR(103);        /* 0x80044067 */
inline constexpr HRESULT AVIERR_INTERNAL = KSV_MAKE_AVIERR(104);      /* 0x80044068 */
inline constexpr HRESULT AVIERR_BADFLAGS = KSV_MAKE_AVIERR(105);      /* 0x80044069 */
inline constexpr HRESULT AVIERR_BADPARAM = KSV_MAKE_AVIERR(106);      /* 0x8004406A */
inline constexpr HRESULT AVIERR_BADSIZE = KSV_MAKE_AVIERR(107);       /* 0x8004406B */
inline constexpr HRESULT AVIERR_BADHANDLE = KSV_MAKE_AVIERR(108);     /* 0x8004406C */
inline constexpr HRESULT AVIERR_FILEREAD = KSV_MAKE_AVIERR(109);      /* 0x8004406D */
inline constexpr HRESULT AVIERR_FILEWRITE = KSV_MAKE_AVIERR(110);     /* 0x8004406E */
inline constexpr HRESULT AVIERR_FILEOPEN = KSV_MAKE_AVIERR(111);      /* 0x8004406F */
inline constexpr HRESULT AVIERR_COMPRESSOR = KSV_MAKE_AVIERR(112);    /* 0x80044070 */
inline constexpr HRESULT AVIERR_NOCOMPRESSOR = KSV_MAKE_AVIERR(113);  /* 0x80044071 */
inline constexpr HRESULT AVIERR_READONLY = KSV_MAKE_AVIERR(114);      /* 0x80044072 */
inline constexpr HRESULT AVIERR_NODATA = KSV_MAKE_AVIERR(115);        /* 0x80044073 */
inline constexpr HRESULT AVIERR_BUFFERTOOSMALL = KSV_MAKE_AVIERR(116);/* 0x80044074 */
inline constexpr HRESULT AVIERR_CANTCOMPRESS = KSV_MAKE_AVIERR(117);  /* 0x80044075 */
inline constexpr HRESULT AVIERR_USERABORT = KSV_MAKE_AVIERR(198);     /* 0x800440C6 */
inline constexpr HRESULT AVIERR_ERROR = KSV_MAKE_AVIERR(199);         /* 0x800440C7 */

/* ------------------------------------------------------------------ */
/* Constants.                                                          */

/* Four-character codes, first character in the low byte. */
#define KSV_AVI_FOURCC(a, b, c, d)                                              \
  (static_cast<DWORD>(static_cast<BYTE>(a)) | static_cast<DWORD>(static_cast<BYTE>(b)) << 8 | \
   static_cast<DWORD>(static_cast<BYTE>(c)) << 16 | static_cast<DWORD>(static_cast<BYTE>(d)) << 24)
inline constexpr DWORD streamtypeVIDEO = KSV_AVI_FOURCC('v', 'i', 'd', 's');
inline constexpr DWORD streamtypeAUDIO = KSV_AVI_FOURCC('a', 'u', 'd', 's');
inline constexpr DWORD streamtypeMIDI = KSV_AVI_FOURCC('m', 'i', 'd', 's');
inline constexpr DWORD streamtypeTEXT = KSV_AVI_FOURCC('t', 'x', 't', 's');

/* AVIFileOpenA modes (the OpenFile flags). */
inline constexpr UINT OF_READ = 0x0000;
inline constexpr UINT OF_WRITE = 0x0001;
inline constexpr UINT OF_READWRITE = 0x0002;
inline constexpr UINT OF_SHARE_EXCLUSIVE = 0x0010;
inline constexpr UINT OF_SHARE_DENY_WRITE = 0x0020;
inline constexpr UINT OF_SHARE_DENY_READ = 0x0030;
inline constexpr UINT OF_SHARE_DENY_NONE = 0x0040;
inline constexpr UINT OF_CREATE = 0x1000;

/* AVIFILEINFOA.dwFlags (as the main header's flags). */
inline constexpr DWORD AVIFILEINFO_HASINDEX = 0x00000010;
inline constexpr DWORD AVIFILEINFO_MUSTUSEINDEX = 0x00000020;
inline constexpr DWORD AVIFILEINFO_ISINTERLEAVED = 0x00000100;
inline constexpr DWORD AVIFILEINFO_WASCAPTUREFILE = 0x00010000;
inline constexpr DWORD AVIFILEINFO_COPYRIGHTED = 0x00020000;
/* AVIFILEINFOA.dwCaps. */
inline constexpr DWORD AVIFILECAPS_CANREAD = 0x00000001;
inline constexpr DWORD AVIFILECAPS_CANWRITE = 0x00000002;
inline constexpr DWORD AVIFILECAPS_ALLKEYFRAMES = 0x00000010;
inline constexpr DWORD AVIFILECAPS_NOCOMPRESSION = 0x00000020;

/* AVISTREAMINFOA.dwFlags. */
inline constexpr DWORD AVISTREAMINFO_DISABLED = 0x00000001;
inline constexpr DWORD AVISTREAMINFO_FORMATCHANGES = 0x00010000;

/* AVIStreamWrite flags. */
inline constexpr DWORD AVIIF_KEYFRAME = 0x00000010;

/* AVIStreamFindSample flags: direction, what to find, what to return. */
inline constexpr LONG FIND_DIR = 0x0000000F;
inline constexpr LONG FIND_NEXT = 0x00000001;
inline constexpr LONG FIND_PREV = 0x00000004;
inline constexpr LONG FIND_FROM_START = 0x00000008;
inline constexpr LONG FIND_TYPE = 0x000000F0;
inline constexpr LONG FIND_KEY = 0x00000010;
inline constexpr LONG FIND_ANY = 0x00000020;
inline constexpr LONG FIND_FORMAT = 0x00000040;
inline constexpr LONG FIND_RET = 0x0000F000;
inline constexpr LONG FIND_POS = 0x00000000;
inline constexpr LONG FIND_LENGTH = 0x00001000;
inline constexpr LONG FIND_OFFSET = 0x00002000;
inline constexpr LONG FIND_SIZE = 0x00003000;
inline constexpr LONG FIND_INDEX = 0x00004000;

/* AVIStreamRead: let the stream choose how many samples. */
inline constexpr LONG AVISTREAMREAD_CONVENIENT = -1;

/* AVICOMPRESSOPTIONS.dwFlags. */
inline constexpr DWORD AVICOMPRESSF_INTERLEAVE = 0x00000001;
inline constexpr DWORD AVICOMPRESSF_DATARATE = 0x00000002;
inline constexpr DWORD AVICOMPRESSF_KEYFRAMES = 0x00000004;
inline constexpr DWORD AVICOMPRESSF_VALID = 0x00000008;

/* AVIStreamGetFrameOpen: ask for the best format for the display. */
#define AVIGETFRAMEF_BESTDISPLAYFMT 1

/* ------------------------------------------------------------------ */
/* Structures.                                                         */

/* What a file holds: 108 bytes. */
typedef struct _AVIFILEINFOA {
  DWORD dwMaxBytesPerSec;
  DWORD dwFlags; /* AVIFILEINFO_ */
  DWORD dwCaps;  /* AVIFILECAPS_ */
  DWORD dwStreams;
  DWORD dwSuggestedBufferSize;
  DWORD dwWidth;
  DWORD dwHeight;
  DWORD dwScale; /* dwRate / dwScale = frames per second */
  DWORD dwRate;
  DWORD dwLength; /* in dwScale units: frames of the file */
  DWORD dwEditCount;
  char szFileType[64];
} AVIFILEINFOA, *LPAVIFILEINFOA;

/* What a stream holds (its strh, its name and counters): 140 bytes. */
typedef struct _AVISTREAMINFOA {
  DWORD fccType;    /* streamtypeVIDEO, streamtypeAUDIO ... */
  DWORD fccHandler; /* the codec's four-character code */
  DWORD dwFlags;    /* AVISTREAMINFO_ */
  DWORD dwCaps;
  WORD wPriority;
  WORD wLanguage;
  DWORD dwScale; /* dwRate / dwScale = samples per second */
  DWORD dwRate;
  DWORD dwStart;  /* first sample */
  DWORD dwLength; /* samples */
  DWORD dwInitialFrames;
  DWORD dwSuggestedBufferSize;
  DWORD dwQuality; /* 0 to 10,000; 0xFFFFFFFF: default */
  DWORD dwSampleSize; /* 0: samples vary in size (one chunk each) */
  RECT rcFrame;
  DWORD dwEditCount;
  DWORD dwFormatChangeCount;
  char szName[64];
} AVISTREAMINFOA, *LPAVISTREAMINFOA;

/* How AVISaveA writes one stream. 44 bytes documented, 56 here (pointers). */
typedef struct {
  DWORD fccType;
  DWORD fccHandler;       /* compressor; 0 or the stream's own: as it is */
  DWORD dwKeyFrameEvery;  /* with AVICOMPRESSF_KEYFRAMES */
  DWORD dwQuality;        /* 0 to 10,000 */
  DWORD dwBytesPerSecond; /* with AVICOMPRESSF_DATARATE */
  DWORD dwFlags;          /* AVICOMPRESSF_ */
  LPVOID lpFormat;        /* audio: the format to save in (optional) */
  DWORD cbFormat;
  LPVOID lpParms;  /* compressor state (unused here) */
  DWORD cbParms;
  DWORD dwInterleaveEvery; /* with AVICOMPRESSF_INTERLEAVE */
} AVICOMPRESSOPTIONS, *LPAVICOMPRESSOPTIONS;

#ifdef __cplusplus
static_assert(sizeof(AVIFILEINFOA) == 108, "AVIFILEINFOA must be 108 bytes");
static_assert(sizeof(AVISTREAMINFOA) == 140, "AVISTREAMINFOA must be 140 bytes");
static_assert(sizeof(AVICOMPRESSOPTIONS) == (sizeof(void*) == 4 ? 44 : 56),
              "AVICOMPRESSOPTIONS: 44 bytes with 32-bit pointers, 56 with 64-bit");
#endif

/* AVISaveA's progress routine: the percentage done; non-zero stops the
 * save (which then fails with AVIERR_USERABORT). */
typedef BOOL (*AVISAVECALLBACK)(int percent);

extern "C" {

/* ------------------------------------------------------------------ */
/* The library. Init and Exit pair up (counted); Exit after the last    */
/* Init does not close handles still held.                              */
KSV_EXPORT void AVIFileInit(void);
KSV_EXPORT void AVIFileExit(void);

/* ------------------------------------------------------------------ */
/* Files.                                                              */

/* Opens `file`. mode OF_READ (default) reads an existing file: it fails
 * with AVIERR_FILEOPEN when it cannot be opened, AVIERR_FILEREAD when it
 * is empty or cut short before its headers, AVIERR_BADFORMAT when it is
 * not a readable AVI (no stream, a stream with a zero rate or scale ...).
 * OF_WRITE | OF_CREATE makes a new, empty file to which streams are added
 * with AVIFileCreateStreamA and written with AVIStreamWrite; the file is
 * written when its last reference is released. `handler` must be null:
 * only the default AVI handler exists (else AVIERR_UNSUPPORTED). */
KSV_EXPORT HRESULT AVIFileOpenA(PAVIFILE* ppfile, const char* file, UINT mode,
                                CLSID* handler);
KSV_EXPORT ULONG AVIFileAddRef(PAVIFILE pfile);
KSV_EXPORT ULONG AVIFileRelease(PAVIFILE pfile);
/* Copies min(size, 108) bytes of the file's information. */
KSV_EXPORT HRESULT AVIFileInfoA(PAVIFILE pfile, LPAVIFILEINFOA info, LONG size);
/* The `index`-th stream of type `type` (0: of any type); AVIERR_NODATA
 * when there is none. */
KSV_EXPORT HRESULT AVIFileGetStream(PAVIFILE pfile, PAVISTREAM* ppstream, DWORD type,
                                    LONG index);
/* Adds a stream to a file opened for writing (AVIERR_READONLY else). */
KSV_EXPORT HRESULT AVIFileCreateStreamA(PAVIFILE pfile, PAVISTREAM* ppstream,
                                        LPAVISTREAMINFOA info);

/* ------------------------------------------------------------------ */
/* Streams.                                                            */
KSV_EXPORT ULONG AVIStreamAddRef(PAVISTREAM pstream);
KSV_EXPORT ULONG AVIStreamRelease(PAVISTREAM pstream);
/* Copies min(size, 140) bytes of the stream's information. */
KSV_EXPORT HRESULT AVIStreamInfoA(PAVISTREAM pstream, LPAVISTREAMINFOA info, LONG size);
/* The stream's format (its strf, as stored) at sample `pos`. A null
 * `format` puts the size into *formatSize; else up to *formatSize bytes
 * are copied and *formatSize becomes the bytes copied. */
KSV_EXPORT HRESULT AVIStreamReadFormat(PAVISTREAM pstream, LONG pos, LPVOID format,
                                       LONG* formatSize);
/* Sets the format of a stream being written (before its first sample). */
KSV_EXPORT HRESULT AVIStreamSetFormat(PAVISTREAM pstream, LONG pos, LPVOID format,
                                      LONG formatSize);
/* Reads `samples` samples from `start` (AVISTREAMREAD_CONVENIENT: one
 * chunk's worth). A null buffer asks for the size only. For a stream whose
 * samples vary in size (video) one sample is read at a time. Fails with
 * AVIERR_BUFFERTOOSMALL when not even one sample fits, AVIERR_BADPARAM for
 * a position outside the stream, AVIERR_FILEREAD when the data is not in
 * the file. */
KSV_EXPORT HRESULT AVIStreamRead(PAVISTREAM pstream, LONG start, LONG samples,
                                 LPVOID buffer, LONG bufferSize, LONG* bytesRead,
                                 LONG* samplesRead);
/* Appends samples to a stream being written; `flags` AVIIF_KEYFRAME
 * marks a key frame. `start` must be the stream's current end. */
KSV_EXPORT HRESULT AVIStreamWrite(PAVISTREAM pstream, LONG start, LONG samples,
                                  LPVOID buffer, LONG bufferSize, DWORD flags,
                                  LONG* samplesWritten, LONG* bytesWritten);
/* First sample, and the number of samples (-1 for a bad handle). */
KSV_EXPORT LONG AVIStreamStart(PAVISTREAM pstream);
KSV_EXPORT LONG AVIStreamLength(PAVISTREAM pstream);
/* Searches from `pos` (FIND_NEXT / FIND_PREV, FIND_KEY / FIND_ANY /
 * FIND_FORMAT); returns the position found, or -1. FIND_PREV includes pos
 * itself. */
KSV_EXPORT LONG AVIStreamFindSample(PAVISTREAM pstream, LONG pos, LONG flags);
/* Sample number <-> milliseconds from the stream's rate and scale (-1 for
 * a bad handle). */
KSV_EXPORT LONG AVIStreamSampleToTime(PAVISTREAM pstream, LONG sample);
KSV_EXPORT LONG AVIStreamTimeToSample(PAVISTREAM pstream, LONG time);

/* Frame decoding: packed device-independent bitmaps (header, then the
 * pixels). `wanted` null or AVIGETFRAMEF_BESTDISPLAYFMT: 24-bit RGB at the
 * stream's size; else its biBitCount (24 or 32, BI_RGB) is honoured. Null
 * when the stream is not video or no decoder reads its handler. The bitmap
 * AVIStreamGetFrame returns belongs to the decoder and lives until its next
 * call or AVIStreamGetFrameClose; null when the frame cannot be read or
 * decoded. */
KSV_EXPORT PGETFRAME AVIStreamGetFrameOpen(PAVISTREAM pstream, BITMAPINFOHEADER* wanted);
KSV_EXPORT LPVOID AVIStreamGetFrame(PGETFRAME getFrame, LONG pos);
KSV_EXPORT HRESULT AVIStreamGetFrameClose(PGETFRAME getFrame);

/* ------------------------------------------------------------------ */
/* Edit streams: lists of ranges of other streams, edited in memory.    */

/* An editable stream that reads as `source` does. */
KSV_EXPORT HRESULT CreateEditableStream(PAVISTREAM* ppeditable, PAVISTREAM source);
/* Copy / cut [*start, *start + *length) of an editable stream into a new
 * editable stream (*result); *start and *length receive the range done
 * (clamped to the stream). Cut also removes the range from `pstream`. */
KSV_EXPORT HRESULT EditStreamCopy(PAVISTREAM pstream, LONG* start, LONG* length,
                                  PAVISTREAM* result);
KSV_EXPORT HRESULT EditStreamCut(PAVISTREAM pstream, LONG* start, LONG* length,
                                 PAVISTREAM* result);
/* Inserts `length` samples of `source` from `sourceStart` (-1: all of it)
 * into editable stream `pstream` at *pos; *pos and *pastedLength receive
 * where and how much. The source must have the stream's type and format
 * (AVIERR_UNSUPPORTED else). */
KSV_EXPORT HRESULT EditStreamPaste(PAVISTREAM pstream, LONG* pos, LONG* pastedLength,
                                   PAVISTREAM source, LONG sourceStart, LONG length);

/* ------------------------------------------------------------------ */
/* Saving.                                                              */

/* Writes `count` streams into a new AVI file `file`: the variadic form
 * takes the first stream and its options, then (PAVISTREAM,
 * LPAVICOMPRESSOPTIONS) pairs for the others. The file has an idx1 index,
 * its streams interleaved, and its main header (frame count, rate,
 * suggested buffer size) made from its video stream. Options per stream:
 * null or no AVICOMPRESSF_VALID copies the stream as it is. With
 * AVICOMPRESSF_VALID a video stream is decoded and compressed again when
 * the options set AVICOMPRESSF_KEYFRAMES (a key frame every
 * dwKeyFrameEvery frames; the first frame is always one) or
 * AVICOMPRESSF_DATARATE, or name an fccHandler other than the stream's;
 * the codec is fccHandler, 0 meaning the stream's own, at dwQuality
 * (0..10,000). Otherwise the samples are copied. An audio stream is never
 * converted: an lpFormat must describe the same samples (the same first 16
 * bytes of WAVEFORMATEX, AVIERR_UNSUPPORTED else) and is what the file
 * then stores as the stream's format. The file is written beside the
 * target and renamed over it only once complete: a failed or stopped save
 * leaves no file under `file` and returns its code (AVIERR_USERABORT when
 * the progress routine stops it, AVIERR_FILEWRITE on a write error or a
 * full disk, AVIERR_NOCOMPRESSOR / AVIERR_COMPRESSOR for recompression).
 * `handler` must be null. */
KSV_EXPORT HRESULT AVISaveA(const char* file, CLSID* handler, AVISAVECALLBACK progress,
                            int count, PAVISTREAM stream, LPAVICOMPRESSOPTIONS options,
                            ...);
KSV_EXPORT HRESULT AVISaveVA(const char* file, CLSID* handler, AVISAVECALLBACK progress,
                             int count, PAVISTREAM* streams, LPAVICOMPRESSOPTIONS* options);

}  // extern "C"

/* The documented macros over AVIStreamFindSample and friends. */
inline LONG AVIStreamEnd(PAVISTREAM s) { return AVIStreamStart(s) + AVIStreamLength(s); }
inline LONG AVIStreamNextKeyFrame(PAVISTREAM s, LONG pos) {
  return AVIStreamFindSample(s, pos + 1, FIND_NEXT | FIND_KEY);
}
inline LONG AVIStreamPrevKeyFrame(PAVISTREAM s, LONG pos) {
  return AVIStreamFindSample(s, pos - 1, FIND_PREV | FIND_KEY);
}
inline LONG AVIStreamNearestKeyFrame(PAVISTREAM s, LONG pos) {
  return AVIStreamFindSample(s, pos, FIND_PREV | FIND_KEY);
}
inline bool AVIStreamIsKeyFrame(PAVISTREAM s, LONG pos) {
  return AVIStreamNearestKeyFrame(s, pos) == pos;
}
inline HRESULT AVIStreamFormatSize(PAVISTREAM s, LONG pos, LONG* size) {
  return AVIStreamReadFormat(s, pos, nullptr, size);
}
