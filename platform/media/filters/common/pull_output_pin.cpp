#include "platform/media/filters/common/pull_output_pin.h"

#include <algorithm>
#include <cmath>

#include "platform/media/media_guids.h"

namespace ksv::media::filters {

namespace {
constexpr LONG kBuffers = 4;
}  // namespace

uint32_t PullPlan::Largest() const {
  uint32_t largest = 0;
  for (const PullPacket& packet : packets) largest = std::max(largest, packet.size);
  return largest;
}

CPullOutputPin::CPullOutputPin(CParserFilter* filter, LPCWSTR name, const CMediaType& type,
                               std::unique_ptr<const PacketList> packets, HRESULT* result)
    : CSourceStream("parser output", result, filter, name),
      parser_(filter),
      type_(type),
      packets_(std::move(packets)),
      duration_(packets_->Duration()),
      largest_(std::max<uint32_t>(packets_->Largest(), 1)) {}

HRESULT CPullOutputPin::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IMediaSeeking) return GetInterface(static_cast<IMediaSeeking*>(this), object);
  return CSourceStream::NonDelegatingQueryInterface(iid, object);
}

HRESULT CPullOutputPin::GetMediaType(CMediaType* type) {
  *type = type_;
  return S_OK;
}

HRESULT CPullOutputPin::DecideBufferSize(IMemAllocator* allocator,
                                         ALLOCATOR_PROPERTIES* request) {
  // The index, not the stream header's suggested size (which files get
  // wrong), says how large a buffer must be.
  request->cBuffers = std::max(request->cBuffers, kBuffers);
  request->cbBuffer = std::max(request->cbBuffer, static_cast<LONG>(largest_));
  if (request->cbAlign <= 0) request->cbAlign = 1;
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT result = allocator->SetProperties(request, &actual);
  if (FAILED(result)) return result;
  if (actual.cbBuffer < static_cast<LONG>(largest_) || actual.cBuffers < 1) return E_FAIL;
  return S_OK;
}

HRESULT CPullOutputPin::OnThreadCreate() {
  next_ = 0;
  segmentSent_ = false;
  position_ = 0;
  stampRate_ = rate_.load();
  rateFrom_ = 0;
  stampFrom_ = 0;
  return S_OK;
}

HRESULT CPullOutputPin::OnThreadStartPlay() {
  if (!segmentSent_) {
    segmentSent_ = true;
    DeliverNewSegment(0, duration_, stampRate_);
  }
  return S_OK;
}

REFERENCE_TIME CPullOutputPin::Stamp(REFERENCE_TIME fileTime) const {
  // Exact at the normal rate: a double holds any time of under 28 years.
  return stampFrom_ + static_cast<REFERENCE_TIME>(
                          static_cast<double>(fileTime - rateFrom_) / stampRate_);
}

HRESULT CPullOutputPin::FillBuffer(IMediaSample* sample) {
  if (next_ >= packets_->Count()) return S_FALSE;
  const PullPacket packet = packets_->At(next_);
  IAsyncReader* reader = parser_->Reader();
  BYTE* data = nullptr;
  if (reader == nullptr) return VFW_E_NOT_CONNECTED;
  if (FAILED(sample->GetPointer(&data)) || sample->GetSize() < static_cast<LONG>(packet.size)) {
    return E_UNEXPECTED;
  }
  const HRESULT read = reader->SyncRead(static_cast<LONGLONG>(packet.offset),
                                        static_cast<LONG>(packet.size), data);
  // A short read (S_FALSE): the file lost bytes the index promised.
  if (read != S_OK) return FAILED(read) ? read : VFW_E_FILE_TOO_SHORT;
  sample->SetActualDataLength(static_cast<LONG>(packet.size));
  const double rate = rate_.load();
  if (rate != stampRate_) {
    // The samples already sent keep their times; this one starts the new rate.
    stampFrom_ = Stamp(packet.start);
    rateFrom_ = packet.start;
    stampRate_ = rate;
    DeliverNewSegment(packet.start, duration_, rate);
  }
  REFERENCE_TIME start = Stamp(packet.start);
  REFERENCE_TIME stop = Stamp(packet.stop);
  sample->SetTime(&start, &stop);
  sample->SetSyncPoint(packet.syncPoint ? TRUE : FALSE);
  sample->SetDiscontinuity(next_ == 0 ? TRUE : FALSE);
  sample->SetPreroll(FALSE);
  ++next_;
  position_ = stop;
  return S_OK;
}

