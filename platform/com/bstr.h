// BSTR, COM's counted wide string: a pointer to UTF-16 text that ends with
// a zero and is preceded by its length in bytes, so it may hold zeros. Who
// receives one as a result owns it and frees it with SysFreeString.
#pragma once

#include "include/win32_types.h"
#include "platform/com/com_types.h"

typedef OLECHAR* BSTR;

/* A copy of zero-terminated `text`; null for a null `text` or when memory
 * runs out. */
BSTR SysAllocString(const OLECHAR* text);
/* A string of `length` characters copied from `text`, or zeros when `text`
 * is null; always followed by a zero. */
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
/* Frees a string; null is ignored. */
void SysFreeString(BSTR text);
/* Its length in characters and in bytes; 0 for null. */
UINT SysStringLen(BSTR text);
UINT SysStringByteLen(BSTR text);
