// `ksvcam controls list|get|set`: the camera's picture controls through the
// camera driver, loaded into the USB camera class driver with the simulated
// camera plugged in. The driver keeps each change in the registry, so a
// setting holds for every later run (and `ksvcam capture`).
#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>

#include "apps/ksvcam/commands.h"
#include "apps/ksvcam/parsers.h"
#include "outside/camprop/control_client.h"
#include "rig/camera_rig.h"
#include "simcam/simulated_camera.h"

namespace ksv::ksvcam {
namespace {

using outside::camprop::ControlState;

struct ControlsOptions {
  std::string name;
  std::string value;
  bool automatic = false;
  bool manual = false;
};

// The driver loaded with the simulated camera plugged in and started; the
// camera's waits run on the rig's simulated clock, so they take no real time.
class LoadedCamera {
 public:
  LoadedCamera() { rig::Require(rig_.Start(), "starting the camera"); }
  ~LoadedCamera() { rig_.Stop(); }
  LoadedCamera(const LoadedCamera&) = delete;
  LoadedCamera& operator=(const LoadedCamera&) = delete;

  outside::camprop::ControlClient Client() {
    return {rig_.Camera(), rig_.Streams().StreamHeader};
  }

 private:
  simcam::SimulatedCamera camera_;
  rig::CameraRig rig_{{.device = &camera_}};
};

std::string Mode(const ControlState& state) {
  if (!state.control->hasAuto) return "-";
  return state.automatic ? "auto" : "manual";
}

void PrintState(const ControlState& state, Console& console) {
  console.out << state.control->name << ' ' << state.value;
  if (state.control->hasAuto) console.out << ' ' << Mode(state);
  console.out << '\n';
}

void PrintList(const std::vector<ControlState>& states, Console& console) {
  char line[128];
  std::snprintf(line, sizeof line, "%-14s %-8s %4s %7s %6s  %s\n", "control", "range", "step",
                "default", "value", "mode");
  console.out << line;
  for (const ControlState& s : states) {
    const std::string range = std::to_string(s.minimum) + ".." + std::to_string(s.maximum);
    std::snprintf(line, sizeof line, "%-14s %-8s %4d %7d %6d  %s\n", s.control->name, range.c_str(),
                  s.step, s.defaultValue, s.value, Mode(s).c_str());
    console.out << line;
  }
}

int RunControls(const std::string& action, const ControlsOptions& options, Console& console) {
  // Name and value are checked before the camera is touched.
  const auto* control = action == "list" ? nullptr : &outside::camprop::FindControl(options.name);
  const int32_t value = action == "set" ? ParseWholeNumber(options.value) : 0;
  LoadedCamera camera;
  outside::camprop::ControlClient client = camera.Client();
  if (action == "list") {
    PrintList(client.List(), console);
  } else if (action == "get") {
    PrintState(client.Get(*control), console);
  } else {
    const std::optional<bool> automatic = options.automatic ? std::optional(true)
                                          : options.manual  ? std::optional(false)
                                                            : std::nullopt;
    PrintState(client.Set(*control, value, automatic), console);
  }
  return kExitOk;
}

}  // namespace

CommandRun ControlsCommand(CLI::App& app) {
  auto options = std::make_shared<ControlsOptions>();
  CLI::App& command = *app.add_subcommand(
      "controls", "Show and change the camera's picture controls (kept between runs).");
  command.require_subcommand(1);
  command.add_subcommand("list", "Every control with its range, default, value and mode");
  CLI::App& get = *command.add_subcommand("get", "Print one control's value (and mode)");
  get.add_option("name", options->name, "Control name (see 'list')")->required();
  CLI::App& set = *command.add_subcommand(
      "set", "Change a control; a value without --auto makes white balance or exposure manual");
  set.add_option("name", options->name, "Control name (see 'list')")->required();
  set.add_option("value", options->value, "The new value, within the control's range")->required();
  CLI::Option* automatic =
      set.add_flag("--auto", options->automatic, "Let the camera set it (white-balance, exposure)");
  set.add_flag("--manual", options->manual, "Use the value given")->excludes(automatic);
  return [options, &command](Console& console) {
    return RunControls(command.get_subcommands().front()->get_name(), *options, console);
  };
}

}  // namespace ksv::ksvcam
