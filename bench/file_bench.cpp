// Load and save of a 200 MB file of 2.5 million 80-byte lines.
//
// The file is generated once beside the other temporary files (SLATE_BENCH_DIR, else /tmp).
// Peak memory is measured in a fresh process (this program run again with --measure), since
// a process that has loaded the file once keeps its high-water mark.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/editor.h"
#include "files/load_save.h"

namespace {

constexpr long kLines = 2500000;
constexpr long kLineBytes = 80;

std::string benchDir() {
  const char* dir = std::getenv("SLATE_BENCH_DIR");
  return dir && *dir ? dir : "/tmp";
}

// The test file: line i is its number and letters, 79 bytes and an LF.
const std::string& bigFile() {
  static std::string path;
  if (!path.empty()) return path;
  path = benchDir() + "/slate-bench-200mb.txt";
  struct stat info;
  if (stat(path.c_str(), &info) == 0 && info.st_size == kLines * kLineBytes) return path;
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) {
    std::perror(path.c_str());
    std::exit(1);
  }
  char line[kLineBytes];
  for (long i = 0; i < kLines; ++i) {
    int n = std::snprintf(line, sizeof line, "%09ld ", i);
    for (long j = n; j < kLineBytes - 1; ++j) line[j] = static_cast<char>('a' + (i + j) % 26);
    line[kLineBytes - 1] = '\n';
    std::fwrite(line, 1, sizeof line, out);
  }
  std::fclose(out);
  return path;
}

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// --measure load|save FILE: one load (and save) in this fresh process; prints the times.
int measure(const char* what, const char* file) {
  auto start = std::chrono::steady_clock::now();
  Editor editor;
  setFileName(editor, file);
  if (!editor.loadDocument()) return 1;
  double load = seconds(start);
  double save = 0;
  if (std::strcmp(what, "save") == 0) {
    std::string target = std::string(file) + ".saved";
    auto begin = std::chrono::steady_clock::now();
    std::string reason;
    if (!files::writeDocumentFile(editor, target.c_str(), nullptr, reason)) return 1;
    save = seconds(begin);
    unlink(target.c_str());
  }
  std::printf("%f %f\n", load, save);
  return 0;
}

struct Measured {
  double loadSeconds = 0;
  double saveSeconds = 0;
  double peakBytes = 0;
};

Measured measureInFreshProcess(const char* what) {
  const std::string& file = bigFile();
  int channel[2];
  if (pipe(channel) != 0) std::abort();
  pid_t child = fork();
  if (child == 0) {
    dup2(channel[1], 1);
    execl("/proc/self/exe", "file_bench", "--measure", what, file.c_str(), nullptr);
    _exit(127);
  }
  close(channel[1]);
  char text[128] = {};
  ssize_t n = read(channel[0], text, sizeof text - 1);
  close(channel[0]);
  int status = 0;
  struct rusage usage;
  wait4(child, &status, 0, &usage);
  Measured m;
  if (n <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return m;
  std::sscanf(text, "%lf %lf", &m.loadSeconds, &m.saveSeconds);
  m.peakBytes = static_cast<double>(usage.ru_maxrss) * 1024.0;
  return m;
}

void BM_Load200MB(benchmark::State& state) {
  const std::string& file = bigFile();
  for (auto _ : state) {
    Editor editor;
    setFileName(editor, file.c_str());
    if (!editor.loadDocument()) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(editor.lineCount);
  }
  state.SetBytesProcessed(state.iterations() * kLines * kLineBytes);
}
BENCHMARK(BM_Load200MB)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_Save200MB(benchmark::State& state) {
  const std::string& file = bigFile();
  Editor editor;
  setFileName(editor, file.c_str());
  editor.loadDocument();
  const std::string target = file + ".saved";
  std::string reason;
  for (auto _ : state) {
    if (!files::writeDocumentFile(editor, target.c_str(), nullptr, reason))
      state.SkipWithError("save failed");
  }
  unlink(target.c_str());
  state.SetBytesProcessed(state.iterations() * kLines * kLineBytes);
}
BENCHMARK(BM_Save200MB)->Unit(benchmark::kMillisecond)->Iterations(3);

// The whole start of a fresh process: time to load, and its peak memory against the file.
void BM_LoadPeakMemory(benchmark::State& state) {
  Measured m;
  for (auto _ : state) m = measureInFreshProcess("load");
  if (m.peakBytes == 0) state.SkipWithError("measuring process failed");
  state.counters["load_s"] = m.loadSeconds;
  state.counters["peak_MB"] = m.peakBytes / 1e6;
  state.counters["peak_per_file"] = m.peakBytes / static_cast<double>(kLines * kLineBytes);
}
BENCHMARK(BM_LoadPeakMemory)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SavePeakMemory(benchmark::State& state) {
  Measured m;
  for (auto _ : state) m = measureInFreshProcess("save");
  if (m.peakBytes == 0) state.SkipWithError("measuring process failed");
  state.counters["load_s"] = m.loadSeconds;
  state.counters["save_s"] = m.saveSeconds;
  state.counters["peak_MB"] = m.peakBytes / 1e6;
  state.counters["peak_per_file"] = m.peakBytes / static_cast<double>(kLines * kLineBytes);
}
BENCHMARK(BM_SavePeakMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--measure") == 0) return measure(argv[2], argv[3]);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
