// The backend's options as the SANE standard describes them: option 0 the
// count, then the source, the mode, the resolution and the picture size.
// Values are checked against their constraints; the picture size applies
// to the live camera only (inactive for the stored pictures, which keep
// their own sizes).
#pragma once

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <array>
#include <cstdint>

namespace ksv::outside::sane {

enum OptionIndex : SANE_Int {
  kCountOption = 0,
  kSourceOption,
  kModeOption,
  kResolutionOption,
  kSizeOption,
  kOptionCount
};

enum class Source { kCamera, kCameraMemory };

struct Size {
  int32_t width;
  int32_t height;
};

class Options {
 public:
  Options();

  // Null for an index out of range.
  const SANE_Option_Descriptor* Descriptor(SANE_Int option) const;
  // sane_control_option for one option: SANE_STATUS_INVAL for an index,
  // action or value the option does not take.
  SANE_Status Control(SANE_Int option, SANE_Action action, void* value, SANE_Int* info);

  Source source() const { return source_; }
  Size size() const;

 private:
  void UpdateActive();

  std::array<SANE_Option_Descriptor, kOptionCount> descriptors_{};
  Source source_ = Source::kCamera;
  int size_ = 0;  // index into the picture sizes
  SANE_Int resolution_ = 72;
};

}  // namespace ksv::outside::sane
