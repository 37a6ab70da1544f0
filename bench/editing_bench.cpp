// Typing into a huge line, stepping down through many lines, jumping to the end of a long
// document, and deleting a selection of a million lines.
#include <benchmark/benchmark.h>

#include <string>

#include "core/editor.h"
#include "input/key_map.h"
#include "platform/key_codes.h"
#include "support/test_session.h"

namespace {

// A document of `lines` lines, each `length` bytes of text and "\n" (the last one without),
// cursor at (0, 0).
void fillDocument(Editor& editor, int lines, int length) {
  editor.freeBuffer();
  editor.initBuffer();
  std::string text(static_cast<size_t>(length) + 1, 'x');
  text.back() = '\n';
  for (int i = 0; i + 1 < lines; ++i)
    editor.linesAbove.push(makeOwnedLine(text.data(), length, length + 1));
  editor.lineCount = lines;
  editor.cursorLine = lines - 1;
  editor.unpackLine(makeOwnedLine(text.data(), length, length), 0);
  editor.goToPosition(0, 0);
}

void TypeIntoMiddleOf10MBLine(benchmark::State& state) {
  constexpr int kLine = 10 << 20;
  Editor editor;
  fillDocument(editor, 1, kLine);
  editor.goToPosition(0, kLine / 2);
  for (auto _ : state) {
    for (int i = 0; i < 100000; ++i) dispatchKey(editor, 'A', 'a', false);
  }
  state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(TypeIntoMiddleOf10MBLine)->Unit(benchmark::kMillisecond);

// 10^5 typed bytes into an empty document, every `lineEvery`-th an Enter (0: never), then
// F9 until nothing is left: the time of the undos, and what the history held per typed byte.
void TypeThenUndo(benchmark::State& state) {
  const int lineEvery = static_cast<int>(state.range(0));
  constexpr int kKeys = 100000;
  double perByte = 0, steps = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Editor editor;
    for (int i = 1; i <= kKeys; ++i) {
      if (lineEvery != 0 && i % lineEvery == 0)
        dispatchKey(editor, vk::Return, '\r', false);
      else
        dispatchKey(editor, 'A', 'a', false);
    }
    perByte = static_cast<double>(editor.undoHistory.memory()) / kKeys;
    state.ResumeTiming();
    int undos = 0;
    for (; editor.undoHistory.canUndo(); ++undos) dispatchKey(editor, vk::F9, 0, false);
    state.PauseTiming();
    if (editor.lineCount != 1 || editor.cursorColumn != 0) state.SkipWithError("not undone");
    steps = undos;
    state.ResumeTiming();
  }
  state.counters["history_B_per_byte"] = perByte;
  state.counters["steps"] = steps;
}
BENCHMARK(TypeThenUndo)->Arg(0)->Arg(60)->Unit(benchmark::kMillisecond);

void DownThrough10kLinesOf100Bytes(benchmark::State& state) {
  Editor editor;
  fillDocument(editor, 10001, 100);
  for (auto _ : state) {
    state.PauseTiming();
    editor.goToPosition(0, 50);
    state.ResumeTiming();
    for (int i = 0; i < 10000; ++i) dispatchKey(editor, vk::Down, 0, false);
  }
  state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(DownThrough10kLinesOf100Bytes)->Unit(benchmark::kMillisecond);

void DocumentEndOfMillionLines(benchmark::State& state) {
  Editor editor;
  fillDocument(editor, 1000000, 20);
  for (auto _ : state) {
    state.PauseTiming();
    editor.moveDocumentStart();
    state.ResumeTiming();
    editor.moveDocumentEnd();
  }
}
BENCHMARK(DocumentEndOfMillionLines)->Unit(benchmark::kMillisecond);

// Arg 0: selected downwards (cursor at the end); 1: upwards (cursor at the start).
void DeleteSelectionOfMillionLines(benchmark::State& state) {
  Editor editor;
  for (auto _ : state) {
    state.PauseTiming();
    fillDocument(editor, 1000001, 20);
    if (state.range(0) == 0) {
      editor.goToPosition(1000000, 1);
      editor.markLine = 0;
      editor.markColumn = 2;
    } else {
      editor.goToPosition(0, 2);
      editor.markLine = 1000000;
      editor.markColumn = 1;
    }
    state.ResumeTiming();
    editor.deleteSelection();
    if (editor.lineCount != 1) state.SkipWithError("the selection was not deleted");
  }
}
BENCHMARK(DeleteSelectionOfMillionLines)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

void DeleteToEndOf20MBLine(benchmark::State& state) {
  Editor editor;
  for (auto _ : state) {
    state.PauseTiming();
    fillDocument(editor, 1, 20 << 20);
    state.ResumeTiming();
    editor.deleteToLineEnd();
  }
}
BENCHMARK(DeleteToEndOf20MBLine)->Unit(benchmark::kMillisecond)->Iterations(5);

// End from the start of a 20 MB line (with a tab every 64 bytes), then Home.
void EndAndHomeOf20MBLine(benchmark::State& state) {
  std::string text(20 << 20, 'x');
  for (size_t i = 0; i < text.size(); i += 64) text[i] = '\t';
  Editor editor;
  editor.unpackLine(makeOwnedLine(text.data(), static_cast<int32_t>(text.size()),
                                  static_cast<int32_t>(text.size())),
                    0);
  for (auto _ : state) {
    editor.moveLineEnd();
    editor.moveLineStart();
  }
  if (editor.charsAfter.count() != text.size()) state.SkipWithError("the line changed");
}
BENCHMARK(EndAndHomeOf20MBLine)->Unit(benchmark::kMillisecond)->Iterations(5);

void JoinTwo10MBLines(benchmark::State& state) {
  Editor editor;
  for (auto _ : state) {
    state.PauseTiming();
    fillDocument(editor, 2, 10 << 20);
    editor.goToPosition(1, 0);
    state.ResumeTiming();
    editor.backspace();
  }
}
BENCHMARK(JoinTwo10MBLines)->Unit(benchmark::kMillisecond)->Iterations(5);

// The piece repeated until the text is `bytes` long or a little more.
std::string repeatedTo(const std::string& piece, size_t bytes) {
  std::string text;
  text.reserve(bytes + piece.size());
  while (text.size() < bytes) text += piece;
  return text;
}

// A line of mixed text: ASCII words, accented Latin, Cyrillic, CJK, a letter with a combining
// mark, a flag of two code points, an emoji with a modifier, punctuation.
std::string mixedLine(size_t bytes) {
  static const std::string piece =
      "Gr\xc3\xbc\xc3\x9f"
      "e aus K\xc3\xb6ln, \xd0\xbc\xd0\xb8\xd1\x80 "
      "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\xe3\x81\xae\xe3\x83\x86\xe3\x82\xad\xe3\x82\xb9\xe3\x83"
      "\x88 "
      "e\xcc\x81t\xc3\xa9 \xf0\x9f\x87\xab\xf0\x9f\x87\xb7 \xf0\x9f\x91\x8d\xf0\x9f\x8f\xbb "
      "\xe2\x80\x94 text, ok. ";
  return repeatedTo(piece, bytes);
}

// Keys in the middle of a 10 MB line of mixed UTF-8 text, in code page 437 mode (arg 0: 0)
// and UTF-8 mode (1): the per-key cost of working by character. Arg 1: 0 typing, 1 Left,
// 2 Right, 3 Backspace, 4 End (with Home, untimed, between).
void KeysIn10MBMixedLine(benchmark::State& state) {
  const TextUnit unit = state.range(0) ? TextUnit::Character : TextUnit::Byte;
  const int key = static_cast<int>(state.range(1));
  static const char* const names[] = {"typing", "Left", "Right", "Backspace", "End"};
  state.SetLabel(std::string(unit == TextUnit::Character ? "UTF-8, " : "code page 437, ") +
                 names[key]);
  const std::string text = mixedLine(10 << 20);
  Editor editor;
  editor.setTextUnit(unit);
  editor.unpackLine(makeOwnedLine(text.data(), static_cast<int32_t>(text.size()),
                                  static_cast<int32_t>(text.size())),
                    0);
  editor.goToPosition(0, editor.textUnit == TextUnit::Byte ? 5 << 20 : 4 << 20);
  const int keys = key == 4 ? 1 : 10000;
  for (auto _ : state) {
    if (key == 4) {
      state.PauseTiming();
      editor.moveLineStart();
      editor.goToPosition(0, 1 << 20);
      state.ResumeTiming();
      dispatchKey(editor, vk::End, 0, false);
      continue;
    }
    for (int i = 0; i < keys; ++i) {
      switch (key) {
        case 0:
          dispatchKey(editor, 'A', 'a', false);
          break;
        case 1:
          dispatchKey(editor, vk::Left, 0, false);
          break;
        case 2:
          dispatchKey(editor, vk::Right, 0, false);
          break;
        case 3:
          dispatchKey(editor, vk::Back, 8, false);
          break;
      }
    }
    state.PauseTiming();
    if (key == 1) editor.goToPosition(0, 4 << 20);
    if (key == 2) editor.goToPosition(0, 4 << 20);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * keys);
}
BENCHMARK(KeysIn10MBMixedLine)
    ->ArgsProduct({{0, 1}, {0, 1, 2, 3, 4}})
    ->Unit(benchmark::kMicrosecond);

// A letter typed and the screen redrawn with the view scrolled far right: 24 lines of 4 MB
// on an 80x25 screen, the cursor in line 12 (first arg: 0 code page 437, 1 UTF-8; second:
// 0 ASCII, the cursor at column 4,000,000; 1 a log line of CJK words, "漢字かな交じり文 "
// repeated, 17 columns in 25 bytes, the cursor at column 2,000,000). Every other row is laid
// out from its line's start to the view's edge.
void TypeWithViewFarRight(benchmark::State& state) {
  const bool utf8 = state.range(0) != 0;
  const bool cjk = state.range(1) != 0;
  state.SetLabel(std::string(utf8 ? "UTF-8" : "code page 437") + (cjk ? ", CJK" : ", ASCII"));
  TestSession session(80, 25);
  if (utf8) {
    session.console.hasModes = true;
    session.console.shownAs = console::DisplayMode::Utf8;
  }
  SessionEditor editor(session);
  editor.followDisplayMode();
  constexpr int kLine = 4 << 20, kLines = 24;
  std::string text;
  if (cjk) {
    while (text.size() + 25 <= kLine) text += "漢字かな交じり文 ";
    text.resize(kLine, ' ');
    text += '\n';
  } else {
    text.assign(kLine + 1, 'x');
  }
  editor.freeBuffer();
  editor.initBuffer();
  for (int i = 0; i + 1 < kLines; ++i)
    editor.linesAbove.push(makeOwnedLine(text.data(), kLine, kLine + 1));
  editor.lineCount = kLines;
  editor.cursorLine = kLines - 1;
  editor.unpackLine(makeOwnedLine(text.data(), kLine, kLine), 0);
  editor.goToPosition(12, cjk ? 2000000 : 4000000);
  editor.redraw();
  for (auto _ : state) {
    dispatchKey(editor, 'A', 'a', false);
    editor.redraw();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(TypeWithViewFarRight)
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond);

// Ctrl+Left from the end of a 10 MB line of one word, then Ctrl+Right back (arg: 0 code page
// 437, 1 UTF-8): each crosses the whole line.
void WordMovesAcross10MBWord(benchmark::State& state) {
  const TextUnit unit = state.range(0) ? TextUnit::Character : TextUnit::Byte;
  state.SetLabel(unit == TextUnit::Character ? "UTF-8" : "code page 437");
  const std::string text(10 << 20, 'x');
  Editor editor;
  editor.setTextUnit(unit);
  editor.unpackLine(makeOwnedLine(text.data(), static_cast<int32_t>(text.size()),
                                  static_cast<int32_t>(text.size())),
                    0);
  editor.moveLineEnd();
  for (auto _ : state) {
    dispatchKey(editor, KeyCtrl | vk::Left, 0, false);
    dispatchKey(editor, KeyCtrl | vk::Right, 0, false);
  }
  if (editor.charsBefore.count() != text.size()) state.SkipWithError("not at the end");
}
BENCHMARK(WordMovesAcross10MBWord)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// F7 in one line of "ab " repeated, `arg` KB long (code page 437 mode): "ab" to be replaced
// by "xy", answered a at the first match, so every match of the line is replaced. The second
// argument 1: the search text is the pattern "a(b)", replaced by "x$1".
void ReplaceEachAllInOneLine(benchmark::State& state) {
  const size_t bytes = static_cast<size_t>(state.range(0)) * 1000;
  const bool pattern = state.range(1) != 0;
  std::string text;
  while (text.size() + 3 <= bytes) text += "ab ";
  for (auto _ : state) {
    state.PauseTiming();
    TestSession session(80, 25);
    SessionEditor editor(session);
    editor.unpackLine(makeOwnedLine(text.data(), static_cast<int32_t>(text.size()),
                                    static_cast<int32_t>(text.size())),
                      0);
    editor.redraw();
    console::MemoryConsole& keys = session.console;
    keys.pushKey(vk::F7, 0, 0);
    if (pattern) keys.pushKey(vk::F7, 0, 0);
    for (const char c : std::string(pattern ? "a(b)\rx$1\ra" : "ab\rxy\ra")) {
      if (c == '\r')
        keys.pushKey(vk::Return, '\r', 0);
      else if (c >= 'a' && c <= 'z')
        keys.pushKey(static_cast<uint16_t>(c - 'a' + 'A'), static_cast<uint8_t>(c), 0);
      else
        keys.pushKey(0, static_cast<uint8_t>(c), 0);
    }
    state.ResumeTiming();
    while (keys.inputLeft()) session.session.keyboard.waitAndHandleEvent(editor);
    editor.redraw();
    state.PauseTiming();
    if (editor.charsBefore.count() + 2 < text.size()) state.SkipWithError("not all replaced");
    state.ResumeTiming();
  }
}
BENCHMARK(ReplaceEachAllInOneLine)
    ->Args({10, 0})
    ->Args({100, 0})
    ->Args({10000, 0})
    ->Args({10, 1})
    ->Args({100, 1})
    ->Args({10000, 1})
    ->Unit(benchmark::kMillisecond);

// A line of emoji joiner sequences (man, joiner, woman, joiner, girl) one after another,
// `bytes` long or a little more: no boundary in it is certain from its units' classes alone.
std::string joinerLine(size_t bytes) {
  static const std::string family =
      "\xf0\x9f\x91\xa8\xe2\x80\x8d\xf0\x9f\x91\xa9\xe2\x80\x8d\xf0\x9f\x91\xa7";
  return repeatedTo(family, bytes);
}

// Ctrl+Left from the end of a line of joiner sequences, arg MB long, then Ctrl+Right back
// (UTF-8 mode): each crosses the whole line, one character of five units at a time.
void WordMovesAcrossJoinerSequences(benchmark::State& state) {
  const std::string text = joinerLine(static_cast<size_t>(state.range(0)) << 20);
  Editor editor;
  editor.setTextUnit(TextUnit::Character);
  editor.unpackLine(makeOwnedLine(text.data(), static_cast<int32_t>(text.size()),
                                  static_cast<int32_t>(text.size())),
                    0);
  editor.moveLineEnd();
  for (auto _ : state) {
    dispatchKey(editor, KeyCtrl | vk::Left, 0, false);
    if (!editor.charsBefore.empty()) state.SkipWithError("not at the start");
    dispatchKey(editor, KeyCtrl | vk::Right, 0, false);
  }
  if (editor.charsBefore.count() != text.size()) state.SkipWithError("not at the end");
}
BENCHMARK(WordMovesAcrossJoinerSequences)
    ->Arg(1)
    ->Arg(10)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// Left (arg 0) or Backspace (1) in the middle of a 10 MB line of joiner sequences (UTF-8
// mode), per key.
void KeysInJoinerSequences(benchmark::State& state) {
  const bool backspace = state.range(0) != 0;
  state.SetLabel(backspace ? "Backspace" : "Left");
  const std::string text = joinerLine(10 << 20);
  Editor editor;
  editor.setTextUnit(TextUnit::Character);
  editor.unpackLine(makeOwnedLine(text.data(), static_cast<int32_t>(text.size()),
                                  static_cast<int32_t>(text.size())),
                    0);
  editor.goToPosition(0, 3 << 20);  // (6 columns in 18 bytes)
  constexpr int kKeys = 1000;
  for (auto _ : state) {
    for (int i = 0; i < kKeys; ++i)
      backspace ? dispatchKey(editor, vk::Back, 8, false) : dispatchKey(editor, vk::Left, 0, false);
    state.PauseTiming();
    if (!backspace) editor.goToPosition(0, 3 << 20);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kKeys);
}
BENCHMARK(KeysInJoinerSequences)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// F3 from the start of a 10 MB line of mixed text to a word near its end, or Shift+F3 from
// the end back to it (first arg: 0 code page 437, 1 UTF-8; second: 0 F3, 1 Shift+F3).
void FindNearEndOf10MBLine(benchmark::State& state) {
  const bool utf8 = state.range(0) != 0;
  const bool backward = state.range(1) != 0;
  state.SetLabel(std::string(utf8 ? "UTF-8, " : "code page 437, ") +
                 (backward ? "Shift+F3" : "F3"));
  TestSession session(80, 25);
  if (utf8) {
    session.console.hasModes = true;
    session.console.shownAs = console::DisplayMode::Utf8;
  }
  SessionEditor editor(session);
  editor.followDisplayMode();
  const std::string text = mixedLine(10 << 20) + "Zebra" + mixedLine(200);
  editor.unpackLine(makeOwnedLine(text.data(), static_cast<int32_t>(text.size()),
                                  static_cast<int32_t>(text.size())),
                    0);
  session.session.searchState.setSearchStrings(copyOf("Zebra"), nullptr);
  for (auto _ : state) {
    state.PauseTiming();
    backward ? editor.moveLineEnd() : editor.moveLineStart();
    state.ResumeTiming();
    dispatchKey(editor, backward ? KeyShift | vk::F3 : vk::F3, 0, false);
    state.PauseTiming();
    if (editor.charsBefore.count() != text.size() - 5 - mixedLine(200).size())
      state.SkipWithError("not on the word");
    state.ResumeTiming();
  }
}
BENCHMARK(FindNearEndOf10MBLine)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

// A redraw of the whole screen with one 10 MB character on the cursor line: a letter and five
// million combining marks (UTF-8 mode), the cursor at the line's start (arg 0) or its end (1).
void RepaintOf10MBCharacter(benchmark::State& state) {
  const bool atEnd = state.range(0) != 0;
  state.SetLabel(atEnd ? "cursor at the end" : "cursor at the start");
  TestSession session(80, 25);
  session.console.hasModes = true;
  session.console.shownAs = console::DisplayMode::Utf8;
  SessionEditor editor(session);
  editor.followDisplayMode();
  std::string text = "a";
  for (int i = 0; i < 5000000; ++i) text += "\xcc\x81";
  editor.unpackLine(makeOwnedLine(text.data(), static_cast<int32_t>(text.size()),
                                  static_cast<int32_t>(text.size())),
                    0);
  if (atEnd) editor.moveLineEnd();
  editor.redraw();
  for (auto _ : state) {
    editor.textDirty = 1;
    editor.redraw();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(RepaintOf10MBCharacter)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
