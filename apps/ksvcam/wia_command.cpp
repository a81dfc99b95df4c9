// `ksvcam wia items|sync|command C|delete ITEM|events --seconds N`: the
// camera's still-image device as an imaging application sees it through
// the still-image service. Each run is a new service and device, so the
// device copies the camera's items afresh into its folder, as it does when
// the service first initialises it. This process hosts the camera: it
// plugs the machine's camera and starts its driver first.
#include <CLI/CLI.hpp>
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <chrono>
#include <memory>

#include "apps/ksvcam/command_files.h"
#include "apps/ksvcam/commands.h"
#include "apps/ksvcam/hresult_text.h"
#include "apps/ksvcam/machine_camera.h"
#include "apps/ksvcam/still_image_setup.h"
#include "platform/com/apartment.h"
#include "platform/com/wide_text.h"
#include "platform/usbcamd/camera_stack.h"
#include "platform/wia/service.h"
#include "support/picture/picture_file.h"

namespace ksv::ksvcam {
namespace {

namespace usb = platform::usbcamd;
namespace wia = platform::wia;

constexpr GUID kSnapshotButton = com::Guid("A6C5A715-8C6E-11D2-977A-0000F87A926F");

struct WiaOptions {
  std::string command;
  std::string item;
  std::string output;
  bool memoryBitmap = false;
  bool callback = false;
  int seconds = 10;
};

// The machine's camera, plugged and started (not streaming) for as long as
// this lives, as every program that hosts the camera does.
class HostedCamera {
 public:
  HostedCamera() : stack_(StartMachineCamera()) {}

