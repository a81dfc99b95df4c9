// libjpeg's fatal errors and corrupt-data warnings as a jump back to the
// caller's setjmp, so that a bad file fails one call instead of ending the
// process (libjpeg's default) or printing to stderr.
//
// The function that calls setjmp must hold no object with a destructor, and
// anything it must release after the jump lives in the trap.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
// clang-format off
#include <jpeglib.h>
// clang-format on

#include "include/win32_types.h"

namespace ksv::outside::jpeg {

struct LibjpegTrap {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  jpeg_progress_mgr progress;
  // What the failed call must release.
  HGLOBAL bitmap = nullptr;
  unsigned char* encoded = nullptr;
  unsigned long encodedSize = 0;
};

// Installs the trap as `info`'s error manager: before jpeg_create_*.
void InstallTrap(LibjpegTrap& trap, jpeg_compress_struct& info);
void InstallTrap(LibjpegTrap& trap, jpeg_decompress_struct& info);

// Stops a file with an absurd number of scans: after jpeg_create_decompress,
// which clears the progress monitor.
void WatchScans(LibjpegTrap& trap, jpeg_decompress_struct& info);

}  // namespace ksv::outside::jpeg
