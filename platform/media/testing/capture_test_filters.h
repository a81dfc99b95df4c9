// Test filters for capture graphs: a capture source whose output pins say
// their category through the pin property set (a capture pin with
// IAMStreamConfig, and optionally a preview pin), sending a fixed number of
// timed RGB24 160x120 frames at 30 frames a second; and a video sink that
// records what reaches it and can act as a slow preview renderer (blocking
// in Receive, or holding every sample until it stops). Every frame's bytes
// follow from its number, so a sink can tell a frame arrived intact.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/media/base/streams.h"
#include "platform/media/ks_property_set.h"

namespace ksv::media::testing {

inline constexpr int kCaptureWidth = 160;
inline constexpr int kCaptureHeight = 120;
inline constexpr LONG kCaptureFrameBytes = kCaptureWidth * kCaptureHeight * 3;
inline constexpr REFERENCE_TIME kCaptureFrameTime = UNITS / 30;

CMediaType CaptureVideoType();
// Writes frame `frame`'s bytes / tells whether `bytes` are frame `*frame`.
void FillFrame(uint32_t frame, BYTE* bytes, LONG length);
bool FrameIntact(const BYTE* bytes, LONG length, uint32_t* frame);

class CaptureSource;

class CategoryPin final : public CSourceStream, public IKsPropertySet, public IAMStreamConfig {
 public:
  CategoryPin(CaptureSource* source, HRESULT* result, LPCWSTR name, const GUID& category,
              bool streamConfig);
  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  using CSourceStream::GetMediaType;
  HRESULT GetMediaType(CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

  // IKsPropertySet: the pin category, read only.
  HRESULT Set(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD) override { return E_NOTIMPL; }
  HRESULT Get(REFGUID set, DWORD id, LPVOID instance, DWORD instanceSize, LPVOID data,
              DWORD dataSize, DWORD* returned) override;
  HRESULT QuerySupported(REFGUID set, DWORD id, DWORD* support) override;

  // IAMStreamConfig: the one format the pin has.
  HRESULT SetFormat(AM_MEDIA_TYPE* type) override;
  HRESULT GetFormat(AM_MEDIA_TYPE** type) override;
  HRESULT GetNumberOfCapabilities(int* count, int* size) override;
  HRESULT GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) override;

  // The buffer frame `frame` was written into (null before it was).
  const BYTE* BufferOf(uint32_t frame) const;

 protected:
  HRESULT OnThreadCreate() override;
  HRESULT FillBuffer(IMediaSample* sample) override;

 private:
  CaptureSource* source_;
  const GUID category_;
  const bool streamConfig_;
  uint32_t produced_ = 0;
  std::vector<std::atomic<const BYTE*>> buffers_;  // per frame, sized once
};

// Sends `frames` frames from each pin each time it leaves the stopped
// state, then ends the stream.
class CaptureSource final : public CSource {
 public:
  CaptureSource(uint32_t frames, bool previewPin);
  uint32_t frames() const { return frames_; }
  CategoryPin* capturePin() { return capture_; }
  CategoryPin* previewPin() { return preview_; }

 private:
  const uint32_t frames_;
  CategoryPin* capture_ = nullptr;
  CategoryPin* preview_ = nullptr;
};

// What the sink saw of one sample.
struct SeenSample {
  const BYTE* buffer = nullptr;
  bool timed = false;
  REFERENCE_TIME start = 0, stop = 0;
  bool intact = false;
  uint32_t frame = 0;
};

enum class SinkMode {
  kTake,   // records and returns
  kBlock,  // records, then blocks in Receive until the sink stops
  kHold,   // records and keeps the sample until the sink stops
};

class VideoSink;

class VideoSinkPin final : public CBaseInputPin {
 public:
  VideoSinkPin(VideoSink* sink, CCritSec* lock, HRESULT* result);
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override;
  HRESULT ReceiveCanBlock() override;

 private:
  VideoSink* sink_;
};

class VideoSink final : public CBaseFilter {
 public:
  explicit VideoSink(SinkMode mode = SinkMode::kTake);
  ~VideoSink() override;
  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int index) override { return index == 0 ? pin_ : nullptr; }
  HRESULT Pause() override;
  HRESULT Stop() override;

  VideoSinkPin* pin() { return pin_; }
  // Waits for the end of the stream (true) or the time-out.
  bool WaitForEnd(DWORD milliseconds = 20000) { return ended_.Wait(milliseconds); }
  std::vector<SeenSample> seen();

 private:
  friend class VideoSinkPin;
  void Record(IMediaSample* sample);
  void ReleaseHeld();

  const SinkMode mode_;
  CCritSec lock_;
  VideoSinkPin* pin_;
  CAMEvent ended_{TRUE};
  CAMEvent released_{TRUE};
  std::mutex mutex_;
  std::vector<SeenSample> seen_;      // capacity reserved once
  std::vector<IMediaSample*> held_;  // kHold; capacity reserved once
};

// Stands in for a video compressor: passes RGB24 frames on as copies.
class FrameCopier final : public CTransformFilter {
 public:
  FrameCopier();
  HRESULT CheckInputType(const CMediaType* input) override;
  HRESULT CheckTransform(const CMediaType* input, const CMediaType* output) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT Transform(IMediaSample* input, IMediaSample* output) override;
};

// The graph's filters whose class is `clsid`.
int CountFiltersOfClass(IFilterGraph* graph, REFCLSID clsid);
// The filter and name of the pin connected to `pin` (null / empty when none).
com::ComPtr<IBaseFilter> PeerFilter(IPin* pin);
std::u16string PeerName(IPin* pin);

}  // namespace ksv::media::testing
