#include "platform/media/filters/video_codecs/avi_decompressor.h"

#include <new>

#include "platform/media/filter_ids.h"
#include "platform/media/filters/video_codecs/video_types.h"
#include "platform/media/vfw_errors.h"

namespace ksv::media::filters {
namespace {

using codecs::PictureFormat;
using codecs::PixelFormat;

// The codec that decodes the type's frames; the uncompressed RGB forms are
// the Color Space Converter's.
const codecs::VideoCodec* DecoderFor(const CMediaType& type) {
  const std::optional<VideoShape> shape = ReadVideoShape(type);
  if (!shape || shape->compression == codecs::kBiRgb) return nullptr;
  const codecs::VideoCodec* codec = codecs::FindVideoCodec(shape->compression);
  return codec != nullptr && codec->makeDecoder != nullptr ? codec : nullptr;
}

const AMOVIESETUP_MEDIATYPE kInputTypes[] = {
    {&MEDIATYPE_Video, &MEDIASUBTYPE_MJPG},
    {&MEDIATYPE_Video, &MEDIASUBTYPE_CVID},
    {&MEDIATYPE_Video, &MEDIASUBTYPE_I420},
    {&MEDIATYPE_Video, &MEDIASUBTYPE_IYUV},
};
const AMOVIESETUP_MEDIATYPE kOutputTypes[] = {
    {&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24},
    {&MEDIATYPE_Video, &MEDIASUBTYPE_RGB32},
};
const AMOVIESETUP_PIN kPins[] = {
    {nullptr, FALSE, FALSE, FALSE, FALSE, nullptr, nullptr, 4, kInputTypes},
    {nullptr, FALSE, TRUE, FALSE, FALSE, nullptr, nullptr, 2, kOutputTypes},
};

}  // namespace

const AMOVIESETUP_FILTER kAviDecompressorSetup = {&CLSID_AVIDec, u"AVI Decompressor",
                                                  MERIT_NORMAL, 2, kPins};

AviDecompressor::AviDecompressor(LPUNKNOWN outer, HRESULT* result)
    : CTransformFilter("AVI Decompressor", outer, CLSID_AVIDec) {
  if (result != nullptr) *result = S_OK;
}

CUnknown* AviDecompressor::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
  auto* filter = new (std::nothrow) AviDecompressor(outer, result);
  if (filter == nullptr) *result = E_OUTOFMEMORY;
  return filter;
}

HRESULT AviDecompressor::CheckInputType(const CMediaType* input) {
  return DecoderFor(*input) != nullptr ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT AviDecompressor::CheckTransform(const CMediaType* input, const CMediaType* output) {
  const std::optional<VideoShape> shape = ReadVideoShape(*input);
  const std::optional<PictureFormat> picture = UncompressedPicture(*output);
  if (DecoderFor(*input) == nullptr || !picture || picture->format == PixelFormat::kI420 ||
      picture->width != shape->width || picture->height != shape->height) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  return S_OK;
}

HRESULT AviDecompressor::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 1) return VFW_S_NO_MORE_ITEMS;
  const std::optional<VideoShape> shape = ReadVideoShape(m_pInput->CurrentMediaType());
  if (!shape) return E_UNEXPECTED;
  const PictureFormat picture{shape->width, shape->height,
                              position == 0 ? PixelFormat::kRgb24 : PixelFormat::kRgb32};
  return MakeUncompressedType(picture, shape->frameTime, type);
}

HRESULT AviDecompressor::DecideBufferSize(IMemAllocator* allocator,
                                          ALLOCATOR_PROPERTIES* request) {
  return DecideVideoBuffers(allocator, request, imageSize_);
}

HRESULT AviDecompressor::SetMediaType(PIN_DIRECTION direction, const CMediaType* type) {
  if (direction == PINDIR_INPUT) return S_OK;
  const CMediaType& input = m_pInput->CurrentMediaType();
  const std::optional<VideoShape> shape = ReadVideoShape(input);
  const std::optional<PictureFormat> picture = UncompressedPicture(*type);
  const codecs::VideoCodec* codec = DecoderFor(input);
  if (!shape || !picture || codec == nullptr) return VFW_E_TYPE_NOT_ACCEPTED;
  decoder_ = codec->makeDecoder(shape->width, shape->height, shape->bitCount, picture->format);
  if (!decoder_) return VFW_E_TYPE_NOT_ACCEPTED;
  imageSize_ = static_cast<LONG>(codecs::ImageSize(*picture));
  return S_OK;
}

HRESULT AviDecompressor::BreakConnect(PIN_DIRECTION /*direction*/) {
  decoder_.reset();
  return S_OK;
}

HRESULT AviDecompressor::Transform(IMediaSample* input, IMediaSample* output) {
  BYTE* in = nullptr;
  BYTE* out = nullptr;
  input->GetPointer(&in);
  output->GetPointer(&out);
  if (in == nullptr || out == nullptr || decoder_ == nullptr) return E_UNEXPECTED;
  const long inSize = input->GetActualDataLength();
  const codecs::CodecResult result =
      decoder_->Decode({in, static_cast<size_t>(inSize > 0 ? inSize : 0)},
                       {out, static_cast<size_t>(output->GetSize())});
  if (result == codecs::CodecResult::kBadInput) return S_FALSE;
  if (result != codecs::CodecResult::kOk) return E_FAIL;
  output->SetActualDataLength(imageSize_);
  output->SetSyncPoint(TRUE);
  return S_OK;
}

}  // namespace ksv::media::filters
