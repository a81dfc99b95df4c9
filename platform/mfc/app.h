// The application object of a library written with the application
// framework: one per library, its InitInstance run when the library is
// loaded into a process and its ExitInstance when it is unloaded, as the
// framework's own start-up code does. KSV_IMPLEMENT_APP defines the object
// and ties it to the library's life:
//
//   class SettingsApp : public ksv::mfc::CWinApp { BOOL InitInstance() override; ... };
//   KSV_IMPLEMENT_APP(SettingsApp, theApp)
//
// Both are defined in the same file, in that order, so the object is made
// before its InitInstance runs and ExitInstance runs before it goes.
#pragma once

#include "platform/ui/user32.h"

namespace ksv::mfc {

class CWinApp {
 public:
  CWinApp() = default;
  virtual ~CWinApp() = default;
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  virtual BOOL InitInstance() { return TRUE; }
  virtual int ExitInstance() { return 0; }

  // The library's module (its file registered as a module), set before
  // InitInstance runs.
  HINSTANCE m_hInstance = nullptr;
};

// Runs the application object's InitInstance at construction and, when it
// succeeded, its ExitInstance at destruction.
class AppLifetime {
 public:
  explicit AppLifetime(CWinApp& app);
  ~AppLifetime();
  AppLifetime(const AppLifetime&) = delete;
  AppLifetime& operator=(const AppLifetime&) = delete;

 private:
  CWinApp& app_;
  bool started_ = false;
};

}  // namespace ksv::mfc

#define KSV_IMPLEMENT_APP(Class, name) \
  Class name;                          \
  static ::ksv::mfc::AppLifetime name##Lifetime(name);