// ---- IMediaSeeking

namespace {
constexpr DWORD kCapabilities =
    AM_SEEKING_CanGetCurrentPos | AM_SEEKING_CanGetStopPos | AM_SEEKING_CanGetDuration;
}  // namespace

HRESULT CPullOutputPin::GetCapabilities(DWORD* capabilities) {
  if (capabilities == nullptr) return E_POINTER;
  *capabilities = kCapabilities;
  return S_OK;
}

HRESULT CPullOutputPin::CheckCapabilities(DWORD* capabilities) {
  if (capabilities == nullptr) return E_POINTER;
  const DWORD asked = *capabilities;
  *capabilities &= kCapabilities;
  if (*capabilities == asked) return S_OK;
  return *capabilities == 0 ? E_FAIL : S_FALSE;
}

HRESULT CPullOutputPin::IsFormatSupported(const GUID* format) {
  if (format == nullptr) return E_POINTER;
  return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
}

HRESULT CPullOutputPin::QueryPreferredFormat(GUID* format) {
  if (format == nullptr) return E_POINTER;
  *format = TIME_FORMAT_MEDIA_TIME;
  return S_OK;
}

HRESULT CPullOutputPin::GetTimeFormat(GUID* format) { return QueryPreferredFormat(format); }

HRESULT CPullOutputPin::IsUsingTimeFormat(const GUID* format) { return IsFormatSupported(format); }

HRESULT CPullOutputPin::SetTimeFormat(const GUID* format) {
  if (format == nullptr) return E_POINTER;
  return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : E_INVALIDARG;
}

HRESULT CPullOutputPin::GetDuration(LONGLONG* duration) {
  if (duration == nullptr) return E_POINTER;
  *duration = duration_;
  return S_OK;
}

HRESULT CPullOutputPin::GetStopPosition(LONGLONG* stop) { return GetDuration(stop); }

HRESULT CPullOutputPin::GetCurrentPosition(LONGLONG* current) {
  if (current == nullptr) return E_POINTER;
  *current = position_.load();
  return S_OK;
}

HRESULT CPullOutputPin::ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat,
                                          LONGLONG source, const GUID* sourceFormat) {
  if (target == nullptr) return E_POINTER;
  const auto isTime = [](const GUID* format) {
    return format == nullptr || *format == TIME_FORMAT_MEDIA_TIME;
  };
  if (!isTime(targetFormat) || !isTime(sourceFormat)) return E_INVALIDARG;
  *target = source;
  return S_OK;
}

HRESULT CPullOutputPin::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                                     DWORD stopFlags) {
  constexpr DWORD kPositioning = 0x3;  // the positioning bits of the flags
  const DWORD currentHow = currentFlags & kPositioning;
  const DWORD stopHow = stopFlags & kPositioning;
  if ((currentHow != AM_SEEKING_NoPositioning && current == nullptr) ||
      (stopHow != AM_SEEKING_NoPositioning && stop == nullptr)) {
    return E_POINTER;
  }
  const bool currentWhole = currentHow == AM_SEEKING_NoPositioning ||
                            (currentHow == AM_SEEKING_AbsolutePositioning && *current == 0);
  const bool stopWhole = stopHow == AM_SEEKING_NoPositioning ||
                         (stopHow == AM_SEEKING_AbsolutePositioning && *stop == duration_);
  return currentWhole && stopWhole ? S_OK : E_NOTIMPL;
}

HRESULT CPullOutputPin::GetPositions(LONGLONG* current, LONGLONG* stop) {
  if (current != nullptr) *current = position_.load();
  if (stop != nullptr) *stop = duration_;
  return S_OK;
}

HRESULT CPullOutputPin::GetAvailable(LONGLONG* earliest, LONGLONG* latest) {
  if (earliest != nullptr) *earliest = 0;
  if (latest != nullptr) *latest = duration_;
  return S_OK;
}

HRESULT CPullOutputPin::SetRate(double rate) {
  if (!(rate > 0.0) || !std::isfinite(rate)) return E_INVALIDARG;
  rate_ = rate;
  return S_OK;
}

HRESULT CPullOutputPin::GetRate(double* rate) {
  if (rate == nullptr) return E_POINTER;
  *rate = rate_.load();
  return S_OK;
}

HRESULT CPullOutputPin::GetPreroll(LONGLONG* preroll) {
  if (preroll == nullptr) return E_POINTER;
  *preroll = 0;
  return S_OK;
}

}  // namespace ksv::media::filters
