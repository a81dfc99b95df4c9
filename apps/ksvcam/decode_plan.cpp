#include "apps/ksvcam/decode_plan.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <span>

#include "apps/ksvcam/console.h"

namespace ksv::ksvcam {
namespace {

using codec::FrameSize;

// The decoder's layouts. Live (header) frames: planar and direct 24-bit;
// stored frames: their own 160-wide layouts.
constexpr std::array<FrameSize, 5> kLivePlanarSizes = {
    {{160, 128}, {176, 144}, {320, 240}, {352, 288}, {640, 480}}};
constexpr std::array<FrameSize, 6> kDirect24Sizes = {
    {{160, 112}, {176, 144}, {320, 240}, {352, 288}, {640, 480}, {1024, 768}}};
constexpr std::array<FrameSize, 7> kLive24Sizes = {
    {{160, 112}, {160, 128}, {176, 144}, {320, 240}, {352, 288}, {640, 480}, {1024, 768}}};
constexpr std::array<FrameSize, 5> kStoredPlanarSizes = {
    {{160, 112}, {176, 144}, {320, 240}, {352, 288}, {640, 480}}};
// Plus width 160 at any height up to kStored160MaxHeight.
constexpr std::array<FrameSize, 5> kStored24Sizes = {
    {{176, 144}, {320, 240}, {352, 288}, {640, 480}, {1024, 768}}};
constexpr uint32_t kStored160MaxHeight = 480;

bool IsPlanar(DecodedLayout layout) { return layout == DecodedLayout::kI420; }

std::span<const FrameSize> ListedSizes(DecodedLayout layout, bool stored, uint32_t gamma) {
  if (stored) {
    if (IsPlanar(layout)) return kStoredPlanarSizes;
    return kStored24Sizes;
  }
  if (IsPlanar(layout)) return kLivePlanarSizes;
  if (layout == DecodedLayout::kRgb24) return kDirect24Sizes;
  // With gamma the 24-bit picture is made from the planar one.
  return gamma == 0 ? std::span<const FrameSize>(kLive24Sizes) : kLivePlanarSizes;
}

bool StoredTakesAnyHeightAt160(DecodedLayout layout, bool stored) {
  return stored && !IsPlanar(layout);
}

std::optional<uint32_t> ParseDimension(std::string_view digits) {
  if (digits.empty() || digits.size() > 5) return std::nullopt;
  uint32_t value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size() || value == 0)
    return std::nullopt;
  return value;
}

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// .i420 or .yuv, in any letter case: the decoded planes as they are.
bool IsRawPlanarName(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".i420" || extension == ".yuv";
}

void CheckGamma(const DecodeOptions& options, DecodedLayout layout) {
  if (!options.gamma) return;
  if (*options.gamma > 9) {
    throw UsageError("--gamma must be 0..9, not " + std::to_string(*options.gamma));
  }
  if (options.stored) throw UsageError("--gamma applies to live frames, not to --stored ones");
  if (layout == DecodedLayout::kRgb24) {
    throw UsageError(
        "--gamma cannot be used with --format rgb24 (its direct path has no gamma); "
        "use bgr24");
  }
}

}  // namespace

std::string SizeText(FrameSize size) {
  return std::to_string(size.width) + "x" + std::to_string(size.height);
}

FrameSize ParseFrameSize(std::string_view text) {
  const size_t cross = text.find_first_of("xX");
  if (cross != std::string_view::npos) {
    const auto width = ParseDimension(text.substr(0, cross));
    const auto height = ParseDimension(text.substr(cross + 1));
    if (width && height) return {*width, *height};
  }
  throw UsageError("bad --size " + Quoted(text) + ": expected WIDTHxHEIGHT such as 320x240");
}

DecodedLayout ParseDecodedLayout(std::string_view name) {
  if (name == "bgr24") return DecodedLayout::kBgr24;
  if (name == "rgb24") return DecodedLayout::kRgb24;
  if (name == "i420") return DecodedLayout::kI420;
  throw UsageError("unknown --format " + Quoted(name) + ": use bgr24, rgb24 or i420");
}

