// Bytes sent to the terminal, and the time to work them out, for the screen updates an
// editing session is made of.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "core/editor.h"
#include "platform/posix/terminal_screen.h"

using terminal::TerminalScreen;
using Mode = console::DisplayMode;

namespace {

// Benchmark arguments: the display mode, and whether the document is UTF-8 text in several
// scripts rather than ASCII source code.
Mode modeArg(const benchmark::State& state, int i) {
  return state.range(i) ? Mode::Utf8 : Mode::CodePage437;
}

void label(benchmark::State& state, Mode mode, bool utf8Text) {
  state.SetLabel(std::string(mode == Mode::Utf8 ? "UTF-8 mode" : "code page 437 mode") +
                 (utf8Text ? ", UTF-8 text" : ", ASCII text"));
}

// A plausible source line of document line n, cut or padded to the screen width.
std::string documentLine(int n, int width) {
  static const char* const pieces[] = {
      "    if (cursorLine >= topLine + rows) topLine = cursorLine - rows + 1;",
      "  for (int x = 0; x < columns; ++x) grid[x] = ' ';",
      "",
      "// Moves the view so that the cursor stands inside it.",
      "int Editor::moveWordRight() {",
      "      return insertText(text, length) && afterCommand(false);",
      "}",
  };
  std::string line = pieces[n % 7];
  if (n % 5 == 0) line += "  // " + std::to_string(n);
  line.resize(width, ' ');
  return line;
}

// A line of prose in several scripts: two- and three-byte letters, wide CJK characters,
// punctuation, a combining mark and an emoji; cut or padded to width bytes.
std::string utf8Line(int n, int width) {
  static const char* const pieces[] = {
      "Caf\xc3\xa9 cr\xc3\xa8me \xe2\x80\x94 na\xc3\xafve r\xc3\xa9sum\xc3\xa9 ",
      "\xce\x9a\xce\xb1\xce\xbb\xce\xb7\xce\xbc\xce\xad\xcf\x81\xce\xb1 \xcf\x83\xce\xb5 "
      "\xcf\x8c\xce\xbb\xce\xbf\xcf\x85\xcf\x82 ",
      "\xe6\xbc\xa2\xe5\xad\x97\xe3\x81\xae\xe6\x96\x87\xe7\xab\xa0\xe3\x80\x82 ",
      "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82, \xd0\xbc\xd0\xb8\xd1\x80! ",
      "e\xcc\x81t\xc3\xa9 \xe2\x9c\x93 \xf0\x9f\x98\x80 ok ",
  };
  std::string line;
  for (int i = n; static_cast<int>(line.size()) < width; ++i) line += pieces[i % 5];
  line.resize(width, ' ');
  return line;
}

void paintView(TerminalScreen& screen, int firstLine, int cursorColumn, bool utf8Text = false) {
  const int width = screen.width(), rows = screen.height() - 1;
  for (int y = 0; y < rows; ++y) {
    std::string line =
        utf8Text ? utf8Line(firstLine + y, width) : documentLine(firstLine + y, width);
    screen.writeCharacters(reinterpret_cast<const uint8_t*>(line.data()), width, 0, y);
  }
  screen.fillAttribute(0x07, width * rows, 0, 0);
  std::string status = "<Sep 07 1996>* R " + std::to_string(firstLine) + "  C " +
                       std::to_string(cursorColumn) + "  main.cpp";
  status.resize(width, ' ');
  screen.writeCharacters(reinterpret_cast<const uint8_t*>(status.data()), width, 0, rows);
  screen.fillAttribute(0x30, width, 0, rows);
  screen.setCursor(cursorColumn, 0);
}

void report(benchmark::State& state, size_t bytes) {
  state.counters["bytes"] =
      benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kAvgIterations);
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

void FirstPaint(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
  size_t bytes = 0;
  std::string out;
  for (auto _ : state) {
    TerminalScreen screen(width, height);
    paintView(screen, 0, 0);
    out.clear();
    screen.render(out);
    bytes += out.size();
    benchmark::DoNotOptimize(out.data());
  }
  report(state, bytes);
}

// One typed character: a cell of the text, the column on the status line, the cursor. In
// UTF-8 mode the text is UTF-8 and the character typed is an e-acute, two bytes.
void TypedCharacter(benchmark::State& state) {
  const Mode mode = modeArg(state, 0);
  const bool utf8Text = mode == Mode::Utf8;
  TerminalScreen screen(200, 60);
  screen.setDisplayMode(mode);
  paintView(screen, 0, 0, utf8Text);
  std::string out;
  screen.render(out);
  size_t bytes = 0;
  int column = 70;
  int lap = 0;
  for (auto _ : state) {
    // Every lap over the same columns types other letters, so each key changes its cell.
    if (utf8Text) {
      const uint8_t e[2] = {0xC3, static_cast<uint8_t>(lap % 2 ? 0x89 : 0xA9)};  // É or é
      screen.writeCharacters(e, 2, column, 0);
      column += 2;
    } else {
      uint8_t ch = static_cast<uint8_t>((lap % 2 ? 'A' : 'a') + column % 26);
      screen.writeCharacters(&ch, 1, column, 0);
      ++column;
    }
    if (column >= 190) {
      column = 70;
      ++lap;
    }
    std::string status = "<Sep 07 1996>* R 0  C " + std::to_string(column) + "  main.cpp";
    screen.writeCharacters(reinterpret_cast<const uint8_t*>(status.data()), status.size(), 0, 59);
    screen.setCursor(column, 0);
    out.clear();
    screen.render(out);
    bytes += out.size();
  }
  label(state, mode, utf8Text);
  report(state, bytes);
}

// The smallest change: one cell, the cursor already after it.
void OneCell(benchmark::State& state) {
  TerminalScreen screen(200, 60);
  paintView(screen, 0, 0);
  std::string out;
  screen.render(out);
  size_t bytes = 0;
  uint8_t ch = 'a';
  for (auto _ : state) {
    ch = ch == 'a' ? 'b' : 'a';
    screen.writeCharacters(&ch, 1, 100, 30);
    screen.setCursor(101, 30);
    out.clear();
    screen.render(out);
    bytes += out.size();
  }
  report(state, bytes);
}

// The view moves down by one line (the whole text area is rewritten by the editor).
void ScrollOneLine(benchmark::State& state) {
  const Mode mode = modeArg(state, 0);
  const bool utf8Text = state.range(1) != 0;
  TerminalScreen screen(200, 60);
  screen.setDisplayMode(mode);
  int first = 0;
  paintView(screen, first, 0, utf8Text);
  std::string out;
  screen.render(out);
  size_t bytes = 0;
  for (auto _ : state) {
    paintView(screen, ++first, 0, utf8Text);
    out.clear();
    screen.render(out);
    bytes += out.size();
  }
  label(state, mode, utf8Text);
  report(state, bytes);
}

// Everything again, as after a resize.
void FullRepaint(benchmark::State& state) {
  const Mode mode = modeArg(state, 0);
  const bool utf8Text = state.range(1) != 0;
  TerminalScreen screen(200, 60);
  screen.setDisplayMode(mode);
  paintView(screen, 0, 0, utf8Text);
  std::string out;
  screen.render(out);
  size_t bytes = 0;
  for (auto _ : state) {
    screen.invalidate();
    out.clear();
    screen.render(out);
    bytes += out.size();
  }
  label(state, mode, utf8Text);
  report(state, bytes);
}

// F8: the same screen of UTF-8 text shown the other way, and back.
void SwitchMode(benchmark::State& state) {
  TerminalScreen screen(200, 60);
  paintView(screen, 0, 0, true);
  std::string out;
  screen.render(out);
  size_t bytes = 0;
  for (auto _ : state) {
    screen.setDisplayMode(screen.displayMode() == Mode::Utf8 ? Mode::CodePage437 : Mode::Utf8);
    out.clear();
    screen.render(out);
    bytes += out.size();
  }
  report(state, bytes);
}

}  // namespace

