// `ksvcam acquire [--out DIR [--bmp]] [--do ACTION ...] [--timeout S]` and
// `ksvcam acquire --uiless -o FILE.png`: the camera as an image application
// gets it through the scanner interface. The application loads the data
// source "KSVCam.ds" (which plugs the machine's camera and makes the
// scanner-interface control on it) and writes each image the data source
// hands it into DIR as Image1.png, Image2.png, ... With a display a person
// works the acquisition window until Exit; --do acts as a person through
// the input seam, action after action.
#include <CLI/CLI.hpp>
#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <span>
#include <sstream>
#include <thread>

#include "apps/ksvcam/commands.h"
#include "apps/ksvcam/graph_client.h"
#include "apps/ksvcam/interruption.h"
#include "apps/ksvcam/machine_camera.h"
#include "apps/ksvcam/option_checks.h"
#include "apps/ksvcam/parsers.h"
#include "apps/ksvcam/scanner_setup.h"
#include "apps/ksvcam/settings_files.h"
#include "common/folders.h"
#include "outside/twainds/data_source.h"
#include "platform/memory/global_memory.h"
#include "platform/root/system_root.h"
#include "platform/shell/shell.h"
#include "platform/ui/answerer.h"
#include "platform/ui/input.h"
#include "platform/ui/presenter/presenter.h"
#include "platform/ui/surface.h"
#include "platform/ui/window.h"
#include "support/picture/picture_file.h"

namespace ksv::ksvcam {
// A named namespace: the tool's files are compiled in batches.
namespace acquire_run {

namespace fs = std::filesystem;
namespace ui = platform::ui;

struct AcquireOptions {
  std::string out;
  bool bmp = false;
  std::vector<std::string> actions;
  double timeout = 60;
  bool uiless = false;
  std::string output;  // -o with --uiless
};

// The window's buttons, by their control identifiers.
enum ButtonId {
  kSnapShot = 2000,
  kColoring = 2001,
  kTransfer = 2002,
  kTransferAll = 2003,
  kExit = 2004,
  kPageBack = 2005,
  kPageForward = 2006,
  kDownload = 2007,
  kSaveAll = 2008,
};

// How a scripted person answers Save All: the folder the browser is given,
// and Yes or No to the question.
struct SaveAllAnswer {
  std::string folder;
  bool yes = true;
};

// The thumbnail cells a person clicks, by layout: the small one shows one
// column of four, the large one two columns of five rows.
constexpr POINT kSmallCells[] = {{570, 90}, {570, 197}, {570, 304}, {570, 411}};
constexpr POINT kLargeCells[] = {{570, 95}, {690, 95}, {570, 202}, {690, 202}, {570, 309},
                                 {690, 309}, {570, 416}, {690, 416}};

// The data source module, loaded as an image application's source manager
// loads it: by path, its functions by name.
class DataSourceModule {
 public:
  DataSourceModule() {
    const fs::path path = ksv::ksvcam::DataSourceModule();
    module_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module_ == nullptr) throw CommandFailure("cannot load the data source " + Quoted(path.string()) + ": " + dlerror());
    open = Find<KSVDS_OpenFunction>("KSVDS_Open");
    window = Find<KSVDS_WindowFunction>("KSVDS_Window");
    capture = Find<KSVDS_CountFunction>("KSVDS_Capture");
    finished = Find<KSVDS_CountFunction>("KSVDS_Finished");
    close = Find<KSVDS_CloseFunction>("KSVDS_Close");
  }
  DataSourceModule(const DataSourceModule&) = delete;
  DataSourceModule& operator=(const DataSourceModule&) = delete;
  // Kept loaded: the libraries it brought in hold the process's windows.

  KSVDS_OpenFunction open;
  KSVDS_WindowFunction window;
  KSVDS_CountFunction capture;
  KSVDS_CountFunction finished;
  KSVDS_CloseFunction close;

