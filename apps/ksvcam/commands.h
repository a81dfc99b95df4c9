// The subcommands of ksvcam, each one definition: it adds the subcommand and
// its options (private to its .cpp) to the command line and returns what
// runs it once the arguments are parsed. command_line.cpp lists them.
#pragma once

#include <functional>
#include <string>

#include "apps/ksvcam/console.h"
#include "outside/download/folder_download.h"

namespace CLI {
class App;
}

namespace ksv::ksvcam {

// Runs the parsed subcommand. Returns the exit status (1 when part of the
// work failed); throws UsageError or CommandFailure for the dispatcher.
using CommandRun = std::function<int(Console&)>;
using CommandDefinition = CommandRun (*)(CLI::App& app);

CommandRun DecodeCommand(CLI::App& app);           // decode FRAME -s WxH -o OUT
CommandRun DemoCommand(CLI::App& app);             // demo [--photos DIR] [--out DIR]
CommandRun StreamCommand(CLI::App& app);           // stream -p FILE.iso
CommandRun SimulatePacketsCommand(CLI::App& app);  // simulate-packets -o FILE.iso
CommandRun CaptureCommand(CLI::App& app);          // capture [-o FILE.y4m | --out DIR]
CommandRun ControlsCommand(CLI::App& app);         // controls list|get|set
CommandRun RegistryCommand(CLI::App& app);         // registry list|get|set|delete
CommandRun MemoryCommand(CLI::App& app);           // memory build|info
CommandRun DownloadCommand(CLI::App& app);         // download --out DIR
CommandRun InfoCommand(CLI::App& app);             // info
CommandRun SetupCommand(CLI::App& app);            // setup [--unregister]
CommandRun AcquireCommand(CLI::App& app);          // acquire [--out DIR] [--do ACTION...] | --uiless -o F
CommandRun SettingsCommand(CLI::App& app);         // settings [--host H] [--screenshot F]
CommandRun WiaCommand(CLI::App& app);               // wia items|sync|command C|delete I|events
CommandRun FiltersCommand(CLI::App& app);          // filters [--category NAME]
CommandRun GraphCommand(CLI::App& app);            // graph DESCRIPTION [--seconds S]
CommandRun SnapshotConvertCommand(CLI::App& app);  // snapshot-convert SNAPSHOT -o OUT
CommandRun ResampleCommand(CLI::App& app);         // resample IN.wav -o OUT.wav
CommandRun AviInfoCommand(CLI::App& app);          // avi-info FILE
CommandRun AviFixCommand(CLI::App& app);           // avi-fix FILE [-o OUT]
// Clients of the media graph library (include/oksv1gra.h).
CommandRun DevicesCommand(CLI::App& app);          // devices
CommandRun PreviewCommand(CLI::App& app);          // preview [--seconds S] [--screenshot F]
CommandRun RecordCommand(CLI::App& app);           // record -o FILE.avi [--seconds S]
CommandRun RecordAudioCommand(CLI::App& app);      // record-audio -o FILE.wav [--seconds S]
CommandRun AviCommand(CLI::App& app);              // avi images|merge|split
CommandRun WavCommand(CLI::App& app);              // wav compress IN -o OUT --compressor C
CommandRun PlayCommand(CLI::App& app);             // play FILE [--rate R]

// Downloads the camera's memory into `request.outDir` as `download` does:
// a line per file on stdout when `listFiles`, a bar on the progress line
// when `progressBar` (and stderr is a terminal), the summary line last.
// False when anything failed.
bool DownloadInto(const outside::download::DownloadRequest& request, Console& console,
                  bool listFiles, bool progressBar);

// The folder of photographs `demo` uses when --photos is not given: those
// ksvcam ships (support/shipped_data.h). Throws CommandFailure without one.
std::string DefaultPhotosDir();

}  // namespace ksv::ksvcam
