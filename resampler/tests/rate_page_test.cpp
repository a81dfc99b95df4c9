// The converter's page driven as a person would: open it on a filter,
// change the rate, toggle negotiation, pick a merit, apply, and cancel.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "include/trsmplrt.h"
#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/com/task_memory.h"
#include "platform/com/wide_text.h"
#include "platform/media/testing/plugin_root.h"
#include "platform/ui/input.h"
#include "platform/ui/ui.h"
#include "resampler/rate_page.h"

namespace ksv::resampler {
namespace {

using ksv::com::ComPtr;
namespace input = ksv::platform::ui::input;

struct Site final : IPropertyPageSite {
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IUnknown || iid == IID_IPropertyPageSite) {
      *object = this;
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT OnStatusChange(DWORD flags) override {
    statuses.push_back(flags);
    return S_OK;
  }
  HRESULT GetLocaleID(LCID* locale) override {
    *locale = 0x0409;
    return S_OK;
  }
  HRESULT GetPageContainer(IUnknown**) override { return E_NOTIMPL; }
  HRESULT TranslateAccelerator(tagMSG*) override { return S_FALSE; }
  std::vector<DWORD> statuses;
};

class RatePageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root_.ok()) << root_.error();
    WNDCLASSA frameClass{};
    frameClass.lpfnWndProc = DefWindowProcA;
    frameClass.lpszClassName = "RatePageFrame";
    RegisterClassA(&frameClass);
    frame_ = CreateWindowExA(0, "RatePageFrame", "Properties", WS_POPUP | WS_VISIBLE, 0, 0, 420, 220,
                             nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(frame_, nullptr);
    ASSERT_EQ(CoCreateInstance(CLSID_SampleRateConverter, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(config_.ReleaseAndGetAddressOf())),
              S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_SampleRateConverterPage, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(page_.ReleaseAndGetAddressOf())),
              S_OK);
    ASSERT_EQ(page_->SetPageSite(&site_), S_OK);
  }
  void TearDown() override {
    if (page_) {
      page_->Deactivate();
      page_->SetObjects(0, nullptr);
      page_->SetPageSite(nullptr);
      page_ = nullptr;
    }
    DestroyWindow(frame_);
  }

  void Open() {
    IUnknown* objects[] = {config_.Get()};
    ASSERT_EQ(page_->SetObjects(1, objects), S_OK);
    ASSERT_EQ(page_->Activate(frame_, &kRect, FALSE), S_OK);
    ASSERT_EQ(page_->Show(SW_SHOW), S_OK);
    // The merit list sits at the page's right.
    HWND list = input::WindowAt(frame_, kRect.left + 280, kRect.top + 60);
    ASSERT_NE(list, nullptr);
    dialog_ = GetParent(list);
    ASSERT_EQ(GetDlgItem(dialog_, kMeritListId), list);
    Pump();
  }
  void Pump() {
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (page_->TranslateAccelerator(&message) != S_OK) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
      }
    }
  }
  HWND Item(int id) const { return GetDlgItem(dialog_, id); }
  std::string Text(int id) const {
    char text[256] = {};
    GetDlgItemTextA(dialog_, id, text, sizeof text);
    return text;
  }
  bool Checked(int id) const { return IsDlgButtonChecked(dialog_, id) == BST_CHECKED; }
  void Click(int id) {
    ASSERT_TRUE(input::Click(Item(id)));
    Pump();
  }
  void TypeRate(const char* text) {
    // A click on the box also opens its list, which Escape closes.
    ASSERT_TRUE(input::Click(Item(kRateBoxId)));
    Pump();
    input::PressKey(VK_ESCAPE);
    input::PressKey(VK_END);
    for (size_t i = Text(kRateBoxId).size(); i > 0; --i) input::PressKey(VK_BACK);
    input::TypeText(text);
    Pump();
  }
  LONG Rate() {
    LONG rate = 0;
    config_->GetRate(&rate);
    return rate;
  }
  SHORT Channels() {
    SHORT channels = 0;
    config_->GetChannels(&channels);
    return channels;
  }

  static constexpr RECT kRect{10, 10, 10 + 371, 10 + 153};
  ksv::media::testing::PluginRoot root_{{"trsmplrt.so"}};
  HWND frame_ = nullptr;
  HWND dialog_ = nullptr;
  ComPtr<ISampleRateConfig> config_;
  ComPtr<IPropertyPage> page_;
  Site site_;
};

