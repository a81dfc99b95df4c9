// `ksvcam settings [--host twain|video] [--screenshot FILE.png [--page N]]`:
// the camera's settings pages on the machine's camera, which this process
// plugs, starts and streams as a capture program would, so that every
// change shows in the live picture. --host twain opens them as the
// scanner-interface control does (KXDSEXPG_Open). With a display a person
// uses them; --screenshot opens them headless, saves page N (from 0, in the
// order the sheet shows them) as a PNG and closes them with Cancel, which
// puts the picture controls back as they were.
#include <CLI/CLI.hpp>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>

#include "apps/ksvcam/command_files.h"
#include "apps/ksvcam/commands.h"
#include "apps/ksvcam/machine_camera.h"
#include "apps/ksvcam/media_setup.h"
#include "apps/ksvcam/parsers.h"
#include "apps/ksvcam/settings_files.h"
#include "include/oksv1dep.h"
#include "platform/root/system_root.h"
#include "platform/ui/answerer.h"
#include "platform/ui/input.h"
#include "platform/ui/sheets/property_sheets.h"
#include "platform/ui/presenter/presenter.h"
#include "platform/ui/surface.h"
#include "platform/usbcamd/camera_stack.h"
#include "platform/vfw/video_source.h"

namespace ksv::ksvcam {
namespace {

namespace ui = platform::ui;
namespace usb = platform::usbcamd;

struct SettingsOptions {
  std::string host = "twain";
  std::string screenshot;
  int page = 0;
};

// The machine's camera, plugged (as `setup` lists it when nobody did),
// started and streaming 320 x 240 for as long as this lives; a reader takes
// its frames as a capture program would.
class StreamingCamera {
 public:
  StreamingCamera() : stack_(StartMachineCamera()) {
    std::vector<uint8_t> bytes;
    if (stack_->Ranges().empty() || stack_->Intersect(*stack_->Ranges()[0], bytes) != 0 ||
        bytes.size() < sizeof(usb::KS_DATAFORMAT_VIDEOINFOHEADER)) {
      throw CommandFailure("the camera offers no video format");
    }
    usb::KS_DATAFORMAT_VIDEOINFOHEADER format;
    std::memcpy(&format, bytes.data(), sizeof format);
    if (stack_->OpenStream(format) != 0) throw CommandFailure("the camera's stream does not open");
    reader_ = std::thread([this] {
      std::vector<uint8_t> frame(format_bytes_);
      while (stack_->ReadFrame(frame)) {
      }
    });
  }
  ~StreamingCamera() {
    stack_->CancelRead();
    if (reader_.joinable()) reader_.join();
    stack_->CloseStream();
  }
  StreamingCamera(const StreamingCamera&) = delete;
  StreamingCamera& operator=(const StreamingCamera&) = delete;

