#include "outside/caption/caption_filter.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "include/win32_errors.h"
#include "platform/com/task_memory.h"

namespace ksv::media::caption {
namespace {

constexpr LONG kMaxSide = 16384;
constexpr LONG kMinHeight = 8, kMaxHeight = 256;
constexpr LONG kBuffers = 2;

const AMOVIESETUP_MEDIATYPE kVideoTypes[] = {
    {&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24},
    {&MEDIATYPE_Video, &MEDIASUBTYPE_RGB32},
};
const AMOVIESETUP_PIN kPins[] = {
    {const_cast<LPWSTR>(u"Input"), FALSE, FALSE, FALSE, FALSE, nullptr, nullptr, 2, kVideoTypes},
    {const_cast<LPWSTR>(u"Output"), FALSE, TRUE, FALSE, FALSE, nullptr, nullptr, 2, kVideoTypes},
};
// Found by name, never picked by intelligent connection.
const AMOVIESETUP_FILTER kSetup = {&CLSID_MocamVideoCaption, kCaptionFriendlyName,
                                   MERIT_DO_NOT_USE, 2, kPins};

bool ValidColour(DWORD colour) { return (colour & 0xFF000000u) == 0; }

// A caption as it is kept: at most kCaptionMaxLength bytes.
bool ValidText(const char* text) {
  return std::memchr(text, 0, kCaptionMaxLength + 1) != nullptr;
}

}  // namespace

bool FrameLayout(const CMediaType& type, Picture* layout, size_t* frameBytes) {
  if (*type.Type() != MEDIATYPE_Video || *type.FormatType() != FORMAT_VideoInfo ||
      type.Format() == nullptr || type.FormatLength() < sizeof(VIDEOINFOHEADER)) {
    return false;
  }
  VIDEOINFOHEADER info;
  std::memcpy(&info, type.Format(), sizeof info);
  const BITMAPINFOHEADER& bitmap = info.bmiHeader;
  int bitCount = 0;
  if (*type.Subtype() == MEDIASUBTYPE_RGB24) bitCount = 24;
  if (*type.Subtype() == MEDIASUBTYPE_RGB32) bitCount = 32;
  if (bitCount == 0 || bitmap.biBitCount != bitCount || bitmap.biCompression != BI_RGB ||
      bitmap.biWidth <= 0 || bitmap.biWidth > kMaxSide || bitmap.biHeight == 0 ||
      bitmap.biHeight < -kMaxSide || bitmap.biHeight > kMaxSide) {
    return false;
  }
  layout->width = bitmap.biWidth;
  layout->height = bitmap.biHeight < 0 ? -bitmap.biHeight : bitmap.biHeight;
  layout->topDown = bitmap.biHeight < 0;
  layout->bitCount = bitCount;
  layout->stride = (size_t(layout->width) * bitCount + 31) / 32 * 4;
  *frameBytes = layout->stride * size_t(layout->height);
  return true;
}

CaptionFilter::CaptionFilter(LPUNKNOWN outer, HRESULT* result)
    : CTransformFilter("Mocam video caption", outer, CLSID_MocamVideoCaption) {
  if (result != nullptr) *result = S_OK;
}

CUnknown* CaptionFilter::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
  auto* filter = new (std::nothrow) CaptionFilter(outer, result);
  if (filter == nullptr && result != nullptr) *result = E_OUTOFMEMORY;
  return filter;
}

const AMOVIESETUP_FILTER* CaptionFilter::Setup() { return &kSetup; }

HRESULT CaptionFilter::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_ICaptionControl) return GetInterface(static_cast<ICaptionControl*>(this), object);
  return CTransformFilter::NonDelegatingQueryInterface(iid, object);
}

// ---- The transform

HRESULT CaptionFilter::CheckInputType(const CMediaType* input) {
  Picture layout;
  size_t bytes = 0;
  return FrameLayout(*input, &layout, &bytes) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CaptionFilter::CheckTransform(const CMediaType* input, const CMediaType* output) {
  Picture in, out;
  size_t inBytes = 0, outBytes = 0;
  if (!FrameLayout(*input, &in, &inBytes) || !FrameLayout(*output, &out, &outBytes)) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  // The frame is copied as it is: the same pixels in the same layout.
  const bool same = *input->Subtype() == *output->Subtype() && in.width == out.width &&
                    in.height == out.height && in.topDown == out.topDown;
  return same ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CaptionFilter::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  return type->Set(m_pInput->CurrentMediaType());
}

HRESULT CaptionFilter::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  Picture layout;
  size_t bytes = 0;
  if (!FrameLayout(m_pInput->CurrentMediaType(), &layout, &bytes)) return E_UNEXPECTED;
  if (request->cBuffers < kBuffers) request->cBuffers = kBuffers;
  if (request->cbBuffer < LONG(bytes)) request->cbBuffer = LONG(bytes);
  if (request->cbAlign <= 0) request->cbAlign = 1;
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT result = allocator->SetProperties(request, &actual);
  if (FAILED(result)) return result;
  return actual.cbBuffer < LONG(bytes) ? E_FAIL : S_OK;
}

