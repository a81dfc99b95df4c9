#include "codec/tests/crosscheck_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <iostream>

namespace ksv::codec::crosscheck {

void DiffStats::Add(const uint8_t* ours, const uint8_t* reference, size_t samples) {
  for (size_t i = 0; i < samples; ++i) {
    const int difference = ours[i] > reference[i] ? ours[i] - reference[i] : reference[i] - ours[i];
    total += static_cast<uint64_t>(difference);
    if (difference > max) max = difference;
  }
  count += samples;
}

void ComparePlanar(const uint8_t* ours, const std::vector<uint8_t>& reference, DiffStats& stats) {
  stats.Add(ours, reference.data(), reference.size());
}

void CompareBgrBottomUp(const uint8_t* ours, const picture::RgbPicture& reference,
                        DiffStats& stats) {
  const size_t rowBytes = size_t{reference.width} * 3;
  std::vector<uint8_t> flipped(reference.pixels.size());
  for (size_t row = 0; row < reference.height; ++row) {
    const uint8_t* rgb = reference.pixels.data() + row * rowBytes;
    uint8_t* bgr = flipped.data() + (reference.height - 1 - row) * rowBytes;
    for (size_t i = 0; i < rowBytes; i += 3) {
      bgr[i] = rgb[i + 2];
      bgr[i + 1] = rgb[i + 1];
      bgr[i + 2] = rgb[i];
    }
  }
  stats.Add(ours, flipped.data(), flipped.size());
}

void ReportAndCheck(const std::string& title, const std::map<std::string, DiffStats>& stats,
                    const std::map<std::string, Bound>& bounds) {
  std::cout << title << " (absolute difference per sample)\n";
  for (const auto& [key, s] : stats) {
    char line[160];
    std::snprintf(line, sizeof line, "  %-24s mean %.3f  max %3d  over %llu samples\n", key.c_str(),
                  s.Mean(), s.max, static_cast<unsigned long long>(s.count));
    std::cout << line;
    ::testing::Test::RecordProperty(key + "_mean", std::to_string(s.Mean()));
    ::testing::Test::RecordProperty(key + "_max", s.max);

    const auto bound = bounds.find(key);
    if (bound == bounds.end()) {
      ADD_FAILURE() << "no bound for " << key;
      continue;
    }
    EXPECT_GT(s.count, 0u) << key;
    EXPECT_LE(s.Mean(), bound->second.mean) << key;
    EXPECT_LE(s.max, bound->second.max) << key;
  }
  for (const auto& [key, bound] : bounds)
    EXPECT_TRUE(stats.count(key)) << "nothing measured for " << key;
}

}  // namespace ksv::codec::crosscheck
