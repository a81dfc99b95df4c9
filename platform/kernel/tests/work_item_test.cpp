#include "platform/kernel/work_item.h"

#include <gtest/gtest.h>

#include <vector>

namespace ksv::platform::kernel {
namespace {

struct Calls {
  std::vector<int> seen;
  DEVICE_OBJECT* device = nullptr;
};

struct Tagged {
  Calls* calls;
  int tag;
};

void Record(DEVICE_OBJECT* device, void* context) {
  auto* tagged = static_cast<Tagged*>(context);
  tagged->calls->seen.push_back(tagged->tag);
  tagged->calls->device = device;
}

class WorkItems : public ::testing::Test {
 protected:
  void TearDown() override { RunQueuedWorkItems(); }
  DEVICE_OBJECT device_;
  Calls calls_;
};

TEST_F(WorkItems, RunOnlyOnTheWorkersTurnOldestFirst) {
  IO_WORKITEM* first = IoAllocateWorkItem(&device_);
  IO_WORKITEM* second = IoAllocateWorkItem(&device_);
  Tagged one{&calls_, 1};
  Tagged two{&calls_, 2};
  IoQueueWorkItem(second, Record, DelayedWorkQueue, &two);
  IoQueueWorkItem(first, Record, DelayedWorkQueue, &one);
  EXPECT_TRUE(calls_.seen.empty());
  EXPECT_EQ(QueuedWorkItemCount(), 2u);

  EXPECT_EQ(RunQueuedWorkItems(), 2u);
  EXPECT_EQ(calls_.seen, (std::vector<int>{2, 1}));
  EXPECT_EQ(calls_.device, &device_);
  EXPECT_EQ(QueuedWorkItemCount(), 0u);

  // A run item may be queued again.
  IoQueueWorkItem(first, Record, DelayedWorkQueue, &one);
  EXPECT_EQ(RunQueuedWorkItems(), 1u);
  EXPECT_EQ(calls_.seen, (std::vector<int>{2, 1, 1}));
  IoFreeWorkItem(first);
  IoFreeWorkItem(second);
}

TEST_F(WorkItems, FreeingAQueuedItemDropsItsCall) {
  IO_WORKITEM* kept = IoAllocateWorkItem(&device_);
  IO_WORKITEM* dropped = IoAllocateWorkItem(&device_);
  Tagged one{&calls_, 1};
  Tagged two{&calls_, 2};
  IoQueueWorkItem(dropped, Record, DelayedWorkQueue, &two);
  IoQueueWorkItem(kept, Record, DelayedWorkQueue, &one);
  IoFreeWorkItem(dropped);
  EXPECT_EQ(QueuedWorkItemCount(), 1u);
  EXPECT_EQ(RunQueuedWorkItems(), 1u);
  EXPECT_EQ(calls_.seen, (std::vector<int>{1}));
  IoFreeWorkItem(kept);
}

TEST(WorkItemsDeathTest, QueueingAQueuedItemIsADriverFault) {
  DEVICE_OBJECT device;
  EXPECT_DEATH(
      {
        IO_WORKITEM* item = IoAllocateWorkItem(&device);
        IoQueueWorkItem(item, [](DEVICE_OBJECT*, void*) {}, DelayedWorkQueue, nullptr);
        IoQueueWorkItem(item, [](DEVICE_OBJECT*, void*) {}, DelayedWorkQueue, nullptr);
      },
      "queued while already queued");
}

}  // namespace
}  // namespace ksv::platform::kernel
