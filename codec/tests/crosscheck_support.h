// Helpers of the decoder's cross-check against libjpeg-turbo: difference
// statistics and the comparison of decoder outputs with libjpeg's.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "support/picture/picture.h"

namespace ksv::codec::crosscheck {

// Absolute sample differences gathered over many pictures.
struct DiffStats {
  uint64_t total = 0;
  uint64_t count = 0;
  int max = 0;

  void Add(const uint8_t* ours, const uint8_t* reference, size_t samples);
  double Mean() const {
    return count ? static_cast<double>(total) / static_cast<double>(count) : 0.0;
  }
};

// Planar 4:2:0 buffers of the same size, sample by sample.
void ComparePlanar(const uint8_t* ours, const std::vector<uint8_t>& reference, DiffStats& stats);

// Our 24-bit output (rows bottom-up, B, G, R) against libjpeg's RGB picture
// (rows top-down, R, G, B).
void CompareBgrBottomUp(const uint8_t* ours, const picture::RgbPicture& reference,
                        DiffStats& stats);

// Limits one kind of output must stay within.
struct Bound {
  double mean;
  int max;
};

// Prints every entry (mean and max per key) to stdout, records them as test
// properties, and checks each against its bound; a key without a bound fails.
void ReportAndCheck(const std::string& title, const std::map<std::string, DiffStats>& stats,
                    const std::map<std::string, Bound>& bounds);

}  // namespace ksv::codec::crosscheck
