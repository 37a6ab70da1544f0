// Large files kept in their file as runs of lines, checked against the same files read whole.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "core/editor.h"
#include "core/file_source.h"
#include "files/file_support_posix.h"
#include "files/load_save.h"
#include "files/recovery.h"
#include "search/search_state.h"
#include "support/document.h"
#include "support/session_input.h"
#include "support/small_pieces.h"
#include "support/test_seed.h"
#include "support/test_session.h"

using filetest::readFile;
using filetest::TempDir;
using filetest::writeFile;

namespace {

void load(Editor& editor, const std::string& path) {
  setFileName(editor, path.c_str());
  editor.loadDocument();
}

// The file's lines as a whole load splits them, the empty last line left out.
std::vector<std::string> referenceLines(const std::string& bytes) {
  Editor reference;
  setDocument(reference, bytes);
  std::vector<std::string> lines = documentLines(reference);
  lines.pop_back();
  return lines;
}

const std::vector<std::string> kTerminatorCases = {
    "a\nb\n",
    "a\r\nb\r\n",
    "a\rb\r",
    "a\n\rb\n\r",
    "\r\n\r\n\n\r\r\r\n",
    "x\r",
    "x\n",
    "no end",
    "\n",
    "\r",
    "ab\r\ncd\n\ref\rgh\n\n\r\r\n\rij",
    "\n\r\n\r\n",
    "\r\r\n\n",
    "tail\r\n",
    "a\n\r\rb",
};

TEST(LargeFile, CountsAndLineStartsAgreeWithTheLoaderAcrossBlockBoundaries) {
  TempDir temp;
  const std::string path = temp.path("f");
  for (const std::string& bytes : kTerminatorCases) {
    writeFile(path, bytes);
    const std::vector<std::string> lines = referenceLines(bytes);
    const bool terminated = bytes.back() == '\n' || bytes.back() == '\r';
    for (size_t block : {1, 2, 3, 4, 7, 64}) {
      SmallPieces pieces(block, 16);
      auto file = std::make_unique<platform::InputFile>();
      std::string reason;
      ASSERT_EQ(file->open(path.c_str(), reason), platform::OpenResult::Opened);
      FileSource source(std::move(file), bytes.size());
      const std::string where =
          "block " + std::to_string(block) + " in " + testing::PrintToString(bytes);
      ASSERT_EQ(source.linesBetween(0, bytes.size()), static_cast<int64_t>(lines.size())) << where;
      uint64_t start = 0;
      for (size_t k = 0; k <= lines.size(); ++k) {
        if (k == lines.size() && !terminated) break;  // no line starts after the last one
        EXPECT_EQ(source.lineStartAfter(0, static_cast<int64_t>(k)), static_cast<int64_t>(start))
            << "line " << k << ", " << where;
        EXPECT_EQ(source.terminatorsBefore(start), static_cast<int64_t>(k)) << where;
        if (k < lines.size()) start += lines[k].size();
      }
    }
  }
}

// A random file of short lines with every terminator kind, a long line now and then, and
// sometimes no terminator at the end.
std::string randomFile(std::mt19937& random) {
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  static const char* const endings[] = {"\n", "\r\n", "\r", "\n\r"};
  std::string bytes;
  const int lines = pick(60);
  for (int i = 0; i < lines; ++i) {
    const int length = pick(12) == 0 ? 40 + pick(40) : pick(8);
    for (int k = 0; k < length; ++k) bytes.push_back("ab\tc"[pick(4)]);
    bytes += endings[pick(4)];
  }
  if (pick(3) == 0) bytes += "end";
  return bytes.empty() ? "x" : bytes;
}

TEST(LargeFile, MovesEditsUndoAndSavesMatchTheFileReadWhole) {
  const unsigned seed = testSeed();
  std::mt19937 random(seed);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  TempDir temp;
  for (int round = 0; round < 30; ++round) {
    const std::string bytes = randomFile(random);
    writeFile(temp.path("f"), bytes);
    Editor whole, large;
    load(whole, temp.path("f"));
    SmallPieces pieces(static_cast<size_t>(1 + pick(24)), static_cast<size_t>(1 + pick(40)),
                       pick(3) == 0 ? SIZE_MAX : static_cast<size_t>(pick(20)),
                       static_cast<size_t>(pick(6)));
    load(large, temp.path("f"));
    ASSERT_TRUE(large.source) << "seed " << seed;
    for (int step = 0; step < 150; ++step) {
      std::string what;
      int a = 0, b = 0;
      switch (pick(10)) {
        case 0: {
          const int line = pick(whole.lineCount + 2) - 1;
          const int column = pick(4) == 0 ? INT_MAX : pick(20);
          what = "goToPosition " + std::to_string(line);
          a = whole.goToPosition(line, column);
          b = large.reachLine(line) ? large.goToPosition(line, column) : 0;
          break;
        }
        case 9:  // now and then the line count arrives: the lines after the part not
                 // counted are numbered anew; else to the end before it
          if (pick(4) == 0) {
            what = "count";
            b = a = large.finishCount();
          } else {
            what = "end";
            a = whole.moveDocumentEnd();
            b = large.moveDocumentEnd();
          }
          break;
        case 1:
          what = "transferDown";
          a = whole.transferDown(whole.cursorColumn);
          b = large.transferDown(large.cursorColumn);
          break;
        case 2:
          what = "transferUp";
          a = whole.transferUp(whole.cursorColumn);
          b = large.transferUp(large.cursorColumn);
          break;
        case 3:
          what = pick(2) ? "end" : "start";
          a = what == "end" ? whole.moveDocumentEnd() : whole.moveDocumentStart();
          b = what == "end" ? large.moveDocumentEnd() : large.moveDocumentStart();
          break;
        case 4: {
          const uint8_t c = static_cast<uint8_t>("xy\r"[pick(3)]);
          what = "addByte";
          whole.addByte(c);
          large.addByte(c);
          break;
        }
        case 5:
          what = "newLine";
          a = whole.newLine();
          b = large.newLine();
          break;
        case 6:
          what = "backspace";
          a = whole.backspace();
          b = large.backspace();
          break;
        case 7:
          what = pick(3) ? "undo" : "redo";
          a = what == "undo" ? whole.undo() : whole.redo();
          b = what == "undo" ? large.undo() : large.redo();
          break;
        case 8: {
          what = "view";
          const size_t above = static_cast<size_t>(pick(10)), below = static_cast<size_t>(pick(10));
          large.ensureWindow(above, below);
          break;
        }
      }
      whole.afterCommand(false);
      large.afterCommand(false);
      const std::string at =
          what + " at step " + std::to_string(step) + ", seed " + std::to_string(seed);
      ASSERT_EQ(a, b) << at;
      ASSERT_EQ(brokenInvariant(large), "") << at;
      ASSERT_EQ(documentLines(large), documentLines(whole)) << at;
      if (large.rowExact()) {
        ASSERT_EQ(large.cursorLine, whole.cursorLine) << at;
      }
      ASSERT_EQ(large.cursorColumn, whole.cursorColumn) << at;
      if (large.countKnown()) {
        ASSERT_EQ(large.lineCount, whole.lineCount) << at;
      }
    }
    std::string reason;
    ASSERT_TRUE(files::writeDocumentFile(whole, temp.path("whole").c_str(), nullptr, reason));
    ASSERT_TRUE(files::writeDocumentFile(large, temp.path("large").c_str(), nullptr, reason))
        << reason;
    ASSERT_EQ(readFile(temp.path("large")), readFile(temp.path("whole"))) << "seed " << seed;
  }
}

// 400 numbered lines, opened as a large file with the first screen read.
struct OpenLog {
  TempDir temp;
  std::string path = temp.path("big.log");
  std::string bytes;
  SmallPieces pieces{64, 100};
  Editor editor;
  OpenLog() {
    for (int i = 0; i < 400; ++i) bytes += "line " + std::to_string(i) + "\n";
    writeFile(path, bytes);
    load(editor, path);
    editor.ensureWindow(0, 5);
  }
  // Saving under another name: what it says, and the file is not there when it fails.
  std::string saveElsewhere() {
    std::string reason;
    const std::string other = temp.path("copy");
    if (files::writeDocumentFile(editor, other.c_str(), nullptr, reason)) return readFile(other);
    EXPECT_NE(access(other.c_str(), F_OK), 0);
    return reason;
  }
};

TEST(LargeFile, TheEndIsReachedBeforeTheCountAndNumberedWhenItArrives) {
  OpenLog log;
  Editor& e = log.editor;
  TestSession test;
  test.session.attach(e);
  ASSERT_EQ(e.moveDocumentEnd(), 1);  // the uncounted part stands for one line meanwhile
  e.ensureWindow(30, 0);
  EXPECT_FALSE(e.rowExact());
  EXPECT_LT(e.cursorLine, 400);
  while (!e.source->countDone()) usleep(1000);  // counted, not yet taken in
  EXPECT_NEAR(static_cast<double>(e.estimatedRow()), 400, 40);
  ASSERT_EQ(e.moveUp(), 1);
  e.addByte('!');  // an edit past the uncounted part, and one before it
  e.afterCommand(false);
  ASSERT_EQ(e.moveDocumentStart(), 1);
  e.addByte('?');
  e.afterCommand(false);
  ASSERT_TRUE(e.finishCount());
  EXPECT_TRUE(e.rowExact());
  EXPECT_EQ(e.lineCount, 401);
  ASSERT_EQ(e.undo(), 1);
  ASSERT_EQ(e.undo(), 1);  // found again at its line as counted now
  EXPECT_EQ(e.cursorLine, 399);
  EXPECT_EQ(log.saveElsewhere(), log.bytes);
  ASSERT_EQ(e.goToLineNumber(200, 1), 1);  // by number: the count has reached it
  EXPECT_EQ(documentLines(e)[199], "line 199\n");
  EXPECT_EQ(e.cursorLine, 199);
}

TEST(LargeFile, ASaveInPlaceLeavesTheTextNotYetReadReadable) {
  OpenLog log;
  Editor& e = log.editor;
  TestSession test;
  test.session.attach(e);
  const std::string other = log.temp.path("other name");
  ASSERT_EQ(link(log.path.c_str(), other.c_str()), 0);  // a second name: saved in place
  load(e, log.path);
  const platform::FileStamp before = platform::stampOf(log.path.c_str());
  e.addByte('#');
  e.afterCommand(false);
  ASSERT_EQ(e.saveUnder(log.path.c_str(), true, false), 1);
  ASSERT_TRUE(platform::stampOf(log.path.c_str()).sameFile(before));
  const std::string saved = "#" + log.bytes;
  EXPECT_EQ(readFile(other), saved);
  ASSERT_EQ(e.moveDocumentEnd(), 1);  // every run read from where the save put it
  ASSERT_TRUE(e.finishCount());
  EXPECT_EQ(e.lineCount, 401);
  EXPECT_EQ(documentLines(e)[399], "line 399\n");
  EXPECT_EQ(log.saveElsewhere(), saved);
  EXPECT_TRUE(!e.pendingMessage || !std::strstr(e.pendingMessage.get(), "changed on disk"));
}

TEST(LargeFile, AFileChangedOnDiskIsNeverMixedIntoASave) {
  {  // cut short, the way a log is truncated in place
    OpenLog log;
    ASSERT_EQ(truncate(log.path.c_str(), 1000), 0);
    log.editor.pollCount();
    EXPECT_NE(std::string(log.editor.pendingMessage.get()).find("big.log was cut short"),
              std::string::npos);
    log.editor.moveDocumentEnd();  // whatever it can do, it neither crashes nor invents text
    log.editor.goToPosition(0, 0);
    EXPECT_EQ(documentLines(log.editor)[0], "line 0\n");  // what was shown is kept
    EXPECT_NE(log.saveElsewhere().find("big.log changed on disk at line"), std::string::npos);
  }
  {  // rewritten in place, same size, after the count read it
    OpenLog log;
    ASSERT_TRUE(log.editor.finishCount());
    std::string changed = log.bytes;
    changed[2000] = '#';
    writeFile(log.path, changed);
    EXPECT_TRUE(log.saveElsewhere().ends_with("; nothing was written"));
  }
  {  // appended to: the document stays the file as opened
    OpenLog log;
    std::ofstream(log.path, std::ios::binary | std::ios::app) << "line 400\n";
    log.editor.pollCount();
    EXPECT_NE(std::string(log.editor.pendingMessage.get())
                  .find("big.log grew on disk by 9 bytes: open it again to see them"),
              std::string::npos);
    EXPECT_EQ(log.saveElsewhere(), log.bytes);
  }
}

// An old copy opened with r cannot take the place of text not yet read: the document stays
// the file, and the copy stays as it is, out of reach of this run's own autosave.
TEST(LargeFile, AnOldCopyIsNeverPutBesideTextNotYetRead) {
  TempDir temp;
  SmallPieces pieces{64, 100};
  const std::string path = temp.path("big.log");
  const std::string copy = path + ".autosave";
  std::string bytes;
  for (int i = 0; i < 400; ++i) bytes += "line " + std::to_string(i) + "\n";
  writeFile(path, bytes);
  writeFile(copy, "the work\n");
  TestSession t(200);
  type(t.console, "r");
  SessionEditor e(t);
  load(e, path);
  files::openAskedCopy(e);
  EXPECT_STREQ(e.pendingMessage.get(),
               ("Cannot open " + copy + ": the file is too large to replace; it is kept").c_str());
  e.addByte('#');
  e.afterCommand(false);
  ASSERT_EQ(e.autosaveNow(), 1);
  EXPECT_EQ(readFile(copy), "the work\n");
  EXPECT_EQ(readFile(path + ".2.autosave"), "#" + bytes);
}

// The bytes this process has read so far, all files together; -1 where the system does not
// say.
int64_t bytesReadSoFar() {
  std::ifstream io("/proc/self/io");
  std::string key;
  int64_t value = 0;
  while (io >> key >> value)
    if (key == "rchar:") return value;
  return -1;
}

// An old copy of a large file may be as large as the file: it is refused before a byte of it
// is read, as the document cannot take it in place of text it has not read.
TEST(LargeFile, AnOldCopyIsRefusedBeforeItIsRead) {
  if (bytesReadSoFar() < 0) GTEST_SKIP() << "the system does not count the bytes read";
  OpenLog log;
  const std::string copy = log.path + ".autosave";
  writeFile(copy, "");
  ASSERT_EQ(truncate(copy.c_str(), int64_t{64} << 20), 0);  // sparse: no disk, no waiting
  const int64_t before = bytesReadSoFar();
  std::string reason;
  EXPECT_FALSE(files::openCopyInstead(log.editor, copy.c_str(), reason));
  EXPECT_LT(bytesReadSoFar() - before, int64_t{1} << 20);
  EXPECT_EQ(reason, "the file is too large to replace");
  EXPECT_EQ(log.saveElsewhere(), log.bytes);
}

// Paged through to the end, the lines far behind that were never shown are folded back into
// runs; read again, they must be what they were, or nothing. The lines shown stay as shown.
TEST(LargeFile, LinesFoldedBackAreReadAgainOnlyAsTheyWereAndShownLinesStay) {
  OpenLog log;  // lines 0 to 5 shown
  Editor& e = log.editor;
  foldAfterBytes = 400;  // about 50 lines
  foldKeepRecords = 20;
  auto pageToTheEnd = [&e] {  // a screen shown every 80 lines, the lines between only passed
    for (int k = 1; e.moveDown() == 1; ++k) {
      if (k % 80 == 0) e.ensureWindow(0, 5);
      e.afterCommand(false);
    }
  };
  pageToTheEnd();
  EXPECT_LT(e.linesAbove.count(), 100u);
  EXPECT_LT(e.textArena.size(), 20u);  // their pieces given back
  ASSERT_EQ(brokenInvariant(e), "");
  ASSERT_EQ(e.moveDocumentStart(), 1);
  e.ensureWindow(0, 5);
  EXPECT_EQ(documentLines(e)[3], "line 3\n");
  EXPECT_EQ(log.saveElsewhere(), log.bytes);
  unlink(log.temp.path("copy").c_str());

  pageToTheEnd();
  std::string changed = log.bytes;  // rewritten in place, same size: a line shown, one passed
  changed[changed.find("line 3\n")] = 'L';
  changed[changed.find("line 30\n")] = 'L';
  writeFile(log.path, changed);
  e.moveDocumentStart();
  e.ensureWindow(0, 35);
  ASSERT_TRUE(e.pendingMessage);
  EXPECT_NE(std::string(e.pendingMessage.get()).find("big.log changed on disk"), std::string::npos);
  const std::vector<std::string> lines = documentLines(e);
  EXPECT_EQ(lines[3], "line 3\n");
  for (const std::string& line : lines) EXPECT_NE(line, "Line 30\n");
  EXPECT_NE(log.saveElsewhere().find("big.log changed on disk at line"), std::string::npos);
  EXPECT_EQ(brokenInvariant(e), "");
  const size_t held = e.linesAbove.count() + e.linesBelow.count();
  foldKeepRecords = 0;
  e.bytesReadSinceFold = foldAfterBytes;  // the file changed: what is in memory stays
  e.foldFarLines();
  EXPECT_EQ(e.linesAbove.count() + e.linesBelow.count(), held);
}

TEST(LargeFile, SearchesFindTextNotYetReadAndReplacingThereIsRefused) {
  OpenLog log;
  Editor& e = log.editor;
  TestSession test;
  test.session.attach(e);
  SearchState& state = *e.searchState;
  char* text = copyOf("line 377");
  state.setSearchStrings(text, text);
  ASSERT_EQ(e.searchAgain(), 1);
  EXPECT_EQ(e.cursorLine, 377);
  EXPECT_EQ(e.cursorColumn, 0);
  ASSERT_EQ(e.goToPosition(0, 0), 1);
  ASSERT_EQ(e.findPrevious(), 1);  // backward, passing the top: from the file's end
  EXPECT_EQ(e.cursorLine, 377);
  state.options.ignoreCase = true;  // with an option on, the runs are matched line by line
  text = copyOf("LINE 2");
  state.setSearchStrings(text, text);
  ASSERT_EQ(e.findPrevious(), 1);
  EXPECT_EQ(e.cursorLine, 299);
  ASSERT_EQ(e.findNext(), 1);
  EXPECT_EQ(e.cursorLine, 2);  // wrapped
  state.options.ignoreCase = false;
  ASSERT_EQ(e.goToPosition(0, 0), 1);
  state.setSearchStrings(copyOf("line"), copyOf("L"));
  EXPECT_EQ(e.searchAgain(), 0);
  EXPECT_EQ(std::string(e.pendingMessage.get()).rfind("Too large to replace in memory: 3", 0), 0u);
  EXPECT_NE(std::string(e.pendingMessage.get()).find(" occurrences in 0.0 GB"), std::string::npos);
  EXPECT_EQ(log.saveElsewhere(), log.bytes);  // nothing changed
}

}  // namespace

