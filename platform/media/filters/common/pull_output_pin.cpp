#include "platform/media/filters/common/pull_output_pin.h"

#include <algorithm>

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
      CMediaSeeking(static_cast<SeekableStream*>(this)),
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

}  // namespace ksv::media::filters
