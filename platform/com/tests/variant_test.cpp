// VARIANT and SAFEARRAY ownership: copies are deep, clearing frees, a locked
// array is not freed. (The sanitizer runs catch leaks and double frees.)
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

#include "platform/com/tests/counted_object.h"
#include "platform/com/variant.h"
#include "platform/com/wide_text.h"

namespace ksv::com {
namespace {

TEST(Variant, CopiesOfStringsAndInterfacesAreTheirOwn) {
  VARIANT text, copy;
  VariantInit(&text);
  VariantInit(&copy);
  text.vt = VT_BSTR;
  text.bstrVal = SysAllocString(u"FriendlyName");
  ASSERT_EQ(VariantCopy(&copy, &text), S_OK);
  EXPECT_NE(copy.bstrVal, text.bstrVal);
  ASSERT_EQ(VariantClear(&text), S_OK);
  EXPECT_EQ(text.vt, VT_EMPTY);
  EXPECT_EQ(BstrView(copy.bstrVal), u"FriendlyName");

  std::atomic<int> destroyed{0};
  VARIANT object;
  VariantInit(&object);
  object.vt = VT_UNKNOWN;
  object.punkVal = static_cast<IPersist*>(new testing::CountedObject(&destroyed));
  ASSERT_EQ(VariantCopy(&copy, &object), S_OK) << "the old string in the copy is freed first";
  EXPECT_EQ(copy.punkVal, object.punkVal);
  VariantClear(&object);
  EXPECT_EQ(destroyed.load(), 0) << "the copy holds a reference";
  VariantClear(&copy);
  EXPECT_EQ(destroyed.load(), 1);
}

TEST(Variant, ByteArraysCopyDeeplyAndStayWhileLocked) {
  SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, 5);
  ASSERT_NE(bytes, nullptr);
  void* data = nullptr;
  ASSERT_EQ(SafeArrayAccessData(bytes, &data), S_OK);
  std::memcpy(data, "\x01\x00\x02\x00\x03", 5);
  ASSERT_EQ(SafeArrayUnaccessData(bytes), S_OK);

  VARIANT value, copy;
  VariantInit(&value);
  VariantInit(&copy);
  value.vt = VT_ARRAY | VT_UI1;
  value.parray = bytes;
  ASSERT_EQ(VariantCopy(&copy, &value), S_OK);
  ASSERT_NE(copy.parray, bytes);
  EXPECT_EQ(std::memcmp(copy.parray->pvData, "\x01\x00\x02\x00\x03", 5), 0);
  VARTYPE type = 0;
  ASSERT_EQ(SafeArrayGetVartype(copy.parray, &type), S_OK);
  EXPECT_EQ(type, VT_UI1);

  ASSERT_EQ(SafeArrayAccessData(bytes, &data), S_OK);
  EXPECT_EQ(VariantClear(&value), DISP_E_ARRAYISLOCKED);
  EXPECT_EQ(value.vt, VT_ARRAY | VT_UI1) << "a failed clear leaves the value";
  EXPECT_EQ(SafeArrayDestroy(bytes), DISP_E_ARRAYISLOCKED);
  ASSERT_EQ(SafeArrayUnaccessData(bytes), S_OK);
  EXPECT_EQ(SafeArrayUnaccessData(bytes), E_UNEXPECTED) << "one unaccess per access";
  EXPECT_EQ(VariantClear(&value), S_OK);
  EXPECT_EQ(VariantClear(&copy), S_OK);
}

TEST(Variant, BoundsTypesAndWhatIsNotSupported) {
  SAFEARRAY* numbers = SafeArrayCreateVector(VT_I4, 5, 3);
  ASSERT_NE(numbers, nullptr);
  LONG low = 0, high = 0;
  ASSERT_EQ(SafeArrayGetLBound(numbers, 1, &low), S_OK);
  ASSERT_EQ(SafeArrayGetUBound(numbers, 1, &high), S_OK);
  EXPECT_EQ(low, 5);
  EXPECT_EQ(high, 7);
  EXPECT_EQ(SafeArrayGetUBound(numbers, 2, &high), DISP_E_BADINDEX);
  EXPECT_EQ(SafeArrayGetDim(numbers), 1u);
  EXPECT_EQ(SafeArrayGetElemsize(numbers), 4u);
  EXPECT_EQ(SafeArrayDestroy(numbers), S_OK);

  SAFEARRAY* empty = SafeArrayCreateVector(VT_UI1, 0, 0);
  ASSERT_NE(empty, nullptr);
  ASSERT_EQ(SafeArrayGetUBound(empty, 1, &high), S_OK);
  EXPECT_EQ(high, -1);
  SafeArrayDestroy(empty);

  SAFEARRAYBOUND two[2] = {{2, 0}, {2, 0}};
  EXPECT_EQ(SafeArrayCreate(VT_UI1, 2, two), nullptr);
  EXPECT_EQ(SafeArrayCreateVector(VT_BSTR, 0, 2), nullptr);

  VARIANT odd;
  VariantInit(&odd);
  odd.vt = 0x0FFF;
  EXPECT_EQ(VariantClear(&odd), DISP_E_BADVARTYPE);
  VARIANT target;
  VariantInit(&target);
  EXPECT_EQ(VariantCopy(&target, &odd), DISP_E_BADVARTYPE);
  EXPECT_EQ(target.vt, VT_EMPTY);
}

}  // namespace
}  // namespace ksv::com
