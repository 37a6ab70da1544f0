#include "core/file_source.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string_view>

#include "platform/worker_thread.h"

namespace {

char pairOf(char c) {
  return c == '\n' ? '\r' : '\n';
}

const char* findBreak(const char* p, const char* end) {
  while (p < end && *p != '\n' && *p != '\r') ++p;
  return p;
}

}  // namespace

uint64_t blockChecksum(const char* data, size_t n) {
  constexpr uint64_t kMul = 0x9E3779B97F4A7C15ull;
  uint64_t lane[4] = {n, 1, 2, 3};
  size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    for (int k = 0; k < 4; ++k) {
      uint64_t w;
      std::memcpy(&w, data + i + 8 * k, 8);
      lane[k] = ((lane[k] ^ w) * kMul) ^ (lane[k] >> 29);
    }
  }
  for (; i < n; ++i) lane[0] = (lane[0] ^ static_cast<uint8_t>(data[i])) * kMul;
  uint64_t h = lane[0] ^ (lane[1] * 3) ^ (lane[2] * 5) ^ (lane[3] * 7);
  h = (h ^ (h >> 31)) * kMul;
  return h | 1;
}

uint64_t countTerminators(const char* p, const char* end, char& openAtEnd) {
  openAtEnd = 0;
  uint64_t n = 0;
  if (p >= end) return 0;
  if (std::memchr(p, '\r', static_cast<size_t>(end - p)) == nullptr) {
    while (const void* hit = std::memchr(p, '\n', static_cast<size_t>(end - p))) {
      ++n;
      p = static_cast<const char*>(hit) + 1;
    }
    if (end[-1] == '\n') openAtEnd = '\n';
    return n;
  }
  for (;;) {
    const char* e = findBreak(p, end);
    if (e == end) return n;
    ++n;
    if (e + 1 == end) {
      openAtEnd = *e;
      return n;
    }
    p = e + (e[1] == pairOf(*e) ? 2 : 1);
  }
}

FileSource::FileSource(std::unique_ptr<platform::InputFile> file, uint64_t size, bool countLater)
    : file_(std::move(file)),
      size_(size),
      blocks_(static_cast<size_t>((size + block_ - 1) / block_)),
      sums_(new std::atomic<uint64_t>[blocks_ + 1]),
      before_(blocks_ + 1, 0),
      skip_(blocks_ + 1, 0),
      cache_(new char[block_]) {
  for (size_t i = 0; i <= blocks_; ++i) sums_[i].store(0, std::memory_order_relaxed);
  if (!countLater) startCount();
}

void FileSource::startCount() {
  if (counter_.joinable() || countDone() || countFailed()) return;
  counter_ = platform::startWorkerThread([this] { countAll(); });
  // No thread to be had: the count is made here and now, rather than waited for forever.
  if (!counter_.joinable()) countAll();
}

FileSource::~FileSource() {
  stop_.store(true);
  if (counter_.joinable()) counter_.join();
}

size_t FileSource::blockSize(size_t block) const {
  const uint64_t start = static_cast<uint64_t>(block) * block_;
  return static_cast<size_t>(size_ - start < block_ ? size_ - start : block_);
}

bool FileSource::readBlock(size_t block, char* out, size_t& used) {
  used = blockSize(block);
  const int64_t got = file_->readAt(static_cast<uint64_t>(block) * block_, out, used);
  if (got != static_cast<int64_t>(used)) return false;  // unreadable, or the file shrank
  const uint64_t sum = blockChecksum(out, used);
  uint64_t first = 0;
  if (sums_[block].compare_exchange_strong(first, sum)) return true;
  return first == sum;
}

bool FileSource::read(uint64_t offset, size_t n, char* out) {
  if (offset + n > size_) return false;
  while (n > 0) {
    const size_t block = static_cast<size_t>(offset / block_);
    if (offset % block_ == 0 && n >= blockSize(block) && cached_ != block) {
      size_t used = 0;  // a whole block goes straight where it is wanted
      if (!readBlock(block, out, used)) {
        failed_.store(true, std::memory_order_release);
        return false;
      }
      out += used;
      offset += used;
      n -= used;
      continue;
    }
    if (cached_ != block) {
      cached_ = SIZE_MAX;
      if (!readBlock(block, cache_.get(), cacheUsed_)) {
        failed_.store(true, std::memory_order_release);
        return false;
      }
      cached_ = block;
    }
    const size_t from = static_cast<size_t>(offset % block_);
    const size_t take = std::min(n, cacheUsed_ - from);
    std::memcpy(out, cache_.get() + from, take);
    out += take;
    offset += take;
    n -= take;
  }
  return true;
}

int FileSource::byteAt(uint64_t offset) {
  char c;
  return read(offset, 1, &c) ? static_cast<uint8_t>(c) : -1;
}

void FileSource::countAll() {
  std::unique_ptr<char[]> buffer(new char[block_]);
  char open = 0;  // a terminator begun on the previous block's last byte
  for (size_t i = 0; i < blocks_ && !stop_.load(std::memory_order_relaxed); ++i) {
    size_t used = 0;
    if (!readBlock(i, buffer.get(), used)) {
      failed_.store(true, std::memory_order_release);
      return;
    }
    const char* data = buffer.get();
    skip_[i] = open != 0 && data[0] == pairOf(open);
    before_[i + 1] = before_[i] + countTerminators(data + skip_[i], data + used, open);
    counted_.store(i + 1, std::memory_order_release);
  }
}

uint64_t FileSource::countedBytes() const {
  const uint64_t bytes = static_cast<uint64_t>(counted_.load(std::memory_order_acquire)) * block_;
  return bytes < size_ ? bytes : size_;
}

