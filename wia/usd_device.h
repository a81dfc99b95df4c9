// The camera's still-image device object: the driver the still-image
// service loads for the camera. It presents the pictures and clips copied
// out of the camera into its root folder as the service's item tree,
// answers the service's commands, and raises "Snapshot Button Pressed"
// when the camera's button was pressed while no other camera application
// runs (the event thread's button poll).
//
// Aggregatable: both faces forward IUnknown to the controlling unknown.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "platform/com/com_ptr.h"
#include "platform/com/module_locks.h"
#include "platform/wia/wia.h"

namespace ksv::wia {

// The driver's class, and the third identifier its factory accepts.
inline constexpr CLSID CLSID_TestUsdDevice = com::Guid("9219CFC9-88A4-4AAB-A9CA-F3054A515B05");
inline constexpr IID IID_TestUsdDeviceCreate = com::Guid("4DB1AD10-3391-11D2-9A33-00C04FA36145");
// The camera's button as an event (and as a command that presses it).
inline constexpr GUID WIA_EVENT_SNAPSHOT_BUTTON = com::Guid("A6C5A715-8C6E-11D2-977A-0000F87A926F");

// The module's count of live objects and factory locks.
com::ModuleLocks& ModuleLocks();

class TestUsdDevice final : public IStiUSD, public IWiaMiniDrv {
 public:
  // `outer` null: not aggregated.
  explicit TestUsdDevice(IUnknown* outer);
  TestUsdDevice(const TestUsdDevice&) = delete;
  TestUsdDevice& operator=(const TestUsdDevice&) = delete;

  // The non-delegating unknown (born with one reference).
  IUnknown* Inner() { return &inner_; }

  HRESULT QueryInterface(REFIID iid, void** object) override { return controlling_->QueryInterface(iid, object); }
  ULONG AddRef() override { return controlling_->AddRef(); }
  ULONG Release() override { return controlling_->Release(); }

  // IStiUSD
  HRESULT Initialize(IStiDeviceControl* control, DWORD stiVersion, HKEY parametersKey) override;
  HRESULT GetCapabilities(PSTI_USD_CAPS caps) override;
  HRESULT GetStatus(PSTI_DEVICE_STATUS status) override;
  HRESULT DeviceReset() override { return S_OK; }
  HRESULT Diagnostic(LPDIAG result) override;
  HRESULT Escape(STI_RAW_CONTROL_CODE, void*, DWORD, void*, DWORD, DWORD*) override { return S_OK; }
  HRESULT GetLastError(DWORD* error) override;
  HRESULT LockDevice() override { return S_OK; }
  HRESULT UnLockDevice() override { return S_OK; }
  HRESULT RawReadData(void*, DWORD*, void*) override { return E_NOTIMPL; }
  HRESULT RawWriteData(void*, DWORD, void*) override { return E_NOTIMPL; }
  HRESULT RawReadCommand(void*, DWORD*, void*) override { return E_NOTIMPL; }
  HRESULT RawWriteCommand(void*, DWORD, void*) override { return E_NOTIMPL; }
  HRESULT SetNotificationHandle(HANDLE event) override;
  HRESULT GetNotificationData(LPSTINOTIFY notify) override;
  HRESULT GetLastErrorInfo(STI_ERROR_INFO* info) override;

  // IWiaMiniDrv
  HRESULT drvInitializeWia(BYTE* context, LONG flags, BSTR deviceId, BSTR rootFullItemName, IUnknown* stiDevice,
                           IUnknown* outer, IWiaDrvItem** root, IUnknown** inner, LONG* error) override;
  HRESULT drvAcquireItemData(BYTE*, LONG, PMINIDRV_TRANSFER_CONTEXT, LONG* error) override;
  HRESULT drvInitItemProperties(BYTE*, LONG, LONG* error) override;
  HRESULT drvValidateItemProperties(BYTE*, LONG, ULONG, const PROPSPEC*, LONG* error) override;
  HRESULT drvWriteItemProperties(BYTE* context, LONG flags, PMINIDRV_TRANSFER_CONTEXT, LONG* error) override;
  HRESULT drvReadItemProperties(BYTE*, LONG, ULONG, const PROPSPEC*, LONG* error) override;
  HRESULT drvLockWiaDevice(BYTE* context, LONG flags, LONG* error) override;
  HRESULT drvUnLockWiaDevice(BYTE* context, LONG flags, LONG* error) override;
  HRESULT drvAnalyzeItem(BYTE*, LONG, LONG* error) override;
  HRESULT drvGetDeviceErrorStr(LONG flags, LONG deviceError, LPOLESTR* text, LONG* error) override;
  HRESULT drvDeviceCommand(BYTE* context, LONG flags, const GUID* command, IWiaDrvItem** item,
                           LONG* error) override;
  HRESULT drvGetCapabilities(BYTE* context, LONG flags, LONG* count, WIA_DEV_CAP_DRV** capabilities,
                             LONG* error) override;
  HRESULT drvDeleteItem(BYTE* context, LONG flags, LONG* error) override;
  HRESULT drvFreeDrvItemContext(LONG flags, BYTE* specContext, LONG* error) override;
  HRESULT drvGetWiaFormatInfo(BYTE* context, LONG flags, LONG* count, WIA_FORMAT_INFO** formats,
                              LONG* error) override;
  HRESULT drvNotifyPnpEvent(const GUID* event, BSTR deviceId, ULONG reserved) override;
  HRESULT drvUnInitializeWia(BYTE*) override { return S_OK; }

 private:
  class NonDelegating final : public IUnknown {
   public:
    explicit NonDelegating(TestUsdDevice& device) : device_(device) {}
    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

   private:
    TestUsdDevice& device_;
  };

  ~TestUsdDevice();

  // The item tree (item_tree.cpp), under treeLock_.
  HRESULT BuildItemTree();
  void DeleteItemTree();
  // The event thread (events.cpp).
  void RunEvents();
  void StopEvents();
  void SetLastEvent(const GUID& event);

  NonDelegating inner_{*this};
  IUnknown* controlling_;
  std::atomic<ULONG> references_{1};
  com::ModuleLocks::Hold moduleHold_{ModuleLocks()};

  DWORD lastError_ = 0;
  com::ComPtr<IStiDeviceControl> control_;
  com::ComPtr<IStiDevice> stiDevice_;
  std::u16string deviceId_;
  std::u16string rootFullName_;

  std::recursive_mutex treeLock_;
  std::string rootFolder_;
  IWiaDrvItem* root_ = nullptr;  // counted; null when there is no tree

  std::mutex notificationLock_;  // SetNotificationHandle
  std::atomic<HANDLE> notification_{nullptr};
  HANDLE stopEvent_ = nullptr;
  std::thread events_;
  std::mutex lastEventLock_;
  GUID lastEvent_{};
};

// Names and writes the root item's properties (root_properties.cpp).
HRESULT InitRootProperties(BYTE* context, const std::string& rootFolder);

// Names and writes an image item's properties from its file, with its
// thumbnail (image_properties.cpp).
HRESULT InitImageProperties(BYTE* context, const std::string& itemFile);

// Sends the item's picture as `transfer` asks (transfer.cpp).
HRESULT TransferPicture(BYTE* context, const std::string& itemFile, MINIDRV_TRANSFER_CONTEXT* transfer);

// The root folder a new device object works in: $CAMERA_ROOT, else
// "KSV1" in the Windows folder, written to "WiaRootPath" and made.
std::string ChooseRootFolder();

}  // namespace ksv::wia
