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
#include "support/session_input.h"
#include "support/test_session.h"

using filetest::exists;
using filetest::readFile;
using filetest::TempDir;
using filetest::WorkIn;
using filetest::writeFile;

namespace {

using Names = std::vector<std::string>;

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

  press(t.console, vk::F2);
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
    press(t.console, vk::Return);
    type(t.console, " qY");
    SessionEditor editor{t};
    setFileName(editor, path.c_str());
    EXPECT_EQ(statusRow(t), "Autosave file seems to exist, overwrite? (Y/n) or r to open it");
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

}  // namespace
