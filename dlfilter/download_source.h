// The download source filter: two output pins, video and audio, that play
// the clip the camera access library of this process has prepared. It holds
// no data of its own; every media type and sample comes from the library's
// sample functions (include/oksv1api_samples.h).
#pragma once

#include "platform/media/base/streams.h"

namespace ksv::dlfilter {

class DownloadStreamPin;

class DownloadSourceFilter final : public CSource {
 public:
  static CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* result);
  // The registration record: both output pins, MERIT_DO_NOT_USE, so
  // intelligent connection never picks the filter on its own.
  static const AMOVIESETUP_FILTER* Setup();
  const AMOVIESETUP_FILTER* GetSetupData() override { return Setup(); }

  // Starts running, then wakes the pins' threads, which wait for a command
  // while the filter is paused.
  HRESULT Run(REFERENCE_TIME start) override;

  // The state, read under the filter's lock.
  bool IsRunning();

 private:
  DownloadSourceFilter(LPUNKNOWN outer, HRESULT* result);
};

}  // namespace ksv::dlfilter
