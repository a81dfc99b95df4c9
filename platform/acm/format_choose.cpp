// acmFormatChooseA: a modal dialog with the listed formats, driven by the
// process's format chooser.
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/acm/acm_formats.h"
#include "platform/acm/format_chooser.h"
#include "platform/acm/msacm.h"
#include "platform/ui/answerer.h"
#include "platform/ui/dialogs/dialog_template.h"

namespace ksv::platform::acm {
namespace {

// Posted by the dialog to itself once created: its loop runs when it arrives.
constexpr UINT kCallChooser = WM_USER + 0x200;

std::mutex chooserMutex;
FormatChooser chooser;

FormatChooser CurrentChooser() {
  std::lock_guard guard(chooserMutex);
  return chooser;
}

struct Choice {
  std::vector<std::vector<uint8_t>> formats;
  int initial = 0;
  FormatChooser chooser;
  int chosen = -1;
};

bool Matches(const WAVEFORMATEX& format, const ACMFORMATCHOOSEA& request) {
  const DWORD flags = request.fdwEnum;
  const WAVEFORMATEX* wanted = request.pwfxEnum;
  if (wanted == nullptr) return true;
  return !((flags & ACM_FORMATENUMF_WFORMATTAG) && format.wFormatTag != wanted->wFormatTag) &&
         !((flags & ACM_FORMATENUMF_NCHANNELS) && format.nChannels != wanted->nChannels) &&
         !((flags & ACM_FORMATENUMF_NSAMPLESPERSEC) && format.nSamplesPerSec != wanted->nSamplesPerSec) &&
         !((flags & ACM_FORMATENUMF_WBITSPERSAMPLE) && format.wBitsPerSample != wanted->wBitsPerSample);
}

// The listed row that is the caller's format (same tag, rate, channels and
// bits), else the first.
int InitialRow(const std::vector<std::vector<uint8_t>>& formats, const ACMFORMATCHOOSEA& request) {
  if (!(request.fdwStyle & ACMFORMATCHOOSE_STYLEF_INITTOWFXSTRUCT) ||
      request.cbwfx < sizeof(WAVEFORMATEX) - sizeof(WORD)) {
    return 0;
  }
  WAVEFORMATEX given{};
  std::memcpy(&given, request.pwfx, sizeof(WAVEFORMATEX) - sizeof(WORD));
  for (size_t i = 0; i < formats.size(); ++i) {
    const WAVEFORMATEX listed = HeaderOf(formats[i]);
    if (listed.wFormatTag == given.wFormatTag && listed.nSamplesPerSec == given.nSamplesPerSec &&
        listed.nChannels == given.nChannels && listed.wBitsPerSample == given.wBitsPerSample) {
      return static_cast<int>(i);
    }
  }
  return 0;
}

std::string RowText(const std::vector<uint8_t>& format) {
  const WAVEFORMATEX wave = HeaderOf(format);
  return std::string(FormatTagName(wave.wFormatTag)) + ", " + DescribeFormat(wave);
}

INT_PTR ChooseProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* choice = reinterpret_cast<Choice*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      choice = reinterpret_cast<Choice*>(lParam);
      for (const auto& format : choice->formats) {
        const std::string text = RowText(format);
        SendDlgItemMessageA(dialog, kFormatListId, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
      }
      SendDlgItemMessageA(dialog, kFormatListId, LB_SETCURSEL, static_cast<WPARAM>(choice->initial), 0);
      PostMessageA(dialog, kCallChooser, 0, 0);
      return TRUE;
    }
    case kCallChooser:
      if (choice != nullptr && choice->chooser) choice->chooser(dialog);
      return TRUE;
    case WM_COMMAND: {
      if (choice == nullptr) return FALSE;
      const int id = LOWORD(wParam);
      const bool picked = id == kFormatListId && HIWORD(wParam) == LBN_DBLCLK;
      if (id == IDOK || picked) {
        const LRESULT row = SendDlgItemMessageA(dialog, kFormatListId, LB_GETCURSEL, 0, 0);
        if (row == LB_ERR) return TRUE;  // nothing chosen yet: OK waits for a choice
        choice->chosen = static_cast<int>(row);
        EndDialog(dialog, IDOK);
      } else if (id == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
      }
      return TRUE;
    }
    default:
      return FALSE;
  }
}

