// The still-image service's interfaces as a minidriver sees them: the
// still-image device layer (IStiUSD, which the driver implements;
// IStiDeviceControl and IStiDevice, which the service hands it), the WIA
// minidriver (IWiaMiniDrv), the service's driver items (IWiaDrvItem) and
// the support functions (wias*). Method order is the platform's, so the
// interfaces read like its documentation; the methods no caller here uses
// answer E_NOTIMPL in the service's objects.
#pragma once

#include "platform/com/bstr.h"
#include "platform/com/unknown.h"
#include "platform/registry/win32_registry.h"

// --- The still-image device layer ------------------------------------------

typedef struct _STI_USD_CAPS {
  DWORD dwVersion;
  DWORD dwGenericCaps;
} STI_USD_CAPS, *PSTI_USD_CAPS;

typedef struct _STI_DEVICE_STATUS {
  DWORD dwSize;
  DWORD StatusMask;
  DWORD dwOnlineState;
  DWORD dwHardwareStatusCode;
  DWORD dwEventHandlingState;
  DWORD dwPollingInterval;
} STI_DEVICE_STATUS, *PSTI_DEVICE_STATUS;

typedef struct _STI_ERROR_INFO {
  DWORD dwSize;
  DWORD dwGenericError;
  DWORD dwVendorError;
  WCHAR szExtendedErrorText[255];
} STI_ERROR_INFO, *PSTI_ERROR_INFO;

typedef struct _STI_DIAG {
  DWORD dwSize;
  DWORD dwBasicDiagCode;
  DWORD dwVendorDiagCode;
  DWORD dwStatusMask;
  STI_ERROR_INFO sErrorInfo;
} STI_DIAG, *LPSTI_DIAG, DIAG, *LPDIAG;

// A device event as GetNotificationData hands it over: 84 bytes.
typedef struct _STINOTIFY {
  DWORD dwSize;
  GUID guidNotificationCode;
  BYTE abNotificationData[64];
} STINOTIFY, *LPSTINOTIFY;
static_assert(sizeof(STINOTIFY) == 84);

typedef DWORD STI_RAW_CONTROL_CODE;

inline constexpr DWORD STI_VERSION_REAL = 0x00000002;
inline constexpr DWORD STI_GENCAP_NOTIFICATIONS = 0x00000001;
inline constexpr DWORD STI_DEVSTATUS_ONLINE_STATE = 0x0001;
inline constexpr DWORD STI_DEVSTATUS_EVENTS_STATE = 0x0002;
inline constexpr DWORD STI_ONLINESTATE_OPERATIONAL = 0x00000001;
inline constexpr DWORD STI_EVENTHANDLING_PENDING = 0x00000004;
inline constexpr HRESULT STIERR_NOEVENTS = ksv::com::detail::Code(0x80070103u);
inline constexpr HRESULT STIERR_DEVICE_LOCKED = ksv::com::detail::Code(0x80070021u);

// What the service knows of the device's port; the driver keeps it.
struct IStiDeviceControl : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("128A9860-52DC-11D0-9EDF-444553540000");
  virtual HRESULT Initialize(DWORD deviceType, DWORD mode, LPCWSTR portName) = 0;
  virtual HRESULT RawReadData(void* buffer, DWORD* bytes, void* overlapped) = 0;
  virtual HRESULT RawWriteData(void* buffer, DWORD bytes, void* overlapped) = 0;
  virtual HRESULT RawReadCommand(void* buffer, DWORD* bytes, void* overlapped) = 0;
  virtual HRESULT RawWriteCommand(void* buffer, DWORD bytes, void* overlapped) = 0;
  virtual HRESULT RawDeviceControl(STI_RAW_CONTROL_CODE code, void* input, DWORD inputBytes, void* output,
                                   DWORD outputBytes, DWORD* returned) = 0;
  virtual HRESULT GetLastError(DWORD* error) = 0;
  virtual HRESULT GetMyDevicePortName(WCHAR* name, DWORD size) = 0;
  virtual HRESULT GetMyDeviceHandle(HANDLE* handle) = 0;
  virtual HRESULT GetMyDeviceOpenMode(DWORD* mode) = 0;
  virtual HRESULT WriteToErrorLog(DWORD type, LPCWSTR message, HRESULT error) = 0;

 protected:
  ~IStiDeviceControl() = default;
};

