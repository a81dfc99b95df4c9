// The IUnknown base and the smart pointer, apartments, and reference counts
// under many threads.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/com/apartment.h"
#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/com/tests/counted_object.h"

namespace ksv::com {
namespace {

using testing::CountedObject;

TEST(ComObject, AnswersItsInterfacesWithOneIdentity) {
  std::atomic<int> destroyed{0};
  auto persist = ComPtr<IPersist>::Adopt(new CountedObject(&destroyed));
  ComPtr<IPropertyBag> bag;
  ASSERT_EQ(persist.As(&bag), S_OK);
  ComPtr<IUnknown> fromPersist, fromBag;
  ASSERT_EQ(persist.As(&fromPersist), S_OK);
  ASSERT_EQ(bag.As(&fromBag), S_OK);
  EXPECT_EQ(fromPersist.Get(), fromBag.Get()) << "one IUnknown per object";

  void* none = &destroyed;
  EXPECT_EQ(persist->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(persist->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

  ComPtr<IPersist> copy = persist;
  persist.Reset();
  bag.Reset();
  fromPersist.Reset();
  fromBag.Reset();
  EXPECT_EQ(destroyed.load(), 0);
  ComPtr<IPersist> moved = std::move(copy);
  EXPECT_FALSE(copy);
  EXPECT_EQ(moved->AddRef(), 2u);
  EXPECT_EQ(moved->Release(), 1u);
  moved = nullptr;
  EXPECT_EQ(destroyed.load(), 1);
}

TEST(Apartments, CountPerThreadAndRefuseTheOtherModel) {
  EXPECT_EQ(CoInitializeEx(reinterpret_cast<void*>(1), COINIT_MULTITHREADED), E_INVALIDARG);
  ASSERT_EQ(CheckApartment(), CO_E_NOTINITIALIZED);
  void* object = &object;
  EXPECT_EQ(CoCreateInstance(IID_IUnknown, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
            CO_E_NOTINITIALIZED);
  EXPECT_EQ(object, nullptr);

  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
  CoUninitialize();
  EXPECT_EQ(CheckApartment(), S_OK) << "one initialisation is still open";
  CoUninitialize();
  EXPECT_EQ(CheckApartment(), CO_E_NOTINITIALIZED);
  CoUninitialize();  // one too many: ignored
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK) << "a new model after leaving";
  CoUninitialize();
}

TEST(ComThreadsApartments, ThreadsJoinTheMultithreadedApartmentImplicitly) {
  HRESULT seen = S_OK;
  std::thread([&] { seen = CheckApartment(); }).join();
  EXPECT_EQ(seen, CO_E_NOTINITIALIZED);

  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  std::thread([&] { seen = CheckApartment(); }).join();
  EXPECT_EQ(seen, S_OK) << "the process has a multithreaded apartment";
  HRESULT other = S_OK;
  std::thread([&] {
    other = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // its own choice, per thread
    CoUninitialize();
  }).join();
  EXPECT_EQ(other, S_OK);
  CoUninitialize();

  // A thread that ends inside the apartment leaves it.
  std::thread([] { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }).join();
  std::thread([&] { seen = CheckApartment(); }).join();
  EXPECT_EQ(seen, CO_E_NOTINITIALIZED);
}

TEST(ComThreads, ConcurrentReferencesDestroyOnceAtTheEnd) {
  constexpr int kThreads = 8;
  constexpr int kRounds = 20000;
  std::atomic<int> destroyed{0};
  auto object = ComPtr<IPersist>::Adopt(new CountedObject(&destroyed));
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([shared = object] {
      for (int i = 0; i < kRounds; ++i) {
        ComPtr<IPersist> copy = shared;
        ComPtr<IPropertyBag> bag;
        copy.As(&bag);
        copy->AddRef();
        copy->Release();
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(destroyed.load(), 0);
  EXPECT_EQ(object->AddRef(), 2u) << "every reference taken was given back";
  object->Release();
  object.Reset();
  EXPECT_EQ(destroyed.load(), 1);
}

}  // namespace
}  // namespace ksv::com
