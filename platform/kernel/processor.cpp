#include "platform/kernel/processor.h"

#include <atomic>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace ksv::platform::kernel {
namespace {

std::atomic<int> pretendWithoutMmx{0};
constexpr unsigned kMmxBit = 1u << 23;

bool CpuidReportsMmx() {
#if defined(__i386__) || defined(__x86_64__)
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  // __get_cpuid checks that the instruction and the leaf exist first.
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return false;
  return (edx & kMmxBit) != 0;
#else
  return false;
#endif
}

}  // namespace

bool ProcessorHasMmx() { return pretendWithoutMmx.load() == 0 && CpuidReportsMmx(); }

ScopedProcessorWithoutMmx::ScopedProcessorWithoutMmx() { ++pretendWithoutMmx; }
ScopedProcessorWithoutMmx::~ScopedProcessorWithoutMmx() { --pretendWithoutMmx; }

}  // namespace ksv::platform::kernel
