// The kernel services the driver relies on: waits, pool, events, system
// threads, device names, the processor check and files.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/kernel/device_names.h"
#include "platform/kernel/event.h"
#include "platform/kernel/files.h"
#include "platform/kernel/performance_counter.h"
#include "platform/kernel/pool.h"
#include "platform/kernel/processor.h"
#include "platform/kernel/system_thread.h"
#include "platform/kernel/timing.h"
#include "testing/temp_files.h"

namespace ksv::platform::kernel {
namespace {

namespace fs = std::filesystem;

TEST(Waits, OnASimulatedClockPassAtOnceAndMoveItUnlessItFollowsARecording) {
  SimulatedPerformanceCounter clock(10'000'000, 0);
  {
    ScopedPerformanceCounter use(clock);
    KeDelayExecutionThread(-5'000'000);  // half a second, taken from the counter
    BusyWaitOnPerformanceCounter(100'000);
  }
  EXPECT_EQ(clock.Counter(), 5'100'000);
  SimulatedPerformanceCounter recording(10'000'000, 42, false);
  ScopedPerformanceCounter use(recording);
  BusyWaitOnPerformanceCounter(100'000);  // must not hang on a clock that never moves
  KeDelayExecutionThread(-100'000);
  EXPECT_EQ(recording.Counter(), 42);
}

TEST(Waits, OnTheRealClockTakeTheirTime) {
  const auto start = std::chrono::steady_clock::now();
  BusyWaitOnPerformanceCounter(20'000);  // 2 ms
  KeDelayExecutionThread(-20'000);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4));
}

TEST(Pool, CountsLiveAllocationsPerTagAndFailsOnRequest) {
  const uint32_t tag = MakePoolTag("Tst1");
  EXPECT_EQ(tag, 0x31747354u);
  void* a = ExAllocatePoolWithTag(NonPagedPool, 100, tag);
  void* b = ExAllocatePoolWithTag(NonPagedPool, 28, tag);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(PoolUsageOfTag(tag).allocations, 2u);
  EXPECT_EQ(PoolUsageOfTag(tag).bytes, 128u);
  ExFreePoolWithTag(a, tag);
  ExFreePool(b);
  ExFreePool(nullptr);
  EXPECT_EQ(PoolUsageOfTag(tag).allocations, 0u);
  {
    ScopedPoolFailure failSecond(1);
    void* first = ExAllocatePoolWithTag(NonPagedPool, 8, tag);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(ExAllocatePoolWithTag(NonPagedPool, 8, tag), nullptr);
    void* third = ExAllocatePoolWithTag(NonPagedPool, 8, tag);
    EXPECT_NE(third, nullptr);
    ExFreePool(first);
    ExFreePool(third);
  }
}

TEST(Pool, FreeingWhatItDidNotHandOutStopsTheProcess) {
  int local = 0;
  EXPECT_DEATH(ExFreePool(&local), "driver fault");
}

TEST(Events, WaitsEndBySignalOrTimeOut) {
  KEVENT event{};  // zero-filled memory is a usable notification event
  EXPECT_EQ(KeWaitForSingleObject(&event, 20'000), STATUS_TIMEOUT);
  std::thread setter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    KeSetEvent(&event);
  });
  EXPECT_EQ(KeWaitForSingleObject(&event, std::nullopt), STATUS_SUCCESS);
  setter.join();
  EXPECT_EQ(KeReadStateEvent(&event), 1) << "a notification event stays signalled";
  EXPECT_EQ(KeWaitForSingleObject(&event, 0), STATUS_SUCCESS);

  KEVENT once{};
  KeInitializeEvent(&once, SynchronizationEvent, true);
  EXPECT_EQ(KeWaitForSingleObject(&once, 0), STATUS_SUCCESS);
  EXPECT_EQ(KeWaitForSingleObject(&once, 0), STATUS_TIMEOUT) << "it reset as it released";
}

// A time-out counts on the installed counter: on a simulated one it passes
// as another thread moves the counter, whatever the real time.
TEST(Events, TimeOutsFollowASimulatedCounter) {
  SimulatedPerformanceCounter clock(10'000'000, 0);
  ScopedPerformanceCounter use(clock);
  KEVENT event{};
  EXPECT_EQ(KeWaitForSingleObject(&event, 0), STATUS_TIMEOUT);
  std::atomic<int64_t> startedAt{-1};
  std::atomic<int64_t> endedAt{-1};
  std::thread waiter([&] {
    startedAt = clock.Counter();
    EXPECT_EQ(KeWaitForSingleObject(&event, 30'000'000), STATUS_TIMEOUT);  // 3 s
    endedAt = clock.Counter();
  });
  // Moves the counter 100 ms at a time until the waiter gives up.
  while (endedAt < 0) {
    if (startedAt >= 0) clock.Advance(1'000'000);
    std::this_thread::yield();
  }
  waiter.join();
  EXPECT_GE(endedAt - startedAt, 30'000'000) << "not before 3 s of the counter's time";

  std::thread setter([&] {
    clock.Advance(5'000'000);
    KeSetEvent(&event);
  });
  EXPECT_EQ(KeWaitForSingleObject(&event, 600'000'000), STATUS_SUCCESS);
  setter.join();
}

TEST(SystemThreads, RunTheirRoutineAndAreWaitedForWhenClosed) {
  struct Work {
    KEVENT done{};
    std::atomic<int32_t> priority{0};
  } work;
  HANDLE thread = nullptr;
  ASSERT_EQ(PsCreateSystemThread(
                &thread,
                [](void* context) {
                  auto& w = *static_cast<Work*>(context);
                  KeSetPriorityThread(KeGetCurrentThread(), 16);
                  w.priority = KeQueryPriorityThread(KeGetCurrentThread());
                  KeSetEvent(&w.done);
                },
                &work),
            STATUS_SUCCESS);
  EXPECT_EQ(LiveSystemThreadCount(), 1u);
  EXPECT_EQ(KeWaitForSingleObject(&work.done, 50'000'000), STATUS_SUCCESS);
  EXPECT_EQ(ZwClose(thread), STATUS_SUCCESS);
  EXPECT_EQ(work.priority.load(), 16);
  EXPECT_EQ(LiveSystemThreadCount(), 0u);
  EXPECT_EQ(KeGetCurrentThread(), nullptr) << "not a system thread";
}

TEST(DeviceNames, LinksAreUniqueAndInterfacesListedWithTheirState) {
  ASSERT_EQ(IoCreateSymbolicLink("\\DosDevices\\Test", "\\Device\\Test"), STATUS_SUCCESS);
  EXPECT_EQ(IoCreateSymbolicLink("\\dosdevices\\TEST", "\\Device\\Other"),
            STATUS_OBJECT_NAME_COLLISION);
  DEVICE_OBJECT device;
  const GUID imaging = {0x6BDD1FC6, 0x810F, 0x11D0, {0xBE, 0xC7, 0x08, 0x00, 0x2B, 0xE2, 0x09, 0x2F}};
  char* name = nullptr;
  ASSERT_EQ(IoRegisterDeviceInterface(&device, imaging, &name), STATUS_SUCCESS);
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(IoSetDeviceInterfaceState(name, true), STATUS_SUCCESS);
  bool found = false;
  for (const DeviceInterface& i : DeviceInterfaces()) {
    if (i.name == name) found = i.enabled && i.interfaceClass == imaging;
  }
  EXPECT_TRUE(found);
  EXPECT_EQ(IoSetDeviceInterfaceState("\\??\\nothing", true), STATUS_OBJECT_NAME_NOT_FOUND);
  ExFreePool(name);
  EXPECT_EQ(IoDeleteSymbolicLink("\\DosDevices\\Test"), STATUS_SUCCESS);
  EXPECT_EQ(IoDeleteSymbolicLink("\\DosDevices\\Test"), STATUS_OBJECT_NAME_NOT_FOUND);
}

TEST(Processor, ReportsMmxAsTheProcessorDoes) {
#if defined(__x86_64__)
  EXPECT_TRUE(ProcessorHasMmx()) << "every x86-64 processor has MMX";
#endif
  ScopedProcessorWithoutMmx without;
  EXPECT_FALSE(ProcessorHasMmx());
}

TEST(Files, WriteUnderTheSystemRootWithNamesMatchedWithoutCase) {
  const ::ksv::testing::TempFolder folder;
  const fs::path& root = folder.path();
  ::setenv("KSV_ROOT", root.c_str(), 1);
  fs::create_directories(root / "twain_32" / "Orvan");
  const char* path = "\\SystemRoot\\TWAIN_32\\orvan\\SnapRaw.dat";
  HANDLE file = nullptr;
  IO_STATUS_BLOCK io;
  ASSERT_EQ(ZwCreateFile(&file, path, FILE_OVERWRITE_IF, &io), STATUS_SUCCESS);
  HANDLE second = nullptr;
  EXPECT_NE(ZwCreateFile(&second, path, FILE_OVERWRITE_IF, &io), STATUS_SUCCESS) << "no sharing";
  const char bytes[] = "raw";
  EXPECT_EQ(ZwWriteFile(file, &io, bytes, 3), STATUS_SUCCESS);
  EXPECT_EQ(io.Information, 3u);
  EXPECT_EQ(ZwClose(file), STATUS_SUCCESS);
  EXPECT_EQ(fs::file_size(root / "twain_32" / "Orvan" / "SnapRaw.dat"), 3u);
  EXPECT_EQ(ZwCreateFile(&file, "\\SystemRoot\\missing\\x.dat", FILE_OVERWRITE_IF, &io),
            STATUS_NO_SUCH_FILE) << "the folder must exist";
}

TEST(Files, RenameReplacesWholeAndDiscardedFilesGoAtClose) {
  const ::ksv::testing::TempFolder folder;
  const fs::path& root = folder.path();
  ::setenv("KSV_ROOT", root.c_str(), 1);
  { std::ofstream(root / "Old.dat") << "old"; }
  HANDLE file = nullptr;
  IO_STATUS_BLOCK io;
  ASSERT_EQ(ZwCreateFile(&file, "\\SystemRoot\\new.part", FILE_OVERWRITE_IF, &io), STATUS_SUCCESS);
  EXPECT_EQ(ZwWriteFile(file, &io, "new!", 4), STATUS_SUCCESS);
  FILE_RENAME_INFORMATION keep{false, "\\SystemRoot\\old.dat"};
  EXPECT_EQ(ZwSetInformationFile(file, &io, &keep, sizeof keep, FileRenameInformation),
            STATUS_OBJECT_NAME_COLLISION);
  FILE_RENAME_INFORMATION replace{true, "\\SystemRoot\\old.dat"};
  EXPECT_EQ(ZwSetInformationFile(file, &io, &replace, sizeof replace, FileRenameInformation),
            STATUS_SUCCESS);
  EXPECT_FALSE(fs::exists(root / "new.part"));
  HANDLE other = nullptr;
  EXPECT_NE(ZwCreateFile(&other, "\\SystemRoot\\Old.dat", FILE_OVERWRITE_IF, &io), STATUS_SUCCESS)
      << "the handle holds the file under its new name";
  EXPECT_EQ(ZwClose(file), STATUS_SUCCESS);
  EXPECT_EQ(fs::file_size(root / "Old.dat"), 4u) << "the existing name, whatever its case";

  {
    ScopedWriteFailure diskFull(2);
    ASSERT_EQ(ZwCreateFile(&file, "\\SystemRoot\\cut.dat", FILE_OVERWRITE_IF, &io),
              STATUS_SUCCESS);
    EXPECT_EQ(ZwWriteFile(file, &io, "abcdef", 6), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(io.Information, 2u);
  }
  FILE_DISPOSITION_INFORMATION discard{true};
  EXPECT_EQ(ZwSetInformationFile(file, &io, &discard, sizeof discard, FileDispositionInformation),
            STATUS_SUCCESS);
  EXPECT_TRUE(fs::exists(root / "cut.dat"));
  EXPECT_EQ(ZwClose(file), STATUS_SUCCESS);
  EXPECT_FALSE(fs::exists(root / "cut.dat"));
}

}  // namespace
}  // namespace ksv::platform::kernel
