// `ksvcam preview [--device NAME] [--size WxH] [--caption TEXT]
// [--seconds S] [--screenshot FILE.png]`: the live preview of a video
// capture device through the media graph library, in a window on the
// screen (offscreen when there is no display) until Escape, the window is
// closed or S seconds have passed; --screenshot saves the window's picture
// at the end.
#include <CLI/CLI.hpp>
#include <memory>
#include <optional>

#include "apps/ksvcam/commands.h"
#include "apps/ksvcam/option_checks.h"
#include "apps/ksvcam/graph_client.h"
#include "apps/ksvcam/graph_names.h"
#include "apps/ksvcam/parsers.h"
#include "apps/ksvcam/view_window.h"
#include "platform/ui/presenter/presenter.h"

namespace ksv::ksvcam {
namespace {

struct PreviewOptions {
  std::string device;
  std::string size;
  std::string caption;
  double seconds = 0;
  std::string screenshot;
};

int RunPreview(const PreviewOptions& options, Console& console) {
  EnsureMediaMachine();
  std::optional<codec::FrameSize> size;
  if (!options.size.empty()) size = ParseFrameSize(options.size);
  ViewWindow view("ksvcam preview");
  GraphClient client(view.handle());
  const std::string device = ChooseName(NameList::VideoDevices, options.device, "--device");
  if (device.empty()) throw CommandFailure("there is no video capture device");
  SetWindowTextA(view.handle(), ("ksvcam preview: " + device).c_str());

  std::optional<QmgVideoFormat> format;
  if (size) format = FormatOfSize(device, size->width, size->height);
  client.CheckBuilt(QMG_BuildPreview(client.handle(), device.c_str(), format ? &*format : nullptr),
                    "the preview of " + Quoted(device) +
                        (size ? " at " + SizeText(*size) : std::string()));
  if (!options.caption.empty() &&
      QMG_SetVideoCaption(client.handle(), options.caption.c_str()) == 0) {
    throw CommandFailure("cannot set the caption " + Quoted(options.caption));
  }
  if (!view.Attach(client.handle())) throw CommandFailure("the preview shows no video window");
  CheckSomethingStopsIt(options.seconds, platform::ui::PresenterRunning());

  ProgressLine progress(console);
  GraphRunLimits limits;
  limits.seconds = options.seconds;
  limits.closed = [&view] { return view.closed(); };
  limits.onTick = [&](double seconds) {
    view.Refresh();
    progress.Draw("preview " + DurationText(seconds) + " (Escape stops)");
  };
  const GraphClient::Outcome outcome = client.Run(limits);
  progress.Clear();

  QmgVideoFormat shown{};
  QMG_GetVideoFormat(client.handle(), &shown);
  console.out << "preview of " << Quoted(device) << " at " << shown.width << "x" << shown.height
              << ": " << EndText(outcome.end) << " after " << DurationText(outcome.seconds)
              << "\n";
  if (!options.screenshot.empty()) {
    view.SavePng(options.screenshot);
    console.out << "screenshot " << options.screenshot << "\n";
  }
  return kExitOk;
}

}  // namespace

CommandRun PreviewCommand(CLI::App& app) {
  auto options = std::make_shared<PreviewOptions>();
  CLI::App& command = *app.add_subcommand(
      "preview", "Shows a video capture device's live picture in a window until Escape");
  command.add_option("-d,--device", options->device, "The video capture device (see 'devices')")
      ->type_name("NAME");
  command.add_option("-s,--size", options->size, "The picture size the device streams")
      ->type_name("WxH");
  command.add_option("--caption", options->caption, "A caption drawn on the picture")
      ->type_name("TEXT");
  command.add_option("--seconds", options->seconds, "Stop after this many seconds")
      ->type_name("S")
      ->check(AboveZero());
  command.add_option("--screenshot", options->screenshot,
                     "Save the window's picture at the end as a PNG file")
      ->type_name("FILE.png");
  return [options](Console& console) { return RunPreview(*options, console); };
}

}  // namespace ksv::ksvcam
