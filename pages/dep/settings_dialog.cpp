#include "pages/dep/settings_dialog.h"

#include "pages/settings_context.h"
#include "pages/texts.h"
#include "platform/files/files.h"
#include "platform/mfc/dialog.h"
#include "platform/mfc/property_sheet.h"

namespace ksv::pages {
namespace {

constexpr UINT_PTR kWatchTimer = 1;
constexpr UINT kWatchMilliseconds = 50;

class SettingsDialog final : public mfc::CDialog {
 public:
  explicit SettingsDialog(SettingsContext& context) : context_(context) {
    InitModalIndirect(ContainerTemplate());
  }

  BOOL OnInitDialog() override {
    SetWindowText(context_.deviceName);
    sheet_.AddPage(context_.device.get());
    sheet_.AddPage(context_.camera.get());
    sheet_.AddPage(context_.flicker.get());
    if (!sheet_.Create(this, WS_CHILD | WS_VISIBLE, 0)) {
      EndDialog(IDCANCEL);
      return TRUE;
    }
    sheet_.ModifyStyleEx(WS_EX_CONTROLPARENT, 0);
    sheet_.ModifyStyle(WS_TABSTOP, 0);
    RECT frame{};
    GetDlgItem(kFrameId)->GetWindowRect(&frame);
    ScreenToClient(&frame);
    sheet_.SetWindowPos(nullptr, frame.left - 7, frame.top - 7, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    if (mfc::CWnd* tab = sheet_.GetTabControl()) {
      for (int index = 0; index < 3; ++index) {
        std::string title = PageTitle(context_.host.localization, index);
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = title.data();
        tab->SendMessage(TCM_SETITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
      }
    }
    // A closed child sheet tells nobody: the dialog looks for its end.
    ::SetTimer(m_hWnd, kWatchTimer, kWatchMilliseconds, WatchSheet);
    return TRUE;
  }

  // The close box, Escape or Enter: the sheet's Cancel or OK first, so the
  // pages hear it (Cancel puts the picture controls back).
  void OnCancel() override { Close(PSBTN_CANCEL, IDCANCEL); }
  void OnOK() override { Close(PSBTN_OK, IDOK); }

 private:
  void Close(int button, int result) {
    if (sheet_.m_hWnd != nullptr && sheet_.SendMessage(PSM_GETCURRENTPAGEHWND) != 0) {
      sheet_.SendMessage(PSM_PRESSBUTTON, static_cast<WPARAM>(button));
    }
    ::KillTimer(m_hWnd, kWatchTimer);
    EndDialog(result);
  }

  static void WatchSheet(HWND window, UINT, UINT_PTR, DWORD) {
    auto* self = reinterpret_cast<SettingsDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    if (self == nullptr || self->sheet_.m_hWnd == nullptr) return;
    if (SendMessageA(self->sheet_.m_hWnd, PSM_GETCURRENTPAGEHWND, 0, 0) == 0) {
      ::KillTimer(window, kWatchTimer);
      self->EndDialog(IDOK);
    }
  }

  SettingsContext& context_;
  mfc::CPropertySheet sheet_{""};
};

}  // namespace

int32_t OpenSettingsDialog(const char* deviceName, const char* vidPid, const char* localizationName,
                           const PropertyCalls& calls) {
  SettingsContext context;
  CopyName(context.deviceName, deviceName);
  CopyName(context.vidPid, vidPid);
  char system[260] = {};
  GetSystemDirectoryA(system, sizeof system);
  context.host.localization = std::string(system) + "/" + (localizationName != nullptr ? localizationName : "");
  if (!context.Open(calls)) return 0;
  SettingsDialog dialog(context);
  dialog.DoModal();
  return 1;
}

}  // namespace ksv::pages