TEST(LargeFile, FollowingShowsTheEndOfAGrowingFileWhileUnmodified) {
  for (const bool large : {false, true}) {
    OpenLog log;
    Editor& e = log.editor;
    if (!large) files::largeFileSize = uint64_t{1} << 40;
    load(e, log.path);
    ASSERT_EQ(bool(e.source), large);
    ASSERT_EQ(e.toggleFollow(), 1);
    EXPECT_FALSE(e.followFile());  // not grown
    std::ofstream(log.path, std::ios::binary | std::ios::app) << "line 400\n";
    if (large) {
      ASSERT_TRUE(e.finishCount());  // a large file is read again once counted
      // Not "open it again to see them": follow mode is about to show them.
      EXPECT_EQ(std::string(e.pendingMessage.get()).find("grew on disk"), std::string::npos);
    }
    ASSERT_TRUE(e.followFile());
    e.ensureWindow(5, 0);
    const std::vector<std::string> lines = documentLines(e);
    EXPECT_EQ(lines[lines.size() - 2], "line 400\n");
    e.addByte('#');  // modified: never read over
    e.afterCommand(false);
    std::ofstream(log.path, std::ios::binary | std::ios::app) << "line 401\n";
    if (large) {
      ASSERT_TRUE(e.finishCount());
    }
    EXPECT_FALSE(e.followFile());
    ASSERT_EQ(e.toggleFollow(), 1);
    EXPECT_FALSE(e.following);
  }
}

