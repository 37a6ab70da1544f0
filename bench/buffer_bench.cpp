// The text buffer's hot paths: typing into one line, jumping across a long document,
// packing and unpacking a long line, and the memory a stored line costs.
#include <benchmark/benchmark.h>

#include <climits>
#include <string>

#include "core/editor.h"

namespace {

void fillLines(Editor& editor, int lines, const std::string& text) {
  for (int i = 0; i < lines; ++i)
    editor.linesAbove.push(makeOwnedLine(text.data(), static_cast<int32_t>(text.size() - 1),
                                         static_cast<int32_t>(text.size())));
  editor.cursorLine = lines;
  editor.lineCount = lines + 1;
  editor.goToPosition(0, 0);
}

void InsertBytesIntoOneLine(benchmark::State& state) {
  for (auto _ : state) {
    Editor editor;
    for (int i = 0; i < 1000000; ++i) editor.insertByte(static_cast<uint8_t>('a' + i % 26));
    benchmark::DoNotOptimize(editor.cursorColumn);
  }
  state.SetItemsProcessed(state.iterations() * 1000000);
}
BENCHMARK(InsertBytesIntoOneLine)->Unit(benchmark::kMillisecond);

void GoToLastOfAMillionLinesAndBack(benchmark::State& state) {
  Editor editor;
  fillLines(editor, 1000000, std::string(60, 'x') + "\n");
  for (auto _ : state) {
    editor.goToPosition(editor.lineCount - 1, INT_MAX);
    editor.goToPosition(0, 0);
  }
}
BENCHMARK(GoToLastOfAMillionLinesAndBack)->Unit(benchmark::kMillisecond);

void PackAndUnpackTenMegabyteLine(benchmark::State& state) {
  Editor editor;
  std::string text(10 << 20, 'y');
  text += '\n';
  fillLines(editor, 1, text);
  for (auto _ : state) {
    TextLine line = editor.packCursorLine();
    editor.unpackLine(line, 5 << 20);
    editor.insertByte('z');  // a changed line must be copied on the next pack
    editor.charsBefore.pop();
    --editor.cursorColumn;
    editor.insertByte('q');
  }
  state.SetBytesProcessed(state.iterations() * 2 * static_cast<int64_t>(text.size()));
}
BENCHMARK(PackAndUnpackTenMegabyteLine)->Unit(benchmark::kMillisecond);

void MemoryPerStoredLine(benchmark::State& state) {
  for (auto _ : state) {
    Editor editor;
    fillLines(editor, 100000, "\n");
    state.counters["record_bytes"] = sizeof(TextLine);
    state.counters["stack_bytes_per_line"] =
        static_cast<double>(editor.linesBelow.capacity() * sizeof(TextLine)) / 100000;
  }
}
BENCHMARK(MemoryPerStoredLine)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
