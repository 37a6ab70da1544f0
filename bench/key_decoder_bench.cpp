// Terminal input decoding throughput, in bytes of terminal input per second, read in the
// 4096-byte pieces a terminal read returns.
#include <benchmark/benchmark.h>

#include <deque>
#include <string>

#include "platform/posix/key_decoder.h"

namespace {

std::string plainText() {
  std::string text;
  while (text.size() < (1 << 20))
    text += "The quick brown fox jumps over the lazy dog 0123456789.\r";
  return text;
}

std::string keySequences() {
  static const char* const keys[] = {
      "\x1b[A",        "\x1b[1;5D", "\x1bOH",       "\x1b[3~",       "\x1b[15;2~",
      "\x1b[127;5u",   "\x1bx",     "\x1b[97;1:3u", "\x1b[57405;3u", "\x1b[57443;1:3u",
      "\x1b[<0;12;7M", "\x7f",      "\x1b[Z"};
  std::string text;
  for (size_t i = 0; text.size() < (1 << 20); ++i) text += keys[i % std::size(keys)];
  return text;
}

std::string pastes() {
  std::string text;
  while (text.size() < (1 << 20)) {
    text += "\x1b[200~";
    for (int line = 0; line < 200; ++line) text += "    indented line of pasted code();\n";
    text += "\x1b[201~";
  }
  return text;
}

std::string mixed() {
  const std::string plain = plainText(), keys = keySequences(), paste = pastes();
  std::string text;
  for (size_t at = 0; text.size() < (1 << 20); at += 4096) {
    text += plain.substr(at % plain.size(), 3000);
    text += keys.substr(at % keys.size(), 1000);
    text += paste.substr(0, 7300) + "\x1b[201~";
  }
  return text;
}

void decode(benchmark::State& state, const std::string& input) {
  std::deque<console::DecodedEvent> events;
  for (auto _ : state) {
    console::KeyDecoder decoder;
    for (size_t at = 0; at < input.size(); at += 4096) {
      const size_t count = input.size() - at < 4096 ? input.size() - at : 4096;
      decoder.feed(reinterpret_cast<const uint8_t*>(input.data()) + at, count, events);
      events.clear();
    }
    decoder.flushPending(events);
    events.clear();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(input.size()));
}

void BM_PlainText(benchmark::State& state) {
  decode(state, plainText());
}
void BM_KeySequences(benchmark::State& state) {
  decode(state, keySequences());
}
void BM_Pastes(benchmark::State& state) {
  decode(state, pastes());
}
void BM_Mixed(benchmark::State& state) {
  decode(state, mixed());
}

BENCHMARK(BM_PlainText);
BENCHMARK(BM_KeySequences);
BENCHMARK(BM_Pastes);
BENCHMARK(BM_Mixed);

}  // namespace

BENCHMARK_MAIN();
