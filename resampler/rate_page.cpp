#include "resampler/rate_page.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "support/no_throw.h"
#include "platform/com/com_method.h"
#include "platform/media/registration_interfaces.h"
#include "platform/ui/ui.h"
#include "resampler/audio_types.h"
#include "resampler/dsp/rates.h"

namespace ksv::resampler {
namespace {

using ksv::platform::ui::DialogTemplate;
using ksv::platform::ui::DialogTemplateBuilder;

constexpr const char* kRates[] = {"8000", "11025", "22050", "44100", "48000"};

DialogTemplate PageTemplate() {
  return DialogTemplateBuilder(WS_CHILD | DS_CONTROL, 0, 0, 247, 94, "")
      .Font(8, "MS Sans Serif")
      .CheckBox("&Default Mediatype Negotiation", kNegotiateBoxId, 7, 4, 150, 10,
                BS_AUTOCHECKBOX | WS_TABSTOP)
      .GroupBox("Output Media Type", -1, 7, 16, 160, 56)
      .Label("&Sampling Rate:", -1, 13, 29, 52, 8)
      .ComboBox(kRateBoxId, 68, 27, 56, 60, CBS_DROPDOWN | WS_TABSTOP)
      .Label("Cha&nnels", -1, 13, 44, 40, 8)
      .RadioButton("&Mono", kMonoId, 60, 43, 36, 10, WS_GROUP | WS_TABSTOP)
      .RadioButton("S&tereo", kStereoId, 100, 43, 40, 10)
      .Label("Sample &Width", -1, 13, 58, 46, 8)
      .RadioButton("&Unsigned 8 bit", kUnsigned8Id, 60, 57, 52, 10, WS_GROUP | WS_TABSTOP)
      .RadioButton("Si&gned 16 bit", kSigned16Id, 113, 57, 52, 10)
      .Label("Merit:", -1, 174, 16, 60, 8)
      .ListBox(kMeritListId, 174, 26, 66, 46, LBS_NOTIFY | WS_TABSTOP)
      .Label("", kStatusId, 7, 76, 233, 16)
      .Build();
}

// A rate as typed: a whole number of hertz the converter takes.
bool ParseRate(const char* text, LONG* rate) {
  while (*text == ' ') ++text;
  if (*text < '0' || *text > '9') return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long value = std::strtoul(text, &end, 10);
  while (*end == ' ') ++end;
  if (errno != 0 || *end != '\0' || value > 0x7FFFFFFFul) return false;
  if (!IsSupportedRate(static_cast<int32_t>(value))) return false;
  *rate = static_cast<LONG>(value);
  return true;
}

}  // namespace

CUnknown* SampleRatePage::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
  auto* page = new (std::nothrow) SampleRatePage(outer);
  if (page == nullptr && result != nullptr) *result = E_OUTOFMEMORY;
  return page;
}

SampleRatePage::SampleRatePage(LPUNKNOWN outer)
    : CBasePropertyPage("sample rate converter page", outer, PageTemplate(),
                        "SMPLRATE PropertyPage ") {}

HRESULT SampleRatePage::OnConnect(IUnknown* object) {
  return ksv::com::ComMethod([&]() -> HRESULT {
    ksv::com::ComPtr<ISampleRateConfig> config;
    const HRESULT result = object->QueryInterface(IID_PPV_ARGS(config.ReleaseAndGetAddressOf()));
    if (FAILED(result)) return result;
    config->GetRate(&rate_);
    config->GetChannels(&channels_);
    config->GetBitsPerSample(&bits_);
    config->GetDefaultNegotiation(&negotiate_);
    // No merit of its own under the class key yet: the filter is registered
    // with MERIT_DO_NOT_USE, and that is what the list should show.
    if (FAILED(config->GetMerit(&merit_))) merit_ = MERIT_DO_NOT_USE;
    chosenMerit_ = merit_;
    ratePending_ = false;
    config_ = std::move(config);
    return S_OK;
  });
}

