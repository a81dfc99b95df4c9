// The converter's property page ("SMPLRATE PropertyPage "): the output
// format (rate, channels, width), whether other formats may be negotiated,
// and the filter's merit for the filter mapper.
//
// The radio buttons and the check box change the filter at once; the rate
// and the merit wait for Apply, which also reconnects the output so the
// format takes effect. Disconnecting from a stopped filter puts back what
// was last applied. While the filter streams the format controls are off
// (the filter tells the page with kSampleRateStreamingMessage).
#pragma once

#include "include/trsmplrt.h"
#include "platform/com/com_ptr.h"
#include "platform/media/base/property_page.h"

namespace ksv::resampler {

// The page's controls.
enum : int {
  kNegotiateBoxId = 1000,
  kStatusId = 1001,
  kMonoId = 1006,
  kStereoId = 1007,
  kUnsigned8Id = 1008,
  kRateBoxId = 1010,
  kSigned16Id = 1011,
  kMeritListId = 1013,
};

// The page's strings, by their resource numbers (1 and 3).
inline constexpr const char* kRestrictionText =
    "Sample rate converter filter output mediatype %s  be restricted to the  format configured "
    "in this page.";
inline constexpr const char* kRestrictedToText =
    "Sample rate converter filter output mediatype will be restricted to this %s";
inline constexpr const char* kMeritText =
    "The merit configured here will have impact on dynamic insertion of samplerate converter "
    "filter by the filter mapper.";

class SampleRatePage final : public CBasePropertyPage {
 public:
  static CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* result);

 private:
  explicit SampleRatePage(LPUNKNOWN outer);

  HRESULT OnConnect(IUnknown* object) override;
  HRESULT OnDisconnect() override;
  HRESULT OnActivate() override;
  HRESULT OnDeactivate() override;
  HRESULT OnApplyChanges() override;
  INT_PTR OnReceiveMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) override;

  void OnCommand(int id, WORD code);
  void EnableFormat(bool enable);
  void ShowStatus(const char* format, const char* word);

  ksv::com::ComPtr<ISampleRateConfig> config_;
  // What was last applied (or read at connection): put back on disconnect.
  LONG rate_ = 0;
  SHORT channels_ = 0;
  SHORT bits_ = 0;
  LONG negotiate_ = 0;
  DWORD merit_ = 0;
  // Chosen and not applied yet; kept past Deactivate for a later Apply.
  DWORD chosenMerit_ = 0;
  bool ratePending_ = false;
  char rateText_[16] = {};
  bool filling_ = false;  // controls being filled: their notifications are ours
};

}  // namespace ksv::resampler
