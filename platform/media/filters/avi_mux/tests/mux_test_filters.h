// Test filters around a file multiplexer: a push source whose pins send
// prepared samples (and can hold the stream open, or fail part way), and
// a recording file sink whose input pin keeps positioned samples in memory
// and offers IStream, as the File writer does. Filters here are used
// without a graph: the tests connect pins and change states themselves.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/com/stream.h"
#include "platform/media/base/streams.h"

namespace ksv::media::testing {

struct TestSample {
  std::vector<uint8_t> bytes;
  REFERENCE_TIME start = 0, stop = 0;
  bool timed = true;
  bool sync = true;
};

// What a pin does after its last sample.
enum class AfterLast { kEndOfStream, kHold, kFail };

// A new test filter with one reference, held by the caller.
template <typename T>
T* Counted(T* object) {
  object->AddRef();
  return object;
}

class PushSource;

class PushPin final : public CSourceStream {
 public:
  PushPin(PushSource* source, HRESULT* result, LPCWSTR name, const CMediaType& type,
          std::vector<TestSample> samples, AfterLast after);
  using CSourceStream::GetMediaType;
  HRESULT GetMediaType(CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  // Samples delivered (and taken) downstream so far.
  size_t sent() const { return delivered_; }

 protected:
  HRESULT OnThreadStartPlay() override;
  HRESULT FillBuffer(IMediaSample* sample) override;
  HRESULT DoBufferProcessingLoop() override;

 private:
  CMediaType type_;
  std::vector<TestSample> samples_;
  AfterLast after_;
  size_t next_ = 0;
  std::atomic<size_t> delivered_{0};  // read by the test's thread
};

class PushSource final : public CSource {
 public:
  PushSource();
  // Adds an output pin; the source owns it.
  PushPin* AddStream(const CMediaType& type, std::vector<TestSample> samples,
                     AfterLast after = AfterLast::kEndOfStream);
};

class RecordingSink;

class RecordingPin final : public CBaseInputPin, public IStream {
 public:
  RecordingPin(RecordingSink* sink, CCritSec* lock, HRESULT* result);
  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override;

  // IStream: what a stopped sink still takes.
  HRESULT Read(void*, ULONG, ULONG*) override { return E_NOTIMPL; }
  HRESULT Write(const void* buffer, ULONG size, ULONG* written) override;
  HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override;
  HRESULT SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
  HRESULT CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  HRESULT Commit(DWORD flags) override;
  HRESULT Revert() override { return E_NOTIMPL; }
  HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return STG_E_INVALIDFUNCTION;
  }
  HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return STG_E_INVALIDFUNCTION;
  }
  HRESULT Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
  HRESULT Clone(IStream**) override { return E_NOTIMPL; }

 private:
  void Put(uint64_t offset, const uint8_t* data, size_t size);

  RecordingSink* sink_;
  uint64_t position_ = 0;
};

class RecordingSink final : public CBaseFilter {
 public:
  RecordingSink();
  ~RecordingSink() override;
  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int index) override { return index == 0 ? pin_ : nullptr; }
  RecordingPin* pin() { return pin_; }

  // Waits for the end of the stream (true) or the time-out.
  bool WaitForEnd(DWORD milliseconds = 20000) { return ended_.Wait(milliseconds); }
  std::vector<uint8_t> bytes();
  int samples();           // delivered samples received
  int streamWrites();      // IStream writes
  bool committed();
  bool badSample();        // a sample without valid byte positions came

 private:
  friend class RecordingPin;
  CCritSec lock_;
  RecordingPin* pin_;
  CAMEvent ended_{TRUE};
  std::mutex mutex_;
  std::vector<uint8_t> bytes_;
  int samples_ = 0;
  int streamWrites_ = 0;
  bool committed_ = false;
  bool badSample_ = false;
};

// Helpers.
// Breaks every connection of the filter's pins, both ends (what a graph
// does when a filter leaves it; a connection holds the partner's filter).
void DisconnectAll(CBaseFilter* filter);
CMediaType VideoType(DWORD compression, int width, int height, WORD bitCount,
                     REFERENCE_TIME frameTime);
// A WAVEFORMATEX type; `extra` follows it (cbSize = its size).
CMediaType AudioType(WORD tag, WORD channels, DWORD rate, DWORD bytesPerSecond, WORD blockAlign,
                     WORD bits, const std::vector<uint8_t>& extra = {});
// `count` JPEG pictures (a moving gradient) of width x height.
std::vector<std::vector<uint8_t>> JpegFrames(int count, int width, int height);
// `count` frames of `size` bytes each, `frameTime` apart, every `keyEvery`-th a sync point.
std::vector<TestSample> Frames(const std::vector<std::vector<uint8_t>>& pictures,
                               REFERENCE_TIME frameTime);
// Sound cut into samples of `chunk` bytes, timed from the byte rate.
std::vector<TestSample> SoundSamples(const std::vector<uint8_t>& sound, size_t chunk,
                                     uint32_t bytesPerSecond);

// Runs `command` (a shell line) and returns what it wrote to stdout;
// `status` gets its exit status.
std::string RunCommand(const std::string& command, int* status = nullptr);
bool HaveFfmpeg();
// ffprobe's value of `entry` (e.g. "stream=nb_frames") of stream `stream`
// ("v:0", "a:0") of `file`, with -count_frames when `count`.
std::string Probe(const std::string& file, const std::string& stream, const std::string& entry,
                  bool count = false);

}  // namespace ksv::media::testing
