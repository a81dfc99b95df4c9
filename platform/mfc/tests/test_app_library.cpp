// A library written with the framework: its application object notes its
// start and exit in the file KSV_MFC_APP_LOG names.
#include <cstdio>
#include <cstdlib>

#include "platform/mfc/app.h"
#include "platform/module/module.h"

namespace {

void Note(const char* what, HINSTANCE module) {
  const char* path = std::getenv("KSV_MFC_APP_LOG");
  if (path == nullptr) return;
  char file[512] = {};
  GetModuleFileNameA(module, file, sizeof file);
  if (FILE* log = std::fopen(path, "a")) {
    std::fprintf(log, "%s %s\n", what, file);
    std::fclose(log);
  }
}

class TestApp : public ksv::mfc::CWinApp {
 public:
  BOOL InitInstance() override {
    Note("init", m_hInstance);
    return TRUE;
  }
  int ExitInstance() override {
    Note("exit", m_hInstance);
    return 0;
  }
};

KSV_IMPLEMENT_APP(TestApp, theApp)

}  // namespace
