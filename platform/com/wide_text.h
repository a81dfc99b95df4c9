// Conversions between the wide strings of COM (UTF-16) and the "ANSI"
// strings of the system's C interfaces, whose code page is UTF-8. Malformed
// input (a stray surrogate, a broken UTF-8 sequence) becomes U+FFFD.
#pragma once

#include <string>
#include <string_view>

#include "include/win32_types.h"
#include "platform/com/bstr.h"
#include "platform/com/com_types.h"

namespace ksv::com {

std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// A zero-terminated wide string's view (empty for null).
std::u16string_view WideView(const OLECHAR* text);
// A BSTR's whole text, zeros included.
std::u16string_view BstrView(BSTR text);
// A new BSTR from UTF-8 text; null when memory runs out.
BSTR BstrFromUtf8(std::string_view text);

}  // namespace ksv::com

inline constexpr UINT CP_ACP = 0;
inline constexpr UINT CP_UTF8 = 65001;

/* Win32's conversions (both code pages are UTF-8 here). A length of -1
 * means zero-terminated, and the count then includes the zero. An output
 * size of 0 asks for the count needed; a buffer too small gives 0. */
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* text, int length, WCHAR* wide,
                        int wideSize);
int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* wide, int length, char* text,
                        int textSize, const char* defaultChar, BOOL* usedDefault);
