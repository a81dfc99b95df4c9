// `ksvcam simulate-packets -o FILE.iso`: records what the simulated camera
// sends on its isochronous pipe while streaming pictures (PNG files, or a
// built-in moving test pattern), with bus faults if asked, as a packet
// capture that `ksvcam stream` replays.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "apps/ksvcam/console.h"

namespace CLI {
class App;
}

namespace ksv::ksvcam {

struct SimulatePacketsOptions {
  std::vector<std::string> pictures;  // empty: the test pattern
  std::string outputPath;
  std::string size = "320x240";
  uint32_t frames = 30;
  double framesPerSecond = 30;
  uint32_t packetSize = 640;
  int level = 3;
  double loss = 0;
  double shortened = 0;
  double failed = 0;
  double outOfOrder = 0;
  uint64_t seed = 1;
  std::optional<uint32_t> buttonFrame;  // 1-based
};

CLI::App& AddSimulatePacketsCommand(CLI::App& app, SimulatePacketsOptions& options);

// Returns the exit status; throws UsageError or CommandFailure.
int RunSimulatePackets(const SimulatePacketsOptions& options, Console& console);

}  // namespace ksv::ksvcam
