// A file written over in place (here: one with a second name, which a rename would part from
// it): whatever call fails, the file is whole, old or new, and the message says which; a
// process killed half-way leaves complete copies that the next start offers.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <map>

#include "app/app.h"
#include "app/command_line.h"
#include "core/editor.h"
#include "files/file_support_posix.h"
#include "files/watched_calls.h"
#include "platform/file_io.h"
#include "support/session_input.h"
#include "support/test_session.h"

using filetest::inChild;
using filetest::prepareModified;
using filetest::readFile;
using filetest::TempDir;
using filetest::WatchedCalls;
using filetest::writeFile;

namespace {

using Names = std::vector<std::string>;

const std::string kOld = "the old text, longer than the new\n";
const std::string kNew = "the new text\n";

// doc and its second name other, holding the old text.
void prepareLinked(const TempDir& temp) {
  unlink(temp.path("doc").c_str());
  unlink(temp.path("other").c_str());
  writeFile(temp.path("doc"), kOld);
  ASSERT_EQ(link(temp.path("doc").c_str(), temp.path("other").c_str()), 0);
}

TEST(InPlace, AFileWithTwoNamesKeepsThemAndEveryFailureLeavesItWhole) {
  TempDir temp;
  Names clean;
  {
    prepareLinked(temp);
    Editor editor;
    prepareModified(editor, temp.path("doc"), kNew);
    WatchedCalls calls;
    ASSERT_EQ(editor.save(), 1) << message(editor);
    EXPECT_EQ(message(editor), "");
    clean = calls.log;
  }
  EXPECT_EQ(readFile(temp.path("other")), kNew);  // still one file under both names
  EXPECT_EQ(temp.names(), (Names{"doc", "other"}));
  const auto firstReserve = std::find(clean.begin(), clean.end(), "reserve target") - clean.begin();
  std::map<std::string, int> occurrences;
  for (ptrdiff_t i = 0; i < static_cast<ptrdiff_t>(clean.size()); ++i) {
    const std::string& call = clean[i];
    const int occurrence = occurrences[call]++;
    // No failed save: a folder that cannot be opened cannot be synced at all, a closed
    // read-only file has nothing to lose, the unnamed temporary file has a named stand-in.
    if (call == "open dir" || call == "close dir" || call == "open unnamed temp" ||
        call == "close other" || call == "close new copy" || call == "close old copy")
      continue;
    SCOPED_TRACE(call + " #" + std::to_string(occurrence));
    TempDir each;
    prepareLinked(each);
    Editor editor;
    prepareModified(editor, each.path("doc"), kNew);
    WatchedCalls calls;
    calls.failing = call;
    calls.occurrence = occurrence;
    calls.failError = call == "reserve target" ? ENOSPC : EIO;
    const int saved = editor.save();
    const std::string now = readFile(each.path("doc"));
    EXPECT_TRUE(now == kOld || now == kNew) << now;
    EXPECT_EQ(readFile(each.path("other")), now);
    if (saved) {
      EXPECT_EQ(now, kNew);
      EXPECT_EQ(editor.modified, 0);
    } else {
      EXPECT_EQ(editor.modified, 1);
      EXPECT_EQ(now, kOld);
      EXPECT_TRUE(message(editor).ends_with("; the file is unchanged") || i < firstReserve)
          << message(editor);
    }
    // A scratch file whose removal failed is all that may stay (the next start takes it).
    if (call != "remove") {
      EXPECT_EQ(each.names(), (Names{"doc", "other"}));
    }
  }
}

TEST(InPlace, AFullDiskFailsBeforeTheFirstByteChanges) {
  TempDir temp;
  prepareLinked(temp);
  Editor editor;
  prepareModified(editor, temp.path("doc"), kNew);
  WatchedCalls calls;
  calls.failing = "reserve target";
  calls.failError = ENOSPC;
  EXPECT_EQ(editor.save(), 0);
  EXPECT_EQ(message(editor), "Save failed: No space left on device; the file is unchanged");
  EXPECT_EQ(std::count(calls.log.begin(), calls.log.end(), "write target"), 0);
  EXPECT_EQ(readFile(temp.path("doc")), kOld);
}

// Killed at each step of writing in place: the file is old or new, or else both texts lie
// complete beside it; the next start removes what the file equals and offers the rest, and
// a save of the copy opened puts everything right.
TEST(InPlace, AKilledSaveLeavesCopiesThatTheNextStartOffers) {
  for (const std::string point : {"after sync dir", "write target", "after sync target"}) {
    SCOPED_TRACE(point);
    TempDir temp;
    prepareLinked(temp);
    const std::string report = inChild([&]() -> std::string {
      Editor editor;
      prepareModified(editor, temp.path("doc"), kNew);
      WatchedCalls calls;
      int seen = 0;
      calls.watch = [&](const std::string& call) {
        if (call == point && (point != "after sync dir" || ++seen == 1)) kill(getpid(), SIGKILL);
      };
      editor.save();
      return "not killed";
    });
    ASSERT_NE(report.find("killed by signal"), std::string::npos) << report;
    const std::string left = readFile(temp.path("doc"));
    const auto interrupted = platform::FileReplacer::removeLeftovers(temp.path("doc").c_str());
    if (left == kNew) {  // done but for the clean-up: nothing to offer
      EXPECT_TRUE(interrupted.empty());
      EXPECT_EQ(temp.names(), (Names{"doc", "other"}));
      continue;
    }
    ASSERT_EQ(interrupted.size(), 1u);
    EXPECT_EQ(readFile(interrupted[0].newCopy), kNew);
    if (left != kOld) {
      EXPECT_EQ(readFile(interrupted[0].oldCopy), kOld);
    }
    // The next start: y opens the new text, F2 saves it, and the copies go.
    TestSession t;
    t.console.pushKey('Y', 'y', 0);
    t.console.pushKey(0x71, 0, 0);  // F2
    std::string program = "slate", name = temp.path("doc");
    std::vector<char*> argv = {program.data(), name.data()};
    runEditor(t.session, parseCommandLine(2, argv.data()));
    EXPECT_EQ(readFile(temp.path("doc")), kNew);
    EXPECT_EQ(readFile(temp.path("other")), kNew);
    EXPECT_EQ(temp.names(), (Names{"doc", "other"}));
  }
}

// A save of kNew over the linked doc killed while it writes the target: the next start
// offers the new text's copy.
void killSaveWritingTarget(TempDir& temp) {
  prepareLinked(temp);
  const std::string report = inChild([&]() -> std::string {
    Editor editor;
    prepareModified(editor, temp.path("doc"), kNew);
    WatchedCalls calls;
    calls.watch = [](const std::string& call) {
      if (call == "write target") kill(getpid(), SIGKILL);
    };
    editor.save();
    return "not killed";
  });
  ASSERT_NE(report.find("killed by signal"), std::string::npos) << report;
}

// The whole program started on the doc, as `slate doc`.
void startOnDoc(TestSession& t, TempDir& temp) {
  std::string program = "slate", name = temp.path("doc");
  std::vector<char*> argv = {program.data(), name.data()};
  runEditor(t.session, parseCommandLine(2, argv.data()));
}

// The next start's offer keeps what opening the file said before it: here, that another
// editor has the file open.
TEST(InPlace, TheOfferOfAKilledSavesCopyKeepsWhatOpeningTheFileSaid) {
  TempDir temp;
  ASSERT_NO_FATAL_FAILURE(killSaveWritingTarget(temp));
  Editor holder;
  setFileName(holder, temp.path("doc").c_str());
  TestSession t(200);
  t.console.pushKey('Y', 'y', 0);
  startOnDoc(t, temp);
  const std::string said = temp.path("doc") + " is already open in another Slate (process " +
                           std::to_string(getpid()) + "); Opened ";
  EXPECT_EQ(t.console.rowText(t.console.height - 1).rfind(said, 0), 0u)
      << t.console.rowText(t.console.height - 1);
}

// The copy opened and taken out again by F9: a save then writes the file's own text, and the
// new text's copy, which is in no file, stays.
TEST(InPlace, ACopyOpenedAndUndoneOutlivesTheSave) {
  TempDir temp;
  ASSERT_NO_FATAL_FAILURE(killSaveWritingTarget(temp));
  const auto interrupted = platform::FileReplacer::removeLeftovers(temp.path("doc").c_str());
  ASSERT_EQ(interrupted.size(), 1u);
  TestSession t;
  t.console.pushKey('Y', 'y', 0);
  t.console.pushKey(0x78, 0, 0);  // F9
  t.console.pushKey(0x71, 0, 0);  // F2
  startOnDoc(t, temp);
  EXPECT_EQ(readFile(interrupted[0].newCopy), kNew);
}

// An old autosave copy opened first, then the killed save's copy opened over it: the
// autosave copy's text is no longer the document's, so saving the new text keeps it.
TEST(InPlace, AnAutosaveCopyOpenedOverByAKilledSavesCopyOutlivesTheSave) {
  TempDir temp;
  ASSERT_NO_FATAL_FAILURE(killSaveWritingTarget(temp));
  writeFile(temp.path("doc.autosave"), "the autosave's text\n");
  TestSession t(200);
  t.console.pushKey('R', 'r', 0);
  t.console.pushKey('Y', 'y', 0);
  t.console.pushKey(0x71, 0, 0);  // F2
  startOnDoc(t, temp);
  EXPECT_EQ(readFile(temp.path("doc")), kNew);
  EXPECT_EQ(readFile(temp.path("doc.autosave")), "the autosave's text\n");
}

}  // namespace
