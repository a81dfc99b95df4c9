// `ksvcam devices`: the names the media graph library lists, as its
// clients see them: video and audio capture devices, video and audio
// compressors, one heading each with its names indented below.
#include <CLI/CLI.hpp>

#include "apps/ksvcam/commands.h"
#include "apps/ksvcam/graph_client.h"
#include "apps/ksvcam/graph_names.h"

namespace ksv::ksvcam {

CommandRun DevicesCommand(CLI::App& app) {
  app.add_subcommand("devices",
                     "Lists the video and audio capture devices and the video and audio "
                     "compressors the media graph library offers");
  return [](Console& console) {
    EnsureMediaMachine();
    // The library's calls belong to a thread with COM: a handle gives it.
    const GraphClient client;
    constexpr struct {
      NameList list;
      const char* heading;
    } kLists[] = {
        {NameList::VideoDevices, "video capture devices"},
        {NameList::AudioDevices, "audio capture devices"},
        {NameList::VideoCompressors, "video compressors"},
        {NameList::AudioCompressors, "audio compressors"},
    };
    for (const auto& [list, heading] : kLists) {
      const std::vector<std::string> names = ListNames(list);
      console.out << heading << " (" << names.size() << "):\n";
      for (const std::string& name : names) console.out << "  " << name << "\n";
    }
    return kExitOk;
  };
}

}  // namespace ksv::ksvcam
