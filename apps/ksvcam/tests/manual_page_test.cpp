#include "apps/ksvcam/manual_page.h"

#include <gtest/gtest.h>

#include <string>

#include "apps/ksvcam/command_line.h"
#include "apps/ksvcam/console.h"

namespace ksv::ksvcam {
namespace {

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(ManualPage, RoffTextCannotStartRequestsOrEscapes) {
  EXPECT_EQ(RoffText(".so /etc/passwd"), "\\&.so /etc/passwd");
  EXPECT_EQ(RoffText("one\n'two"), "one\n\\&'two");
  EXPECT_EQ(RoffText("a\\fBbold"), "a\\efBbold");
  EXPECT_EQ(RoffText("--out DIR"), "\\-\\-out DIR");
  EXPECT_EQ(RoffText("it's 3.5"), "it's 3.5");
}

TEST(ManualPage, ShowsNestedCommandsOptionsAndDefaultsButNotHiddenOnes) {
  CLI::App app{"Does things.", "tool"};
  CLI::App& outer = *app.add_subcommand("outer", "Outer work.");
  CLI::App& inner = *outer.add_subcommand("inner", "Inner work.");
  int size = 7;
  std::string output;
  inner.add_option("-s,--size", size, "How big")->type_name("N")->capture_default_str();
  inner.add_option("FILE", output, "Where to");
  bool secret = false;
  outer.add_flag("--secret", secret, "Not for people")->group("");
  app.add_subcommand("hidden", "Nobody sees this")->group("");

  const std::string page = ManualPage(app, "1.2", "2026-01-01");
  EXPECT_TRUE(Contains(page, ".TH TOOL 1 \"2026\\-01\\-01\" \"tool 1.2\""));
  EXPECT_TRUE(Contains(page, ".SS \"tool outer\"\nOuter work.\n"));
  EXPECT_TRUE(Contains(page, ".SS \"tool outer inner\"\nInner work.\n"));
  EXPECT_TRUE(Contains(page, ".B \\-s, \\-\\-size N\nHow big (default: 7)\n"));
  EXPECT_TRUE(Contains(page, ".B FILE\nWhere to\n"));
  EXPECT_FALSE(Contains(page, "secret"));
  EXPECT_FALSE(Contains(page, "hidden"));
  // The inner command comes after its parent.
  EXPECT_LT(page.find("tool outer\""), page.find("tool outer inner"));
}

TEST(ManualPage, KsvcamsPageHasEverySubcommandOfItsHelp) {
  std::ostringstream out;
  std::ostringstream err;
  Console console{out, err, false};
  const std::string args[] = {"ksvcam", "--help"};
  ASSERT_EQ(RunCommandLine(args, console), 0);
  const std::string help = out.str();
  std::ostringstream manual;
  Console manualConsole{manual, err, false};
  const std::string manualArgs[] = {"ksvcam", "--manual-page", "today"};
  ASSERT_EQ(RunCommandLine(manualArgs, manualConsole), 0);
  const std::string page = manual.str();
  EXPECT_EQ(page.rfind(".TH KSVCAM 1 \"today\"", 0), 0u);
  const size_t list = help.find("Subcommands:");
  ASSERT_NE(list, std::string::npos);
  std::istringstream lines(help.substr(list));
  std::string line;
  int commands = 0;
  std::getline(lines, line);
  while (std::getline(lines, line)) {
    if (line.size() < 3 || line[0] != ' ' || line[2] == ' ') continue;
    const std::string name = line.substr(2, line.find(' ', 2) - 2);
    EXPECT_TRUE(Contains(page, ".SS \"ksvcam " + RoffText(name) + "\"")) << name;
    ++commands;
  }
  EXPECT_GE(commands, 10);
}

}  // namespace
}  // namespace ksv::ksvcam
