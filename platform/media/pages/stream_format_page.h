// The "Stream Format" page of a video capture pin: the formats its
// IAMStreamConfig offers, one line each as a person reads them ("I420
// 320 x 240, 12 bit"), the current one selected, and a frame rate in
// frames per second within the chosen format's range. Apply hands the
// chosen format, with that rate, to SetFormat. It knows nothing of any
// particular device: it works for whatever IAMStreamConfig it is given.
//
// A rate that is not a number, or outside the format's range, makes Apply
// fail with E_INVALIDARG (the page stays dirty), as does a SetFormat that
// fails (its result is returned).
#pragma once

#include <string>
#include <vector>

#include "platform/media/base/media_type.h"
#include "platform/media/base/property_page.h"
#include "platform/media/config_interfaces.h"

namespace ksv::media::pages {

// The page's controls.
enum : int {
  kFormatListId = 1000,
  kRateEditId = 1001,
  kRateRangeId = 1002,
};

// "I420 320 x 240, 12 bit", "RGB24 160 x 120, 24 bit": the FOURCC of the
// bitmap header's compression, or RGB and the bit count for BI_RGB; the
// height without its sign. Empty for a type without a video header.
std::string DescribeVideoType(const AM_MEDIA_TYPE& type);

// Frames per second as the page shows them: "30", "7.5", "29.97".
std::string FormatFrameRate(double framesPerSecond);

class StreamFormatPage final : public CBasePropertyPage {
 public:
  // For a CFactoryTemplate.
  static CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* result);

 private:
  explicit StreamFormatPage(LPUNKNOWN outer);

  struct Entry {
    CMediaType type;
    VIDEO_STREAM_CONFIG_CAPS caps{};
  };

  HRESULT OnConnect(IUnknown* object) override;
  HRESULT OnDisconnect() override;
  HRESULT OnActivate() override;
  HRESULT OnApplyChanges() override;
  INT_PTR OnReceiveMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) override;

  HRESULT ReadCapabilities();
  // The entry a type has the subtype, size and depth of; -1 for none.
  int FindEntry(const AM_MEDIA_TYPE& type) const;
  void ShowRate(const Entry& entry);
  void ReadRate();
  void OnFormatChosen();

  ksv::com::ComPtr<IAMStreamConfig> config_;
  std::vector<Entry> entries_;  // as of the last activation
  // What the person chose, kept past Deactivate for a later Apply.
  Entry chosen_;
  bool rateValid_ = true;
  REFERENCE_TIME chosenFrameTime_ = 0;
  bool filling_ = false;  // controls being filled: their notifications are ours
};

}  // namespace ksv::media::pages
