// The sound card behind the audio renderer: SDL2's default playback device,
// opened for one PCM format, to which buffers are queued as they come. No
// device is opened when KSV_AUDIO is "none", or when SDL finds only a
// driver that plays nowhere; the renderer then only keeps time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/media/formats.h"

namespace ksv::media::audiorenderer {

class SoundDevice {
 public:
  // Null when there is no device to play `format` (8- or 16-bit PCM) on.
  static std::unique_ptr<SoundDevice> Open(const WAVEFORMATEX& format);
  ~SoundDevice();
  SoundDevice(const SoundDevice&) = delete;
  SoundDevice& operator=(const SoundDevice&) = delete;

  // Queues sound to play after what is queued; false when the device
  // refused it.
  bool Queue(const uint8_t* bytes, size_t size);
  // Bytes queued and not yet played.
  size_t Queued() const;
  // Playing, or holding what is queued.
  void Play(bool playing);
  // Forgets what is queued.
  void Clear();

 private:
  explicit SoundDevice(uint32_t device) : device_(device) {}
  const uint32_t device_;
};

// True unless KSV_AUDIO says "none".
bool SoundWanted();

}  // namespace ksv::media::audiorenderer
