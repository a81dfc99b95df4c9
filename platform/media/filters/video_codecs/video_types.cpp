#include "platform/media/filters/video_codecs/video_types.h"

#include <algorithm>

#include "platform/media/sample_interfaces.h"
#include "platform/media/vfw_errors.h"

namespace ksv::media::filters {
namespace {

using codecs::PictureFormat;
using codecs::PixelFormat;

// A FOURCC subtype: the FOURCC in Data1 of the media subtype base.
GUID FourccSubtype(DWORD fourcc) {
  GUID subtype = MEDIASUBTYPE_I420;
  subtype.Data1 = fourcc;
  return subtype;
}

HRESULT MakeType(int width, int height, WORD bitCount, DWORD compression, DWORD imageSize,
                 REFERENCE_TIME frameTime, const GUID& subtype, CMediaType* type) {
  VIDEOINFOHEADER info{};
  info.AvgTimePerFrame = frameTime;
  BITMAPINFOHEADER& bitmap = info.bmiHeader;
  bitmap.biSize = sizeof(BITMAPINFOHEADER);
  bitmap.biWidth = width;
  bitmap.biHeight = height;
  bitmap.biPlanes = 1;
  bitmap.biBitCount = bitCount;
  bitmap.biCompression = compression;
  bitmap.biSizeImage = imageSize;
  if (frameTime > 0) {
    info.dwBitRate = static_cast<DWORD>(
        std::min<int64_t>(int64_t{imageSize} * 8 * 10'000'000 / frameTime, 0xFFFFFFFF));
  }
  type->InitMediaType();
  if (!type->SetFormat(reinterpret_cast<const BYTE*>(&info), sizeof info)) return E_OUTOFMEMORY;
  type->SetType(&MEDIATYPE_Video);
  type->SetSubtype(&subtype);
  type->SetFormatType(&FORMAT_VideoInfo);
  type->SetTemporalCompression(FALSE);
  return S_OK;
}

}  // namespace

std::optional<VideoShape> ReadVideoShape(const CMediaType& type) {
  if (*type.Type() != MEDIATYPE_Video || *type.FormatType() != FORMAT_VideoInfo ||
      type.Format() == nullptr || type.FormatLength() < sizeof(VIDEOINFOHEADER)) {
    return std::nullopt;
  }
  const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(type.Format());
  const BITMAPINFOHEADER& bitmap = info->bmiHeader;
  if (bitmap.biWidth <= 0 || bitmap.biHeight == 0 || bitmap.biHeight == INT32_MIN) {
    return std::nullopt;
  }
  VideoShape shape;
  shape.width = bitmap.biWidth;
  shape.height = bitmap.biHeight < 0 ? -bitmap.biHeight : bitmap.biHeight;
  shape.topDown = bitmap.biHeight < 0;
  shape.bitCount = bitmap.biBitCount;
  shape.compression = bitmap.biCompression;
  shape.frameTime = info->AvgTimePerFrame;
  return shape;
}

std::optional<PictureFormat> UncompressedPicture(const CMediaType& type) {
  const std::optional<VideoShape> shape = ReadVideoShape(type);
  if (!shape) return std::nullopt;
  PictureFormat picture{shape->width, shape->height, PixelFormat::kRgb24};
  const GUID& subtype = *type.Subtype();
  if (subtype == MEDIASUBTYPE_I420 || subtype == MEDIASUBTYPE_IYUV) {
    picture.format = PixelFormat::kI420;
  } else if (subtype == MEDIASUBTYPE_RGB24 && shape->bitCount == 24) {
    picture.format = PixelFormat::kRgb24;
  } else if (subtype == MEDIASUBTYPE_RGB32 && shape->bitCount == 32) {
    picture.format = PixelFormat::kRgb32;
  } else {
    return std::nullopt;
  }
  // Only bottom-up RGB (the DIB's own order); planar YUV is always top-down.
  if (shape->topDown && picture.format != PixelFormat::kI420) return std::nullopt;
  if (codecs::ImageSize(picture) == 0) return std::nullopt;
  return picture;
}

HRESULT MakeUncompressedType(const PictureFormat& picture, REFERENCE_TIME frameTime,
                             CMediaType* type, const GUID& i420Subtype) {
  const DWORD size = static_cast<DWORD>(codecs::ImageSize(picture));
  HRESULT result = S_OK;
  switch (picture.format) {
    case PixelFormat::kRgb24:
      result = MakeType(picture.width, picture.height, 24, codecs::kBiRgb, size, frameTime,
                        MEDIASUBTYPE_RGB24, type);
      break;
    case PixelFormat::kRgb32:
      result = MakeType(picture.width, picture.height, 32, codecs::kBiRgb, size, frameTime,
                        MEDIASUBTYPE_RGB32, type);
      break;
    case PixelFormat::kI420:
      result = MakeType(picture.width, picture.height, 12, i420Subtype.Data1, size, frameTime,
                        i420Subtype, type);
      break;
  }
  if (SUCCEEDED(result)) type->SetSampleSize(size);
  return result;
}

HRESULT MakeCompressedType(const codecs::VideoCodec& codec, int width, int height,
                           REFERENCE_TIME frameTime, size_t maxFrameSize, CMediaType* type) {
  const HRESULT result =
      MakeType(width, height, static_cast<WORD>(codec.compressedBitCount), codec.fourcc,
               static_cast<DWORD>(maxFrameSize), frameTime, FourccSubtype(codec.fourcc), type);
  if (SUCCEEDED(result)) type->SetVariableSize();
  return result;
}

HRESULT DecideVideoBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request, LONG size) {
  request->cBuffers = std::max<LONG>(request->cBuffers, 2);
  request->cbBuffer = std::max(request->cbBuffer, size);
  if (request->cbAlign <= 0) request->cbAlign = 1;
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT result = allocator->SetProperties(request, &actual);
  if (FAILED(result)) return result;
  return actual.cbBuffer >= size && actual.cBuffers >= 1 ? S_OK : E_FAIL;
}

}  // namespace ksv::media::filters