// A full repaint of a 200 x 60 terminal showing CJK text in UTF-8 mode, the whole way from
// the document: the editor lays its rows out into character cells (formatRows), the
// terminal screen takes them and works out every row's bytes.
void CjkFullRepaint(benchmark::State& state) {
  const int width = 200, rows = 59;
  std::string line;
  while (line.size() < 3 * 150)  // 150 wide characters: 300 columns, cut at the edge
    line += "\xe6\xbc\xa2\xe5\xad\x97\xe3\x81\xae\xe6\x96\x87\xe7\xab\xa0\xe3\x80\x82";
  Editor editor;
  editor.setTextUnit(TextUnit::Character);
  line += "\n";
  for (int i = 0; i < 100; ++i)
    editor.linesBelow.push(makeOwnedLine(line.data(), static_cast<int32_t>(line.size() - 1),
                                         static_cast<int32_t>(line.size())));
  editor.lineCount = 101;
  TerminalScreen screen(width, rows + 1);
  screen.setDisplayMode(Mode::Utf8);
  std::vector<console::TextCell> grid(static_cast<size_t>(width) * rows);
  std::string out;
  size_t bytes = 0;
  for (auto _ : state) {
    editor.formatRows(rows, width, grid.data());
    screen.writeText(grid.data(), static_cast<uint32_t>(grid.size()), 0, 0);
    screen.invalidate();
    out.clear();
    screen.render(out);
    bytes += out.size();
  }
  report(state, bytes);
}
BENCHMARK(CjkFullRepaint)->Unit(benchmark::kMicrosecond);

BENCHMARK(FirstPaint)->Args({200, 60})->Args({80, 24});
BENCHMARK(TypedCharacter)->Arg(0)->Arg(1);
BENCHMARK(OneCell);
BENCHMARK(ScrollOneLine)->Args({0, 0})->Args({1, 0})->Args({1, 1});
BENCHMARK(FullRepaint)->Args({0, 0})->Args({1, 0})->Args({0, 1})->Args({1, 1});
BENCHMARK(SwitchMode);

BENCHMARK_MAIN();
