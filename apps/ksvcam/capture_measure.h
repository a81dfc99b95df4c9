// The anchor a capture's rate is measured against: decoding the camera's
// frames alone, as the driver decodes them (same sizes, output and tables),
// in the same run.
#pragma once

#include <string>

#include "apps/ksvcam/capture_session.h"

namespace ksv::ksvcam {

// Decodes as many frames as the capture delivered and returns the line
// "measure: capture N frames/s, decode alone M frames/s, ratio R".
std::string MeasureAgainstDecoding(const CaptureSettings& settings, const CaptureReport& report);

}  // namespace ksv::ksvcam
