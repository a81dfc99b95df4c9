// ksvcam.conf, the backend's configuration file, found as SANE backends
// find theirs: in the folders SANE_CONFIG_DIR lists (colon-separated; a
// trailing colon adds the default folders), else in the sane.d folder of
// the install the backend lies in (PREFIX/etc/sane.d) and /etc/sane.d.
//   # a comment
//   memory /path/to/camera.mem   # a camera memory image instead of the camera
#pragma once

#include <string>

namespace ksv::outside::sane {

struct BackendConfig {
  std::string memoryImage;  // empty: the machine's camera
};

// The first ksvcam.conf found; defaults when there is none. Lines it does
// not know are said on stderr and skipped.
BackendConfig ReadBackendConfig();

}  // namespace ksv::outside::sane
