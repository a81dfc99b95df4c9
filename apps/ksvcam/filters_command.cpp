// `ksvcam filters [--category NAME]`: the registered filter categories and,
// in each, every entry's friendly name, class identifier and merit, as the
// system device enumerator lists them (by merit, then friendly name).
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "apps/ksvcam/commands.h"
#include "apps/ksvcam/filter_catalog.h"
#include "apps/ksvcam/graph_client.h"
#include "apps/ksvcam/media_setup.h"
#include "platform/com/guid.h"

namespace ksv::ksvcam {
namespace {

std::string MeritText(const std::optional<DWORD>& merit) {
  if (!merit) return "merit -";
  char text[24];
  std::snprintf(text, sizeof text, "merit 0x%08X", static_cast<unsigned>(*merit));
  return text;
}

std::string ClsidText(const std::optional<CLSID>& clsid) {
  return clsid ? com::FormatGuid(*clsid) : std::string("{?}");
}

void PrintCategory(Console& console, const CatalogEntry& category) {
  console.out << category.friendlyName << "  " << ClsidText(category.clsid) << "  "
              << MeritText(category.merit) << "\n";
  if (!category.clsid) return;
  const auto entries = ReadCatalog(*category.clsid);
  if (entries.empty()) {
    console.out << "  (no filters)\n";
    return;
  }
  size_t width = 0;
  for (const auto& entry : entries) width = std::max(width, entry.friendlyName.size());
  for (const auto& entry : entries) {
    console.out << "  " << entry.friendlyName << std::string(width - entry.friendlyName.size(), ' ')
                << "  " << ClsidText(entry.clsid) << "  " << MeritText(entry.merit) << "\n";
  }
}

// The category --category names: a standard short name, or any class
// identifier (a category registered by someone else).
CatalogEntry NamedCategory(const std::string& name,
                           const std::vector<CatalogEntry>& registered) {
  std::optional<CLSID> clsid = com::ParseGuid(name);
  if (const StandardCategory* standard = FindStandardCategory(name)) clsid = standard->clsid;
  if (!clsid) {
    std::string names;
    for (const auto& standard : StandardCategories()) {
      names += (names.empty() ? "" : ", ") + std::string(standard.name);
    }
    throw UsageError("--category " + Quoted(name) + " is not a category (choose " + names +
                     " or a class identifier)");
  }
  for (const auto& category : registered) {
    if (category.clsid == clsid) return category;
  }
  CatalogEntry unlisted;
  unlisted.friendlyName = "(unregistered category)";
  unlisted.clsid = clsid;
  return unlisted;
}

}  // namespace

CommandRun FiltersCommand(CLI::App& app) {
  auto category = std::make_shared<std::string>();
  CLI::App& command = *app.add_subcommand(
      "filters", "Lists the media framework's filter categories and the filters in each");
  command
      .add_option("-c,--category", *category,
                  "Only this category: legacy, video-input, audio-input, video-compressor, "
                  "audio-compressor, audio-renderer, or a class identifier")
      ->type_name("NAME");
  return [category](Console& console) {
    const ComSession com;
    EnsureMediaMachine();  // as devices does: the camera and microphone listed too
    const auto categories = ReadCatalog(CLSID_ActiveMovieCategories);
    if (!category->empty()) {
      PrintCategory(console, NamedCategory(*category, categories));
      return kExitOk;
    }
    if (categories.empty()) console.out << "no filter categories registered\n";
    for (const auto& each : categories) PrintCategory(console, each);
    return kExitOk;
  };
}

}  // namespace ksv::ksvcam
