// The mapper's own picture-control pages, "Video Proc Amp" and "Camera
// Control", for a camera whose extension does not hide them: as small as a
// mapper that leaves the camera's controls to the camera's own pages needs.
// Each lists, one a line, the properties of its set that the driver of the
// camera this process runs declares, with the value the driver reads back
// when the page is shown ("Brightness 128", "(automatic)" after a control in
// its automatic mode). They change nothing.
#pragma once

#include "platform/ui/sheets/property_sheets.h"

namespace ksv::platform::vfw {

enum class ControlPage { kVideoProcAmp, kCameraControl };

// Null when the sheet page cannot be made.
HPROPSHEETPAGE MakeControlPage(ControlPage page);

}  // namespace ksv::platform::vfw
