#include "platform/wia/service.h"

#include <algorithm>
#include <cstdio>

#include "platform/com/com_method.h"
#include "platform/com/com_object.h"
#include "platform/com/inproc_servers.h"
#include "platform/com/task_memory.h"
#include "platform/com/wide_text.h"
#include "platform/sync/sync.h"
#include "platform/wia/drv_item.h"
#include "platform/wia/sti_device.h"

namespace ksv::platform::wia {

namespace {

// The service's own object, which aggregates the driver: it answers
// IUnknown itself and everything else through the driver's
// non-delegating unknown.
class DriverHolder final : public com::ComObject<IUnknown> {
 public:
  void Hold(IUnknown* inner) { inner_ = com::ComPtr<IUnknown>::Adopt(inner); }

 protected:
  void* FindInterface(REFIID iid) override {
    if (iid == IID_IUnknown) return static_cast<IUnknown*>(this);
    void* found = nullptr;
    if (inner_ && SUCCEEDED(inner_->QueryInterface(iid, &found))) {
      // The driver counted its answer on us; the caller's count is ours to add.
      Release();
      return found;
    }
    return nullptr;
  }

 private:
  com::ComPtr<IUnknown> inner_;
};

std::string Text(const OLECHAR* text) { return text == nullptr ? std::string() : com::Utf16ToUtf8(com::WideView(text)); }

std::string HresultText(const char* step, HRESULT result) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(result));
  return std::string(step) + " failed (" + text + ")";
}

void Walk(DrvItem* item, int depth, std::vector<ItemView>& items) {
  items.push_back({depth, com::Utf16ToUtf8(item->name()), com::Utf16ToUtf8(item->fullName()), item->flags(),
                   item->specContext()});
  for (const com::ComPtr<DrvItem>& child : item->children()) Walk(child.Get(), depth + 1, items);
}

DrvItem* Find(DrvItem* item, const std::u16string& name) {
  if (item->name() == name || item->fullName() == name) return item;
  for (const com::ComPtr<DrvItem>& child : item->children()) {
    if (DrvItem* found = Find(child.Get(), name)) return found;
  }
  return nullptr;
}

}  // namespace

std::unique_ptr<DeviceSession> DeviceSession::Open(const StillImageDevice& device, std::string* error) {
  std::unique_ptr<DeviceSession> session(new DeviceSession);
  auto fail = [&](const std::string& why) {
    if (error != nullptr) *error = why;
    return nullptr;
  };
  auto holder = com::ComPtr<DriverHolder>::Adopt(new DriverHolder);
  IUnknown* inner = nullptr;
  HRESULT result = CoCreateInstance(device.driverClass, holder.Get(), CLSCTX_INPROC_SERVER, IID_IUnknown,
                                    reinterpret_cast<void**>(&inner));
  if (FAILED(result)) return fail(HresultText("loading the device's driver", result));
  holder->Hold(inner);
  session->outer_ = com::ComPtr<IUnknown>(holder.Get());
  if (FAILED(result = holder->QueryInterface(IID_PPV_ARGS(session->usd_.ReleaseAndGetAddressOf())))) {
    return fail(HresultText("the driver's still-image interface", result));
  }
  if (FAILED(result = holder->QueryInterface(IID_PPV_ARGS(session->miniDriver_.ReleaseAndGetAddressOf())))) {
    return fail(HresultText("the driver's WIA interface", result));
  }
  auto control = com::ComPtr<DeviceControl>::Adopt(new DeviceControl);
  if (FAILED(result = session->usd_->Initialize(control.Get(), STI_VERSION_REAL, nullptr))) {
    return fail(HresultText("IStiUSD::Initialize", result));
  }
  session->event_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (session->event_ == nullptr) return fail("no event for the driver's notifications");
  if (FAILED(result = session->usd_->SetNotificationHandle(session->event_))) {
    return fail(HresultText("IStiUSD::SetNotificationHandle", result));
  }
  session->device_ = com::ComPtr<StiDevice>::Adopt(new StiDevice(session->usd_.Get()));
  const std::string deviceId = com::FormatGuid(com::Guid("6BDD1FC6-810F-11D0-BEC7-08002BE2092F")) + "\\" +
                               device.instance;
  session->deviceId_ = com::BstrFromUtf8(deviceId);
  session->rootName_ = com::BstrFromUtf8(device.instance + "\\Root");
  if (FAILED(result = session->InitializeDriver())) return fail(HresultText("drvInitializeWia", result));
  return session;
}

HRESULT DeviceSession::InitializeDriver() {
  IWiaDrvItem* root = nullptr;
  IUnknown* innerOut = nullptr;
  LONG deviceError = 0;
  const HRESULT result = miniDriver_->drvInitializeWia(nullptr, 0, deviceId_, rootName_,
                                                       static_cast<IStiDevice*>(device_.Get()), outer_.Get(),
                                                       &root, &innerOut, &deviceError);
  if (innerOut != nullptr) innerOut->Release();
  // The driver keeps the root; the service holds it too.
  if (SUCCEEDED(result)) root_ = com::ComPtr<IWiaDrvItem>(root);
  return result;
}

