// Writes ksvcam's manual page to standard output, for the build:
//   ksvcam_manual [DATE]
#include <iostream>

#include "apps/ksvcam/command_line.h"

int main(int argc, char** argv) {
  std::cout << ksv::ksvcam::CommandLineManualPage(argc > 1 ? argv[1] : "");
  return std::cout.good() ? 0 : 1;
}
