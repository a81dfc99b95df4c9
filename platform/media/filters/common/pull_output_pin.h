// CPullOutputPin: an output pin of a parser that delivers one stream of the
// file. What it delivers is planned when the pin is made: a list of packets,
// each a run of the file's bytes with its times. Its streaming thread (the
// source pin's worker) reads each packet with IAsyncReader::SyncRead
// straight into a sample of its own allocator, stamps it and delivers it;
// after the last one it delivers the end of stream. A read that fails
// aborts the stream: EC_ERRORABORT to the graph, then the end of stream.
// The pin also answers IMediaSeeking for the whole stream (duration,
// position, and the whole-file range as the only positions it takes).
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "platform/media/base/source.h"
#include "platform/media/control_interfaces.h"
#include "platform/media/filters/common/parser_filter.h"

namespace ksv::media::filters {

// One sample's worth of the stream: `size` bytes at `offset` of the file,
// shown from `start` to `stop` (100-ns units).
struct PullPacket {
  uint64_t offset = 0;
  uint32_t size = 0;
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  bool syncPoint = true;
};

struct PullPlan {
  std::vector<PullPacket> packets;  // in delivery order, none empty
  REFERENCE_TIME duration = 0;
};

class CPullOutputPin : public CSourceStream, public IMediaSeeking {
 public:
  // Adds itself to `filter`'s pins. `type` is the one type it offers.
  CPullOutputPin(CParserFilter* filter, LPCWSTR name, const CMediaType& type, PullPlan plan,
                 HRESULT* result);

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  using CSourceStream::GetMediaType;
  HRESULT GetMediaType(CMediaType* type) override;
  // Buffers that hold the largest packet, four of them.
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

  const PullPlan& Plan() const { return plan_; }

  // IMediaSeeking, in TIME_FORMAT_MEDIA_TIME only.
  HRESULT GetCapabilities(DWORD* capabilities) override;
  HRESULT CheckCapabilities(DWORD* capabilities) override;
  HRESULT IsFormatSupported(const GUID* format) override;
  HRESULT QueryPreferredFormat(GUID* format) override;
  HRESULT GetTimeFormat(GUID* format) override;
  HRESULT IsUsingTimeFormat(const GUID* format) override;
  HRESULT SetTimeFormat(const GUID* format) override;
  HRESULT GetDuration(LONGLONG* duration) override;
  HRESULT GetStopPosition(LONGLONG* stop) override;
  // The stop time of the last sample delivered since the stream started.
  HRESULT GetCurrentPosition(LONGLONG* current) override;
  HRESULT ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                            const GUID* sourceFormat) override;
  // Only the whole stream (start 0, stop at the duration) is taken;
  // E_NOTIMPL for any other position.
  HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                       DWORD stopFlags) override;
  HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) override;
  HRESULT GetAvailable(LONGLONG* earliest, LONGLONG* latest) override;
  // Only the normal rate (1.0).
  HRESULT SetRate(double rate) override;
  HRESULT GetRate(double* rate) override;
  HRESULT GetPreroll(LONGLONG* preroll) override;

 protected:
  HRESULT OnThreadCreate() override;
  HRESULT OnThreadStartPlay() override;
  HRESULT FillBuffer(IMediaSample* sample) override;

 private:
  CParserFilter* parser_;
  const CMediaType type_;
  const PullPlan plan_;
  uint32_t largest_ = 1;
  // The worker's place in the plan (touched by the worker only while it runs).
  size_t next_ = 0;
  bool segmentSent_ = false;
  std::atomic<REFERENCE_TIME> position_{0};
};

}  // namespace ksv::media::filters
