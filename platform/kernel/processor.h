// What the processor offers, asked of the processor itself.
#pragma once

namespace ksv::platform::kernel {

// True when the processor identification instruction exists and its leaf 1
// reports MMX (EDX bit 23). False on processors without the instruction.
bool ProcessorHasMmx();

// While alive, ProcessorHasMmx() answers false: a machine without MMX.
class ScopedProcessorWithoutMmx {
 public:
  ScopedProcessorWithoutMmx();
  ~ScopedProcessorWithoutMmx();
  ScopedProcessorWithoutMmx(const ScopedProcessorWithoutMmx&) = delete;
  ScopedProcessorWithoutMmx& operator=(const ScopedProcessorWithoutMmx&) = delete;
};

}  // namespace ksv::platform::kernel
