// The still-image service as it runs one device: it loads the device's
// driver by the class its registration names, aggregated into an object of
// its own, initialises it (a device control, a notification event, the
// WIA initialisation with an STI device), keeps the item tree the driver
// builds and passes on commands, deletions and plug-and-play events; an
// event the driver signals is fetched with GetNotificationData. Closing
// stops the driver's events, uninitialises and releases it.
//
// The calls of one session come from one thread at a time; the driver's
// event thread only signals the event.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/wia/drv_item.h"
#include "platform/wia/still_image_devices.h"
#include "platform/wia/wia.h"

namespace ksv::platform::wia {

class DrvItem;
class StiDevice;

// One item of the tree, as the service shows it.
struct ItemView {
  int depth = 0;  // the root is 0
  std::string name;
  std::string fullName;
  LONG flags = 0;
  std::vector<BYTE> context;  // the driver's context bytes
};

struct Capability {
  GUID id{};
  ULONG flags = 0;
  std::string name;
  std::string description;
  std::string icon;
};

class DeviceSession {
 public:
  // Null, with `*error` saying why, when the driver cannot be loaded or
  // refuses a step. COM must be initialised on the calling thread.
  static std::unique_ptr<DeviceSession> Open(const StillImageDevice& device, std::string* error);
  ~DeviceSession();
  DeviceSession(const DeviceSession&) = delete;
  DeviceSession& operator=(const DeviceSession&) = delete;

  // The tree, root first, each folder's items after it.
  std::vector<ItemView> Items() const;
  // Runs a command; a new root item the driver answers replaces the tree.
  HRESULT Command(const GUID& command);
  // The driver deletes the item named `name` (its name or full name); then
  // the service takes it out of the tree. E_INVALIDARG when there is none.
  HRESULT DeleteItem(const std::string& name);
  // What the driver can do (WIA_DEVICE_EVENTS, WIA_DEVICE_COMMANDS).
  HRESULT Capabilities(LONG which, std::vector<Capability>* capabilities);
  HRESULT NotifyPnpEvent(const GUID& event);
  // The properties of the item `name` (empty: the root), which the driver
  // makes on first use. E_INVALIDARG when there is no such item.
  HRESULT Properties(const std::string& name, std::vector<ItemProperty>* properties);
  // Writes a property an application may write (E_ACCESSDENIED for the
  // others) and lets the driver validate the change.
  HRESULT WriteProperty(const std::string& name, PROPID id, const PROPVARIANT& value);
  // Transfers the item's picture in `format` by `tymed` (TYMED_FILE: into a
  // buffer of the item's size; TYMED_CALLBACK: in chunks of the item's
  // buffer size). `received` gets the bytes at the offsets the driver
  // gave; `data` (may be empty) hears each data message.
  using DataMessage = std::function<void(LONG percent, LONG offset, const BYTE* bytes, LONG length)>;
  HRESULT Transfer(const std::string& name, const GUID& format, LONG tymed, std::vector<BYTE>* received,
                   const DataMessage& data = {});
  // The formats and media types the driver transfers in.
  HRESULT Formats(std::vector<WIA_FORMAT_INFO>* formats);
  // Waits up to `milliseconds` for the driver's event; its identifier when
  // the event was signalled and the driver handed a notification over.
  // A device connected again (its folder changed) is initialised again,
  // which gives the service the driver's new tree.
  std::optional<GUID> WaitForEvent(DWORD milliseconds);

  IStiUSD* Usd() const { return usd_.Get(); }
  IWiaMiniDrv* MiniDriver() const { return miniDriver_.Get(); }

 private:
  DeviceSession() = default;
  DrvItem* FindItem(const std::string& name) const;
  HRESULT MakeProperties(DrvItem* item);
  HRESULT InitializeDriver();

  com::ComPtr<IUnknown> outer_;  // the service's object, holding the driver
  com::ComPtr<IStiUSD> usd_;
  com::ComPtr<IWiaMiniDrv> miniDriver_;
  com::ComPtr<StiDevice> device_;
  com::ComPtr<IWiaDrvItem> root_;
  HANDLE event_ = nullptr;
  BSTR deviceId_ = nullptr;
  BSTR rootName_ = nullptr;
};

}  // namespace ksv::platform::wia
