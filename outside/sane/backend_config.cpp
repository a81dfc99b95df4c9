#include "outside/sane/backend_config.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace ksv::outside::sane {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> DefaultFolders() {
  std::vector<fs::path> folders;
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&DefaultFolders), &info) != 0 && info.dli_fname != nullptr) {
    // PREFIX/lib/sane/libsane-ksvcam.so.1 -> PREFIX/etc/sane.d
    folders.push_back(fs::absolute(info.dli_fname).parent_path().parent_path().parent_path() / "etc" / "sane.d");
  }
  folders.emplace_back("/etc/sane.d");
  return folders;
}

std::vector<fs::path> ConfigFolders() {
  const char* listed = std::getenv("SANE_CONFIG_DIR");
  if (listed == nullptr || *listed == '\0') return DefaultFolders();
  std::vector<fs::path> folders;
  std::stringstream list(listed);
  for (std::string folder; std::getline(list, folder, ':');) {
    if (!folder.empty()) folders.emplace_back(folder);
  }
  if (std::string(listed).back() == ':') {
    for (fs::path& folder : DefaultFolders()) folders.push_back(std::move(folder));
  }
  return folders;
}

}  // namespace

BackendConfig ReadBackendConfig() {
  BackendConfig config;
  for (const fs::path& folder : ConfigFolders()) {
    std::ifstream file(folder / "ksvcam.conf");
    if (!file) continue;
    int number = 0;
    for (std::string line; std::getline(file, line);) {
      ++number;
      const size_t hash = line.find('#');
      if (hash != std::string::npos) line.erase(hash);
      std::istringstream words(line);
      std::string key;
      if (!(words >> key)) continue;
      std::string rest;
      std::getline(words >> std::ws, rest);
      while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t' || rest.back() == '\r')) rest.pop_back();
      if (key == "memory" && !rest.empty()) {
        config.memoryImage = rest;
      } else {
        std::fprintf(stderr, "ksvcam: %s:%d: skipped '%s' (this backend takes 'memory FILE')\n",
                     (folder / "ksvcam.conf").c_str(), number, line.c_str());
      }
    }
    break;
  }
  return config;
}

}  // namespace ksv::outside::sane
