// Search and replacement over a 200 MB document of 2.5 million lines, held in memory, and
// `grep -c` on the same bytes written to a file, for comparison.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "app/session.h"
#include "core/editor.h"
#include "input/key_map.h"
#include "input/prompt.h"
#include "platform/clipboard_store.h"
#include "platform/key_codes.h"
#include "platform/memory_console.h"

namespace {

constexpr int32_t kLines = 2'500'000;
constexpr const char* kNeedle = "needle in the haystack";  // only on the last line
constexpr const char* kLogEntry = " ERROR 42";             // behind it, for the regex
constexpr const char* kToken = "Qz7";                      // once on every line
constexpr const char* kTokenLonger = "Qz7+";
constexpr const char* kFile = "/tmp/slate_search_bench.txt";

// Lower-case words of 2 to 9 letters, so neither the token nor the needle occurs by chance
// (the needle's spaces and words are common, but never in this order).
std::string makeDocument() {
  std::mt19937 rng(1);
  std::string words[512];
  for (std::string& word : words) {
    const int length = 2 + static_cast<int>(rng() % 8);
    for (int i = 0; i < length; ++i) word += static_cast<char>('a' + rng() % 26);
  }
  std::string bytes;
  bytes.reserve(static_cast<size_t>(kLines) * 81);
  std::string line;
  for (int32_t i = 0; i < kLines; ++i) {
    line.clear();
    const size_t target = 40 + rng() % 78;  // 79 bytes a line on average, with the token
    const size_t tokenAfter = rng() % target;
    bool tokenPlaced = false;
    while (line.size() < target) {
      if (!tokenPlaced && line.size() >= tokenAfter) {
        line += kToken;
        tokenPlaced = true;
      } else {
        line += words[rng() % 512];
      }
      line += ' ';
    }
    if (!tokenPlaced) line += kToken;
    if (i == kLines - 1) line += std::string(kNeedle) + kLogEntry;
    bytes += line;
    if (i != kLines - 1) bytes += '\n';
  }
  return bytes;
}

// The editor with the document, built as a load builds it: the lines above the cursor, then
// the cursor to the start. With `arena`, the lines point into one block as after a load;
// otherwise each line owns its array.
struct Document {
  console::MemoryConsole console{80, 25};
  MemoryClipboard clipboard;
  Session session{console, clipboard};
  Editor editor;
  std::string bytes;

  explicit Document(bool arena) : bytes(makeDocument()) {
    session.attach(editor);
    editor.freeBuffer();
    editor.initBuffer();
    char* block = nullptr;
    if (arena) {
      char* raw = new char[bytes.size()];
      editor.textArena.emplace_back(raw, raw, bytes.size());
      editor.textArena.back().loaded = true;  // as a loaded file's bytes
      block = raw;
      std::memcpy(block, bytes.data(), bytes.size());
    }
    editor.linesAbove.reserve(kLines);
    size_t p = 0;
    int32_t count = 0;
    while (p <= bytes.size()) {
      const char* start = bytes.data() + p;
      const char* end = static_cast<const char*>(std::memchr(start, '\n', bytes.size() - p));
      const int32_t length = static_cast<int32_t>(end ? end - start : bytes.size() - p);
      const int32_t size = length + (end ? 1 : 0);
      if (arena) {
        editor.linesAbove.push(TextLine{block + p, length, static_cast<uint8_t>(size - length), 0});
      } else {
        editor.linesAbove.push(makeOwnedLine(start, length, size));
      }
      ++count;
      p += static_cast<size_t>(size);
      if (!end) break;
    }
    // The last record becomes the cursor line.
    editor.lineCount = count;
    editor.cursorLine = count - 1;
    editor.unpackLine(editor.linesAbove.pop(), 0);
    editor.goToPosition(0, 0);
  }

