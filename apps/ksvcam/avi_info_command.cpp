// `ksvcam avi-info FILE`: an AVI file as the AVI file services see it, the
// view the clip fix works from: the file's information, then per stream its
// type, handler, rate and scale, start and length, key frames and format.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "apps/ksvcam/commands.h"
#include "platform/avifile/avifile.h"

namespace ksv::ksvcam {
namespace {

std::string ErrorText(HRESULT result) {
  static const struct {
    HRESULT code;
    const char* name;
  } kNames[] = {
      {AVIERR_UNSUPPORTED, "AVIERR_UNSUPPORTED"}, {AVIERR_BADFORMAT, "AVIERR_BADFORMAT"},
      {AVIERR_MEMORY, "AVIERR_MEMORY"},           {AVIERR_FILEREAD, "AVIERR_FILEREAD"},
      {AVIERR_FILEOPEN, "AVIERR_FILEOPEN"},       {AVIERR_NODATA, "AVIERR_NODATA"},
  };
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(result));
  for (const auto& entry : kNames) {
    if (entry.code == result) return std::string(entry.name) + " (" + hex + ")";
  }
  return hex;
}

// 'MJPG', or the number when the four bytes are not all printable (an
// audio stream's handler is often 0 or 1).
std::string FourccText(DWORD code) {
  if (code == 0) return "none";
  std::string text;
  for (int shift = 0; shift < 32; shift += 8) {
    const char c = static_cast<char>(code >> shift);
    if (c < 32 || c > 126) {
      char number[16];
      std::snprintf(number, sizeof number, "0x%08X", code);
      return number;
    }
    text.push_back(c);
  }
  return "'" + text + "'";
}

std::string Rate(DWORD rate, DWORD scale) {
  char text[64];
  if (scale == 0) return std::to_string(rate) + "/0";
  std::snprintf(text, sizeof text, "%u/%u (%.3f per second)", rate, scale,
                static_cast<double>(rate) / scale);
  return text;
}

std::string FlagsText(DWORD flags) {
  std::string text;
  const struct {
    DWORD bit;
    const char* name;
  } kFlags[] = {{AVIFILEINFO_HASINDEX, "has-index"},
                {AVIFILEINFO_MUSTUSEINDEX, "must-use-index"},
                {AVIFILEINFO_ISINTERLEAVED, "interleaved"},
                {AVIFILEINFO_WASCAPTUREFILE, "capture-file"},
                {AVIFILEINFO_COPYRIGHTED, "copyrighted"}};
  for (const auto& flag : kFlags) {
    if (flags & flag.bit) text += (text.empty() ? "" : " ") + std::string(flag.name);
  }
  return text.empty() ? "none" : text;
}

std::string FormatText(const std::vector<uint8_t>& format, DWORD type) {
  std::string text = std::to_string(format.size()) + " bytes";
  char line[160];
  if (type == streamtypeVIDEO && format.size() >= sizeof(BITMAPINFOHEADER)) {
    BITMAPINFOHEADER h;
    std::memcpy(&h, format.data(), sizeof h);
    std::snprintf(line, sizeof line, ": bitmap %d x %d, %u bits, compression ", h.biWidth,
                  h.biHeight, h.biBitCount);
    text += line + (h.biCompression == 0 ? std::string("RGB") : FourccText(h.biCompression));
  } else if (type == streamtypeAUDIO && format.size() >= 16) {
    uint16_t tag, channels, block, bits;
    uint32_t rate, bytesPerSecond;
    std::memcpy(&tag, &format[0], 2);
    std::memcpy(&channels, &format[2], 2);
    std::memcpy(&rate, &format[4], 4);
    std::memcpy(&bytesPerSecond, &format[8], 4);
    std::memcpy(&block, &format[12], 2);
    std::memcpy(&bits, &format[14], 2);
    std::snprintf(line, sizeof line,
                  ": wave tag 0x%04X, %u channel%s, %u Hz, %u bytes/s, block %u, %u bits", tag,
                  channels, channels == 1 ? "" : "s", rate, bytesPerSecond, block, bits);
    text += line;
  }
  return text;
}

// "N (first F, every K)" for a stream whose frames may depend on others.
std::string KeyFrames(PAVISTREAM stream, const AVISTREAMINFOA& info) {
  if (info.dwSampleSize != 0) return "every sample";
  LONG count = 0, first = -1;
  for (LONG at = AVIStreamFindSample(stream, AVIStreamStart(stream), FIND_NEXT | FIND_KEY);
       at >= 0; at = AVIStreamNextKeyFrame(stream, at)) {
    if (first < 0) first = at;
    ++count;
  }
  if (count == 0) return "none";
  return std::to_string(count) + " (first at " + std::to_string(first) + ")";
}

void PrintStream(Console& console, DWORD number, PAVISTREAM stream) {
  AVISTREAMINFOA info{};
  AVIStreamInfoA(stream, &info, sizeof info);
  std::vector<uint8_t> format;
  LONG size = 0;
  if (AVIStreamReadFormat(stream, AVIStreamStart(stream), nullptr, &size) == AVIERR_OK) {
    format.resize(static_cast<size_t>(size));
    AVIStreamReadFormat(stream, AVIStreamStart(stream), format.data(), &size);
  }
  const LONG end = AVIStreamStart(stream) + AVIStreamLength(stream);
  console.out << "stream " << number << ": " << FourccText(info.fccType) << ", handler "
              << FourccText(info.fccHandler) << "\n"
              << "  rate/scale: " << Rate(info.dwRate, info.dwScale) << "\n"
              << "  start: " << info.dwStart << ", length: " << info.dwLength << " ("
              << AVIStreamSampleToTime(stream, end) - AVIStreamSampleToTime(stream, info.dwStart)
              << " ms)\n"
              << "  sample size: " << info.dwSampleSize
              << ", suggested buffer: " << info.dwSuggestedBufferSize << "\n"
              << "  key frames: " << KeyFrames(stream, info) << "\n"
              << "  format: " << FormatText(format, info.fccType) << "\n";
  if (info.szName[0] != 0) console.out << "  name: " << info.szName << "\n";
}

int RunAviInfo(const std::string& path, Console& console) {
  AVIFileInit();
  struct Exit {
    ~Exit() { AVIFileExit(); }
  } exit;
  PAVIFILE file = nullptr;
  const HRESULT opened = AVIFileOpenA(&file, path.c_str(), OF_READ, nullptr);
  if (opened != AVIERR_OK)
    throw CommandFailure("cannot read " + Quoted(path) + ": " + ErrorText(opened));
  std::unique_ptr<IAVIFile, ULONG (*)(PAVIFILE)> owned(file, AVIFileRelease);
  AVIFILEINFOA info{};
  AVIFileInfoA(file, &info, sizeof info);
  console.out << Quoted(path) << ": " << Counted(info.dwStreams, "stream") << ", " << info.dwWidth
              << " x " << info.dwHeight << ", " << Counted(info.dwLength, "frame") << " at "
              << Rate(info.dwRate, info.dwScale) << "\n"
              << "  flags: " << FlagsText(info.dwFlags)
              << ", suggested buffer: " << info.dwSuggestedBufferSize
              << ", max bytes/s: " << info.dwMaxBytesPerSec << "\n";
  for (DWORD i = 0; i < info.dwStreams; ++i) {
    PAVISTREAM stream = nullptr;
    if (AVIFileGetStream(file, &stream, 0, static_cast<LONG>(i)) != AVIERR_OK) continue;
    PrintStream(console, i, stream);
    AVIStreamRelease(stream);
  }
  return kExitOk;
}

}  // namespace

CommandRun AviInfoCommand(CLI::App& app) {
  auto path = std::make_shared<std::string>();
  CLI::App& command = *app.add_subcommand(
      "avi-info", "Describe an AVI file as the AVI file services read it: its streams' types, "
                  "handlers, rates, lengths, key frames and formats.");
  command.add_option("FILE", *path, "AVI file")->type_name("FILE")->required();
  return [path](Console& console) { return RunAviInfo(*path, console); };
}

}  // namespace ksv::ksvcam
