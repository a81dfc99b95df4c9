// The camera's capture pin, "Capture" (PIN_CATEGORY_CAPTURE through
// IKsPropertySet). Until a format is set it offers every capability of the
// driver's ranges (320 x 240 first); IAMStreamConfig::SetFormat takes one
// through the driver's data intersection, and from then on the pin offers
// only that format. ISpecifyPropertyPages (reached from IAMStreamConfig)
// names the stream format page.
//
// Active opens the driver's stream in the connected format and Inactive
// closes it. The pin's thread takes each frame the driver's reads deliver
// into a sample and stamps it from the stream clock (the frame interval
// that ends when the bus completed it, on the graph's clock, less stream
// time 0, so the first frame starts at 0), or by its count without a clock. A live source: frames that arrive while paused are
// dropped, and so are those that come before stream time 0.
#pragma once

#include <atomic>
#include <span>
#include <vector>

#include "platform/media/base/source.h"
#include "platform/media/config_interfaces.h"
#include "platform/media/filters/ks_proxy/video_formats.h"
#include "platform/media/ks_property_set.h"
#include "platform/usbcamd/camera_stack.h"

namespace ksv::media::filters {

class VideoCapturePin final : public CSourceStream,
                              public IAMStreamConfig,
                              public IKsPropertySet,
                              public ISpecifyPropertyPages {
 public:
  VideoCapturePin(HRESULT* result, CSource* filter);

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  // The camera to stream from (the filter's, once its moniker started it);
  // null when it goes. Asks the driver's intersection for each range.
  HRESULT UseCamera(platform::usbcamd::CameraStack* camera);

  HRESULT CheckMediaType(const CMediaType* type) override;
  using CSourceStream::GetMediaType;
  HRESULT GetMediaType(int position, CMediaType* type) override;
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

  // ISpecifyPropertyPages: the stream format page.
  HRESULT GetPages(CAUUID* pages) override;

 protected:
  HRESULT FillBuffer(IMediaSample* sample) override;
  HRESULT OnThreadCreate() override;
  HRESULT DoBufferProcessingLoop() override;

 private:
  // The media type of a capability; false past the end or without a camera.
  bool CapabilityType(size_t index, REFERENCE_TIME interval, CMediaType* type) const;

  platform::usbcamd::CameraStack* camera_ = nullptr;
  std::vector<std::vector<uint8_t>> intersections_;  // the driver's format per range
  std::vector<VideoCapability> capabilities_;
  CMediaType chosen_;        // the format SetFormat took
  bool formatSet_ = false;
  // The worker's.
  REFERENCE_TIME interval_ = 0;  // of the connected format
  uint64_t frames_ = 0;          // delivered since the run began
  REFERENCE_TIME lastEnd_ = 0;
  bool keep_ = false;            // the frame just read goes downstream
};

}  // namespace ksv::media::filters
