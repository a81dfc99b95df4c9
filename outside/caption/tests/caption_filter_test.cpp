// The caption filter: the types it takes and passes on, what it does to
// the frames with captioning on and off, and its control interface's
// argument contracts. The filter is registered and found as clients find it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "include/caption_control.h"
#include "include/win32_errors.h"
#include "platform/media/testing/bind_device.h"
#include "outside/caption/caption_filter.h"
#include "platform/com/task_memory.h"
#include "platform/media/filters/avi_mux/tests/mux_test_filters.h"
#include "platform/media/testing/filter_pins.h"
#include "platform/media/testing/plugin_root.h"

namespace ksv::media::caption {
namespace {

using com::ComPtr;
using media::testing::AfterLast;
using media::testing::PushSource;
using media::testing::VideoType;

CMediaType RgbType(int bitCount, int width, int height) {
  const GUID& subtype = bitCount == 24 ? MEDIASUBTYPE_RGB24 : MEDIASUBTYPE_RGB32;
  CMediaType type = VideoType(BI_RGB, width, height, WORD(bitCount), 400000);
  type.SetSubtype(&subtype);
  return type;
}

// A caption filter whose input is connected to a push source of `type`,
// and samples to hand its Transform.
class CaptionFrames : public ::testing::Test {
 protected:
  void Connect(const CMediaType& type) {
    HRESULT made = E_FAIL;
    filter_ = ComPtr<CaptionFilter>::Adopt(new CaptionFilter(nullptr, &made));
    filter_->AddRef();
    source_ = ComPtr<PushSource>::Adopt(new PushSource());
    source_->AddRef();
    IPin* out = source_->AddStream(type, {}, AfterLast::kEndOfStream);
    ASSERT_EQ(out->Connect(filter_->GetPin(0), nullptr), S_OK);
    ASSERT_TRUE(FrameLayout(type, &layout_, &frameBytes_));
    HRESULT result = S_OK;
    allocator_ = ComPtr<IMemAllocator>::Adopt(static_cast<CMemAllocator*>(
        CMemAllocator::CreateInstance(nullptr, &result)));
    allocator_->AddRef();
    ALLOCATOR_PROPERTIES request{2, LONG(frameBytes_), 1, 0}, actual{};
    ASSERT_EQ(allocator_->SetProperties(&request, &actual), S_OK);
    ASSERT_EQ(allocator_->Commit(), S_OK);
  }
  void TearDown() override {
    if (allocator_) allocator_->Decommit();
    if (source_) media::testing::DisconnectAll(source_.Get());
    if (filter_) media::testing::DisconnectAll(filter_.Get());
  }

  // The frame `input` (its bytes) after the filter.
  std::vector<uint8_t> Through(const std::vector<uint8_t>& input) {
    IMediaSample* in = nullptr;
    IMediaSample* out = nullptr;
    EXPECT_EQ(allocator_->GetBuffer(&in, nullptr, nullptr, 0), S_OK);
    EXPECT_EQ(allocator_->GetBuffer(&out, nullptr, nullptr, 0), S_OK);
    BYTE* bytes = nullptr;
    in->GetPointer(&bytes);
    std::memcpy(bytes, input.data(), input.size());
    in->SetActualDataLength(LONG(input.size()));
    EXPECT_EQ(filter_->Transform(in, out), S_OK);
    out->GetPointer(&bytes);
    std::vector<uint8_t> result(bytes, bytes + out->GetActualDataLength());
    in->Release();
    out->Release();
    return result;
  }

  std::vector<uint8_t> Frame() const {
    std::vector<uint8_t> frame(frameBytes_);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = uint8_t(i * 13 + 5);
    return frame;
  }

  // Whether the frames differ somewhere, and only inside the rectangle
  // (from the picture's top-left) [left, right) x [top, bottom).
  void ExpectChangedOnlyWithin(const std::vector<uint8_t>& before,
                               const std::vector<uint8_t>& after, int left, int top, int right,
                               int bottom) {
    ASSERT_EQ(before.size(), after.size());
    bool changed = false;
    const int bytes = layout_.bitCount / 8;
    for (int y = 0; y < layout_.height; ++y) {
      const int row = layout_.topDown ? y : layout_.height - 1 - y;
      for (size_t at = 0; at < layout_.stride; ++at) {
        const size_t i = size_t(row) * layout_.stride + at;
        if (before[i] == after[i]) continue;
        changed = true;
        const int x = int(at) / bytes;
        ASSERT_TRUE(x >= left && x < right && y >= top && y < bottom) << x << "," << y;
      }
    }
    EXPECT_TRUE(changed);
  }

