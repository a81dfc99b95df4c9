// The audio capture filter's one output pin, "Capture" (PIN_CATEGORY_CAPTURE
// through IKsPropertySet): PCM in the format chosen through its
// IAMStreamConfig, in buffers of about 50 ms (IAMBufferNegotiation may ask
// for others). While the filter runs, its thread reads the device and
// stamps each buffer from the frames before it (start = frames x 10^7 /
// rate); with a graph clock a buffer leaves no earlier than its end time
// on that clock, the pace of a real microphone, and without one as fast as
// the device gives sound. Paused, it delivers nothing (a live source); the
// end of the device's sound is the end of the stream.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "platform/audio/audio_source.h"
#include "platform/media/base/source.h"
#include "platform/media/buffer_negotiation.h"
#include "platform/media/config_interfaces.h"
#include "platform/media/ks_property_set.h"

namespace ksv::media::filters {

class AudioCapturePin final : public CSourceStream,
                              public IAMStreamConfig,
                              public IKsPropertySet,
                              public IAMBufferNegotiation {
 public:
  AudioCapturePin(HRESULT* result, CSource* filter);
  ~AudioCapturePin() override;

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  // The device to capture from (the filter's, once its moniker loaded it);
  // its preferred format becomes the pin's.
  void UseDevice(platform::audio::AudioSource* source);
  bool HasDevice() const { return source_ != nullptr; }
  // The filter's state changed: a waiting thread looks again.
  void Wake();

  // The format set through IAMStreamConfig, else any PCM in the device's
  // range; the pin offers its current format.
  HRESULT CheckMediaType(const CMediaType* type) override;
  using CSourceStream::GetMediaType;
  HRESULT GetMediaType(CMediaType* type) override;
  HRESULT SetMediaType(const CMediaType* type) override;
  // Opens the device once in the connection's format, so that sound it
  // cannot give (an unreadable file) fails the connection, not the run.
  HRESULT CompleteConnect(IPin* receivePin) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT Active() override;
  HRESULT Inactive() override;

  // IAMStreamConfig. SetFormat only while stopped; on a connected pin the
  // peer must accept the format and the pin is reconnected with it.
  HRESULT SetFormat(AM_MEDIA_TYPE* type) override;
  HRESULT GetFormat(AM_MEDIA_TYPE** type) override;
  HRESULT GetNumberOfCapabilities(int* count, int* size) override;
  HRESULT GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) override;

  // IKsPropertySet: AMPROPSETID_Pin / AMPROPERTY_PIN_CATEGORY, read-only.
  HRESULT Set(REFGUID propertySet, DWORD id, LPVOID instanceData, DWORD instanceLength,
              LPVOID propertyData, DWORD dataLength) override;
  HRESULT Get(REFGUID propertySet, DWORD id, LPVOID instanceData, DWORD instanceLength,
              LPVOID propertyData, DWORD dataLength, DWORD* returned) override;
  HRESULT QuerySupported(REFGUID propertySet, DWORD id, DWORD* support) override;

  // IAMBufferNegotiation.
  HRESULT SuggestAllocatorProperties(const ALLOCATOR_PROPERTIES* properties) override;
  HRESULT GetAllocatorProperties(ALLOCATOR_PROPERTIES* properties) override;

 protected:
  HRESULT FillBuffer(IMediaSample* sample) override;
  HRESULT OnThreadCreate() override;
  HRESULT OnThreadDestroy() override;
  HRESULT DoBufferProcessingLoop() override;

 private:
  enum class Due { kNow, kStopped };
  // Waits until the filter runs and the clock (if any) has reached
  // `streamEnd`; kStopped as soon as the filter stops.
  Due WaitUntilDue(REFERENCE_TIME streamEnd);

  platform::audio::AudioSource* source_ = nullptr;
  platform::audio::PcmFormat format_;
  bool formatSet_ = false;            // chosen through SetFormat
  ALLOCATOR_PROPERTIES suggested_{};  // IAMBufferNegotiation's, zero fields for ours
  // The worker's.
  std::unique_ptr<platform::audio::AudioCapture> capture_;
  platform::audio::PcmFormat streamFormat_;
  uint64_t frames_ = 0;  // frames delivered since the run began
  std::atomic<bool> stopping_{false};  // from Inactive until the next Active
  HANDLE stateEvent_;    // auto-reset: the filter's state changed
  HANDLE timeEvent_;     // auto-reset: the clock's advise came
};

}  // namespace ksv::media::filters
