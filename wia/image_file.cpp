#include "wia/image_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <fstream>
#include <iterator>

#include "include/oksv1jpg.h"
#include "include/win32_errors.h"
#include "platform/avifile/avifile.h"
#include "platform/com/hresult.h"
#include "platform/memory/global_memory.h"

namespace ksv::wia {

namespace {

constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kInfoHeaderBytes = 40;

uint32_t Read32(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
         static_cast<uint32_t>(at[3]) << 24;
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

HRESULT FileError() {
  return HRESULT_FROM_WIN32(errno == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED);
}

// Colours in the table of a packed bitmap with `bits` per pixel.
uint32_t TableColours(uint32_t bits, uint32_t used) {
  if (bits > 8) return 0;
  return used != 0 && used < (1u << bits) ? used : 1u << bits;
}

// The temporary bitmap file of this process: two processes never share it.
std::string TemporaryBitmapPath() {
  char windows[260] = {};
  const UINT length = GetWindowsDirectoryA(windows, sizeof windows);
  std::string folder = length == 0 || length >= sizeof windows ? std::string() : windows;
  while (!folder.empty() && folder.back() == '/') folder.pop_back();
  return folder + "/KXTMPBMP." + std::to_string(::getpid()) + ".BMP";
}

// Writes a packed bitmap (header, colour table, rows) as a bitmap file with
// the 14-byte file header. E_OUTOFMEMORY when the header does not describe
// `bytes`.
HRESULT WritePackedBitmap(const uint8_t* packed, size_t bytes, const std::string& path) {
  if (packed == nullptr || bytes < kInfoHeaderBytes) return E_OUTOFMEMORY;
  const uint32_t headerBytes = Read32(packed);
  const uint32_t width = Read32(packed + 4);
  const int32_t height = static_cast<int32_t>(Read32(packed + 8));
  const uint32_t bits = packed[14] | packed[15] << 8;
  if (headerBytes < kInfoHeaderBytes || width == 0 || height == 0 || bits == 0) return E_OUTOFMEMORY;
  const uint64_t table = 4ull * TableColours(bits, Read32(packed + 32));
  const uint64_t rowBytes = ((static_cast<uint64_t>(bits) * width + 31) / 8) & ~3ull;
  const uint64_t rows = static_cast<uint64_t>(height < 0 ? -static_cast<int64_t>(height) : height);
  const uint64_t total = headerBytes + table + rowBytes * rows;
  if (total > bytes || total > 0x7FFFFFFFull) return E_OUTOFMEMORY;
  std::vector<uint8_t> fileHeader{'B', 'M'};
  Put32(fileHeader, static_cast<uint32_t>(kFileHeaderBytes + total));
  Put32(fileHeader, 0);
  Put32(fileHeader, static_cast<uint32_t>(kFileHeaderBytes + headerBytes + table));
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(fileHeader.data()), static_cast<std::streamsize>(fileHeader.size()));
  out.write(reinterpret_cast<const char*>(packed), static_cast<std::streamsize>(total));
  return out.good() ? S_OK : HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
}

HRESULT WriteJpegFrame(const std::string& jpeg, const std::string& path) {
  HGLOBAL block = JPEG_2Dib(jpeg.c_str());
  if (block == nullptr) return E_OUTOFMEMORY;
  const auto* packed = static_cast<const uint8_t*>(GlobalLock(block));
  const HRESULT written = WritePackedBitmap(packed, GlobalSize(block), path);
  GlobalUnlock(block);
  GlobalFree(block);
  return written;
}

HRESULT WriteClipFrame(const std::string& clip, const std::string& path) {
  AVIFileInit();
  PAVIFILE file = nullptr;
  HRESULT written = E_OUTOFMEMORY;
  if (AVIFileOpenA(&file, clip.c_str(), OF_READ, nullptr) == 0) {
    PAVISTREAM stream = nullptr;
    if (AVIFileGetStream(file, &stream, streamtypeVIDEO, 0) == 0) {
      if (PGETFRAME frames = AVIStreamGetFrameOpen(stream, nullptr)) {
        if (const auto* packed = static_cast<const uint8_t*>(AVIStreamGetFrame(frames, 0))) {
          // The decoder's frame: its header tells its size.
          const uint32_t bits = packed[14] | packed[15] << 8;
          const uint64_t width = Read32(packed + 4);
          const int32_t height = static_cast<int32_t>(Read32(packed + 8));
          const uint64_t rows = static_cast<uint64_t>(height < 0 ? -static_cast<int64_t>(height) : height);
          const uint64_t size = Read32(packed) + 4ull * TableColours(bits, Read32(packed + 32)) +
                                (((bits * width + 31) / 8) & ~3ull) * rows;
          written = WritePackedBitmap(packed, size, path);
        }
        AVIStreamGetFrameClose(frames);
      }
      AVIStreamRelease(stream);
    }
    AVIFileRelease(file);
  }
  AVIFileExit();
  return written;
}

SYSTEMTIME FileTime(const std::string& path) {
  SYSTEMTIME time{};
  struct stat status{};
  if (::stat(path.c_str(), &status) != 0) {
    GetLocalTime(&time);
    return time;
  }
  // 100-ns intervals since 1601.
  const uint64_t ticks = (static_cast<uint64_t>(status.st_mtim.tv_sec) + 11644473600ull) * 10000000ull +
                         static_cast<uint64_t>(status.st_mtim.tv_nsec) / 100;
  FILETIME fileTime{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  if (!FileTimeToSystemTime(&fileTime, &time)) GetLocalTime(&time);
  return time;
}

}  // namespace

std::string UpperExtension(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string extension = path.substr(dot);
  for (char& c : extension) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return extension;
}

BitmapFile::~BitmapFile() {
  if (temporary_) DeleteFileA(path_.c_str());
}

HRESULT BitmapFile::Open(const std::string& itemFile) {
  // A file that is not there is a file error, whatever its kind.
  if (::access(itemFile.c_str(), R_OK) != 0) return FileError();
  const std::string extension = UpperExtension(itemFile);
  if (extension != ".JPG" && extension != ".AVI") {
    path_ = itemFile;
    return S_OK;
  }
  path_ = TemporaryBitmapPath();
  temporary_ = true;
  return extension == ".JPG" ? WriteJpegFrame(itemFile, path_) : WriteClipFrame(itemFile, path_);
}

HRESULT ReadImageInformation(const std::string& bitmapFile, const std::string& itemFile, ImageInformation* info) {
  std::ifstream in(bitmapFile, std::ios::binary);
  if (!in) return FileError();
  uint8_t head[kFileHeaderBytes + kInfoHeaderBytes] = {};
  in.read(reinterpret_cast<char*>(head), sizeof head);
  const size_t got = static_cast<size_t>(in.gcount());
  if (got < 2 || head[0] != 'B' || head[1] != 'M' || got < sizeof head) return E_FAIL;
  const uint8_t* header = head + kFileHeaderBytes;
  const uint32_t headerBytes = Read32(header);
  const int32_t width = static_cast<int32_t>(Read32(header + 4));
  const int32_t height = static_cast<int32_t>(Read32(header + 8));
  const uint32_t bits = header[14] | header[15] << 8;
  const uint32_t compression = Read32(header + 16);
  const bool knownDepth = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
  // Uncompressed rows only: their size is what the header says.
  if (headerBytes < kInfoHeaderBytes || headerBytes > 1024 || width <= 0 || height == 0 || !knownDepth ||
      compression != 0 || height == INT32_MIN) {
    return E_FAIL;
  }
  const uint32_t colours = bits == 1 ? 2 : bits == 4 ? 16 : bits == 8 ? 256 : 0;
  const uint64_t rowBytes = ((static_cast<uint64_t>(bits) * static_cast<uint64_t>(width) + 31) / 8) & ~3ull;
  if (rowBytes > 0x7FFFFFFFull) return E_FAIL;
  // The information header and colour table, as the file holds them.
  info->header.assign(head + kFileHeaderBytes, head + sizeof head);
  info->header.resize(kInfoHeaderBytes + 4ull * colours);
  // As a plain information header with a full colour table, which is what
  // this copy holds whatever header the file has.
  for (int i = 0; i < 4; ++i) {
    info->header[i] = static_cast<uint8_t>(kInfoHeaderBytes >> (8 * i));
    info->header[32 + i] = 0;
  }
  in.seekg(kFileHeaderBytes + headerBytes);
  in.read(reinterpret_cast<char*>(info->header.data() + kInfoHeaderBytes), 4ll * colours);
  if (static_cast<uint32_t>(in.gcount()) != 4u * colours) return E_FAIL;
  info->width = width;
  info->height = height < 0 ? -height : height;
  info->bitsPerPixel = static_cast<LONG>(bits);
  info->bytesPerLine = static_cast<LONG>(rowBytes);
  info->pixelOffset = Read32(head + 10);
  info->time = FileTime(itemFile);
  return S_OK;
}

HRESULT ReadRows(const std::string& bitmapFile, const ImageInformation& info, std::vector<BYTE>* rows) {
  std::ifstream in(bitmapFile, std::ios::binary);
  if (!in) return FileError();
  const size_t bytes = static_cast<size_t>(info.bytesPerLine) * static_cast<size_t>(info.height);
  in.seekg(0, std::ios::end);
  const auto fileBytes = static_cast<uint64_t>(in.tellg());
  // Never more than the file holds, whatever its header says.
  if (fileBytes < info.pixelOffset || fileBytes - info.pixelOffset < bytes) return E_FAIL;
  rows->resize(bytes);
  in.seekg(info.pixelOffset);
  in.read(reinterpret_cast<char*>(rows->data()), static_cast<std::streamsize>(bytes));
  return static_cast<size_t>(in.gcount()) == bytes ? S_OK : E_FAIL;
}

}  // namespace ksv::wia