TEST(LargeFile, FollowingGoesOnThroughARotationAndACut) {
  for (const bool large : {false, true}) {
    OpenLog log;
    Editor& e = log.editor;
    if (!large) files::largeFileSize = uint64_t{1} << 40;
    load(e, log.path);
    if (large) {
      ASSERT_TRUE(e.finishCount());
    }
    ASSERT_EQ(e.toggleFollow(), 1);
    ASSERT_EQ(rename(log.path.c_str(), (log.path + ".1").c_str()), 0);
    EXPECT_FALSE(e.followFile());  // renamed away, the new one not begun yet
    writeFile(log.path, "new 1\n");
    ASSERT_TRUE(e.followFile());
    EXPECT_EQ(documentBytes(e), "new 1\n");
    EXPECT_EQ(std::string(e.pendingMessage.get()),
              log.path + " was replaced on disk: following the new file");
    while (e.source && !e.source->countDone()) std::this_thread::yield();
    std::ofstream(log.path, std::ios::binary | std::ios::trunc) << "x\n";  // the same file
    ASSERT_TRUE(e.followFile());
    EXPECT_EQ(documentBytes(e), "x\n");
    EXPECT_FALSE(e.modified);
  }
  // A large log cut short while its lines are still being counted.
  TempDir temp;
  const std::string path = temp.path("sparse");
  writeFile(path, "a\n");
  ASSERT_EQ(truncate(path.c_str(), 4ll << 30), 0);  // long to count, and takes no disk
  Editor e;
  load(e, path);
  ASSERT_TRUE(e.source && !e.source->countDone());
  ASSERT_EQ(e.toggleFollow(), 1);
  ASSERT_EQ(truncate(path.c_str(), 0), 0);
  writeFile(path, "y\n");
  while (!e.source->countFailed() && !e.source->countDone()) std::this_thread::yield();
  ASSERT_TRUE(e.followFile());
  EXPECT_EQ(documentBytes(e), "y\n");
}

