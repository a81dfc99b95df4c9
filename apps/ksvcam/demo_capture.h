// The capture step of `ksvcam demo`: two seconds of live video from the
// simulated camera through the driver, into "capture.y4m" in the demo's
// folder, with a press of the camera's button half-way whose raw snapshot
// the snapshot library converts into "snapshot.png".
#pragma once

#include <filesystem>

#include "apps/ksvcam/console.h"

namespace ksv::ksvcam {

// Throws CommandFailure when a file is there from an earlier run.
void CheckDemoCaptureFree(const std::filesystem::path& outDir);

// Captures and prints the capture's summary line; false (with the error
// printed) when it failed.
bool RunDemoCapture(const std::filesystem::path& outDir, Console& console);

}  // namespace ksv::ksvcam