// The device as the service's clients (and the minidriver) lock it.
struct IStiDevice : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("6CFA5A80-2DC8-11D0-90EA-00AA0060F86C");
  virtual HRESULT Initialize(HINSTANCE instance, LPCWSTR deviceName, DWORD version, DWORD mode) = 0;
  virtual HRESULT GetCapabilities(PSTI_USD_CAPS caps) = 0;
  virtual HRESULT GetStatus(PSTI_DEVICE_STATUS status) = 0;
  virtual HRESULT DeviceReset() = 0;
  virtual HRESULT Diagnostic(LPSTI_DIAG result) = 0;
  virtual HRESULT Escape(STI_RAW_CONTROL_CODE code, void* input, DWORD inputBytes, void* output,
                         DWORD outputBytes, DWORD* returned) = 0;
  virtual HRESULT GetLastError(DWORD* error) = 0;
  // Fails with STIERR_DEVICE_LOCKED when the lock is not had within
  // `timeOut` milliseconds.
  virtual HRESULT LockDevice(DWORD timeOut) = 0;
  virtual HRESULT UnLockDevice() = 0;
  virtual HRESULT RawReadData(void* buffer, DWORD* bytes, void* overlapped) = 0;
  virtual HRESULT RawWriteData(void* buffer, DWORD bytes, void* overlapped) = 0;
  virtual HRESULT RawReadCommand(void* buffer, DWORD* bytes, void* overlapped) = 0;
  virtual HRESULT RawWriteCommand(void* buffer, DWORD bytes, void* overlapped) = 0;
  virtual HRESULT Subscribe(void* request) = 0;
  virtual HRESULT GetLastNotificationData(LPSTINOTIFY notify) = 0;
  virtual HRESULT UnSubscribe() = 0;
  virtual HRESULT GetLastErrorInfo(STI_ERROR_INFO* info) = 0;

 protected:
  ~IStiDevice() = default;
};

// The user-mode driver of a still-image device.
struct IStiUSD : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("0C9BB460-51AC-11D0-90EA-00AA0060F86C");
  virtual HRESULT Initialize(IStiDeviceControl* control, DWORD stiVersion, HKEY parametersKey) = 0;
  virtual HRESULT GetCapabilities(PSTI_USD_CAPS caps) = 0;
  virtual HRESULT GetStatus(PSTI_DEVICE_STATUS status) = 0;
  virtual HRESULT DeviceReset() = 0;
  virtual HRESULT Diagnostic(LPDIAG result) = 0;
  virtual HRESULT Escape(STI_RAW_CONTROL_CODE code, void* input, DWORD inputBytes, void* output,
                         DWORD outputBytes, DWORD* returned) = 0;
  virtual HRESULT GetLastError(DWORD* error) = 0;
  virtual HRESULT LockDevice() = 0;
  virtual HRESULT UnLockDevice() = 0;
  virtual HRESULT RawReadData(void* buffer, DWORD* bytes, void* overlapped) = 0;
  virtual HRESULT RawWriteData(void* buffer, DWORD bytes, void* overlapped) = 0;
  virtual HRESULT RawReadCommand(void* buffer, DWORD* bytes, void* overlapped) = 0;
  virtual HRESULT RawWriteCommand(void* buffer, DWORD bytes, void* overlapped) = 0;
  // The event the driver signals when it has an event for the service
  // (0 or -1: no more events).
  virtual HRESULT SetNotificationHandle(HANDLE event) = 0;
  virtual HRESULT GetNotificationData(LPSTINOTIFY notify) = 0;
  virtual HRESULT GetLastErrorInfo(STI_ERROR_INFO* info) = 0;

 protected:
  ~IStiUSD() = default;
};