ui::DialogTemplate ChooseTemplate(const char* title) {
  ui::DialogTemplateBuilder builder(WS_POPUP | WS_CAPTION | WS_VISIBLE | DS_MODALFRAME, 0, 0, 200, 130,
                                    title != nullptr ? title : "Sound Selection");
  builder.Font(8, "MS Sans Serif")
      .Label("&Format:", 100, 6, 6, 60, 10)
      .ListBox(kFormatListId, 6, 18, 188, 86, LBS_NOTIFY | WS_TABSTOP | WS_GROUP)
      .DefPushButton("OK", IDOK, 88, 110, 50, 14, WS_GROUP | WS_TABSTOP)
      .PushButton("Cancel", IDCANCEL, 144, 110, 50, 14, WS_TABSTOP);
  return builder.Build();
}

void CopyText(char* to, size_t capacity, const std::string& text) {
  const size_t length = std::min(text.size(), capacity - 1);
  std::memcpy(to, text.data(), length);
  to[length] = '\0';
}

}  // namespace

FormatChooser SetFormatChooser(FormatChooser replacement) {
  std::lock_guard guard(chooserMutex);
  std::swap(chooser, replacement);
  return replacement;
}

void LeaveToPerson(HWND) {}

}  // namespace ksv::platform::acm

using namespace ksv::platform::acm;

extern "C" MMRESULT acmMetrics(HACMOBJ hao, UINT uMetric, void* pMetric) {
  if (pMetric == nullptr) return MMSYSERR_INVALPARAM;
  if (hao != nullptr) return MMSYSERR_INVALHANDLE;
  DWORD value = 0;
  switch (uMetric) {
    case ACM_METRIC_MAX_SIZE_FORMAT: value = static_cast<DWORD>(MaxFormatSize()); break;
    case ACM_METRIC_COUNT_DRIVERS:
    case ACM_METRIC_COUNT_CODECS: value = 1; break;
    default: return MMSYSERR_NOTSUPPORTED;
  }
  std::memcpy(pMetric, &value, sizeof value);
  return MMSYSERR_NOERROR;
}

extern "C" MMRESULT acmFormatChooseA(ACMFORMATCHOOSEA* request) {
  if (request == nullptr || request->cbStruct < sizeof(ACMFORMATCHOOSEA) || request->pwfx == nullptr) {
    return MMSYSERR_INVALPARAM;
  }
  constexpr DWORD kCompared = ACM_FORMATENUMF_WFORMATTAG | ACM_FORMATENUMF_NCHANNELS |
                              ACM_FORMATENUMF_NSAMPLESPERSEC | ACM_FORMATENUMF_WBITSPERSAMPLE;
  if ((request->fdwEnum & kCompared) && request->pwfxEnum == nullptr) return MMSYSERR_INVALPARAM;
  if (request->fdwStyle & (ACMFORMATCHOOSE_STYLEF_ENABLEHOOK | ACMFORMATCHOOSE_STYLEF_ENABLETEMPLATE |
                           ACMFORMATCHOOSE_STYLEF_ENABLETEMPLATEHANDLE)) {
    return MMSYSERR_NOTSUPPORTED;
  }
  Choice choice;
  choice.chooser = CurrentChooser();
  if (!choice.chooser) return ACMERR_CANCELED;  // nobody there to choose
  for (auto& format : ListedFormats()) {
    if (Matches(HeaderOf(format), *request)) choice.formats.push_back(std::move(format));
  }
  choice.initial = InitialRow(choice.formats, *request);
  const ksv::platform::ui::DialogTemplate dialogTemplate = ChooseTemplate(request->pszTitle);
  ksv::platform::ui::AnnounceAttended();  // the chooser works it
  const INT_PTR result = DialogBoxIndirectParamA(nullptr, dialogTemplate.get(), request->hwndOwner,
                                                 ChooseProcedure, reinterpret_cast<LPARAM>(&choice));
  ksv::platform::ui::ForgetAnnouncement();
  if (result == -1) return MMSYSERR_ERROR;
  if (result != IDOK || choice.chosen < 0) return ACMERR_CANCELED;
  const std::vector<uint8_t>& chosen = choice.formats[static_cast<size_t>(choice.chosen)];
  if (chosen.size() > request->cbwfx) return ACMERR_NOTPOSSIBLE;
  std::memcpy(request->pwfx, chosen.data(), chosen.size());
  const WAVEFORMATEX wave = HeaderOf(chosen);
  CopyText(request->szFormatTag, sizeof request->szFormatTag, FormatTagName(wave.wFormatTag));
  CopyText(request->szFormat, sizeof request->szFormat, DescribeFormat(wave));
  if (request->pszName != nullptr && request->cchName > 0) request->pszName[0] = '\0';
  return MMSYSERR_NOERROR;
}
