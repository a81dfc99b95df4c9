// Monikers over registry keys, their property bags, and the moniker
// enumerator.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/com/registry_moniker.h"
#include "platform/com/task_memory.h"
#include "platform/com/tests/com_test_fixture.h"
#include "platform/com/tests/plugin/test_greeter.h"
#include "platform/com/wide_text.h"

namespace ksv::com {
namespace {

constexpr const char* kDevice = "CLSID\\{083863F1-70DE-11D0-BD40-00A0C911CE86}\\Instance\\Greeter";

class RegistryMonikers : public testing::ComTest {
 protected:
  RegistryMonikers() {
    EXPECT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, kDevice, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key_, nullptr),
              ERROR_SUCCESS);
  }
  ~RegistryMonikers() override { RegCloseKey(key_); }

  void SetText(const char* name, const std::string& text) {
    ASSERT_EQ(RegSetValueExA(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>(text.size() + 1)),
              ERROR_SUCCESS);
  }
  ComPtr<IMoniker> Moniker(const char* path = kDevice) {
    ComPtr<IMoniker> moniker;
    EXPECT_EQ(CreateRegistryMoniker(HKEY_CLASSES_ROOT, path, moniker.ReleaseAndGetAddressOf()), S_OK);
    return moniker;
  }
  static ComPtr<IPropertyBag> Bag(IMoniker* moniker) {
    ComPtr<IPropertyBag> bag;
    EXPECT_EQ(moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(bag.ReleaseAndGetAddressOf())),
              S_OK);
    return bag;
  }

  HKEY key_ = nullptr;
};

TEST_F(RegistryMonikers, PropertyBagReadsEachValueTypeAsItsVariant) {
  SetText("FriendlyName", "RMC900 USB Kamera \xC3\xBC");
  const DWORD merit = 0x00600000;
  ASSERT_EQ(RegSetValueExA(key_, "Merit", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&merit), 4),
            ERROR_SUCCESS);
  const BYTE filterData[] = {2, 0, 0, 0, 0, 0, 0x60, 0, 0xFF};
  ASSERT_EQ(RegSetValueExA(key_, "FilterData", 0, REG_BINARY, filterData, sizeof filterData),
            ERROR_SUCCESS);
  ComPtr<IPropertyBag> bag = Bag(Moniker().Get());
  ASSERT_TRUE(bag);

  VARIANT value;
  VariantInit(&value);
  ASSERT_EQ(bag->Read(u"FriendlyName", &value, nullptr), S_OK);
  ASSERT_EQ(value.vt, VT_BSTR);
  EXPECT_EQ(BstrView(value.bstrVal), u"RMC900 USB Kamera \u00FC");
  VariantClear(&value);

  ASSERT_EQ(bag->Read(u"merit", &value, nullptr), S_OK);
  EXPECT_EQ(value.vt, VT_I4);
  EXPECT_EQ(value.lVal, 0x00600000);
  value.vt = VT_UI4;
  ASSERT_EQ(bag->Read(u"Merit", &value, nullptr), S_OK);
  EXPECT_EQ(value.vt, VT_UI4);
  EXPECT_EQ(value.ulVal, 0x00600000u);
  value.vt = VT_BSTR;
  EXPECT_EQ(bag->Read(u"Merit", &value, nullptr), E_FAIL) << "no conversion to text";

  VariantInit(&value);
  ASSERT_EQ(bag->Read(u"FilterData", &value, nullptr), S_OK);
  ASSERT_EQ(value.vt, VT_ARRAY | VT_UI1);
  ASSERT_EQ(value.parray->rgsabound[0].cElements, sizeof filterData);
  EXPECT_EQ(std::memcmp(value.parray->pvData, filterData, sizeof filterData), 0);
  VariantClear(&value);

  EXPECT_EQ(bag->Read(u"Nothing", &value, nullptr), E_INVALIDARG);
  EXPECT_EQ(value.vt, VT_EMPTY);
  EXPECT_EQ(bag->Read(nullptr, &value, nullptr), E_POINTER);
  EXPECT_EQ(bag->Read(u"Merit", nullptr, nullptr), E_POINTER);
}