// --- WIA -----------------------------------------------------------------------

// Item types (IWiaDrvItem::GetItemFlags), and the reasons of UnlinkItemTree.
inline constexpr LONG WiaItemTypeFree = 0x0;
inline constexpr LONG WiaItemTypeImage = 0x1;
inline constexpr LONG WiaItemTypeFile = 0x2;
inline constexpr LONG WiaItemTypeFolder = 0x4;
inline constexpr LONG WiaItemTypeRoot = 0x8;
inline constexpr LONG WiaItemTypeDevice = 0x40;
inline constexpr LONG WiaItemTypeDeleted = 0x80;
inline constexpr LONG WiaItemTypeDisconnected = 0x100;

// drvGetCapabilities' flags.
inline constexpr LONG WIA_DEVICE_EVENTS = 0x1;
inline constexpr LONG WIA_DEVICE_COMMANDS = 0x2;
// Capability flags.
inline constexpr ULONG WIA_NOTIFICATION_EVENT = 0x1;
inline constexpr ULONG WIA_ACTION_EVENT = 0x2;

// Events and commands of still-image devices.
inline constexpr GUID WIA_EVENT_DEVICE_DISCONNECTED = ksv::com::Guid("143E4E83-6497-11D2-A231-00C04FA31809");
inline constexpr GUID WIA_EVENT_DEVICE_CONNECTED = ksv::com::Guid("A28BBADE-64B6-11D2-A231-00C04FA31809");
inline constexpr GUID WIA_CMD_SYNCHRONIZE = ksv::com::Guid("9B26B7B2-ACAD-11D2-A093-00C04F72DC3C");
inline constexpr GUID WIA_CMD_DELETE_ALL_ITEMS = ksv::com::Guid("E208C170-ACAD-11D2-A093-00C04F72DC3C");

// One capability as a driver lists it; the driver owns the memory.
typedef struct _WIA_DEV_CAP_DRV {
  GUID* guid;
  ULONG ulFlags;
  LPOLESTR wszName;
  LPOLESTR wszDescription;
  LPOLESTR wszIcon;
} WIA_DEV_CAP_DRV;

typedef struct _WIA_FORMAT_INFO {
  GUID guidFormatID;
  LONG lTymed;
} WIA_FORMAT_INFO;

struct MINIDRV_TRANSFER_CONTEXT;  // the transfers' record
typedef MINIDRV_TRANSFER_CONTEXT* PMINIDRV_TRANSFER_CONTEXT;
struct PROPSPEC;                  // a property by identifier or name

struct IWiaMiniDrv;

// An item of the service's tree, as the driver makes it with
// wiasCreateDrvItem: flags, names, the driver's context and its place.
struct IWiaDrvItem : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("1F02B5C5-B00C-11D2-A094-00C04F72DC3C");
  virtual HRESULT GetItemFlags(LONG* flags) = 0;
  // The driver's context bytes, which the service keeps with the item.
  virtual HRESULT GetDeviceSpecContext(BYTE** context) = 0;
  virtual HRESULT GetFullItemName(BSTR* name) = 0;
  virtual HRESULT GetItemName(BSTR* name) = 0;
  virtual HRESULT AddItemToFolder(IWiaDrvItem* folder) = 0;
  // Takes the item and everything below it out of the tree for `reason`
  // (WiaItemTypeDeleted or WiaItemTypeDisconnected).
  virtual HRESULT UnlinkItemTree(LONG reason) = 0;
  virtual HRESULT RemoveItemFromFolder(LONG reason) = 0;
  virtual HRESULT FindItemByName(LONG flags, BSTR fullName, IWiaDrvItem** item) = 0;
  virtual HRESULT FindChildItemByName(BSTR name, IWiaDrvItem** item) = 0;
  virtual HRESULT GetParentItem(IWiaDrvItem** parent) = 0;
  virtual HRESULT GetFirstChildItem(IWiaDrvItem** child) = 0;
  virtual HRESULT GetNextSiblingItem(IWiaDrvItem** sibling) = 0;
  virtual HRESULT DumpItemData(BSTR* text) = 0;

 protected:
  ~IWiaDrvItem() = default;
};

