// The video codec's per-user settings, set for the clip graph while it
// runs and put back afterwards: access key off, no minimum viewport,
// transparency, quick compression and scalability on.
#pragma once

#include <array>

#include "include/win32_types.h"

namespace ksv::camapi {

class CodecSettingsOverride {
 public:
  // Reads the seven values; only when all seven are there are they
  // remembered and overwritten.
  CodecSettingsOverride();
  // Writes the remembered values back (Restore).
  ~CodecSettingsOverride();
  CodecSettingsOverride(const CodecSettingsOverride&) = delete;
  CodecSettingsOverride& operator=(const CodecSettingsOverride&) = delete;

  // Writes the remembered values back, once; nothing when not all seven
  // were there at creation.
  void Restore();

  static constexpr size_t kValueCount = 7;
  static const std::array<const char*, kValueCount> kNames;

 private:
  std::array<DWORD, kValueCount> saved_{};
  bool overridden_ = false;
};

}  // namespace ksv::camapi
