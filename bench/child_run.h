// Runs a program as a child process for the benchmarks that time a whole
// command: its stdout, its exit status, the wall time and the CPU time it
// and its threads used (user + system, from wait4).
#pragma once

#include <string>
#include <vector>

namespace ksv::bench {

struct ChildRun {
  int status = -1;  // the exit status; -1 when it did not exit normally
  std::string out;
  double wallSeconds = 0;
  double cpuSeconds = 0;
};

// `args[0]` is the program's path. stderr is left to the parent's.
ChildRun RunChild(const std::vector<std::string>& args);

}  // namespace ksv::bench