uint64_t FileSource::countedTerminators() const {
  return before_[counted_.load(std::memory_order_acquire)];
}

bool FileSource::waitCounted(uint64_t offset) {
  const size_t block = static_cast<size_t>(offset / block_);
  while (counted_.load(std::memory_order_acquire) <= block && !countDone()) {
    if (countFailed()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return !countFailed() || countDone();
}

int64_t FileSource::terminatorsBefore(uint64_t x) {
  if (!waitCounted(x)) return -1;
  if (x >= size_) return static_cast<int64_t>(before_[blocks_]);
  const size_t block = static_cast<size_t>(x / block_);
  const uint64_t start = static_cast<uint64_t>(block) * block_;
  const size_t part = static_cast<size_t>(x - start);
  if (part == 0) return static_cast<int64_t>(before_[block]);
  std::unique_ptr<char[]> data(new char[part]);
  if (!read(start, part, data.get())) return -1;
  char open;
  const uint64_t within =
      countTerminators(data.get() + std::min<size_t>(skip_[block], part), data.get() + part, open);
  return static_cast<int64_t>(before_[block] + within);
}

int64_t FileSource::terminatorsBeforeBlockOf(uint64_t offset) const {
  const size_t block = static_cast<size_t>(offset / block_);
  if (counted_.load(std::memory_order_acquire) < block || block > blocks_) return -1;
  return static_cast<int64_t>(before_[block]);
}

int64_t FileSource::lineStartAfter(uint64_t a, int64_t k) {
  const int64_t base = terminatorsBefore(a);
  if (base < 0) return -1;
  if (k == 0) return static_cast<int64_t>(a);
  const uint64_t target = static_cast<uint64_t>(base + k);  // the terminator that ends the line
  // The block where that terminator begins: the first whose count reaches it.
  size_t block = static_cast<size_t>(a / block_);
  for (;;) {
    if (!waitCounted(static_cast<uint64_t>(block) * block_)) return -1;
    if (block >= blocks_) return -1;
    if (before_[block + 1] >= target) break;
    ++block;
  }
  const uint64_t start = static_cast<uint64_t>(block) * block_;
  const size_t used = blockSize(block);
  std::unique_ptr<char[]> data(new char[used]);
  if (!read(start, used, data.get())) return -1;
  uint64_t seen = before_[block];
  const char* p = data.get() + skip_[block];
  const char* end = data.get() + used;
  for (;;) {
    const char* e = p < end ? findBreak(p, end) : end;
    if (e == end) return -1;
    const uint64_t at = start + static_cast<uint64_t>(e - data.get());
    int next = e + 1 < end ? static_cast<uint8_t>(e[1]) : (at + 1 < size_ ? byteAt(at + 1) : -1);
    const bool pair = next == static_cast<uint8_t>(pairOf(*e));
    if (++seen == target) return static_cast<int64_t>(at + (pair ? 2 : 1));
    p = e + (pair ? 2 : 1);
  }
}

int64_t FileSource::linesBetween(uint64_t a, uint64_t b) {
  const int64_t from = terminatorsBefore(a);
  const int64_t to = terminatorsBefore(b);
  if (from < 0 || to < 0) return -1;
  int64_t lines = to - from;
  if (b == size_ && b > a) {  // a last line without terminator is a line too
    const int last = byteAt(size_ - 1);
    if (last < 0) return -1;
    if (last != '\n' && last != '\r') ++lines;
  }
  return lines;
}

bool FileSource::stillWhole(uint64_t& grown) const {
  grown = 0;
  const int64_t now = file_->currentSize();
  if (now < 0) return true;
  if (static_cast<uint64_t>(now) < size_) return false;
  grown = static_cast<uint64_t>(now) - size_;
  return true;
}

namespace {

// Offsets of the needle's occurrences in a piece, overlapping ones included.
std::vector<size_t> occurrences(const char* data, size_t used, const char* needle, size_t n) {
  std::vector<size_t> at;
  const std::string_view bytes(data, used);
  for (size_t p = bytes.find(std::string_view(needle, n)); p != std::string_view::npos;
       p = bytes.find(std::string_view(needle, n), p + 1))
    at.push_back(p);
  return at;
}

}  // namespace

int FileSource::scan(uint64_t from, uint64_t to, const char* needle, size_t n, bool forward,
                     const std::function<bool(uint64_t)>& found,
                     const std::function<bool(uint64_t)>& progress) {
  const size_t kPiece = block_;
  std::unique_ptr<char[]> data(new char[kPiece + n]);
  uint64_t looked = 0;
  // Each piece takes n - 1 bytes more, so that an occurrence across two pieces is seen.
  uint64_t at = forward ? from : to;
  while (forward ? at < to : at > from) {
    const uint64_t start = forward ? at : (at - from > kPiece ? at - kPiece : from);
    const uint64_t end =
        forward ? std::min<uint64_t>(to, at + kPiece + n - 1) : std::min<uint64_t>(to, at + n - 1);
    const size_t used = static_cast<size_t>(end - start);
    if (!read(start, used, data.get())) return -2;
    std::vector<size_t> hits = occurrences(data.get(), used, needle, n);
    if (!forward) std::reverse(hits.begin(), hits.end());
    for (const size_t h : hits) {
      if (forward ? start + h >= at + kPiece : start + h >= at) continue;  // the next piece's
      if (!found(start + h)) return 1;
    }
    looked += forward ? std::min<uint64_t>(kPiece, to - at) : at - start;
    at = forward ? at + kPiece : start;
    if (!progress(looked)) return -1;
  }
  return 0;
}