 private:
  static constexpr size_t format_bytes_ = 320 * 240 * 3;
  std::unique_ptr<usb::CameraStack> stack_;
  std::thread reader_;
};

// The property sheet in a modal element: the element itself, or the child
// sheet near its top left corner (where a person sees its tabs).
HWND SheetIn(HWND window) {
  if (SendMessageA(window, PSM_GETTABCONTROL, 0, 0) != 0) return window;
  // A child made without a control identifier (CreatePropertySheet's) is item 0.
  if (HWND child = GetDlgItem(window, 0); child != nullptr && SendMessageA(child, PSM_GETTABCONTROL, 0, 0) != 0) {
    return child;
  }
  for (int at = 8; at <= 40; at += 8) {
    for (HWND found = ui::input::WindowAt(window, at, at); found != nullptr && found != window;
         found = GetParent(found)) {
      if (SendMessageA(found, PSM_GETTABCONTROL, 0, 0) != 0) return found;
    }
  }
  return nullptr;
}

// The script of --screenshot: shows page `page`, saves the element's
// picture, cancels. `problem` says what went wrong.
ui::Answerer ScreenshotScript(const SettingsOptions& options, const std::string& file, std::string& problem,
                              std::string& title) {
  return [&options, &file, &problem, &title](const ui::ModalElement& element) {
    HWND sheet = SheetIn(element.window);
    if (sheet == nullptr) {
      problem = "the settings show no property sheet";
      EndDialog(element.window, IDCANCEL);
      return;
    }
    HWND tab = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
    const int pages = static_cast<int>(SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0));
    if (options.page >= pages) {
      problem = "usage: --page " + std::to_string(options.page) + ": the sheet has " + std::to_string(pages) +
                " pages (0.." + std::to_string(pages - 1) + ")";
    } else {
      ui::answer::ClickTab(element.window, tab, options.page);
      ui::answer::Settle(element.window);
      char text[128] = {};
      TCITEMA item{};
      item.mask = TCIF_TEXT;
      item.pszText = text;
      item.cchTextMax = sizeof text;
      SendMessageA(tab, TCM_GETITEMA, static_cast<WPARAM>(options.page), reinterpret_cast<LPARAM>(&item));
      title = text;
      ui::CreateSurface(element.window);
      InvalidateRect(element.window, nullptr, TRUE);
      ui::answer::Settle(element.window);
      if (ui::SaveSurfacePng(element.window, file) == FALSE) {
        problem = "cannot write the screenshot " + Quoted(options.screenshot);
      }
    }
    // Cancel (the sheet's button, or the dialog's close box): the pages put
    // back what they changed.
    if (sheet == element.window) {
      SendMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    } else {
      SendMessageA(element.window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
    ui::answer::Settle(element.window);
  };
}

int RunSettings(const SettingsOptions& options, Console& console) {
  if (options.host != "twain" && options.host != "video") {
    throw UsageError("--host " + Quoted(options.host) + ": give twain or video");
  }
  if (options.screenshot.empty() && !ui::StartPresenter()) {
    throw UsageError("there is no display to show the settings on: give --screenshot FILE.png");
  }
  std::optional<OutputFile> output;
  if (!options.screenshot.empty()) {
    CheckOutputExtension(options.screenshot, "--screenshot", "settings saves a PNG picture", ".png");
    output.emplace(options.screenshot, std::vector<std::string>{});
  }
  // The pages read their texts from the system folder, as installed.
  InstallSettingsFiles(platform::SystemRoot());
  StreamingCamera camera;
  std::string problem, title;
  const std::string temporary = output ? output->temporary() : std::string();
  if (output) ui::SetAnswerer(ScreenshotScript(options, temporary, problem, title));
  struct AnswererGone {
    ~AnswererGone() { ui::SetAnswerer({}); }
  } answererGone;
  bool extensionMissing = false;
  if (options.host == "twain") {
    if (KXDSEXPG_Open(kCameraDriverName, kCameraVidPid, kSettingsLocalizationName) == 0) {
      throw CommandFailure("the settings pages cannot reach the camera");
    }
  } else {
    EnsureMediaFramework();  // the mapper's format page is the framework's, over its camera proxy
    if (!platform::vfw::RegisteredExtension()) RegisterSettingsExtension();
    const platform::vfw::VideoSourceOutcome shown = platform::vfw::ShowVideoSourceDialog(nullptr);
    if (shown.result == -1) throw CommandFailure("the Video Source dialog cannot be shown");
    extensionMissing = shown.extensionPages == 0;
  }
  if (problem.rfind("usage: ", 0) == 0) throw UsageError(problem.substr(7));
  if (!problem.empty()) throw CommandFailure(problem);
  if (output) {
    output->Commit();
    console.out << "screenshot " << options.screenshot << ": page " << options.page << " (" << title
                << ")\n";
  }
  // The sheet showed the mapper's own pages alone: the camera's are missing.
  if (extensionMissing) throw CommandFailure("the camera's settings extension added no pages");
  return kExitOk;
}

}  // namespace

CommandRun SettingsCommand(CLI::App& app) {
  auto options = std::make_shared<SettingsOptions>();
  CLI::App& command = *app.add_subcommand(
      "settings", "Opens the camera's settings pages on the streaming camera");
  command.add_option("--host", options->host,
                     "Who shows the pages: twain (the scanner interface's dialog) or video (the "
                     "video-capture driver mapper's Video Source sheet)")
      ->type_name("twain|video")
      ->capture_default_str();
  CLI::Option* screenshot =
      command.add_option("--screenshot", options->screenshot,
                         "Open them headless, save a page as a PNG file and cancel")
          ->type_name("FILE.png");
  command.add_option("--page", options->page, "The page --screenshot saves, from 0")
      ->type_name("N")
      ->check(CLI::NonNegativeNumber)
      ->needs(screenshot)
      ->capture_default_str();
  return [options](Console& console) { return RunSettings(*options, console); };
}

}  // namespace ksv::ksvcam
