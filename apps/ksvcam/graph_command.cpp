// `ksvcam graph DESCRIPTION [--seconds S] [--verbose]`: builds a filter
// graph from one line (graph_description.h) and runs it until it completes,
// Escape is pressed or S seconds have passed, as a person tries graphs out.
#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <memory>

#include "apps/ksvcam/commands.h"
#include "apps/ksvcam/option_checks.h"
#include "apps/ksvcam/graph_builder.h"
#include "apps/ksvcam/graph_description.h"
#include "apps/ksvcam/graph_report.h"
#include "apps/ksvcam/hresult_text.h"
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

int RunGraph(const GraphOptions& options, Console& console) {
  const GraphDescription description = ParseGraphDescription(options.description);
  const ComSession com;
  EnsureMediaFramework();
  const BuiltGraph built = BuildGraph(description);
  if (options.verbose) PrintGraph(built.graph.Get(), console.out);

  const auto control = Query<IMediaControl>(built.graph.Get(), "IMediaControl");
  const auto events = Query<IMediaEventEx>(built.graph.Get(), "IMediaEventEx");
  const auto start = std::chrono::steady_clock::now();
  const auto elapsed = [&start] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
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
    if (outcome.empty() && options.seconds > 0 && elapsed() >= options.seconds) {
      outcome = "stopped after --seconds";
    }
    progress.Draw("running " + SecondsText(elapsed()) + " (Escape stops)");
  }
  progress.Clear();
  control->Stop();
  console.out << "graph " << outcome << " after " << SecondsText(elapsed()) << ", "
              << FilterCount(built.graph.Get()) << " filters\n";
  if (!outcome.starts_with("stopped on an error")) return kExitOk;
  throw CommandFailure("the graph stopped on an error: " + HresultText(failure));
}

}  // namespace

CommandRun GraphCommand(CLI::App& app) {
  auto options = std::make_shared<GraphOptions>();
  CLI::App& command = *app.add_subcommand(
      "graph", "Builds a filter graph from one line and runs it: 'A file=in ! B ! C name=c'");
  command.add_option("description", options->description,
                     "Filters separated by ' ! ': a friendly name or {CLSID}, then file=PATH "
                     "and name=ID; ID. continues from the filter named ID")
      ->required();
  command.add_option("-s,--seconds", options->seconds, "Stop after this many seconds")
      ->type_name("S")
      ->check(AboveZero());
  command.add_flag("-v,--verbose", options->verbose,
                   "Print the graph built: filters, connections and media types");
  return [options](Console& console) { return RunGraph(*options, console); };
}

}  // namespace ksv::ksvcam
