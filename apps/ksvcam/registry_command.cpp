// `ksvcam registry list|get|set|delete`: looks at and changes the values of
// the driver's registry key (or another key of the machine hive), as the
// platform's own registry tool does.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <vector>
#include <strings.h>

#include "apps/ksvcam/commands.h"
#include "apps/ksvcam/parsers.h"

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

const RegistryStore::Value* Find(const std::vector<RegistryStore::Value>& values,
                                 const std::string& name) {
  for (const auto& value : values) {
    if (strcasecmp(value.name.c_str(), name.c_str()) == 0) return &value;
  }
  return nullptr;
}

struct RegistryOptions {
  std::string key = "Software\\Tarvio\\KSV Drivers";
  std::string name;
  std::string value;
  std::string type = "dword";
};

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
      if (ParseChoice<bool>(options.type, "--type", "a value type", {{"dword", true}, {"sz", false}})) {
        hive->SetDword(options.key, options.name, ParseDword(options.value));
      } else {
        hive->SetString(options.key, options.name, options.value);
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

}  // namespace

CommandRun RegistryCommand(CLI::App& app) {
  auto options = std::make_shared<RegistryOptions>();
  CLI::App& command = *app.add_subcommand(
      "registry", "Look at and change the driver's values in the machine registry.");
  command.require_subcommand(1);
  command.add_option("-k,--key", options->key, "Key under HKEY_LOCAL_MACHINE")
      ->type_name("KEY")
      ->capture_default_str();
  command.add_subcommand("list", "List the key's values");
  CLI::App& get = *command.add_subcommand("get", "Print one value");
  get.add_option("name", options->name, "Value name")->required();
  CLI::App& set = *command.add_subcommand("set", "Create or replace a value");
  set.add_option("name", options->name, "Value name")->required();
  set.add_option("value", options->value, "The value: a number for dword, text for sz")
      ->required();
  set.add_option("-t,--type", options->type, "dword or sz")->capture_default_str();
  CLI::App& remove = *command.add_subcommand("delete", "Delete a value");
  remove.add_option("name", options->name, "Value name")->required();
  return [options, &command](Console& console) { return RunRegistry(command, *options, console); };
}

}  // namespace ksv::ksvcam