 private:
  std::unique_ptr<usb::CameraStack> stack_;
};

struct ComApartment {
  ComApartment() { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
  ~ComApartment() { CoUninitialize(); }
};

std::string TypeText(LONG flags) {
  std::string text;
  const std::pair<LONG, const char*> kinds[] = {{WiaItemTypeFolder, "folder"}, {WiaItemTypeFile, "file"},
                                                {WiaItemTypeImage, "image"},   {WiaItemTypeDevice, "device"},
                                                {WiaItemTypeRoot, "root"}};
  for (const auto& [flag, name] : kinds) {
    if (flags & flag) text += (text.empty() ? "" : ",") + std::string(name);
  }
  return text.empty() ? "free" : text;
}

void PrintItems(const wia::DeviceSession& session, Console& console) {
  std::vector<wia::ItemView> items = session.Items();
  // The tree holds the folder's files in the order the file system lists
  // them; people read them by name. (The tree is root and files only.)
  if (items.size() > 1) {
    std::sort(items.begin() + 1, items.end(), [](const wia::ItemView& a, const wia::ItemView& b) {
      return strcasecmp(a.name.c_str(), b.name.c_str()) < 0;
    });
  }
  for (const wia::ItemView& item : items) {
    // This device keeps each item's file path as its context.
    const std::string file(reinterpret_cast<const char*>(item.context.data()),
                           item.context.empty() ? 0 : strnlen(reinterpret_cast<const char*>(item.context.data()),
                                                              item.context.size()));
    console.out << std::string(2 * item.depth, ' ') << item.name << "\t" << TypeText(item.flags);
    if (!file.empty()) console.out << "\t" << file;
    console.out << "\n";
  }
  console.out << Counted(items.empty() ? 0 : items.size() - 1, "item") << "\n";
}

void Check(HRESULT result, const std::string& what) {
  if (FAILED(result)) throw CommandFailure(what + ": " + HresultText(result));
}

// What the device calls its events.
std::string EventName(wia::DeviceSession& session, const GUID& event) {
  std::vector<wia::Capability> events;
  if (SUCCEEDED(session.Capabilities(WIA_DEVICE_EVENTS, &events))) {
    for (const wia::Capability& known : events) {
      if (known.id == event) return known.name;
    }
  }
  return com::FormatGuid(event);
}

std::string ValueText(const wia::ItemProperty& property) {
  switch (property.vt) {
    case VT_I4:
      return std::to_string(property.number);
    case VT_R4:
      return std::to_string(property.real);
    case VT_BSTR:
      return "\"" + com::Utf16ToUtf8(property.text) + "\"";
    case VT_CLSID:
      return com::FormatGuid(property.guid);
    case VT_VECTOR | VT_UI1:
      // The device's and the items' times: a SYSTEMTIME's eight words.
      if ((property.id == 1028 || property.id == 4100) && property.bytes.size() == 16) {
        const auto word = [&](int i) { return property.bytes[2 * i] | property.bytes[2 * i + 1] << 8; };
        char text[64];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", word(0), word(1), word(3), word(4),
                      word(5), word(6));
        return text;
      }
      return Counted(property.bytes.size(), "byte");
  }
  return "(empty)";
}

void PrintProperties(wia::DeviceSession& session, const std::string& item, Console& console) {
  std::vector<wia::ItemProperty> properties;
  const HRESULT result = session.Properties(item, &properties);
  if (result == E_INVALIDARG) throw CommandFailure("no item " + Quoted(item));
  Check(result, "the properties of " + (item.empty() ? std::string("the root") : Quoted(item)));
  for (const wia::ItemProperty& property : properties) {
    console.out << property.id << "\t" << com::Utf16ToUtf8(property.name) << "\t" << ValueText(property)
                << ((property.access & WIA_PROP_WRITE) ? "\t(read-write)" : "") << "\n";
  }
  console.out << properties.size() << (properties.size() == 1 ? " property\n" : " properties\n");
}

// The item's thumbnail property (80 x 60, 24-bit rows bottom-up) as a
// picture file.
void SaveThumbnail(wia::DeviceSession& session, const std::string& item, const std::string& output,
                   Console& console) {
  std::vector<wia::ItemProperty> properties;
  const HRESULT result = session.Properties(item, &properties);
  if (result == E_INVALIDARG) throw CommandFailure("no item " + Quoted(item));
  Check(result, "the properties of " + Quoted(item));
  constexpr uint32_t kWidth = 80, kHeight = 60;
  for (const wia::ItemProperty& property : properties) {
    if (property.id != 5122 || property.bytes.size() != kWidth * kHeight * 3) continue;
    picture::RgbPicture thumbnail{kWidth, kHeight, std::vector<uint8_t>(kWidth * kHeight * 3)};
    for (uint32_t y = 0; y < kHeight; ++y) {
      const uint8_t* row = property.bytes.data() + (kHeight - 1 - y) * kWidth * 3;
      for (uint32_t x = 0; x < kWidth; ++x) {
        uint8_t* pixel = thumbnail.pixels.data() + (y * kWidth + x) * 3;
        pixel[0] = row[3 * x + 2];
        pixel[1] = row[3 * x + 1];
        pixel[2] = row[3 * x];
      }
    }
    picture::WritePicture(output, thumbnail);
    console.out << "thumbnail " << item << ": " << output << " (80 x 60)\n";
    return;
  }
  throw CommandFailure(Quoted(item) + " has no thumbnail");
}

// Transfers the item and writes what arrived as a bitmap file: a memory
// bitmap gets the 14-byte file header ahead of its header and rows (a
// top-down transfer makes a top-down file); a bitmap-format transfer
// arrives with it.
void TransferItem(wia::DeviceSession& session, const WiaOptions& options, Console& console) {
  const GUID format = options.memoryBitmap ? WiaImgFmt_MEMORYBMP : WiaImgFmt_BMP;
  const LONG tymed = options.callback ? TYMED_CALLBACK : TYMED_FILE;
  std::vector<BYTE> received;
  size_t messages = 0;
  const HRESULT result = session.Transfer(options.item, format, tymed, &received,
                                          [&messages](LONG, LONG, const BYTE*, LONG) { ++messages; });
  if (result == E_INVALIDARG && session.Items().size() > 0) {
    bool known = false;
    for (const wia::ItemView& item : session.Items()) known = known || (item.depth > 0 && item.name == options.item);
    if (!known) throw CommandFailure("no item " + Quoted(options.item));
  }
  Check(result, "transfer " + Quoted(options.item));
  std::vector<BYTE> file;
  if (options.memoryBitmap) {
    if (received.size() < 40) throw CommandFailure("the transfer brought no bitmap header");
    const auto read32 = [&](size_t at) {
      return static_cast<uint32_t>(received[at] | received[at + 1] << 8 | received[at + 2] << 16 |
                                   static_cast<uint32_t>(received[at + 3]) << 24);
    };
    const uint32_t bits = received[14] | received[15] << 8;
    const uint32_t used = read32(32);
    const uint32_t colours = bits <= 8 ? (used != 0 ? used : 1u << bits) : 0;
    const uint32_t offset = 14 + read32(0) + 4 * colours;
    const uint32_t size = static_cast<uint32_t>(14 + received.size());
    file = {'B', 'M'};
    for (uint32_t value : {size, 0u, offset}) {
      for (int i = 0; i < 4; ++i) file.push_back(static_cast<BYTE>(value >> (8 * i)));
    }
  }
  file.insert(file.end(), received.begin(), received.end());
  OutputFile output(options.output, {});
  {
    std::ofstream out(output.temporary(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    if (!out) throw CommandFailure("cannot write " + Quoted(options.output));
  }
  output.Commit();
  console.out << "transferred " << options.item << ": " << options.output << " (" << Counted(file.size(), "byte")
              << (options.callback ? ", " + Counted(messages, "data message") : std::string()) << ")\n";
}

int RunWia(const WiaOptions& options, Console& console) {
  if (options.command == "command" && options.item != "snapshot" && options.item != "sync" &&
      options.item != "delete-all" && options.item != "disconnect") {
    throw UsageError("command " + Quoted(options.item) + ": give snapshot, sync, delete-all or disconnect");
  }
  if (options.command == "transfer" && options.callback && !options.memoryBitmap) {
    throw UsageError("--callback needs --memory-bitmap: the device sends bitmaps to a callback in memory form");
  }
  if (options.command == "thumbnail" && !picture::FormatOfName(options.output)) {
    throw UsageError("-o " + Quoted(options.output) + ": give a .png, .jpg or .bmp file");
  }
  if (!StillImageDeviceRegistered()) InstallStillImageSoftware([](const std::string&) {});
  HostedCamera camera;
  ComApartment apartment;
  std::optional<wia::StillImageDevice> device;
  for (const wia::StillImageDevice& found : wia::StillImageDevices()) {
    if (!device) device = found;
  }
  if (!device) throw CommandFailure("there is no still-image device on the machine");
  std::string error;
  std::unique_ptr<wia::DeviceSession> session = wia::DeviceSession::Open(*device, &error);
  if (!session) throw CommandFailure("the still-image device " + Quoted(device->friendlyName) + ": " + error);

  if (options.command == "items") {
    PrintItems(*session, console);
  } else if (options.command == "sync") {
    Check(session->Command(WIA_CMD_SYNCHRONIZE), "synchronize");
    PrintItems(*session, console);
  } else if (options.command == "command") {
    const std::pair<const char*, GUID> commands[] = {{"snapshot", kSnapshotButton},
                                                     {"sync", WIA_CMD_SYNCHRONIZE},
                                                     {"delete-all", WIA_CMD_DELETE_ALL_ITEMS},
                                                     {"disconnect", WIA_EVENT_DEVICE_DISCONNECTED}};
    for (const auto& [name, id] : commands) {
      if (options.item == name) Check(session->Command(id), "command " + options.item);
    }
    console.out << "command " << options.item << ": done\n";
  } else if (options.command == "delete") {
    const HRESULT deleted = session->DeleteItem(options.item);
    if (deleted == E_INVALIDARG) throw CommandFailure("no item " + Quoted(options.item));
    Check(deleted, "delete " + Quoted(options.item));
    console.out << "deleted " << options.item << "\n";
  } else if (options.command == "properties") {
    PrintProperties(*session, options.item, console);
  } else if (options.command == "transfer") {
    TransferItem(*session, options, console);
  } else if (options.command == "thumbnail") {
    SaveThumbnail(*session, options.item, options.output, console);
  } else if (options.command == "formats") {
    std::vector<WIA_FORMAT_INFO> formats;
    Check(session->Formats(&formats), "the formats");
    for (const WIA_FORMAT_INFO& format : formats) {
      const char* name = format.guidFormatID == com::Guid("B96B3CAB-0728-11D3-9D7B-0000F81EF32E")   ? "bitmap"
                         : format.guidFormatID == com::Guid("B96B3CAA-0728-11D3-9D7B-0000F81EF32E") ? "memory-bitmap"
                                                                                                   : "other";
      const char* medium = format.lTymed == 2 ? "file" : format.lTymed == 128 ? "callback" : "other";
      console.out << com::FormatGuid(format.guidFormatID) << "\t" << name << "\t" << medium << "\n";
    }
  } else if (options.command == "events") {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(options.seconds);
    size_t seen = 0;
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      if (const std::optional<GUID> event = session->WaitForEvent(static_cast<DWORD>(left.count()))) {
        console.out << EventName(*session, *event) << std::endl;
        ++seen;
      }
    }
    console.out << Counted(seen, "event") << " in " << options.seconds << " s\n";
  }
  return kExitOk;
}

}  // namespace

CommandRun WiaCommand(CLI::App& app) {
  auto options = std::make_shared<WiaOptions>();
  CLI::App& command = *app.add_subcommand(
      "wia", "The camera's pictures and clips through the still-image service, as an imaging application sees them");
  command.require_subcommand(1);
  command.add_subcommand("items", "Copy the camera's items and list the device's item tree (name, type, file)")
      ->callback([options] { options->command = "items"; });
  command.add_subcommand("sync", "Synchronize the device's items and list them")->callback([options] {
    options->command = "sync";
  });
  CLI::App& run = *command.add_subcommand("command", "Send the device a command");
  run.add_option("name", options->item, "snapshot, sync, delete-all or disconnect")->required();
  run.callback([options] { options->command = "command"; });
  CLI::App& remove = *command.add_subcommand("delete", "Delete an item (its file in the device's folder)");
  remove.add_option("item", options->item, "The item's name (HQ0) or full name")->required();
  remove.callback([options] { options->command = "delete"; });
  CLI::App& properties = *command.add_subcommand("properties", "List an item's properties (the root's without ITEM)");
  properties.add_option("item", options->item, "The item's name (HQ0) or full name");
  properties.callback([options] { options->command = "properties"; });
  CLI::App& thumbnail = *command.add_subcommand("thumbnail", "Save an item's 80 x 60 thumbnail as a picture");
  thumbnail.add_option("item", options->item, "The item's name (HQ0) or full name")->required();
  thumbnail.add_option("-o,--output", options->output, "The picture file (.png, .jpg or .bmp)")->required();
  thumbnail.callback([options] { options->command = "thumbnail"; });
  CLI::App& transfer = *command.add_subcommand("transfer", "Transfer an item's picture into a bitmap file");
  transfer.add_option("item", options->item, "The item's name (HQ0) or full name")->required();
  transfer.add_option("-o,--output", options->output, "The bitmap file (.bmp)")->required();
  transfer.add_flag("--memory-bitmap", options->memoryBitmap,
                    "Transfer the memory-bitmap format (no file header; rows top first by callback)");
  transfer.add_flag("--callback", options->callback, "Transfer by callback, in chunks of the item's buffer size");
  transfer.callback([options] { options->command = "transfer"; });
  command.add_subcommand("formats", "List the formats and media types the device transfers in")
      ->callback([options] { options->command = "formats"; });
  CLI::App& events = *command.add_subcommand("events", "Print the device's events as they come");
  events.add_option("--seconds", options->seconds, "How long to wait for events")
      ->check(CLI::NonNegativeNumber)
      ->capture_default_str();
  events.callback([options] { options->command = "events"; });
  return [options](Console& console) { return RunWia(*options, console); };
}

}  // namespace ksv::ksvcam
