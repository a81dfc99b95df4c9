// The Video Renderer: how frames land in its window's surface (exactly at
// the frame's size, stretched otherwise, refused when short or of a kind
// it does not take), and the registered plug-in in a graph on a simulated
// clock: frames drawn at their times, the last one read back exactly,
// EC_COMPLETE at the end, and IVideoWindow through the graph manager.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/com/wide_text.h"
#include "platform/kernel/performance_counter.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/avi_mux/tests/mux_test_filters.h"
#include "platform/media/filters/video_renderer/frame_drawing.h"
#include "platform/media/media.h"
#include "platform/media/testing/filter_pins.h"
#include "platform/media/testing/plugin_root.h"
#include "platform/media/testing/video_window_shot.h"
#include "platform/ui/surface.h"

namespace ksv::media::testing {
namespace {

using ksv::com::ComPtr;
using videorenderer::DrawFrame;
using videorenderer::FrameLayout;
using videorenderer::LayoutOf;

BITMAPINFOHEADER Header(LONG width, LONG height, WORD bits, DWORD compression = BI_RGB) {
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = bits;
  header.biCompression = compression;
  return header;
}

// A frame whose every pixel differs: B = x + 16 * seed, G = y, R = x ^ y.
std::vector<uint8_t> Frame(const FrameLayout& layout, int seed) {
  std::vector<uint8_t> bytes(layout.size(), 0xEE);
  for (int y = 0; y < layout.height; ++y) {
    const int stored = layout.topDown ? y : layout.height - 1 - y;
    for (int x = 0; x < layout.width; ++x) {
      uint8_t* pixel = bytes.data() + stored * layout.stride + x * layout.bytesPerPixel;
      pixel[0] = uint8_t(x + 16 * seed);
      pixel[1] = uint8_t(y);
      pixel[2] = uint8_t(x ^ y);
    }
  }
  return bytes;
}

// The pixel (B, G, R) at (x, y) of a top-down 24-bit picture.
uint32_t At(const std::vector<uint8_t>& picture, size_t stride, int x, int y) {
  const uint8_t* pixel = picture.data() + y * stride + x * 3;
  return pixel[0] | pixel[1] << 8 | pixel[2] << 16;
}
uint32_t Expected(int x, int y, int seed) {
  return uint8_t(x + 16 * seed) | uint8_t(y) << 8 | uint8_t(x ^ y) << 16;
}

TEST(FrameDrawing, EveryAcceptedLayoutLandsExactlyAtItsSizeAndNearestWhenStretched) {
  for (const auto& [bits, height] : {std::pair<WORD, LONG>{24, 5}, {24, -5}, {32, 5}, {32, -5}}) {
    SCOPED_TRACE(::testing::Message() << bits << " bits, height " << height);
    const std::optional<FrameLayout> layout = LayoutOf(Header(7, height, bits));
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->stride, bits == 24 ? 24u : 28u) << "rows padded to 4 bytes";
    const std::vector<uint8_t> frame = Frame(*layout, 1);
    // At its own size (the surface's rows are padded too).
    const size_t stride = ksv::platform::ui::SurfaceStride(7);
    std::vector<uint8_t> surface(stride * 5, 0);
    ASSERT_TRUE(DrawFrame(*layout, frame.data(), frame.size(), surface.data(), 7, 5, stride));
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 7; ++x) ASSERT_EQ(At(surface, stride, x, y), Expected(x, y, 1));
    }
    // Twice as large each way: each pixel covers two by two.
    const size_t bigStride = ksv::platform::ui::SurfaceStride(14);
    std::vector<uint8_t> big(bigStride * 10, 0);
    ASSERT_TRUE(DrawFrame(*layout, frame.data(), frame.size(), big.data(), 14, 10, bigStride));
    EXPECT_EQ(At(big, bigStride, 13, 9), Expected(6, 4, 1));
    EXPECT_EQ(At(big, bigStride, 5, 2), Expected(2, 1, 1));
    // A frame cut short is not drawn.
    std::vector<uint8_t> untouched(stride * 5, 0x11);
    EXPECT_FALSE(DrawFrame(*layout, frame.data(), frame.size() - 1, untouched.data(), 7, 5, stride));
    EXPECT_EQ(untouched, std::vector<uint8_t>(stride * 5, 0x11));
  }
  EXPECT_FALSE(LayoutOf(Header(8, 8, 16)));
  EXPECT_FALSE(LayoutOf(Header(8, 8, 24, 0x47504A4D)));
  EXPECT_FALSE(LayoutOf(Header(0, 8, 24)));
  EXPECT_FALSE(LayoutOf(Header(8, 0, 24)));
  EXPECT_FALSE(LayoutOf(Header(8, -100000, 32)));
}

