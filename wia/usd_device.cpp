#include "wia/usd_device.h"

#include <cstring>

#include "include/oksv1dld.h"
#include "platform/com/com_method.h"
#include "platform/com/task_memory.h"
#include "platform/com/wide_text.h"
#include "platform/files/files.h"
#include "platform/sync/sync.h"
#include "platform/wia/properties.h"
#include "wia/driver_values.h"

namespace ksv::wia {

namespace {

// The capabilities: the two events, then the two commands.
GUID kDisconnected = WIA_EVENT_DEVICE_DISCONNECTED;
GUID kSnapshot = WIA_EVENT_SNAPSHOT_BUTTON;
GUID kSynchronize = WIA_CMD_SYNCHRONIZE;
GUID kDeleteAll = WIA_CMD_DELETE_ALL_ITEMS;
char16_t kDisconnectedName[] = u"Device disconnected";
char16_t kSnapshotName[] = u"Snapshot Button Pressed";
char16_t kSynchronizeName[] = u"Synchronize";
char16_t kDeleteAllName[] = u"Delete All Pictures";
char16_t kEventIcon[] = u"sti.dll,-1001";
char16_t kSynchronizeIcon[] = u"sti.dll,-2000";
char16_t kDeleteAllIcon[] = u"sti.dll,-2002";
WIA_DEV_CAP_DRV kCapabilities[] = {
    {&kDisconnected, WIA_NOTIFICATION_EVENT, kDisconnectedName, kDisconnectedName, kEventIcon},
    {&kSnapshot, WIA_NOTIFICATION_EVENT | WIA_ACTION_EVENT, kSnapshotName, kSnapshotName, kEventIcon},
    {&kSynchronize, 0, kSynchronizeName, kSynchronizeName, kSynchronizeIcon},
    {&kDeleteAll, 0, kDeleteAllName, kDeleteAllName, kDeleteAllIcon},
};

WIA_FORMAT_INFO kFormats[] = {
    {WiaImgFmt_BMP, TYMED_FILE},
    {WiaImgFmt_MEMORYBMP, TYMED_FILE},
    {WiaImgFmt_MEMORYBMP, TYMED_CALLBACK},
};

constexpr DWORD kLockTimeOut = 100;

void NoDeviceError(LONG* error) {
  if (error != nullptr) *error = 0;
}

}  // namespace

com::ModuleLocks& ModuleLocks() {
  static com::ModuleLocks locks;
  return locks;
}

std::string ChooseRootFolder() {
  char expanded[260] = {};
  const DWORD length = ExpandEnvironmentStringsA("%CAMERA_ROOT%", expanded, sizeof expanded);
  if (length > 0 && length <= sizeof expanded && std::strcmp(expanded, "%CAMERA_ROOT%") != 0) return expanded;
  // The platform reports the NT family: the Windows folder, the drive's
  // root when it has none.
  char windows[260] = {};
  const UINT windowsLength = GetWindowsDirectoryA(windows, sizeof windows);
  std::string root = windowsLength == 0 || windowsLength >= sizeof windows ? std::string() : windows;
  while (!root.empty() && root.back() == '/') root.pop_back();
  root += "/KSV1";
  WriteDriverString("WiaRootPath", root);
  KXWIADLD_CreatePath(root.c_str());
  return root;
}

TestUsdDevice::TestUsdDevice(IUnknown* outer)
    : controlling_(outer != nullptr ? outer : &inner_), rootFolder_(ChooseRootFolder()) {
  stopEvent_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
}

TestUsdDevice::~TestUsdDevice() {
  StopEvents();
  if (stopEvent_ != nullptr) CloseHandle(stopEvent_);
  DeleteItemTree();
}

HRESULT TestUsdDevice::NonDelegating::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (iid == IID_IUnknown) {
    *object = static_cast<IUnknown*>(this);
  } else if (iid == IStiUSD::kIid) {
    *object = static_cast<IStiUSD*>(&device_);
  } else if (iid == IWiaMiniDrv::kIid) {
    *object = static_cast<IWiaMiniDrv*>(&device_);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  static_cast<IUnknown*>(*object)->AddRef();
  return S_OK;
}

ULONG TestUsdDevice::NonDelegating::AddRef() { return device_.references_.fetch_add(1) + 1; }

ULONG TestUsdDevice::NonDelegating::Release() {
  const ULONG left = device_.references_.fetch_sub(1) - 1;
  if (left == 0) delete &device_;
  return left;
}

// --- IStiUSD -------------------------------------------------------------------

HRESULT TestUsdDevice::Initialize(IStiDeviceControl* control, DWORD, HKEY) {
  if (control == nullptr) return E_INVALIDARG;
  control_ = com::ComPtr<IStiDeviceControl>(control);
  return S_OK;
}

HRESULT TestUsdDevice::GetCapabilities(PSTI_USD_CAPS caps) {
  if (caps == nullptr) return E_INVALIDARG;
  std::memset(caps, 0, sizeof *caps);
  caps->dwVersion = STI_VERSION_REAL;
  caps->dwGenericCaps = STI_GENCAP_NOTIFICATIONS;
  return S_OK;
}

HRESULT TestUsdDevice::GetStatus(PSTI_DEVICE_STATUS status) {
  if (status == nullptr) return E_INVALIDARG;
  if (status->StatusMask & STI_DEVSTATUS_ONLINE_STATE) status->dwOnlineState = STI_ONLINESTATE_OPERATIONAL;
  if (status->StatusMask & STI_DEVSTATUS_EVENTS_STATE) {
    status->dwEventHandlingState = STI_EVENTHANDLING_PENDING;
    SetLastEvent(WIA_EVENT_SNAPSHOT_BUTTON);
  }
  return S_OK;
}

HRESULT TestUsdDevice::Diagnostic(LPDIAG result) {
  if (result == nullptr) return E_INVALIDARG;
  const DWORD size = result->dwSize;
  std::memset(result, 0, sizeof *result);
  result->dwSize = size;
  return S_OK;
}

HRESULT TestUsdDevice::GetLastError(DWORD* error) {
  if (error == nullptr) return E_INVALIDARG;
  *error = lastError_;
  return S_OK;
}

HRESULT TestUsdDevice::GetNotificationData(LPSTINOTIFY notify) {
  if (notify == nullptr) return E_INVALIDARG;
  std::lock_guard lock(lastEventLock_);
  if (lastEvent_ == GUID{}) return STIERR_NOEVENTS;
  std::memset(notify, 0, sizeof *notify);
  notify->dwSize = sizeof *notify;
  notify->guidNotificationCode = lastEvent_;
  lastEvent_ = GUID{};
  return S_OK;
}

HRESULT TestUsdDevice::GetLastErrorInfo(STI_ERROR_INFO* info) {
  if (info == nullptr) return E_INVALIDARG;
  info->dwGenericError = lastError_;
  info->szExtendedErrorText[0] = 0;
  return S_OK;
}

void TestUsdDevice::SetLastEvent(const GUID& event) {
  std::lock_guard lock(lastEventLock_);
  lastEvent_ = event;
}

// --- IWiaMiniDrv ---------------------------------------------------------------

HRESULT TestUsdDevice::drvInitializeWia(BYTE* context, LONG flags, BSTR deviceId, BSTR rootFullItemName,
                                        IUnknown* stiDevice, IUnknown*, IWiaDrvItem** root, IUnknown** inner,
                                        LONG* error) {
  NoDeviceError(error);
  if (inner != nullptr) *inner = nullptr;
  if (root == nullptr) return E_INVALIDARG;
  *root = nullptr;
  return com::ComMethod([&]() -> HRESULT {
    if (!stiDevice_) {
      // The first initialisation: the camera's contents, copied afresh.
      com::ComPtr<IStiDevice> device;
      if (stiDevice == nullptr || FAILED(stiDevice->QueryInterface(IID_PPV_ARGS(device.ReleaseAndGetAddressOf())))) return E_INVALIDARG;
      stiDevice_ = device;
      deviceId_ = deviceId != nullptr ? std::u16string(com::BstrView(deviceId)) : std::u16string();
      rootFullName_ = rootFullItemName != nullptr ? std::u16string(com::BstrView(rootFullItemName)) : u"";
      std::string folder;
      {
        std::lock_guard lock(treeLock_);
        folder = rootFolder_;
      }
      KXWIADLD_CleanFolder(folder.c_str(), ".tmb");
      KXWIADLD_Download(kDriverKey, folder.c_str(), 0);
    }
    IWiaDrvItem* made = nullptr;
    const HRESULT synchronized = drvDeviceCommand(context, flags, &WIA_CMD_SYNCHRONIZE, &made, error);
    if (FAILED(synchronized)) return synchronized;
    std::lock_guard lock(treeLock_);
    *root = root_;
    return root_ != nullptr ? S_OK : E_FAIL;
  });
}

HRESULT TestUsdDevice::drvAcquireItemData(BYTE* context, LONG, PMINIDRV_TRANSFER_CONTEXT transfer, LONG* error) {
  NoDeviceError(error);
  IWiaDrvItem* item = nullptr;
  BYTE* spec = nullptr;
  if (FAILED(wiasGetDrvItem(context, &item)) || FAILED(item->GetDeviceSpecContext(&spec)) || spec == nullptr) {
    return E_INVALIDARG;
  }
  const std::string file(reinterpret_cast<const char*>(spec));
  return com::ComMethod([&] { return TransferPicture(context, file, transfer); });
}

HRESULT TestUsdDevice::drvInitItemProperties(BYTE* context, LONG, LONG* error) {
  NoDeviceError(error);
  IWiaDrvItem* item = nullptr;
  LONG flags = 0;
  if (FAILED(wiasGetDrvItem(context, &item)) || FAILED(item->GetItemFlags(&flags))) return E_INVALIDARG;
  if (flags & WiaItemTypeRoot) {
    std::string folder;
    {
      std::lock_guard lock(treeLock_);
      folder = rootFolder_;
    }
    return com::ComMethod([&] { return InitRootProperties(context, folder); });
  }
  if (!(flags & WiaItemTypeImage)) return S_OK;
  BYTE* spec = nullptr;
  if (FAILED(item->GetDeviceSpecContext(&spec)) || spec == nullptr) return E_INVALIDARG;
  const std::string file(reinterpret_cast<const char*>(spec));
  return com::ComMethod([&] { return InitImageProperties(context, file); });
}

HRESULT TestUsdDevice::drvValidateItemProperties(BYTE* context, LONG, ULONG count, const PROPSPEC* specs,
                                                 LONG* error) {
  NoDeviceError(error);
  IWiaDrvItem* item = nullptr;
  LONG flags = 0;
  if (FAILED(wiasGetDrvItem(context, &item)) || FAILED(item->GetItemFlags(&flags))) return E_INVALIDARG;
  return com::ComMethod([&]() -> HRESULT {
    if (flags & WiaItemTypeImage) {
      // The sizes for the format and media type now chosen.
      MINIDRV_TRANSFER_CONTEXT transfer{};
      transfer.lSize = sizeof transfer;
      HRESULT result = wiasGetImageInformation(context, 0, &transfer);
      if (SUCCEEDED(result)) result = wiasWritePropLong(context, 4116, transfer.lItemSize);
      if (SUCCEEDED(result)) result = wiasWritePropLong(context, 4113, transfer.cbWidthInBytes);
      if (FAILED(result)) return result;
      if (transfer.tymed == TYMED_CALLBACK) return wiasWritePropLong(context, 4118, 65535);
      return transfer.lItemSize != 0 ? wiasWritePropLong(context, 4118, transfer.lItemSize) : S_OK;
    }
    if (!(flags & WiaItemTypeRoot) || specs == nullptr) return S_OK;
    bool rootPathChanged = false;
    for (ULONG i = 0; i < count; ++i) {
      rootPathChanged = rootPathChanged || (specs[i].ulKind == PRSPEC_PROPID && specs[i].propid == 38914) ||
                        (specs[i].ulKind == PRSPEC_LPWSTR && specs[i].lpwstr != nullptr &&
                         com::WideView(specs[i].lpwstr) == u"Test Camera Root Path");
    }
    if (!rootPathChanged) return S_OK;
    BSTR folder = nullptr;
    if (wiasReadPropStr(context, 38914, &folder, nullptr, TRUE) != S_OK) return E_INVALIDARG;
    const std::string newRoot = com::Utf16ToUtf8(com::BstrView(folder));
    SysFreeString(folder);
    {
      std::lock_guard lock(treeLock_);
      rootFolder_ = newRoot;
      // Kept in the registry too: the event thread follows the registry's
      // folder, and would otherwise take the device back to the old one.
      WriteDriverString("WiaRootPath", newRoot);
      DeleteItemTree();
      BuildItemTree();
    }
    // The service learns of the new tree as of a device connected again.
    SetLastEvent(WIA_EVENT_DEVICE_CONNECTED);
    if (HANDLE notification = notification_.load()) SetEvent(notification);
    return S_OK;
  });
}

HRESULT TestUsdDevice::drvWriteItemProperties(BYTE* context, LONG, PMINIDRV_TRANSFER_CONTEXT, LONG* error) {
  NoDeviceError(error);
  IWiaDrvItem* item = nullptr;
  BYTE* spec = nullptr;
  if (FAILED(wiasGetDrvItem(context, &item)) || FAILED(item->GetDeviceSpecContext(&spec)) || spec == nullptr) {
    return E_POINTER;
  }
  return S_OK;
}

HRESULT TestUsdDevice::drvReadItemProperties(BYTE* context, LONG, ULONG, const PROPSPEC*, LONG* error) {
  NoDeviceError(error);
  // The values are the service's: the format and media type are only read.
  GUID format{};
  LONG tymed = 0;
  wiasReadPropGuid(context, 4106, &format, nullptr, FALSE);
  wiasReadPropLong(context, 4108, &tymed, nullptr, FALSE);
  return S_OK;
}

HRESULT TestUsdDevice::drvLockWiaDevice(BYTE*, LONG, LONG* error) {
  NoDeviceError(error);
  return stiDevice_ ? stiDevice_->LockDevice(kLockTimeOut) : S_OK;
}

HRESULT TestUsdDevice::drvUnLockWiaDevice(BYTE*, LONG, LONG* error) {
  NoDeviceError(error);
  return stiDevice_ ? stiDevice_->UnLockDevice() : S_OK;
}

HRESULT TestUsdDevice::drvAnalyzeItem(BYTE*, LONG, LONG* error) {
  NoDeviceError(error);
  return E_NOTIMPL;
}

HRESULT TestUsdDevice::drvGetDeviceErrorStr(LONG, LONG deviceError, LPOLESTR* text, LONG* error) {
  NoDeviceError(error);
  if (text == nullptr) return E_INVALIDARG;
  const std::u16string_view said = deviceError == 0 ? u"No Error" : u"Device Error, Unknown Error";
  *text = static_cast<LPOLESTR>(CoTaskMemAlloc((said.size() + 1) * sizeof(OLECHAR)));
  if (*text == nullptr) return E_OUTOFMEMORY;
  std::memcpy(*text, said.data(), said.size() * sizeof(OLECHAR));
  (*text)[said.size()] = 0;
  return deviceError == 0 ? S_OK : E_FAIL;
}

HRESULT TestUsdDevice::drvDeviceCommand(BYTE* context, LONG flags, const GUID* command, IWiaDrvItem** item,
                                        LONG* error) {
  NoDeviceError(error);
  if (item != nullptr) *item = nullptr;
  if (command == nullptr) return E_INVALIDARG;
  return com::ComMethod([&]() -> HRESULT {
    if (*command == WIA_CMD_SYNCHRONIZE) {
      const HRESULT locked = drvLockWiaDevice(context, flags, error);
      if (FAILED(locked)) return locked;
      HRESULT built = S_OK;
      {
        std::lock_guard lock(treeLock_);
        if (root_ == nullptr) built = BuildItemTree();
      }
      drvUnLockWiaDevice(context, flags, error);
      return built;
    }
    if (*command == WIA_CMD_DELETE_ALL_ITEMS) return S_OK;
    if (*command == WIA_EVENT_SNAPSHOT_BUTTON) {
      // Pressing the button for the application: the event thread raises it.
      if (ReadDriverDword("DriverStatus") != kCameraStreaming) WriteDriverDword("TimerTrigger", 1);
      return S_OK;
    }
    if (*command == WIA_EVENT_DEVICE_DISCONNECTED) {
      // The next initialisation copies the camera's contents again.
      stiDevice_ = nullptr;
      return S_OK;
    }
    return E_NOTIMPL;
  });
}

HRESULT TestUsdDevice::drvGetCapabilities(BYTE*, LONG flags, LONG* count, WIA_DEV_CAP_DRV** capabilities,
                                          LONG* error) {
  NoDeviceError(error);
  if (count == nullptr || capabilities == nullptr) return E_INVALIDARG;
  switch (flags) {
    case WIA_DEVICE_COMMANDS:
      *count = 2;
      *capabilities = &kCapabilities[2];
      return S_OK;
    case WIA_DEVICE_EVENTS:
      *count = 2;
      *capabilities = &kCapabilities[0];
      return S_OK;
    case WIA_DEVICE_COMMANDS | WIA_DEVICE_EVENTS:
      *count = 4;
      *capabilities = &kCapabilities[0];
      return S_OK;
  }
  *count = 0;
  *capabilities = nullptr;
  return E_INVALIDARG;
}

HRESULT TestUsdDevice::drvDeleteItem(BYTE* context, LONG, LONG* error) {
  NoDeviceError(error);
  IWiaDrvItem* item = nullptr;
  BYTE* spec = nullptr;
  if (FAILED(wiasGetDrvItem(context, &item)) || FAILED(item->GetDeviceSpecContext(&spec)) || spec == nullptr) {
    return E_INVALIDARG;
  }
  // The service takes the item out of its tree.
  if (!DeleteFileA(reinterpret_cast<const char*>(spec))) return HRESULT_FROM_WIN32(::GetLastError());
  return S_OK;
}

HRESULT TestUsdDevice::drvFreeDrvItemContext(LONG, BYTE* specContext, LONG* error) {
  NoDeviceError(error);
  // The context is the path's copy itself, whose bytes the service frees
  // with the item: here the path is forgotten.
  if (specContext != nullptr) specContext[0] = 0;
  return S_OK;
}

HRESULT TestUsdDevice::drvGetWiaFormatInfo(BYTE*, LONG, LONG* count, WIA_FORMAT_INFO** formats, LONG* error) {
  NoDeviceError(error);
  if (count == nullptr || formats == nullptr) return E_INVALIDARG;
  *count = static_cast<LONG>(std::size(kFormats));
  *formats = kFormats;
  return S_OK;
}

HRESULT TestUsdDevice::drvNotifyPnpEvent(const GUID* event, BSTR, ULONG) {
  if (event != nullptr && *event == WIA_EVENT_DEVICE_DISCONNECTED) {
    IWiaDrvItem* item = nullptr;
    LONG error = 0;
    return drvDeviceCommand(nullptr, 0, event, &item, &error);
  }
  return S_OK;
}

}  // namespace ksv::wia
