// `ksvcam snapshot-convert SNAPSHOT -o OUT`: converts the driver's raw
// snapshot file into a picture file through the snapshot library.
#pragma once

#include <string>

#include "apps/ksvcam/console.h"

namespace CLI {
class App;
}

namespace ksv::ksvcam {

struct SnapshotConvertOptions {
  std::string snapshotPath;
  std::string outputPath;
};

// Adds the `snapshot-convert` subcommand to `app`; parsing fills `options`.
CLI::App& AddSnapshotConvertCommand(CLI::App& app, SnapshotConvertOptions& options);

// Runs the conversion. Returns the exit status; throws UsageError or
// CommandFailure for the dispatcher to report.
int RunSnapshotConvert(const SnapshotConvertOptions& options, Console& console);

}  // namespace ksv::ksvcam
