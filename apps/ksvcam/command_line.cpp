#include "apps/ksvcam/command_line.h"

#include <CLI/CLI.hpp>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "apps/ksvcam/commands.h"
#include "apps/ksvcam/manual_page.h"
#include "outside/camprop/control_client.h"

namespace ksv::ksvcam {
namespace {

// In the order `ksvcam --help` lists them.
constexpr CommandDefinition kCommands[] = {
    DecodeCommand,   DemoCommand,     StreamCommand,    SimulatePacketsCommand,
    MemoryCommand,   CaptureCommand,  RegistryCommand,  ControlsCommand,
    DownloadCommand, InfoCommand,     SetupCommand,     SnapshotConvertCommand,
    FiltersCommand,  GraphCommand,    ResampleCommand,  AviInfoCommand,
    AviFixCommand,   DevicesCommand,  PreviewCommand,   RecordCommand,
    RecordAudioCommand, AviCommand,   WavCommand,       PlayCommand,
    SettingsCommand, AcquireCommand, WiaCommand,
};

// The subcommand the arguments named, for the "see --help" hint.
std::string HelpHint(const CLI::App& app) {
  const auto chosen = app.get_subcommands();
  const std::string command = chosen.empty() ? "ksvcam" : "ksvcam " + chosen.front()->get_name();
  return " (see '" + command + " --help')";
}

// CLI11 reports a mistyped subcommand only as a missing one; name it instead.
std::string ParseErrorMessage(const CLI::App& app, const CLI::ParseError& error,
                              std::span<const std::string> args) {
  if (app.get_subcommands().empty() && args.size() > 1 && !args[1].empty() &&
      args[1].front() != '-') {
    std::string choices;
    for (const CLI::App* command : app.get_subcommands({})) {
      choices += (choices.empty() ? "" : " or ") + command->get_name();
    }
    return "unknown subcommand '" + args[1] + "' (choose " + choices + ")";
  }
  return error.what();
}

// --help as the manual page puts it: the value's name beside the option,
// its default and what it needs at the end of its description ("(default:
// 25)"), instead of CLI11's "HOW=button Needs: --snapshot-at".
class HelpFormatter : public CLI::Formatter {
 public:
  std::string make_option_opts(const CLI::Option* option) const override {
    std::string text;
    if (option->get_type_size() != 0 && !option->get_type_name().empty()) {
      text += " " + option->get_type_name();
      if (option->get_expected_max() == CLI::detail::expected_max_vector_size) text += " ...";
    }
    if (option->get_required() && option->nonpositional()) text += " (required)";
    return text;
  }
  std::string make_option_desc(const CLI::Option* option) const override {
    std::string text = option->get_description();
    if (option->get_type_size() != 0 && !option->get_default_str().empty()) {
      text += " (default: " + option->get_default_str() + ")";
    }
    std::string needs;
    for (const CLI::Option* other : option->get_needs()) {
      needs += (needs.empty() ? "" : " and ") + other->get_name();
    }
    if (!needs.empty()) text += "; needs " + needs;
    return text;
  }
};

using Commands = std::vector<std::pair<const CLI::App*, CommandRun>>;

// The command line with every subcommand; what each one runs.
Commands DefineCommandLine(CLI::App& app) {
  app.set_version_flag("--version", "ksvcam " KSVCAM_VERSION);
  app.formatter(std::make_shared<HelpFormatter>());
  app.require_subcommand(1);
  Commands commands;
  for (const CommandDefinition define : kCommands) {
    CommandRun run = define(app);
    commands.emplace_back(app.get_subcommands({}).back(), std::move(run));
  }
  return commands;
}

constexpr const char* kDescription =
    "The command-line tool of the KSV dual-mode camera: live video from the camera (capture, "
    "stream, preview, record), the pictures and clips it stores (download, memory, info), media "
    "files (AVI and WAV files: avi, wav, resample, play) and the graph tool (graph, filters). "
    "Every subcommand works on the simulated camera, so it runs on any machine.";

}  // namespace

std::string CommandLineManualPage(std::string_view date) {
  CLI::App app{kDescription, "ksvcam"};
  DefineCommandLine(app);
  return ManualPage(app, KSVCAM_VERSION, date);
}

int RunCommandLine(std::span<const std::string> args, Console& console) {
  // The build writes the manual page with `ksvcam --manual-page DATE`; not
  // an option people need, so --help does not list it.
  if (args.size() >= 2 && args[1] == "--manual-page") {
    console.out << CommandLineManualPage(args.size() > 2 ? args[2] : "");
    console.out.flush();
    return console.out ? kExitOk : kExitFailure;
  }
  CLI::App app{kDescription, "ksvcam"};
  const Commands commands = DefineCommandLine(app);

  std::vector<const char*> argv{"ksvcam"};
  if (!args.empty()) {
    argv.clear();
    for (const std::string& arg : args) argv.push_back(arg.c_str());
  }
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::Success& done) {  // --help, --version
    return app.exit(done, console.out, console.err);
  } catch (const CLI::ParseError& bad) {
    PrintError(console, ParseErrorMessage(app, bad, args) + HelpHint(app));
    return kExitUsage;
  }

  try {
    for (const auto& [command, run] : commands) {
      if (!command->parsed()) continue;
      const int status = run(console);
      console.out.flush();
      return status;
    }
    throw UsageError("no subcommand given");
  } catch (const UsageError& bad) {
    PrintError(console, bad.what() + HelpHint(app));
    return kExitUsage;
  } catch (const outside::camprop::BadControlRequest& bad) {
    PrintError(console, bad.what() + HelpHint(app));
    return kExitUsage;
  } catch (const std::bad_alloc&) {
    PrintError(console, "out of memory");
  } catch (const std::exception& failure) {
    PrintError(console, failure.what());
  }
  return kExitFailure;
}

}  // namespace ksv::ksvcam