TEST(LargeFile, UndoingAReplacementWithUnreadRunsBetweenItsLinesRestoresEachLine) {
  TempDir temp;
  const std::string path = temp.path("big.log");
  std::string bytes;
  for (int i = 0; i < 400; ++i)
    bytes += (i == 1 || i == 377 ? "mark " : "line ") + std::to_string(i) + "\n";
  writeFile(path, bytes);
  SmallPieces pieces{64, 100};
  Editor e;
  load(e, path);
  e.ensureWindow(0, 5);
  TestSession test;
  test.session.attach(e);
  SearchState& state = *e.searchState;
  char* what = copyOf("mark");
  state.setSearchStrings(what, what);
  ASSERT_EQ(e.goToPosition(2, 0), 1);
  ASSERT_EQ(e.searchAgain(), 1);  // reads the lines around 377; a run stays above them
  ASSERT_EQ(e.cursorLine, 377);
  ASSERT_EQ(e.goToPosition(0, 0), 1);
  state.setSearchStrings(copyOf("mark"), copyOf("MARK"));
  ASSERT_EQ(e.searchAgain(), 1);
  const std::vector<std::string> replaced = documentLines(e);
  EXPECT_EQ(replaced[1], "MARK 1\n");
  EXPECT_EQ(replaced[377], "MARK 377\n");
  ASSERT_EQ(e.undo(), 1);
  EXPECT_EQ(documentBytes(e), bytes);
  EXPECT_EQ(brokenInvariant(e), "");
}