 private:
  template <typename Function>
  Function Find(const char* name) {
    void* found = dlsym(module_, name);
    if (found == nullptr) throw CommandFailure(std::string("the data source has no ") + name);
    return reinterpret_cast<Function>(found);
  }
  void* module_;
};

picture::RgbPicture PictureOf(HGLOBAL bitmap) {
  const auto* bytes = static_cast<const uint8_t*>(GlobalLock(bitmap));
  BITMAPINFOHEADER header;
  std::memcpy(&header, bytes, sizeof header);
  picture::RgbPicture result;
  result.width = static_cast<uint32_t>(header.biWidth);
  result.height = static_cast<uint32_t>(std::abs(header.biHeight));
  result.pixels.resize(static_cast<size_t>(result.width) * result.height * 3);
  const size_t stride = (static_cast<size_t>(result.width) * 3 + 3) & ~size_t{3};
  const uint8_t* rows = bytes + header.biSize;
  if (header.biBitCount == 24) {
    for (uint32_t y = 0; y < result.height; ++y) {
      const uint8_t* row = rows + stride * (header.biHeight > 0 ? result.height - 1 - y : y);
      for (uint32_t x = 0; x < result.width; ++x) {
        uint8_t* to = result.pixels.data() + (static_cast<size_t>(y) * result.width + x) * 3;
        to[0] = row[x * 3 + 2];
        to[1] = row[x * 3 + 1];
        to[2] = row[x * 3];
      }
    }
  }
  GlobalUnlock(bitmap);
  return result;
}

// Where the images go.
struct ImageSink {
  std::string folder;
  bool bmp = false;
  std::string single;  // --uiless: this one file
  int written = 0;
  std::string error;
  Console* console = nullptr;

