// CPullOutputPin: an output pin of a parser that delivers one stream of the
// file. What it delivers is planned when the pin is made: a list of packets,
// each a run of the file's bytes with its times (held in memory, as an
// index gives them, or worked out one at a time). Its streaming thread (the
// source pin's worker) reads each packet with IAsyncReader::SyncRead
// straight into a sample of its own allocator, stamps it and delivers it;
// after the last one it delivers the end of stream. A read that fails
// aborts the stream: EC_ERRORABORT to the graph, then the end of stream.
// The pin also answers IMediaSeeking for the whole stream (CMediaSeeking
// for a SeekableStream: duration, position, and the whole-file range as
// the only positions it takes) and plays it at any positive rate: a
// sample's times are the file's divided by the rate, counted from where
// the rate last changed, so a renderer downstream presents it that much
// sooner. A new rate takes effect from
// the next packet, announced by a new segment that carries it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/media/base/media_seeking.h"
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

// The packets of a stream in delivery order, none empty.
class PacketList {
 public:
  virtual ~PacketList() = default;
  virtual size_t Count() const = 0;
  virtual PullPacket At(size_t index) const = 0;  // index < Count()
  virtual REFERENCE_TIME Duration() const = 0;
  virtual uint32_t Largest() const = 0;  // bytes
};

// A list held in memory.
struct PullPlan final : PacketList {
  std::vector<PullPacket> packets;
  REFERENCE_TIME duration = 0;

  size_t Count() const override { return packets.size(); }
  PullPacket At(size_t index) const override { return packets[index]; }
  REFERENCE_TIME Duration() const override { return duration; }
  uint32_t Largest() const override;
};

class CPullOutputPin : public CSourceStream, public CMediaSeeking, private SeekableStream {
 public:
  // Adds itself to `filter`'s pins. `type` is the one type it offers.
  CPullOutputPin(CParserFilter* filter, LPCWSTR name, const CMediaType& type,
                 std::unique_ptr<const PacketList> packets, HRESULT* result);

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  using CSourceStream::GetMediaType;
  HRESULT GetMediaType(CMediaType* type) override;
  // Buffers that hold the largest packet, four of them.
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

 protected:
  HRESULT OnThreadCreate() override;
  HRESULT OnThreadStartPlay() override;
  HRESULT FillBuffer(IMediaSample* sample) override;

 private:
  CParserFilter* parser_;
  const CMediaType type_;
  const std::unique_ptr<const PacketList> packets_;
  const REFERENCE_TIME duration_;
  const uint32_t largest_;
  // The worker's place in the plan (touched by the worker only while it runs).
  size_t next_ = 0;
  bool segmentSent_ = false;
  // The rate in the stamps, and where it took effect: the file's time and
  // the time that was stamped there (worker only).
  double stampRate_ = 1.0;
  REFERENCE_TIME rateFrom_ = 0;
  REFERENCE_TIME stampFrom_ = 0;
  std::atomic<REFERENCE_TIME> position_{0};
  std::atomic<double> rate_{1.0};

  // A file time as a sample time at the rate in the stamps.
  REFERENCE_TIME Stamp(REFERENCE_TIME fileTime) const;

  // SeekableStream: the position is the stop time of the last sample
  // delivered since the stream started.
  REFERENCE_TIME StreamDuration() override { return duration_; }
  REFERENCE_TIME StreamPosition() override { return position_.load(); }
  double StreamRate() override { return rate_.load(); }
  void ChangeStreamRate(double rate) override { rate_ = rate; }
};

}  // namespace ksv::media::filters