// A large file of small pieces in UTF-8 mode, its first lines shown, the search text set.
struct Utf8Search {
  TestSession test;
  SessionEditor e{test};
  Utf8Search(const std::string& path, const std::string& text, bool fold = false) {
    test.console.hasModes = true;
    test.console.shownAs = console::DisplayMode::Utf8;
    e.setTextUnit(TextUnit::Character);
    load(e, path);
    e.ensureWindow(0, 5);
    e.searchState->options.ignoreCase = fold;
    char* what = copyOf(text);
    e.searchState->setSearchStrings(what, what);
  }
};

TEST(LargeFile, AHitInTextNotYetReadPutsTheCursorOnItsByteInUtf8Mode) {
  TempDir temp;
  const std::string path = temp.path("big.log");
  std::string bytes;
  for (int i = 0; i < 400; ++i)
    bytes += (i == 377 ? "\xE6\x97\xA5\xE6\x9C\xAC mark " : "line ") + std::to_string(i) + "\n";
  writeFile(path, bytes);
  SmallPieces pieces{64, 100};
  for (const bool fold : {false, true}) {  // the file's bytes as they are, or line by line
    Utf8Search search(path, "mark", fold);
    Editor& e = search.e;
    ASSERT_EQ(e.findNext(), 1);
    EXPECT_EQ(e.cursorLine, 377);
    EXPECT_EQ(e.cursorColumn, 5);  // two wide characters and a blank before it
    EXPECT_EQ(e.charsBefore.count(), 7u);
    EXPECT_EQ(brokenInvariant(e), "");
  }
}

