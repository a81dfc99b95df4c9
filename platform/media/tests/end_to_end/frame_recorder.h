// For tests: a pass-through video transform that keeps a copy of every
// frame it handed on (only those the next filter took), so that what a
// capture source delivered can be compared with what came out at the end.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/media/base/streams.h"

namespace ksv::media::testing {

class FrameRecorder final : public CTransformFilter {
 public:
  FrameRecorder();

  // Any video type, passed on unchanged.
  HRESULT CheckInputType(const CMediaType* input) override;
  HRESULT CheckTransform(const CMediaType* input, const CMediaType* output) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT Transform(IMediaSample* input, IMediaSample* output) override;
  HRESULT Receive(IMediaSample* sample) override;

  // The frames delivered so far, in order.
  std::vector<std::vector<uint8_t>> frames();

 private:
  std::mutex mutex_;
  std::vector<uint8_t> pending_;  // the frame being delivered (streaming thread only)
  std::vector<std::vector<uint8_t>> frames_;
};

}  // namespace ksv::media::testing
