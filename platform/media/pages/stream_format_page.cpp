#include "platform/media/pages/stream_format_page.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "platform/media/media_guids.h"

namespace ksv::media::pages {
namespace {

using ksv::platform::ui::DialogTemplate;
using ksv::platform::ui::DialogTemplateBuilder;

constexpr double kUnitsPerSecond = 10'000'000.0;  // REFERENCE_TIME units

const VIDEOINFOHEADER* VideoHeader(const AM_MEDIA_TYPE& type) {
  if (type.formattype != FORMAT_VideoInfo || type.pbFormat == nullptr ||
      type.cbFormat < sizeof(VIDEOINFOHEADER)) {
    return nullptr;
  }
  return reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
}

// The rate field applies when the capabilities give a frame interval range.
bool HasRateRange(const VIDEO_STREAM_CONFIG_CAPS& caps) {
  return caps.MinFrameInterval > 0 && caps.MaxFrameInterval >= caps.MinFrameInterval;
}

DialogTemplate PageTemplate() {
  return DialogTemplateBuilder(WS_CHILD | DS_CONTROL, 0, 0, 220, 120, "")
      .Font(8, "MS Sans Serif")
      .Label("&Format:", -1, 6, 6, 100, 8)
      .ListBox(kFormatListId, 6, 16, 208, 66, LBS_NOTIFY | WS_TABSTOP)
      .Label("Frame &rate (frames per second):", -1, 6, 88, 126, 8)
      .EditText(kRateEditId, 134, 86, 40, 12, ES_AUTOHSCROLL | WS_TABSTOP)
      .Label("", kRateRangeId, 6, 104, 208, 8)
      .Build();
}

}  // namespace

std::string DescribeVideoType(const AM_MEDIA_TYPE& type) {
  const VIDEOINFOHEADER* video = VideoHeader(type);
  if (video == nullptr) return {};
  const BITMAPINFOHEADER& header = video->bmiHeader;
  std::string name;
  if (header.biCompression == BI_RGB || header.biCompression == BI_BITFIELDS) {
    name = "RGB" + std::to_string(header.biBitCount);
  } else {
    for (int shift = 0; shift < 32; shift += 8) {
      const auto c = static_cast<unsigned char>((header.biCompression >> shift) & 0xFF);
      if (c < 0x20 || c > 0x7E) {  // not a printable FOURCC: show the number
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(header.biCompression));
        name = hex;
        break;
      }
      name += static_cast<char>(c);
    }
  }
  const long long height = std::llabs(static_cast<long long>(header.biHeight));
  return name + " " + std::to_string(header.biWidth) + " x " + std::to_string(height) + ", " +
         std::to_string(header.biBitCount) + " bit";
}

std::string FormatFrameRate(double framesPerSecond) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", framesPerSecond);
  std::string rate = text;
  rate.erase(rate.find_last_not_of('0') + 1);
  if (!rate.empty() && rate.back() == '.') rate.pop_back();
  return rate;
}

CUnknown* StreamFormatPage::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
  auto* page = new (std::nothrow) StreamFormatPage(outer);
  if (page == nullptr && result != nullptr) *result = E_OUTOFMEMORY;
  return page;
}

StreamFormatPage::StreamFormatPage(LPUNKNOWN outer)
    : CBasePropertyPage("Stream Format page", outer, PageTemplate(), "Stream Format") {}

HRESULT StreamFormatPage::OnConnect(IUnknown* object) {
  ksv::com::ComPtr<IAMStreamConfig> config;
  const HRESULT result = object->QueryInterface(IID_PPV_ARGS(config.ReleaseAndGetAddressOf()));
  if (FAILED(result)) return result;
  config_ = std::move(config);
  return S_OK;
}

HRESULT StreamFormatPage::OnDisconnect() {
  config_ = nullptr;
  entries_.clear();
  chosen_ = Entry{};
  rateValid_ = true;
  chosenFrameTime_ = 0;
  return S_OK;
}

HRESULT StreamFormatPage::ReadCapabilities() {
  int count = 0;
  int size = 0;
  HRESULT result = config_->GetNumberOfCapabilities(&count, &size);
  if (FAILED(result)) return result;
  // Audio capabilities are smaller: this page is for video pins only.
  if (size < static_cast<int>(sizeof(VIDEO_STREAM_CONFIG_CAPS))) return E_UNEXPECTED;
  std::vector<BYTE> caps(static_cast<size_t>(size));
  entries_.clear();
  for (int index = 0; index < count; ++index) {
    AM_MEDIA_TYPE* type = nullptr;
    result = config_->GetStreamCaps(index, &type, caps.data());
    if (result != S_OK || type == nullptr) break;
    Entry entry;
    entry.type = *type;
    std::memcpy(&entry.caps, caps.data(), sizeof entry.caps);
    DeleteMediaType(type);
    entries_.push_back(std::move(entry));
  }
  return FAILED(result) ? result : S_OK;
}

int StreamFormatPage::FindEntry(const AM_MEDIA_TYPE& type) const {
  const VIDEOINFOHEADER* wanted = VideoHeader(type);
  for (size_t index = 0; index < entries_.size(); ++index) {
    const AM_MEDIA_TYPE& candidate = entries_[index].type;
    if (candidate.subtype != type.subtype) continue;
    const VIDEOINFOHEADER* video = VideoHeader(candidate);
    if (wanted == nullptr || video == nullptr) {
      if (wanted == video) return static_cast<int>(index);
      continue;
    }
    if (video->bmiHeader.biWidth == wanted->bmiHeader.biWidth &&
        std::llabs(video->bmiHeader.biHeight) == std::llabs(wanted->bmiHeader.biHeight) &&
        video->bmiHeader.biBitCount == wanted->bmiHeader.biBitCount) {
      return static_cast<int>(index);
    }
  }
  return -1;
}

