// `ksvcam registry list|get|set|delete`: looks at and changes the values of
// the driver's registry key (or another key of the machine hive), as the
// platform's own registry tool does.
#pragma once

#include <string>

#include "apps/ksvcam/console.h"

namespace CLI {
class App;
}

namespace ksv::ksvcam {

struct RegistryOptions {
  std::string key = "Software\\Tarvio\\KSV Drivers";
  std::string name;
  std::string value;
  std::string type = "dword";
};

CLI::App& AddRegistryCommand(CLI::App& app, RegistryOptions& options);

// Runs the chosen action of `command` (the registry subcommand as parsed).
int RunRegistry(const CLI::App& command, const RegistryOptions& options, Console& console);

}  // namespace ksv::ksvcam
