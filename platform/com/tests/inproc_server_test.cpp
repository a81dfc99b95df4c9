// In-process servers: registration by the server itself, creation by class
// identifier from another shared library, unloading when the server agrees,
// and every way a registration can be wrong.
#include <gtest/gtest.h>

#include <chrono>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/com/class_registry.h"
#include "platform/com/com_ptr.h"
#include "platform/com/tests/com_test_fixture.h"
#include "platform/com/tests/greeter_client.h"
#include "platform/com/wide_text.h"
#include "platform/registry/win32_registry.h"

namespace ksv::com {
namespace {

using testing::CallServerEntry;
using testing::IsLoaded;

constexpr CLSID kOther = Guid("0E3A3F30-2C6B-4F0C-9E55-2B7F51D1A001");

class InprocServers : public testing::ComTest {
 protected:
  static ComPtr<ITestGreeter> Create(HRESULT* result) {
    ComPtr<ITestGreeter> greeter;
    *result = testing::CreateGreeter(greeter.ReleaseAndGetAddressOf());
    return greeter;
  }
  // Registers kOther with `path` as its server.
  static void RegisterOther(const char* path) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, (ClassKeyPath(kOther) + "\\InprocServer32").c_str(),
                              0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path),
                             static_cast<DWORD>(std::strlen(path) + 1)),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  static HRESULT CreateOther() {
    void* object = &object;
    const HRESULT result =
        CoCreateInstance(kOther, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object);
    EXPECT_EQ(object, nullptr);
    return result;
  }
};

TEST_F(InprocServers, RoundTripFromRegistrationToUnregistration) {
  ASSERT_FALSE(IsLoaded(KSV_TEST_PLUGIN));
  ASSERT_EQ(CallServerEntry(KSV_TEST_PLUGIN, "DllRegisterServer"), S_OK);
  InprocServer server;
  ASSERT_EQ(FindInprocServer(CLSID_TestGreeter, &server), S_OK);
  EXPECT_EQ(server.path, std::filesystem::canonical(KSV_TEST_PLUGIN).string());
  EXPECT_EQ(server.threadingModel, "Both");
  char name[64] = {};
  DWORD size = sizeof name;
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, ClassKeyPath(CLSID_TestGreeter).c_str(), 0, KEY_READ,
                          &key),
            ERROR_SUCCESS);
  ASSERT_EQ(RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(name), &size),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_STREQ(name, kTestGreeterName);

  HRESULT result = E_FAIL;
  ComPtr<ITestGreeter> greeter = Create(&result);
  ASSERT_EQ(result, S_OK);
  LONG sum = 0;
  ASSERT_EQ(greeter->Add(2, 40, &sum), S_OK);
  EXPECT_EQ(sum, 42);
  BSTR greeting = nullptr;
  ASSERT_EQ(greeter->Greet(u"camera", &greeting), S_OK);
  EXPECT_EQ(BstrView(greeting), u"Hello, camera!");
  SysFreeString(greeting);

  CoFreeUnusedLibrariesEx(0, 0);
  EXPECT_TRUE(IsLoaded(KSV_TEST_PLUGIN)) << "an object of the server is alive";
  greeter.Reset();
  CoFreeUnusedLibrariesEx(0, 0);
  EXPECT_FALSE(IsLoaded(KSV_TEST_PLUGIN)) << "the server said it may go";

  greeter = Create(&result);  // loads it again
  ASSERT_EQ(result, S_OK);
  greeter.Reset();

  ASSERT_EQ(CallServerEntry(KSV_TEST_PLUGIN, "DllUnregisterServer"), S_OK);
  greeter = Create(&result);
  EXPECT_EQ(result, REGDB_E_CLASSNOTREG);
  EXPECT_FALSE(greeter);
  EXPECT_EQ(CallServerEntry(KSV_TEST_PLUGIN, "DllUnregisterServer"), S_OK) << "again: harmless";
}

TEST_F(InprocServers, ALockedServerStaysLoaded) {
  ASSERT_EQ(CallServerEntry(KSV_TEST_PLUGIN, "DllRegisterServer"), S_OK);
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(CoGetClassObject(CLSID_TestGreeter, CLSCTX_INPROC_SERVER, nullptr,
                             IID_PPV_ARGS(factory.ReleaseAndGetAddressOf())),
            S_OK);
  ASSERT_EQ(factory->LockServer(TRUE), S_OK);
  factory.Reset();
  CoFreeUnusedLibrariesEx(0, 0);
  EXPECT_TRUE(IsLoaded(KSV_TEST_PLUGIN));
  ASSERT_EQ(CoGetClassObject(CLSID_TestGreeter, CLSCTX_INPROC_SERVER, nullptr,
                             IID_PPV_ARGS(factory.ReleaseAndGetAddressOf())),
            S_OK);
  factory->LockServer(FALSE);
  factory.Reset();
  CoFreeUnusedLibrariesEx(0, 0);
  EXPECT_FALSE(IsLoaded(KSV_TEST_PLUGIN));
}

