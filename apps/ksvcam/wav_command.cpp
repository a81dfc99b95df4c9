// `ksvcam wav compress IN -o OUT.wav --compressor NAME`: a WAV (or AVI or
// MPEG-1) file's sound recompressed into a WAV file through the media graph
// library, as fast as the filters allow.
#include <CLI/CLI.hpp>
#include <filesystem>
#include <memory>

#include "apps/ksvcam/command_files.h"
#include "apps/ksvcam/commands.h"
#include "apps/ksvcam/file_checks.h"
#include "apps/ksvcam/parsers.h"
#include "apps/ksvcam/graph_client.h"
#include "apps/ksvcam/graph_names.h"
#include "apps/ksvcam/media_summary.h"

namespace ksv::ksvcam {
namespace {

struct WavOptions {
  std::string input;
  std::string output;
  std::string compressor;
};

int RunCompress(const WavOptions& options, Console& console) {
  CheckOutputExtension(options.output, "-o", "wav compress writes a WAV file", ".wav");
  RequireRegularFile(options.input);
  CheckMediaInput(options.input, {MediaKind::Wav, MediaKind::Avi, MediaKind::Mpeg1});
  OutputFile output(options.output, {options.input});
  EnsureMediaMachine();
  GraphClient client;
  const std::string compressor =
      ChooseName(NameList::AudioCompressors, options.compressor, "--compressor");
  client.CheckBuilt(QMG_CompressedWAV(client.handle(), options.input.c_str(),
                                      output.temporary().c_str(), compressor.c_str()),
                    "the compression of " + Quoted(options.input) + " with " + Quoted(compressor));
  ProgressLine progress(console);
  GraphRunLimits limits;
  limits.onTick = [&](double seconds) { progress.Draw("compressing " + DurationText(seconds)); };
  const GraphClient::Outcome outcome = client.Run(limits);
  progress.Clear();
  if (outcome.end != GraphEnd::Completed) {
    throw CommandFailure("compressing " + EndText(outcome.end) + " before the end");
  }
  const std::string summary = SummariseWav(output.temporary());
  output.Commit();
  console.out << "wrote " << options.output << ": " << summary << "\n";
  return kExitOk;
}

}  // namespace

CommandRun WavCommand(CLI::App& app) {
  auto options = std::make_shared<WavOptions>();
  CLI::App& wav = *app.add_subcommand("wav", "Works on WAV files through the media graph library");
  wav.require_subcommand(1);
  CLI::App& compress =
      *wav.add_subcommand("compress", "Recompresses a file's sound into a WAV file");
  compress.add_option("IN", options->input, "The WAV, AVI or MPEG-1 file")->required();
  compress.add_option("-o,--output", options->output, "The WAV file to write")
      ->type_name("OUT.wav")
      ->required();
  compress.add_option("-c,--compressor", options->compressor, "The audio compressor (see 'devices')")
      ->type_name("NAME")
      ->required();
  return [options](Console& console) { return RunCompress(*options, console); };
}

}  // namespace ksv::ksvcam
