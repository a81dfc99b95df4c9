// OKSV1Dep's one export.
#include "include/oksv1dep.h"
#include "pages/dep/settings_dialog.h"
#include "support/no_throw.h"

extern "C" KSV_EXPORT int32_t KXDSEXPG_Open(const char* deviceName, const char* vidPid, const char* localizationName) {
  return ksv::support::NoThrow<int32_t>(0, [&] {
    return ksv::pages::OpenSettingsDialog(deviceName, vidPid, localizationName, ksv::pages::kLibraryCalls);
  });
}
