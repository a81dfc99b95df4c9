// The converter's pins. The input pin re-blocks: a sample of exactly one
// block (with nothing pending) is transformed as it is; any other is cut
// into whole blocks in buffers of the pin's own allocator, each transformed
// and delivered in turn on the thread that delivered the sample, with the
// remainder kept for the next sample. At the end of the stream a partial
// block is padded with its last byte, and its output cut to the frames of
// the sound before the padding. A flush discards what is pending and
// stops a cutting pass between blocks (E_ABORT).
//
// The output pin tells the filter when it starts and stops streaming.
#pragma once

#include <atomic>
#include <mutex>

#include "platform/media/base/streams.h"
#include "resampler/block_cutter.h"

namespace ksv::resampler {

class SampleRateConverterFilter;

class ReblockingInputPin final : public CTransformInputPin {
 public:
  ReblockingInputPin(SampleRateConverterFilter* filter, HRESULT* result);
  ~ReblockingInputPin() override;

  HRESULT QueryId(LPWSTR* id) override;
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;
  // Commits (and decommits) the cutting allocator, sized for the plan.
  HRESULT Active() override;
  HRESULT Inactive() override;

  // Bytes per buffer of the upstream allocator (0 without one).
  LONG UpstreamBufferBytes();

 private:
  // Cuts `sample` (null: pads the last block) and sends what is whole.
  HRESULT CutAndSend(IMediaSample* sample);
  HRESULT SendBlock(std::span<const uint8_t> block, std::optional<int64_t> start,
                    IMediaSample* from);

  SampleRateConverterFilter* converter_;
  IMemAllocator* cuttingAllocator_ = nullptr;  // counted
  // The stream lock guards the cutter; it is let go while a block goes
  // downstream. The state word counts flushes, so a pass notices one.
  std::mutex streamLock_;
  BlockCutter cutter_;
  std::atomic<uint64_t> flushes_{0};
};

class StreamingOutputPin final : public CTransformOutputPin {
 public:
  StreamingOutputPin(SampleRateConverterFilter* filter, HRESULT* result);

  HRESULT QueryId(LPWSTR* id) override;
  HRESULT Active() override;
  HRESULT Inactive() override;

 private:
  SampleRateConverterFilter* converter_;
};

}  // namespace ksv::resampler