TEST_F(InprocServers, AFreeThreadedServerGoesOnlyAfterTheUnloadDelay) {
  // The test server is registered "Both": a thread may still be returning
  // from its last Release when it agrees to go, so it is kept a while.
  ASSERT_EQ(CallServerEntry(KSV_TEST_PLUGIN, "DllRegisterServer"), S_OK);
  HRESULT result = E_FAIL;
  ComPtr<ITestGreeter> greeter = Create(&result);
  ASSERT_EQ(result, S_OK);
  greeter.Reset();

  CoFreeUnusedLibraries();
  CoFreeUnusedLibraries();
  EXPECT_TRUE(IsLoaded(KSV_TEST_PLUGIN)) << "the default delay is minutes";

  constexpr DWORD kDelay = 300;  // milliseconds; generous for slow sanitizer runs
  CoFreeUnusedLibrariesEx(kDelay, 0);  // a candidate since the first call above
  EXPECT_TRUE(IsLoaded(KSV_TEST_PLUGIN));
  greeter = Create(&result);  // used again: active, no longer a candidate
  ASSERT_EQ(result, S_OK);
  greeter.Reset();
  CoFreeUnusedLibrariesEx(kDelay, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  CoFreeUnusedLibrariesEx(kDelay, 0);
  EXPECT_TRUE(IsLoaded(KSV_TEST_PLUGIN)) << "the delay counts from its last use";
  std::this_thread::sleep_for(std::chrono::milliseconds(kDelay));
  CoFreeUnusedLibrariesEx(kDelay, 0);
  EXPECT_FALSE(IsLoaded(KSV_TEST_PLUGIN));
}

// A server's DllCanUnloadNow is its own code: it may use COM itself (here it
// asks for its own class object), so it is not called under COM's locks.
TEST_F(InprocServers, ComThreadsAServerMayUseComWhileAskedWhetherItCanGo) {
  ASSERT_EQ(CallServerEntry(KSV_TEST_PLUGIN, "DllRegisterServer"), S_OK);
  HRESULT result = E_FAIL;
  ComPtr<ITestGreeter> greeter = Create(&result);
  ASSERT_EQ(result, S_OK);
  static std::atomic<HRESULT> insideResult{E_FAIL};
  testing::SetCanUnloadHook([] {
    void* factory = nullptr;
    insideResult = CoGetClassObject(CLSID_TestGreeter, CLSCTX_INPROC_SERVER, nullptr,
                                    IID_IClassFactory, &factory);
    if (factory != nullptr) static_cast<IUnknown*>(factory)->Release();
  });
  greeter.Reset();

  std::atomic<bool> finished{false};
  std::thread freeing([&] {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    CoFreeUnusedLibrariesEx(0, 0);
    CoUninitialize();
    finished = true;
  });
  for (int i = 0; i < 500 && !finished; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (!finished) {
    freeing.detach();
    FAIL() << "deadlocked inside DllCanUnloadNow";
  }
  freeing.join();
  testing::SetCanUnloadHook(nullptr);
  EXPECT_EQ(insideResult.load(), S_OK);
  EXPECT_FALSE(IsLoaded(KSV_TEST_PLUGIN)) << "its factory went before it answered";
}

TEST_F(InprocServers, RegisteringTwiceKeepsWhatOthersAddedToTheClassKey) {
  ASSERT_EQ(CallServerEntry(KSV_TEST_PLUGIN, "DllRegisterServer"), S_OK);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, ClassKeyPath(CLSID_TestGreeter).c_str(), 0,
                          KEY_ALL_ACCESS, &key),
            ERROR_SUCCESS);
  const DWORD merit = 0x00200000;
  ASSERT_EQ(RegSetValueExA(key, "Merit", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&merit), 4),
            ERROR_SUCCESS);
  ASSERT_EQ(CallServerEntry(KSV_TEST_PLUGIN, "DllRegisterServer"), S_OK);
  DWORD back = 0, size = 4;
  EXPECT_EQ(RegQueryValueExA(key, "Merit", nullptr, nullptr, reinterpret_cast<BYTE*>(&back), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(back, merit);
  DWORD subKeys = 0, values = 0;
  ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                             nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subKeys, 1u) << "InprocServer32 only";
  EXPECT_EQ(values, 2u) << "the friendly name and the merit";
  RegCloseKey(key);
  HRESULT result = E_FAIL;
  EXPECT_TRUE(Create(&result));
  EXPECT_EQ(result, S_OK);
}

