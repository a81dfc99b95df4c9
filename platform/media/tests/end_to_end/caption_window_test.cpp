// The caption filter between a source of RGB24 frames and the Video
// Renderer: the renderer's window shows the caption, exactly as the
// filter's own rendering of the text, in the caption's rectangle, and the
// frame untouched everywhere else.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "include/caption_control.h"
#include "platform/com/inproc_servers.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/avi_mux/tests/mux_test_filters.h"
#include "platform/media/media.h"
#include "platform/media/testing/bind_device.h"
#include "platform/media/testing/filter_pins.h"
#include "platform/media/testing/plugin_root.h"
#include "platform/media/testing/video_window_shot.h"
#include "platform/ui/surface.h"

namespace ksv::media::testing {
namespace {

using com::ComPtr;

constexpr int kWidth = 96;
constexpr int kHeight = 64;
constexpr REFERENCE_TIME kFrameTime = UNITS / 10;

// A bottom-up RGB24 frame in which neighbouring pixels differ.
std::vector<uint8_t> Frame() {
  const size_t stride = (kWidth * 3 + 3) & ~3;
  std::vector<uint8_t> frame(stride * kHeight);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      uint8_t* pixel = &frame[size_t(y) * stride + size_t(x) * 3];
      pixel[0] = uint8_t(40 + x);
      pixel[1] = uint8_t(60 + 2 * y);
      pixel[2] = uint8_t(90 + ((x ^ y) & 63));
    }
  }
  return frame;
}

struct Shot {
  int width = 0, height = 0;
  size_t stride = 0;
  std::vector<uint8_t> bits;  // top-down B, G, R
  const uint8_t* At(int x, int y) const { return &bits[size_t(y) * stride + size_t(x) * 3]; }
};

// Three identical frames through the caption filter (with `caption` set
// when not null, in its default place and colours) to the renderer, run to
// the end without a clock: the renderer's window's pixels, also saved as
// `png`. `control` gets the filter's ICaptionControl.
Shot RenderWithCaption(const char* caption, const std::filesystem::path& png,
                       ComPtr<ICaptionControl>* control) {
  Shot shot;
  ComPtr<IGraphBuilder> graph;
  EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                             IID_PPV_ARGS(graph.GetAddressOf())),
            S_OK);
  if (!graph) return shot;
  ComPtr<IBaseFilter> filter = BindDevice(CLSID_LegacyAmFilterCategory, kCaptionFriendlyName);
  EXPECT_TRUE(filter);
  if (!filter || filter.As(control) != S_OK) return shot;
  if (caption != nullptr) {
    EXPECT_EQ((*control)->SetCaption(caption), S_OK);
  }
  ComPtr<IBaseFilter> renderer;
  EXPECT_EQ(CoCreateInstance(CLSID_VideoRenderer, nullptr, CLSCTX_INPROC_SERVER,
                             IID_PPV_ARGS(renderer.GetAddressOf())),
            S_OK);
  auto* source = Counted(new PushSource());
  CMediaType type = VideoType(BI_RGB, kWidth, kHeight, 24, kFrameTime);
  type.SetSubtype(&MEDIASUBTYPE_RGB24);
  PushPin* pin = source->AddStream(type, Frames({Frame(), Frame(), Frame()}, kFrameTime));
  graph->AddFilter(source, u"Source");
  graph->AddFilter(filter.Get(), kCaptionFriendlyName);
  graph->AddFilter(renderer.Get(), u"Video Renderer");
  // The graph puts a converter in between should the types need one.
  EXPECT_EQ(graph->Connect(pin, FirstPin(filter.Get(), PINDIR_INPUT).Get()), S_OK);
  EXPECT_EQ(graph->Connect(FirstPin(filter.Get(), PINDIR_OUTPUT).Get(),
                           FirstPin(renderer.Get(), PINDIR_INPUT).Get()),
            S_OK);
  ComPtr<IMediaFilter> media;
  ComPtr<IMediaControl> run;
  ComPtr<IMediaEvent> events;
  graph.As(&media);
  graph.As(&run);
  graph.As(&events);
  media->SetSyncSource(nullptr);
  EXPECT_TRUE(SUCCEEDED(run->Run()));
  LONG code = 0;
  EXPECT_EQ(events->WaitForCompletion(10000, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  EXPECT_EQ(pin->sent(), 3u);
  EXPECT_TRUE(SaveVideoRendererPng(png));
  if (auto surface = platform::ui::SurfaceOf(VideoRendererWindow())) {
    auto pixels = surface->Lock();
    shot.width = pixels.width();
    shot.height = pixels.height();
    shot.stride = pixels.stride();
    shot.bits.assign(pixels.bits(), pixels.bits() + pixels.stride() * size_t(pixels.height()));
  }
  run->Stop();
  source->Release();
  return shot;
}

TEST(CaptionInTheWindow, TheCaptionChangesItsRectangleOnlyAndShowsTheFiltersOwnLettering) {
  PluginRoot root({"ksvcaption.so", "ksvvideorender.so", "ksvcolour.so"});
  ASSERT_TRUE(root.ok()) << root.error();
  ComPtr<ICaptionControl> control;
  const Shot plain = RenderWithCaption(nullptr, root / "plain.png", &control);
  const char* const kText = "KSV 19";
  const Shot captioned = RenderWithCaption(kText, root / "captioned.png", &control);
  ASSERT_EQ(plain.width, kWidth);
  ASSERT_EQ(plain.height, kHeight);
  ASSERT_EQ(captioned.width, kWidth);
  ASSERT_EQ(captioned.height, kHeight);

  // The caption's rectangle: the text's own picture at the default place.
  ASSERT_TRUE(control);
  BITMAPINFOHEADER header{};
  DWORD size = 0;
  ASSERT_EQ(control->GetStreamFromVideoText(kText, nullptr, &size, &header), S_OK);
  std::vector<uint8_t> text(size);
  ASSERT_EQ(control->GetStreamFromVideoText(kText, text.data(), &size, &header), S_OK);
  const int left = kCaptionDefaultX, top = kCaptionDefaultY;
  const int right = left + header.biWidth, bottom = top + header.biHeight;
  ASSERT_LE(right, kWidth);
  ASSERT_LE(bottom, kHeight);
  const size_t textStride = (size_t(header.biWidth) * 3 + 3) & ~size_t{3};

  int changed = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const bool inside = x >= left && x < right && y >= top && y < bottom;
      const uint8_t* was = plain.At(x, y);
      const uint8_t* is = captioned.At(x, y);
      if (!inside) {
        ASSERT_EQ(std::memcmp(was, is, 3), 0) << "changed outside the caption at " << x << "," << y;
        continue;
      }
      // The text's picture is bottom-up.
      const uint8_t* lettering =
          &text[size_t(header.biHeight - 1 - (y - top)) * textStride + size_t(x - left) * 3];
      ASSERT_EQ(std::memcmp(is, lettering, 3), 0) << "not the caption's pixel at " << x << "," << y;
      changed += std::memcmp(was, is, 3) != 0 ? 1 : 0;
    }
  }
  EXPECT_EQ(changed, header.biWidth * header.biHeight) << "the frame has no white or black pixel";
}

}  // namespace
}  // namespace ksv::media::testing
