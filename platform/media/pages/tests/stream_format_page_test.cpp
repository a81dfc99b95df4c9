#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/com/task_memory.h"
#include "platform/com/wide_text.h"
#include "platform/media/base/factory.h"
#include "platform/media/media_guids.h"
#include "platform/media/pages/page_ids.h"
#include "platform/media/pages/stream_format_page.h"
#include "platform/ui/input.h"

namespace {

using ksv::com::ComPtr;
using namespace ksv::media::pages;
namespace input = ksv::platform::ui::input;

constexpr REFERENCE_TIME k30Fps = 333333;
constexpr REFERENCE_TIME k15Fps = 666667;
constexpr REFERENCE_TIME k5Fps = 2000000;

// A counted object that lives on the test's stack: the count shows what
// the page still holds.
template <class Interface>
struct Counted : Interface {
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == ksv::com::IidOf<Interface>()) {
      *object = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return static_cast<ULONG>(++references); }
  ULONG Release() override { return static_cast<ULONG>(--references); }
  int references = 0;
  virtual ~Counted() = default;
};

CMediaType VideoType(const GUID& subtype, DWORD compression, WORD bits, LONG width, LONG height,
                     REFERENCE_TIME frameTime = k30Fps) {
  CMediaType type(&MEDIATYPE_Video);
  type.SetSubtype(&subtype);
  type.SetFormatType(&FORMAT_VideoInfo);
  auto* video = reinterpret_cast<VIDEOINFOHEADER*>(type.AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
  video->AvgTimePerFrame = frameTime;
  video->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  video->bmiHeader.biWidth = width;
  video->bmiHeader.biHeight = height;
  video->bmiHeader.biPlanes = 1;
  video->bmiHeader.biBitCount = bits;
  video->bmiHeader.biCompression = compression;
  return type;
}

const VIDEOINFOHEADER& Video(const AM_MEDIA_TYPE& type) {
  return *reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
}

// Four formats as the camera offers them, the large ones at 5 to 15 frames
// a second and the small ones at 5 to 30; records what SetFormat gets.
struct FakeStreamConfig : Counted<IAMStreamConfig> {
  FakeStreamConfig() {
    constexpr DWORD kI420 = 0x30323449;  // "I420"
    types.push_back(VideoType(MEDIASUBTYPE_I420, kI420, 12, 320, 240, k15Fps));
    types.push_back(VideoType(MEDIASUBTYPE_I420, kI420, 12, 160, 120));
    types.push_back(VideoType(MEDIASUBTYPE_RGB24, BI_RGB, 24, 320, -240, k15Fps));
    types.push_back(VideoType(MEDIASUBTYPE_RGB24, BI_RGB, 24, 160, 120));
    current = types[2];
  }
  HRESULT SetFormat(AM_MEDIA_TYPE* type) override {
    set.emplace_back(*type);
    if (FAILED(setResult)) return setResult;
    current = *type;
    return S_OK;
  }
  HRESULT GetFormat(AM_MEDIA_TYPE** type) override {
    *type = CreateMediaType(&current);
    return S_OK;
  }
  HRESULT GetNumberOfCapabilities(int* count, int* size) override {
    *count = static_cast<int>(types.size());
    *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
    return S_OK;
  }
  HRESULT GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) override {
    if (index < 0 || index >= static_cast<int>(types.size())) return S_FALSE;
    *type = CreateMediaType(&types[static_cast<size_t>(index)]);
    VIDEO_STREAM_CONFIG_CAPS video{};
    video.guid = FORMAT_VideoInfo;
    video.MinFrameInterval = Video(types[static_cast<size_t>(index)]).bmiHeader.biWidth > 160 ? k15Fps : k30Fps;
    video.MaxFrameInterval = k5Fps;
    std::memcpy(caps, &video, sizeof video);
    return S_OK;
  }
  std::vector<CMediaType> types;
  CMediaType current;
  std::vector<CMediaType> set;
  HRESULT setResult = S_OK;
};

