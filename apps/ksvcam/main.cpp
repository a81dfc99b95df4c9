#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "apps/ksvcam/command_line.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  ksv::ksvcam::Console console{std::cout, std::cerr, isatty(STDERR_FILENO) == 1};
  return ksv::ksvcam::RunCommandLine(args, console);
}
