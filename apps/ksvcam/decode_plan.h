// What `ksvcam decode` was asked to do, checked before any file is touched.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "apps/ksvcam/parsers.h"
#include "codec/frame_format.h"
#include "support/picture/picture_file.h"

namespace ksv::ksvcam {

// The options as typed; empty strings are options not given.
struct DecodeOptions {
  std::string framePath;
  std::string size;
  bool stored = false;
  std::string qtablePath;
  std::string format;
  std::optional<uint32_t> gamma;
  std::optional<uint32_t> repeat;
  std::string outputPath;
};

// The layout the decoder is asked for.
enum class DecodedLayout {
  kBgr24,  // 24-bit, rows bottom-up, B, G, R
  kRgb24,  // 24-bit, rows bottom-up, R, G, B
  kI420,   // planar Y, Cb, Cr
};

struct DecodePlan {
  codec::FrameSize size;
  DecodedLayout layout = DecodedLayout::kBgr24;
  bool rawOutput = false;  // .i420 or .yuv: the planes as they are
  picture::PictureFormat outputFormat = picture::PictureFormat::kBmp;  // else
  bool stored = false;
  uint32_t gamma = 0;
  uint32_t repeat = 1;
  bool reportSpeed = false;  // --repeat given: print the decode speed
};

// "bgr24", "rgb24" or "i420". Throws UsageError listing them.
DecodedLayout ParseDecodedLayout(std::string_view name);
std::string_view LayoutName(DecodedLayout layout);
codec::OutputCode OutputCodeOf(DecodedLayout layout);

// Whether the decoder has a layout for `size`: the header flavour decodes
// 24-bit pictures at the planar sizes too (through its planar path), but not
// with gamma at the sizes only the direct 24-bit path has; the stored
// flavour takes any height at width 160 for 24-bit output.
bool IsSupportedSize(codec::FrameSize size, DecodedLayout layout, bool stored, uint32_t gamma);

// The supported sizes in words, for error messages.
std::string SupportedSizesText(DecodedLayout layout, bool stored, uint32_t gamma);

// Checks every option and their combinations; throws UsageError with the
// first problem found.
DecodePlan PlanDecode(const DecodeOptions& options);

}  // namespace ksv::ksvcam