struct FakeSite : Counted<IPropertyPageSite> {
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

LRESULT FrameProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

// A frame's side of the page: the page's object, a visible window it
// lives in, and the site.
class StreamFormatPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA frameClass{};
    frameClass.lpfnWndProc = FrameProcedure;
    frameClass.lpszClassName = "PageTestFrame";
    RegisterClassA(&frameClass);  // once per process; later calls find it there
    frame_ = CreateWindowExA(0, "PageTestFrame", "Properties", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr,
                             nullptr, nullptr, nullptr);
    ASSERT_NE(frame_, nullptr);
    HRESULT result = S_OK;
    CUnknown* object = StreamFormatPage::CreateInstance(nullptr, &result);
    ASSERT_NE(object, nullptr);
    ASSERT_EQ(object->NonDelegatingQueryInterface(IID_IPropertyPage, reinterpret_cast<void**>(&page_)), S_OK);
    ASSERT_EQ(page_->SetPageSite(&site_), S_OK);
  }
  void TearDown() override {
    if (page_ != nullptr) {
      page_->Deactivate();
      page_->SetObjects(0, nullptr);
      page_->SetPageSite(nullptr);
      page_->Release();
    }
    DestroyWindow(frame_);
    EXPECT_EQ(config_.references, 0) << "the page let the object go";
    EXPECT_EQ(site_.references, 0) << "the page let the site go";
  }

  void Open() {
    IUnknown* objects[] = {&config_};
    ASSERT_EQ(page_->SetObjects(1, objects), S_OK);
    ASSERT_EQ(page_->Activate(frame_, &kRect, FALSE), S_OK);
    ASSERT_EQ(page_->Show(SW_SHOW), S_OK);
    list_ = ListOf(frame_);
  }
  static HWND ListOf(HWND frame) {
    return input::WindowAt(frame, kRect.left + 20, kRect.top + 40);
  }
  // The frame's loop: the page's keys first, as a frame hands them on.
  void Pump() {
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (page_->TranslateAccelerator(&message) != S_OK) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
      }
    }
  }
  std::vector<std::string> Items() const {
    std::vector<std::string> items;
    const auto count = SendMessageA(list_, LB_GETCOUNT, 0, 0);
    for (LRESULT index = 0; index < count; ++index) {
      char text[64] = {};
      SendMessageA(list_, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
      items.emplace_back(text);
    }
    return items;
  }
  std::string RateText() const {
    char text[32] = {};
    GetDlgItemTextA(GetParent(list_), kRateEditId, text, sizeof text);
    return text;
  }
  void TypeRate(const char* text) {
    ASSERT_TRUE(input::Click(GetDlgItem(GetParent(list_), kRateEditId)));
    Pump();
    for (size_t i = RateText().size(); i > 0; --i) input::PressKey(VK_BACK);
    input::TypeText(text);
    Pump();
  }

  static constexpr RECT kRect{10, 10, 340, 205};
  HWND frame_ = nullptr;
  HWND list_ = nullptr;
  IPropertyPage* page_ = nullptr;
  FakeStreamConfig config_;
  FakeSite site_;
};

