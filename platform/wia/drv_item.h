// The service's driver items: what wiasCreateDrvItem makes and the service
// walks to show its tree.
#pragma once

#include <string>
#include <vector>

#include "platform/com/com_object.h"
#include "platform/com/com_ptr.h"
#include "platform/wia/properties.h"
#include "platform/wia/wia.h"

namespace ksv::platform::wia {

// One property of an item as the service keeps it.
struct ItemProperty {
  PROPID id = 0;
  std::u16string name;
  VARTYPE vt = VT_EMPTY;  // nothing written yet
  LONG number = 0;        // VT_I4
  float real = 0;         // VT_R4
  std::u16string text;    // VT_BSTR
  GUID guid{};            // VT_CLSID
  std::vector<BYTE> bytes;  // VT_VECTOR | VT_UI1
  ULONG access = WIA_PROP_READ | WIA_PROP_NONE;
};

class DrvItem final : public com::ComObject<IWiaDrvItem> {
 public:
  DrvItem(LONG flags, std::u16string name, std::u16string fullName, IWiaMiniDrv* miniDriver, size_t specSize);

  HRESULT GetItemFlags(LONG* flags) override;
  HRESULT GetDeviceSpecContext(BYTE** context) override;
  HRESULT GetFullItemName(BSTR* name) override;
  HRESULT GetItemName(BSTR* name) override;
  HRESULT AddItemToFolder(IWiaDrvItem* folder) override;
  HRESULT UnlinkItemTree(LONG reason) override;
  HRESULT RemoveItemFromFolder(LONG) override { return E_NOTIMPL; }
  HRESULT FindItemByName(LONG, BSTR, IWiaDrvItem**) override { return E_NOTIMPL; }
  HRESULT FindChildItemByName(BSTR, IWiaDrvItem**) override { return E_NOTIMPL; }
  HRESULT GetParentItem(IWiaDrvItem**) override { return E_NOTIMPL; }
  HRESULT GetFirstChildItem(IWiaDrvItem**) override { return E_NOTIMPL; }
  HRESULT GetNextSiblingItem(IWiaDrvItem**) override { return E_NOTIMPL; }
  HRESULT DumpItemData(BSTR*) override { return E_NOTIMPL; }

  // The service's view. The service's item context (what the driver gets
  // as `context` in its calls) is the driver item itself.
  BYTE* ServiceContext() { return reinterpret_cast<BYTE*>(this); }
  LONG flags() const { return flags_; }
  const std::u16string& name() const { return name_; }
  const std::u16string& fullName() const { return fullName_; }
  const std::vector<BYTE>& specContext() const { return spec_; }
  const std::vector<com::ComPtr<DrvItem>>& children() const { return children_; }
  // The item's properties in the order they were named, and whether the
  // driver has made them yet.
  std::vector<ItemProperty>& properties() { return properties_; }
  const std::vector<ItemProperty>& properties() const { return properties_; }
  bool propertiesMade = false;

 private:
  // Frees the contexts below and this one with the driver, then forgets
  // the children.
  void Unlink(LONG reason);

  LONG flags_;
  std::u16string name_;
  std::u16string fullName_;
  IWiaMiniDrv* miniDriver_;  // uncounted: the driver holds its items
  std::vector<BYTE> spec_;
  DrvItem* parent_ = nullptr;
  std::vector<com::ComPtr<DrvItem>> children_;
  std::vector<ItemProperty> properties_;
};

}  // namespace ksv::platform::wia
