// `ksvcam memory build|info`: makes a camera memory image from a person's
// pictures and sound, and lists what a camera memory holds.
#pragma once

#include <string>

#include "apps/ksvcam/console.h"
#include "apps/ksvcam/memory_build.h"

namespace CLI {
class App;
}

namespace ksv::ksvcam {

struct MemoryOptions {
  MemoryBuildOptions build;
  std::string infoFile;  // empty: the camera the bulk library connects to
  CLI::App* buildCommand = nullptr;
  CLI::App* infoCommand = nullptr;
};

// Adds `memory` and its two subcommands to `app`; parsing fills `options`.
CLI::App& AddMemoryCommand(CLI::App& app, MemoryOptions& options);

// Runs the chosen subcommand. Returns the exit status; throws UsageError or
// CommandFailure for the dispatcher to report.
int RunMemory(const MemoryOptions& options, Console& console);

}  // namespace ksv::ksvcam