HRESULT StreamFormatPage::OnActivate() {
  if (!config_) return E_UNEXPECTED;
  HRESULT result = ReadCapabilities();
  if (FAILED(result)) return result;

  filling_ = true;
  SendDlgItemMessageA(m_Dlg, kFormatListId, LB_RESETCONTENT, 0, 0);
  for (size_t index = 0; index < entries_.size(); ++index) {
    std::string text = DescribeVideoType(entries_[index].type);
    if (text.empty()) text = "Format " + std::to_string(index + 1);
    SendDlgItemMessageA(m_Dlg, kFormatListId, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  // Changes not applied yet are shown again; otherwise the pin's format.
  int selected = -1;
  if (IsDirty()) {
    selected = FindEntry(chosen_.type);
  } else {
    AM_MEDIA_TYPE* current = nullptr;
    if (SUCCEEDED(config_->GetFormat(&current)) && current != nullptr) {
      selected = FindEntry(*current);
      const VIDEOINFOHEADER* video = VideoHeader(*current);
      chosenFrameTime_ = video != nullptr ? video->AvgTimePerFrame : 0;
      DeleteMediaType(current);
    }
  }
  if (selected >= 0) {
    chosen_ = entries_[static_cast<size_t>(selected)];
    SendDlgItemMessageA(m_Dlg, kFormatListId, LB_SETCURSEL, static_cast<WPARAM>(selected), 0);
  }
  ShowRate(chosen_);
  filling_ = false;
  return S_OK;
}

void StreamFormatPage::ShowRate(const Entry& entry) {
  // Setting the edit's text notifies us as typing would; it is not a change.
  const bool wasFilling = std::exchange(filling_, true);
  const bool applies = HasRateRange(entry.caps);
  EnableWindow(GetDlgItem(m_Dlg, kRateEditId), applies ? TRUE : FALSE);
  rateValid_ = true;
  std::string rate;
  std::string range;
  if (applies) {
    if (chosenFrameTime_ <= 0) {
      const VIDEOINFOHEADER* video = VideoHeader(entry.type);
      chosenFrameTime_ = video != nullptr ? video->AvgTimePerFrame : 0;
    }
    chosenFrameTime_ = std::clamp(chosenFrameTime_, entry.caps.MinFrameInterval, entry.caps.MaxFrameInterval);
    rate = FormatFrameRate(kUnitsPerSecond / static_cast<double>(chosenFrameTime_));
    range = "From " + FormatFrameRate(kUnitsPerSecond / static_cast<double>(entry.caps.MaxFrameInterval)) +
            " to " + FormatFrameRate(kUnitsPerSecond / static_cast<double>(entry.caps.MinFrameInterval)) +
            " frames per second";
  }
  SetDlgItemTextA(m_Dlg, kRateEditId, rate.c_str());
  SetDlgItemTextA(m_Dlg, kRateRangeId, range.c_str());
  filling_ = wasFilling;
}

void StreamFormatPage::ReadRate() {
  if (!HasRateRange(chosen_.caps)) {
    rateValid_ = true;
    return;
  }
  char text[32] = {};
  GetDlgItemTextA(m_Dlg, kRateEditId, text, sizeof text);
  char* end = nullptr;
  const double rate = std::strtod(text, &end);
  while (end != nullptr && *end == ' ') ++end;
  rateValid_ = false;
  if (end == text || end == nullptr || *end != '\0' || !std::isfinite(rate) || rate <= 0) return;
  const auto interval = static_cast<REFERENCE_TIME>(std::llround(kUnitsPerSecond / rate));
  // A rate shown rounded may land a unit off the range's ends.
  if (interval < chosen_.caps.MinFrameInterval - 1 || interval > chosen_.caps.MaxFrameInterval + 1) return;
  chosenFrameTime_ = std::clamp(interval, chosen_.caps.MinFrameInterval, chosen_.caps.MaxFrameInterval);
  rateValid_ = true;
}

void StreamFormatPage::OnFormatChosen() {
  const auto selected = SendDlgItemMessageA(m_Dlg, kFormatListId, LB_GETCURSEL, 0, 0);
  if (selected < 0 || static_cast<size_t>(selected) >= entries_.size()) return;
  chosen_ = entries_[static_cast<size_t>(selected)];
  // The rate shown stays when the new format can take it; else the
  // nearest one it can.
  ReadRate();
  if (!rateValid_) ShowRate(chosen_);
  SetDirty();
}

INT_PTR StreamFormatPage::OnReceiveMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) {
    const int id = LOWORD(wParam);
    const WORD code = HIWORD(wParam);
    if (id == kFormatListId && code == LBN_SELCHANGE) {
      if (!filling_) OnFormatChosen();
      return TRUE;
    }
    if (id == kRateEditId && code == EN_CHANGE) {
      if (!filling_) {
        ReadRate();
        SetDirty();
      }
      return TRUE;
    }
  }
  return CBasePropertyPage::OnReceiveMessage(dialog, message, wParam, lParam);
}

HRESULT StreamFormatPage::OnApplyChanges() {
  if (!config_) return E_UNEXPECTED;
  if (!rateValid_) return E_INVALIDARG;
  CMediaType type(chosen_.type);
  if (!type.IsValid()) return E_UNEXPECTED;  // nothing chosen
  if (HasRateRange(chosen_.caps) && VideoHeader(type) != nullptr) {
    reinterpret_cast<VIDEOINFOHEADER*>(type.Format())->AvgTimePerFrame = chosenFrameTime_;
  }
  return config_->SetFormat(&type);
}

}  // namespace ksv::media::pages
