#include "outside/bulk/memory/recording_mode.h"

namespace ksv::outside::bulk {

std::vector<uint8_t> TableBytes(const RecordingMode& mode) {
  std::vector<uint8_t> bytes(mode.tables.luminance.begin(), mode.tables.luminance.end());
  bytes.insert(bytes.end(), mode.tables.chrominance.begin(), mode.tables.chrominance.end());
  return bytes;
}

}  // namespace ksv::outside::bulk