TEST_F(RatePageTest, OpensOnTheFiltersSettings) {
  Open();
  PROPPAGEINFO info{};
  ASSERT_EQ(page_->GetPageInfo(&info), S_OK);
  EXPECT_EQ(ksv::com::Utf16ToUtf8(ksv::com::WideView(info.pszTitle)), "SMPLRATE PropertyPage ");
  CoTaskMemFree(info.pszTitle);
  EXPECT_EQ(Text(kRateBoxId), "22050");
  EXPECT_EQ(SendMessageA(Item(kRateBoxId), CB_GETCOUNT, 0, 0), 5);
  EXPECT_TRUE(Checked(kMonoId));
  EXPECT_FALSE(Checked(kStereoId));
  EXPECT_TRUE(Checked(kSigned16Id));
  EXPECT_FALSE(Checked(kNegotiateBoxId));
  EXPECT_TRUE(IsWindowEnabled(Item(kRateBoxId)));
  EXPECT_EQ(SendMessageA(Item(kMeritListId), LB_GETCOUNT, 0, 0), 7);
  EXPECT_EQ(SendMessageA(Item(kMeritListId), LB_GETCURSEL, 0, 0), 6)
      << "no merit of its own yet: the registered MERIT_DO_NOT_USE";
  EXPECT_EQ(Text(kStatusId),
            "Sample rate converter filter output mediatype will  be restricted to the  format "
            "configured in this page.");
  EXPECT_EQ(page_->IsPageDirty(), S_FALSE);
  EXPECT_TRUE(site_.statuses.empty()) << "filling the controls is no change";
}

TEST_F(RatePageTest, ChangesApplyToTheFilterAndTheRegistry) {
  Open();
  ASSERT_TRUE(input::ChooseItem(Item(kRateBoxId), 3));
  Pump();
  EXPECT_EQ(Text(kStatusId),
            "Sample rate converter filter output mediatype will be restricted to this selected sampling rate");
  EXPECT_EQ(page_->IsPageDirty(), S_OK);
  EXPECT_EQ(Rate(), 22050) << "the rate waits for Apply";

  Click(kStereoId);
  EXPECT_EQ(Channels(), 2) << "the channel choice goes to the filter at once";
  Click(kUnsigned8Id);
  EXPECT_EQ(Text(kStatusId),
            "Sample rate converter filter output mediatype will be restricted to this sample size of 8");
  Click(kNegotiateBoxId);
  LONG negotiate = 0;
  config_->GetDefaultNegotiation(&negotiate);
  EXPECT_EQ(negotiate, 1);
  EXPECT_FALSE(IsWindowEnabled(Item(kRateBoxId))) << "a negotiated format is not chosen here";
  EXPECT_FALSE(IsWindowEnabled(Item(kStereoId)));
  ASSERT_TRUE(input::ChooseItem(Item(kMeritListId), 2));
  Pump();
  EXPECT_EQ(Text(kStatusId).rfind("The merit configured here", 0), 0u);

  ASSERT_EQ(page_->Apply(), S_OK);
  EXPECT_EQ(page_->IsPageDirty(), S_FALSE);
  EXPECT_EQ(Rate(), 44100);
  DWORD merit = 0;
  ASSERT_EQ(config_->GetMerit(&merit), S_OK);
  EXPECT_EQ(merit, 0x00600000u) << "MERIT_NORMAL";

  // Applied: disconnecting keeps it.
  ASSERT_EQ(page_->Deactivate(), S_OK);
  ASSERT_EQ(page_->SetObjects(0, nullptr), S_OK);
  EXPECT_EQ(Channels(), 2);
  SHORT bits = 0;
  config_->GetBitsPerSample(&bits);
  EXPECT_EQ(bits, 8);
}

TEST_F(RatePageTest, CancellingPutsBackWhatWasNotApplied) {
  Open();
  Click(kStereoId);
  TypeRate("32000");
  EXPECT_EQ(Text(kRateBoxId), "32000");
  Click(kNegotiateBoxId);
  EXPECT_FALSE(IsWindowEnabled(Item(kRateBoxId))) << "no typing into a negotiated format";
  EXPECT_EQ(Channels(), 2);
  ASSERT_EQ(page_->Deactivate(), S_OK);
  ASSERT_EQ(page_->SetObjects(0, nullptr), S_OK);  // the frame's Cancel
  EXPECT_EQ(Channels(), 1);
  LONG negotiate = 1;
  config_->GetDefaultNegotiation(&negotiate);
  EXPECT_EQ(negotiate, 0);
  EXPECT_EQ(Rate(), 22050);
}

TEST_F(RatePageTest, ARateTheConverterCannotTakeIsNotApplied) {
  Open();
  TypeRate("96000");
  EXPECT_EQ(page_->Apply(), E_INVALIDARG);
  EXPECT_EQ(page_->IsPageDirty(), S_OK);
  EXPECT_EQ(Rate(), 22050);
  TypeRate("16000");
  EXPECT_EQ(page_->Apply(), S_OK);
  EXPECT_EQ(Rate(), 16000);
}

TEST_F(RatePageTest, StreamingTurnsTheFormatControlsOff) {
  Open();
  SendMessageA(dialog_, kSampleRateStreamingMessage, 0, 0);
  EXPECT_FALSE(IsWindowEnabled(Item(kNegotiateBoxId)));
  EXPECT_FALSE(IsWindowEnabled(Item(kMonoId)));
  EXPECT_FALSE(IsWindowEnabled(Item(kRateBoxId)));
  SendMessageA(dialog_, kSampleRateStreamingMessage, 0, 1);
  EXPECT_TRUE(IsWindowEnabled(Item(kNegotiateBoxId)));
  EXPECT_TRUE(IsWindowEnabled(Item(kMonoId)));
  EXPECT_TRUE(IsWindowEnabled(Item(kRateBoxId)));
}

}  // namespace
}  // namespace ksv::resampler
