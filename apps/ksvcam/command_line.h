// The ksvcam command line: parses the arguments and runs the subcommand.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "apps/ksvcam/console.h"

namespace ksv::ksvcam {

// `args[0]` is the program name. Returns the process exit status: 0 done,
// 1 failure, 2 usage error. Never throws.
int RunCommandLine(std::span<const std::string> args, Console& console);

// The manual page (roff) of the same command line, from the texts --help
// prints; `date` goes into its title line.
std::string CommandLineManualPage(std::string_view date);

}  // namespace ksv::ksvcam