HRESULT SampleRatePage::OnDisconnect() {
  return ksv::com::ComMethod([&]() -> HRESULT {
    if (!config_) return S_OK;
    LONG stopped = 0;
    if (SUCCEEDED(config_->IsStopped(&stopped)) && stopped == 1) {
      // The radios and the check box changed the filter at once: put back
      // what was applied.
      config_->SetRate(rate_);
      config_->SetChannels(channels_);
      config_->SetBitsPerSample(bits_);
      config_->SetDefaultNegotiation(negotiate_);
      // The merit is written only by Apply: the registry holds merit_ already.
    }
    config_->SetPageWindow(nullptr);
    config_ = nullptr;
    ratePending_ = false;
    return S_OK;
  });
}

HRESULT SampleRatePage::OnActivate() {
  return ksv::com::ComMethod([&]() -> HRESULT {
    if (!config_) return E_UNEXPECTED;
    filling_ = true;
    config_->SetPageWindow(m_Dlg);
    LONG stopped = 1;
    if (SUCCEEDED(config_->IsStopped(&stopped)) && stopped == 0) {
      PostMessageA(m_Dlg, kSampleRateStreamingMessage, 0, 0);
    }

    SendDlgItemMessageA(m_Dlg, kMeritListId, LB_RESETCONTENT, 0, 0);
    for (const MeritName& entry : kMeritNames) {
      SendDlgItemMessageA(m_Dlg, kMeritListId, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.name));
    }
    const int merit = MeritIndex(chosenMerit_);
    SendDlgItemMessageA(m_Dlg, kMeritListId, LB_SETCURSEL, static_cast<WPARAM>(merit >= 0 ? merit : 0), 0);

    LONG rate = 0;
    SHORT channels = 0, bits = 0;
    LONG negotiate = 0;
    config_->GetRate(&rate);
    config_->GetChannels(&channels);
    config_->GetBitsPerSample(&bits);
    config_->GetDefaultNegotiation(&negotiate);
    SendDlgItemMessageA(m_Dlg, kRateBoxId, CB_RESETCONTENT, 0, 0);
    for (const char* entry : kRates) {
      SendDlgItemMessageA(m_Dlg, kRateBoxId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
    }
    char shown[16];
    std::snprintf(shown, sizeof shown, "%d", static_cast<int>(rate));
    if (ratePending_) std::memcpy(shown, rateText_, sizeof shown);
    const LRESULT listed =
        SendDlgItemMessageA(m_Dlg, kRateBoxId, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                            reinterpret_cast<LPARAM>(shown));
    if (listed >= 0) {
      SendDlgItemMessageA(m_Dlg, kRateBoxId, CB_SETCURSEL, static_cast<WPARAM>(listed), 0);
    } else if (ratePending_ || rate > 0) {
      SetDlgItemTextA(m_Dlg, kRateBoxId, shown);  // a rate of its own, typed earlier
    } else {
      SendDlgItemMessageA(m_Dlg, kRateBoxId, CB_SETCURSEL, 0, 0);
    }

    CheckRadioButton(m_Dlg, kMonoId, kStereoId, channels == 2 ? kStereoId : kMonoId);
    CheckRadioButton(m_Dlg, kUnsigned8Id, kSigned16Id, bits == 16 ? kSigned16Id : kUnsigned8Id);
    CheckDlgButton(m_Dlg, kNegotiateBoxId, negotiate != 0 ? BST_CHECKED : BST_UNCHECKED);
    EnableFormat(negotiate == 0);
    ShowStatus(kRestrictionText, negotiate != 0 ? "will not" : "will");
    SetFocus(GetDlgItem(m_Dlg, kRateBoxId));
    filling_ = false;
    return S_OK;
  });
}

HRESULT SampleRatePage::OnDeactivate() {
  return ksv::com::ComMethod([&]() -> HRESULT {
    // The window goes: the filter must not post to it any more.
    if (config_) config_->SetPageWindow(nullptr);
    return S_OK;
  });
}

void SampleRatePage::EnableFormat(bool enable) {
  for (const int id : {kRateBoxId, kMonoId, kStereoId, kUnsigned8Id, kSigned16Id}) {
    EnableWindow(GetDlgItem(m_Dlg, id), enable ? TRUE : FALSE);
  }
}

void SampleRatePage::ShowStatus(const char* format, const char* word) {
  char text[192];
  std::snprintf(text, sizeof text, format, word);
  SetDlgItemTextA(m_Dlg, kStatusId, text);
}

