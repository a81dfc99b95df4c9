#include "resampler/dsp/testing/reference.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>

#include "support/byte_order.h"

namespace ksv::resampler::reference {
namespace {

constexpr double kPi = std::numbers::pi;

// Gain of a harmonic at `f` Hz through three resonances.
double FormantGain(double f, const double (&formants)[3]) {
  constexpr double kBandwidth[3] = {90.0, 120.0, 180.0};
  double gain = 0.02;
  for (int i = 0; i < 3; ++i) {
    const double d = (f - formants[i]) / kBandwidth[i];
    gain += (i == 0 ? 1.0 : i == 1 ? 0.6 : 0.3) / (1.0 + d * d);
  }
  return gain;
}

// A second-order low-pass section (the audio cookbook's), Q = 0.7071.
class LowPass {
 public:
  LowPass(double cutoff, double rate) {
    const double w = 2.0 * kPi * cutoff / rate, alpha = std::sin(w) / (2.0 * std::sqrt(0.5)), c = std::cos(w);
    const double a0 = 1.0 + alpha;
    b0_ = (1.0 - c) / 2.0 / a0, b1_ = (1.0 - c) / a0, b2_ = b0_;
    a1_ = -2.0 * c / a0, a2_ = (1.0 - alpha) / a0;
  }
  double operator()(double x) {
    const double y = b0_ * x + b1_ * x1_ + b2_ * x2_ - a1_ * y1_ - a2_ * y2_;
    x2_ = x1_, x1_ = x, y2_ = y1_, y1_ = y;
    return y;
  }

 private:
  double b0_, b1_, b2_, a1_, a2_;
  double x1_ = 0, x2_ = 0, y1_ = 0, y2_ = 0;
};

std::vector<double> OneVoice(int32_t rate, size_t frames, std::mt19937& random) {
  std::vector<double> out(frames, 0.0);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  std::normal_distribution<double> noise(0.0, 1.0);
  const double dt = 1.0 / rate;
  double phase = 0.0, previousNoise = 0.0;
  const double basePitch = 90.0 + 140.0 * uniform(random);
  size_t i = 0;
  while (i < frames) {
    // One syllable: a hiss, a voiced part, a pause.
    const size_t hiss = static_cast<size_t>(rate * (0.03 + 0.05 * uniform(random)));
    const size_t voiced = static_cast<size_t>(rate * (0.12 + 0.2 * uniform(random)));
    const size_t pause = static_cast<size_t>(rate * (0.02 + 0.06 * uniform(random)));
    for (size_t k = 0; k < hiss && i < frames; ++k, ++i) {
      const double white = noise(random);
      out[i] = 2500.0 * std::sin(kPi * static_cast<double>(k) / static_cast<double>(hiss)) * (white - 0.7 * previousNoise);  // tilted up
      previousNoise = white;
    }
    const double f1a = 300 + 500 * uniform(random), f1b = 300 + 500 * uniform(random);
    const double f2a = 900 + 1400 * uniform(random), f2b = 900 + 1400 * uniform(random);
    const double f3 = 2300 + 800 * uniform(random);
    const double pitchA = basePitch * (0.85 + 0.3 * uniform(random)), pitchB = basePitch * (0.85 + 0.3 * uniform(random));
    for (size_t k = 0; k < voiced && i < frames; ++k, ++i) {
      const double u = static_cast<double>(k) / static_cast<double>(voiced);
      const double pitch = pitchA + (pitchB - pitchA) * u;
      const double formants[3] = {f1a + (f1b - f1a) * u, f2a + (f2b - f2a) * u, f3};
      phase += 2.0 * kPi * pitch * dt;
      double v = 0.0;
      for (int h = 1; h * pitch < std::min(7000.0, 0.45 * rate); ++h)
        v += FormantGain(h * pitch, formants) / std::sqrt(h) * std::sin(h * phase);
      out[i] = 6000.0 * std::sin(kPi * u) * v + 150.0 * noise(random);
    }
    for (size_t k = 0; k < pause && i < frames; ++k, ++i) out[i] = 40.0 * noise(random);
  }
  // A recording's band: nothing much above 8 kHz (three sections, 36 dB an
  // octave), nor above 0.4 of the rate.
  LowPass band[3] = {{std::min(8000.0, 0.4 * rate), static_cast<double>(rate)},
                     {std::min(8000.0, 0.4 * rate), static_cast<double>(rate)},
                     {std::min(8000.0, 0.4 * rate), static_cast<double>(rate)}};
  for (double& v : out) v = band[2](band[1](band[0](v)));
  return out;
}

// The reference read at n - delay for every n: a Kaiser-windowed sinc over
// 32 samples on each side, its weights the same for every n.
class DelayedReference {
 public:
  DelayedReference(const std::vector<float>& r, int channels, int channel, double delay)
      : r_(r), channels_(channels), channel_(channel), shift_(static_cast<long>(std::floor(-delay))) {
    const double frac = -delay - static_cast<double>(shift_);  // t = n + shift + frac
    for (int i = 0; i < 2 * kHalf; ++i) {
      const double d = frac - (i - kHalf + 1);
      const double sinc = d == 0.0 ? 1.0 : std::sin(kPi * d) / (kPi * d);
      const double w = d / kHalf;
      weights_[i] = std::fabs(w) >= 1.0 ? 0.0 : sinc * BesselI0(kBeta * std::sqrt(1.0 - w * w)) / BesselI0(kBeta);
    }
  }
  double At(long n) const {
    const auto frames = static_cast<long>(r_.size() / channels_);
    double sum = 0.0;
    for (int i = 0; i < 2 * kHalf; ++i) {
      const long j = n + shift_ + i - kHalf + 1;
      if (j >= 0 && j < frames) sum += r_[static_cast<size_t>(j * channels_ + channel_)] * weights_[i];
    }
    return sum;
  }