TEST_F(RegistryMonikers, PropertyBagWritesRegistryValues) {
  ComPtr<IPropertyBag> bag = Bag(Moniker().Get());
  ASSERT_TRUE(bag);
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BSTR;
  value.bstrVal = SysAllocString(u"Smart Tee");
  ASSERT_EQ(bag->Write(u"FriendlyName", &value), S_OK);
  VariantClear(&value);
  value.vt = VT_I4;
  value.lVal = -1;
  ASSERT_EQ(bag->Write(u"Level", &value), S_OK);
  value.vt = VT_ARRAY | VT_UI1;
  value.parray = SafeArrayCreateVector(VT_UI1, 0, 3);
  std::memcpy(value.parray->pvData, "\x00\x01\x02", 3);
  ASSERT_EQ(bag->Write(u"FilterData", &value), S_OK);
  VariantClear(&value);
  value.vt = VT_BOOL;
  value.boolVal = VARIANT_TRUE;
  EXPECT_EQ(bag->Write(u"Flag", &value), E_FAIL) << "no registry type for it";

  char text[32] = {};
  DWORD type = 0, size = sizeof text;
  ASSERT_EQ(RegQueryValueExA(key_, "FriendlyName", nullptr, &type, reinterpret_cast<BYTE*>(text),
                             &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_STREQ(text, "Smart Tee");
  DWORD level = 0;
  size = 4;
  ASSERT_EQ(RegQueryValueExA(key_, "Level", nullptr, &type, reinterpret_cast<BYTE*>(&level), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(level, 0xFFFFFFFFu);
  BYTE bytes[8];
  size = sizeof bytes;
  ASSERT_EQ(RegQueryValueExA(key_, "FilterData", nullptr, &type, bytes, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_BINARY);
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(RegQueryValueExA(key_, "Flag", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryMonikers, BindsToTheObjectItsClsidValueNames) {
  ASSERT_EQ(testing::CallServerEntry(KSV_TEST_PLUGIN, "DllRegisterServer"), S_OK);
  ComPtr<IMoniker> moniker = Moniker();
  ComPtr<ITestGreeter> greeter;
  EXPECT_EQ(moniker->BindToObject(nullptr, nullptr, IID_PPV_ARGS(greeter.ReleaseAndGetAddressOf())),
            MK_E_NOOBJECT) << "no CLSID value";
  SetText("CLSID", "{C72B9CFF-8228-4776-B5A4-6F1D04BFFC05");
  EXPECT_EQ(moniker->BindToObject(nullptr, nullptr, IID_PPV_ARGS(greeter.ReleaseAndGetAddressOf())),
            MK_E_NOOBJECT) << "a malformed one";
  SetText("CLSID", FormatGuid(CLSID_TestGreeter));
  ASSERT_EQ(moniker->BindToObject(nullptr, nullptr, IID_PPV_ARGS(greeter.ReleaseAndGetAddressOf())),
            S_OK);
  LONG sum = 0;
  EXPECT_EQ(greeter->Add(1, 2, &sum), S_OK);
  EXPECT_EQ(sum, 3);
  ComPtr<IPersist> none;
  EXPECT_EQ(moniker->BindToObject(nullptr, nullptr, IID_PPV_ARGS(none.ReleaseAndGetAddressOf())),
            E_NOINTERFACE);
  EXPECT_FALSE(none);
}

TEST_F(RegistryMonikers, NamesItsKeyAndNoticesWhenItIsGone) {
  ComPtr<IMoniker> moniker = Moniker();
  LPOLESTR name = nullptr;
  ASSERT_EQ(moniker->GetDisplayName(nullptr, nullptr, &name), S_OK);
  EXPECT_EQ(Utf16ToUtf8(name), std::string("HKEY_CLASSES_ROOT\\") + kDevice);
  CoTaskMemFree(name);
  EXPECT_EQ(moniker->IsEqual(Moniker("\\clsid\\{083863f1-70de-11d0-bd40-00a0c911ce86}\\INSTANCE\\greeter").Get()),
            S_OK);
  EXPECT_EQ(moniker->IsEqual(Moniker("CLSID").Get()), S_FALSE);

  ComPtr<IMoniker> none;
  EXPECT_EQ(CreateRegistryMoniker(reinterpret_cast<HKEY>(key_), kDevice, none.ReleaseAndGetAddressOf()),
            E_INVALIDARG) << "only the predefined roots";
  void* storage = &storage;
  EXPECT_EQ(moniker->BindToStorage(nullptr, nullptr, IID_IClassFactory, &storage), E_NOINTERFACE);
  EXPECT_EQ(storage, nullptr);
  ASSERT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, kDevice), ERROR_SUCCESS);
  EXPECT_EQ(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, &storage), MK_E_NOSTORAGE);
}

TEST_F(RegistryMonikers, EnumeratorWalksResetsAndClones) {
  std::vector<ComPtr<IMoniker>> list;
  for (const char* path : {"A", "B", "C"}) list.push_back(Moniker(path));
  ComPtr<IEnumMoniker> walk;
  ASSERT_EQ(CreateMonikerEnumerator(list, walk.ReleaseAndGetAddressOf()), S_OK);
  IMoniker* got[2] = {};
  ULONG fetched = 0;
  ASSERT_EQ(walk->Next(2, got, &fetched), S_OK);
  EXPECT_EQ(fetched, 2u);
  EXPECT_EQ(got[0], list[0].Get());
  EXPECT_EQ(got[1], list[1].Get());
  got[0]->Release();
  got[1]->Release();

  ComPtr<IEnumMoniker> copy;
  ASSERT_EQ(walk->Clone(copy.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(walk->Next(2, got, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 1u);
  EXPECT_EQ(got[0], list[2].Get());
  got[0]->Release();
  EXPECT_EQ(walk->Next(1, got, nullptr), S_FALSE) << "at the end";
  EXPECT_EQ(walk->Next(2, got, nullptr), E_POINTER);

  ASSERT_EQ(copy->Next(1, got, nullptr), S_OK) << "the clone kept its own place";
  EXPECT_EQ(got[0], list[2].Get());
  got[0]->Release();
  ASSERT_EQ(walk->Reset(), S_OK);
  EXPECT_EQ(walk->Skip(2), S_OK);
  EXPECT_EQ(walk->Skip(2), S_FALSE);
}

}  // namespace
}  // namespace ksv::com