TEST_F(StreamFormatPageTest, ListsEveryFormatWithTheCurrentOneSelected) {
  Open();
  ASSERT_NE(list_, nullptr);
  EXPECT_EQ(GetParent(GetParent(list_)), frame_) << "the page is a child of the frame's window";
  EXPECT_EQ(Items(), (std::vector<std::string>{"I420 320 x 240, 12 bit", "I420 160 x 120, 12 bit",
                                               "RGB24 320 x 240, 24 bit", "RGB24 160 x 120, 24 bit"}));
  EXPECT_EQ(SendMessageA(list_, LB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(RateText(), "15");
  char range[64] = {};
  GetDlgItemTextA(GetParent(list_), kRateRangeId, range, sizeof range);
  EXPECT_STREQ(range, "From 5 to 15 frames per second");
  RECT placed{};
  GetWindowRect(GetParent(list_), &placed);
  EXPECT_EQ(placed.right - placed.left, kRect.right - kRect.left) << "placed where Activate said";
  EXPECT_EQ(page_->IsPageDirty(), S_FALSE);
  EXPECT_TRUE(site_.statuses.empty()) << "filling the controls is no change";
}

TEST_F(StreamFormatPageTest, ChoosingAFormatMarksThePageDirtyAndApplySetsIt) {
  Open();
  ASSERT_TRUE(input::ChooseItem(list_, 1));
  Pump();
  EXPECT_EQ(site_.statuses, std::vector<DWORD>{PROPPAGESTATUS_DIRTY});
  EXPECT_EQ(page_->IsPageDirty(), S_OK);
  EXPECT_TRUE(config_.set.empty()) << "nothing is set before Apply";

  EXPECT_EQ(page_->Apply(), S_OK);
  ASSERT_EQ(config_.set.size(), 1u);
  EXPECT_TRUE(config_.set[0].subtype == MEDIASUBTYPE_I420);
  EXPECT_EQ(Video(config_.set[0]).bmiHeader.biWidth, 160);
  EXPECT_EQ(Video(config_.set[0]).AvgTimePerFrame, k15Fps) << "the rate shown, which the new format takes";
  EXPECT_EQ(page_->IsPageDirty(), S_FALSE);
  EXPECT_EQ(page_->Apply(), S_OK);
  EXPECT_EQ(config_.set.size(), 1u) << "a clean page applies nothing";
}

TEST_F(StreamFormatPageTest, AFailingSetFormatKeepsThePageDirty) {
  Open();
  ASSERT_TRUE(input::ChooseItem(list_, 0));
  Pump();
  config_.setResult = E_FAIL;
  EXPECT_EQ(page_->Apply(), E_FAIL);
  EXPECT_EQ(page_->IsPageDirty(), S_OK);
  config_.setResult = S_OK;
  EXPECT_EQ(page_->Apply(), S_OK);
  EXPECT_EQ(page_->IsPageDirty(), S_FALSE);
  EXPECT_EQ(Video(config_.current).bmiHeader.biWidth, 320);
  EXPECT_TRUE(config_.current.subtype == MEDIASUBTYPE_I420);
}

TEST_F(StreamFormatPageTest, TheRateFieldSetsTheFrameTimeWithinTheFormatsRange) {
  Open();
  TypeRate("7.5");
  EXPECT_EQ(RateText(), "7.5");
  EXPECT_EQ(page_->IsPageDirty(), S_OK);
  EXPECT_EQ(page_->Apply(), S_OK);
  ASSERT_EQ(config_.set.size(), 1u);
  EXPECT_EQ(Video(config_.set[0]).AvgTimePerFrame, 1333333);
  EXPECT_EQ(Video(config_.set[0]).bmiHeader.biWidth, 320) << "the format stays the current one";

  for (const char* bad : {"30", "2", "abc"}) {
    TypeRate(bad);
    EXPECT_EQ(page_->Apply(), E_INVALIDARG) << bad;
    EXPECT_EQ(page_->IsPageDirty(), S_OK) << bad;
  }
  EXPECT_EQ(config_.set.size(), 1u) << "no rate outside 5 to 15 is set";
  TypeRate("5");
  EXPECT_EQ(page_->Apply(), S_OK);
  EXPECT_EQ(Video(config_.set.back()).AvgTimePerFrame, k5Fps) << "the range's end is in it";
}

TEST_F(StreamFormatPageTest, AFormatThatCannotTakeTheRateShownGetsTheNearestItCan) {
  Open();
  ASSERT_TRUE(input::ChooseItem(list_, 3));
  Pump();
  TypeRate("30");
  ASSERT_EQ(page_->Apply(), S_OK);
  EXPECT_EQ(Video(config_.set.back()).AvgTimePerFrame, k30Fps);

  const size_t statuses = site_.statuses.size();
  ASSERT_TRUE(input::ChooseItem(list_, 0));
  Pump();
  EXPECT_EQ(RateText(), "15");
  EXPECT_EQ(site_.statuses.size(), statuses + 1) << "one change, one status";
  ASSERT_EQ(page_->Apply(), S_OK);
  EXPECT_TRUE(config_.set.back().subtype == MEDIASUBTYPE_I420);
  EXPECT_EQ(Video(config_.set.back()).AvgTimePerFrame, k15Fps);
}

TEST_F(StreamFormatPageTest, AChoiceOutlivesDeactivateUntilAppliedOrDisconnected) {
  Open();
  ASSERT_TRUE(input::ChooseItem(list_, 3));
  Pump();
  HWND dialog = GetParent(list_);
  ASSERT_EQ(page_->Deactivate(), S_OK);
  EXPECT_FALSE(IsWindow(dialog)) << "Deactivate destroys the dialog";
  EXPECT_EQ(page_->Show(SW_SHOW), E_UNEXPECTED);

  ASSERT_EQ(page_->Activate(frame_, &kRect, FALSE), S_OK);
  ASSERT_EQ(page_->Show(SW_SHOW), S_OK);
  list_ = ListOf(frame_);
  EXPECT_EQ(SendMessageA(list_, LB_GETCURSEL, 0, 0), 3) << "the choice not yet applied is shown";
  ASSERT_EQ(page_->Deactivate(), S_OK);
  EXPECT_EQ(page_->Apply(), S_OK) << "a frame may apply a page it no longer shows";
  ASSERT_EQ(config_.set.size(), 1u);
  EXPECT_EQ(Video(config_.set[0]).bmiHeader.biWidth, 160);
  EXPECT_TRUE(config_.set[0].subtype == MEDIASUBTYPE_RGB24);

  ASSERT_EQ(page_->Activate(frame_, &kRect, FALSE), S_OK);
  ASSERT_EQ(page_->Show(SW_SHOW), S_OK);
  ASSERT_TRUE(input::ChooseItem(ListOf(frame_), 0));
  Pump();
  EXPECT_EQ(page_->SetObjects(0, nullptr), S_OK);
  EXPECT_EQ(config_.references, 0) << "SetObjects(0) lets the object go";
  EXPECT_EQ(page_->IsPageDirty(), S_FALSE) << "changes for an object gone are dropped";
  EXPECT_EQ(page_->Apply(), E_UNEXPECTED) << "nothing to apply to";
}

TEST_F(StreamFormatPageTest, ThePageKeepsTheDocumentedContract) {
  PROPPAGEINFO info{};
  ASSERT_EQ(page_->GetPageInfo(&info), S_OK);
  EXPECT_EQ(info.cb, sizeof(PROPPAGEINFO));
  EXPECT_EQ(ksv::com::Utf16ToUtf8(ksv::com::WideView(info.pszTitle)), "Stream Format");
  EXPECT_EQ(info.size.cx, 330) << "220 dialog units across";
  EXPECT_EQ(info.size.cy, 195) << "120 dialog units down";
  EXPECT_EQ(info.pszHelpFile, nullptr);
  CoTaskMemFree(info.pszTitle);
  EXPECT_EQ(page_->GetPageInfo(nullptr), E_POINTER);

  EXPECT_EQ(page_->SetPageSite(&site_), E_UNEXPECTED) << "one site at a time";
  EXPECT_EQ(page_->Activate(frame_, &kRect, FALSE), E_UNEXPECTED) << "no object to show";
  EXPECT_EQ(page_->Apply(), E_UNEXPECTED);

  Counted<IUnknown> stranger;
  IUnknown* strangers[] = {&stranger};
  EXPECT_EQ(page_->SetObjects(1, strangers), E_NOINTERFACE) << "not a stream config";
  EXPECT_EQ(stranger.references, 0);
  IUnknown* two[] = {&config_, &config_};
  EXPECT_EQ(page_->SetObjects(2, two), E_UNEXPECTED) << "one object only";
  EXPECT_EQ(page_->SetObjects(1, nullptr), E_POINTER);

  Open();
  EXPECT_EQ(page_->Activate(frame_, &kRect, FALSE), E_UNEXPECTED) << "already active";
  EXPECT_EQ(page_->Show(SW_MINIMIZE), E_INVALIDARG);
  EXPECT_EQ(page_->Help(nullptr), E_NOTIMPL);
  // The page's object goes while its dialog is up: the dialog goes with it.
  HWND dialog = GetParent(list_);
  page_->SetObjects(0, nullptr);
  page_->SetPageSite(nullptr);
  EXPECT_EQ(page_->Release(), 0u);
  page_ = nullptr;
  EXPECT_FALSE(IsWindow(dialog));
}

TEST(StreamFormatPageFactory, APageIsMadeFromItsFactoryTemplate) {
  const CFactoryTemplate templates[] = {
      {u"Stream Format", &CLSID_VideoStreamConfigPropertyPage, StreamFormatPage::CreateInstance}};
  IClassFactory* factory = nullptr;
  ASSERT_EQ(ksv::media::GetClassObjectFromTemplates(templates, 1, CLSID_VideoStreamConfigPropertyPage,
                                                    IID_PPV_ARGS(&factory)),
            S_OK);
  IPropertyPage* page = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&page)), S_OK);
  EXPECT_EQ(page->IsPageDirty(), S_FALSE);
  page->Release();
  factory->Release();
}