constexpr int kWidth = 12;
constexpr int kHeight = 9;
constexpr int kFrames = 4;
constexpr REFERENCE_TIME kFrameTime = UNITS / 10;

// A graph of a push source of RGB32 frames and the registered renderer.
class VideoGraph : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root_.ok()) << root_.error();
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(graph_.GetAddressOf())),
              S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_VideoRenderer, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(renderer_.GetAddressOf())),
              S_OK);
    layout_ = *LayoutOf(Header(kWidth, kHeight, 32));
    std::vector<std::vector<uint8_t>> pictures;
    for (int i = 0; i < kFrames; ++i) pictures.push_back(Frame(layout_, i));
    source_ = Counted(new PushSource());
    pin_ = source_->AddStream(VideoType(BI_RGB, kWidth, kHeight, 32, kFrameTime),
                              Frames(pictures, kFrameTime));
    ASSERT_EQ(graph_->AddFilter(source_, u"Source"), S_OK);
    ASSERT_EQ(graph_->AddFilter(renderer_.Get(), u"Video Renderer"), S_OK);
    graph_.As(&window_);
  }
  void TearDown() override {
    ComPtr<IMediaControl> control;
    if (graph_ && SUCCEEDED(graph_.As(&control))) control->Stop();
    window_ = nullptr;
    renderer_ = nullptr;
    graph_ = nullptr;
    if (source_ != nullptr) source_->Release();
  }
  HRESULT Connect() {
    return graph_->ConnectDirect(pin_, FirstPin(renderer_.Get(), PINDIR_INPUT).Get(), nullptr);
  }

  platform::kernel::SimulatedPerformanceCounter counter_{10'000'000};
  platform::kernel::ScopedPerformanceCounter installed_{counter_};
  PluginRoot root_{{"ksvvideorender.so"}};
  ComPtr<IGraphBuilder> graph_;
  ComPtr<IBaseFilter> renderer_;
  ComPtr<IVideoWindow> window_;
  PushSource* source_ = nullptr;
  PushPin* pin_ = nullptr;
  FrameLayout layout_;
};

TEST_F(VideoGraph, FramesAreDrawnAtTheirTimesAndTheLastOneStaysExactlyInTheWindow) {
  ASSERT_EQ(Connect(), S_OK);
  const HWND window = VideoRendererWindow();
  ASSERT_NE(window, nullptr);
  RECT client{};
  ASSERT_TRUE(GetClientRect(window, &client));
  EXPECT_EQ(client.right, kWidth) << "the window takes the video's size";
  EXPECT_EQ(client.bottom, kHeight);

  ComPtr<IMediaControl> control;
  ComPtr<IMediaEventEx> events;
  ComPtr<IMediaFilter> media;
  ASSERT_EQ(graph_.As(&control), S_OK);
  ASSERT_EQ(graph_.As(&events), S_OK);
  ASSERT_EQ(graph_.As(&media), S_OK);
  const int64_t before = counter_.Counter();
  ASSERT_TRUE(SUCCEEDED(control->Run()));
  LONG code = 0;
  ASSERT_EQ(events->WaitForCompletion(INFINITE, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  EXPECT_EQ(pin_->sent(), size_t{kFrames});
  // The last frame is presented at its start: the clock went that far.
  EXPECT_GE(counter_.Counter() - before, (kFrames - 1) * kFrameTime);
  EXPECT_TRUE(IsWindowVisible(window)) << "shown by itself (AutoShow)";

  const std::shared_ptr<platform::ui::Surface> surface = platform::ui::SurfaceOf(window);
  ASSERT_NE(surface, nullptr);
  EXPECT_GE(surface->version(), 2u) << "drawn into and presented";
  {
    platform::ui::Surface::Pixels pixels = surface->Lock();
    ASSERT_EQ(pixels.width(), kWidth);
    ASSERT_EQ(pixels.height(), kHeight);
    const std::vector<uint8_t> shot(pixels.bits(), pixels.bits() + pixels.stride() * kHeight);
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        ASSERT_EQ(At(shot, pixels.stride(), x, y), Expected(x, y, kFrames - 1)) << x << "," << y;
      }
    }
  }
  EXPECT_TRUE(SaveVideoRendererPng(root_ / "shot.png"));
  EXPECT_GT(std::filesystem::file_size(root_ / "shot.png"), 0u);
}

