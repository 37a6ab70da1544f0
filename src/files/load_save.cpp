// Moving the document between memory and its file.
#include "files/load_save.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <vector>

#include "core/editor.h"
#include "platform/file_io.h"

namespace files {

size_t loadBlockSize = size_t{16} << 20;
size_t writeBufferSize = size_t{1} << 20;

}  // namespace files

namespace {

// A document read from a file, not yet handed to the editor: its lines in file order, each
// pointing into the arena blocks.
struct LoadedText {
  Stack<TextLine> lines;
  std::vector<ArenaBlock> arena;
  int32_t firstEnding = -1;
};

// Where the next byte c lies at or after a position, remembering the last answer so that
// every byte of a block is searched once.
class ByteFinder {
 public:
  ByteFinder(const char* data, size_t used, char c) : data_(data), used_(used), c_(c) {}
  size_t from(size_t p) {
    if (found_ < p || !valid_) {
      const void* hit = std::memchr(data_ + p, c_, used_ - p);
      found_ = hit ? static_cast<size_t>(static_cast<const char*>(hit) - data_) : used_;
      valid_ = true;
    }
    return found_;
  }

 private:
  const char* data_;
  size_t used_;
  char c_;
  size_t found_ = 0;
  bool valid_ = false;
};

bool addLine(LoadedText& out, char* text, size_t length, uint8_t endingSize, int32_t ending,
             std::string& reason) {
  if (length > static_cast<size_t>(INT32_MAX) - 2) {
    reason = "Line too long";
    return false;
  }
  if (out.lines.count() >= static_cast<size_t>(INT32_MAX) - 2) {
    reason = "Too many lines";
    return false;
  }
  out.lines.push(TextLine{text, static_cast<int32_t>(length), endingSize, 0});
  if (out.firstEnding < 0) out.firstEnding = ending;
  return true;
}

// Splits the bytes [0, used) of a block into lines. A line whose terminator might continue
// into the next block (a CR or LF that is the last byte read, before the end of the file)
// is left for the next block. Returns false on a line that cannot be held; otherwise p is
// where the unfinished rest begins.
bool splitBlock(LoadedText& out, char* data, size_t used, bool atEnd, size_t& p,
                std::string& reason) {
  ByteFinder lf(data, used, '\n');
  ByteFinder cr(data, used, '\r');
  p = 0;
  for (;;) {
    size_t e = std::min(lf.from(p), cr.from(p));
    if (e == used) break;
    bool pair;
    if (e + 1 < used) {
      pair = data[e + 1] == (data[e] == '\n' ? '\r' : '\n');
    } else if (atEnd) {
      pair = false;  // a CR or LF as the file's last byte is a terminator of its own
    } else {
      break;
    }
    int32_t ending = data[e] == '\n' ? (pair ? 3 : 0) : (pair ? 1 : 2);
    uint8_t endingSize = pair ? 2 : 1;
    if (!addLine(out, data + p, e - p, endingSize, ending, reason)) return false;
    p = e + endingSize;
  }
  if (atEnd && p < used) {  // the last line has no terminator: it gets an LF
    data[used] = '\n';
    if (!addLine(out, data + p, used - p, 1, 0, reason)) return false;
    p = used;
  }
  return true;
}

// Reads the whole file into arena blocks. A line left unfinished at the end of a block is
// copied to the start of the next; a block that holds no finished line is dropped once its
// bytes have moved on, so a long line is never held twice for long.
bool readLines(platform::InputFile& file, LoadedText& out, std::string& reason) {
  const size_t blockSize = std::max<size_t>(files::loadBlockSize, 1);
  const uint64_t expected = file.size();
  uint64_t consumed = 0;
  const char* carryFrom = nullptr;
  size_t carry = 0;
  bool previousHoldsLines = true;
  bool atEnd = false;
  while (!atEnd) {
    uint64_t left = expected > consumed ? expected - consumed : 0;
    size_t room;
    if (left > 0 && left < SIZE_MAX / 2 && (left <= blockSize || !previousHoldsLines)) {
      // The end of the file, or a line longer than a block: the rest of the file, as far as
      // its size tells, goes into this block, so the long line is copied only once.
      room = static_cast<size_t>(left);
    } else if (expected == 0 && consumed == 0) {
      room = std::min<size_t>(blockSize, 1 << 16);  // empty, or a size the file does not tell
    } else {
      room = std::max(blockSize, carry);
    }
    // One byte more to see the end of the file, and one for the LF a last line may get.
    size_t capacity = carry + room + 2;
    char* data = newArenaBlock(out.arena, capacity);
    out.arena.back().loaded = true;
    if (carry > 0) std::memcpy(data, carryFrom, carry);
    if (!previousHoldsLines) out.arena.erase(out.arena.end() - 2);

    size_t used = carry;
    while (used < capacity - 1) {
      int64_t got = file.read(data + used, capacity - 1 - used, reason);
      if (got < 0) return false;
      if (got == 0) {
        atEnd = true;
        break;
      }
      used += static_cast<size_t>(got);
      consumed += static_cast<uint64_t>(got);
    }

    const size_t linesBefore = out.lines.count();
    size_t p = 0;
    if (!splitBlock(out, data, used, atEnd, p, reason)) return false;
    previousHoldsLines = out.lines.count() > linesBefore;
    carryFrom = data + p;
    carry = used - p;
  }
  if (!previousHoldsLines) out.arena.pop_back();
  return true;
}

// Gathers the document's bytes into large writes.
class BufferedOutput {
 public:
  BufferedOutput(platform::FileReplacer& file, size_t capacity)
      : file_(file), capacity_(std::max<size_t>(capacity, 1)), buffer_(new char[capacity_]) {}