// F7 in UTF-8 mode asks about a match of ill-formed text in a character of unread text, and
// replaces exactly its byte, as in a line held in memory.
TEST(LargeFile, ReplacingOneByOneInTextNotYetReadTakesAMatchInsideACharacter) {
  TempDir temp;
  const std::string path = temp.path("big.log");
  std::string bytes;
  for (int i = 0; i < 400; ++i)
    bytes += i == 377 ? "x\xC3\xA9y\n" : "row " + std::to_string(i) + "\n";
  writeFile(path, bytes);
  SmallPieces pieces{64, 100};
  Utf8Search search(path, "");
  Editor& e = search.e;
  e.waitProgress = nullptr;  // the answer typed ahead must not stop the search
  type(search.test.console, "\xA9\r-\ry");
  EXPECT_EQ(e.replaceEach(), 1);
  EXPECT_EQ(message(e), "Replaced 1 of 1");
  EXPECT_EQ(documentLines(e)[377], "x\xC3-y\n");
}

// The file's bytes scanned as they are find a text only where it is whole characters, as
// the search of a line does: never the e of an e with a combining accent.
TEST(LargeFile, AScanOfTextNotYetReadFindsOnlyWholeCharacters) {
  TempDir temp;
  const std::string path = temp.path("big.log");
  std::string bytes;
  for (int i = 0; i < 400; ++i) bytes += i == 300 ? "caf\x65\xCC\x81 and e\n" : "row x\n";
  writeFile(path, bytes);
  SmallPieces pieces{64, 100};
  Utf8Search search(path, "e");
  Editor& e = search.e;
  for (const bool forward : {true, false}) {
    ASSERT_EQ(forward ? e.findNext() : e.findPrevious(), 1);
    EXPECT_EQ(e.cursorLine, 300);
    EXPECT_EQ(e.charsBefore.count(), 11u);  // the lone e, not the accented one
    e.goToPosition(forward ? 399 : 0, 0);
  }
}

