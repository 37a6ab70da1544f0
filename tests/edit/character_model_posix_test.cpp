// Random lines of valid and invalid UTF-8 and random keys in UTF-8 mode, checked after every
// key against a plain model: one line of bytes, the cursor as a byte offset, and
// character boundaries read straight from libutf8proc from the line's start. The cursor always
// stands on a boundary, no command that moves or removes characters splits one, and the bytes equal
// the model's.
#include <gtest/gtest.h>
#include <utf8proc.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "core/editor.h"
#include "edit/exact_document.h"
#include "input/key_map.h"
#include "platform/key_codes.h"
#include "scenarios/scenario.h"
#include "support/document.h"
#include "support/test_seed.h"
#include "support/test_session.h"

namespace {

// Every boundary of the line, 0 and its length included.
std::vector<size_t> boundaries(const std::string& text) {
  std::vector<size_t> result{0};
  const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
  utf8proc_int32_t previous = -1, state = 0;
  for (size_t p = 0; p < text.size();) {
    utf8proc_int32_t cp = -1;
    utf8proc_ssize_t n =
        utf8proc_iterate(bytes + p, static_cast<utf8proc_ssize_t>(text.size() - p), &cp);
    if (n <= 0) n = 1, cp = -1;  // a byte of no well-formed sequence: a character of its own
    if (p > 0 && (cp < 0 || previous < 0 || utf8proc_grapheme_break_stateful(previous, cp, &state)))
      result.push_back(p);
    if (cp < 0) state = 0;
    previous = cp;
    p += static_cast<size_t>(n);
  }
  if (!text.empty()) result.push_back(text.size());
  return result;
}

struct Model {
  std::string text;
  size_t cursor = 0;
  size_t mark = 0;

  // The character before p read in the text up to p, and the one at p read from p on: the
  // same as in the whole text where p is a boundary, and still defined where typing left the
  // cursor inside a character.
  size_t before(size_t p) const {
    const std::vector<size_t> b = boundaries(text.substr(0, p));
    return b.size() < 2 ? 0 : b[b.size() - 2];
  }
  size_t after(size_t p) const {
    const std::vector<size_t> b = boundaries(text.substr(p));
    return b.size() < 2 ? text.size() : p + b[1];
  }
  size_t startOf(size_t p) const {
    size_t b = 0;
    for (size_t q : boundaries(text))
      if (q <= p) b = q;
    return b;
  }
  void erase(size_t from, size_t to) {
    text.erase(from, to - from);
    cursor = from;
  }
};

const char* const kPieces[] = {
    "a",
    "b",
    " ",
    "\t",
    ".",
    "\xc3\xa9",
    "\xe6\x97\xa5",
    "e\xcc\x81",
    "\xcc\x81",
    "\xf0\x9f\x87\xab",
    "\xf0\x9f\x87\xb7",
    "\xf0\x9f\x91\x8d\xf0\x9f\x8f\xbb",
    "\xe2\x80\x8d",
    "\xff",
    "\xe2\x82",
    "\xc3",
    "\xa9",
    "\xed\xa0\x80",
    "\xe1\x84\x80\xe1\x85\xa1",
    "\xd8\x80",      // a prepended mark
    "\xe0\xa4\x83",  // a spacing mark
};

enum Key { Left, Right, Home, End, Backspace, Delete, Transpose, SelectLeftAndDelete, Count };

}  // namespace

