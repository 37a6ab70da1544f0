#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "platform/file_io.h"

// The open file a large document was read from, for the parts of it the document has not
// loaded. Every read goes through whole blocks, and each block's checksum is taken the first
// time any reader sees it; a later read that finds other bytes (or fewer: the file shrank)
// fails, so text from the file as it was is never mixed with text from the file as it is.
// A counting thread reads the file once from the start, counting terminators per block, so
// that line numbers and line starts can be found without reading everything again.
class FileSource {
 public:
  static constexpr size_t kBlock = size_t{1} << 20;
  // The block size of sources made from now on (tests make it small).
  static inline size_t blockBytes = kBlock;

  // Takes the open file; size is its size when opened, the document's part of it. The count
  // begins at once, or, with countLater, at startCount (so that the first screen's read does
  // not wait behind the count's on a cold disk).
  FileSource(std::unique_ptr<platform::InputFile> file, uint64_t size, bool countLater = false);
  ~FileSource();
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  uint64_t size() const { return size_; }
  // Which file this is, as opened.
  const platform::FileStamp& fileStamp() const { return file_->stamp(); }
  // Copies [offset, offset + n) to out; false when the file no longer holds those bytes.
  bool read(uint64_t offset, size_t n, char* out);
  // The byte at offset; -1 when it cannot be read.
  int byteAt(uint64_t offset);

  // ---- the count ----
  void startCount();
  // Bytes counted so far from the start; size() once the count is complete.
  uint64_t countedBytes() const;
  bool countDone() const { return countedBytes() == size_; }
  // Terminators in the bytes counted so far.
  uint64_t countedTerminators() const;
  // Set once the counting thread found the file changed or unreadable.
  bool countFailed() const { return failed_.load(std::memory_order_acquire); }
  // Blocks until the count has passed offset (or failed); false when it failed.
  bool waitCounted(uint64_t offset);
  // Terminators that begin before x: x's line number when x is a line start. The count
  // must have passed x. -1 when the file cannot be read.
  int64_t terminatorsBefore(uint64_t x);
  // Terminators before the block that holds offset, when the count has passed it; else -1.
  int64_t terminatorsBeforeBlockOf(uint64_t offset) const;
  // The start of the line k lines after the line start a (k >= 0). -1 when the file cannot
  // be read or has fewer lines.
  int64_t lineStartAfter(uint64_t a, int64_t k);
  // Lines in [a, b) for line starts a and b, a last line without terminator included.
  int64_t linesBetween(uint64_t a, uint64_t b);

  // Looks for the bytes of a needle (n > 0) in [from, to), forward or backward, calling
  // found with each occurrence's offset in that order until it answers false; progress is
  // called now and then with the bytes looked through and answers whether to go on. Returns
  // 1 when found stopped it, 0 at the end, -1 when stopped by progress, -2 when the file no
  // longer holds the bytes.
  int scan(uint64_t from, uint64_t to, const char* needle, size_t n, bool forward,
           const std::function<bool(uint64_t)>& found,
           const std::function<bool(uint64_t)>& progress);

  // Whether the file as it is now is still what was opened: not shorter than the document's
  // part. grown tells bytes written after it.
  bool stillWhole(uint64_t& grown) const;

 private:
  bool readBlock(size_t block, char* out, size_t& used);
  void countAll();
  size_t blockSize(size_t block) const;

  std::unique_ptr<platform::InputFile> file_;
  uint64_t size_;
  size_t block_ = blockBytes;
  size_t blocks_;
  std::unique_ptr<std::atomic<uint64_t>[]> sums_;  // 0 until the block was first read
  std::vector<uint64_t> before_;                   // terminators begun before each block
  std::vector<uint8_t> skip_;  // the block starts with the second byte of a pair
  std::atomic<size_t> counted_{0};
  std::atomic<bool> failed_{false};
  std::atomic<bool> stop_{false};
  std::unique_ptr<char[]> cache_;  // the block read last by read()
  size_t cached_ = SIZE_MAX;
  size_t cacheUsed_ = 0;
  std::thread counter_;
};

// Checksum of a block's bytes, never 0.
uint64_t blockChecksum(const char* data, size_t n);

// Counts the terminators that begin in [p, end), the way the loader splits lines (CR LF and
// LF CR are one terminator each). openAtEnd is the byte at end - 1 when a terminator begins
// there (its second byte, if any, lies beyond end), else 0.
uint64_t countTerminators(const char* p, const char* end, char& openAtEnd);
