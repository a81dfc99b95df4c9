/* OKSV1Dld, the still-image download library: copies everything the camera
 * stores into a folder (pictures named HQ0.JPG, WQ0.JPG, Burst0.JPG ...,
 * clips Clip0.AVI ..., each kind counted from 0) while a small progress
 * window shows the file in progress, and keeps the folders of the
 * still-image service's pictures. Its texts come from "OKSV1Dld.LOC" beside
 * the library (section LOCALIZE_STR), else English.
 *
 * The calls run on the caller's thread and block it until they are done. */
#ifndef KSV_INCLUDE_OKSV1DLD_H
#define KSV_INCLUDE_OKSV1DLD_H

#include <stdint.h>

#include "ksv_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Copies the camera's items into `folder` (made when missing), when the
 * DWORD value "DriverStatus" under the machine key `key` (the driver's key
 * "Software\\Tarvio\\KSV Drivers\\") says the camera is ready (3 or 7);
 * otherwise a message box says the camera is in use (5) or absent (any
 * other value, a missing one too) and nothing is written. With `convert`
 * non-zero every picture becomes a Windows bitmap file (HQ0.BMP) and its
 * JPEG file is deleted; clips stay AVI files. An item that cannot be
 * written is skipped and the copy goes on. 1 when every item was copied;
 * 0 otherwise (files already written stay). */
KSV_EXPORT int32_t KXWIADLD_Download(const char* key, const char* folder, int32_t convert);

/* Makes every missing folder along `path`. 1 when they all exist now; 0 for
 * a null or empty path, or when a level can be neither found writable nor
 * made. */
KSV_EXPORT int32_t KXWIADLD_CreatePath(const char* path);

/* In each folder directly in `root`: deletes the files with the extension
 * `extension` (with its dot, compared without case); then, when no ".bmp"
 * file is left there, deletes its other files and the folder itself. Files
 * directly in `root` stay. 1; 0 when memory runs out. */
KSV_EXPORT int32_t KXWIADLD_CleanFolder(const char* root, const char* extension);

#ifdef __cplusplus
}  /* extern "C" */
#endif

#endif /* KSV_INCLUDE_OKSV1DLD_H */
