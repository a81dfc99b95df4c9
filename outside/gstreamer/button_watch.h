// The camera's snapshot button as the driver publishes it: the "Button"
// value under its key in the machine registry (bit 5 while the button is
// held). Looking costs a stat of the registry's files, and a read only when
// they changed, so a look on the streaming thread allocates nothing while
// nobody writes the registry.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/registry/registry_store.h"

namespace ksv::outside::gstreamer {

class ButtonWatch {
 public:
  // Opens the machine registry and takes the button's state now as the
  // start (a press published before is not a new one). Throws
  // RegistryError when the registry cannot be opened.
  ButtonWatch();

  // True once for each press published since the last look.
  bool NewPress();

 private:
  struct Stamp {
    int64_t modified = -1;  // ns
    int64_t size = -1;
    bool operator==(const Stamp&) const = default;
  };
  Stamp StampOf(const std::string& path) const;
  bool Held();

  std::unique_ptr<platform::RegistryStore> registry_;
  std::string database_;  // the hive's file and its write-ahead log
  std::string log_;
  Stamp databaseStamp_;
  Stamp logStamp_;
  bool held_ = false;
};

}  // namespace ksv::outside::gstreamer
