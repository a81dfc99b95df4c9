#include "platform/media/filters/video_codecs/colour_converter.h"

#include <new>

#include "platform/media/codecs/convert.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/video_codecs/video_types.h"
#include "platform/media/vfw_errors.h"

namespace ksv::media::filters {
namespace {

using codecs::PictureFormat;
using codecs::PixelFormat;

constexpr PixelFormat kOffered[] = {PixelFormat::kRgb24, PixelFormat::kRgb32, PixelFormat::kI420};

const AMOVIESETUP_MEDIATYPE kTypes[] = {
    {&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24},
    {&MEDIATYPE_Video, &MEDIASUBTYPE_RGB32},
    {&MEDIATYPE_Video, &MEDIASUBTYPE_I420},
    {&MEDIATYPE_Video, &MEDIASUBTYPE_IYUV},
};
const AMOVIESETUP_PIN kConverterPins[] = {
    {nullptr, FALSE, FALSE, FALSE, FALSE, nullptr, nullptr, 4, kTypes},
    {nullptr, FALSE, TRUE, FALSE, FALSE, nullptr, nullptr, 3, kTypes},
};

}  // namespace

const AMOVIESETUP_FILTER kColourConverterSetup = {&CLSID_Colour, u"Color Space Converter",
                                                  MERIT_NORMAL, 2, kConverterPins};

ColourConverter::ColourConverter(LPUNKNOWN outer, HRESULT* result)
    : CTransformFilter("Color Space Converter", outer, CLSID_Colour) {
  if (result != nullptr) *result = S_OK;
}

CUnknown* ColourConverter::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
  auto* filter = new (std::nothrow) ColourConverter(outer, result);
  if (filter == nullptr) *result = E_OUTOFMEMORY;
  return filter;
}

HRESULT ColourConverter::CheckInputType(const CMediaType* input) {
  return UncompressedPicture(*input) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT ColourConverter::CheckTransform(const CMediaType* input, const CMediaType* output) {
  const std::optional<PictureFormat> from = UncompressedPicture(*input);
  const std::optional<PictureFormat> to = UncompressedPicture(*output);
  if (!from || !to || from->width != to->width || from->height != to->height) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  return S_OK;
}

HRESULT ColourConverter::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (position >= static_cast<int>(std::size(kOffered))) return VFW_S_NO_MORE_ITEMS;
  const CMediaType& input = m_pInput->CurrentMediaType();
  const std::optional<PictureFormat> from = UncompressedPicture(input);
  if (!from) return E_UNEXPECTED;
  const PictureFormat to{from->width, from->height, kOffered[position]};
  return MakeUncompressedType(to, ReadVideoShape(input)->frameTime, type);
}

HRESULT ColourConverter::DecideBufferSize(IMemAllocator* allocator,
                                          ALLOCATOR_PROPERTIES* request) {
  return DecideVideoBuffers(allocator, request, static_cast<LONG>(codecs::ImageSize(to_)));
}

HRESULT ColourConverter::SetMediaType(PIN_DIRECTION direction, const CMediaType* type) {
  const std::optional<PictureFormat> picture = UncompressedPicture(*type);
  if (!picture) return VFW_E_TYPE_NOT_ACCEPTED;
  (direction == PINDIR_INPUT ? from_ : to_) = *picture;
  return S_OK;
}

HRESULT ColourConverter::Transform(IMediaSample* input, IMediaSample* output) {
  BYTE* in = nullptr;
  BYTE* out = nullptr;
  input->GetPointer(&in);
  output->GetPointer(&out);
  if (in == nullptr || out == nullptr) return E_UNEXPECTED;
  // A short picture from upstream is dropped, never read past its end.
  if (input->GetActualDataLength() < static_cast<long>(codecs::ImageSize(from_))) return S_FALSE;
  if (output->GetSize() < static_cast<long>(codecs::ImageSize(to_))) return E_FAIL;
  if (!codecs::ConvertPicture(from_, in, to_, out)) return E_UNEXPECTED;
  output->SetActualDataLength(static_cast<LONG>(codecs::ImageSize(to_)));
  output->SetSyncPoint(TRUE);
  return S_OK;
}

}  // namespace ksv::media::filters
