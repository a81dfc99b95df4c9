/* The camera access library's clip sample functions: what the download
 * source filter (Dextro) asks for while the library converts a stored clip
 * through its clip graph. They play the one clip the library has prepared
 * in this process; without one they fail.
 *
 * C++ functions (their exported symbols carry their argument types). The
 * video and audio functions may run at the same time on the two pins'
 * streaming threads; each serves its own stream. */
#ifndef KSV_INCLUDE_OKSV1API_SAMPLES_H
#define KSV_INCLUDE_OKSV1API_SAMPLES_H

#include "ksv_export.h"
#include "win32_types.h"
#include "platform/com/hresult.h"

class CMediaType;
struct IMediaSample;

/* The video stream's type: 24-bit RGB frames of the clip's picture size
 * (160 x 120 for the low-resolution clips), a VIDEOINFO format block,
 * fixed-size samples, 100 ms a frame. The first argument is not used.
 * E_POINTER when no clip is prepared or its first frame cannot be decoded. */
KSV_EXPORT HRESULT DoGetVideoMediaTypeForMe(int unused, CMediaType* type);

/* The audio stream's type: PCM, mono, 8,000 Hz 16-bit or 12,000 Hz 8-bit as
 * the clip was recorded, an 18-byte WAVEFORMATEX. E_FAIL when no clip is
 * prepared. */
KSV_EXPORT HRESULT DoGetAudioMediaTypeForMe(int unused, CMediaType* type);

/* Fills `sample` with the next frame, stamped n x 100 ms to (n + 1) x
 * 100 ms - 1; *last = 1 when it is the stream's last, else 0. E_FAIL when
 * no clip is prepared, the stream is over, the frame cannot be decoded or
 * the sample is too small. */
KSV_EXPORT HRESULT ProcessVideoData(IMediaSample* sample, int* last);

/* Fills `sample` with the sound of the next chunk as PCM (possibly none
 * while ADPCM blocks are still incomplete), stamped as the video; *last as
 * for video. E_FAIL when no clip is prepared or the stream is over. */
KSV_EXPORT HRESULT ProcessAudioData(IMediaSample* sample, int* last);

#endif /* KSV_INCLUDE_OKSV1API_SAMPLES_H */
