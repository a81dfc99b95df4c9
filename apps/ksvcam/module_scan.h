// What setup learns about a module in the modules folder without loading
// it: whether it registers itself and how a person calls it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace ksv::ksvcam {

// True when the shared object `file` defines the function `name` in its
// dynamic symbol table (DllRegisterServer: a module that registers itself).
// False for a file that is not a 64-bit little-endian shared object or that
// cannot be read.
bool ExportsFunction(const std::filesystem::path& file, std::string_view name);

// The description the module's version resource carries ("the AVI
// multiplexer"), or its file name when it carries none.
std::string ModuleDescription(const std::filesystem::path& file);

}  // namespace ksv::ksvcam
