// BSTRs, the task allocator and the UTF-8 / UTF-16 conversions.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/com/bstr.h"
#include "platform/com/task_memory.h"
#include "platform/com/wide_text.h"

namespace ksv::com {
namespace {

TEST(Bstr, KeepsItsLengthZerosIncluded) {
  BSTR text = SysAllocString(u"Smart Tee");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(SysStringLen(text), 9u);
  EXPECT_EQ(SysStringByteLen(text), 18u);
  EXPECT_EQ(text[9], u'\0');
  SysFreeString(text);

  const OLECHAR withZero[] = {u'a', u'\0', u'b'};
  BSTR counted = SysAllocStringLen(withZero, 3);
  EXPECT_EQ(SysStringLen(counted), 3u);
  EXPECT_EQ(BstrView(counted), std::u16string_view(withZero, 3));
  SysFreeString(counted);

  BSTR blank = SysAllocStringLen(nullptr, 4);
  ASSERT_NE(blank, nullptr);
  EXPECT_EQ(BstrView(blank), std::u16string(4, u'\0'));
  SysFreeString(blank);

  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(nullptr);
  EXPECT_EQ(SysAllocStringLen(u"x", 0x7FFFFFFFu), nullptr) << "a length past 32 bits of bytes";
}

TEST(TaskMemory, ReallocFollowsItsContract) {
  void* block = CoTaskMemAlloc(0);
  EXPECT_NE(block, nullptr) << "a zero-size block is still a block";
  block = CoTaskMemRealloc(block, 16);
  ASSERT_NE(block, nullptr);
  std::memset(block, 0xAB, 16);
  EXPECT_EQ(CoTaskMemRealloc(block, 0), nullptr) << "size 0 frees";
  void* fresh = CoTaskMemRealloc(nullptr, 8);
  EXPECT_NE(fresh, nullptr);
  CoTaskMemFree(fresh);
  CoTaskMemFree(nullptr);
}

TEST(WideText, ConvertsBothWaysAndReplacesWhatIsMalformed) {
  const std::string text = "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xF0\x9D\x84\x9E";  // Grüße € 𝄞
  const std::u16string wide = Utf8ToUtf16(text);
  EXPECT_EQ(wide, u"Gr\u00FC\u00DFe \u20AC \U0001D11E");
  EXPECT_EQ(wide.size(), 10u) << "the clef takes a surrogate pair";
  EXPECT_EQ(Utf16ToUtf8(wide), text);

  const std::u16string replacement(1, u'\uFFFD');
  EXPECT_EQ(Utf8ToUtf16("\xC3"), replacement) << "cut short";
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), replacement + replacement) << "overlong";
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), replacement + replacement + replacement)
      << "an encoded surrogate";
  EXPECT_EQ(Utf8ToUtf16("a\xFF" "b"), u"a\uFFFDb");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD800') + u"x"), "\xEF\xBF\xBDx");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xDC00')), "\xEF\xBF\xBD");
}

TEST(WideText, Win32ConversionsCountAsDocumented) {
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"Video Renderer", -1, nullptr, 0, nullptr, nullptr),
            15) << "the zero counts with -1";
  char narrow[15];
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"Video Renderer", -1, narrow, 14, nullptr, nullptr), 0)
      << "too small";
  ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, u"Video Renderer", -1, narrow, 15, nullptr, nullptr), 15);
  EXPECT_STREQ(narrow, "Video Renderer");
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\u00FC", 1, nullptr, 0, nullptr, nullptr), 2);

  WCHAR wide[8];
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "ab\xC3\xBC", 4, wide, 8), 3);
  EXPECT_EQ(std::u16string_view(wide, 3), u"ab\u00FC");
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, nullptr, 0), 4);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, nullptr, -1, wide, 8), 0);
}

}  // namespace
}  // namespace ksv::com
