#include "apps/ksvcam/decode_plan.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "codec/decoder.h"

namespace ksv::ksvcam {
namespace {

using codec::FrameSize;

bool IsPlanar(DecodedLayout layout) { return layout == DecodedLayout::kI420; }

// Whether the decoder lays out `size`. Live 24-bit pictures are made from
// the planar ones at the planar sizes, and only there with gamma; the direct
// path (R, G, B) has its own sizes.
bool HasLayout(FrameSize size, DecodedLayout layout, bool stored, uint32_t gamma) {
  const codec::OutputCode code = OutputCodeOf(layout);
  if (stored) return codec::StoredDecoderHasLayout(size, code);
  if (layout == DecodedLayout::kRgb24) return codec::LiveDecoderHasLayout(size, code);
  const bool planarSize = codec::LiveDecoderHasLayout(size, codec::OutputCode::kPlanar420);
  if (IsPlanar(layout) || gamma != 0) return planarSize;
  return planarSize || codec::LiveDecoderHasLayout(size, code);
}

// The stored 24-bit layout at width 160 takes any height.
bool TakesAnyHeightAt160(DecodedLayout layout, bool stored) {
  return stored && !IsPlanar(layout);
}

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

DecodedLayout ParseDecodedLayout(std::string_view name) {
  return ParseChoice<DecodedLayout>(name, "--format", "a decoded layout",
                                    {{"bgr24", DecodedLayout::kBgr24},
                                     {"rgb24", DecodedLayout::kRgb24},
                                     {"i420", DecodedLayout::kI420}});
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
  if (TakesAnyHeightAt160(layout, stored) && size.width == 160) {
    return size.height >= 1 && size.height <= codec::kStoredNarrowMaxHeight;
  }
  return HasLayout(size, layout, stored, gamma);
}

std::string SupportedSizesText(DecodedLayout layout, bool stored, uint32_t gamma) {
  std::string text;
  if (TakesAnyHeightAt160(layout, stored)) {
    text = "160xH (H 1.." + std::to_string(codec::kStoredNarrowMaxHeight) + ")";
  }
  for (const FrameSize& size : codec::LayoutSizes()) {
    if (TakesAnyHeightAt160(layout, stored) && size.width == 160) continue;
    if (!HasLayout(size, layout, stored, gamma)) continue;
    text += (text.empty() ? "" : ", ") + SizeText(size);
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