void SampleRatePage::OnCommand(int id, WORD code) {
  if (id == kMeritListId && code == LBN_SELCHANGE) {
    const LRESULT index = SendDlgItemMessageA(m_Dlg, kMeritListId, LB_GETCURSEL, 0, 0);
    if (index >= 0 && static_cast<size_t>(index) < std::size(kMeritNames)) {
      chosenMerit_ = kMeritNames[index].value;
    }
    SetDlgItemTextA(m_Dlg, kStatusId, kMeritText);
    SetDirty();
    return;
  }
  if (id == kRateBoxId && (code == CBN_EDITCHANGE || code == CBN_SELCHANGE)) {
    if (code == CBN_SELCHANGE) {
      const LRESULT index = SendDlgItemMessageA(m_Dlg, kRateBoxId, CB_GETCURSEL, 0, 0);
      if (index < 0 || static_cast<size_t>(index) >= std::size(kRates)) return;
      std::snprintf(rateText_, sizeof rateText_, "%s", kRates[index]);
    } else {
      GetDlgItemTextA(m_Dlg, kRateBoxId, rateText_, sizeof rateText_);
    }
    ratePending_ = true;
    ShowStatus(kRestrictedToText, "selected sampling rate");
    SetDirty();
    return;
  }
  if (code != BN_CLICKED) return;
  switch (id) {
    case kNegotiateBoxId: {
      const bool checked = IsDlgButtonChecked(m_Dlg, kNegotiateBoxId) == BST_CHECKED;
      ShowStatus(kRestrictionText, checked ? "will not" : "will");
      config_->SetDefaultNegotiation(checked ? 1 : 0);
      EnableFormat(!checked);
      break;
    }
    case kMonoId:
      ShowStatus(kRestrictedToText, "channel type of MONO");
      config_->SetChannels(1);
      break;
    case kStereoId:
      ShowStatus(kRestrictedToText, "channel type of STEREO");
      config_->SetChannels(2);
      break;
    case kUnsigned8Id:
      ShowStatus(kRestrictedToText, "sample size of 8");
      config_->SetBitsPerSample(8);
      break;
    case kSigned16Id:
      ShowStatus(kRestrictedToText, "sample size of 16");
      config_->SetBitsPerSample(16);
      break;
    default:
      return;
  }
  SetDirty();
}

INT_PTR SampleRatePage::OnReceiveMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return support::NoThrow<INT_PTR>(FALSE, [&]() -> INT_PTR {
    if (message == kSampleRateStreamingMessage) {
      // 0: streaming, nothing may change; 1: stopped again. The format
      // controls stay off while negotiation is chosen.
      const bool stopped = lParam != 0;
      EnableWindow(GetDlgItem(dialog, kNegotiateBoxId), stopped ? TRUE : FALSE);
      EnableFormat(stopped && IsDlgButtonChecked(dialog, kNegotiateBoxId) != BST_CHECKED);
      return TRUE;
    }
    if (message == WM_COMMAND && config_) {
      if (!filling_) OnCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    }
    return CBasePropertyPage::OnReceiveMessage(dialog, message, wParam, lParam);
  });
}

HRESULT SampleRatePage::OnApplyChanges() {
  return ksv::com::ComMethod([&]() -> HRESULT {
    if (!config_) return E_UNEXPECTED;
    if (ratePending_) {
      LONG rate = 0;
      // Not a rate the converter takes: nothing is set, the page stays dirty.
      if (!ParseRate(rateText_, &rate)) return E_INVALIDARG;
      config_->SetRate(rate);
      ratePending_ = false;
    }
    config_->GetRate(&rate_);
    config_->GetChannels(&channels_);
    config_->GetBitsPerSample(&bits_);
    config_->GetDefaultNegotiation(&negotiate_);
    // Not connected yet, or streaming: the format applies to the next
    // connection.
    config_->Reconnect();
    const HRESULT result = config_->SetMerit(chosenMerit_);
    if (FAILED(result)) return result;
    merit_ = chosenMerit_;
    return S_OK;
  });
}

}  // namespace ksv::resampler
