// `ksvcam resample IN.wav -o OUT.wav [--rate HZ] [--channels 1|2]
// [--bits 8|16] [--show-plan]`: converts a WAV file's sound with the
// sample-rate converter filter, in a graph of File Source, Wave Parser,
// the converter (set through ISampleRateConfig) and WAV Dest into the File
// writer. What is not given stays as the input has it.
#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "apps/ksvcam/command_files.h"
#include "apps/ksvcam/commands.h"
#include "apps/ksvcam/parsers.h"
#include "apps/ksvcam/hresult_text.h"
#include "apps/ksvcam/media_setup.h"
#include "apps/ksvcam/media_summary.h"
#include "include/trsmplrt.h"
#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/media/filter_ids.h"
#include "platform/media/media.h"
#include "platform/media/pin_search.h"
#include "resampler/audio_types.h"
#include "resampler/plan_info.h"

namespace ksv::ksvcam {
namespace {

using com::ComPtr;
using resampler::PcmFormat;
using resampler::ResamplePlan;

struct ResampleOptions {
  std::string input;
  std::string output;
  int rate = 0;      // 0: the input's
  int channels = 0;
  int bits = 0;
  bool showPlan = false;
};

ComPtr<IBaseFilter> Create(const CLSID& clsid, const char* what) {
  ComPtr<IBaseFilter> filter;
  const HRESULT result = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER,
                                          IID_PPV_ARGS(filter.ReleaseAndGetAddressOf()));
  if (FAILED(result)) {
    throw CommandFailure(std::string("cannot create ") + what + ": " + HresultText(result) +
                         " (ksvcam setup registers it)");
  }
  return filter;
}

void Link(IGraphBuilder* graph, IBaseFilter* from, IBaseFilter* to, const std::string& what) {
  const ComPtr<IPin> out = media::NthPin(from, PINDIR_OUTPUT);
  const ComPtr<IPin> in = media::NthPin(to, PINDIR_INPUT);
  if (!out || !in) throw CommandFailure("cannot connect " + what + ": a pin is missing");
  const HRESULT result = graph->ConnectDirect(out.Get(), in.Get(), nullptr);
  if (FAILED(result)) throw CommandFailure("cannot connect " + what + ": " + HresultText(result));
}

std::string Describe(const PcmFormat& format) {
  return std::to_string(format.rate) + " Hz " + (format.channels == 2 ? "stereo" : "mono") + " " +
         std::to_string(format.bits) + "-bit";
}

const char* StageName(resampler::StageKind stage) {
  switch (stage) {
    case resampler::StageKind::kUp2: return "x2";
    case resampler::StageKind::kDown2: return "/2";
    case resampler::StageKind::kPoly: return "poly";
  }
  return "?";
}

void PrintPlan(const ResamplePlan& plan, std::ostream& out) {
  out << "conversion type " << static_cast<int>(plan.conversionType) << ", stages:";
  if (plan.stageCount == 0) out << " none (same rate)";
  for (int s = 0; s < plan.stageCount; ++s) out << " " << StageName(plan.stages[s]);
  out << "\nblock frames " << plan.inFrames << " in, " << plan.outFrames << " out ("
      << plan.inBlockBytes << " -> " << plan.outBlockBytes << " bytes)\n";
  if (plan.L == 0) return;
  int fewest = 0, most = 0;
  for (size_t n = 0; n < plan.tapCounts.size(); ++n) {
    if (n == 0 || plan.tapCounts[n] < fewest) fewest = plan.tapCounts[n];
    if (n == 0 || plan.tapCounts[n] > most) most = plan.tapCounts[n];
  }
  out << "L " << plan.L << ", M " << plan.M << ", stride " << plan.stride << ", taps per phase "
      << fewest;
  if (most != fewest) out << ".." << most;
  out << " (" << plan.tapCounts.size() << " phases)\n";
}

// The Wave Parser's output format, checked against what the converter
// takes, so a refusal names its reason.
PcmFormat InputFormat(IBaseFilter* parser, const std::string& file) {
  const ComPtr<IPin> out = media::NthPin(parser, PINDIR_OUTPUT);
  ComPtr<IEnumMediaTypes> types;
  AM_MEDIA_TYPE* type = nullptr;
  if (!out || FAILED(out->EnumMediaTypes(types.ReleaseAndGetAddressOf())) ||
      types->Next(1, &type, nullptr) != S_OK || type == nullptr) {
    throw CommandFailure(file + ": the Wave Parser found no sound in it");
  }
  const std::string refusal = resampler::InputRefusal(*type);
  const std::optional<PcmFormat> format = resampler::PcmFormatOf(*type);
  DeleteMediaType(type);
  if (!refusal.empty()) throw CommandFailure(file + ": cannot convert " + refusal);
  return *format;
}

int Resample(const ResampleOptions& options, Console& console) {
  CheckOutputExtension(options.output, "-o", "resample writes a WAV file", ".wav");
  RequireRegularFile(options.input);
  const ComSession com;
  EnsureMediaFramework();
  ComPtr<IGraphBuilder> graph;
  HRESULT result = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_PPV_ARGS(graph.ReleaseAndGetAddressOf()));
  if (FAILED(result)) throw CommandFailure("cannot create the filter graph: " + HresultText(result));
  const ComPtr<IBaseFilter> source = Create(CLSID_AsyncReader, "the File Source");
  const ComPtr<IBaseFilter> parser = Create(CLSID_WAVEParser, "the Wave Parser");
  const ComPtr<IBaseFilter> converter = Create(CLSID_SampleRateConverter, "the sample-rate converter");
  const ComPtr<IBaseFilter> dest = Create(CLSID_WavDest, "WAV Dest");
  const ComPtr<IBaseFilter> writer = Create(CLSID_FileWriter, "the File writer");
  graph->AddFilter(source.Get(), u"File Source");
  graph->AddFilter(parser.Get(), u"Wave Parser");
  graph->AddFilter(converter.Get(), u"Sample Rate Converter");
  graph->AddFilter(dest.Get(), u"WAV Dest");
  graph->AddFilter(writer.Get(), u"File writer");
  ComPtr<IMediaFilter> media;
  if (SUCCEEDED(graph.As(&media))) media->SetSyncSource(nullptr);  // as fast as it goes

