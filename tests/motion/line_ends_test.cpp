// Home and End move the cursor line's cells across in bulk; the result must be exactly that
// of repeating Left or Right, tab spans and terminator cells included.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/editor.h"
#include "edit/exact_document.h"
#include "support/document.h"

namespace {

struct CursorLine {
  int32_t column;
  std::vector<CharCell> before;
  std::vector<CharCell> after;
};

CursorLine cursorLineOf(const Editor& editor) {
  const CharCell* b = editor.charsBefore.data();
  const CharCell* a = editor.charsAfter.data();
  return {editor.cursorColumn, std::vector<CharCell>(b, b + editor.charsBefore.count()),
          std::vector<CharCell>(a, a + editor.charsAfter.count())};
}

void expectSame(const CursorLine& x, const CursorLine& y, const std::string& where) {
  EXPECT_EQ(x.column, y.column) << where;
  ASSERT_EQ(x.before.size(), y.before.size()) << where;
  ASSERT_EQ(x.after.size(), y.after.size()) << where;
  for (size_t i = 0; i < x.before.size(); ++i) {
    EXPECT_EQ(x.before[i].ch, y.before[i].ch) << where << " before " << i;
    EXPECT_EQ(x.before[i].span, y.before[i].span) << where << " before " << i;
  }
  for (size_t i = 0; i < x.after.size(); ++i) {
    EXPECT_EQ(x.after[i].ch, y.after[i].ch) << where << " after " << i;
    EXPECT_EQ(x.after[i].span, y.after[i].span) << where << " after " << i;
  }
}

TEST(LineEnds, BulkMovesEqualSingleStepsFromEveryColumn) {
  const std::vector<std::string> documents = {"ab\tc\td\r\nnext", "\t\t\tx",   "plain", "", "x\n",
                                              "tab at end\t\n\r", "a\tb\tc\rz"};
  for (const std::string& doc : documents) {
    Editor single, bulk;
    loadExactDocument(single, doc);
    const int32_t width = [&] {
      Editor probe;
      loadExactDocument(probe, doc);
      while (probe.moveRight()) {
      }
      return probe.cursorColumn;
    }();
    for (int32_t start = 0; start <= width; ++start) {
      const std::string where = "\"" + doc + "\" from column " + std::to_string(start);
      loadExactDocument(single, doc);
      loadExactDocument(bulk, doc);
      single.goToPosition(0, start);
      bulk.goToPosition(0, start);
      while (single.moveRight()) {
      }
      EXPECT_EQ(bulk.moveLineEnd(), 1);
      expectSame(cursorLineOf(bulk), cursorLineOf(single), where + ", End");
      EXPECT_EQ(brokenInvariant(bulk), "") << where;

      single.goToPosition(0, start);
      bulk.goToPosition(0, start);
      while (single.moveLeft()) {
      }
      EXPECT_EQ(bulk.moveLineStart(), 1);
      expectSame(cursorLineOf(bulk), cursorLineOf(single), where + ", Home");
      EXPECT_EQ(brokenInvariant(bulk), "") << where;
      EXPECT_EQ(documentBytes(bulk), doc) << where;
    }
  }
}

// A line of several slices: the cells cross in pieces and the source gives its memory back.
TEST(LineEnds, LongLineCrossesWholeAndKeepsItsBytes) {
  std::string text;
  for (int i = 0; text.size() < 3'000'000; ++i) text += (i % 5 == 0) ? "\tword" : "bytes ";
  const std::string doc = text + "\r\nsecond";
  Editor editor;
  loadExactDocument(editor, doc);
  editor.goToPosition(0, 13);
  const int32_t startColumn = editor.cursorColumn;
  const size_t startBefore = editor.charsBefore.count();

  editor.moveLineEnd();
  Editor probe;
  loadExactDocument(probe, doc);
  probe.goToPosition(0, INT32_MAX);  // unpacking at the largest goal lands on the text's end
  EXPECT_GT(editor.cursorColumn, startColumn);
  EXPECT_EQ(editor.cursorColumn, probe.cursorColumn);
  EXPECT_EQ(editor.charsBefore.count(), text.size());
  EXPECT_EQ(editor.charsAfter.count(), 2u);  // the CR LF cells alone
  EXPECT_LT(editor.charsAfter.capacity(), text.size() / 2);
  EXPECT_EQ(brokenInvariant(editor), "");
  EXPECT_EQ(documentBytes(editor), doc);

  editor.moveLineStart();
  EXPECT_EQ(editor.cursorColumn, 0);
  EXPECT_EQ(editor.charsBefore.count(), 0u);
  EXPECT_LT(editor.charsBefore.capacity(), text.size() / 2);
  EXPECT_EQ(brokenInvariant(editor), "");
  EXPECT_EQ(documentBytes(editor), doc);
  EXPECT_GT(startBefore, 0u);
}

// From the start of a long line the whole line crosses at once: the cells must come out as
// unpacking at the line's end lays them out, whatever the terminator, with a tab in the
// middle cell of an odd number of cells among them.
TEST(LineEnds, WholeLongLineCrossesLikeUnpackingAtItsEnd) {
  for (const std::string ending : {"", "\n", "\r\n"}) {
    for (bool tabInMiddle : {false, true}) {
      const size_t cells = (size_t{1} << 20) + 1 + 200;  // odd with no terminator or CR LF
      std::string text(cells - ending.size(), 'x');
      for (size_t i = 5; i < text.size(); i += 1000) text[i] = 'y';
      if (tabInMiddle) text[(cells - 1) / 2] = '\t';
      const std::string doc = text + ending + (ending.empty() ? "" : "last");
      const std::string where = "ending " + std::to_string(ending.size()) +
                                (tabInMiddle ? " with a tab" : " without tabs");
      Editor bulk, probe;
      loadExactDocument(bulk, doc);
      loadExactDocument(probe, doc);
      ASSERT_EQ(bulk.charsBefore.count(), 0u);
      EXPECT_EQ(bulk.moveLineEnd(), 1);
      probe.goToPosition(0, INT32_MAX);
      expectSame(cursorLineOf(bulk), cursorLineOf(probe), where);
      EXPECT_EQ(brokenInvariant(bulk), "") << where;
      EXPECT_EQ(documentBytes(bulk), doc) << where;
    }
  }
}

}  // namespace
