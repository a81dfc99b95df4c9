// The manual page of a command line, in roff (man(7)), made from the same
// descriptions that --help prints: the program's, then each subcommand's
// with its options, nested subcommands under their parent.
#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <string_view>

namespace ksv::ksvcam {

// `date` and `version` go into the title line.
std::string ManualPage(const CLI::App& app, std::string_view version, std::string_view date);

// Text made safe for roff: backslashes doubled, hyphens escaped, a leading
// '.' or '\'' kept from being read as a request.
std::string RoffText(std::string_view text);

}  // namespace ksv::ksvcam