  ComPtr<IFileSourceFilter> file;
  source.As(&file);
  const std::u16string inName(options.input.begin(), options.input.end());
  result = file ? file->Load(inName.c_str(), nullptr) : E_NOINTERFACE;
  if (FAILED(result)) throw CommandFailure("cannot open " + Quoted(options.input) + ": " + HresultText(result));
  {
    const ComPtr<IPin> out = media::NthPin(source.Get(), PINDIR_OUTPUT);
    const ComPtr<IPin> in = media::NthPin(parser.Get(), PINDIR_INPUT);
    result = out && in ? graph->ConnectDirect(out.Get(), in.Get(), nullptr) : E_UNEXPECTED;
    // The Wave Parser takes only a RIFF WAVE stream.
    if (FAILED(result)) throw CommandFailure(Quoted(options.input) + ": not a WAV file");
  }
  const PcmFormat in = InputFormat(parser.Get(), options.input);

  PcmFormat out = in;
  if (options.rate != 0) out.rate = options.rate;
  if (options.channels != 0) out.channels = static_cast<int16_t>(options.channels);
  if (options.bits != 0) out.bits = static_cast<int16_t>(options.bits);
  if (out.rate == in.rate && out.channels == in.channels && out.bits == in.bits) {
    throw CommandFailure(options.input + " is already " + Describe(in) + ": nothing to convert");
  }
  ComPtr<ISampleRateConfig> config;
  converter.As(&config);
  config->SetDefaultNegotiation(0);
  config->SetChannels(out.channels);
  config->SetBitsPerSample(out.bits);
  config->SetRate(out.rate);

