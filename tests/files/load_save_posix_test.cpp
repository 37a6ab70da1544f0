#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <fstream>
#include <random>
#include <sstream>

#include "core/editor.h"
#include "files/file_support_posix.h"
#include "files/load_save.h"
#include "support/document.h"

using filetest::readFile;
using filetest::TempDir;
using filetest::writeDocumentTo;
using filetest::writeFile;

namespace {

// Sets the load block and write buffer sizes for one test and puts them back afterwards.
struct Sizes {
  Sizes(size_t block, size_t buffer) {
    files::loadBlockSize = block;
    files::writeBufferSize = buffer;
  }
  ~Sizes() {
    files::loadBlockSize = savedBlock;
    files::writeBufferSize = savedBuffer;
  }
  size_t savedBlock = files::loadBlockSize;
  size_t savedBuffer = files::writeBufferSize;
};

void load(Editor& editor, const std::string& path) {
  setFileName(editor, path.c_str());
  editor.loadDocument();
}

// The lines a load must produce, from the reference splitter of the test support.
std::vector<std::string> expectedLines(const std::string& bytes) {
  Editor reference;
  setDocument(reference, bytes);
  return documentLines(reference);
}

bool endsInTerminator(const std::string& bytes) {
  return bytes.empty() || bytes.back() == '\n' || bytes.back() == '\r';
}

struct LoadCase {
  std::string bytes;
  std::vector<std::string> lines;
  int32_t lineEnding;
  std::string saved;
};

TEST(LoadSave, EveryTerminatorLoadsAndSavesByteForByte) {
  const std::string nulHigh("a\0b\x80\xff\t\r\n\0\n", 10);
  const std::vector<LoadCase> cases = {
      {"xyz", {"xyz\n", ""}, 0, "xyz\n"},
      {"x\r\ny\nz", {"x\r\n", "y\n", "z\n", ""}, 1, "x\r\ny\nz\n"},
      {"x\n\ry", {"x\n\r", "y\n", ""}, 3, "x\n\ry\n"},
      {"x\n\r\ny", {"x\n\r", "\n", "y\n", ""}, 3, "x\n\r\ny\n"},
      {"", {""}, 0, ""},
      {"\n", {"\n", ""}, 0, "\n"},
      {"\r", {"\r", ""}, 2, "\r"},
      {"\r\n", {"\r\n", ""}, 1, "\r\n"},
      {"\n\r", {"\n\r", ""}, 3, "\n\r"},
      {"a\rb\r", {"a\r", "b\r", ""}, 2, "a\rb\r"},
      {"a\r\r\nb\n\n\rc\r", {"a\r", "\r\n", "b\n", "\n\r", "c\r", ""}, 2, "a\r\r\nb\n\n\rc\r"},
      {nulHigh, {std::string("a\0b\x80\xff\t\r\n", 8), std::string("\0\n", 2), ""}, 1, nulHigh},
  };
  TempDir temp(filetest::fastTempBase());
  for (size_t block : {size_t{1}, size_t{2}, size_t{3}, size_t{5}, size_t{4} << 20}) {
    Sizes sizes(block, block);
    for (const LoadCase& c : cases) {
      SCOPED_TRACE("block " + std::to_string(block) + ", file of " +
                   std::to_string(c.bytes.size()) + " bytes");
      writeFile(temp.path("in"), c.bytes);
      Editor editor;
      load(editor, temp.path("in"));
      EXPECT_EQ(documentLines(editor), c.lines);
      EXPECT_EQ(editor.lineEnding, c.lineEnding);
      EXPECT_EQ(editor.lineCount, static_cast<int32_t>(c.lines.size()));
      EXPECT_EQ(editor.cursorLine, 0);
      EXPECT_EQ(editor.cursorColumn, 0);
      EXPECT_EQ(editor.modified, 0);
      EXPECT_EQ(brokenInvariant(editor), "");
      EXPECT_EQ(editor.pendingMessage, nullptr);
      ASSERT_TRUE(writeDocumentTo(editor, temp.path("out")));
      EXPECT_EQ(readFile(temp.path("out")), c.saved);
    }
  }
}

TEST(LoadSave, LoadedLinesLieInTheArenaAndEditsStillWork) {
  TempDir temp;
  writeFile(temp.path("in"), "one\ntwo\r\nthree");
  Editor editor;
  load(editor, temp.path("in"));
  ASSERT_EQ(editor.linesBelow.count(), 3u);
  for (size_t i = 0; i < editor.linesBelow.count(); ++i)
    EXPECT_EQ(editor.linesBelow.data()[i].ownsText, 0);
  EXPECT_FALSE(editor.textArena.empty());

  editor.goToPosition(1, 1);
  editor.insertChar('X');
  editor.goToPosition(2, 0);
  editor.goToPosition(0, 0);
  EXPECT_EQ(documentBytes(editor), "one\ntXwo\r\nthree\n");
  EXPECT_EQ(brokenInvariant(editor), "");
}

// Every way a block can end: inside text, between CR and LF, between LF and CR, after a
// lone terminator, and inside lines longer than a block.
TEST(LoadSave, BlockBoundariesFallAnywhere) {
  const std::string text = "ab\r\ncd\n\ref\rgh\n\n\r\r\nlong line longer than any small block\r\n" +
                           std::string(100, 'z') + "\n\rtail\r";
  TempDir temp(filetest::fastTempBase());
  writeFile(temp.path("in"), text);
  const std::vector<std::string> expected = expectedLines(text);
  for (size_t block = 1; block <= 48; ++block) {
    Sizes sizes(block, 7);
    Editor editor;
    load(editor, temp.path("in"));
    ASSERT_EQ(documentLines(editor), expected) << "block " << block;
    ASSERT_TRUE(writeDocumentTo(editor, temp.path("out")));
    ASSERT_EQ(readFile(temp.path("out")), text) << "block " << block;
  }
}

// /proc files call themselves empty but are not: the load must read to the real end.
TEST(LoadSave, FileLongerThanItsSizeIsReadToTheEnd) {
  std::ifstream in("/proc/self/mountinfo", std::ios::binary);
  if (!in) GTEST_SKIP() << "no /proc here";
  for (size_t block : {size_t{3}, size_t{64}, size_t{4} << 20}) {
    Sizes sizes(block, 4096);
    Editor editor;
    load(editor, "/proc/self/mountinfo");
    std::ostringstream bytes;
    bytes << std::ifstream("/proc/self/mountinfo", std::ios::binary).rdbuf();
    EXPECT_FALSE(bytes.str().empty());
    EXPECT_EQ(documentLines(editor), expectedLines(bytes.str())) << "block " << block;
  }
}

TEST(LoadSave, RandomFilesRoundTrip) {
  TempDir temp(filetest::fastTempBase());  // thousands of saves, each synced to disk
  std::mt19937 random(20240611);
  const std::string textBytes("ab \t\0\x7f\x80\xff", 8);
  const char* endings[] = {"\n", "\r\n", "\r", "\n\r"};
  for (int round = 0; round < 3000; ++round) {
    std::string bytes;
    const int lines = static_cast<int>(random() % 12);
    for (int l = 0; l < lines; ++l) {
      const int length = static_cast<int>(random() % (random() % 8 == 0 ? 200 : 12));
      for (int i = 0; i < length; ++i) bytes.push_back(textBytes[random() % textBytes.size()]);
      if (l + 1 < lines || random() % 2) bytes += endings[random() % 4];
    }
    const size_t block = random() % 4 == 0 ? size_t{4} << 20 : 1 + random() % 16;
    Sizes sizes(block, 1 + random() % 32);
    writeFile(temp.path("in"), bytes);
    Editor editor;
    load(editor, temp.path("in"));
    ASSERT_EQ(documentLines(editor), expectedLines(bytes)) << "round " << round;
    ASSERT_TRUE(writeDocumentTo(editor, temp.path("out")));
    const std::string saved = readFile(temp.path("out"));
    if (endsInTerminator(bytes))
      ASSERT_EQ(saved, bytes) << "round " << round;
    else
      ASSERT_EQ(saved, bytes + "\n") << "round " << round;
  }
  EXPECT_EQ(temp.names(), (std::vector<std::string>{"in", "out"}));
}

TEST(LoadSave, WriteKeepsCursorTextAndFlags) {
  TempDir temp;
  writeFile(temp.path("doc"), "first\n\tsecond\r\nthird\n");
  Editor editor;
  load(editor, temp.path("doc"));
  editor.goToPosition(1, 9);  // after the tab and one letter
  editor.insertChar('!');
  editor.afterCommand(false);
  const int32_t line = editor.cursorLine;
  const int32_t column = editor.cursorColumn;
  const std::string before = documentBytes(editor);
  editor.changed = 1;

  ASSERT_TRUE(writeDocumentTo(editor, temp.path("copy")));
  EXPECT_EQ(readFile(temp.path("copy")), "first\n\ts!econd\r\nthird\n");
  EXPECT_EQ(editor.cursorLine, line);
  EXPECT_EQ(editor.cursorColumn, column);
  EXPECT_EQ(documentBytes(editor), before);
  // What a written file means for the flags is for the caller to say.
  EXPECT_EQ(editor.changed, 1);
  EXPECT_EQ(editor.autosavePending, 1);
  EXPECT_EQ(editor.modified, 1);
  EXPECT_EQ(brokenInvariant(editor), "");

  editor.autosavePending = 1;
  ASSERT_EQ(editor.save(), 1);
  EXPECT_EQ(editor.modified, 0);
  EXPECT_EQ(editor.autosavePending, 0);
  EXPECT_EQ(readFile(temp.path("doc")), "first\n\ts!econd\r\nthird\n");
}

TEST(LoadSave, MissingFileGivesAnEmptyNamedDocumentThatSaveCreates) {
  TempDir temp;
  Editor editor;
  load(editor, temp.path("new.txt"));
  EXPECT_STREQ(editor.fileName.get(), temp.path("new.txt").c_str());
  EXPECT_EQ(editor.lineCount, 1);
  EXPECT_EQ(editor.pendingMessage, nullptr);
  EXPECT_FALSE(filetest::exists(temp.path("new.txt")));
  ASSERT_EQ(editor.save(), 1);
  EXPECT_EQ(readFile(temp.path("new.txt")), "");
  EXPECT_EQ(temp.names(), (std::vector<std::string>{"new.txt"}));
}

// A failed read leaves the document it was given alone.
TEST(LoadSave, UnreadableNamesKeepTheDocumentAndSayWhy) {
  TempDir temp;
  mkdir(temp.path("folder").c_str(), 0755);
  mkfifo(temp.path("pipe").c_str(), 0644);
  for (const char* name : {"folder", "pipe"}) {
    Editor editor;
    setDocument(editor, "kept\n");
    setFileName(editor, temp.path(name).c_str());
    EXPECT_EQ(editor.loadDocument(), 0);  // a FIFO without a writer must not block here
    EXPECT_EQ(documentBytes(editor), "kept\n");
    EXPECT_STREQ(editor.fileName.get(), temp.path(name).c_str());
    ASSERT_NE(editor.pendingMessage, nullptr);
    const std::string reason =
        std::string(name) == "folder" ? "Is a directory" : "Not a regular file";
    EXPECT_EQ(std::string(editor.pendingMessage.get()),
              "Cannot read " + temp.path(name) + ": " + reason);
  }
}

TEST(LoadSave, EmptyAndLongLinesPackAndWalk) {
  TempDir temp;
  std::string longLine(300000, 'q');
  writeFile(temp.path("in"), "\n\n" + longLine + "\r\n\n");
  Sizes sizes(4096, 4096);
  Editor editor;
  load(editor, temp.path("in"));
  EXPECT_EQ(editor.lineCount, 5);
  EXPECT_TRUE(editor.goToPosition(2, INT_MAX));
  EXPECT_EQ(editor.cursorColumn, 300000);
  EXPECT_TRUE(editor.goToPosition(4, 0));
  EXPECT_TRUE(editor.goToPosition(0, 0));
  ASSERT_TRUE(writeDocumentTo(editor, temp.path("out")));
  EXPECT_EQ(readFile(temp.path("out")), "\n\n" + longLine + "\r\n\n");
}

// A line longer than a block is carried whole into one block; the blocks it passed through
// are given back, so it is not held twice.
TEST(LoadSave, LongLineIsHeldOnce) {
  TempDir temp(filetest::fastTempBase());
  const std::string text = std::string(1000, 'z') + "\r\nshort\n";
  writeFile(temp.path("in"), text);
  Sizes sizes(8, 8);
  Editor editor;
  load(editor, temp.path("in"));
  EXPECT_EQ(editor.textArena.size(), 1u);
  EXPECT_EQ(documentLines(editor), expectedLines(text));
}

// Files of many megabytes go through the large, page-aligned blocks.
TEST(LoadSave, LargeFileRoundTrips) {
  TempDir temp(filetest::fastTempBase());
  std::string text;
  const char* endings[] = {"\n", "\r\n", "\r", "\n\r"};
  for (int i = 0; text.size() < (size_t{12} << 20); ++i) {
    text += "line " + std::to_string(i) + std::string(static_cast<size_t>(i % 97), '.');
    text += endings[i % 4 == 3 && i % 7 ? 0 : i % 4];
  }
  text += std::string(size_t{10} << 20, 'L');  // a last line longer than a block, no terminator
  writeFile(temp.path("in"), text);
  Sizes sizes(size_t{9} << 20, size_t{1} << 20);
  Editor editor;
  load(editor, temp.path("in"));
  EXPECT_LE(editor.textArena.size(), 3u);
  EXPECT_EQ(documentLines(editor), expectedLines(text));
  ASSERT_TRUE(writeDocumentTo(editor, temp.path("out")));
  EXPECT_TRUE(readFile(temp.path("out")) == text + "\n");
}

}  // namespace
