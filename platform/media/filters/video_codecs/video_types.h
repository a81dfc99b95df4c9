// The VIDEOINFOHEADER media types the codec filters read and make: a
// picture's size, bit count and FOURCC from a type, and the type of an
// uncompressed or compressed picture of a size.
#pragma once

#include <optional>

#include "platform/media/base/media_type.h"
#include "platform/media/codecs/video_codec.h"
#include "platform/media/sample_interfaces.h"

namespace ksv::media::filters {

struct VideoShape {
  int width = 0;
  int height = 0;            // positive
  bool topDown = false;      // a negative biHeight
  int bitCount = 0;
  DWORD compression = 0;     // biCompression
  REFERENCE_TIME frameTime = 0;
};

// The shape of a MEDIATYPE_Video / FORMAT_VideoInfo type with a whole
// VIDEOINFOHEADER and a positive size.
std::optional<VideoShape> ReadVideoShape(const CMediaType& type);
// The uncompressed picture the type carries (RGB24 or RGB32 bottom-up
// BI_RGB, I420 or IYUV), or none.
std::optional<codecs::PictureFormat> UncompressedPicture(const CMediaType& type);

// The type of an uncompressed `picture` (I420 under `i420Subtype`).
HRESULT MakeUncompressedType(const codecs::PictureFormat& picture, REFERENCE_TIME frameTime,
                             CMediaType* type, const GUID& i420Subtype = MEDIASUBTYPE_I420);
// The type of frames of `codec` of that size; samples of varying size up
// to `maxFrameSize`, every one a key frame.
HRESULT MakeCompressedType(const codecs::VideoCodec& codec, int width, int height,
                           REFERENCE_TIME frameTime, size_t maxFrameSize, CMediaType* type);

// The output buffers of a codec filter: two of `size` bytes.
HRESULT DecideVideoBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request, LONG size);

}  // namespace ksv::media::filters
