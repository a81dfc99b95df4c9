#include "apps/ksvcam/graph_client.h"

#include <unistd.h>

#include <cstdio>

#include "apps/ksvcam/machine_camera.h"
#include "apps/ksvcam/machine_microphone.h"
#include "apps/ksvcam/media_setup.h"
#include "apps/ksvcam/interruption.h"
#include "apps/ksvcam/terminal_escape.h"
#include "platform/hardware/device_list.h"
#include "platform/kernel/performance_counter.h"
#include "platform/sync/sync.h"
#include "platform/usbcamd/camera_stack.h"

namespace ksv::ksvcam {
namespace {

constexpr char kClientClass[] = "ksvcam graph client";

// The class of the hidden window ksvcam gives the library as its parent
// when nothing is shown.
void RegisterClientClass() {
  static const bool registered = [] {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = kClientClass;
    return RegisterClassA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  if (!registered) throw CommandFailure("cannot register the graph client's window class");
}

double SecondsSince(int64_t start) {
  return static_cast<double>(platform::kernel::PerformanceCounterNow100ns() - start) / 1e7;
}

}  // namespace

void EnsureMediaMachine() {
  EnsureMediaFramework();
  // A machine nobody set up: list the simulated devices as `setup` does. A
  // machine with devices listed is left as its owner made it.
  if (platform::hardware::ListedModules().empty()) {
    ListSimulatedCamera();
    ListSimulatedMicrophone();
  }
  if (!platform::usbcamd::RegisteredCameraDriver()) RegisterMachineCameraDriver();
}

GraphClient::GraphClient(HWND parent) {
  if (parent == nullptr) {
    RegisterClientClass();
    ownWindow_ = CreateWindowExA(0, kClientClass, "ksvcam", WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                                 nullptr, nullptr, nullptr);
    if (ownWindow_ == nullptr) throw CommandFailure("cannot make the graph client's window");
    parent = ownWindow_;
  }
  handle_ = QMG_Init(nullptr, parent);
  if (handle_ == nullptr) {
    if (ownWindow_ != nullptr) DestroyWindow(ownWindow_);
    throw CommandFailure("the media graph library cannot make its handle");
  }
  QMG_SetCallbackProc(handle_, &GraphClient::Callback, reinterpret_cast<intptr_t>(this));
}

GraphClient::~GraphClient() {
  QMG_Reset(handle_);
  if (ownWindow_ != nullptr) DestroyWindow(ownWindow_);
}

void GraphClient::Callback(int32_t code, intptr_t self) {
  auto* client = reinterpret_cast<GraphClient*>(self);
  switch (code) {
    case QMG_CODE_TICK_ESCAPE:
      client->escape_ = true;
      [[fallthrough]];
    case QMG_CODE_TICK:
      client->ticked_ = true;
      break;
    case QMG_CODE_ERROR_ABORT:
      client->aborted_ = true;
      break;
    case QMG_CODE_GRAPH_EVENTS:
      // The flag set before the run is cleared by the completion event.
      if (QMG_GetEventFlag(client->handle_) == 0) client->completed_ = true;
      break;
    default:
      break;
  }
}

void GraphClient::CheckBuilt(int32_t built, const std::string& what) const {
  if (built == 0) throw CommandFailure("cannot build " + what);
}

GraphClient::Outcome GraphClient::Run(const GraphRunLimits& limits) {
  escape_ = completed_ = ticked_ = aborted_ = false;
  QMG_SetEventFlag(handle_);
  if (QMG_Play(handle_) == 0) throw CommandFailure("the graph does not run");
  const int64_t start = platform::kernel::PerformanceCounterNow100ns();
  TerminalEscape terminal;
  const InterruptWatch interrupt;
  Outcome outcome;
  for (;;) {
    if (InterruptWatch::Requested()) {
      outcome.end = GraphEnd::Signal;
      break;
    }
    MSG message{};
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == -1) break;
    if (got == 0) {  // WM_QUIT: the program is asked to end
      outcome.end = GraphEnd::Closed;
      break;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
    if (aborted_) break;
    if (completed_) {
      outcome.end = GraphEnd::Completed;
      break;
    }
    if (escape_ || terminal.Typed()) {
      outcome.end = GraphEnd::Escape;
      break;
    }
    if (limits.closed && limits.closed()) {
      outcome.end = GraphEnd::Closed;
      break;
    }
    const double seconds = SecondsSince(start);
    if (limits.seconds > 0 && seconds >= limits.seconds) {
      outcome.end = GraphEnd::TimeUp;
      break;
    }
    if (ticked_ && limits.onTick) limits.onTick(seconds);
    ticked_ = false;
  }
  outcome.seconds = SecondsSince(start);
  QMG_Stop(handle_);
  // A graph stopped by an error never completes; its output is not whole.
  if (aborted_) {
    throw CommandFailure(
        "the graph stopped on an error (a filter failed, as a write to a full disk does)");
  }
  return outcome;
}

QmgVideoFormat FormatOfSize(const std::string& device, uint32_t width, uint32_t height) {
  const GraphClient probe;
  QmgVideoFormat current{};
  if (QMG_BuildPreview(probe.handle(), device.c_str(), nullptr) == 0 ||
      QMG_GetVideoFormat(probe.handle(), &current) == 0) {
    throw CommandFailure("cannot learn the formats of " + Quoted(device));
  }
  return {static_cast<int32_t>(width), static_cast<int32_t>(height), current.compression};
}

void CheckSomethingStopsIt(double seconds, bool windowOnScreen) {
  if (seconds > 0 || windowOnScreen || isatty(STDIN_FILENO) != 0) return;
  throw UsageError("give --seconds: with no terminal and no window on the screen nothing "
                   "could stop it");
}

std::string DurationText(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", seconds);
  return text;
}

std::string EndText(GraphEnd end) {
  switch (end) {
    case GraphEnd::Completed:
      return "completed";
    case GraphEnd::Escape:
      return "stopped by Escape";
    case GraphEnd::Closed:
      return "stopped: the window was closed";
    case GraphEnd::TimeUp:
      return "stopped after --seconds";
    case GraphEnd::Signal:
      return "stopped by a signal (Ctrl-C)";
  }
  return "stopped";
}

}  // namespace ksv::ksvcam