  void put(const char* bytes, size_t n) {
    total_ += n;
    if (n > capacity_ - used_) {
      flush();
      if (n >= capacity_) {
        if (!failed_) failed_ = !file_.write(bytes, n, reason_);
        return;
      }
    }
    std::memcpy(buffer_.get() + used_, bytes, n);
    used_ += n;
  }
  void putByte(uint8_t c) {
    ++total_;
    if (used_ == capacity_) flush();
    buffer_[used_++] = static_cast<char>(c);
  }
  // False, with the reason, once any write has failed.
  bool flush() {
    if (!failed_ && used_ > 0) failed_ = !file_.write(buffer_.get(), used_, reason_);
    used_ = 0;
    return !failed_;
  }
  const std::string& reason() const { return reason_; }
  // Every byte put, written or still gathered.
  uint64_t total() const { return total_; }

 private:
  platform::FileReplacer& file_;
  size_t capacity_;
  std::unique_ptr<char[]> buffer_;
  size_t used_ = 0;
  uint64_t total_ = 0;
  bool failed_ = false;
  std::string reason_;
};

// The document's bytes into a replacer that has begun, and the replacer's commit.
bool writeAndCommit(Editor& editor, platform::FileReplacer& file, files::WriteResult& result) {
  {
    // The lines are read where they lie, so the cursor and the view stay as they are.
    BufferedOutput out(file, files::writeBufferSize);
    for (size_t i = 0; i < editor.linesAbove.count(); ++i) {
      const TextLine& line = editor.linesAbove.data()[i];
      out.put(line.text, static_cast<size_t>(line.size()));
    }
    for (size_t i = 0; i < editor.charsBefore.count(); ++i)
      out.putByte(editor.charsBefore.data()[i].ch);
    for (size_t i = 0; i < editor.charsAfter.count(); ++i)
      out.putByte(editor.charsAfter.fromTop(i).ch);
    for (size_t i = 0; i < editor.linesBelow.count(); ++i) {
      const TextLine& line = editor.linesBelow.fromTop(i);
      out.put(line.text, static_cast<size_t>(line.size()));
    }
    if (!out.flush()) {
      result.reason = out.reason();
      return false;  // the replacer removes the temporary file
    }
    result.bytes = out.total();
  }
  const bool committed = file.commit(result.reason);
  result.targetReplaced = file.targetReplaced();
  if (result.targetReplaced) {
    result.stamp = file.stamp();
    result.changes = file.changes();
  }
  if (!committed) return false;
  editor.changed = 0;
  editor.autosavePending = 0;
  return true;
}

}  // namespace

namespace files {

bool writeDocumentFile(Editor& editor, const char* target, const char* modeTemplate,
                       WriteResult& result, uint32_t newFileMode) {
  platform::FileReplacer file;
  return file.begin(target, modeTemplate, result.reason, newFileMode) &&
         writeAndCommit(editor, file, result);
}

bool writeOwnCopy(Editor& editor, const char* target, platform::FileStamp& own,
                  std::string& reason) {
  platform::FileReplacer file;
  WriteResult result;
  // A new copy is as private as the document it copies.
  const bool written = file.beginOwnCopy(target, own, editor.fileName.get(), result.reason) &&
                       writeAndCommit(editor, file, result);
  if (result.targetReplaced) own = result.stamp;
  reason = result.reason;
  return written;
}

bool writeDocumentFile(Editor& editor, const char* target, const char* modeTemplate,
                       std::string& reason) {
  WriteResult result;
  bool written = writeDocumentFile(editor, target, modeTemplate, result);
  reason = result.reason;
  return written;
}

}  // namespace files

int Editor::loadDocument() {
  platform::InputFile file;
  std::string reason;
  LoadedText loaded;
  platform::OpenResult opened = file.open(fileName.get(), reason);
  if (opened == platform::OpenResult::NotFound) {
    fileStamp = platform::FileStamp{};  // a new file: F2 creates it
    return 0;
  }
  if (opened != platform::OpenResult::Opened || !readLines(file, loaded, reason)) {
    // What is on disk was never seen: a save must not replace it unasked.
    fileUnread = 1;
    std::string message = std::string("Cannot read ") + fileName.get() + ": " + reason;
    setPendingMessage(message.c_str());
    return 0;
  }
  fileUnread = 0;
  fileStamp = file.stamp();
  file.close();

  freeBuffer();
  initBuffer();
  textArena = std::move(loaded.arena);
  Stack<TextLine>& lines = loaded.lines;
  lineEnding = loaded.firstEnding < 0 ? 0 : loaded.firstEnding;
  if (lines.empty()) {
    lineCount = 1;  // an empty file: the one empty line initBuffer left
    return 1;
  }
  // The empty last line that follows the last terminator.
  const TextLine& last = lines.top();
  lines.push(TextLine{last.text + last.size(), 0, 0, 0});
  // Line 0 becomes the cursor line and the rest lie below it, nearest on top.
  std::reverse(lines.data(), lines.data() + lines.count());
  lines.trim();
  lineCount = static_cast<int32_t>(lines.count());
  linesBelow = std::move(lines);
  cursorLine = 0;
  unpackLine(linesBelow.pop(), 0);
  return 1;
}

int Editor::writeDocument(const char* target) {
  std::string reason;
  return files::writeDocumentFile(*this, target, nullptr, reason) ? 1 : 0;
}
