#include "platform/media/filters/video_codecs/avi_compressor.h"

#include <new>

#include "platform/com/bstr.h"
#include "platform/com/wide_text.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/video_codecs/video_types.h"
#include "platform/media/vfw_errors.h"
#include "support/byte_order.h"

namespace ksv::media::filters {
namespace {

using codecs::PictureFormat;
using codecs::PixelFormat;

constexpr char16_t kHandlerProperty[] = u"FccHandler";

}  // namespace

AviCompressor::AviCompressor(LPUNKNOWN outer, HRESULT* result)
    : CTransformFilter("AVI Compressor", outer, CLSID_AVICo) {
  if (result != nullptr) *result = S_OK;
}

CUnknown* AviCompressor::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
  auto* filter = new (std::nothrow) AviCompressor(outer, result);
  if (filter == nullptr) *result = E_OUTOFMEMORY;
  return filter;
}

HRESULT AviCompressor::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IPersistPropertyBag) {
    return GetInterface(static_cast<IPersistPropertyBag*>(this), object);
  }
  return CTransformFilter::NonDelegatingQueryInterface(iid, object);
}

HRESULT AviCompressor::Load(IPropertyBag* bag, IErrorLog* /*errorLog*/) {
  if (bag == nullptr) return E_POINTER;
  CAutoLock lock(&m_csFilter);
  if (m_pInput != nullptr && m_pInput->IsConnected()) return VFW_E_WRONG_STATE;
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BSTR;
  const HRESULT read = bag->Read(kHandlerProperty, &value, nullptr);
  if (FAILED(read)) return read;
  const std::string text = com::Utf16ToUtf8(com::BstrView(value.bstrVal));
  VariantClear(&value);
  if (text.size() != 4) return E_FAIL;
  const uint32_t fourcc = support::FourCC(text[0], text[1], text[2], text[3]);
  const codecs::VideoCodec* codec = codecs::FindVideoCodec(fourcc);
  if (codec == nullptr || codec->makeEncoder == nullptr) return E_FAIL;
  codec_ = codec;
  return S_OK;
}

HRESULT AviCompressor::Save(IPropertyBag* bag, BOOL /*clearDirty*/, BOOL /*saveAll*/) {
  if (bag == nullptr) return E_POINTER;
  CAutoLock lock(&m_csFilter);
  if (codec_ == nullptr) return E_UNEXPECTED;
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BSTR;
  value.bstrVal = com::BstrFromUtf8(codecs::FourccText(codec_->fourcc));
  const HRESULT result = bag->Write(kHandlerProperty, &value);
  VariantClear(&value);
  return result;
}

std::unique_ptr<codecs::VideoEncoder> AviCompressor::MakeEncoder(const CMediaType& input) const {
  const std::optional<PictureFormat> picture = UncompressedPicture(input);
  if (codec_ == nullptr || !picture || picture->format == PixelFormat::kRgb32) return nullptr;
  return codec_->makeEncoder(*picture, 1);
}

HRESULT AviCompressor::CheckInputType(const CMediaType* input) {
  // The codec decides what it takes (Cinepak: sizes in whole 4 x 4 blocks).
  return MakeEncoder(*input) != nullptr ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT AviCompressor::CheckTransform(const CMediaType* input, const CMediaType* output) {
  const std::optional<PictureFormat> picture = UncompressedPicture(*input);
  const std::optional<VideoShape> shape = ReadVideoShape(*output);
  if (codec_ == nullptr || !picture || !shape || shape->topDown ||
      codecs::FindVideoCodec(shape->compression) != codec_ || shape->width != picture->width ||
      shape->height != picture->height) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  return S_OK;
}

HRESULT AviCompressor::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  const CMediaType& input = m_pInput->CurrentMediaType();
  const std::optional<VideoShape> shape = ReadVideoShape(input);
  const std::unique_ptr<codecs::VideoEncoder> encoder = MakeEncoder(input);
  if (!shape || !encoder) return E_UNEXPECTED;
  return MakeCompressedType(*codec_, shape->width, shape->height, shape->frameTime,
                            encoder->MaxFrameSize(), type);
}

HRESULT AviCompressor::DecideBufferSize(IMemAllocator* allocator,
                                        ALLOCATOR_PROPERTIES* request) {
  if (encoder_ == nullptr) return E_UNEXPECTED;
  return DecideVideoBuffers(allocator, request, static_cast<LONG>(encoder_->MaxFrameSize()));
}

HRESULT AviCompressor::SetMediaType(PIN_DIRECTION direction, const CMediaType* type) {
  if (direction == PINDIR_OUTPUT) return S_OK;
  encoder_ = MakeEncoder(*type);
  return encoder_ != nullptr ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT AviCompressor::BreakConnect(PIN_DIRECTION direction) {
  if (direction == PINDIR_INPUT) encoder_.reset();
  return S_OK;
}

HRESULT AviCompressor::Transform(IMediaSample* input, IMediaSample* output) {
  BYTE* in = nullptr;
  BYTE* out = nullptr;
  input->GetPointer(&in);
  output->GetPointer(&out);
  if (in == nullptr || out == nullptr || encoder_ == nullptr) return E_UNEXPECTED;
  const long inSize = input->GetActualDataLength();
  size_t written = 0;
  bool key = false;
  const codecs::CodecResult result =
      encoder_->Encode({in, static_cast<size_t>(inSize > 0 ? inSize : 0)}, quality_, true,
                       {out, static_cast<size_t>(output->GetSize())}, &written, &key);
  // A short picture from upstream is dropped, never read past its end.
  if (result == codecs::CodecResult::kBadInput) return S_FALSE;
  if (result != codecs::CodecResult::kOk) return E_FAIL;
  output->SetActualDataLength(static_cast<LONG>(written));
  output->SetSyncPoint(key ? TRUE : FALSE);
  return S_OK;
}

}  // namespace ksv::media::filters
