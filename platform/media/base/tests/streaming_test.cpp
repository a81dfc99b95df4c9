// Samples moving: a source's worker thread into a counting sink, through a
// transform, with end of stream, errors, stops while samples are held,
// flushing, and no allocation per sample.
#include <gtest/gtest.h>

#include "platform/media/testing/harness.h"

namespace ksv::media::testing {
namespace {

constexpr int kWait = 5000;  // milliseconds; only reached when something hangs

TEST(SourceThread, PushesItsSamplesAndEndsTheStream) {
  Held<HarnessSource> source;
  Held<HarnessSink> sink;
  source->count = 20;
  ASSERT_EQ(source->GetPin(0)->Connect(sink->GetPin(0), nullptr), S_OK);

  ASSERT_EQ(sink->Run(0), S_OK);
  ASSERT_EQ(source->Run(0), S_OK);
  ASSERT_TRUE(sink->WaitFor(20, 1, kWait));
  EXPECT_TRUE(source->threadCreatedUnderLock);
  {
    std::lock_guard lock(sink->mutex);
    EXPECT_EQ(sink->samples, 20);
    EXPECT_EQ(sink->endOfStreams, 1);
    ASSERT_EQ(sink->startTimes.size(), 20u);
    for (size_t i = 0; i < 20; ++i) EXPECT_EQ(sink->startTimes[i], static_cast<REFERENCE_TIME>(i) * 1000);
    // After the first samples, none of them cost an allocation.
    EXPECT_EQ(sink->allocationsAtSecondSample, sink->allocationsAtLastSample);
  }
  EXPECT_EQ(source->Stop(), S_OK);
  EXPECT_EQ(sink->Stop(), S_OK);

  // Run again: the thread starts over and the stream plays again.
  sink->ResetCounts();
  ASSERT_EQ(sink->Run(0), S_OK);
  ASSERT_EQ(source->Run(0), S_OK);
  ASSERT_TRUE(sink->WaitFor(20, 1, kWait));
  {
    std::lock_guard lock(sink->mutex);
    EXPECT_EQ(sink->startTimes.front(), 0);
    EXPECT_NE(sink->allocationsAtSecondSample, -1);
    EXPECT_EQ(sink->allocationsAtSecondSample, sink->allocationsAtLastSample);
  }
}

TEST(SourceThread, AFailedSampleEndsTheStreamAndAbortsThroughTheGraph) {
  Held<HarnessSource> source;
  Held<HarnessSink> sink;
  auto graph = ksv::com::ComPtr<FakeGraph>::Adopt(new FakeGraph);
  graph->AddFilter(source.filter, u"source");
  source->count = 10;
  source->failAt = 3;
  source->failure = E_OUTOFMEMORY;
  ASSERT_EQ(source->GetPin(0)->Connect(sink->GetPin(0), nullptr), S_OK);

  ASSERT_EQ(sink->Run(0), S_OK);
  ASSERT_EQ(source->Run(0), S_OK);
  LONG_PTR code = 0;
  ASSERT_TRUE(graph->WaitForEvent(EC_ERRORABORT, &code, kWait));
  EXPECT_EQ(static_cast<HRESULT>(code), E_OUTOFMEMORY);
  ASSERT_TRUE(sink->WaitFor(3, 1, kWait));
  {
    std::lock_guard lock(sink->mutex);
    EXPECT_EQ(sink->samples, 3);
  }
  EXPECT_EQ(source->Stop(), S_OK);
  graph->RemoveFilter(source.filter);
}

TEST(SourceThread, StopsWhileTheSinkHoldsEverySample) {
  Held<HarnessSource> source;
  Held<HarnessSink> sink;
  source->count = 1000;
  source->buffers = 2;
  sink->holdSamples = true;
  ASSERT_EQ(source->GetPin(0)->Connect(sink->GetPin(0), nullptr), S_OK);

  ASSERT_EQ(sink->Run(0), S_OK);
  ASSERT_EQ(source->Run(0), S_OK);
  // Both buffers are out: the worker waits in GetBuffer.
  ASSERT_TRUE(sink->WaitFor(2, 0, kWait));
  EXPECT_EQ(source->Stop(), S_OK);  // must not hang
  FILTER_STATE state;
  EXPECT_EQ(source->GetState(0, &state), S_OK);
  EXPECT_EQ(state, State_Stopped);
  sink->ReleaseHeld();
  EXPECT_EQ(sink->Stop(), S_OK);
}

TEST(SourceThread, PausedSourceAnswersCommandsAndRunsOn) {
  Held<HarnessSource> source;
  Held<HarnessSink> sink;
  source->count = 5;
  ASSERT_EQ(source->GetPin(0)->Connect(sink->GetPin(0), nullptr), S_OK);
  ASSERT_EQ(sink->Pause(), S_OK);
  ASSERT_EQ(source->Pause(), S_OK);
  ASSERT_EQ(sink->Run(0), S_OK);
  ASSERT_EQ(source->Run(0), S_OK);
  ASSERT_EQ(source->Pause(), S_OK);
  ASSERT_EQ(source->Run(0), S_OK);
  ASSERT_TRUE(sink->WaitFor(5, 1, kWait));
  EXPECT_EQ(source->Stop(), S_OK);
}

TEST(TransformStreaming, SamplesEndOfStreamAndFlushPassThrough) {
  Held<HarnessSource> source;
  Held<HarnessTransform> transform;
  Held<HarnessSink> sink;
  source->count = 8;
  ASSERT_EQ(source->GetPin(0)->Connect(transform->Input(), nullptr), S_OK);
  ASSERT_EQ(transform->Output()->Connect(sink->GetPin(0), nullptr), S_OK);

  ASSERT_EQ(sink->Run(0), S_OK);
  ASSERT_EQ(transform->Run(0), S_OK);
  ASSERT_EQ(source->Run(0), S_OK);
  ASSERT_TRUE(sink->WaitFor(8, 1, kWait));
  {
    std::lock_guard lock(sink->mutex);
    ASSERT_EQ(sink->startTimes.size(), 8u);
    // The times and flags travel with the samples.
    EXPECT_EQ(sink->startTimes[7], 7000);
    EXPECT_EQ(sink->syncPoints, 2);
  }
  ASSERT_EQ(source->Stop(), S_OK);

  // After end of stream the input refuses samples until a flush.
  IMemInputPin* input = nullptr;
  ASSERT_EQ(transform->Input()->QueryInterface(IID_PPV_ARGS(&input)), S_OK);
  IMemAllocator* allocator = nullptr;
  ASSERT_EQ(input->GetAllocator(&allocator), S_OK);
  ASSERT_EQ(allocator->Commit(), S_OK);
  IMediaSample* sample = nullptr;
  ASSERT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, 0), S_OK);
  sample->SetActualDataLength(4);
  EXPECT_EQ(input->Receive(sample), VFW_E_SAMPLE_REJECTED_EOS);

  EXPECT_EQ(transform->Input()->BeginFlush(), S_OK);
  EXPECT_EQ(input->Receive(sample), S_FALSE);
  EXPECT_EQ(transform->Input()->EndFlush(), S_OK);
  {
    std::lock_guard lock(sink->mutex);
    EXPECT_EQ(sink->flushes, 1);
  }
  EXPECT_EQ(input->Receive(sample), S_OK);
  ASSERT_TRUE(sink->WaitFor(9, 1, kWait));
  sample->Release();
  allocator->Release();
  input->Release();

  ASSERT_EQ(transform->Stop(), S_OK);
  EXPECT_EQ(input->Receive(sample), VFW_E_WRONG_STATE);
  ASSERT_EQ(sink->Stop(), S_OK);
}

}  // namespace
}  // namespace ksv::media::testing
