#include "outside/jpeg/libjpeg_trap.h"

#include <jerror.h>

namespace ksv::outside::jpeg {

namespace {

// Files with more scans than this are built to waste time, not to be seen.
constexpr int kMaxScans = 500;

LibjpegTrap& TrapOf(j_common_ptr info) {
  // The trap starts with its error manager, the address libjpeg holds.
  return *reinterpret_cast<LibjpegTrap*>(info->err);
}

[[noreturn]] void Jump(j_common_ptr info) { std::longjmp(TrapOf(info).jump, 1); }

// Warnings that mean the picture is not what the file should hold. Trailing
// bytes before EOI (JWRN_EXTRANEOUS_DATA) are not among them: pictures from
// the camera's memory carry the padding of their 64-byte grid there.
bool MeansCorruptData(int code) {
  switch (code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_BOGUS_PROGRESSION:
      return true;
    default:
      return false;
  }
}

void OnMessage(j_common_ptr info, int level) {
  if (level < 0 && MeansCorruptData(info->err->msg_code)) Jump(info);
}

void Silent(j_common_ptr) {}

void OnProgress(j_common_ptr info) {
  if (info->is_decompressor &&
      reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxScans) {
    Jump(info);
  }
}

void InstallErrors(LibjpegTrap& trap, j_common_ptr info) {
  info->err = jpeg_std_error(&trap.manager);
  trap.manager.error_exit = Jump;
  trap.manager.emit_message = OnMessage;
  trap.manager.output_message = Silent;
}

}  // namespace

void InstallTrap(LibjpegTrap& trap, jpeg_compress_struct& info) {
  InstallErrors(trap, reinterpret_cast<j_common_ptr>(&info));
}

void InstallTrap(LibjpegTrap& trap, jpeg_decompress_struct& info) {
  InstallErrors(trap, reinterpret_cast<j_common_ptr>(&info));
}

void WatchScans(LibjpegTrap& trap, jpeg_decompress_struct& info) {
  trap.progress.progress_monitor = OnProgress;
  info.progress = &trap.progress;
}

}  // namespace ksv::outside::jpeg