std::string_view LayoutName(DecodedLayout layout) {
  switch (layout) {
    case DecodedLayout::kBgr24:
      return "bgr24";
    case DecodedLayout::kRgb24:
      return "rgb24";
    case DecodedLayout::kI420:
      return "i420";
  }
  return "?";
}

codec::OutputCode OutputCodeOf(DecodedLayout layout) {
  switch (layout) {
    case DecodedLayout::kBgr24:
      return codec::OutputCode::kBgr24;
    case DecodedLayout::kRgb24:
      return codec::OutputCode::kRgb24;
    case DecodedLayout::kI420:
      return codec::OutputCode::kPlanar420;
  }
  return codec::OutputCode::kBgr24;
}

bool IsSupportedSize(FrameSize size, DecodedLayout layout, bool stored, uint32_t gamma) {
  if (StoredTakesAnyHeightAt160(layout, stored) && size.width == 160) {
    return size.height >= 1 && size.height <= kStored160MaxHeight;
  }
  const auto sizes = ListedSizes(layout, stored, gamma);
  return std::find(sizes.begin(), sizes.end(), size) != sizes.end();
}

std::string SupportedSizesText(DecodedLayout layout, bool stored, uint32_t gamma) {
  std::string text;
  if (StoredTakesAnyHeightAt160(layout, stored)) {
    text = "160xH (H 1.." + std::to_string(kStored160MaxHeight) + ")";
  }
  for (const FrameSize& size : ListedSizes(layout, stored, gamma)) {
    if (!text.empty()) text += ", ";
    text += SizeText(size);
  }
  return text;
}

DecodePlan PlanDecode(const DecodeOptions& options) {
  DecodePlan plan;
  plan.size = ParseFrameSize(options.size);

  plan.rawOutput = IsRawPlanarName(options.outputPath);
  const auto format = picture::FormatOfName(options.outputPath);
  if (!plan.rawOutput && !format) {
    throw UsageError("cannot tell the picture format of " + Quoted(options.outputPath) +
                     ": name it .bmp, .png, .jpg, .i420 or .yuv");
  }
  if (format) plan.outputFormat = *format;
  const bool rawOutput = plan.rawOutput;
  if (options.format.empty()) {
    plan.layout = rawOutput ? DecodedLayout::kI420 : DecodedLayout::kBgr24;
  } else {
    plan.layout = ParseDecodedLayout(options.format);
  }
  if (rawOutput && !IsPlanar(plan.layout)) {
    throw UsageError(Quoted(options.outputPath) + " is a raw planar file and cannot hold " +
                     std::string(LayoutName(plan.layout)) + ": use --format i420 or a .bmp/.png");
  }

  plan.stored = options.stored;
  if (options.stored && options.qtablePath.empty()) {
    throw UsageError("--stored needs --qtable FILE (the frame's 128-byte quantisation table)");
  }
  if (!options.stored && !options.qtablePath.empty()) {
    throw UsageError("--qtable applies only to --stored frames");
  }

  CheckGamma(options, plan.layout);
  plan.gamma = options.gamma.value_or(0);

  if (options.repeat == 0u) throw UsageError("--repeat must be at least 1");
  plan.repeat = options.repeat.value_or(1);
  plan.reportSpeed = options.repeat.has_value();

  if (!IsSupportedSize(plan.size, plan.layout, plan.stored, plan.gamma)) {
    std::string what =
        std::string(plan.stored ? "stored " : "") + std::string(LayoutName(plan.layout));
    if (plan.gamma != 0) what += " with gamma";
    throw UsageError(
        "unsupported size " + SizeText(plan.size) + " for " + what +
        " decoding; supported: " + SupportedSizesText(plan.layout, plan.stored, plan.gamma));
  }
  return plan;
}

}  // namespace ksv::ksvcam
