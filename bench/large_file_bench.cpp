// A file larger than the threshold for reading files whole: first screen, line count, end,
// search, save, memory; each next to what cat, grep -c and cp take on the same bytes.
//
// The file (SLATE_BENCH_LARGE_GB gigabytes, 2 unless set, of 85-byte lines) is generated with
// yes and head beside the other temporary files (SLATE_BENCH_DIR, else /tmp) and kept for the
// next run; remove it afterwards. Every case runs once, in wall-clock time: these are waits a
// user sees, and the first run of a case is the one that matters (later ones find the pages
// cached). Drop the page cache before a run (echo 3 > /proc/sys/vm/drop_caches) for the cold
// figures. With SLATE_BENCH_VERIFY set, the save case reads its copy back against the file.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "core/editor.h"
#include "core/file_source.h"
#include "files/load_save.h"
#include "search/search_state.h"
#include "support/test_session.h"

namespace {

std::string benchDir() {
  const char* dir = std::getenv("SLATE_BENCH_DIR");
  return dir && *dir ? dir : "/tmp";
}

long long fileBytes() {
  const char* gb = std::getenv("SLATE_BENCH_LARGE_GB");
  return static_cast<long long>((gb && *gb ? std::atof(gb) : 2.0) * 1e9);
}

const std::string& bigFile() {
  static std::string path;
  if (!path.empty()) return path;
  path = benchDir() + "/slate-bench-large.log";
  struct stat info;
  if (stat(path.c_str(), &info) == 0 && info.st_size == fileBytes()) return path;
  const std::string command =
      "yes '2026-12-07T19:00:00.000Z INFO  request served in 12 ms, user=alice path=/api/items "
      "ok' | head -c " +
      std::to_string(fileBytes()) + " > '" + path + "'";
  if (std::system(command.c_str()) != 0) std::exit(1);
  return path;
}

double secondsOf(const std::string& command) {
  const auto start = std::chrono::steady_clock::now();
  if (std::system(command.c_str()) != 0) return -1;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double residentMB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1e6;
}

void open(Editor& e) {
  setFileName(e, bigFile().c_str());
  e.loadDocument();
  e.ensureWindow(0, 40);
}

double elapsed(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_FirstScreen(benchmark::State& state) {
  const std::string& path = bigFile();
  for (auto _ : state) {
    Editor e;
    open(e);
    state.counters["resident_MB"] = residentMB();
  }
  state.counters["cat_s"] = secondsOf("cat '" + path + "' > /dev/null");
}

void BM_CountLines(benchmark::State& state) {
  Editor e;
  open(e);
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    e.finishCount();
    state.counters["GB_per_s"] = static_cast<double>(fileBytes()) / 1e9 / elapsed(start);
  }
}

void BM_EndAndBackAfterPaging(benchmark::State& state) {
  Editor e;
  open(e);
  for (int i = 0; i < 10000; ++i) e.moveDown();
  e.finishCount();
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    e.moveDocumentEnd();
    e.ensureWindow(40, 0);
    state.counters["end_ms"] = elapsed(start) * 1e3;
    e.moveDocumentStart();
    e.ensureWindow(0, 40);
  }
  state.counters["resident_MB"] = residentMB();
}

// PgDn through a long stretch of the file (state.range(0) lines, 40 a page), as the editor
// does it: the command's end after each page (where lines far behind are folded back into
// runs, unless state.range(1) is 0), and one page in state.range(2) read for the view and
// shown (the others passed while keys were waiting, as when PgDn is held); resident memory
// at the end, and the paging speed. Lines once shown stay in memory.
void BM_PagingFar(benchmark::State& state) {
  const size_t foldAfter = foldAfterBytes;
  if (state.range(1) == 0) foldAfterBytes = SIZE_MAX;
  Editor e;
  open(e);
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    for (int64_t line = 0; line < state.range(0); line += 40) {
      for (int k = 0; k < 40; ++k) e.moveDown();
      if (line / 40 % state.range(2) == 0) e.ensureWindow(0, 40);
      e.afterCommand(false);
    }
    state.counters["MB_per_s"] = static_cast<double>(state.range(0)) * 85 / 1e6 / elapsed(start);
    e.moveDocumentEnd();
    e.ensureWindow(40, 0);
    e.moveDocumentStart();
    e.ensureWindow(0, 40);
  }
  state.counters["resident_MB"] = residentMB();
  foldAfterBytes = foldAfter;
}

