#include "apps/ksvcam/manual_page.h"

#include <cctype>
#include <sstream>

namespace ksv::ksvcam {
namespace {

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

// "-o, --output FILE" or "FILE" for a positional argument.
std::string OptionLabel(const CLI::Option& option) {
  std::string label;
  if (option.nonpositional()) {
    for (const std::string& name : option.get_snames()) label += (label.empty() ? "-" : ", -") + name;
    for (const std::string& name : option.get_lnames()) label += (label.empty() ? "--" : ", --") + name;
  } else {
    label = option.get_name(true);
  }
  const std::string type = option.get_type_name();
  if (option.get_expected_min() > 0 && option.nonpositional() && !type.empty()) {
    label += " " + type;
  }
  return label;
}

// Every option but the hidden ones; --help only for the program itself.
void WriteOptions(std::ostringstream& out, const CLI::App& command) {
  for (const CLI::Option* option : command.get_options()) {
    if (option->get_group().empty()) continue;  // hidden
    if (command.get_parent() != nullptr && option == command.get_help_ptr()) continue;
    out << ".TP\n.B " << RoffText(OptionLabel(*option)) << "\n";
    std::string description = option->get_description();
    const std::string fallback = option->get_default_str();
    if (!fallback.empty()) description += " (default: " + fallback + ")";
    out << RoffText(description.empty() ? "-" : description) << "\n";
  }
}

// `path` is the words that name the command after the program.
void WriteCommand(std::ostringstream& out, const CLI::App& command, const std::string& path) {
  out << ".SS \"" << RoffText(path) << "\"\n" << RoffText(command.get_description()) << "\n";
  WriteOptions(out, command);
  for (const CLI::App* sub : command.get_subcommands({})) {
    if (sub->get_group().empty()) continue;  // hidden
    WriteCommand(out, *sub, path + " " + sub->get_name());
  }
}

}  // namespace

std::string RoffText(std::string_view text) {
  std::string safe;
  bool lineStart = true;
  for (const char c : text) {
    if (lineStart && (c == '.' || c == '\'')) safe += "\\&";
    if (c == '\\') {
      safe += "\\e";
    } else if (c == '-') {
      safe += "\\-";
    } else {
      safe += c;
    }
    lineStart = c == '\n';
  }
  return safe;
}

std::string ManualPage(const CLI::App& app, std::string_view version, std::string_view date) {
  std::ostringstream out;
  const std::string name = app.get_name();
  out << ".TH " << Upper(name) << " 1 \"" << RoffText(date) << "\" \"" << RoffText(name) << " "
      << RoffText(version) << "\" \"User Commands\"\n";
  out << ".SH NAME\n" << RoffText(name) << " \\- " << RoffText(app.get_description()) << "\n";
  out << ".SH SYNOPSIS\n.B " << RoffText(name) << "\n.I SUBCOMMAND\n[\\fIOPTIONS\\fR]\n";
  out << ".SH OPTIONS\n";
  WriteOptions(out, app);
  out << ".SH SUBCOMMANDS\n";
  for (const CLI::App* command : app.get_subcommands({})) {
    if (command->get_group().empty()) continue;  // hidden
    WriteCommand(out, *command, name + " " + command->get_name());
  }
  return out.str();
}

}  // namespace ksv::ksvcam
