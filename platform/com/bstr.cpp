#include "platform/com/bstr.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// The length prefix sits right before the text.
constexpr size_t kPrefix = sizeof(uint32_t);

uint32_t* PrefixOf(BSTR text) {
  return reinterpret_cast<uint32_t*>(reinterpret_cast<char*>(text) - kPrefix);
}

}  // namespace

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  constexpr UINT kLongest = (std::numeric_limits<uint32_t>::max() - kPrefix) / sizeof(OLECHAR) - 1;
  if (length > kLongest) return nullptr;
  const size_t bytes = size_t{length} * sizeof(OLECHAR);
  auto* block = static_cast<char*>(std::malloc(kPrefix + bytes + sizeof(OLECHAR)));
  if (block == nullptr) return nullptr;
  const auto prefix = static_cast<uint32_t>(bytes);
  std::memcpy(block, &prefix, kPrefix);
  auto* string = reinterpret_cast<BSTR>(block + kPrefix);
  if (text != nullptr) {
    std::memcpy(string, text, bytes);
  } else {
    std::memset(string, 0, bytes);
  }
  string[length] = u'\0';
  return string;
}

BSTR SysAllocString(const OLECHAR* text) {
  if (text == nullptr) return nullptr;
  UINT length = 0;
  while (text[length] != u'\0') ++length;
  return SysAllocStringLen(text, length);
}

void SysFreeString(BSTR text) {
  if (text != nullptr) std::free(PrefixOf(text));
}

UINT SysStringByteLen(BSTR text) {
  if (text == nullptr) return 0;
  uint32_t bytes = 0;
  std::memcpy(&bytes, PrefixOf(text), kPrefix);
  return bytes;
}

UINT SysStringLen(BSTR text) { return static_cast<UINT>(SysStringByteLen(text) / sizeof(OLECHAR)); }
