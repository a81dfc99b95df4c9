// The AVI Mux filter: video and audio streams in, an AVI file out, as
// positioned samples for the File writer. It writes each sample as a chunk
// when it arrives (or, interleaving fully, in time order across streams),
// and the index and final headers when every input has ended. When the
// graph stops before that (a capture), it finishes the file through the
// File writer's IStream and commits it, so the file is whole when Stop
// returns.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "platform/media/base/filter.h"
#include "platform/media/config_interfaces.h"
#include "platform/media/filters/avi_mux/mux_pins.h"
#include "platform/media/filters/avi_mux/mux_session.h"
#include "platform/media/filters/positioned_output/positioned_output.h"

namespace ksv::media::avimux {

// Input pins a mux grows to at most.
inline constexpr int kMaxInputs = 99;

class AviMux final : public CBaseFilter, public IConfigAviMux, public IConfigInterleaving {
 public:
  AviMux(LPUNKNOWN outer, HRESULT* result);
  ~AviMux() override;
  static CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* result);
  // The filter's registration record: "AVI Mux", not used by intelligent
  // connection, any type in, an AVI byte stream out.
  static const AMOVIESETUP_FILTER* Setup();

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  // Pin 0 is the output; the inputs follow.
  int GetPinCount() override;
  CBasePin* GetPin(int index) override;
  const AMOVIESETUP_FILTER* GetSetupData() override;

  // Leaving the stopped state starts a file; Stop finishes one that did
  // not end (through the sink's IStream).
  HRESULT Pause() override;
  HRESULT Stop() override;

  // IConfigAviMux (settings apply to the next file).
  HRESULT SetMasterStream(LONG stream) override;
  HRESULT GetMasterStream(LONG* stream) override;
  HRESULT SetOutputCompatibilityIndex(BOOL oldIndex) override;
  HRESULT GetOutputCompatibilityIndex(BOOL* oldIndex) override;
  // IConfigInterleaving
  HRESULT put_Mode(InterleavingMode mode) override;
  HRESULT get_Mode(InterleavingMode* mode) override;
  HRESULT put_Interleaving(const REFERENCE_TIME* interleave,
                           const REFERENCE_TIME* preroll) override;
  HRESULT get_Interleaving(REFERENCE_TIME* interleave, REFERENCE_TIME* preroll) override;

  // From the input pins.
  void InputConnected();
  HRESULT WriteSample(MuxInputPin* pin, IMediaSample* sample);
  HRESULT EndStream(MuxInputPin* pin);

 private:
  // Called with writeLock_ held; the session fails and the graph hears of
  // it (after the lock is let go).
  HRESULT Failure();

  CCritSec stateLock_;
  MuxOutputPin* output_ = nullptr;
  std::vector<MuxInputPin*> inputs_;

  // Settings (under stateLock_).
  LONG master_ = -1;
  bool legacyIndex_ = false;
  InterleavingMode mode_ = INTERLEAVE_CAPTURE;
  REFERENCE_TIME interleave_ = UNITS;  // one second
  REFERENCE_TIME preroll_ = 0;

  // The file being written; one input thread (or Stop) at a time.
  std::mutex writeLock_;
  std::unique_ptr<PositionedOutput> sink_;
  std::unique_ptr<MuxSession> session_;
  bool done_ = false;    // finished (or abandoned): nothing more is written
  bool failed_ = false;
};

}  // namespace ksv::media::avimux