// The WIA minidriver. `context` is the service's item the call is about
// (wiasGetDrvItem gives its driver item); every `error` out value is the
// device error.
struct IWiaMiniDrv : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("D8CDEE14-3C6C-11D2-9A35-00C04FA36145");
  virtual HRESULT drvInitializeWia(BYTE* context, LONG flags, BSTR deviceId, BSTR rootFullItemName,
                                   IUnknown* stiDevice, IUnknown* outer, IWiaDrvItem** root,
                                   IUnknown** inner, LONG* error) = 0;
  virtual HRESULT drvAcquireItemData(BYTE* context, LONG flags, PMINIDRV_TRANSFER_CONTEXT transfer,
                                     LONG* error) = 0;
  virtual HRESULT drvInitItemProperties(BYTE* context, LONG flags, LONG* error) = 0;
  virtual HRESULT drvValidateItemProperties(BYTE* context, LONG flags, ULONG count, const PROPSPEC* specs,
                                            LONG* error) = 0;
  virtual HRESULT drvWriteItemProperties(BYTE* context, LONG flags, PMINIDRV_TRANSFER_CONTEXT transfer,
                                         LONG* error) = 0;
  virtual HRESULT drvReadItemProperties(BYTE* context, LONG flags, ULONG count, const PROPSPEC* specs,
                                        LONG* error) = 0;
  virtual HRESULT drvLockWiaDevice(BYTE* context, LONG flags, LONG* error) = 0;
  virtual HRESULT drvUnLockWiaDevice(BYTE* context, LONG flags, LONG* error) = 0;
  virtual HRESULT drvAnalyzeItem(BYTE* context, LONG flags, LONG* error) = 0;
  virtual HRESULT drvGetDeviceErrorStr(LONG flags, LONG deviceError, LPOLESTR* text, LONG* error) = 0;
  // `item` receives the item the command made, if any.
  virtual HRESULT drvDeviceCommand(BYTE* context, LONG flags, const GUID* command, IWiaDrvItem** item,
                                   LONG* error) = 0;
  virtual HRESULT drvGetCapabilities(BYTE* context, LONG flags, LONG* count, WIA_DEV_CAP_DRV** capabilities,
                                     LONG* error) = 0;
  virtual HRESULT drvDeleteItem(BYTE* context, LONG flags, LONG* error) = 0;
  virtual HRESULT drvFreeDrvItemContext(LONG flags, BYTE* specContext, LONG* error) = 0;
  virtual HRESULT drvGetWiaFormatInfo(BYTE* context, LONG flags, LONG* count, WIA_FORMAT_INFO** formats,
                                      LONG* error) = 0;
  virtual HRESULT drvNotifyPnpEvent(const GUID* event, BSTR deviceId, ULONG reserved) = 0;
  virtual HRESULT drvUnInitializeWia(BYTE* context) = 0;

 protected:
  ~IWiaMiniDrv() = default;
};

extern "C" {

// A new driver item of type `flags` named `name` (full name `fullName`),
// with `specSize` zeroed bytes of driver context (*specContext, which stays
// valid as long as the item; may be null when `specSize` is 0). The
// driver's drvFreeDrvItemContext hears of the context before the item
// goes. E_INVALIDARG for missing names or out pointers.
HRESULT wiasCreateDrvItem(LONG flags, BSTR name, BSTR fullName, IWiaMiniDrv* miniDriver, LONG specSize,
                          BYTE** specContext, IWiaDrvItem** item);
// The driver item behind the service's item `context` (uncounted, as the
// platform hands it).
HRESULT wiasGetDrvItem(BYTE* context, IWiaDrvItem** item);

}  // extern "C"