  ComPtr<CaptionFilter> filter_;
  ComPtr<PushSource> source_;
  ComPtr<IMemAllocator> allocator_;
  Picture layout_;
  size_t frameBytes_ = 0;
};

TEST_F(CaptionFrames, TakesAndPassesOnTheDecompressorsRgbOnly) {
  Connect(RgbType(24, 33, 20));
  CMediaType offered;
  ASSERT_EQ(filter_->GetMediaType(0, &offered), S_OK);
  EXPECT_TRUE(offered == RgbType(24, 33, 20));
  EXPECT_EQ(filter_->GetMediaType(1, &offered), VFW_S_NO_MORE_ITEMS);
  const CMediaType rgb24 = RgbType(24, 33, 20), rgb32 = RgbType(32, 33, 20);
  const CMediaType topDown24 = RgbType(24, 33, -20), topDown32 = RgbType(32, 33, -20);
  EXPECT_EQ(filter_->CheckTransform(&rgb24, &rgb24), S_OK);
  EXPECT_EQ(filter_->CheckTransform(&rgb24, &rgb32), VFW_E_TYPE_NOT_ACCEPTED);
  EXPECT_EQ(filter_->CheckTransform(&rgb24, &topDown24), VFW_E_TYPE_NOT_ACCEPTED);

  EXPECT_EQ(filter_->CheckInputType(&topDown32), S_OK);
  CMediaType wrongCount = RgbType(24, 33, 20);
  reinterpret_cast<VIDEOINFOHEADER*>(wrongCount.Format())->bmiHeader.biBitCount = 32;
  CMediaType rgb565 = RgbType(24, 33, 20);
  rgb565.SetSubtype(&MEDIASUBTYPE_RGB565);
  CMediaType compressed = RgbType(24, 33, 20);
  reinterpret_cast<VIDEOINFOHEADER*>(compressed.Format())->bmiHeader.biCompression = 0x64697663;
  CMediaType shortFormat = RgbType(24, 33, 20);
  shortFormat.ReallocFormatBuffer(sizeof(VIDEOINFOHEADER) - 1);
  CMediaType huge = RgbType(24, 1 << 20, 20);
  for (const CMediaType* refused : {&wrongCount, &rgb565, &compressed, &shortFormat, &huge}) {
    EXPECT_EQ(filter_->CheckInputType(refused), VFW_E_TYPE_NOT_ACCEPTED);
  }
}

TEST_F(CaptionFrames, ACaptionChangesItsRectangleOnlyAndNoCaptionNothing) {
  for (const int bitCount : {24, 32}) {
    for (const int height : {40, -40}) {
      SCOPED_TRACE(::testing::Message() << bitCount << " bits, height " << height);
      TearDown();
      Connect(RgbType(bitCount, 90, height));
      const std::vector<uint8_t> frame = Frame();
      EXPECT_EQ(Through(frame), frame);

      // The default look: 16 pixels high at (8, 8), so "KSV 1" covers 60 x 16.
      ASSERT_EQ(filter_->SetCaption("KSV 1"), S_OK);
      ExpectChangedOnlyWithin(frame, Through(frame), 8, 8, 8 + 60, 8 + 16);

      // Lower right, transparent and partly off the picture.
      ASSERT_EQ(filter_->SetCaptionFont(8, 0x0000FF00, kCaptionTransparent, 80, 35), S_OK);
      ExpectChangedOnlyWithin(frame, Through(frame), 80, 35, 90, 40);

      // A frame shorter than the picture passes as it came.
      const std::vector<uint8_t> part(frame.begin(), frame.begin() + frame.size() / 2);
      EXPECT_EQ(Through(part), part);

      ASSERT_EQ(filter_->SetCaption(nullptr), S_OK);
      EXPECT_EQ(Through(frame), frame);
    }
  }
}

TEST(CaptionControl, ArgumentsAreCheckedAndTheCaptionRoundTrips) {
  media::testing::PluginRoot root({"ksvcaption.so"});
  ASSERT_TRUE(root.ok()) << root.error();
  ComPtr<IBaseFilter> filter =
      media::testing::BindDevice(CLSID_LegacyAmFilterCategory, u"Brontal Mocam Video Caption");
  ASSERT_TRUE(filter);
  ComPtr<ICaptionControl> control;
  ASSERT_EQ(filter.As(&control), S_OK);

  BOOL on = TRUE;
  EXPECT_EQ(control->IsCaptioning(&on), S_FALSE);
  EXPECT_EQ(on, FALSE);
  EXPECT_EQ(control->IsCaptioning(nullptr), E_POINTER);
  EXPECT_EQ(control->GetCaption(nullptr), E_POINTER);

  ASSERT_EQ(control->SetCaption("Clip 7\nday 2"), S_OK);
  EXPECT_EQ(control->IsCaptioning(&on), S_OK);
  EXPECT_EQ(on, TRUE);
  char* text = nullptr;
  ASSERT_EQ(control->GetCaption(&text), S_OK);
  EXPECT_STREQ(text, "Clip 7\nday 2");
  CoTaskMemFree(text);
  // Too long: refused, the caption stays.
  const std::string tooLong(kCaptionMaxLength + 1, 'x');
  EXPECT_EQ(control->SetCaption(tooLong.c_str()), E_INVALIDARG);
  EXPECT_EQ(control->SetCaption(tooLong.substr(1).c_str()), S_OK);
  ASSERT_EQ(control->SetCaption(""), S_OK);
  EXPECT_EQ(control->IsCaptioning(&on), S_FALSE);
  ASSERT_EQ(control->GetCaption(&text), S_OK);
  EXPECT_STREQ(text, "");
  CoTaskMemFree(text);

  EXPECT_EQ(control->SetCaptionFont(7, 0, 0, 0, 0), E_INVALIDARG);
  EXPECT_EQ(control->SetCaptionFont(257, 0, 0, 0, 0), E_INVALIDARG);
  EXPECT_EQ(control->SetCaptionFont(8, 0x01000000, 0, 0, 0), E_INVALIDARG);
  EXPECT_EQ(control->SetCaptionFont(8, 0, 0x01000000, 0, 0), E_INVALIDARG);
  EXPECT_EQ(control->SetCaptionFont(8, 0, 0, -1, 0), E_INVALIDARG);
  EXPECT_EQ(control->SetCaptionFont(8, 0, 0, 0, -1), E_INVALIDARG);
  ASSERT_EQ(control->SetCaptionFont(16, 0x00FF0000, 0x000000FF, 0, 0), S_OK);  // blue on red

  // The text as a picture: the size first, then the pixels.
  DWORD size = 0;
  BITMAPINFOHEADER header{};
  EXPECT_EQ(control->GetStreamFromVideoText(nullptr, nullptr, &size, &header), E_POINTER);
  EXPECT_EQ(control->GetStreamFromVideoText("A", nullptr, nullptr, &header), E_POINTER);
  EXPECT_EQ(control->GetStreamFromVideoText("A", nullptr, &size, nullptr), E_POINTER);
  EXPECT_EQ(control->GetStreamFromVideoText("", nullptr, &size, &header), E_INVALIDARG);
  ASSERT_EQ(control->GetStreamFromVideoText("AB", nullptr, &size, &header), S_OK);
  EXPECT_EQ(header.biWidth, 24);  // two 12-pixel cells
  EXPECT_EQ(header.biHeight, 16);
  EXPECT_EQ(header.biBitCount, 24);
  EXPECT_EQ(header.biCompression, BI_RGB);
  EXPECT_EQ(size, 72u * 16);  // rows of 72 bytes
  EXPECT_EQ(header.biSizeImage, size);
  std::vector<BYTE> bits(size + 1, 0xEE);
  DWORD small = size - 1;
  EXPECT_EQ(control->GetStreamFromVideoText("AB", bits.data(), &small, &header),
            HRESULT_FROM_WIN32(ERROR_MORE_DATA));
  EXPECT_EQ(small, size);
  EXPECT_EQ(bits[0], 0xEE);
  ASSERT_EQ(control->GetStreamFromVideoText("AB", bits.data(), &size, &header), S_OK);
  EXPECT_EQ(bits[size], 0xEE);
  // Bottom-up: the last row is the top. 'A' starts ".###." so its top-left
  // pixel is background (red) and the next one a letter pixel (blue).
  const BYTE* top = bits.data() + size_t(15) * 72;
  EXPECT_EQ(top[0], 0x00);
  EXPECT_EQ(top[2], 0xFF);
  EXPECT_EQ(top[2 * 3], 0xFF);
  EXPECT_EQ(top[2 * 3 + 2], 0x00);
}

}  // namespace
}  // namespace ksv::media::caption