TEST(DescribeVideoType, NamesTheFormatAsAPersonReadsIt) {
  EXPECT_EQ(DescribeVideoType(VideoType(MEDIASUBTYPE_RGB24, BI_RGB, 24, 160, -120)), "RGB24 160 x 120, 24 bit")
      << "a top-down height without its sign";
  EXPECT_EQ(DescribeVideoType(VideoType(MEDIASUBTYPE_I420, 0x32595559, 16, 640, 480)), "YUY2 640 x 480, 16 bit");
  EXPECT_EQ(DescribeVideoType(VideoType(MEDIASUBTYPE_I420, 7, 8, 8, 8)), "0x00000007 8 x 8, 8 bit");
  CMediaType audio(&MEDIATYPE_Video);
  EXPECT_EQ(DescribeVideoType(audio), "") << "no video header";
  CMediaType cut = VideoType(MEDIASUBTYPE_I420, 0x30323449, 12, 8, 8);
  cut.ReallocFormatBuffer(sizeof(VIDEOINFOHEADER) - 1);
  EXPECT_EQ(DescribeVideoType(cut), "") << "a block too short to hold the header";

  EXPECT_EQ(FormatFrameRate(30.000003), "30");
  EXPECT_EQ(FormatFrameRate(7.5), "7.5");
  EXPECT_EQ(FormatFrameRate(10'000'000.0 / 333667), "29.97");
}

}  // namespace
