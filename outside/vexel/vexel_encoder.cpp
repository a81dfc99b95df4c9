#include "outside/vexel/vexel_encoder.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "platform/media/filters/video_codecs/video_types.h"
#include "platform/media/formats.h"
#include "platform/media/media_guids.h"

namespace ksv::vexel {
namespace {

namespace codecs = media::codecs;

constexpr uint32_t kFourccMjpg = codecs::kFourccMjpg;

const AMOVIESETUP_MEDIATYPE kVideo = {&MEDIATYPE_Video, &GUID_NULL};
const AMOVIESETUP_MEDIATYPE kMjpeg = {&MEDIATYPE_Video, &MEDIASUBTYPE_MJPG};
const AMOVIESETUP_PIN kPins[] = {
    {const_cast<LPWSTR>(u"Input"), FALSE, FALSE, FALSE, FALSE, nullptr, nullptr, 1, &kVideo},
    {const_cast<LPWSTR>(u"Output"), FALSE, TRUE, FALSE, FALSE, nullptr, nullptr, 1, &kMjpeg},
};
// Above the other video compressors (all MERIT_DO_NOT_USE), so a client
// that walks the category for its first match meets this encoder first; the
// category itself stays out of intelligent connect.
const AMOVIESETUP_FILTER kSetup = {&CLSID_Vexel5Encoder, u"" VEXEL5_FRIENDLY_NAME,
                                   MERIT_DO_NOT_USE + 1, 2, kPins};

// The picture an input type carries: RGB24 bottom-up or I420.
std::optional<codecs::PictureFormat> InputPicture(const CMediaType& type) {
  auto picture = media::filters::UncompressedPicture(type);
  if (!picture || picture->format == codecs::PixelFormat::kRgb32) return std::nullopt;
  return picture;
}

}  // namespace

VexelEncoder::VexelEncoder()
    : CTransformFilter(VEXEL5_FRIENDLY_NAME, nullptr, CLSID_Vexel5Encoder),
      user_(LoadUserSettings()) {}

CUnknown* VexelEncoder::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
  if (outer != nullptr) {
    *result = CLASS_E_NOAGGREGATION;
    return nullptr;
  }
  *result = S_OK;
  return new VexelEncoder();
}

const AMOVIESETUP_FILTER* VexelEncoder::Setup() { return &kSetup; }

HRESULT VexelEncoder::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IVexelEncode) return GetInterface(static_cast<IVexelEncode*>(this), object);
  return CTransformFilter::NonDelegatingQueryInterface(iid, object);
}

// ---- Types

HRESULT VexelEncoder::CheckInputType(const CMediaType* input) {
  return InputPicture(*input) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT VexelEncoder::CheckTransform(const CMediaType* input, const CMediaType* output) {
  const auto picture = InputPicture(*input);
  const auto shape = media::filters::ReadVideoShape(*output);
  if (!picture || !shape || *output->Subtype() != MEDIASUBTYPE_MJPG ||
      shape->compression != kFourccMjpg || shape->width != picture->width ||
      shape->height != picture->height) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  return S_OK;
}

HRESULT VexelEncoder::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (!m_pInput->IsConnected()) return E_UNEXPECTED;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  const CMediaType& input = m_pInput->CurrentMediaType();
  const auto picture = InputPicture(input);
  const auto shape = media::filters::ReadVideoShape(input);
  if (!picture || !shape) return E_UNEXPECTED;
  const auto encoder = codecs::MjpegEncoder::Create(*picture);
  if (!encoder) return E_UNEXPECTED;
  return media::filters::MakeCompressedType(*codecs::FindVideoCodec(kFourccMjpg), picture->width,
                                            picture->height, shape->frameTime,
                                            encoder->MaxFrameSize(), type);
}

HRESULT VexelEncoder::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  const auto picture = InputPicture(m_pInput->CurrentMediaType());
  if (!picture) return E_UNEXPECTED;
  const auto encoder = codecs::MjpegEncoder::Create(*picture);
  if (!encoder) return E_UNEXPECTED;
  return media::filters::DecideVideoBuffers(allocator, request,
                                            static_cast<LONG>(encoder->MaxFrameSize()));
}

