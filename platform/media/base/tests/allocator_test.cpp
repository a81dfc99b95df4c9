// Allocators: negotiation between pins, what SetProperties grants, the
// pool's blocking, Decommit and the return of samples.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/media/testing/harness.h"
#include "testing/allocation_counter.h"

namespace ksv::media::testing {
namespace {

IMemAllocator* NewAllocator() {
  HRESULT result = S_OK;
  CUnknown* made = CMemAllocator::CreateInstance(nullptr, &result);
  made->NonDelegatingAddRef();
  IMemAllocator* allocator = nullptr;
  made->NonDelegatingQueryInterface(IID_IMemAllocator, reinterpret_cast<void**>(&allocator));
  made->NonDelegatingRelease();
  return allocator;
}

IMemAllocator* NewStingy(LONG maxBuffer) {
  auto* stingy = new StingyAllocator(maxBuffer);
  stingy->NonDelegatingAddRef();
  return stingy;
}

TEST(AllocatorNegotiation, TheInputPinsAllocatorComesFirst) {
  Held<HarnessSource> source;
  Held<HarnessSink> sink;
  sink->ownAllocator = NewAllocator();
  ASSERT_EQ(source->GetPin(0)->Connect(sink->GetPin(0), nullptr), S_OK);
  EXPECT_EQ(sink->notified, sink->ownAllocator);
  ALLOCATOR_PROPERTIES granted{};
  sink->ownAllocator->GetProperties(&granted);
  EXPECT_EQ(granted.cbBuffer, 4096);
  EXPECT_EQ(granted.cBuffers, 4);
}

// The input pin grants less than the source asked: the source sees it and
// falls back to an allocator of its own.
TEST(AllocatorNegotiation, GrantSmallerThanAsked) {
  Held<HarnessSource> source;
  Held<HarnessSink> sink;
  sink->ownAllocator = NewStingy(2048);
  ASSERT_EQ(source->GetPin(0)->Connect(sink->GetPin(0), nullptr), S_OK);
  // The source refused the 2,048-byte grant and used an allocator of its own.
  ASSERT_NE(sink->notified, nullptr);
  EXPECT_NE(sink->notified, sink->ownAllocator);
  ALLOCATOR_PROPERTIES granted{};
  sink->notified->GetProperties(&granted);
  EXPECT_EQ(granted.cbBuffer, 4096);
}

TEST(AllocatorNegotiation, AConnectionFailsWhenNoAllocatorGrantsEnough) {
  Held<HarnessSource> source;
  Held<HarnessSink> sink;
  sink->ownAllocator = NewStingy(2048);
  sink->refuseForeignAllocator = true;
  EXPECT_TRUE(FAILED(source->GetPin(0)->Connect(sink->GetPin(0), nullptr)));
  IPin* partner = nullptr;
  EXPECT_EQ(source->GetPin(0)->ConnectedTo(&partner), VFW_E_NOT_CONNECTED);
  EXPECT_EQ(sink->GetPin(0)->ConnectedTo(&partner), VFW_E_NOT_CONNECTED);
}

TEST(MemAllocator, PropertiesAreCheckedAndRoundedToTheAlignment) {
  IMemAllocator* allocator = NewAllocator();
  ALLOCATOR_PROPERTIES request{3, 1000, 64, 0};
  ALLOCATOR_PROPERTIES actual{};
  ASSERT_EQ(allocator->SetProperties(&request, &actual), S_OK);
  EXPECT_EQ(actual.cbBuffer, 1024);
  request.cbAlign = 3;
  EXPECT_EQ(allocator->SetProperties(&request, &actual), VFW_E_BADALIGN);

  IMediaSample* sample = nullptr;
  EXPECT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, 0), VFW_E_NOT_COMMITTED);
  ASSERT_EQ(allocator->Commit(), S_OK);
  request.cbAlign = 1;
  EXPECT_EQ(allocator->SetProperties(&request, &actual), VFW_E_ALREADY_COMMITTED);
  ASSERT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, 0), S_OK);
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(data) % 64, 0u);
  EXPECT_EQ(sample->GetSize(), 1024);
  allocator->Decommit();
  EXPECT_EQ(allocator->SetProperties(&request, &actual), VFW_E_BUFFERS_OUTSTANDING);
  sample->Release();
  allocator->Release();
}