TEST_F(VideoGraph, TheGraphHandsOnIVideoWindowForOwnerPlaceStyleAndVisibility) {
  ASSERT_NE(window_, nullptr);
  EXPECT_EQ(window_->SetWindowPosition(5, 6, 40, 30), VFW_E_NOT_CONNECTED);
  ASSERT_EQ(Connect(), S_OK);
  const HWND video = VideoRendererWindow();
  const auto place = [video] {
    RECT rect{};
    GetWindowRect(video, &rect);
    return std::vector<LONG>{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
  };

  EXPECT_EQ(window_->SetWindowPosition(5, 6, 40, 30), S_OK);
  EXPECT_EQ(place(), (std::vector<LONG>{5, 6, 40, 30}));
  EXPECT_EQ(window_->put_Width(50), S_OK);
  EXPECT_EQ(window_->put_Height(20), S_OK);
  EXPECT_EQ(place(), (std::vector<LONG>{5, 6, 50, 20})) << "one property leaves the others";

  WNDCLASSA hostClass{};
  hostClass.lpfnWndProc = DefWindowProcA;
  hostClass.lpszClassName = "VideoHost";
  RegisterClassA(&hostClass);
  const HWND host = CreateWindowExA(0, "VideoHost", "host", WS_OVERLAPPEDWINDOW, 0, 0, 320, 240,
                                    nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(host, nullptr);
  EXPECT_EQ(window_->put_Owner(reinterpret_cast<OAHWND>(host)), S_OK);
  EXPECT_TRUE(IsChild(host, video));
  LONG style = GetWindowLongA(video, GWL_STYLE);
  EXPECT_NE(style & WS_CHILD, 0);
  EXPECT_EQ(window_->put_WindowStyle(style | 0x00200000 /* WS_VSCROLL */), E_INVALIDARG);
  EXPECT_EQ(window_->put_WindowStyle(LONG(WS_CHILD | WS_CLIPSIBLINGS)), S_OK);
  EXPECT_EQ(GetWindowLongA(video, GWL_STYLE) & ~LONG(WS_VISIBLE), LONG(WS_CHILD | WS_CLIPSIBLINGS));

  // Its own visibility (the host, an ancestor, is hidden).
  const auto shown = [video] { return (GetWindowLongA(video, GWL_STYLE) & WS_VISIBLE) != 0; };
  EXPECT_EQ(window_->put_Visible(OATRUE), S_OK);
  EXPECT_TRUE(shown());
  EXPECT_EQ(window_->put_Visible(OAFALSE), S_OK);
  EXPECT_FALSE(shown());
  EXPECT_FALSE(IsWindowVisible(video));

  // What the system never calls is not offered.
  BSTR caption = nullptr;
  EXPECT_EQ(window_->get_Caption(&caption), E_NOTIMPL);
  LONG left = 0, top = 0, width = 0, height = 0;
  EXPECT_EQ(window_->GetWindowPosition(&left, &top, &width, &height), E_NOTIMPL);

  // Given back to the desktop, before the host goes.
  EXPECT_EQ(window_->put_Owner(0), S_OK);
  EXPECT_FALSE(IsChild(host, video));
  EXPECT_EQ(GetWindowLongA(video, GWL_STYLE) & WS_CHILD, 0);
  DestroyWindow(host);
  EXPECT_TRUE(IsWindow(video));
  UnregisterClassA("VideoHost", nullptr);
}

TEST_F(VideoGraph, OnlyUncompressedRgbConnects) {
  const CMediaType yuy2 = VideoType(0x32595559, kWidth, kHeight, 16, kFrameTime);
  const ComPtr<IPin> input = FirstPin(renderer_.Get(), PINDIR_INPUT);
  EXPECT_EQ(input->QueryAccept(&yuy2), S_FALSE);
  const CMediaType rgb24 = VideoType(BI_RGB, kWidth, -kHeight, 24, kFrameTime);
  EXPECT_EQ(input->QueryAccept(&rgb24), S_OK) << "top-down RGB24";
  CMediaType lying = VideoType(BI_RGB, kWidth, kHeight, 24, kFrameTime);
  lying.SetSubtype(&MEDIASUBTYPE_RGB32);
  EXPECT_EQ(input->QueryAccept(&lying), S_FALSE) << "subtype and depth disagree";
}

}  // namespace
}  // namespace ksv::media::testing