DrvItem* DeviceSession::FindItem(const std::string& name) const {
  if (!root_) return nullptr;
  DrvItem* root = static_cast<DrvItem*>(root_.Get());
  return name.empty() ? root : Find(root, com::Utf8ToUtf16(name));
}

HRESULT DeviceSession::MakeProperties(DrvItem* item) {
  if (item->propertiesMade) return S_OK;
  LONG deviceError = 0;
  const HRESULT made = miniDriver_->drvInitItemProperties(item->ServiceContext(), 0, &deviceError);
  if (SUCCEEDED(made)) item->propertiesMade = true;
  return made;
}

DeviceSession::~DeviceSession() {
  if (usd_) usd_->SetNotificationHandle(nullptr);
  if (miniDriver_ && root_) miniDriver_->drvUnInitializeWia(static_cast<DrvItem*>(root_.Get())->ServiceContext());
  root_ = nullptr;
  miniDriver_ = nullptr;
  usd_ = nullptr;
  outer_ = nullptr;
  device_ = nullptr;
  if (event_ != nullptr) CloseHandle(event_);
  SysFreeString(deviceId_);
  SysFreeString(rootName_);
}

std::vector<ItemView> DeviceSession::Items() const {
  std::vector<ItemView> items;
  if (root_) Walk(static_cast<DrvItem*>(root_.Get()), 0, items);
  return items;
}

HRESULT DeviceSession::Command(const GUID& command) {
  IWiaDrvItem* made = nullptr;
  LONG deviceError = 0;
  BYTE* context = root_ ? static_cast<DrvItem*>(root_.Get())->ServiceContext() : nullptr;
  const HRESULT result = miniDriver_->drvDeviceCommand(context, 0, &command, &made, &deviceError);
  if (SUCCEEDED(result) && made != nullptr) root_ = com::ComPtr<IWiaDrvItem>(made);
  return result;
}

HRESULT DeviceSession::DeleteItem(const std::string& name) {
  DrvItem* item = root_ ? Find(static_cast<DrvItem*>(root_.Get()), com::Utf8ToUtf16(name)) : nullptr;
  if (item == nullptr || item == root_.Get()) return E_INVALIDARG;
  LONG deviceError = 0;
  const HRESULT result = miniDriver_->drvDeleteItem(item->ServiceContext(), 0, &deviceError);
  if (FAILED(result)) return result;
  return item->UnlinkItemTree(WiaItemTypeDeleted);
}

HRESULT DeviceSession::Capabilities(LONG which, std::vector<Capability>* capabilities) {
  LONG count = 0;
  WIA_DEV_CAP_DRV* table = nullptr;
  LONG deviceError = 0;
  const HRESULT result = miniDriver_->drvGetCapabilities(nullptr, which, &count, &table, &deviceError);
  if (FAILED(result)) return result;
  capabilities->clear();
  for (LONG i = 0; table != nullptr && i < count; ++i) {
    const WIA_DEV_CAP_DRV& entry = table[i];
    capabilities->push_back({entry.guid != nullptr ? *entry.guid : GUID{}, entry.ulFlags, Text(entry.wszName),
                             Text(entry.wszDescription), Text(entry.wszIcon)});
  }
  return result;
}

HRESULT DeviceSession::Properties(const std::string& name, std::vector<ItemProperty>* properties) {
  DrvItem* item = FindItem(name);
  if (item == nullptr) return E_INVALIDARG;
  if (const HRESULT made = MakeProperties(item); FAILED(made)) return made;
  LONG deviceError = 0;
  miniDriver_->drvReadItemProperties(item->ServiceContext(), 0, 0, nullptr, &deviceError);
  *properties = item->properties();
  return S_OK;
}

HRESULT DeviceSession::WriteProperty(const std::string& name, PROPID id, const PROPVARIANT& value) {
  DrvItem* item = FindItem(name);
  if (item == nullptr) return E_INVALIDARG;
  if (const HRESULT made = MakeProperties(item); FAILED(made)) return made;
  bool writable = false;
  for (const ItemProperty& property : item->properties()) {
    if (property.id == id) writable = (property.access & WIA_PROP_WRITE) != 0;
  }
  if (!writable) return E_ACCESSDENIED;
  PROPSPEC spec{};
  spec.ulKind = PRSPEC_PROPID;
  spec.propid = id;
  PROPVARIANT copy = value;
  if (const HRESULT written = wiasWriteMultiple(item->ServiceContext(), 1, &spec, &copy); FAILED(written)) {
    return written;
  }
  LONG deviceError = 0;
  return miniDriver_->drvValidateItemProperties(item->ServiceContext(), 0, 1, &spec, &deviceError);
}

