// `ksvcam avi images DIR -o FILE.avi [--wav FILE] [--fps F] [--size WxH]
// [--compressor NAME]`: an AVI file from a folder of pictures (and a WAV
// file as its sound track) through the media graph library's image-to-AVI
// builds, the pictures handed over through its frame callback;
// `ksvcam avi merge VIDEO.avi SOUND.wav -o FILE.avi`: an AVI file's video
// with a WAV file's sound; `ksvcam avi split FILE [--avi OUT.avi] [--wav
// OUT.wav]`: a file's video into a video-only AVI file and its sound into a
// WAV file. File builds run as fast as the filters allow. `ksvcam avi info`
// and `ksvcam avi fix` are avi-info and avi-fix under the name people try.
#include <CLI/CLI.hpp>
#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>

#include "apps/ksvcam/command_files.h"
#include "apps/ksvcam/commands.h"
#include "apps/ksvcam/file_checks.h"
#include "apps/ksvcam/graph_client.h"
#include "apps/ksvcam/graph_names.h"
#include "apps/ksvcam/media_summary.h"
#include "apps/ksvcam/parsers.h"
#include "apps/ksvcam/photo_input.h"
#include "apps/ksvcam/picture_frames.h"
#include "support/picture/picture_file.h"

namespace ksv::ksvcam {
namespace {

namespace fs = std::filesystem;

struct AviOptions {
  CLI::App* images = nullptr;
  CLI::App* merge = nullptr;
  // images
  std::string folder;
  std::string wav;
  double fps = 25;
  std::string size;
  std::string compressor;
  // merge
  std::string video;
  std::string sound;
  // split
  std::string source;
  std::string aviOut;
  std::string wavOut;
  // images and merge
  std::string output;
};

// The size of the first picture that reads.
codec::FrameSize FirstPictureSize(const std::vector<fs::path>& pictures) {
  for (const fs::path& path : pictures) {
    try {
      const picture::RgbPicture first = picture::ReadPicture(path);
      return {first.width, first.height};
    } catch (const std::exception&) {
      // Passed over here; named with the reason when the frames are read.
    }
  }
  throw CommandFailure("none of the pictures could be read");
}

int RunImages(const AviOptions& options, Console& console) {
  CheckOutputExtension(options.output, "-o", "avi images writes an AVI file", ".avi");
  picture::PhotoFiles files = ListPhotos(options.folder, "DIR");
  ReportSkipped(files, console);
  if (files.pictures.empty()) {
    throw CommandFailure("no PNG, JPEG or BMP picture in " + Quoted(options.folder));
  }
  const codec::FrameSize size =
      options.size.empty() ? FirstPictureSize(files.pictures) : ParseFrameSize(options.size);
  if (!options.wav.empty()) {
    RequireRegularFile(options.wav);
    CheckMediaInput(options.wav, {MediaKind::Wav});
  }
  std::vector<std::string> inputs{options.wav};
  for (const fs::path& picture : files.pictures) inputs.push_back(picture.string());
  OutputFile output(options.output, inputs);
  EnsureMediaMachine();
  GraphClient client;
  const std::string compressor =
      options.compressor.empty()
          ? std::string()
          : ChooseName(NameList::VideoCompressors, options.compressor, "--compressor");
  PictureFrames frames(std::move(files.pictures), size);
  const auto width = static_cast<int32_t>(size.width);
  const auto height = static_cast<int32_t>(size.height);
  const intptr_t user = reinterpret_cast<intptr_t>(&frames);
  const char* codec = compressor.empty() ? nullptr : compressor.c_str();
  const std::string temporary = output.temporary();
  client.CheckBuilt(
      options.wav.empty()
          ? QMG_BuildImage2AVI(client.handle(), width, height, 24, &PictureFrames::Next, user,
                               temporary.c_str(), codec)
          : QMG_BuildImageWav2AVI(client.handle(), width, height, 24, &PictureFrames::Next, user,
                                  temporary.c_str(), codec, options.wav.c_str()),
      "an AVI file of " + SizeText(size) + " frames");
  const auto milliseconds = static_cast<int32_t>(std::lround(1000.0 / options.fps));
  if (QMG_AviMaker_MillisecondPerFrame(client.handle(), std::max(milliseconds, 1)) == 0) {
    throw CommandFailure("cannot set the frame rate");
  }

  ProgressLine progress(console, frames.total());
  GraphRunLimits limits;
  limits.onTick = [&](double) { progress.Show(frames.delivered(), "frames"); };
  const GraphClient::Outcome outcome = client.Run(limits);
  progress.Clear();
  picture::PhotoFiles passedOver;
  passedOver.skipped = frames.skipped();
  ReportSkipped(passedOver, console);
  if (outcome.end != GraphEnd::Completed) {
    throw CommandFailure(EndText(outcome.end) + " after " + std::to_string(frames.delivered()) +
                         " of " + std::to_string(frames.total()) + " pictures");
  }
  if (frames.delivered() == 0) throw CommandFailure("none of the pictures could be read");
  const AviSummary summary = SummariseAvi(temporary);
  output.Commit();
  console.out << "wrote " << options.output << ": " << summary.text << ", from "
              << Counted(frames.delivered(), "picture") << " in " << DurationText(outcome.seconds)
              << "\n";
  return kExitOk;
}

// Runs a file build to its end with a progress line.
void RunToEnd(GraphClient& client, const std::string& what, Console& console) {
  ProgressLine progress(console);
  GraphRunLimits limits;
  limits.onTick = [&](double seconds) { progress.Draw(what + " " + DurationText(seconds)); };
  const GraphClient::Outcome outcome = client.Run(limits);
  progress.Clear();
  if (outcome.end != GraphEnd::Completed) {
    throw CommandFailure(what + " " + EndText(outcome.end) + " before the end");
  }
}

int RunMerge(const AviOptions& options, Console& console) {
  CheckOutputExtension(options.output, "-o", "avi merge writes an AVI file", ".avi");
  RequireRegularFile(options.video);
  RequireRegularFile(options.sound);
  CheckMediaInput(options.video, {MediaKind::Avi, MediaKind::Mpeg1});
  CheckMediaInput(options.sound, {MediaKind::Wav});
  OutputFile output(options.output, {options.video, options.sound});
  EnsureMediaMachine();
  GraphClient client;
  client.CheckBuilt(QMG_Merge_AVI_WAV_2_AVI(client.handle(), options.video.c_str(),
                                            options.sound.c_str(), output.temporary().c_str()),
                    "the merge of " + Quoted(options.video) + " and " + Quoted(options.sound));
  RunToEnd(client, "merging", console);
  const std::string summary = SummariseAvi(output.temporary()).text;
  output.Commit();
  console.out << "wrote " << options.output << ": " << summary << "\n";
  return kExitOk;
}

// Whether the file starts as a RIFF WAVE file does.
bool IsWaveFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char head[12] = {};
  in.read(head, sizeof head);
  return in && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0;
}

// A WAV file holds no video, and its sound is a WAV file already: the
// library's split of one succeeds and writes nothing, so its graph would
// never end. Its sound is copied as it is instead.
int SplitWaveFile(const AviOptions& options, Console& console) {
  if (!options.aviOut.empty()) {
    throw UsageError(Quoted(options.source) + " is a WAV file: it has no video for --avi");
  }
  OutputFile output(options.wavOut, {options.source});
  std::error_code error;
  fs::copy_file(options.source, output.temporary(), fs::copy_options::overwrite_existing, error);
  if (error) {
    throw CommandFailure("cannot write " + Quoted(options.wavOut) + ": " + error.message());
  }
  const std::string summary = SummariseWav(output.temporary());
  output.Commit();
  console.out << "wrote " << options.wavOut << ": " << summary
              << " (the sound of a WAV file, as it is)\n";
  return kExitOk;
}

int RunSplit(const AviOptions& options, Console& console) {
  if (options.aviOut.empty() && options.wavOut.empty()) {
    throw UsageError("give --avi OUT.avi, --wav OUT.wav or both");
  }
  if (!options.aviOut.empty()) {
    CheckOutputExtension(options.aviOut, "--avi", "avi split writes the video as an AVI file", ".avi");
  }
  if (!options.wavOut.empty()) {
    CheckOutputExtension(options.wavOut, "--wav", "avi split writes the sound as a WAV file", ".wav");
  }
  RequireRegularFile(options.source);
  CheckMediaInput(options.source, {MediaKind::Avi, MediaKind::Mpeg1, MediaKind::Wav});
  if (!options.aviOut.empty() && !options.wavOut.empty() &&
      fs::weakly_canonical(options.aviOut) == fs::weakly_canonical(options.wavOut)) {
    throw UsageError("--avi and --wav name the same file " + Quoted(options.aviOut));
  }
  if (IsWaveFile(options.source)) return SplitWaveFile(options, console);
  std::optional<OutputFile> aviOut;
  std::optional<OutputFile> wavOut;
  if (!options.aviOut.empty()) aviOut.emplace(options.aviOut, std::vector{options.source});
  if (!options.wavOut.empty()) wavOut.emplace(options.wavOut, std::vector{options.source});
  const std::string aviPath = aviOut ? aviOut->temporary() : std::string();
  const std::string wavPath = wavOut ? wavOut->temporary() : std::string();
  EnsureMediaMachine();
  GraphClient client;
  client.CheckBuilt(QMG_BuildAVI2AviWave(client.handle(), options.source.c_str(),
                                         aviOut ? aviPath.c_str() : nullptr,
                                         wavOut ? wavPath.c_str() : nullptr, nullptr, nullptr),
                    "the split of " + Quoted(options.source));
  RunToEnd(client, "splitting", console);
  const std::string aviSummary = aviOut ? SummariseAvi(aviPath).text : std::string();
  const std::string wavSummary = wavOut ? SummariseWav(wavPath) : std::string();
  if (aviOut) aviOut->Commit();
  if (wavOut) wavOut->Commit();
  if (aviOut) console.out << "wrote " << options.aviOut << ": " << aviSummary << "\n";
  if (wavOut) console.out << "wrote " << options.wavOut << ": " << wavSummary << "\n";
  return kExitOk;
}

void AddImages(CLI::App& avi, AviOptions& options) {
  CLI::App& command = *avi.add_subcommand(
      "images", "Makes an AVI file of the pictures of a folder, in name order");
  options.images = &command;
  command.add_option("DIR", options.folder, "The folder of PNG, JPEG or BMP pictures")->required();
  command.add_option("-o,--output", options.output, "The AVI file to write")
      ->type_name("FILE.avi")
      ->required();
  command.add_option("--wav", options.wav, "A WAV file as the sound track")->type_name("FILE");
  command.add_option("--fps", options.fps, "Frames per second (the frame time in whole ms)")
      ->type_name("F")
      ->check(CLI::Range(1.0, 1000.0))
      ->capture_default_str();
  command.add_option("-s,--size", options.size,
                     "The frame size (else the first picture's); pictures of another size are "
                     "centre-cropped to its shape and scaled")
      ->type_name("WxH");
  command.add_option("-c,--compressor", options.compressor, "A video compressor (else none)")
      ->type_name("NAME");
}

void AddMerge(CLI::App& avi, AviOptions& options) {
  CLI::App& command =
      *avi.add_subcommand("merge", "Makes an AVI file of an AVI file's video and a WAV file's sound");
  options.merge = &command;
  command.add_option("VIDEO", options.video, "The AVI file of the video")->required();
  command.add_option("SOUND", options.sound, "The WAV file of the sound")->required();
  command.add_option("-o,--output", options.output, "The AVI file to write")
      ->type_name("FILE.avi")
      ->required();
}

void AddSplit(CLI::App& avi, AviOptions& options) {
  CLI::App& command = *avi.add_subcommand(
      "split", "Writes an AVI, MPEG-1 or WAV file's video to an AVI file and its sound to a WAV file");
  command.add_option("FILE", options.source, "The file to split")->required();
  command.add_option("--avi", options.aviOut, "The AVI file of the video")->type_name("OUT.avi");
  command.add_option("--wav", options.wavOut, "The WAV file of the sound")->type_name("OUT.wav");
}

}  // namespace

CommandRun AviCommand(CLI::App& app) {
  auto options = std::make_shared<AviOptions>();
  CLI::App& avi = *app.add_subcommand(
      "avi", "Makes AVI files through the media graph library (from pictures, merged, split); "
             "'avi info' and 'avi fix' are avi-info and avi-fix");
  avi.require_subcommand(1);
  AddImages(avi, *options);
  AddMerge(avi, *options);
  AddSplit(avi, *options);
  // `avi info` and `avi fix`, the same as avi-info and avi-fix.
  const CommandRun info = AviInfoCommand(avi);
  CLI::App* infoCommand = avi.get_subcommand("avi-info");
  infoCommand->name("info");
  const CommandRun fix = AviFixCommand(avi);
  CLI::App* fixCommand = avi.get_subcommand("avi-fix");
  fixCommand->name("fix");
  return [options, info, infoCommand, fix, fixCommand](Console& console) {
    if (options->images->parsed()) return RunImages(*options, console);
    if (options->merge->parsed()) return RunMerge(*options, console);
    if (infoCommand->parsed()) return info(console);
    if (fixCommand->parsed()) return fix(console);
    return RunSplit(*options, console);
  };
}

}  // namespace ksv::ksvcam
