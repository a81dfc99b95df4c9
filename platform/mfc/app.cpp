// The application object's start at library load and its exit at unload.
#include "platform/mfc/app.h"

#include "platform/mfc/module_of.h"

namespace ksv::mfc {

AppLifetime::AppLifetime(CWinApp& app) : app_(app) {
  app_.m_hInstance = ModuleHolding(&app_);
  started_ = app_.InitInstance() != FALSE;
}

AppLifetime::~AppLifetime() {
  if (started_) app_.ExitInstance();
}

}  // namespace ksv::mfc
