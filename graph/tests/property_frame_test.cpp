// OleCreatePropertyFrame over a page class registered in the system root:
// the page gets the object and is shown in the frame; OK applies, Apply
// applies without closing, Cancel applies nothing; the page gives the
// object back when the frame closes. With nobody to work it, no frame.
#include <gtest/gtest.h>

#include <atomic>

#include "graph/tests/test_page.h"
#include "platform/com/com_object.h"
#include "platform/com/com_ptr.h"
#include "platform/media/testing/plugin_root.h"
#include "platform/ui/dialogs/dialogs.h"
#include "platform/ui/input.h"
#include "platform/ui/property_frame.h"

namespace {

namespace ui = ksv::platform::ui;

class Setting final : public ksv::com::ComObject<ITestSetting> {
 public:
  HRESULT Set(LONG value) override {
    applied.push_back(value);
    return S_OK;
  }
  std::vector<LONG> applied;
};

ULONG References(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

LRESULT PlainProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

class PropertyFrame : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root_.ok()) << root_.error();
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = PlainProcedure;
    windowClass.lpszClassName = "QMG frame owner";
    RegisterClassA(&windowClass);
    owner_ = CreateWindowExA(0, "QMG frame owner", "owner", WS_POPUP, 0, 0, 320, 240, nullptr, nullptr,
                             nullptr, nullptr);
    ASSERT_NE(owner_, nullptr);
  }
  void TearDown() override {
    ui::SetPropertyFrameDriver(nullptr);
    DestroyWindow(owner_);
  }

  // Shows the test page for the setting with `driver` working the frame.
  HRESULT Show(ui::PropertyFrameDriver driver) {
    ui::SetPropertyFrameDriver(std::move(driver));
    IUnknown* object = setting_.Get();
    return OleCreatePropertyFrame(owner_, 30, 30, u"Test", 1, &object, 1, &kTestPageClsid, 0, 0, nullptr);
  }

  ksv::media::testing::PluginRoot root_{{"qmgtestpages.so"}};
  ksv::com::ComPtr<Setting> setting_ = ksv::com::ComPtr<Setting>::Adopt(new Setting());
  HWND owner_ = nullptr;
};

TEST_F(PropertyFrame, OkAppliesTheChangedPageAndCancelAppliesNothing) {
  int seen = 0;
  ASSERT_EQ(Show([&](HWND frame) {
              ++seen;
              char title[64] = {};
              TCITEMA tab{};
              tab.mask = TCIF_TEXT;
              tab.pszText = title;
              tab.cchTextMax = sizeof title;
              SendDlgItemMessageA(frame, ui::kFramePageListId, TCM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tab));
              EXPECT_STREQ(title, kTestPageTitle);
              EXPECT_FALSE(IsWindowEnabled(owner_)) << "the frame is modal";
              ui::input::Click(GetDlgItem(frame, IDCANCEL));
            }),
            S_OK);
  EXPECT_EQ(seen, 1);
  EXPECT_TRUE(setting_->applied.empty());
  EXPECT_TRUE(IsWindowEnabled(owner_));

  ASSERT_EQ(Show([](HWND frame) { ui::input::Click(GetDlgItem(frame, IDOK)); }), S_OK);
  EXPECT_EQ(setting_->applied, (std::vector<LONG>{1}));
  EXPECT_EQ(References(setting_.Get()), 1u) << "the page gave the object back";
}

TEST_F(PropertyFrame, ApplyAppliesOnceWithoutClosing) {
  ASSERT_EQ(Show([&](HWND frame) {
              HWND apply = GetDlgItem(frame, ui::kFrameApplyId);
              ASSERT_TRUE(IsWindowEnabled(apply)) << "the page said it changed";
              // Handled at once (a click would be handled once this returns).
              SendMessageA(frame, WM_COMMAND, WPARAM(ui::kFrameApplyId), reinterpret_cast<LPARAM>(apply));
              EXPECT_EQ(setting_->applied, (std::vector<LONG>{1}));
              EXPECT_TRUE(IsWindow(frame));
              EXPECT_FALSE(IsWindowEnabled(apply));
              ui::input::Click(GetDlgItem(frame, IDOK));  // nothing left to apply
            }),
            S_OK);
  EXPECT_EQ(setting_->applied, (std::vector<LONG>{1}));
}

TEST_F(PropertyFrame, WithoutADriverOrWithoutPagesNoFrameIsShown) {
  EXPECT_EQ(Show(nullptr), S_OK);
  EXPECT_TRUE(setting_->applied.empty());
  IUnknown* object = setting_.Get();
  EXPECT_EQ(OleCreatePropertyFrame(owner_, 0, 0, nullptr, 1, &object, 0, nullptr, 0, 0, nullptr), E_INVALIDARG);
  EXPECT_EQ(OleCreatePropertyFrame(owner_, 0, 0, nullptr, 0, nullptr, 1, &kTestPageClsid, 0, 0, nullptr),
            E_INVALIDARG);
  // A page class nobody registered.
  ui::SetPropertyFrameDriver([](HWND frame) { EndDialog(frame, IDCANCEL); });
  const CLSID unknown = ksv::com::Guid("5B0E2B61-7A1C-4F0D-9E5A-2C6D3B4A1F03");
  EXPECT_TRUE(FAILED(OleCreatePropertyFrame(owner_, 0, 0, nullptr, 1, &object, 1, &unknown, 0, 0, nullptr)));
}

}  // namespace
