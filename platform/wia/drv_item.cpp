#include "platform/wia/drv_item.h"

#include <algorithm>

#include "platform/com/com_method.h"
#include "platform/com/wide_text.h"

namespace ksv::platform::wia {

DrvItem::DrvItem(LONG flags, std::u16string name, std::u16string fullName, IWiaMiniDrv* miniDriver,
                 size_t specSize)
    : flags_(flags), name_(std::move(name)), fullName_(std::move(fullName)), miniDriver_(miniDriver),
      spec_(specSize, 0) {}

HRESULT DrvItem::GetItemFlags(LONG* flags) {
  if (flags == nullptr) return E_POINTER;
  *flags = flags_;
  return S_OK;
}

HRESULT DrvItem::GetDeviceSpecContext(BYTE** context) {
  if (context == nullptr) return E_POINTER;
  *context = spec_.empty() ? nullptr : spec_.data();
  return spec_.empty() ? E_INVALIDARG : S_OK;
}

HRESULT DrvItem::GetFullItemName(BSTR* name) {
  if (name == nullptr) return E_POINTER;
  *name = SysAllocStringLen(fullName_.data(), static_cast<UINT>(fullName_.size()));
  return *name != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT DrvItem::GetItemName(BSTR* name) {
  if (name == nullptr) return E_POINTER;
  *name = SysAllocStringLen(name_.data(), static_cast<UINT>(name_.size()));
  return *name != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT DrvItem::AddItemToFolder(IWiaDrvItem* folder) {
  return com::ComMethod([&]() -> HRESULT {
    // Only items of this service are folders of it.
    auto* parent = static_cast<DrvItem*>(folder);
    if (parent == nullptr || parent == this || parent_ != nullptr) return E_INVALIDARG;
    if ((parent->flags_ & WiaItemTypeFolder) == 0) return E_INVALIDARG;
    parent->children_.push_back(com::ComPtr<DrvItem>(this));
    parent_ = parent;
    return S_OK;
  });
}

void DrvItem::Unlink(LONG reason) {
  for (const com::ComPtr<DrvItem>& child : children_) {
    child->Unlink(reason);
    child->parent_ = nullptr;
  }
  children_.clear();
  if (!spec_.empty() && miniDriver_ != nullptr) {
    LONG error = 0;
    miniDriver_->drvFreeDrvItemContext(0, spec_.data(), &error);
  }
  flags_ |= reason;
}

HRESULT DrvItem::UnlinkItemTree(LONG reason) {
  if (reason != WiaItemTypeDeleted && reason != WiaItemTypeDisconnected) return E_INVALIDARG;
  // Held while it leaves its parent, whose reference may be the last.
  com::ComPtr<DrvItem> self(this);
  Unlink(reason);
  if (parent_ != nullptr) {
    auto& siblings = parent_->children_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), self), siblings.end());
    parent_ = nullptr;
  }
  return S_OK;
}

}  // namespace ksv::platform::wia

extern "C" HRESULT wiasCreateDrvItem(LONG flags, BSTR name, BSTR fullName, IWiaMiniDrv* miniDriver, LONG specSize,
                                     BYTE** specContext, IWiaDrvItem** item) {
  using namespace ksv;
  return com::ComMethod([&]() -> HRESULT {
    if (item == nullptr) return E_INVALIDARG;
    *item = nullptr;
    if (name == nullptr || fullName == nullptr || specSize < 0 || (specSize > 0 && specContext == nullptr)) {
      return E_INVALIDARG;
    }
    auto* made = new platform::wia::DrvItem(flags, std::u16string(com::BstrView(name)),
                                            std::u16string(com::BstrView(fullName)), miniDriver,
                                            static_cast<size_t>(specSize));
    if (specContext != nullptr) {
      *specContext = specSize > 0 ? const_cast<BYTE*>(made->specContext().data()) : nullptr;
    }
    *item = made;
    return S_OK;
  });
}

extern "C" HRESULT wiasGetDrvItem(BYTE* context, IWiaDrvItem** item) {
  if (context == nullptr || item == nullptr) return E_INVALIDARG;
  *item = reinterpret_cast<ksv::platform::wia::DrvItem*>(context);
  return S_OK;
}