// ---- Streaming

HRESULT VexelEncoder::StartStreaming() {
  const auto picture = InputPicture(m_pInput->CurrentMediaType());
  if (!picture) return E_UNEXPECTED;
  encoder_ = codecs::MjpegEncoder::Create(*picture);
  return encoder_ ? S_OK : E_OUTOFMEMORY;
}

HRESULT VexelEncoder::StopStreaming() {
  encoder_.reset();
  return S_OK;
}

int VexelEncoder::Quality() {
  std::lock_guard guard(settingsLock_);
  if (quality_ > 0) return quality_;
  return ChosenQuality(QuickCompress(), record_);
}

bool VexelEncoder::QuickCompress() const { return recordQuick_.value_or(user_.QuickCompress()); }

HRESULT VexelEncoder::Transform(IMediaSample* input, IMediaSample* output) {
  BYTE* from = nullptr;
  BYTE* to = nullptr;
  if (encoder_ == nullptr || FAILED(input->GetPointer(&from)) || FAILED(output->GetPointer(&to))) {
    return E_UNEXPECTED;
  }
  size_t written = 0;
  bool key = false;
  // The encoder takes the platform's 0..10000 scale.
  const int quality = Quality() * codecs::kMaxQuality / 100;
  const codecs::CodecResult result = encoder_->Encode(
      std::span<const uint8_t>(from, static_cast<size_t>(input->GetActualDataLength())), quality,
      true, std::span<uint8_t>(to, static_cast<size_t>(output->GetSize())), &written, &key);
  if (result != codecs::CodecResult::kOk) return E_FAIL;
  output->SetActualDataLength(static_cast<LONG>(written));
  output->SetSyncPoint(TRUE);
  return S_OK;
}

// ---- IVexelEncode

HRESULT VexelEncoder::GetVersion(DWORD* version) {
  if (version == nullptr) return E_POINTER;
  *version = VEXEL5_VERSION;
  return S_OK;
}

HRESULT VexelEncoder::SetQuality(LONG quality) {
  if (quality < 0 || quality > 100) return E_INVALIDARG;
  std::lock_guard guard(settingsLock_);
  quality_ = static_cast<int>(quality);
  return S_OK;
}

HRESULT VexelEncoder::GetQuality(LONG* quality) {
  if (quality == nullptr) return E_POINTER;
  *quality = Quality();
  return S_OK;
}

HRESULT VexelEncoder::ReloadSettings() {
  UserSettings user = LoadUserSettings();
  std::lock_guard guard(settingsLock_);
  user_ = user;
  recordQuick_.reset();
  return S_OK;
}

HRESULT VexelEncoder::GetQuickCompress(DWORD* enabled) {
  if (enabled == nullptr) return E_POINTER;
  std::lock_guard guard(settingsLock_);
  *enabled = QuickCompress() ? 1 : 0;
  return S_OK;
}

HRESULT VexelEncoder::GetSettings(BYTE* record, DWORD size) {
  if (record == nullptr) return E_POINTER;
  if (size < VEXEL5_SHORT_RECORD_SIZE) return E_INVALIDARG;
  uint8_t whole[VEXEL5_RECORD_SIZE];
  {
    std::lock_guard guard(settingsLock_);
    WriteSettingsRecord(record_, whole);
  }
  std::memcpy(record, whole, std::min<DWORD>(size, sizeof whole));
  return S_OK;
}

HRESULT VexelEncoder::SetSettings(const BYTE* record) {
  if (record == nullptr) return E_POINTER;
  const std::optional<SettingsRecord> read = ReadSettingsRecord(record);
  if (!read) return E_INVALIDARG;
  std::lock_guard guard(settingsLock_);
  record_ = *read;
  recordQuick_ = read->quickCompress != 0;
  return S_OK;
}

}  // namespace ksv::vexel
