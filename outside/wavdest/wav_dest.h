// WAV Dest: sound in, a WAV file out for the File writer. The header goes
// first (its sizes still zero), the sound after it as it comes; at the end
// of the stream the header is written again with the real data size and,
// for compressed sound, the sample count. When the graph stops before the
// end of the stream (the File writer stops first and waits), the header is
// finished through the File writer's IStream and the file committed.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "platform/media/base/filter.h"
#include "platform/media/base/pins.h"
#include "platform/media/filters/positioned_output/positioned_output.h"

namespace ksv::media::wavdest {

class WavDest;

class WavInputPin final : public CBaseInputPin {
 public:
  WavInputPin(WavDest* filter, CCritSec* lock, HRESULT* result);
  // Any WAVEFORMATEX sound whose block holds what it claims.
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override;
  HRESULT ReceiveCanBlock() override { return S_OK; }

 private:
  WavDest* filter_;
};

class WavOutputPin final : public CBaseOutputPin {
 public:
  WavOutputPin(WavDest* filter, CCritSec* lock, HRESULT* result);
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
};

// The samples `dataSize` bytes of sound in `format` (a WAVEFORMATEX as
// stored) hold: whole blocks of samplesPerBlock for IMA ADPCM, else the
// sample rate times the duration.
uint32_t CountSamples(const std::vector<uint8_t>& format, uint64_t dataSize);

class WavDest final : public CBaseFilter {
 public:
  WavDest(LPUNKNOWN outer, HRESULT* result);
  ~WavDest() override;
  static CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* result);
  static const AMOVIESETUP_FILTER* Setup();

  int GetPinCount() override { return 2; }
  CBasePin* GetPin(int index) override;
  const AMOVIESETUP_FILTER* GetSetupData() override { return Setup(); }

  HRESULT Pause() override;
  HRESULT Stop() override;

  HRESULT WriteSample(IMediaSample* sample);
  HRESULT EndStream();

 private:
  // With writeLock_ held: the header with the sizes so far.
  bool WriteHeader();
  HRESULT Failure();

  CCritSec stateLock_;
  WavInputPin* input_ = nullptr;
  WavOutputPin* output_ = nullptr;

  std::mutex writeLock_;
  std::unique_ptr<PositionedOutput> sink_;
  std::vector<uint8_t> format_;  // the input's WAVEFORMATEX, as stored
  uint64_t dataOffset_ = 0;
  uint64_t dataSize_ = 0;
  bool active_ = false;  // a file is being written
  bool begun_ = false;   // its first header is out
  bool done_ = false;
  bool failed_ = false;
};

}  // namespace ksv::media::wavdest