TEST(MemAllocator, SamplesComeBackCleanOnTheirLastRelease) {
  IMemAllocator* allocator = NewAllocator();
  ALLOCATOR_PROPERTIES request{1, 256, 1, 0};
  ALLOCATOR_PROPERTIES actual{};
  ASSERT_EQ(allocator->SetProperties(&request, &actual), S_OK);
  ASSERT_EQ(allocator->Commit(), S_OK);

  IMediaSample* sample = nullptr;
  ASSERT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, 0), S_OK);
  REFERENCE_TIME start = 5;
  REFERENCE_TIME end = 10;
  sample->SetTime(&start, &end);
  sample->SetSyncPoint(TRUE);
  sample->SetDiscontinuity(TRUE);
  EXPECT_EQ(sample->SetActualDataLength(257), VFW_E_BUFFER_OVERFLOW);
  sample->SetActualDataLength(7);
  IMediaSample* second = nullptr;
  EXPECT_EQ(allocator->GetBuffer(&second, nullptr, nullptr, AM_GBF_NOWAIT), VFW_E_TIMEOUT);

  sample->AddRef();
  sample->Release();  // one reference left: still ours
  EXPECT_EQ(allocator->GetBuffer(&second, nullptr, nullptr, AM_GBF_NOWAIT), VFW_E_TIMEOUT);
  sample->Release();

  ASSERT_EQ(allocator->GetBuffer(&second, nullptr, nullptr, AM_GBF_NOWAIT), S_OK);
  EXPECT_EQ(second, sample);
  EXPECT_EQ(second->GetTime(&start, &end), VFW_E_SAMPLE_TIME_NOT_SET);
  EXPECT_EQ(second->IsSyncPoint(), S_FALSE);
  EXPECT_EQ(second->IsDiscontinuity(), S_FALSE);
  EXPECT_EQ(second->GetActualDataLength(), 256);
  second->Release();
  allocator->Release();
}

TEST(MemAllocator, RecommittingAllocatesNothing) {
  IMemAllocator* allocator = NewAllocator();
  ALLOCATOR_PROPERTIES request{4, 512, 1, 0};
  ALLOCATOR_PROPERTIES actual{};
  ASSERT_EQ(allocator->SetProperties(&request, &actual), S_OK);
  ASSERT_EQ(allocator->Commit(), S_OK);
  allocator->Decommit();
  const long before = ksv::testing::AllocationCount();
  for (int round = 0; round < 3; ++round) {
    ASSERT_EQ(allocator->Commit(), S_OK);
    for (int i = 0; i < 10; ++i) {
      IMediaSample* sample = nullptr;
      ASSERT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, 0), S_OK);
      sample->Release();
    }
    allocator->Decommit();
  }
  EXPECT_EQ(ksv::testing::AllocationCount(), before);
  allocator->Release();
}

TEST(MemAllocatorThreads, GetBufferWaitsForASampleAndFailsAfterDecommit) {
  IMemAllocator* allocator = NewAllocator();
  ALLOCATOR_PROPERTIES request{1, 64, 1, 0};
  ALLOCATOR_PROPERTIES actual{};
  ASSERT_EQ(allocator->SetProperties(&request, &actual), S_OK);
  ASSERT_EQ(allocator->Commit(), S_OK);
  IMediaSample* only = nullptr;
  ASSERT_EQ(allocator->GetBuffer(&only, nullptr, nullptr, 0), S_OK);

  // A waiter gets the sample once it comes back.
  std::atomic<bool> got{false};
  std::thread waiter([&] {
    IMediaSample* sample = nullptr;
    if (allocator->GetBuffer(&sample, nullptr, nullptr, 0) == S_OK) {
      got = true;
      sample->Release();
    }
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(got);
  only->Release();
  waiter.join();
  EXPECT_TRUE(got);

  // A waiter is turned away when the allocator is decommitted.
  ASSERT_EQ(allocator->GetBuffer(&only, nullptr, nullptr, 0), S_OK);
  std::atomic<HRESULT> waited{S_OK};
  std::thread refused([&] {
    IMediaSample* sample = nullptr;
    waited = allocator->GetBuffer(&sample, nullptr, nullptr, 0);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  allocator->Decommit();
  refused.join();
  EXPECT_EQ(waited.load(), VFW_E_NOT_COMMITTED);
  // The sample still out stays usable until its release.
  BYTE* data = nullptr;
  EXPECT_EQ(only->GetPointer(&data), S_OK);
  data[63] = 1;
  only->Release();
  allocator->Release();
}

}  // namespace
}  // namespace ksv::media::testing

namespace {

// A filter may set a type's format from a part of that type's own block (a
// header inside a longer block); the bytes must survive the block's renewal.
TEST(CMediaTypeFormat, SetFromItsOwnBlockKeepsTheBytes) {
  CMediaType type;
  const BYTE bytes[] = {1, 2, 3, 4, 5, 6, 7, 8};
  ASSERT_TRUE(type.SetFormat(bytes, sizeof bytes));
  ASSERT_TRUE(type.SetFormat(type.Format() + 2, 4));
  ASSERT_EQ(type.FormatLength(), 4u);
  EXPECT_EQ(type.Format()[0], 3);
  EXPECT_EQ(type.Format()[3], 6);
}

}  // namespace
