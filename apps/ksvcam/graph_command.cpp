// `ksvcam graph DESCRIPTION [--seconds S] [--verbose]`: builds a filter
// graph from one line (graph_description.h) and runs it until it completes,
// Escape or Ctrl-C is pressed or S seconds have passed, as a person tries
// graphs out. What a File writer writes appears under its name only when
// the graph ended without an error.
#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "apps/ksvcam/command_files.h"
#include "apps/ksvcam/commands.h"
#include "apps/ksvcam/option_checks.h"
#include "apps/ksvcam/graph_builder.h"
#include "apps/ksvcam/graph_client.h"
#include "apps/ksvcam/graph_description.h"
#include "apps/ksvcam/graph_ends.h"
#include "apps/ksvcam/graph_report.h"
#include "apps/ksvcam/hresult_text.h"
#include "apps/ksvcam/interruption.h"
#include "apps/ksvcam/media_setup.h"
#include "apps/ksvcam/terminal_escape.h"
#include "platform/ui/user32.h"

namespace ksv::ksvcam {
namespace {

struct GraphOptions {
  std::string description;
  double seconds = 0;  // 0: until the graph completes
  bool verbose = false;
};

std::string SecondsText(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f s", seconds);
  return text;
}

template <class T>
com::ComPtr<T> Query(IUnknown* object, const char* what) {
  com::ComPtr<T> result;
  const HRESULT status = object->QueryInterface(T::kIid, reinterpret_cast<void**>(result.GetAddressOf()));
  if (FAILED(status)) throw CommandFailure(std::string("the graph has no ") + what);
  return result;
}

// The grammar and examples; each example runs in the tests on a fresh machine.
constexpr char kGraphHelpFooter[] =
    "Grammar:\n"
    "  description := chain (' ; ' chain)*    (a new line also ends a chain)\n"
    "  chain       := element (' ! ' element)*\n"
    "  element     := NAME [file=PATH] [name=ID] | {CLSID} [file=PATH] [name=ID] | ID.\n"
    "Examples:\n"
    "  ksvcam graph 'File Source (Async.) file=in.avi ! AVI Splitter ! AVI Mux ! File writer "
    "file=out.avi'\n"
    "  ksvcam graph --seconds 10 'RMC900 USB Camera ! AVI Mux name=m ! File writer file=x.avi ; "
    "KSV Simulated Microphone ! m.'\n";

int RunGraph(const GraphOptions& options, Console& console) {
  const GraphDescription description = ParseGraphDescription(options.description);
  const ComSession com;
  EnsureMediaMachine();
  // Each file sink writes beside its file, put in place once the graph
  // stopped without an error; its file must be none of the others.
  std::vector<std::unique_ptr<OutputFile>> outputs;
  const auto sinkPath = [&](const std::string& file) {
    std::vector<std::string> others;
    bool self = false;
    for (const GraphElement& element : description.filters) {
      if (element.file.empty()) continue;
      if (element.file == file && !self) {
        self = true;
      } else {
        others.push_back(element.file);
      }
    }
    outputs.push_back(std::make_unique<OutputFile>(file, others));
    return outputs.back()->temporary();
  };
  const BuiltGraph built = BuildGraph(description, sinkPath);
  if (options.verbose) PrintGraph(built.graph.Get(), console.out);
  CheckTheGraphEnds(built.graph.Get(), options.seconds);

  const auto control = Query<IMediaControl>(built.graph.Get(), "IMediaControl");
  const auto events = Query<IMediaEventEx>(built.graph.Get(), "IMediaEventEx");
  const auto start = std::chrono::steady_clock::now();
  const auto elapsed = [&start] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  const InterruptWatch interrupt;
  HRESULT result = control->Run();
  if (FAILED(result)) {
    control->Stop();
    throw CommandFailure("cannot run the graph: " + HresultText(result));
  }

  TerminalEscape escape;
  ProgressLine progress(console);
  std::string outcome;
  HRESULT failure = S_OK;
  while (outcome.empty()) {
    LONG code = 0;
    LONG_PTR param1 = 0;
    LONG_PTR param2 = 0;
    if (events->GetEvent(&code, &param1, &param2, 100) == S_OK) {
      events->FreeEventParams(code, param1, param2);
      if (code == EC_COMPLETE) outcome = "completed (EC_COMPLETE)";
      if (code == EC_USERABORT) outcome = "ended by the user (EC_USERABORT)";
      if (code == EC_ERRORABORT) {
        outcome = "stopped on an error (EC_ERRORABORT)";
        failure = static_cast<HRESULT>(param1);
      }
    }
    if (outcome.empty() && escape.Pressed()) outcome = "stopped by Escape";
    if (outcome.empty() && InterruptWatch::Requested()) outcome = "stopped by a signal (Ctrl-C)";
    if (outcome.empty() && options.seconds > 0 && elapsed() >= options.seconds) {
      outcome = "stopped after --seconds";
    }
    progress.Draw("running " + SecondsText(elapsed()) + " (Escape stops)");
  }
  progress.Clear();
  control->Stop();
  console.out << "graph " << outcome << " after " << SecondsText(elapsed()) << ", "
              << FilterCount(built.graph.Get()) << " filters\n";
  if (outcome.starts_with("stopped on an error")) {
    throw CommandFailure("the graph stopped on an error: " + HresultText(failure));
  }
  for (const auto& output : outputs) output->Commit();
  return kExitOk;
}

}  // namespace

CommandRun GraphCommand(CLI::App& app) {
  auto options = std::make_shared<GraphOptions>();
  CLI::App& command = *app.add_subcommand(
      "graph", "Builds a filter graph from one line and runs it: 'A file=in ! B ! C name=c'");
  command.add_option("description", options->description,
                     "Chains of filters separated by ' ! ', chains by ' ; ' or a new line: a "
                     "friendly name or {CLSID}, then file=PATH and name=ID; ID. continues from "
                     "(or, ending a chain, joins into) the filter named ID")
      ->required();
  command.footer(kGraphHelpFooter);
  command.add_option("-s,--seconds", options->seconds, "Stop after this many seconds")
      ->type_name("S")
      ->check(AboveZero());
  command.add_flag("-v,--verbose", options->verbose,
                   "Print the graph built: filters, connections and media types");
  return [options](Console& console) { return RunGraph(*options, console); };
}

}  // namespace ksv::ksvcam