namespace {

// The service's end of a transfer.
class TransferCallback final : public com::ComObject<IWiaMiniDrvCallBack> {
 public:
  TransferCallback(std::vector<BYTE>& received, const DeviceSession::DataMessage& data)
      : received_(received), data_(data) {}
  HRESULT MiniDrvCallback(LONG reason, LONG, LONG percent, LONG offset, LONG length,
                          MINIDRV_TRANSFER_CONTEXT* transfer, LONG) override {
    return com::ComMethod([&]() -> HRESULT {
      if (reason != IT_MSG_DATA) return S_OK;
      if (offset < 0 || length < 0 || length > transfer->lBufferSize) return E_INVALIDARG;
      const size_t end = static_cast<size_t>(offset) + static_cast<size_t>(length);
      if (received_.size() < end) received_.resize(end);
      std::copy(transfer->pTransferBuffer, transfer->pTransferBuffer + length, received_.begin() + offset);
      if (data_) data_(percent, offset, transfer->pTransferBuffer, length);
      return S_OK;
    });
  }

 private:
  std::vector<BYTE>& received_;
  const DeviceSession::DataMessage& data_;
};

}  // namespace

HRESULT DeviceSession::Transfer(const std::string& name, const GUID& format, LONG tymed,
                                std::vector<BYTE>* received, const DataMessage& data) {
  DrvItem* item = FindItem(name);
  if (item == nullptr || item == root_.Get()) return E_INVALIDARG;
  PROPVARIANT value{};
  value.vt = VT_CLSID;
  GUID chosen = format;
  value.puuid = &chosen;
  HRESULT result = WriteProperty(name, 4106, value);
  value = PROPVARIANT{};
  value.vt = VT_I4;
  value.lVal = tymed;
  if (SUCCEEDED(result)) result = WriteProperty(name, 4108, value);
  if (FAILED(result)) return result;
  LONG itemSize = 0, bufferSize = 0;
  wiasReadPropLong(item->ServiceContext(), 4116, &itemSize, nullptr, TRUE);
  wiasReadPropLong(item->ServiceContext(), 4118, &bufferSize, nullptr, TRUE);
  std::vector<BYTE> buffer(static_cast<size_t>(std::max<LONG>(tymed == TYMED_CALLBACK ? bufferSize : itemSize, 0)));
  MINIDRV_TRANSFER_CONTEXT transfer{};
  transfer.lSize = sizeof transfer;
  transfer.guidFormatID = format;
  transfer.tymed = tymed;
  transfer.lBufferSize = static_cast<LONG>(buffer.size());
  transfer.pBaseBuffer = transfer.pTransferBuffer = buffer.empty() ? nullptr : buffer.data();
  transfer.bClassDrvAllocBuf = TRUE;
  transfer.bTransferDataCB = tymed == TYMED_CALLBACK;
  received->clear();
  auto callback = com::ComPtr<TransferCallback>::Adopt(new TransferCallback(*received, data));
  transfer.pIWiaMiniDrvCallBack = callback.Get();
  if (tymed == TYMED_FILE) {
    // The header the service writes ahead of the driver's rows.
    wiasGetImageInformation(item->ServiceContext(), 0, &transfer);
  }
  LONG deviceError = 0;
  result = miniDriver_->drvAcquireItemData(item->ServiceContext(), 0, &transfer, &deviceError);
  if (SUCCEEDED(result) && tymed == TYMED_FILE) *received = buffer;
  return result;
}

HRESULT DeviceSession::Formats(std::vector<WIA_FORMAT_INFO>* formats) {
  LONG count = 0;
  WIA_FORMAT_INFO* table = nullptr;
  LONG deviceError = 0;
  const HRESULT result = miniDriver_->drvGetWiaFormatInfo(nullptr, 0, &count, &table, &deviceError);
  if (FAILED(result)) return result;
  formats->assign(table, table + (table != nullptr && count > 0 ? count : 0));
  return result;
}

HRESULT DeviceSession::NotifyPnpEvent(const GUID& event) {
  return miniDriver_->drvNotifyPnpEvent(&event, deviceId_, 0);
}

std::optional<GUID> DeviceSession::WaitForEvent(DWORD milliseconds) {
  if (WaitForSingleObject(event_, milliseconds) != WAIT_OBJECT_0) return std::nullopt;
  STINOTIFY notification{};
  notification.dwSize = sizeof notification;
  if (FAILED(usd_->GetNotificationData(&notification))) return std::nullopt;
  if (notification.guidNotificationCode == WIA_EVENT_DEVICE_CONNECTED) InitializeDriver();
  return notification.guidNotificationCode;
}

}  // namespace ksv::platform::wia
