// `ksvcam play FILE [--rate R]`: plays a media file through the media graph
// library's playback build, its video in a window on the screen (offscreen
// when there is no display), until the end of the file, Escape or the
// window is closed.
#include <CLI/CLI.hpp>
#include <cmath>
#include <filesystem>
#include <memory>
#include <sstream>

#include "apps/ksvcam/command_files.h"
#include "apps/ksvcam/commands.h"
#include "apps/ksvcam/option_checks.h"
#include "apps/ksvcam/graph_client.h"
#include "apps/ksvcam/view_window.h"

namespace ksv::ksvcam {
namespace {

struct PlayOptions {
  std::string file;
  double rate = 1.0;
};

int RunPlay(const PlayOptions& options, Console& console) {
  if (options.rate <= 0) throw UsageError("--rate: must be above 0");
  // A rate the graph could never play at (a frame time of years, or none).
  if (!std::isfinite(options.rate) || options.rate < 1.0 / 64 || options.rate > 64) {
    throw UsageError("--rate must be a number from 1/64 (0.015625) to 64");
  }
  RequireRegularFile(options.file);
  EnsureMediaMachine();
  ViewWindow view("ksvcam play: " + options.file);
  GraphClient client(view.handle());
  client.CheckBuilt(QMG_BuildPlayMediaFile(client.handle(), options.file.c_str()),
                    "the playback of " + Quoted(options.file));
  if (options.rate != 1.0 && QMG_SetPlayRate(client.handle(), options.rate) == 0) {
    std::ostringstream rate;
    rate << options.rate;  // "2" or "0.5", not "2.000000"
    throw CommandFailure("the playback of " + Quoted(options.file) + " does not take the rate " +
                         rate.str() + " (MPEG-1 files play at the normal rate only)");
  }
  const bool video = view.Attach(client.handle());

  ProgressLine progress(console);
  GraphRunLimits limits;
  limits.closed = [&view] { return view.closed(); };
  limits.onTick = [&](double seconds) {
    if (video) view.Refresh();
    progress.Draw("playing " + DurationText(seconds) + " (Escape stops)");
  };
  GraphClient::Outcome outcome;
  try {
    outcome = client.Run(limits);
  } catch (const CommandFailure&) {
    // The build renders what it can and reports success; the run tells.
    throw CommandFailure("cannot play " + Quoted(options.file));
  }
  progress.Clear();
  console.out << "played " << options.file << (video ? "" : " (sound only)") << ": "
              << EndText(outcome.end) << " after " << DurationText(outcome.seconds) << "\n";
  return kExitOk;
}

}  // namespace

CommandRun PlayCommand(CLI::App& app) {
  auto options = std::make_shared<PlayOptions>();
  CLI::App& command = *app.add_subcommand(
      "play", "Plays a media file until its end or Escape, its video in a window");
  command.add_option("FILE", options->file, "The AVI, MPEG-1 or WAV file")->required();
  command
      .add_option("-r,--rate", options->rate,
                  "The playback rate, 1/64 to 64 (1 is normal speed; other rates play without "
                  "sound)")
      ->type_name("R")
      ->capture_default_str();
  return [options](Console& console) { return RunPlay(*options, console); };
}

}  // namespace ksv::ksvcam