  Link(graph.Get(), parser.Get(), converter.Get(), "the Wave Parser to the converter");
  Link(graph.Get(), converter.Get(), dest.Get(), "the converter to WAV Dest (" + Describe(out) + ")");
  ComPtr<IFileSinkFilter> sink;
  writer.As(&sink);
  // -o names a file to replace, once the new one is whole.
  OutputFile output(options.output, {options.input});
  const std::string temporary = output.temporary();
  const std::u16string outName(temporary.begin(), temporary.end());
  result = sink ? sink->SetFileName(outName.c_str(), nullptr) : E_NOINTERFACE;
  if (FAILED(result)) throw CommandFailure(options.output + ": " + HresultText(result));
  Link(graph.Get(), dest.Get(), writer.Get(), "WAV Dest to the File writer");

  if (options.showPlan) {
    ComPtr<IResamplePlanInfo> info;
    ResamplePlan plan;
    if (SUCCEEDED(converter.As(&info)) && SUCCEEDED(info->GetPlan(&plan))) PrintPlan(plan, console.out);
  }

  ComPtr<IMediaControl> control;
  ComPtr<IMediaEventEx> events;
  graph.As(&control);
  graph.As(&events);
  const auto start = std::chrono::steady_clock::now();
  result = control->Run();
  if (FAILED(result)) {
    control->Stop();
    // The File writer opens the output as the graph starts: a system
    // error is the output's.
    if ((static_cast<uint32_t>(result) & 0xFFFF0000u) == 0x80070000u) {
      throw CommandFailure("cannot write " + Quoted(options.output) + ": " + HresultText(result));
    }
    throw CommandFailure("cannot run the graph: " + HresultText(result));
  }
  LONG code = 0;
  LONG_PTR param1 = 0, param2 = 0;
  HRESULT failure = S_OK;
  while (events->GetEvent(&code, &param1, &param2, 1000) == S_OK || code == 0) {
    events->FreeEventParams(code, param1, param2);
    if (code == EC_COMPLETE) break;
    if (code == EC_ERRORABORT || code == EC_USERABORT) {
      failure = static_cast<HRESULT>(param1);
      break;
    }
    code = 0;
  }
  control->Stop();
  if (code != EC_COMPLETE) {
    throw CommandFailure("the conversion stopped on an error: " + HresultText(failure));
  }
  output.Commit();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  char summary[160];
  std::snprintf(summary, sizeof summary, " (%s -> %s, in %.2f s)", Describe(in).c_str(),
                Describe(out).c_str(), seconds);
  // The length is that of the file written, read back.
  console.out << "wrote " << options.output << ": " << SummariseWav(options.output) << summary
              << "\n";
  return kExitOk;
}

}  // namespace

CommandRun ResampleCommand(CLI::App& app) {
  auto options = std::make_shared<ResampleOptions>();
  CLI::App& command = *app.add_subcommand(
      "resample", "Converts a WAV file's sample rate, channels or sample width with the "
                  "sample-rate converter filter");
  command.add_option("input", options->input, "The PCM WAV file to convert")->required();
  command.add_option("-o,--output", options->output, "The WAV file to write (replaced)")->required();
  command.add_option("-r,--rate", options->rate, "Output sample rate, 6025 to 48000 Hz")
      ->type_name("HZ")
      ->check(CLI::Range(6025, 48000));
  command.add_option("-c,--channels", options->channels, "Output channels")->check(CLI::IsMember({1, 2}));
  command.add_option("-b,--bits", options->bits, "Output bits per sample")->check(CLI::IsMember({8, 16}));
  command.add_flag("--show-plan", options->showPlan,
                   "Print the conversion plan: type, stages, block frames, L, M, stride, taps");
  return [options](Console& console) { return Resample(*options, console); };
}

}  // namespace ksv::ksvcam
