// GUIDs: compile-time definitions, the registry text form both ways, and
// what malformed text gives.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <unordered_set>

#include "platform/com/class_factory.h"
#include "platform/com/guid.h"
#include "platform/com/moniker.h"
#include "platform/com/property_bag.h"
#include "platform/com/task_memory.h"
#include "platform/com/wide_text.h"

namespace ksv::com {
namespace {

constexpr GUID kConverter = Guid("1b122ea0-139c-11d5-b7cf-009027941eaf");
static_assert(kConverter.Data1 == 0x1B122EA0 && kConverter.Data2 == 0x139C &&
              kConverter.Data3 == 0x11D5 && kConverter.Data4[0] == 0xB7 &&
              kConverter.Data4[7] == 0xAF);

TEST(Guid, DocumentedIdentifiersFormatAsTheirRegistryText) {
  EXPECT_EQ(FormatGuid(IID_IUnknown), "{00000000-0000-0000-C000-000000000046}");
  EXPECT_EQ(FormatGuid(IID_IClassFactory), "{00000001-0000-0000-C000-000000000046}");
  EXPECT_EQ(FormatGuid(IID_IPropertyBag), "{55272A00-42CB-11CE-8135-00AA004BB851}");
  EXPECT_EQ(FormatGuid(IID_IMoniker), "{0000000F-0000-0000-C000-000000000046}");
  EXPECT_EQ(FormatGuid(IID_IEnumMoniker), "{00000102-0000-0000-C000-000000000046}");
  EXPECT_EQ(FormatGuid(kConverter), "{1B122EA0-139C-11D5-B7CF-009027941EAF}");
}

TEST(Guid, ParsesWithOrWithoutBracesAndRoundTrips) {
  const std::string text = "{1B122EA1-139C-11D5-B7CF-009027941EAF}";
  const auto braced = ParseGuid(text);
  const auto bare = ParseGuid(text.substr(1, 36));
  ASSERT_TRUE(braced && bare);
  EXPECT_EQ(*braced, *bare);
  EXPECT_EQ(FormatGuid(*braced), text);
  EXPECT_NE(*braced, kConverter);
  EXPECT_TRUE(kConverter < *braced) << "they differ only in the last byte of Data1";
  EXPECT_FALSE(*braced < *braced);

  std::set<GUID> ordered{kConverter, *braced, kConverter};
  std::unordered_set<GUID> hashed{kConverter, *braced, IID_IUnknown, kConverter};
  EXPECT_EQ(ordered.size(), 2u);
  EXPECT_EQ(hashed.size(), 3u);
}

TEST(Guid, MalformedTextIsRefused) {
  for (const char* text : {"", "{}", "1B122EA0-139C-11D5-B7CF-009027941EA",
                           "{1B122EA0-139C-11D5-B7CF-009027941EAF", "1B122EA0-139C-11D5-B7CF-009027941EAF}",
                           "(1B122EA0-139C-11D5-B7CF-009027941EAF)",
                           "{1B122EA0_139C-11D5-B7CF-009027941EAF}",
                           "{1B122EA0-139C-11D5-B7CF-009027941EAG}",
                           "{1B122EA0-139C-11D5-B7CF0-09027941EAF}",
                           "{1B122EA0-139C-11D5-B7CF-009027941EAF}x",
                           "{ 1B122EA0-139C-11D5-B7CF-009027941EA}"}) {
    EXPECT_FALSE(ParseGuid(text).has_value()) << text;
  }
}

TEST(Guid, WideConversionsFollowTheirContracts) {
  OLECHAR text[39];
  EXPECT_EQ(StringFromGUID2(kConverter, text, 38), 0) << "no room for the zero";
  ASSERT_EQ(StringFromGUID2(kConverter, text, 39), 39);
  EXPECT_EQ(Utf16ToUtf8(text), "{1B122EA0-139C-11D5-B7CF-009027941EAF}");

  CLSID back{};
  ASSERT_EQ(CLSIDFromString(text, &back), S_OK);
  EXPECT_EQ(back, kConverter);

  LPOLESTR allocated = nullptr;
  ASSERT_EQ(StringFromCLSID(IID_IUnknown, &allocated), S_OK);
  EXPECT_EQ(Utf16ToUtf8(allocated), "{00000000-0000-0000-C000-000000000046}");
  CoTaskMemFree(allocated);

  back = kConverter;
  EXPECT_EQ(CLSIDFromString(u"1B122EA0-139C-11D5-B7CF-009027941EAF", &back), CO_E_CLASSSTRING)
      << "the braces are required";
  EXPECT_EQ(back, CLSID_NULL) << "a refused text leaves the null class";
  EXPECT_EQ(CLSIDFromString(u"{1B122EA0-139C-11D5-B7CF-009027941EAF}{", &back), CO_E_CLASSSTRING);
  EXPECT_EQ(CLSIDFromString(u"{1B122EA0-139C-11D5-B7CF-009027941EA\u00C9}", &back),
            CO_E_CLASSSTRING);
  EXPECT_EQ(CLSIDFromString(nullptr, &back), CO_E_CLASSSTRING);
  EXPECT_EQ(CLSIDFromString(text, nullptr), E_INVALIDARG);
}

}  // namespace
}  // namespace ksv::com