TEST(LargeFile, RedoingALineDeletionReadsTheLinesBelowFoldedBackSince) {
  OpenLog log;
  Editor& e = log.editor;
  runPieceSize = 1;  // one line read at a time
  ASSERT_TRUE(e.finishCount());
  ASSERT_EQ(e.goToPosition(200, 0), 1);
  ASSERT_EQ(e.deleteLine(), 1);
  e.afterCommand(false);
  ASSERT_EQ(e.undo(), 1);
  e.afterCommand(false);
  ASSERT_EQ(e.moveDocumentStart(), 1);
  foldKeepRecords = 0;  // every line not shown becomes a run again, line 201 among them
  e.bytesReadSinceFold = foldAfterBytes = 1;
  e.afterCommand(false);
  ASSERT_EQ(e.redo(), 1);
  e.afterCommand(false);
  std::string rest = log.bytes;
  rest.erase(rest.find("line 200\n"), 9);
  EXPECT_EQ(documentBytes(e), rest);
  EXPECT_EQ(e.cursorLine, 200);
  EXPECT_EQ(e.lineCount, 400);
  EXPECT_EQ(brokenInvariant(e), "");
}

// The count runs on a thread of its own that takes none of the console's signals: their
// handlers run on the editor's thread only, never two at once.
TEST(LargeFile, TheCountingThreadTakesNoSignalOfTheConsole) {
  TempDir temp;
  const std::string path = temp.path("sparse");
  writeFile(path, "");
  ASSERT_EQ(truncate(path.c_str(), 4ll << 30), 0);  // long to count, and takes no disk
  auto file = std::make_unique<platform::InputFile>();
  std::string reason;
  ASSERT_EQ(file->open(path.c_str(), reason), platform::OpenResult::Opened) << reason;
  const uint64_t size = file->size();
  std::vector<std::string> masks;
  {
    FileSource source(std::move(file), size, false);
    while (source.countedBytes() == 0) std::this_thread::yield();  // the thread is at work
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
      if (task.path().filename() == std::to_string(getpid())) continue;
      std::ifstream status(task.path() / "status");
      for (std::string line; std::getline(status, line);)
        if (line.rfind("SigBlk:", 0) == 0) masks.push_back(line.substr(7));
    }
  }
  ASSERT_FALSE(masks.empty());  // the count was still running
  for (const std::string& mask : masks) {
    const unsigned long long bits = std::stoull(mask, nullptr, 16);
    for (int sig : {SIGTSTP, SIGCONT, SIGWINCH, SIGHUP, SIGTERM})
      EXPECT_TRUE(bits & (1ull << (sig - 1))) << "signal " << sig << " in " << mask;
  }
}
