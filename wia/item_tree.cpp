// The item tree: the root folder's files, one image item each.
#include <cstring>

#include "platform/com/wide_text.h"
#include "platform/files/files.h"
#include "wia/usd_device.h"

namespace ksv::wia {

namespace {

// A BSTR for as long as it lives.
struct Bstr {
  explicit Bstr(std::u16string_view from) : text(SysAllocStringLen(from.data(), static_cast<UINT>(from.size()))) {}
  ~Bstr() { SysFreeString(text); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR text;
};

}  // namespace

HRESULT TestUsdDevice::BuildItemTree() {
  IWiaDrvItem* root = nullptr;
  const Bstr rootName(u"Root");
  const Bstr rootFullName(rootFullName_);
  HRESULT result = wiasCreateDrvItem(WiaItemTypeFolder | WiaItemTypeDevice | WiaItemTypeRoot, rootName.text,
                                     rootFullName.text, this, 0, nullptr, &root);
  if (FAILED(result)) return result;
  root_ = root;

  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA((rootFolder_ + "/*.*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return S_OK;  // an empty or missing folder: an empty tree
  do {
    const std::string entry = found.cFileName;
    // Only the pictures and clips directly in the root: names with an
    // extension, no folders.
    if (entry == "." || entry == ".." || entry.find('.') == std::string::npos) continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    if (entry.size() <= 4) continue;  // nothing would be left of the name
    const std::u16string name = com::Utf8ToUtf16(entry.substr(0, entry.size() - 4));
    const Bstr itemName(name);
    const Bstr itemFullName(rootFullName_ + u"\\" + name);
    const std::string path = rootFolder_ + "/" + entry;
    IWiaDrvItem* item = nullptr;
    BYTE* context = nullptr;
    result = wiasCreateDrvItem(WiaItemTypeFile | WiaItemTypeImage, itemName.text, itemFullName.text, this,
                               static_cast<LONG>(path.size() + 1), &context, &item);
    if (FAILED(result)) break;
    std::memcpy(context, path.c_str(), path.size() + 1);
    result = item->AddItemToFolder(root_);
    item->Release();  // the folder holds it
    if (FAILED(result)) break;
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return result;
}

void TestUsdDevice::DeleteItemTree() {
  std::lock_guard lock(treeLock_);
  if (root_ == nullptr) return;
  root_->UnlinkItemTree(WiaItemTypeDisconnected);
  root_->Release();
  root_ = nullptr;
}

}  // namespace ksv::wia
