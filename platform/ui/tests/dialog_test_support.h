// A settings dialog of the usual controls, its template and a record of
// what its procedure saw, for the dialog and control tests.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui/dialogs/dialog_template.h"
#include "platform/sync/sync.h"
#include "platform/ui/input.h"

namespace ksv::platform::ui::testing {

enum : int {
  kRateEdit = 100,
  kRestrict = 101,
  kMono = 102,
  kStereo = 103,
  kRateCombo = 104,
  kMeritList = 105,
  kTitle = 106,
  kGroup = 107,
};

// Edit, check box, a radio group in a group box, combo box, list box, OK
// (default) and Cancel: in this tab order.
inline DialogTemplate SettingsTemplate(bool extended = false) {
  DialogTemplateBuilder builder(WS_POPUP | WS_CAPTION | WS_VISIBLE | DS_MODALFRAME, 0, 0, 247, 120, "Settings");
  builder.Font(8, "MS Sans Serif");
  if (extended) builder.Extended();
  builder.Label("&Rate:", kTitle, 4, 4, 40, 10)
      .EditText(kRateEdit, 50, 4, 60, 12, ES_NUMBER)
      .CheckBox("&Restrict", kRestrict, 4, 20, 100, 10)
      .GroupBox("Channels", kGroup, 4, 32, 120, 36)
      .RadioButton("&Mono", kMono, 10, 42, 100, 10, WS_GROUP | WS_TABSTOP)
      .RadioButton("S&tereo", kStereo, 10, 54, 100, 10)
      .ComboBox(kRateCombo, 130, 4, 60, 60, CBS_DROPDOWNLIST | WS_GROUP)
      .ListBox(kMeritList, 130, 20, 60, 40, LBS_NOTIFY)
      .DefPushButton("OK", IDOK, 130, 100, 50, 14, WS_GROUP)
      .PushButton("Cancel", IDCANCEL, 190, 100, 50, 14);
  return builder.Build();
}

// What the settings dialog's procedure saw and read back on OK.
struct SettingsRecord {
  std::atomic<HWND> dialog{nullptr};
  std::vector<std::pair<int, int>> commands;  // (control, notification), on the dialog's thread
  UINT rate = 0;
  BOOL rateValid = FALSE;
  UINT restricted = 0;
  int channels = 0;
  std::string comboText;
  std::string meritText;
  int Count(int id, int code) const {
    int count = 0;
    for (const auto& [control, notification] : commands) count += control == id && notification == code ? 1 : 0;
    return count;
  }
};

inline INT_PTR SettingsProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* record = reinterpret_cast<SettingsRecord*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      record = reinterpret_cast<SettingsRecord*>(lParam);
      for (const char* rate : {"8000", "11025", "22050", "44100", "48000"}) {
        SendDlgItemMessageA(dialog, kRateCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(rate));
      }
      SendDlgItemMessageA(dialog, kRateCombo, CB_SETCURSEL, 2, 0);
      for (const char* merit : {"Do not use", "Normal", "Preferred"}) {
        SendDlgItemMessageA(dialog, kMeritList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(merit));
      }
      CheckRadioButton(dialog, kMono, kStereo, kMono);
      record->dialog = dialog;
      return TRUE;
    }
    case WM_COMMAND: {
      if (record == nullptr) return FALSE;
      record->commands.emplace_back(LOWORD(wParam), HIWORD(wParam));
      if (LOWORD(wParam) == IDOK) {
        record->rate = GetDlgItemInt(dialog, kRateEdit, &record->rateValid, FALSE);
        record->restricted = IsDlgButtonChecked(dialog, kRestrict);
        record->channels = IsDlgButtonChecked(dialog, kStereo) == BST_CHECKED ? 2 : 1;
        char text[64] = {};
        GetDlgItemTextA(dialog, kRateCombo, text, sizeof text);
        record->comboText = text;
        const auto merit = SendDlgItemMessageA(dialog, kMeritList, LB_GETCURSEL, 0, 0);
        if (merit != LB_ERR) {
          SendDlgItemMessageA(dialog, kMeritList, LB_GETTEXT, static_cast<WPARAM>(merit),
                              reinterpret_cast<LPARAM>(text));
          record->meritText = text;
        }
        EndDialog(dialog, IDOK);
      } else if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
      }
      return TRUE;
    }
    default:
      return FALSE;
  }
}

// Waits (up to five seconds) for `condition`, looking every millisecond.
inline bool WaitFor(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// Takes and handles everything in the calling thread's queue, as a modeless
// dialog's owner loop would.
inline void PumpDialog(HWND dialog) {
  MSG message{};
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (!IsDialogMessageA(dialog, &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
}

}  // namespace ksv::platform::ui::testing