  static void Take(intptr_t user, HGLOBAL bitmap, int32_t /*index*/, int32_t /*total*/) {
    auto& sink = *reinterpret_cast<ImageSink*>(user);
    try {
      const picture::RgbPicture image = PictureOf(bitmap);
      const fs::path path = !sink.single.empty()
                                ? fs::path(sink.single)
                                : fs::path(sink.folder) / ("Image" + std::to_string(sink.written + 1) + (sink.bmp ? ".bmp" : ".png"));
      picture::WritePicture(path, image);
      ++sink.written;
      sink.console->out << "wrote " << path.string() << " (" << image.width << "x" << image.height << ")\n";
    } catch (const std::exception& failure) {
      if (sink.error.empty()) sink.error = failure.what();
    }
  }
};

void Pump() {
  MSG message{};
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

// Pumps for `seconds` of real time, or until `done` says so.
template <typename Done>
bool PumpUntil(double seconds, Done done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  for (;;) {
    Pump();
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

class Script {
 public:
  Script(DataSourceModule& module, KSVDS_HANDLE source, double timeout, SaveAllAnswer& saveAll)
      : module_(module), source_(source), timeout_(timeout),
        window_(module.window(source)), saveAll_(saveAll) {}

  void Run(const std::string& action, Console& console) {
    const size_t colon = action.find(':');
    const std::string verb = action.substr(0, colon);
    const std::string argument = colon == std::string::npos ? std::string() : action.substr(colon + 1);
    if (verb == "snapshot") {
      Click(kSnapShot);
    } else if (verb == "transfer") {
      Click(kTransfer);
    } else if (verb == "transfer-all") {
      Click(kTransferAll);
    } else if (verb == "download") {
      Click(kDownload);
    } else if (verb == "save-all" || verb == "save-all-no") {
      saveAll_ = {fs::absolute(argument).string(), verb == "save-all"};
      Click(kSaveAll);
    } else if (verb == "settings") {
      Click(kColoring);
    } else if (verb == "exit") {
      Click(kExit);
      if (!PumpUntil(timeout_, [this] { return module_.finished(source_) != 0; })) NotDone(action);
      return;
    } else if (verb == "wait") {
      PumpUntil(std::stod(argument), [] { return false; });
    } else if (verb == "select") {
      Select(argument);
    } else if (verb == "screenshot") {
      // What the window shows now, the live picture drawn in by the last
      // tick of the preview.
      PumpUntil(0.1, [] { return false; });
      if (ui::SaveSurfacePng(window_, argument) == FALSE) throw CommandFailure("cannot write the screenshot " + Quoted(argument));
      console.out << "screenshot " << argument << "\n";
    }
    if (!PumpUntil(timeout_, [this] { return Settled(); })) NotDone(action);
  }

 private:
  [[noreturn]] void NotDone(const std::string& action) {
    throw CommandFailure("--do " + action + " was not done within " + std::to_string(static_cast<int>(timeout_)) +
                         " s (the window did not come back to its normal or no-camera state)");
  }

  // Where a button sits in the window, as a person sees it.
  RECT ButtonRect(int id) const {
    HWND button = GetDlgItem(window_, id);
    const auto record = button == nullptr ? nullptr : ui::Find(button);
    if (record == nullptr) return {};
    std::shared_lock guard(ui::TableLock());
    return record->rect;
  }

  void ClickAt(POINT at, unsigned keys = ui::input::kNoKeys) {
    ui::input::MoveAt(window_, at.x, at.y, keys);
    Pump();
    ui::input::PressAt(window_, at.x, at.y, keys);
    ui::input::ReleaseAt(window_, at.x, at.y, keys);
    Pump();
  }

  void Click(int id) {
    const RECT r = ButtonRect(id);
    ClickAt({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
  }

  bool Enabled(int id) const {
    HWND button = GetDlgItem(window_, id);
    return button != nullptr && IsWindowEnabled(button) != FALSE;
  }

  // The window is back in its normal state (SnapShot and Exit enabled; the
  // paging and transfer buttons too once it holds images) or its no-camera
  // state (SnapShot off, Exit and paging on), not busy (only Exit on), and
  // the status window is hidden.
  bool Settled() const {
    if (!Enabled(kExit) || (!Enabled(kSnapShot) && !Enabled(kPageForward))) return false;
    HWND status = FindWindowA(nullptr, "Camera status");
    return status == nullptr || IsWindowVisible(status) == FALSE;
  }

  // The images the window shows, from the files it keeps for them.
  static int ImageCount() {
    int newest = 0;
    fs::file_time_type when{};
    std::error_code error;
    const fs::path images = platform::SystemRoot() / "system32" / "Images";
    for (fs::directory_iterator entry(images, error), end; !error && entry != end; entry.increment(error)) {
      if (!entry->is_directory(error)) continue;
      const auto time = entry->last_write_time(error);
      if (newest == 0 || time > when) {
        when = time;
        newest = static_cast<int>(common::ListPlainFiles(entry->path().string() + "/").size());
      }
    }
    return newest;
  }

  // Thumbnails N, ... (from 1) selected with Control held, paging the grid
  // to each.
  void Select(const std::string& list) {
    RECT client{};
    GetClientRect(window_, &client);
    const bool large = client.right > 640;
    const std::span<const POINT> cells = large ? std::span<const POINT>(kLargeCells) : std::span<const POINT>(kSmallCells);
    const int page = static_cast<int>(cells.size());
    const int count = ImageCount();
    std::stringstream items(list);
    for (std::string item; std::getline(items, item, ',');) {
      const int number = std::stoi(item);
      if (number < 1 || number > count) {
        throw UsageError("--do select:" + list + ": the window shows " + std::to_string(count) + " images");
      }
      // Back to the first page, then on to the one that shows it.
      for (int i = 0; i <= count / page; ++i) Click(kPageBack);
      int first = 0;
      if (count > page) {
        for (int i = 0; i < (number - 1) / page; ++i) Click(kPageForward);
        first = std::min((number - 1) / page * page, count - page);
      }
      ClickAt(cells[static_cast<size_t>(number - 1 - first)], ui::input::kControl);
    }
  }

  DataSourceModule& module_;
  KSVDS_HANDLE source_;
  double timeout_;
  HWND window_;
  SaveAllAnswer& saveAll_;
};

// Scripted runs answer every modal element as a person would: a message box
// is read out and acknowledged (a question answered as Save All's action
// says), the folder browser given Save All's folder, the settings pages
// closed.
void AnswerAsScript(Console& console, const SaveAllAnswer& saveAll) {
  ui::SetAnswerer([&console, &saveAll](const ui::ModalElement& element) {
    if (element.kind == ui::ModalKind::MessageBox) {
      console.err << "ksvcam: " << element.title << ": " << element.text << "\n";
      const bool question = GetDlgItem(element.window, IDYES) != nullptr;
      ui::answer::PressButton(element.window, !question ? IDOK : saveAll.yes ? IDYES : IDNO);
      return;
    }
    if (element.kind == ui::ModalKind::FolderBrowser) {
      ui::answer::Settle(element.window);
      if (saveAll.folder.empty()) {
        ui::answer::PressButton(element.window, IDCANCEL);
      } else {
        ui::answer::TypeInto(element.window, kBrowserEditId, saveAll.folder);
        ui::answer::PressButton(element.window, IDOK);
      }
      ui::answer::Settle(element.window);
      console.out << "chose " << (saveAll.folder.empty() ? std::string("no folder") : Quoted(saveAll.folder)) << "\n";
      return;
    }
    ui::answer::Settle(element.window);
    SendMessageA(element.window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    ui::answer::Settle(element.window);
    console.out << "closed " << (element.title.empty() ? std::string("a dialog") : Quoted(element.title)) << "\n";
  });
}

void CheckAction(const std::string& action) {
  const size_t colon = action.find(':');
  const std::string verb = action.substr(0, colon);
  const std::string argument = colon == std::string::npos ? std::string() : action.substr(colon + 1);
  const bool plain = verb == "snapshot" || verb == "transfer" || verb == "transfer-all" || verb == "download" ||
                     verb == "settings" || verb == "exit";
  if (plain && colon == std::string::npos) return;
  if (verb == "wait" && !argument.empty()) {
    char* end = nullptr;
    const double seconds = std::strtod(argument.c_str(), &end);
    if (*end == '\0' && seconds >= 0) return;
  }
  if (verb == "screenshot" && !argument.empty()) {
    CheckOutputExtension(argument, "--do screenshot", "a screenshot is a PNG picture", ".png");
    return;
  }
  if (verb == "select" && !argument.empty() && argument.find_first_not_of("0123456789,") == std::string::npos) return;
  if ((verb == "save-all" || verb == "save-all-no") && !argument.empty()) return;
  throw UsageError("--do " + Quoted(action) +
                   ": give snapshot, select:N[,N...], transfer, transfer-all, download, save-all:DIR, save-all-no:DIR, "
                   "settings, screenshot:FILE.png, wait:SECONDS or exit");
}

int RunAcquire(const AcquireOptions& options, Console& console) {
  for (const std::string& action : options.actions) CheckAction(action);
  if (options.uiless) {
    if (options.output.empty()) throw UsageError("--uiless needs -o FILE.png (the picture it takes)");
    if (!options.actions.empty() || !options.out.empty()) throw UsageError("--uiless takes one picture into -o: give no --do or --out");
    if (!picture::FormatOfName(options.output)) throw UsageError("-o " + Quoted(options.output) + ": give it a .png, .bmp or .jpg name");
  } else if (!options.output.empty()) {
    throw UsageError("-o goes with --uiless; give --out DIR for the window's transfers");
  }
  const bool scripted = !options.actions.empty();
  if (!options.uiless && !scripted && !ui::StartPresenter()) {
    throw UsageError("there is no display to show the acquisition window on: give --do ACTION (or --uiless -o FILE.png)");
  }
  const bool transfers = std::any_of(options.actions.begin(), options.actions.end(),
                                     [](const std::string& a) { return a == "transfer" || a == "transfer-all"; });
  if (!options.uiless && options.out.empty() && (transfers || !scripted)) {
    throw UsageError("give --out DIR for the images the window transfers");
  }
  std::vector<std::string> folders;
  if (!options.out.empty()) folders.push_back(options.out);
  for (const std::string& action : options.actions) {
    // The folder a person picks for Save All is one that exists.
    if (action.starts_with("save-all")) folders.push_back(action.substr(action.find(':') + 1));
  }
  for (const std::string& folder : folders) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) throw CommandFailure("cannot make " + Quoted(folder) + ": " + error.message());
  }

  // The machine as an installation leaves it: the camera listed with its
  // driver, the media framework, the settings pages' texts and the
  // scanner-interface folder.
  EnsureMediaMachine();
  InstallSettingsFiles(platform::SystemRoot());
  if (!fs::exists(ScannerInterfaceFolder() / "KSVCam.ds")) InstallScannerInterface([](const std::string&) {});

  SaveAllAnswer saveAll;
  if (scripted || options.uiless) AnswerAsScript(console, saveAll);
  struct AnswererGone {
    ~AnswererGone() { ui::SetAnswerer({}); }
  } answererGone;

  ImageSink sink;
  sink.folder = options.out;
  sink.bmp = options.bmp;
  sink.single = options.uiless ? options.output : std::string();
  sink.console = &console;
  DataSourceModule module;
  char error[256] = {};
  int32_t ready = 0;
  KSVDS_HANDLE source = module.open(nullptr, options.uiless ? 0 : 1, ImageSink::Take, reinterpret_cast<intptr_t>(&sink), &ready, error);
  if (source == nullptr) throw CommandFailure(error);
  struct Closed {
    DataSourceModule& module;
    KSVDS_HANDLE source;
    ~Closed() { module.close(source); }
  } closed{module, source};

  if (options.uiless) {
    if (module.capture(source) == 0) throw CommandFailure(ready ? "the camera took no picture" : "the camera is not ready");
  } else if (scripted) {
    Script script(module, source, options.timeout, saveAll);
    for (const std::string& action : options.actions) {
      if (module.finished(source) != 0) break;
      script.Run(action, console);
    }
  } else {
    // A person's run: until Exit, the window closed, or Ctrl-C (which ends
    // it as Exit does, the images written so far kept).
    InterruptWatch interrupt;
    const HWND window = module.window(source);
    while (module.finished(source) == 0 && IsWindow(window) != FALSE && !InterruptWatch::Requested()) {
      PumpUntil(0.05, [] { return false; });
    }
  }
  if (!sink.error.empty()) throw CommandFailure(sink.error);
  console.out << "acquired " << sink.written << (sink.written == 1 ? " image" : " images") << "\n";
  return kExitOk;
}

}  // namespace acquire_run

CommandRun AcquireCommand(CLI::App& app) {
  auto options = std::make_shared<acquire_run::AcquireOptions>();
  CLI::App& command = *app.add_subcommand(
      "acquire", "Takes pictures through the camera's scanner-interface window (its data source and control)");
  command.add_option("--out", options->out, "Folder the transferred images go into (created if missing)")
      ->type_name("DIR");
  command.add_flag("--bmp", options->bmp, "Write BMP files instead of PNG");
  command.add_option("--do", options->actions,
                     "Act as a person, in order: snapshot, select:N[,N...], transfer, transfer-all, download, "
                     "save-all:DIR (the folder chosen, the question answered Yes), save-all-no:DIR (answered No), "
                     "settings, screenshot:FILE.png, wait:SECONDS, exit")
      ->type_name("ACTION");
  command.add_option("--timeout", options->timeout, "Seconds an action may take")
      ->type_name("S")
      ->check(AboveZero())
      ->capture_default_str();
  command.add_flag("--uiless", options->uiless, "Take one picture without a window");
  command.add_option("-o", options->output, "The picture --uiless takes")->type_name("FILE.png");
  return [options](Console& console) { return acquire_run::RunAcquire(*options, console); };
}

}  // namespace ksv::ksvcam
