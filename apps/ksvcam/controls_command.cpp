#include "apps/ksvcam/controls_command.h"

#include <CLI/CLI.hpp>
#include <cstdio>

#include "apps/ksvcam/camera_controls.h"
#include "apps/ksvcam/console.h"
#include "rig/camera_rig.h"
#include "simcam/simulated_camera.h"

namespace ksv::ksvcam {
namespace {

// The driver loaded with the simulated camera plugged in and started; the
// camera's waits run on the rig's simulated clock, so they take no real time.
class LoadedCamera {
 public:
  LoadedCamera() {
    const rig::NTSTATUS status = rig_.Start();
    if (!platform::kernel::NT_SUCCESS(status)) {
      throw CommandFailure(rig::RigError("starting the camera", status).what());
    }
  }
  ~LoadedCamera() { rig_.Stop(); }
  LoadedCamera(const LoadedCamera&) = delete;
  LoadedCamera& operator=(const LoadedCamera&) = delete;

  ControlClient Client() { return ControlClient(rig_.Camera(), rig_.Streams().StreamHeader); }

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

}  // namespace

CLI::App& AddControlsCommand(CLI::App& app, ControlsOptions& options) {
  CLI::App& command = *app.add_subcommand(
      "controls", "Show and change the camera's picture controls (kept between runs).");
  command.require_subcommand(1);
  command.add_subcommand("list", "Every control with its range, default, value and mode");
  CLI::App& get = *command.add_subcommand("get", "Print one control's value (and mode)");
  get.add_option("name", options.name, "Control name (see 'list')")->required();
  CLI::App& set = *command.add_subcommand(
      "set", "Change a control; a value without --auto makes white balance or exposure manual");
  set.add_option("name", options.name, "Control name (see 'list')")->required();
  set.add_option("value", options.value, "The new value, within the control's range")->required();
  CLI::Option* automatic =
      set.add_flag("--auto", options.automatic, "Let the camera set it (white-balance, exposure)");
  set.add_flag("--manual", options.manual, "Use the value given")->excludes(automatic);
  return command;
}

int RunControls(const CLI::App& command, const ControlsOptions& options, Console& console) {
  const std::string action = command.get_subcommands().front()->get_name();
  // Name and value are checked before the camera is touched.
  const ControlDescription* control = action == "list" ? nullptr : &FindControl(options.name);
  const int32_t value = action == "set" ? ParseControlValue(options.value) : 0;
  LoadedCamera camera;
  ControlClient client = camera.Client();
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

}  // namespace ksv::ksvcam