  void setStrings(const char* search, const char* replacement) {
    char* s = new char[std::strlen(search) + 1];
    std::strcpy(s, search);
    char* r = s;
    if (replacement) {
      r = new char[std::strlen(replacement) + 1];
      std::strcpy(r, replacement);
    }
    session.searchState.setSearchStrings(s, r);
  }
};

Document& ownedDocument() {
  static Document* document = new Document(false);
  return *document;
}

Document& arenaDocument() {
  static Document* document = new Document(true);
  return *document;
}

void searchToLastLine(benchmark::State& state, Document& document) {
  Editor& editor = document.editor;
  document.setStrings(kNeedle, nullptr);
  for (auto _ : state) {
    state.PauseTiming();
    editor.goToPosition(0, 0);
    state.ResumeTiming();
    if (editor.searchAgain() != 1 || editor.cursorLine != kLines - 1) state.SkipWithError("missed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(document.bytes.size()));
}

// The same search with the search options: a text in other letter cases, or a regular
// expression, found only on the last line; in code page 437 mode (bytes, ASCII folding) or
// UTF-8 mode (Unicode folding, UTF mode).
void searchWithOptions(benchmark::State& state, const char* text, bool ignoreCase, bool regex,
                       bool utf8, bool found = true) {
  Document& document = arenaDocument();
  Editor& editor = document.editor;
  document.setStrings(text, nullptr);
  document.session.searchState.options = SearchOptions{ignoreCase, regex};
  document.console.shownAs = utf8 ? console::DisplayMode::Utf8 : console::DisplayMode::CodePage437;
  for (auto _ : state) {
    state.PauseTiming();
    editor.goToPosition(0, 0);
    state.ResumeTiming();
    const int result = editor.searchAgain();
    if (found ? result != 1 || editor.cursorLine != kLines - 1 : result != 0)
      state.SkipWithError(found ? "missed" : "found what is not there");
  }
  document.session.searchState.options = SearchOptions{};
  document.console.shownAs = console::DisplayMode::Native;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(document.bytes.size()));
}

void BM_SearchIgnoringCase_CodePage437(benchmark::State& state) {
  searchWithOptions(state, "NEEDLE in THE haystack", true, false, false);
}
BENCHMARK(BM_SearchIgnoringCase_CodePage437)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_SearchIgnoringCase_Utf8(benchmark::State& state) {
  searchWithOptions(state, "NEEDLE in THE haystack", true, false, true);
}
BENCHMARK(BM_SearchIgnoringCase_Utf8)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_SearchRegex_CodePage437(benchmark::State& state) {
  searchWithOptions(state, "ERROR [0-9]+", false, true, false);
}
BENCHMARK(BM_SearchRegex_CodePage437)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_SearchRegex_Utf8(benchmark::State& state) {
  searchWithOptions(state, "ERROR [0-9]+", false, true, true);
}
BENCHMARK(BM_SearchRegex_Utf8)->Unit(benchmark::kMillisecond)->Iterations(10);

// A pattern whose first byte is on every line (the token) and that matches nowhere: the engine
// runs on every line.
void BM_SearchRegexEngineOnEveryLine(benchmark::State& state) {
  searchWithOptions(state, "Qz7 [0-9]+", false, true, false, false);
}
BENCHMARK(BM_SearchRegexEngineOnEveryLine)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_SearchToLastLine_OwnedLines(benchmark::State& state) {
  searchToLastLine(state, ownedDocument());
}
BENCHMARK(BM_SearchToLastLine_OwnedLines)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_SearchToLastLine_LoadedLines(benchmark::State& state) {
  searchToLastLine(state, arenaDocument());
}
BENCHMARK(BM_SearchToLastLine_LoadedLines)->Unit(benchmark::kMillisecond)->Iterations(10);

// Every line gets one byte longer and is rebuilt; the cursor ends on the last line.
void BM_ReplaceOncePerLine(benchmark::State& state) {
  Document& document = ownedDocument();
  Editor& editor = document.editor;
  for (auto _ : state) {
    state.PauseTiming();
    editor.goToPosition(0, 0);
    document.setStrings(kToken, kTokenLonger);
    state.ResumeTiming();
    if (editor.searchAgain() != 1) state.SkipWithError("nothing replaced");
    state.PauseTiming();
    editor.goToPosition(0, 0);
    document.setStrings(kTokenLonger, kToken);  // back to the original text
    editor.searchAgain();
    editor.changed = 0;
    editor.undoHistory.clear();  // the replacement alone, without a history holding the lines
    editor.releaseUnusedArena();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ReplaceOncePerLine)->Unit(benchmark::kMillisecond)->Iterations(5);

// The first replacement in a loaded document: every line leaves the load block.
void BM_ReplaceOncePerLine_LoadedLinesFirstTime(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    std::unique_ptr<Document> document(new Document(true));
    document->setStrings(kToken, kTokenLonger);
    state.ResumeTiming();
    if (document->editor.searchAgain() != 1) state.SkipWithError("nothing replaced");
    state.PauseTiming();
    document.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ReplaceOncePerLine_LoadedLinesFirstTime)->Unit(benchmark::kMillisecond)->Iterations(2);

double threadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

size_t arenaBytes(const Editor& editor) {
  size_t total = 0;
  for (const ArenaBlock& block : editor.textArena) total += block.capacity;
  return total;
}

// The replacement through every line of a loaded document by its key (Ctrl+F5), then F9 and
// Shift+F9 by theirs: the processor time of each (the benchmark's own time is all three),
// and what the undo history holds for the step.
void BM_ReplaceUndoRedo_LoadedLines(benchmark::State& state) {
  double replace = 0, undo = 0, redo = 0;
  double historyPerLine = 0, arenaGrowth = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::unique_ptr<Document> document(new Document(true));
    Editor& editor = document->editor;
    document->setStrings(kToken, kTokenLonger);
    const size_t arenaBefore = arenaBytes(editor);
    state.ResumeTiming();
    const double t0 = threadSeconds();
    dispatchKey(editor, KeyCtrl | vk::F5, 0, false);
    const double t1 = threadSeconds();
    dispatchKey(editor, vk::F9, 0, false);
    const double t2 = threadSeconds();
    const int32_t undoneTo = editor.cursorLine;
    dispatchKey(editor, KeyShift | vk::F9, 0, true);
    const double t3 = threadSeconds();
    state.PauseTiming();
    replace += t1 - t0;
    undo += t2 - t1;
    redo += t3 - t2;
    historyPerLine = static_cast<double>(editor.undoHistory.memory()) / kLines;
    arenaGrowth = static_cast<double>(arenaBytes(editor) - arenaBefore) / 1e6;
    if (undoneTo != 0 || editor.cursorLine != kLines - 1 || !editor.modified)
      state.SkipWithError("undo or redo went wrong");
    // Undone again, the document is the one built: no longer token anywhere.
    editor.undo();
    editor.afterCommand(false);
    editor.goToPosition(0, 0);
    document->setStrings(kTokenLonger, nullptr);
    if (editor.searchAgain() != 0 || editor.modified) state.SkipWithError("undo left changes");
    document.reset();
    state.ResumeTiming();
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["replace_ms"] = replace * 1e3 / n;
  state.counters["undo_ms"] = undo * 1e3 / n;
  state.counters["redo_ms"] = redo * 1e3 / n;
  state.counters["history_B_per_line"] = historyPerLine;
  state.counters["new_arena_MB"] = arenaGrowth;
}
BENCHMARK(BM_ReplaceUndoRedo_LoadedLines)->Unit(benchmark::kMillisecond)->Iterations(3);

// grep -c for the needle on the same bytes in a file (in the page cache after the first run).
// The time is grep's own processor time, read from the children's resource usage, so that it
// compares with the processor time of the searches above on a busy machine.
double childSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void grepCount(benchmark::State& state, const std::string& options, const char* pattern,
               const std::string& environment = "") {
  const std::string& bytes = ownedDocument().bytes;
  static bool written = false;
  if (!written) {
    if (FILE* file = std::fopen(kFile, "wb")) {
      std::fwrite(bytes.data(), 1, bytes.size(), file);
      std::fclose(file);
    }
    written = true;
  }
  const std::string command =
      environment + "grep -c " + options + " '" + pattern + "' " + kFile + " >/dev/null";
  // grep's status is 1 when no line matches: only 2 and up are failures.
  auto run = [&] { return WEXITSTATUS(std::system(command.c_str())) <= 1; };
  if (!run()) state.SkipWithError("grep failed");  // warm the cache
  for (auto _ : state) {
    const double before = childSeconds();
    if (!run()) state.SkipWithError("grep failed");
    state.SetIterationTime(childSeconds() - before);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(bytes.size()));
}

void BM_GrepCount(benchmark::State& state) {
  grepCount(state, "", kNeedle);
}
BENCHMARK(BM_GrepCount)->Unit(benchmark::kMillisecond)->Iterations(10)->UseManualTime();

// In the environment's locale (a UTF-8 one folds Unicode, as UTF-8 mode does) and in the C
// locale (ASCII, as code page 437 mode does).
void BM_GrepCountIgnoringCase(benchmark::State& state) {
  grepCount(state, "-i", "NEEDLE in THE haystack");
}
BENCHMARK(BM_GrepCountIgnoringCase)->Unit(benchmark::kMillisecond)->Iterations(10)->UseManualTime();

void BM_GrepCountIgnoringCase_CLocale(benchmark::State& state) {
  grepCount(state, "-i", "NEEDLE in THE haystack", "LC_ALL=C ");
}
BENCHMARK(BM_GrepCountIgnoringCase_CLocale)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->UseManualTime();

void BM_GrepCountRegex(benchmark::State& state) {
  grepCount(state, "-E", "ERROR [0-9]+");
}
BENCHMARK(BM_GrepCountRegex)->Unit(benchmark::kMillisecond)->Iterations(10)->UseManualTime();

void BM_GrepCountRegexOnEveryLine(benchmark::State& state) {
  grepCount(state, "-E", "Qz7 [0-9]+");
}
BENCHMARK(BM_GrepCountRegexOnEveryLine)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
