// "Default DirectSound Device", the audio renderer: takes 8- and 16-bit
// PCM, mono or stereo (FORMAT_WaveFormatEx), and plays it on the sound
// device (SDL2) when there is one: each buffer is queued at its start time
// and the end of stream waits until the device has played what is queued.
// Without a device each buffer is consumed when the graph's clock reaches
// its end time, so a graph plays as long with or without sound; without a
// clock, at once. A segment played at another rate than the normal one
// is consumed the same way, in silence: the device plays sound only at
// the rate it was recorded at. The end of stream reaches the graph as
// EC_COMPLETE.
// Registered as a filter and in the audio renderer category.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "platform/media/base/renderer.h"
#include "platform/media/filters/audio_renderer/sound_device.h"

namespace ksv::media::audiorenderer {

class AudioRenderer final : public CBaseRenderer {
 public:
  AudioRenderer(LPUNKNOWN outer, HRESULT* result);
  ~AudioRenderer() override;
  static CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* result);
  static const AMOVIESETUP_FILTER* Setup();
  const AMOVIESETUP_FILTER* GetSetupData() override { return Setup(); }

  HRESULT Stop() override;
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME start) override;

  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT SetMediaType(const CMediaType* type) override;
  REFERENCE_TIME DueTime(REFERENCE_TIME start, REFERENCE_TIME end) override;
  HRESULT DoRenderSample(IMediaSample* sample) override;
  // With a device: waits (until Stop or a flush) for the queued sound to play.
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;

 private:
  bool DeviceStillPlaying();
  // The device plays the stream: one is open and the segment runs at the
  // normal rate (on the streaming thread, which delivers the segments).
  bool DeviceTakesTheStream() const;

  WAVEFORMATEX format_{};  // the connected type's, set while stopped
  // The device, from pause until stop. Its own lock, so that the stream
  // and the state changes share it without the filter's lock.
  std::mutex deviceLock_;
  std::unique_ptr<SoundDevice> device_;
  std::atomic<bool> playing_{false};  // a device is open (what DueTime reads)
  HANDLE abort_;  // manual-reset: Stop or a flush ends the wait for the device
};

}  // namespace ksv::media::audiorenderer
