#include <algorithm>

#include "platform/com/property_page_list.h"
#include "platform/com/task_memory.h"

HRESULT ListPropertyPages(std::span<const CLSID> classes, CAUUID* pages) {
  if (pages == nullptr) return E_POINTER;
  pages->cElems = 0;
  pages->pElems = nullptr;
  if (classes.empty()) return S_OK;
  pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(classes.size_bytes()));
  if (pages->pElems == nullptr) return E_OUTOFMEMORY;
  std::copy(classes.begin(), classes.end(), pages->pElems);
  pages->cElems = static_cast<ULONG>(classes.size());
  return S_OK;
}
