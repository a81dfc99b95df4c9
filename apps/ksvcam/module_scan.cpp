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

// A record of type T at `offset` of `bytes`, or nothing when it does not fit.
template <typename T>
std::optional<T> ReadAt(const std::string& bytes, uint64_t offset) {
  if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return std::nullopt;
  T value;
  std::memcpy(&value, bytes.data() + offset, sizeof(T));
  return value;
}

std::optional<std::string> ReadWhole(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

}  // namespace

bool ExportsFunction(const std::filesystem::path& file, std::string_view name) {
  const std::optional<std::string> bytes = ReadWhole(file);
  if (!bytes) return false;
  const auto header = ReadAt<Elf64_Ehdr>(*bytes, 0);
  if (!header || std::memcmp(header->e_ident, ELFMAG, SELFMAG) != 0 ||
      header->e_ident[EI_CLASS] != ELFCLASS64 || header->e_ident[EI_DATA] != ELFDATA2LSB ||
      header->e_type != ET_DYN || header->e_shentsize != sizeof(Elf64_Shdr)) {
    return false;
  }
  auto section = [&](uint64_t index) {
    return index < header->e_shnum
               ? ReadAt<Elf64_Shdr>(*bytes, header->e_shoff + index * sizeof(Elf64_Shdr))
               : std::nullopt;
  };
  for (uint64_t index = 0; index < header->e_shnum; ++index) {
    const auto symbols = section(index);
    if (!symbols) return false;
    if (symbols->sh_type != SHT_DYNSYM) continue;
    const auto names = section(symbols->sh_link);
    if (!names || names->sh_offset > bytes->size() ||
        bytes->size() - names->sh_offset < names->sh_size) {
      return false;
    }
    const std::string_view table(bytes->data() + names->sh_offset, names->sh_size);
    for (uint64_t at = 0; at + sizeof(Elf64_Sym) <= symbols->sh_size; at += sizeof(Elf64_Sym)) {
      const auto symbol = ReadAt<Elf64_Sym>(*bytes, symbols->sh_offset + at);
      if (!symbol) return false;
      if (symbol->st_shndx == SHN_UNDEF || ELF64_ST_TYPE(symbol->st_info) != STT_FUNC ||
          symbol->st_name >= table.size()) {
        continue;
      }
      const std::string_view symbolName = table.substr(symbol->st_name);
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
