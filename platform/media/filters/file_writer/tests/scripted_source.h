// A push source for the File writer's tests: it delivers MEDIATYPE_Stream
// samples that carry byte positions in their times, in the order its script
// gives (out of order too), and then ends the stream, fails it, or holds it
// open until the graph stops. In its own Stop (after the writer's, as the
// graph stops downstream first) it may write more through the writer pin's
// IStream and commit, as a multiplexer finishing its file does.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/media/base/streams.h"

namespace ksv::media::testing {

struct Chunk {
  uint64_t offset;
  std::string bytes;
};

struct Script {
  enum class End {
    kEndOfStream,    // end of stream after the chunks
    kError,          // EC_ERRORABORT (kScriptError), then end of stream
    kHold,           // nothing more until the graph stops
    kErrorThenHold,  // EC_ERRORABORT (kScriptError), then hold
  };
  std::vector<Chunk> chunks;
  End end = End::kEndOfStream;
  bool waitForGate = false;      // after the chunks, until OpenGate
  std::vector<Chunk> atStop;     // written through the IStream in Stop
  bool commitAtStop = false;
};

inline constexpr HRESULT kScriptError = static_cast<HRESULT>(0x8004022Fu);  // invalid format

class ScriptedSource;

class ScriptedPin : public CSourceStream {
 public:
  ScriptedPin(ScriptedSource* filter, HRESULT* result);
  using CSourceStream::GetMediaType;
  HRESULT GetMediaType(CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

 protected:
  HRESULT OnThreadCreate() override;
  HRESULT FillBuffer(IMediaSample* sample) override;

 private:
  // Waits until `done` or a command is waiting; false on the command.
  bool WaitUnlessCommanded(const std::atomic<bool>& done);

  ScriptedSource* source_;
  size_t next_ = 0;
  bool ended_ = false;
};

class ScriptedSource : public CSource {
 public:
  explicit ScriptedSource(Script script);
  HRESULT Stop() override;

  const Script& script() const { return script_; }
  void OpenGate() { gate_ = true; }
  const std::atomic<bool>& gate() const { return gate_; }
  int delivered() const { return delivered_.load(); }
  void CountDelivered() { ++delivered_; }
  // What the IStream calls in the last Stop returned (S_FALSE: none made).
  HRESULT stopWrite() const { return stopWrite_.load(); }
  HRESULT stopCommit() const { return stopCommit_.load(); }

 private:
  Script script_;
  ScriptedPin* pin_;
  std::atomic<bool> gate_{false};
  std::atomic<int> delivered_{0};
  std::atomic<HRESULT> stopWrite_{S_FALSE};
  std::atomic<HRESULT> stopCommit_{S_FALSE};
};

}  // namespace ksv::media::testing