TEST(CharacterModel, RandomKeysInUtf8KeepCharactersWhole) {
  const unsigned seed = testSeed();
  std::mt19937 random(seed);
  for (int round = 0; round < 300; ++round) {
    TestSession t;
    SessionEditor editor{t};
    editor.setTextUnit(TextUnit::Character);
    Model model;
    const int pieces = static_cast<int>(random() % 12);
    for (int i = 0; i < pieces; ++i) model.text += kPieces[random() % std::size(kPieces)];
    loadExactDocument(editor, model.text);
    for (int step = 0; step < 30; ++step) {
      const int key = static_cast<int>(random() % Key::Count);
      const std::string context = "SLATE_SEED=" + std::to_string(seed) + " round " +
                                  std::to_string(round) + " step " + std::to_string(step) +
                                  " key " + std::to_string(key);
      const size_t end = model.text.size();
      switch (key) {
        case Left:
          dispatchKey(editor, vk::Left, 0, false);
          model.cursor = model.before(model.cursor);
          break;
        case Right:
          dispatchKey(editor, vk::Right, 0, false);
          if (model.cursor < end) model.cursor = model.after(model.cursor);
          break;
        case Home:
          dispatchKey(editor, vk::Home, 0, false);
          model.cursor = 0;
          break;
        case End:
          dispatchKey(editor, vk::End, 0, false);
          model.cursor = end;
          break;
        case Backspace:
          dispatchKey(editor, vk::Back, 8, false);
          if (model.cursor > 0) model.erase(model.before(model.cursor), model.cursor);
          break;
        case Delete:
          dispatchKey(editor, vk::Delete, 0, false);
          if (model.cursor < end) {
            const size_t at = model.cursor;
            model.erase(at, model.after(at));
          }
          break;
        case Transpose: {
          dispatchKey(editor, KeyCtrl | 'T', 0x14, false);
          if (model.cursor == 0) break;
          const bool atEnd = model.cursor == end;
          const size_t middle = atEnd ? model.before(end) : model.cursor;
          if (middle == 0) break;  // one character only
          const size_t first = model.before(middle);
          const size_t last = atEnd ? end : model.after(middle);
          const std::string x = model.text.substr(first, middle - first);
          const std::string y = model.text.substr(middle, last - middle);
          model.text.replace(first, last - first, y + x);
          model.cursor = first + y.size();
          if (atEnd) model.cursor = end;  // back at the end, where it was
          break;
        }
        case SelectLeftAndDelete: {
          const int n = 1 + static_cast<int>(random() % 3);
          for (int i = 0; i < n; ++i) dispatchKey(editor, KeyShift | vk::Left, 0, true);
          dispatchKey(editor, vk::Delete, 0, false);
          size_t from = model.cursor;
          for (int i = 0; i < n; ++i) from = model.before(from);
          if (from < model.cursor)
            model.erase(from, model.cursor);
          else if (model.cursor < end)  // nothing selected: Del takes the character at the cursor
            model.erase(model.cursor, model.after(model.cursor));
          break;
        }
      }
      model.cursor = model.startOf(model.cursor);  // a command never leaves it inside one
      ASSERT_EQ(documentBytes(editor), model.text) << context;
      ASSERT_EQ(editor.charsBefore.count(), model.cursor)
          << context << " in " << scenario::quote(model.text);
      ASSERT_EQ(brokenInvariant(editor), "") << context;
    }
  }
}

// End moves a long line's cells a piece at a time and counts each piece as it arrives: the
// column and the tabs' spans come out as counted in one go, wherever the pieces end, and the
// bytes keep their order both ways (the cells cross in blocks, the few left one by one).
TEST(CharacterModel, EndInALongLineCountsItInPieces) {
  const unsigned seed = testSeed();
  std::mt19937 random(seed);
  for (int round = 0; round < 3; ++round) {
    TestSession t;
    SessionEditor editor{t};
    editor.setTextUnit(TextUnit::Character);
    std::string text;
    while (text.size() < 300000) text += kPieces[random() % std::size(kPieces)];
    loadExactDocument(editor, text);
    editor.goToPosition(0, static_cast<int32_t>(random() % 100000));
    dispatchKey(editor, vk::End, 0, false);
    const std::string context =
        "SLATE_SEED=" + std::to_string(seed) + " round " + std::to_string(round);
    ASSERT_EQ(editor.charsBefore.count(), text.size()) << context;
    ASSERT_EQ(brokenInvariant(editor), "") << context;
    ASSERT_EQ(documentBytes(editor), text) << context;  // the cells crossed in order
    dispatchKey(editor, vk::Home, 0, false);
    ASSERT_EQ(editor.charsBefore.count(), 0u) << context;
    ASSERT_EQ(brokenInvariant(editor), "") << context;
    ASSERT_EQ(documentBytes(editor), text) << context;
  }
}
