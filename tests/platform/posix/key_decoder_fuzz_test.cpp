#if !defined(_WIN32)

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "platform/posix/key_decoder.h"
#include "platform/posix/key_decoder_support.h"

using namespace console;

namespace {

// Sequences terminals send, and some they should not, to mutate.
const char* const kFragments[] = {
    "\x1b[A",
    "\x1b[1;5D",
    "\x1bOD",
    "\x1b[15;2~",
    "\x1b[3;5~",
    "\x1b[Z",
    "\x1b[127;5u",
    "\x1b[27;5;13~",
    "\x1b[57405;3u",
    "\x1b[57443;1:3u",
    "\x1b[97:65;2;65u",
    "\x1b[?31u",
    "\x1b[?62;22c",
    "\x1b[200~",
    "\x1b[201~",
    "\x1b[M !!",
    "\x1b[<0;10;5M",
    "\x1b[I",
    "\x1b[O",
    "\x1b]52;c;YWJj\x07",
    "\x1bPq\x1b\\",
    "\x1b\x1b[A",
    "\x1bx",
    "\x1b\x7f",
    "\x1b[[A",
    "\x1b[2$",
    "\x1bO5P",
    "\x1b[57444;9u",
    "\x1b[57363;1:3u",
    "\x1b[233;;233u",
    "\x1b[101;;8364u",
    "\xc3\xa9",
    "\x7f",
    "\r\n",
    "\x1b",
    "\x1b[",
    "\x1bO",
    "\x1b]",
};

// Bytes that matter to the decoder come up more often than others.
uint8_t interestingByte(std::mt19937& rng) {
  static const uint8_t bytes[] = {0x1b, '[',  'O',  ';',  ':',  '~', 'u',  '?', '<', '$',
                                  '0',  '1',  '2',  '5',  '9',  'A', 'D',  'M', 'P', '\\',
                                  0x07, 0x00, 0x7f, 0x80, 0xff, ']', '\r', 'c', '^', '@'};
  if (rng() % 4 == 0) return static_cast<uint8_t>(rng());
  return bytes[rng() % sizeof bytes];
}

std::string mutated(std::mt19937& rng, std::string s) {
  const int edits = static_cast<int>(rng() % 3);
  for (int i = 0; i < edits && !s.empty(); ++i) {
    const size_t at = rng() % s.size();
    switch (rng() % 5) {
      case 0:
        s.resize(at);
        break;  // cut short
      case 1:
        s[at] = static_cast<char>(interestingByte(rng));
        break;  // replace a byte
      case 2:
        s.insert(at, 1, static_cast<char>(interestingByte(rng)));
        break;
      case 3:
        s.erase(at, 1);
        break;
      default:
        s.insert(at, std::string(rng() % 600, static_cast<char>(interestingByte(rng))));
    }
  }
  return s;
}

std::string randomMessage(std::mt19937& rng) {
  std::string message;
  const int pieces = 1 + static_cast<int>(rng() % 40);
  for (int i = 0; i < pieces; ++i) {
    switch (rng() % 4) {
      case 0:
        message += kFragments[rng() % std::size(kFragments)];
        break;
      case 1:
        message += mutated(rng, kFragments[rng() % std::size(kFragments)]);
        break;
      case 2:
        for (int k = static_cast<int>(rng() % 30); k > 0; --k)
          message += static_cast<char>(interestingByte(rng));
        break;
      default:
        message += "plain text ";
    }
  }
  return message;
}

uint64_t fuzzSeed() {
  if (const char* text = std::getenv("SLATE_SEED")) return std::strtoull(text, nullptr, 10);
  return std::random_device{}();
}

void feedText(KeyDecoder& decoder, const std::string& bytes, std::deque<DecodedEvent>& out) {
  decoder.feed(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out);
}

void checkAccounts(const KeyDecoder& decoder, uint64_t fed) {
  ASSERT_EQ(decoder.decodedBytes() + decoder.droppedBytes() + decoder.pendingBytes(), fed);
}

}  // namespace

