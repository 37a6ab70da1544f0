// Whole sessions on the in-memory console: the autosave timer, the start-up question about an
// old autosave file, saving a document without a name, and the end steps with their failures.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <climits>

#include "app/app.h"
#include "app/command_line.h"
#include "core/editor.h"
#include "files/file_support_posix.h"
#include "platform/key_codes.h"
#include "support/document.h"
#include "support/test_session.h"

using filetest::exists;
using filetest::readFile;
using filetest::TempDir;
using filetest::WorkIn;
using filetest::writeFile;

namespace {

using Names = std::vector<std::string>;
constexpr uint16_t kF2 = 0x71;

void type(console::MemoryConsole& console, const std::string& text) {
  for (char c : text) {
    const uint16_t key = std::isalpha(static_cast<unsigned char>(c))
                             ? static_cast<uint16_t>(std::toupper(static_cast<unsigned char>(c)))
                             : 0;
    console.pushKey(key, static_cast<uint8_t>(c), 0);
  }
}
void pressEnter(console::MemoryConsole& console) {
  console.pushKey(vk::Return, 13, 0);
}
void pressF2(console::MemoryConsole& console) {
  console.pushKey(kF2, 0, 0);
}
void pressAltX(console::MemoryConsole& console) {
  console.pushKey('X', 0, console::LEFT_ALT_PRESSED);
}

// The editor run as the program runs it, with the file name as its one argument (or none).
void run(TestSession& t, const std::string& name) {
  std::string program = "slate";
  std::vector<char*> argv = {program.data()};
  std::string copy = name;
  if (!name.empty()) argv.push_back(copy.data());
  runEditor(t.session, parseCommandLine(static_cast<int>(argv.size()), argv.data()));
}

std::string statusRow(TestSession& t) {
  std::string row = t.console.rowText(t.console.height - 1);
  return row.substr(0, row.find_last_not_of(' ') + 1);
}

TEST(Autosave, WrittenSixtySecondsAfterTheFirstChangeAndDisarmedBySave) {
  TestSession t;
  TempDir temp;
  const std::string path = temp.path("notes.txt");
  const std::string copy = path + ".autosave";
  writeFile(path, "hello\n");
  SessionEditor editor{t};
  setFileName(editor, path.c_str());
  editor.loadDocument();
  auto step = [&] { t.session.keyboard.waitAndHandleEvent(editor); };

  type(t.console, "a");  // the first change arms the timer
  step();
  t.console.pushPause(30000);
  type(t.console, "b");
  step();
  t.console.pushPause(29999);  // typing does not push the deadline back
  type(t.console, "c");
  step();
  EXPECT_FALSE(exists(copy));
  t.console.pushPause(2);
  type(t.console, "d");
  step();
  EXPECT_EQ(readFile(copy), "abchello\n");
  EXPECT_EQ(readFile(path), "hello\n");
  EXPECT_EQ(editor.modified, 1);  // still unsaved: the star stays
  editor.redraw();
  EXPECT_NE(statusRow(t).find("* R 0"), std::string::npos) << statusRow(t);

  pressF2(t.console);
  step();
  EXPECT_EQ(readFile(path), "abcdhello\n");
  EXPECT_EQ(editor.modified, 0);
  EXPECT_EQ(t.session.keyboard.autosaveDeadline, 0u);
  ASSERT_EQ(unlink(copy.c_str()), 0);
  t.console.pushPause(120000);
  type(t.console, "e");
  step();
  EXPECT_FALSE(exists(copy));  // nothing written while nothing changed
  t.console.pushPause(60001);
  type(t.console, "f");
  step();
  EXPECT_EQ(readFile(copy), "abcdehello\n");
  EXPECT_EQ(temp.names(), (Names{"notes.txt", "notes.txt.autosave"}));
}

TEST(Autosave, WithoutANameItFailsOnceAndSwitchesOff) {
  TestSession t;
  TempDir temp;
  WorkIn work(temp.dir());
  SessionEditor editor{t};
  auto step = [&] { t.session.keyboard.waitAndHandleEvent(editor); };
  type(t.console, "a");
  step();
  t.console.pushPause(60001);
  type(t.console, "b");
  step();
  EXPECT_EQ(statusRow(t), "Autosave failure, autodisabling...");
  EXPECT_EQ(t.session.keyboard.autosaveDisabled, 1);
  editor.redraw();
  type(t.console, "c");
  step();
  t.console.pushPause(200000);
  type(t.console, "d");
  step();
  EXPECT_EQ(statusRow(t).find("Autosave failure"), std::string::npos);
  EXPECT_TRUE(temp.names().empty());
}

TEST(Autosave, StartUpQuestionAboutAnOldCopy) {
  TempDir temp;
  const std::string path = temp.path("notes.txt");
  const std::string copy = path + ".autosave";
  {  // other keys are ignored; y removes the old copy at once
    TestSession t;
    writeFile(copy, "old copy\n");
    type(t.console, "x");
    pressEnter(t.console);
    type(t.console, " qY");
    SessionEditor editor{t};
    setFileName(editor, path.c_str());
    EXPECT_EQ(statusRow(t), "Autosave file seems to exist, overwrite? (Y/n)");
    EXPECT_FALSE(exists(copy));
    ASSERT_NE(editor.autosaveName, nullptr);
    EXPECT_EQ(std::string(editor.autosaveName.get()), copy);
    EXPECT_EQ(documentBytes(editor), "");
  }
  for (const char* answer : {"N", ""}) {  // n, or no answer at all, keeps it and this run has none
    TestSession t;
    writeFile(copy, "old copy\n");
    type(t.console, answer);
    SessionEditor editor{t};
    setFileName(editor, path.c_str());
    EXPECT_EQ(readFile(copy), "old copy\n");
    EXPECT_EQ(editor.autosaveName, nullptr);
    EXPECT_STREQ(editor.fileName.get(), path.c_str());
    EXPECT_EQ(editor.autosaveNow(), 0);
  }
}

TEST(EndSteps, QuitWithoutChangesAsksNothing) {
  TestSession t;
  TempDir temp;
  writeFile(temp.path("notes.txt"), "hello\n");
  pressAltX(t.console);
  run(t, temp.path("notes.txt"));
  EXPECT_EQ(statusRow(t).find("Save changes?"), std::string::npos);
  EXPECT_EQ(readFile(temp.path("notes.txt")), "hello\n");
  EXPECT_EQ(temp.names(), Names{"notes.txt"});
}

TEST(EndSteps, QuitAsksUntilYOrNAndRemovesTheAutosaveFile) {
  TempDir temp;
  const std::string path = temp.path("notes.txt");
  {  // n: the file stays as it was, the autosave copy goes
    TestSession t;
    writeFile(path, "hello\n");
    type(t.console, "a");
    t.console.pushPause(60001);
    type(t.console, "b");
    pressAltX(t.console);
    type(t.console, "q");
    pressEnter(t.console);
    type(t.console, "n");
    run(t, path);
    EXPECT_EQ(statusRow(t), "Save changes? (Y/n)");
    EXPECT_EQ(readFile(path), "hello\n");
    EXPECT_EQ(temp.names(), Names{"notes.txt"});
  }
  {  // Y: saved, and the copy goes too
    TestSession t;
    type(t.console, "z");
    pressAltX(t.console);
    type(t.console, "Y");
    run(t, path);
    EXPECT_EQ(readFile(path), "zhello\n");
    EXPECT_EQ(temp.names(), Names{"notes.txt"});
  }
}

TEST(EndSteps, FailedSaveAtTheEndGoesBackToEditing) {
  TestSession t;
  TempDir temp;
  const std::string folder = temp.path("folder");
  mkdir(folder.c_str(), 0755);
  // A name that could not be read is asked for again; given again, its save fails.
  type(t.console, "a");
  pressAltX(t.console);
  type(t.console, "y" + folder);  // the save fails: the editor goes on
  pressEnter(t.console);
  t.console.pushPause(10);
  type(t.console, "b");
  pressAltX(t.console);
  type(t.console, "y" + folder);  // fails again; then the input ends
  pressEnter(t.console);
  run(t, folder);
  EXPECT_EQ(statusRow(t), "Save failed: Is a directory");
  // The terminal went away with the work unsaved: it is kept in the autosave file.
  EXPECT_EQ(readFile(folder + ".autosave"), "ab");
  EXPECT_EQ(filetest::listDir(folder), Names{});
}

TEST(EndSteps, UnreadableFileIsReportedOnTheFirstScreen) {
  TestSession t;
  TempDir temp;
  mkdir(temp.path("folder").c_str(), 0755);
  run(t, temp.path("folder"));
  EXPECT_EQ(statusRow(t), "Cannot read " + temp.path("folder") + ": Is a directory");
}

TEST(HangUp, ModifiedDocumentIsKeptInItsAutosaveFile) {
  TempDir temp;
  const std::string path = temp.path("notes.txt");
  const std::string copy = path + ".autosave";
  writeFile(path, "hello\n");
  {  // the input ends while editing
    TestSession t;
    type(t.console, "a");
    run(t, path);
    EXPECT_EQ(readFile(path), "hello\n");
    EXPECT_EQ(readFile(copy), "ahello\n");
  }
  {  // the next start asks about it; the input ends at the exit question
    TestSession t;
    type(t.console, "y");
    type(t.console, "b");
    pressAltX(t.console);
    run(t, path);
    EXPECT_EQ(readFile(path), "hello\n");
    EXPECT_EQ(readFile(copy), "bhello\n");
  }
  {  // an old copy the user chose to keep is not overwritten: the new one goes beside it
    TestSession t;
    type(t.console, "n");
    type(t.console, "c");
    run(t, path);
    EXPECT_EQ(readFile(copy), "bhello\n");
    EXPECT_EQ(readFile(copy + ".1"), "chello\n");
  }
  {  // nothing changed: nothing written, and the stale copy of this run removed
    TestSession t;
    type(t.console, "y");
    run(t, path);
    EXPECT_EQ(temp.names(), (Names{"notes.txt", "notes.txt.autosave.1"}));
  }
}

TEST(SaveWithoutName, AsksForANameThatTheDocumentKeeps) {
  TempDir temp;
  WorkIn work(temp.dir());
  {
    TestSession t;
    type(t.console, "a");
    pressF2(t.console);
    type(t.console, "named.txt");
    pressEnter(t.console);
    type(t.console, "b");
    pressF2(t.console);  // named now: no question
    run(t, "");
    EXPECT_EQ(readFile("named.txt"), "ab");
    EXPECT_EQ(temp.names(), Names{"named.txt"});
  }
  {  // an empty answer saves nothing; the work survives the end of the input
    TestSession t;
    type(t.console, "a");
    pressF2(t.console);
    pressEnter(t.console);
    pressAltX(t.console);
    type(t.console, "y");
    pressEnter(t.console);  // the same at the exit question: back to editing
    type(t.console, "c");
    run(t, "");
    EXPECT_EQ(readFile("named.txt"), "ab");
    EXPECT_EQ(readFile("untitled.autosave"), "ac");
    EXPECT_EQ(temp.names(), (Names{"named.txt", "untitled.autosave"}));
  }
}

TEST(SaveWithoutName, NameWithAnOldAutosaveFileAsksAboutIt) {
  TempDir temp;
  WorkIn work(temp.dir());
  writeFile("doc.autosave", "old\n");
  TestSession t;
  type(t.console, "a");
  pressF2(t.console);
  type(t.console, "doc");
  pressEnter(t.console);
  type(t.console, "y");  // remove the old copy
  run(t, "");
  EXPECT_EQ(readFile("doc"), "a");
  EXPECT_EQ(temp.names(), Names{"doc"});
}

}  // namespace
