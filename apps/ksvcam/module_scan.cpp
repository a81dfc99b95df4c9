#include "apps/ksvcam/module_scan.h"

#include <elf.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <span>
#include <vector>

#include "platform/version/version.h"
#include "support/byte_order.h"

namespace ksv::ksvcam {

namespace {

// `length` bytes of `file` from `offset`, or nothing when the file is
// shorter. Only the parts asked for are read: a plug-in is megabytes, its
// symbol table kilobytes.
std::optional<std::string> ReadRange(std::ifstream& file, uint64_t offset, uint64_t length) {
  constexpr uint64_t kMaxPart = uint64_t{16} << 20;
  if (length > kMaxPart) return std::nullopt;
  std::string bytes(static_cast<size_t>(length), '\0');
  file.clear();
  file.seekg(static_cast<std::streamoff>(offset));
  if (!file.read(bytes.data(), static_cast<std::streamsize>(length))) return std::nullopt;
  return bytes;
}

template <typename T>
std::optional<T> ReadRecord(std::ifstream& file, uint64_t offset) {
  const std::optional<std::string> bytes = ReadRange(file, offset, sizeof(T));
  if (!bytes) return std::nullopt;
  T value;
  std::memcpy(&value, bytes->data(), sizeof(T));
  return value;
}

}  // namespace

bool ExportsFunction(const std::filesystem::path& file, std::string_view name) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  const auto header = ReadRecord<Elf64_Ehdr>(in, 0);
  if (!header || std::memcmp(header->e_ident, ELFMAG, SELFMAG) != 0 ||
      header->e_ident[EI_CLASS] != ELFCLASS64 || header->e_ident[EI_DATA] != ELFDATA2LSB ||
      header->e_type != ET_DYN || header->e_shentsize != sizeof(Elf64_Shdr)) {
    return false;
  }
  const std::optional<std::string> sectionTable =
      ReadRange(in, header->e_shoff, uint64_t{header->e_shnum} * sizeof(Elf64_Shdr));
  if (!sectionTable) return false;
  auto section = [&](uint64_t index) -> std::optional<Elf64_Shdr> {
    if (index >= header->e_shnum) return std::nullopt;
    Elf64_Shdr value;
    std::memcpy(&value, sectionTable->data() + index * sizeof(Elf64_Shdr), sizeof value);
    return value;
  };
  for (uint64_t index = 0; index < header->e_shnum; ++index) {
    const auto symbols = section(index);
    if (symbols->sh_type != SHT_DYNSYM) continue;
    const auto names = section(symbols->sh_link);
    if (!names) return false;
    const std::optional<std::string> table = ReadRange(in, names->sh_offset, names->sh_size);
    const std::optional<std::string> entries = ReadRange(in, symbols->sh_offset, symbols->sh_size);
    if (!table || !entries) return false;
    for (uint64_t at = 0; at + sizeof(Elf64_Sym) <= entries->size(); at += sizeof(Elf64_Sym)) {
      Elf64_Sym symbol;
      std::memcpy(&symbol, entries->data() + at, sizeof symbol);
      if (symbol.st_shndx == SHN_UNDEF || ELF64_ST_TYPE(symbol.st_info) != STT_FUNC ||
          symbol.st_name >= table->size()) {
        continue;
      }
      const std::string_view symbolName = std::string_view(*table).substr(symbol.st_name);
      if (symbolName.substr(0, symbolName.find('\0')) == name) return true;
    }
  }
  return false;
}

std::string ModuleDescription(const std::filesystem::path& file) {
  const std::string name = file.filename().string();
  const DWORD size = GetFileVersionInfoSizeA(file.c_str(), nullptr);
  if (size == 0) return name;
  std::vector<uint8_t> block(size);
  if (!GetFileVersionInfoA(file.c_str(), 0, size, block.data())) return name;
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length) || length < 4) {
    return name;
  }
  const std::span<const uint8_t> translation(static_cast<const uint8_t*>(value), 4);
  char key[64];
  std::snprintf(key, sizeof key, "\\StringFileInfo\\%04x%04x\\FileDescription",
                support::LoadLe16(translation, 0), support::LoadLe16(translation, 2));
  if (!VerQueryValueA(block.data(), key, &value, &length) || length <= 1) return name;
  return std::string(static_cast<const char*>(value), length - 1);
}

}  // namespace ksv::ksvcam