 private:
  static constexpr int kHalf = 32;
  static constexpr double kBeta = 9.0;
  static double BesselI0(double x) {
    double sum = 1.0, term = 1.0;
    for (int k = 1; k < 30; ++k) {
      term *= (x / (2.0 * k)) * (x / (2.0 * k));
      sum += term;
    }
    return sum;
  }
  const std::vector<float>& r_;
  int channels_, channel_;
  long shift_;
  double weights_[2 * kHalf];
};

}  // namespace

std::vector<int16_t> SpeechLike(int32_t rate, double seconds, int channels, uint32_t seed) {
  std::mt19937 random(seed);
  const auto frames = static_cast<size_t>(rate * seconds);
  std::vector<int16_t> out(frames * channels);
  for (int c = 0; c < channels; ++c) {
    const std::vector<double> voice = OneVoice(rate, frames, random);
    for (size_t i = 0; i < frames; ++i)
      out[i * channels + c] = static_cast<int16_t>(std::clamp(std::lround(voice[i]), -32768L, 32767L));
  }
  return out;
}

const char* SoxrQualityName(SoxrQuality quality) {
  switch (quality) {
    case SoxrQuality::kQuick: return "quick";
    case SoxrQuality::kLow: return "low";
    case SoxrQuality::kMedium: return "medium";
    case SoxrQuality::kVeryHigh: return "very high";
  }
  return "?";
}

std::vector<float> SoxrConvert(const std::vector<int16_t>& in, int channels, double inRate, double outRate,
                               SoxrQuality quality) {
  const unsigned long recipe = quality == SoxrQuality::kQuick ? SOXR_QQ
                               : quality == SoxrQuality::kLow ? SOXR_LQ
                               : quality == SoxrQuality::kMedium ? SOXR_MQ
                                                                 : SOXR_VHQ;
  const size_t inFrames = in.size() / channels;
  const auto outFrames = static_cast<size_t>(std::ceil(static_cast<double>(inFrames) * outRate / inRate)) + 16;
  std::vector<float> out(outFrames * channels);
  const soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_FLOAT32_I);
  const soxr_quality_spec_t q = soxr_quality_spec(recipe, 0);
  size_t done = 0;
  const soxr_error_t error = soxr_oneshot(inRate, outRate, static_cast<unsigned>(channels), in.data(), inFrames,
                                          nullptr, out.data(), outFrames, &done, &io, &q, nullptr);
  if (error) return {};
  out.resize(done * channels);
  for (float& v : out) v *= 32768.0f;  // soxr's floats are at full scale 1.0
  return out;
}

