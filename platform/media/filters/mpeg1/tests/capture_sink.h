// A renderer for the tests that keeps what reaches it: the connection's
// type, every sample's times, the bytes (all of them, or only the first
// sample's) and how many ends of stream arrived.
#pragma once

#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/media/base/streams.h"

namespace ksv::media::mpeg1::testing {

class CaptureSink : public CBaseRenderer {
 public:
  // Takes `major` with one of `subtypes`.
  CaptureSink(const GUID& major, std::vector<GUID> subtypes, bool keepAllBytes);

  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT SetMediaType(const CMediaType* type) override;
  HRESULT DoRenderSample(IMediaSample* sample) override;
  HRESULT EndOfStream() override;

  IPin* Input() { return GetPin(0); }
  CMediaType type();
  int samples();
  std::vector<std::pair<REFERENCE_TIME, REFERENCE_TIME>> times();
  std::vector<uint8_t> bytes();  // all, or the first sample's
  int64_t byteCount();
  int endOfStreams() const { return endOfStreams_.load(); }

 private:
  const GUID major_;
  const std::vector<GUID> subtypes_;
  const bool keepAllBytes_;
  std::mutex mutex_;
  CMediaType type_;
  std::vector<std::pair<REFERENCE_TIME, REFERENCE_TIME>> times_;
  std::vector<uint8_t> bytes_;
  int64_t byteCount_ = 0;
  std::atomic<int> endOfStreams_{0};
};

}  // namespace ksv::media::mpeg1::testing