TEST_F(InprocServers, WrongRegistrationsFailAsDocumentedAndBreakNothingElse) {
  ASSERT_EQ(CallServerEntry(KSV_TEST_PLUGIN, "DllRegisterServer"), S_OK);
  EXPECT_EQ(CreateOther(), REGDB_E_CLASSNOTREG) << "not registered at all";

  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, ClassKeyPath(kOther).c_str(), 0, nullptr, 0,
                            KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(CreateOther(), REGDB_E_CLASSNOTREG) << "a class key without a server";

  const std::string missing = (root_ / "gone.so").string();
  RegisterOther(missing.c_str());
  EXPECT_EQ(CreateOther(), CO_E_DLLNOTFOUND);

  const std::string text = (root_ / "text.so").string();
  std::FILE* file = std::fopen(text.c_str(), "w");
  ASSERT_NE(file, nullptr);
  std::fputs("not a shared object\n", file);
  std::fclose(file);
  RegisterOther(text.c_str());
  EXPECT_EQ(CreateOther(), CO_E_ERRORINDLL) << "a file that does not load";

  RegisterOther(KSV_FOREIGN_LIBRARY);
  EXPECT_EQ(CreateOther(), CO_E_ERRORINDLL) << "a shared object that is no server";

  RegisterOther(KSV_TEST_PLUGIN);
  EXPECT_EQ(CreateOther(), CLASS_E_CLASSNOTAVAILABLE) << "a server that does not serve it";

  // The good registration still works.
  HRESULT result = E_FAIL;
  EXPECT_TRUE(Create(&result));
  EXPECT_EQ(result, S_OK);
}

TEST_F(InprocServers, RefusedRequestsLeaveNoObject) {
  ASSERT_EQ(CallServerEntry(KSV_TEST_PLUGIN, "DllRegisterServer"), S_OK);
  HRESULT result = E_FAIL;
  ComPtr<ITestGreeter> outer = Create(&result);
  ASSERT_TRUE(outer);

  void* object = &object;
  EXPECT_EQ(CoCreateInstance(CLSID_TestGreeter, outer.Get(), CLSCTX_INPROC_SERVER, IID_IUnknown,
                             &object),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(object, nullptr);
  object = &object;
  EXPECT_EQ(CoCreateInstance(CLSID_TestGreeter, nullptr, CLSCTX_INPROC_SERVER, IID_IClassFactory,
                             &object),
            E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  object = &object;
  EXPECT_EQ(CoCreateInstance(CLSID_TestGreeter, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, &object),
            REGDB_E_CLASSNOTREG) << "no out-of-process servers exist";
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(CoCreateInstance(CLSID_TestGreeter, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, nullptr),
            E_POINTER);
  outer.Reset();
  CoFreeUnusedLibrariesEx(0, 0);
  EXPECT_FALSE(IsLoaded(KSV_TEST_PLUGIN)) << "the refused requests left nothing alive";
}

TEST_F(InprocServers, ComThreadsConcurrentCreationLoadsTheServerOnce) {
  ASSERT_EQ(CallServerEntry(KSV_TEST_PLUGIN, "DllRegisterServer"), S_OK);
  constexpr int kThreads = 8;
  constexpr int kEach = 25;
  std::vector<std::vector<ComPtr<ITestGreeter>>> held(kThreads);
  std::atomic<bool> creating{true};
  std::atomic<int> failures{0};
  // Unused servers are freed all the while; none may go while it is used.
  std::thread freer([&] {
    while (creating.load()) CoFreeUnusedLibrariesEx(0, 0);
  });
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        ComPtr<ITestGreeter> greeter;
        LONG sum = 0;
        if (FAILED(testing::CreateGreeter(greeter.ReleaseAndGetAddressOf())) ||
            FAILED(greeter->Add(t, i, &sum)) || sum != t + i) {
          failures.fetch_add(1);
        }
        held[t].push_back(std::move(greeter));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  creating.store(false);
  freer.join();
  EXPECT_EQ(failures.load(), 0);

  uintptr_t first = 0;
  ASSERT_TRUE(held[0][0]);
  held[0][0]->GetModuleMark(&first);
  for (auto& list : held) {
    for (auto& greeter : list) {
      uintptr_t mark = 0;
      ASSERT_TRUE(greeter);
      greeter->GetModuleMark(&mark);
      EXPECT_EQ(mark, first) << "every object comes from the one loaded module";
    }
  }
  held.clear();
  CoFreeUnusedLibrariesEx(0, 0);
  EXPECT_FALSE(IsLoaded(KSV_TEST_PLUGIN)) << "one unload undoes the one load";
}

}  // namespace
}  // namespace ksv::com
