// The one folder under which the system keeps what Windows keeps under its
// Windows folder and machine registry: $KSV_ROOT, else $XDG_DATA_HOME/ksv,
// else ~/.local/share/ksv.
#pragma once

#include <filesystem>

namespace ksv::platform {

// The system root as configured; not created here. Throws std::runtime_error
// when none of KSV_ROOT, XDG_DATA_HOME and HOME is set.
std::filesystem::path SystemRoot();

}  // namespace ksv::platform