// Random and mutated input: the decoder never crashes, never keeps anything pending once
// settled, accounts for every byte, and decodes the same whatever the reads look like.
TEST(KeyDecoderFuzz, RandomAndMutatedInput) {
  const uint64_t seed = fuzzSeed();
  SCOPED_TRACE("reproduce with SLATE_SEED=" + std::to_string(seed));
  std::mt19937 rng(static_cast<std::mt19937::result_type>(seed));

  KeyDecoder whole;    // each message in one read
  KeyDecoder chunked;  // the same messages in random pieces
  std::deque<DecodedEvent> wholeEvents, chunkedEvents;
  uint64_t fed = 0;
  const uint64_t target = 3'000'000;
  for (int message = 0; fed < target; ++message) {
    const std::string bytes = randomMessage(rng);
    fed += bytes.size();
    feedText(whole, bytes, wholeEvents);
    for (size_t at = 0; at < bytes.size();) {
      const size_t count = std::min<size_t>(bytes.size() - at, 1 + rng() % 12);
      chunked.feed(reinterpret_cast<const uint8_t*>(bytes.data()) + at, count, chunkedEvents);
      at += count;
    }
    ASSERT_NO_FATAL_FAILURE(checkAccounts(whole, fed)) << "message " << message;
    ASSERT_NO_FATAL_FAILURE(checkAccounts(chunked, fed)) << "message " << message;
    ASSERT_EQ(whole.pendingBytes(), chunked.pendingBytes()) << "message " << message;
    if (!whole.inPaste()) {
      ASSERT_LE(whole.pendingBytes(), 512u) << "message " << message;
    }

    if (rng() % 3 == 0) {  // the escape time-out passes
      whole.flushPending(wholeEvents);
      chunked.flushPending(chunkedEvents);
      ASSERT_FALSE(whole.hasPending()) << "message " << message;
      ASSERT_FALSE(chunked.hasPending()) << "message " << message;
      ASSERT_NO_FATAL_FAILURE(checkAccounts(whole, fed));
      // The next key is decoded as that key, whatever came before (a Windows key left
      // down is let go first).
      for (KeyDecoder* decoder : {&whole, &chunked}) {
        std::deque<DecodedEvent> next;
        feedText(*decoder, "q", next);
        ASSERT_EQ(describeEvents({next.back()}), "+51/71") << "message " << message;
        next.pop_back();
        for (const DecodedEvent& event : next) {
          ASSERT_TRUE(describeEvents({event}) == "-5B/00" || describeEvents({event}) == "-5C/00")
              << describeEvents({event}) << " message " << message;
        }
      }
      ++fed;
    }
    ASSERT_EQ(wholeEvents.size(), chunkedEvents.size()) << "message " << message;
    for (size_t i = 0; i < wholeEvents.size(); ++i) {
      const DecodedEvent& a = wholeEvents[i];
      const DecodedEvent& b = chunkedEvents[i];
      const KeyEventRecord& ka = a.record.key;
      const KeyEventRecord& kb = b.record.key;
      const bool same = a.record.eventType == b.record.eventType && a.paste == b.paste &&
                        ka.keyDown == kb.keyDown && ka.repeatCount == kb.repeatCount &&
                        ka.virtualKeyCode == kb.virtualKeyCode && ka.asciiChar == kb.asciiChar &&
                        ka.controlKeyState == kb.controlKeyState;
      ASSERT_TRUE(same) << describeEvents({a}) << " / " << describeEvents({b}) << " message "
                        << message;
      if (a.record.eventType == KEY_EVENT) {
        ASSERT_EQ(a.record.key.repeatCount, 1);
        ASSERT_EQ(a.record.key.controlKeyState & ~0x1Au, 0u);
      } else {
        ASSERT_EQ(a.record.eventType, PASTE_EVENT);
        ASSERT_FALSE(a.paste.empty());
      }
    }
    wholeEvents.clear();
    chunkedEvents.clear();
  }
}

#endif