std::vector<uint8_t> ConvertStream(BlockConverter& converter, const std::vector<uint8_t>& in) {
  const auto inBlock = static_cast<size_t>(converter.plan().inBlockBytes);
  const auto outBlock = static_cast<size_t>(converter.plan().outBlockBytes);
  const size_t blocks = (in.size() + inBlock - 1) / inBlock;
  std::vector<uint8_t> out(blocks * outBlock);
  std::vector<uint8_t> block(inBlock);
  const uint8_t silence = converter.plan().inKind == SampleKind::kUnsigned8 ? 128 : 0;
  for (size_t b = 0; b < blocks; ++b) {
    const size_t offset = b * inBlock, size = std::min(inBlock, in.size() - offset);
    std::fill(block.begin(), block.end(), silence);
    std::memcpy(block.data(), in.data() + offset, size);
    converter.Convert(block, std::span<uint8_t>(out.data() + b * outBlock, outBlock));
  }
  return out;
}

AlignedSnr CompareAligned(const std::vector<int16_t>& ours, const std::vector<float>& reference, int channels,
                          int channel) {
  const long frames = static_cast<long>(std::min(ours.size(), reference.size()) / channels);
  const long margin = 2000, first = margin, last = frames - margin;
  if (last <= first) return {};
  auto error = [&](double delay, long step) {
    const DelayedReference shifted(reference, channels, channel, delay);
    double e = 0.0;
    for (long n = first; n < last; n += step) {
      const double d = ours[static_cast<size_t>(n * channels + channel)] - shifted.At(n);
      e += d * d;
    }
    return e;
  };
  // Whole-sample delay by cross-correlation, then golden-section search.
  long bestLag = 0;
  double bestScore = -1e300;
  for (long lag = -64; lag <= 256; ++lag) {
    double score = 0.0;
    for (long n = first; n < last; n += 3)
      score += static_cast<double>(ours[static_cast<size_t>(n * channels + channel)]) *
               reference[static_cast<size_t>((n - lag) * channels + channel)];
    if (score > bestScore) bestScore = score, bestLag = lag;
  }
  double lo = static_cast<double>(bestLag) - 1.0, hi = static_cast<double>(bestLag) + 1.0;
  const double ratio = (std::sqrt(5.0) - 1.0) / 2.0;
  double a = hi - ratio * (hi - lo), b = lo + ratio * (hi - lo);
  double ea = error(a, 5), eb = error(b, 5);
  for (int i = 0; i < 24; ++i) {
    if (ea < eb) {
      hi = b, b = a, eb = ea;
      a = hi - ratio * (hi - lo);
      ea = error(a, 5);
    } else {
      lo = a, a = b, ea = eb;
      b = lo + ratio * (hi - lo);
      eb = error(b, 5);
    }
  }
  const double delay = (lo + hi) / 2.0;
  const DelayedReference shifted(reference, channels, channel, delay);
  double signal = 0.0;
  for (long n = first; n < last; ++n) signal += shifted.At(n) * shifted.At(n);
  return {10.0 * std::log10(signal / std::max(error(delay, 1), 1e-30)), delay};
}

std::vector<uint8_t> AsBytes(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> bytes(samples.size() * 2);
  for (size_t i = 0; i < samples.size(); ++i) support::StoreLe16(bytes, 2 * i, static_cast<uint16_t>(samples[i]));
  return bytes;
}

std::vector<int16_t> AsSamples(const std::vector<uint8_t>& bytes) {
  std::vector<int16_t> samples(bytes.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = support::LoadLeInt16(bytes, 2 * i);
  return samples;
}

}  // namespace ksv::resampler::reference
