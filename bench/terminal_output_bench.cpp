// Bytes sent to the terminal, and the time to work them out, for the screen updates an
// editing session is made of.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "platform/posix/terminal_screen.h"

using terminal::TerminalScreen;

namespace {

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

void paintView(TerminalScreen& screen, int firstLine, int cursorColumn) {
  const int width = screen.width(), rows = screen.height() - 1;
  for (int y = 0; y < rows; ++y) {
    std::string line = documentLine(firstLine + y, width);
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

// One typed character: a cell of the text, the column on the status line, the cursor.
void TypedCharacter(benchmark::State& state) {
  TerminalScreen screen(200, 60);
  paintView(screen, 0, 0);
  std::string out;
  screen.render(out);
  size_t bytes = 0;
  int column = 70;
  int lap = 0;
  for (auto _ : state) {
    // Every lap over the same columns types other letters, so each key changes its cell.
    uint8_t ch = static_cast<uint8_t>((lap % 2 ? 'A' : 'a') + column % 26);
    screen.writeCharacters(&ch, 1, column, 0);
    ++column;
    if (column == 190) {
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
  TerminalScreen screen(200, 60);
  int first = 0;
  paintView(screen, first, 0);
  std::string out;
  screen.render(out);
  size_t bytes = 0;
  for (auto _ : state) {
    paintView(screen, ++first, 0);
    out.clear();
    screen.render(out);
    bytes += out.size();
  }
  report(state, bytes);
}

// Everything again, as after a resize.
void FullRepaint(benchmark::State& state) {
  TerminalScreen screen(200, 60);
  paintView(screen, 0, 0);
  std::string out;
  screen.render(out);
  size_t bytes = 0;
  for (auto _ : state) {
    screen.invalidate();
    out.clear();
    screen.render(out);
    bytes += out.size();
  }
  report(state, bytes);
}

}  // namespace

BENCHMARK(FirstPaint)->Args({200, 60})->Args({80, 24});
BENCHMARK(TypedCharacter);
BENCHMARK(OneCell);
BENCHMARK(ScrollOneLine);
BENCHMARK(FullRepaint);

BENCHMARK_MAIN();
