// The harness's push source scripted for the File writer's tests: it
// delivers MEDIATYPE_Stream samples that carry byte positions in their
// times, in the order its script gives (out of order too), and then ends the
// stream, fails it, or holds it open until the graph stops. In its own Stop (after the writer's, as the
// graph stops downstream first) it may write more through the writer pin's
// IStream and commit, as a multiplexer finishing its file does.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/media/base/streams.h"
#include "platform/media/testing/harness_filters.h"

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

class ScriptedSource : public HarnessSource {
 public:
  explicit ScriptedSource(Script script);
  HRESULT Stop() override;

  CMediaType StreamType() override;
  HRESULT Fill(IMediaSample* sample, int64_t index) override;
  void OnStart() override { ended_ = false; }

  const Script& script() const { return script_; }
  void OpenGate() { gate_ = true; }
  int delivered() const { return delivered_.load(); }
  // What the IStream calls in the last Stop returned (S_FALSE: none made).
  HRESULT stopWrite() const { return stopWrite_.load(); }
  HRESULT stopCommit() const { return stopCommit_.load(); }

 private:
  // Waits until `done` or a command is waiting; false on the command.
  bool WaitUnlessCommanded(const std::atomic<bool>& done);

  Script script_;
  bool ended_ = false;  // the worker's: the script's end was reached
  std::atomic<bool> gate_{false};
  std::atomic<int> delivered_{0};
  std::atomic<HRESULT> stopWrite_{S_FALSE};
  std::atomic<HRESULT> stopCommit_{S_FALSE};
};

}  // namespace ksv::media::testing
