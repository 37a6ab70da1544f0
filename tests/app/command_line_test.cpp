#include "app/command_line.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "app/app.h"
#include "platform/key_codes.h"
#include "support/test_session.h"

namespace {

// The parsed line points into its arguments, as into main's argv: they are kept for the
// whole test program.
CommandLine parse(const std::vector<std::string>& args) {
  static std::deque<std::string> kept;
  std::vector<const char*> argv = {"slate"};
  for (const std::string& arg : args) argv.push_back(kept.emplace_back(arg).c_str());
  return parseCommandLine(static_cast<int>(argv.size()), argv.data());
}

std::string fileOf(const CommandLine& line) {
  return line.fileName ? line.fileName : "(none)";
}

}  // namespace

TEST(CommandLine, OneNameIsTheFileAndNoneIsTheUnnamedDocument) {
  EXPECT_EQ(fileOf(parse({})), "(none)");
  EXPECT_EQ(fileOf(parse({"notes.txt"})), "notes.txt");
  EXPECT_EQ(parse({"notes.txt"}).action, CommandLine::Action::Edit);
}

TEST(CommandLine, HelpAndVersionWhereverTheyStandBeforeTheEndOfOptions) {
  EXPECT_EQ(parse({"--help"}).action, CommandLine::Action::Help);
  EXPECT_EQ(parse({"-h"}).action, CommandLine::Action::Help);
  EXPECT_EQ(parse({"a.txt", "--version"}).action, CommandLine::Action::Version);
  EXPECT_EQ(parse({"--version", "--help"}).action, CommandLine::Action::Version);
  const CommandLine named = parse({"--", "--help"});
  EXPECT_EQ(named.action, CommandLine::Action::Edit);
  EXPECT_EQ(fileOf(named), "--help");
  EXPECT_EQ(fileOf(parse({"--", "+5"})), "+5");
}

TEST(CommandLine, PlusNumberIsTheLineToStartOn) {
  const CommandLine line = parse({"+500", "log.txt"});
  EXPECT_EQ(fileOf(line), "log.txt");
  EXPECT_EQ(line.startLine, 500);
  EXPECT_EQ(parse({"log.txt", "+7"}).startLine, 7);
  EXPECT_EQ(parse({"+99999999999999999999", "log.txt"}).startLine, INT32_MAX);
  EXPECT_EQ(parse({"log.txt"}).startLine, 0);
  const CommandLine at = parse({"+3:4", "log.txt"});
  EXPECT_EQ(at.startLine, 3);
  EXPECT_EQ(at.startColumn, 4);
  EXPECT_EQ(fileOf(at), "log.txt");
  EXPECT_EQ(parse({"+3"}).startColumn, 1);
}

// A malformed start position or an unknown option is an error before anything is opened; the
// file name comes after -- when it looks like either.
TEST(CommandLine, MalformedPositionsAndUnknownOptionsAreErrors) {
  for (const char* bad : {"+abc", "+3:x", "+", "+3:", "+:4", "+3:0", "+-1", "+3x", "+0", "+0:2"}) {
    const CommandLine line = parse({bad, "f.txt"});
    EXPECT_EQ(line.action, CommandLine::Action::Error) << bad;
    EXPECT_EQ(line.error, std::string("not a line number: ") + bad);
    EXPECT_EQ(fileOf(line), "(none)");
  }
  for (const char* bad : {"--verison", "-x", "-", "---"}) {
    const CommandLine line = parse({"f.txt", bad});
    EXPECT_EQ(line.action, CommandLine::Action::Error) << bad;
    EXPECT_EQ(line.error, std::string("unknown option ") + bad +
                              " (use -- before a file name that starts with -)");
  }
  EXPECT_EQ(parse({"--verison", "--help"}).action, CommandLine::Action::Error);  // the first
  const CommandLine named = parse({"--", "--verison"});
  EXPECT_EQ(named.action, CommandLine::Action::Edit);
  EXPECT_EQ(fileOf(named), "--verison");
  EXPECT_EQ(fileOf(parse({"--", "+abc"})), "+abc");
  for (const auto& args : std::vector<std::vector<std::string>>{{""}, {"--", ""}, {"a", ""}})
    EXPECT_EQ(parse(args).error, "empty file name") << args.size();
}

TEST(CommandLine, TwoOrMoreNamesOpenNothing) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"a", "b"}, {"+3", "a", "b", "c"}, {"a", "--", "b"}, {"--", "a", "--"}}) {
    const CommandLine line = parse(args);
    EXPECT_TRUE(line.tooManyFiles) << args.size();
    EXPECT_EQ(fileOf(line), "(none)");
  }
  EXPECT_FALSE(parse({"a"}).tooManyFiles);
}

TEST(CommandLine, TwoNamesSayOnTheFirstScreenThatNothingWasOpened) {
  TestSession t;
  t.console.pushPause(1);  // the first screen is drawn while nothing is typed
  t.console.pushKey('X', 0, console::LEFT_ALT_PRESSED);
  std::string args[] = {"slate", "one.txt", "two.txt"};
  char* argv[] = {args[0].data(), args[1].data(), args[2].data()};
  EXPECT_EQ(runEditor(t.session, parseCommandLine(3, argv)), 0);
  const std::string status = t.console.rowText(t.console.height - 1);
  EXPECT_EQ(status.substr(0, status.find_last_not_of(' ') + 1),
            "Only one file at a time: nothing was opened");
}