HRESULT CaptionFilter::Transform(IMediaSample* input, IMediaSample* output) {
  BYTE* from = nullptr;
  BYTE* to = nullptr;
  if (FAILED(input->GetPointer(&from)) || FAILED(output->GetPointer(&to))) return E_UNEXPECTED;
  const LONG length = std::max<LONG>(input->GetActualDataLength(), 0);
  if (length > output->GetSize()) return E_UNEXPECTED;
  std::memcpy(to, from, size_t(length));
  output->SetActualDataLength(length);

  Picture picture;
  size_t bytes = 0;
  if (!FrameLayout(m_pInput->CurrentMediaType(), &picture, &bytes)) return E_UNEXPECTED;
  // A short frame passes as it came: nothing is painted past its end.
  if (size_t(length) < bytes) return S_OK;
  const Settings settings = Current();
  if (settings.caption.empty()) return S_OK;
  picture.bits = to;
  PaintText(picture, settings.x, settings.y, settings.caption, settings.style);
  return S_OK;
}

CaptionFilter::Settings CaptionFilter::Current() {
  std::lock_guard<std::mutex> lock(settingsMutex_);
  return settings_;
}

// ---- ICaptionControl

HRESULT CaptionFilter::GetCaption(char** caption) {
  if (caption == nullptr) return E_POINTER;
  const std::string text = Current().caption;
  *caption = static_cast<char*>(CoTaskMemAlloc(text.size() + 1));
  if (*caption == nullptr) return E_OUTOFMEMORY;
  std::memcpy(*caption, text.c_str(), text.size() + 1);
  return S_OK;
}

HRESULT CaptionFilter::SetCaption(const char* caption) {
  if (caption != nullptr && !ValidText(caption)) return E_INVALIDARG;
  std::lock_guard<std::mutex> lock(settingsMutex_);
  settings_.caption = caption == nullptr ? std::string() : std::string(caption);
  return S_OK;
}

HRESULT CaptionFilter::IsCaptioning(BOOL* on) {
  if (on == nullptr) return E_POINTER;
  const bool captioning = !Current().caption.empty();
  *on = captioning ? TRUE : FALSE;
  return captioning ? S_OK : S_FALSE;
}

HRESULT CaptionFilter::SetCaptionFont(LONG height, DWORD colour, DWORD background, LONG x,
                                      LONG y) {
  if (height < kMinHeight || height > kMaxHeight || !ValidColour(colour) ||
      (!ValidColour(background) && background != kCaptionTransparent) || x < 0 || y < 0) {
    return E_INVALIDARG;
  }
  std::lock_guard<std::mutex> lock(settingsMutex_);
  settings_.style.scale = height / kCaptionCellHeight;
  settings_.style.colour = colour;
  settings_.style.opaque = background != kCaptionTransparent;
  settings_.style.background = settings_.style.opaque ? background : 0;
  settings_.x = x;
  settings_.y = y;
  return S_OK;
}

HRESULT CaptionFilter::GetStreamFromVideoText(const char* text, BYTE* bits, DWORD* size,
                                              BITMAPINFOHEADER* header) {
  if (text == nullptr || size == nullptr || header == nullptr) return E_POINTER;
  if (text[0] == '\0' || !ValidText(text)) return E_INVALIDARG;
  TextStyle style = Current().style;
  const TextSize extent = MeasureText(text, style.scale);
  Picture picture;
  picture.width = extent.width;
  picture.height = extent.height;
  picture.bitCount = 24;
  picture.stride = (size_t(extent.width) * 24 + 31) / 32 * 4;
  const size_t needed = picture.stride * size_t(extent.height);
  if (needed > UINT32_MAX) return E_INVALIDARG;

  *header = BITMAPINFOHEADER{};
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = extent.width;
  header->biHeight = extent.height;
  header->biPlanes = 1;
  header->biBitCount = 24;
  header->biCompression = BI_RGB;
  header->biSizeImage = DWORD(needed);
  const DWORD capacity = *size;
  *size = DWORD(needed);
  if (bits == nullptr) return S_OK;
  if (capacity < needed) return HRESULT_FROM_WIN32(ERROR_MORE_DATA);

  picture.bits = bits;
  std::memset(bits, 0, needed);  // the row padding, and the background when transparent
  style.opaque = true;
  if (style.background == kCaptionTransparent) style.background = 0;
  PaintText(picture, 0, 0, text, style);
  return S_OK;
}

}  // namespace ksv::media::caption
