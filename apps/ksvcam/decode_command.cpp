// `ksvcam decode FRAME --size WxH -o OUT`: decodes one compressed frame file
// into a picture file.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <memory>

#include "apps/ksvcam/commands.h"
#include "apps/ksvcam/decode_plan.h"
#include "codec/decoder.h"
#include "support/byte_order.h"
#include "support/picture/colour.h"
#include "support/picture/picture_file.h"
#include "support/picture/whole_file.h"

namespace ksv::ksvcam {
namespace {

// Far above any frame the camera makes (a 1024 x 768 picture uncompressed is
// 2.3 MB); anything bigger is not a frame.
constexpr size_t kMaxFrameFileBytes = 16u << 20;
constexpr size_t kQuantTableBytes = 128;

std::array<uint8_t, kQuantTableBytes> ReadQuantTable(const std::string& path) {
  const std::vector<uint8_t> bytes = picture::ReadWholeFile(path, kQuantTableBytes + 1);
  if (bytes.size() != kQuantTableBytes) {
    throw CommandFailure("--qtable " + Quoted(path) + " holds " + std::to_string(bytes.size()) +
                         " bytes; a quantisation table is 128 (64 luminance, 64 chrominance)");
  }
  std::array<uint8_t, kQuantTableBytes> table{};
  std::copy(bytes.begin(), bytes.end(), table.begin());
  return table;
}

void CheckHasHeader(std::span<const uint8_t> frame, const std::string& path) {
  if (frame.size() < codec::kFrameHeaderSize) {
    throw CommandFailure(
        Quoted(path) + " is not a compressed frame: " + std::to_string(frame.size()) +
        " bytes, shorter than the " + std::to_string(codec::kFrameHeaderSize) + "-byte header");
  }
}

std::string DecodeFailureMessage(const DecodePlan& plan, std::span<const uint8_t> frame,
                                 const std::string& path, codec::DecodeError error) {
  std::string message = Quoted(path) + " does not decode at " + SizeText(plan.size);
  if (!plan.stored) {
    message += " (header: level " + std::to_string(frame[codec::kFrameLevelOffset]) + ", " +
               std::to_string(support::LoadLe32(frame, codec::kFrameDataLengthOffset)) +
               " data bytes; file: " + std::to_string(frame.size()) + " bytes)";
  }
  message += ": " + std::string(codec::DecodeErrorText(error));
  // The entropy data carries no size: a frame of another size reads as one
  // whose data is cut short or damaged.
  if (error == codec::DecodeError::kDataEndsEarly ||
      error == codec::DecodeError::kCorruptEntropyData) {
    message += ", or it is not a " + SizeText(plan.size) + " frame";
  }
  return message;
}

picture::RgbPicture ToRgbPicture(const std::vector<uint8_t>& decoded, const DecodePlan& plan) {
  const auto [width, height] = plan.size;
  switch (plan.layout) {
    case DecodedLayout::kI420:
      return picture::PlanarToRgb(decoded, width, height);
    case DecodedLayout::kBgr24:
      return picture::FromBottomUp24(decoded, width, height, picture::ChannelOrder::kBgr);
    case DecodedLayout::kRgb24:
      return picture::FromBottomUp24(decoded, width, height, picture::ChannelOrder::kRgb);
  }
  throw std::logic_error("unknown layout");
}

std::vector<uint8_t> PictureFileBytes(const std::vector<uint8_t>& decoded, const DecodePlan& plan) {
  if (plan.rawOutput) return decoded;  // the plan made sure it is planar
  return picture::EncodePicture(ToRgbPicture(decoded, plan), plan.outputFormat);
}

void PrintSpeed(Console& console, uint32_t frames, std::chrono::steady_clock::duration elapsed) {
  const double milliseconds = std::chrono::duration<double, std::milli>(elapsed).count();
  const double perSecond = milliseconds > 0 ? frames * 1000.0 / milliseconds : 0.0;
  char line[160];
  std::snprintf(line, sizeof line, "decoded %u frame%s in %.1f ms: %.1f frames/s\n", frames,
                frames == 1 ? "" : "s", milliseconds, perSecond);
  console.out << line;
}

int RunDecode(const DecodeOptions& options, Console& console) {
  const DecodePlan plan = PlanDecode(options);
  const std::vector<uint8_t> frame = picture::ReadWholeFile(options.framePath, kMaxFrameFileBytes);

  codec::FrameDecoder::Request request{plan.size, OutputCodeOf(plan.layout), plan.gamma, {}};
  if (plan.stored) {
    request.storedTable = ReadQuantTable(options.qtablePath);
  } else {
    CheckHasHeader(frame, options.framePath);
  }

  codec::FrameDecoder decoder;
  if (!decoder.SetUp(request)) {
    throw CommandFailure("cannot set up the decoder for " + std::string(LayoutName(plan.layout)) +
                         " at " + SizeText(plan.size) + ": out of memory");
  }
  std::vector<uint8_t> decoded;
  const auto start = std::chrono::steady_clock::now();
  for (uint32_t round = 0; round < plan.repeat; ++round) {
    if (const codec::DecodeResult result = decoder.Decode(frame, decoded); !result) {
      throw CommandFailure(DecodeFailureMessage(plan, frame, options.framePath, result.error()));
    }
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;

  picture::WriteWholeFile(options.outputPath, PictureFileBytes(decoded, plan));
  if (plan.reportSpeed) PrintSpeed(console, plan.repeat, elapsed);
  return kExitOk;
}

}  // namespace

CommandRun DecodeCommand(CLI::App& app) {
  auto options = std::make_shared<DecodeOptions>();
  CLI::App& command = *app.add_subcommand(
      "decode",
      "Decode one compressed frame file into a picture file (BMP, PNG, JPEG or raw planar).");
  command
      .add_option("FRAME", options->framePath,
                  "Frame file: the 15-byte header and the entropy data (with --stored: the "
                  "entropy data alone)")
      ->type_name("FILE")
      ->required();
  command.add_option("-s,--size", options->size, "Picture size of the frame, WIDTHxHEIGHT")
      ->type_name("WxH")
      ->required();
  command
      .add_option("-o,--output", options->outputPath,
                  "Picture file to write, replaced if it exists: .bmp, .png, .jpg, or .i420/.yuv "
                  "(planar Y, Cb, Cr)")
      ->type_name("FILE")
      ->required();
  command
      .add_option("-f,--format", options->format,
                  "Layout to decode to: bgr24, rgb24 or i420 (default: i420 for .i420/.yuv, "
                  "else bgr24)")
      ->type_name("FORMAT");
  command.add_flag("--stored", options->stored,
                   "The frame comes from the camera's memory: no header, tables from --qtable");
  command
      .add_option("-q,--qtable", options->qtablePath,
                  "The stored frame's 128-byte quantisation table (64 luminance, then 64 "
                  "chrominance entries)")
      ->type_name("FILE");
  command
      .add_option_function<uint32_t>(
          "-g,--gamma", [options](const uint32_t& level) { options->gamma = level; },
          "Gamma level 0..9 applied to the luma (live frames only; 0 leaves it unchanged)")
      ->type_name("L");
  command
      .add_option_function<uint32_t>(
          "--repeat", [options](const uint32_t& count) { options->repeat = count; },
          "Decode N times and print the decoding speed")
      ->type_name("N");
  return [options](Console& console) { return RunDecode(*options, console); };
}

}  // namespace ksv::ksvcam
