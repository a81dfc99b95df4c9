/* ClipMend, the AVI fix library: re-saves an AVI file through the AVIFile
 * services so that it plays under the media control interface's AVI player:
 * the video from its first frame to its last (a lead-in before the first
 * key frame re-encoded so the file starts on a key frame), the sound of
 * that stretch, interleaved, with a legacy idx1 index and a main header
 * counted afresh.
 *
 * The source is replaced only after a complete save: on every failure it
 * is left byte for byte as it was and no work file remains. One fix runs
 * at a time in a process; a second caller waits for the first. */
#ifndef KSV_INCLUDE_CLIPMEND_H
#define KSV_INCLUDE_CLIPMEND_H

#include <stdint.h>

#include "ksv_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The results of both exports: HRESULT values. */
typedef int32_t FixResult;
#ifdef __cplusplus
#define CLIPMEND_RESULT(value) static_cast<FixResult>(value##u)
#else
#define CLIPMEND_RESULT(value) ((FixResult)value##u)
#endif
#define FIXAVI_OK CLIPMEND_RESULT(0)
/* The file could not be opened or described: missing, unreadable, not an
 * AVI file, no video stream, or video no decoder reads. */
#define FIXAVI_E_CANNOT_OPEN CLIPMEND_RESULT(0x80070057)
/* The video stream holds no frames. */
#define FIXAVI_E_NO_FRAMES CLIPMEND_RESULT(0x800405D2)
/* The save failed and the target's file system has less than 128 KiB free
 * (or a file exception, see FixAVICopyForMCIControl). */
#define FIXAVI_E_DISK_FULL CLIPMEND_RESULT(0x800405D3)
/* Out of memory. */
#define FIXAVI_E_OUT_OF_MEMORY CLIPMEND_RESULT(0x8007000E)
/* Any other failure: a target that is read-only, a folder, or cannot be
 * moved; a save that failed or was cancelled; a fix started from inside a
 * fix's progress routine. */
#define FIXAVI_E_FAILED CLIPMEND_RESULT(0x80004005)
/* The in-place fix moved the source to a test name in its folder
 * ("AVM<hex>.TMP") and could not move it back: the file is whole, under
 * that name. (HRESULT of ERROR_FILE_NOT_FOUND: it is not at its path.) */
#define FIXAVI_E_SOURCE_MOVED CLIPMEND_RESULT(0x80070002)

/* Called with the save's progress, 0 to 100 over all its passes. Answers 1
 * to go on; any other answer cancels the save (the fix then fails and
 * leaves the source as it was). May be null: the save just goes on. */
typedef int (*FixAVIProgress)(int percent);

/* Rewrites the AVI file at `path` in place: the new file is written beside
 * it under a temporary name and moved over it once whole. */
KSV_EXPORT FixResult FixAVIForMCIControl(const char* path, FixAVIProgress progress);

/* Writes the rewritten form of the AVI file at `sourcePath` to `targetPath`
 * (in place when both name the same file). An existing different target is
 * replaced, unless it is read-only (FIXAVI_E_FAILED, as when it cannot be
 * deleted). Out of memory gives FIXAVI_E_OUT_OF_MEMORY and a failed file
 * operation FIXAVI_E_DISK_FULL. */
KSV_EXPORT FixResult FixAVICopyForMCIControl(const char* sourcePath, const char* targetPath,
                                             FixAVIProgress progress);

#ifdef __cplusplus
}
#endif

#endif /* KSV_INCLUDE_CLIPMEND_H */
