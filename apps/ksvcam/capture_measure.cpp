#include "apps/ksvcam/capture_measure.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "apps/ksvcam/console.h"
#include "codec/decoder.h"
#include "simcam/frame_encoder.h"
#include "simcam/framing.h"
#include "simcam/test_pattern.h"
#include "support/picture/colour.h"

namespace ksv::ksvcam {

std::string MeasureAgainstDecoding(const CaptureSettings& settings, const CaptureReport& report) {
  const bool small = settings.size == codec::FrameSize{160, 120};
  const codec::FrameSize decode = small ? codec::FrameSize{160, 128} : settings.size;
  // The frames the camera sent: its scene at level 3, the driver's tables.
  std::vector<std::vector<uint8_t>> frames;
  for (uint32_t i = 0; i < 16; ++i) {
    const picture::RgbPicture scene =
        settings.photos.empty() ? simcam::TestPattern(decode.width, decode.height, i)
                                : simcam::FitToSize(settings.photos[i % settings.photos.size()],
                                                    decode.width, decode.height);
    frames.push_back(simcam::EncodeFrame(picture::RgbToPlanar(scene), 3));
  }
  codec::DecoderTables decoder;
  if (!decoder.SetUp()) throw CommandFailure("cannot set up the decoder: out of memory");
  const codec::DecoderContext context;
  std::vector<uint8_t> output(settings.compression == codec::kCompressionI420
                                  ? codec::PlanarBytes(settings.size)
                                  : codec::Rgb24Bytes(settings.size));
  const uint64_t count = std::max<uint64_t>(report.delivered, 1);
  const auto start = std::chrono::steady_clock::now();
  for (uint64_t i = 0; i < count; ++i) {
    uint32_t written = 0;
    if (!decoder.DecodeFrame(context, frames[i % frames.size()], output, written, decode,
                             settings.size, settings.compression)) {
      throw CommandFailure("decoding the camera's frame failed");
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  // The simulated camera runs in this thread: what it spends making its
  // frames is the camera's work, not the host's path, and is counted apart.
  const double hostSeconds = report.streamingSeconds - report.cameraSeconds;
  const auto rate = [&](double taken) {
    return taken > 0 ? static_cast<double>(report.delivered) / taken : 0.0;
  };
  const double decodeRate = seconds > 0 ? static_cast<double>(count) / seconds : 0;
  char text[320];
  std::snprintf(text, sizeof text,
                "measure: capture %.1f frames/s, of which the camera's own work %.1f ms "
                "(%.1f us a frame); the host's path %.1f frames/s, decode alone %.1f frames/s "
                "(anchor), ratio %.3f",
                rate(report.streamingSeconds), report.cameraSeconds * 1e3,
                report.delivered > 0 ? report.cameraSeconds * 1e6 / static_cast<double>(report.delivered) : 0.0,
                rate(hostSeconds), decodeRate, decodeRate > 0 ? rate(hostSeconds) / decodeRate : 0.0);
  return text;
}

}  // namespace ksv::ksvcam
