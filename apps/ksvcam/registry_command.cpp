#include "apps/ksvcam/registry_command.h"

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <strings.h>

#include "platform/registry/machine_hive.h"
#include "support/byte_order.h"

namespace ksv::ksvcam {
namespace {

using platform::RegistryError;
using platform::RegistryStore;
using platform::RegistryType;

std::string KeyName(const std::string& key) {
  const std::string normal = RegistryStore::NormaliseKey(key);
  return "HKEY_LOCAL_MACHINE" + (normal.empty() ? "" : "\\" + normal);
}

// A REG_DWORD's four bytes, little-endian.
uint32_t DwordOf(const std::string& data) {
  return support::LoadLe32({reinterpret_cast<const uint8_t*>(data.data()), data.size()}, 0);
}

std::string Shown(const RegistryStore::Value& value) {
  char text[64];
  if (value.type == RegistryType::kDword && value.data.size() == 4) {
    const uint32_t dword = DwordOf(value.data);
    std::snprintf(text, sizeof text, "REG_DWORD    0x%X (%d)", dword, static_cast<int32_t>(dword));
    return text;
  }
  if (value.type == RegistryType::kString) {
    return "REG_SZ    " + value.data.substr(0, value.data.find('\0'));
  }
  return "(" + std::to_string(value.data.size()) + " bytes of type " +
         std::to_string(static_cast<uint32_t>(value.type)) + ")";
}

// Decimal, 0x hexadecimal, or negative down to the signed 32-bit minimum.
uint32_t ParseDword(const std::string& text) {
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 0);
  if (text.empty() || end == nullptr || *end != '\0' || errno != 0 || value < INT32_MIN ||
      value > static_cast<long long>(UINT32_MAX)) {
    throw UsageError("'" + text + "' is not a 32-bit number (decimal, or 0x... hexadecimal)");
  }
  return static_cast<uint32_t>(value);
}

const RegistryStore::Value* Find(const std::vector<RegistryStore::Value>& values,
                                 const std::string& name) {
  for (const auto& value : values) {
    if (strcasecmp(value.name.c_str(), name.c_str()) == 0) return &value;
  }
  return nullptr;
}

}  // namespace

CLI::App& AddRegistryCommand(CLI::App& app, RegistryOptions& options) {
  CLI::App& command = *app.add_subcommand(
      "registry", "Look at and change the driver's values in the machine registry.");
  command.require_subcommand(1);
  command.add_option("-k,--key", options.key, "Key under HKEY_LOCAL_MACHINE")
      ->type_name("KEY")
      ->capture_default_str();
  command.add_subcommand("list", "List the key's values");
  CLI::App& get = *command.add_subcommand("get", "Print one value");
  get.add_option("name", options.name, "Value name")->required();
  CLI::App& set = *command.add_subcommand("set", "Create or replace a value");
  set.add_option("name", options.name, "Value name")->required();
  set.add_option("value", options.value, "The value: a number for dword, text for sz")
      ->required();
  set.add_option("-t,--type", options.type, "dword or sz")->capture_default_str();
  CLI::App& remove = *command.add_subcommand("delete", "Delete a value");
  remove.add_option("name", options.name, "Value name")->required();
  return command;
}

int RunRegistry(const CLI::App& command, const RegistryOptions& options, Console& console) {
  const std::string action = command.get_subcommands().front()->get_name();
  try {
    const auto hive = platform::SharedMachineHive();
    if (action == "list") {
      console.out << KeyName(options.key) << '\n';
      for (const auto& value : hive->ListValues(options.key)) {
        console.out << "    " << value.name << "    " << Shown(value) << '\n';
      }
      return kExitOk;
    }
    if (action == "set") {
      if (options.type == "dword") {
        hive->SetDword(options.key, options.name, ParseDword(options.value));
      } else if (options.type == "sz") {
        hive->SetString(options.key, options.name, options.value);
      } else {
        throw UsageError("--type '" + options.type + "' is not a value type (choose dword or sz)");
      }
      return kExitOk;
    }
    if (action == "delete") {
      if (!hive->DeleteValue(options.key, options.name)) {
        throw CommandFailure("no value '" + options.name + "' under " + KeyName(options.key));
      }
      return kExitOk;
    }
    const auto values = hive->ListValues(options.key);
    const RegistryStore::Value* value = Find(values, options.name);
    if (value == nullptr) {
      throw CommandFailure("no value '" + options.name + "' under " + KeyName(options.key));
    }
    if (value->type == RegistryType::kDword && value->data.size() == 4) {
      console.out << DwordOf(value->data) << '\n';
    } else {
      console.out << value->data.substr(0, value->data.find('\0')) << '\n';
    }
    return kExitOk;
  } catch (const RegistryError& error) {
    throw CommandFailure(error.what());
  }
}

}  // namespace ksv::ksvcam