// Ctrl+PgDn right after opening, the count still running: the last page read backward from
// the file's end; then back to the start, and F4 to the middle line, which waits for the count
// to pass it.
void BM_EndBeforeCount(benchmark::State& state) {
  TestSession test;
  SessionEditor e(test);
  open(e);
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    e.moveDocumentEnd();
    e.ensureWindow(40, 0);
    state.counters["end_ms"] = elapsed(start) * 1e3;
    state.counters["count_was_done"] = e.countKnown() ? 1 : 0;
    e.moveDocumentStart();
    const auto middle = std::chrono::steady_clock::now();
    const int32_t line = static_cast<int32_t>(fileBytes() / 85 / 2);
    e.goToLineNumber(line, 1);
    state.counters["goto_middle_ms"] = elapsed(middle) * 1e3;
    state.counters["goto_ok"] = e.cursorLine == line - 1 ? 1 : 0;
  }
  state.counters["resident_MB"] = residentMB();
}

void BM_SearchNotYetRead(benchmark::State& state) {
  const std::string& path = bigFile();
  TestSession test;
  SessionEditor e(test);
  open(e);
  char* text = new char[32];
  std::strcpy(text, "not in this file at all");
  e.searchState->setSearchStrings(text, text);
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (state.range(0) == 0)
      e.searchAgain();
    else
      e.findPrevious();  // from the top, so from the file's end back to it
    state.counters["GB_per_s"] = static_cast<double>(fileBytes()) / 1e9 / elapsed(start);
  }
  state.counters["grep_c_GB_per_s"] =
      static_cast<double>(fileBytes()) / 1e9 /
      secondsOf("grep -c 'not in this file at all' '" + path + "' > /dev/null; true");
}

// Whether the saved copy is the file with '#' put before its first byte, read block by block.
// A last line without a terminator is read as ending in "\n", so the copy ends in one.
bool savedWithHashFirst(const std::string& copy, const std::string& original) {
  std::FILE* saved = std::fopen(copy.c_str(), "rb");
  std::FILE* source = std::fopen(original.c_str(), "rb");
  bool same = saved && source && std::fgetc(saved) == '#';
  std::string a(8 << 20, '\0'), b(8 << 20, '\0');
  char last = '\n';
  while (same) {
    const size_t got = std::fread(b.data(), 1, b.size(), source);
    same = std::fread(a.data(), 1, got, saved) == got && std::memcmp(a.data(), b.data(), got) == 0;
    if (got != 0) last = b[got - 1];
    if (got < b.size()) break;
  }
  if (same && last != '\n' && last != '\r') same = std::fgetc(saved) == '\n';
  same = same && std::fgetc(saved) == EOF;
  if (saved) std::fclose(saved);
  if (source) std::fclose(source);
  return same;
}

void BM_SaveAfterSmallEdit(benchmark::State& state) {
  const std::string& path = bigFile();
  const std::string copy = benchDir() + "/slate-bench-large-copy.log";
  Editor e;
  open(e);
  e.addByte('#');
  if (state.range(0) != 0) e.finishCount();
  for (auto _ : state) {
    std::string reason;
    const auto start = std::chrono::steady_clock::now();
    files::writeDocumentFile(e, copy.c_str(), nullptr, reason);
    state.counters["GB_per_s"] = static_cast<double>(fileBytes()) / 1e9 / elapsed(start);
    state.counters["resident_MB"] = residentMB();
  }
  // Comparing reads both files again: asked for by SLATE_BENCH_VERIFY, outside the timing.
  if (std::getenv("SLATE_BENCH_VERIFY"))
    state.counters["byte_exact"] = savedWithHashFirst(copy, path);
  unlink(copy.c_str());
  state.counters["cp_GB_per_s"] =
      static_cast<double>(fileBytes()) / 1e9 /
      secondsOf("cp '" + path + "' '" + copy + "' && sync '" + copy + "'");
  unlink(copy.c_str());
}

BENCHMARK(BM_FirstScreen)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CountLines)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EndAndBackAfterPaging)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PagingFar)
    ->Args({10000, 1, 1})
    ->Args({1000000, 0, 1})
    ->Args({1000000, 1, 1})
    ->Args({1000000, 1, 10})
    ->Args({10000000, 1, 10})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_EndBeforeCount)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
// Forward (0: F5, F3) and backward (1: Shift+F3).
BENCHMARK(BM_SearchNotYetRead)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
// Saved at once, while the line count still reads the file beside it (0), or once it is done.
BENCHMARK(BM_SaveAfterSmallEdit)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
