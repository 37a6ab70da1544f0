// Replacements through a loaded document rebuild lines into arena blocks, filling again the
// load blocks whose lines have all been rebuilt. The document must come out exactly as
// string replacement gives it, however the blocks are reused.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/editor.h"
#include "edit/exact_document.h"
#include "files/file_support_posix.h"
#include "files/load_save.h"
#include "search/search_state.h"
#include "support/document.h"
#include "support/test_session.h"

namespace {

struct BlockSize {
  explicit BlockSize(size_t bytes) { files::loadBlockSize = bytes; }
  ~BlockSize() { files::loadBlockSize = saved; }
  size_t saved = files::loadBlockSize;
};

void loadFile(Editor& editor, const filetest::TempDir& dir, const std::string& bytes) {
  filetest::writeFile(dir.path("doc"), bytes);
  setFileName(editor, dir.path("doc").c_str());
  ASSERT_EQ(editor.loadDocument(), 1);
}

// The document's lines, each as its text and its terminator. The text of these documents
// never holds CR or LF, so a line's terminator is the CR and LF bytes it ends in.
std::vector<SplitLine> linesOf(const Editor& editor) {
  std::vector<SplitLine> lines;
  for (const std::string& line : documentLines(editor)) {
    const size_t text = line.find_first_of("\r\n");
    lines.push_back({line.substr(0, text), text == std::string::npos ? "" : line.substr(text)});
  }
  return lines;
}

// Every occurrence from line `line`, byte `offset` on, replaced as the search step does it:
// left to right, each search resuming behind the inserted text.
void replaceFrom(std::vector<SplitLine>& lines, size_t line, size_t offset,
                 const std::string& needle, const std::string& by) {
  for (size_t i = line; i < lines.size(); ++i) {
    std::string& text = lines[i].text;
    for (size_t q = i == line ? offset : 0; (q = text.find(needle, q)) != std::string::npos;
         q += by.size())
      text.replace(q, needle.size(), by);
  }
}

std::string bytesOf(const std::vector<SplitLine>& lines) {
  std::string bytes;
  for (const SplitLine& line : lines) bytes += line.text + line.ending;
  return bytes;
}

size_t offsetInLine(const Editor& editor) {
  return editor.charsBefore.count();
}

TEST(ArenaRecycling, ReplacementsThroughManySmallBlocksMatchStringReplace) {
  TestSession ts;
  filetest::TempDir dir;
  std::mt19937 rng(11);
  const char* endings[] = {"\n", "\r\n", "\r", "\n\r"};
  for (int doc = 0; doc < 12; ++doc) {
    BlockSize blocks(64 + rng() % 2000);
    std::string bytes;
    // Up to a few times the first block that rebuilt lines go to, so that blocks get reused.
    const int lineCount = 1 + static_cast<int>(rng() % 8000);
    for (int i = 0; i < lineCount; ++i) {
      const size_t length = rng() % 10 == 0 ? 100 + rng() % 300 : rng() % 30;
      for (size_t k = 0; k < length; ++k) bytes += "ab\tc"[rng() % 4];
      bytes += endings[rng() % 4];
    }
    SessionEditor editor{ts};
    loadFile(editor, dir, bytes);
    std::vector<SplitLine> model = linesOf(editor);
    for (int round = 0; round < 12; ++round) {
      const int32_t line = static_cast<int32_t>(rng() % editor.lineCount);
      editor.goToPosition(line, static_cast<int32_t>(rng() % 5));
      const size_t offset = offsetInLine(editor);
      std::string needle, by;
      for (size_t k = 1 + rng() % 3; k > 0; --k) needle += "ab"[rng() % 2];
      for (size_t k = rng() % 5; k > 0; --k) by += "xyz"[rng() % 3];
      ts.session.searchState.setSearchStrings(copyOf(needle), copyOf(by));
      editor.searchAgain();
      replaceFrom(model, static_cast<size_t>(line), offset, needle, by);
      ASSERT_EQ(documentBytes(editor), bytesOf(model))
          << "document " << doc << " round " << round << ": '" << needle << "' by '" << by
          << "' from line " << line;
      ASSERT_EQ(brokenInvariant(editor), "");
      editor.changed = 0;
    }
  }
}

// A replacement through every line of a loaded document keeps the load blocks while its
// undo step holds the old lines, so undoing it gives back exactly the loaded text; once the
// history lets the step go, the load blocks are given back.
TEST(ArenaRecycling, WholeDocumentReplacementKeepsLoadBlocksUntilTheHistoryLetsGo) {
  TestSession ts;
  filetest::TempDir dir;
  BlockSize blocks(4096);
  std::string bytes;
  for (int i = 0; i < 20000; ++i) bytes += "line " + std::to_string(i) + " holds one QXZ\n";
  SessionEditor editor{ts};
  loadFile(editor, dir, bytes);
  std::set<const char*> loadBlocks;
  size_t loadedBytes = 0;
  for (const ArenaBlock& block : editor.textArena) {
    loadBlocks.insert(block.get());
    loadedBytes += block.capacity;
  }
  ASSERT_GT(loadBlocks.size(), 50u);

  ts.session.searchState.setSearchStrings(copyOf("QXZ"), copyOf("QXZW"));
  EXPECT_EQ(editor.searchAgain(), 1);
  editor.afterCommand(false);
  std::vector<SplitLine> expected = splitDocument(bytes);
  replaceFrom(expected, 0, 0, "QXZ", "QXZW");
  EXPECT_EQ(documentBytes(editor), bytesOf(expected));
  EXPECT_EQ(brokenInvariant(editor), "");

  size_t kept = 0;
  for (const ArenaBlock& block : editor.textArena) kept += loadBlocks.count(block.get());
  EXPECT_EQ(kept, loadBlocks.size());
  ASSERT_EQ(editor.undo(), 1);
  editor.afterCommand(false);
  EXPECT_EQ(documentBytes(editor), bytes + "");
  ASSERT_EQ(editor.redo(), 1);
  editor.afterCommand(false);
  EXPECT_EQ(documentBytes(editor), bytesOf(expected));

  editor.undoHistory.clear();
  editor.releaseUnusedArena();
  size_t reused = 0, heldBytes = 0;
  for (const ArenaBlock& block : editor.textArena) {
    reused += loadBlocks.count(block.get());
    heldBytes += block.capacity;
  }
  EXPECT_LE(reused, 1u);  // the empty last line points at the end of the last load block
  // The new text, and the room left in the last of the blocks it went to (each twice the one
  // before).
  EXPECT_LT(heldBytes, bytesOf(expected).size() * 2);
  EXPECT_EQ(documentBytes(editor), bytesOf(expected));
}

}  // namespace
