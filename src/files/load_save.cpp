// Moving the document between memory and its file.
#include "files/load_save.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "core/editor.h"
#include "core/file_source.h"
#include "platform/file_io.h"

namespace files {

size_t loadBlockSize = size_t{16} << 20;
#ifdef _WIN32
uint64_t largeFileSize = UINT64_MAX;  // Windows reads every file whole
#else
// Where reading a file whole takes about a tenth of a second here.
uint64_t largeFileSize = uint64_t{128} << 20;
#endif
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

// Gathers the document's bytes into large writes; progress, when set, hears how many bytes
// went out after each write.
class BufferedOutput {
 public:
  BufferedOutput(platform::FileReplacer& file, size_t capacity,
                 std::function<void(uint64_t)> progress = nullptr)
      : file_(file),
        capacity_(std::max<size_t>(capacity, 1)),
        buffer_(new char[capacity_]),
        progress_(std::move(progress)) {}

  void put(const char* bytes, size_t n) {
    total_ += n;
    if (n > capacity_ - used_) {
      flush();
      if (n >= capacity_) {
        if (!failed_) failed_ = !file_.write(bytes, n, reason_);
        if (progress_) progress_(total_);
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
    if (progress_) progress_(total_);
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
  std::function<void(uint64_t)> progress_;
};

}  // namespace

namespace {

// Copies a run's bytes from the file, each block checked against what was read first. False
// when the file no longer holds them.
bool copyRun(Editor& editor, const FileRun& run, BufferedOutput& out, uint64_t& failedAt) {
  std::unique_ptr<char[]> piece(new char[FileSource::kBlock]);
  for (uint64_t at = run.offset, end = run.offset + run.bytes; at < end;) {
    const size_t n = static_cast<size_t>(
        std::min<uint64_t>(end - at, FileSource::kBlock - at % FileSource::kBlock));
    failedAt = at;
    if (!editor.source->read(at, n, piece.get())) return false;
    out.put(piece.get(), n);
    at += n;
  }
  // A last line without terminator got an LF when read; it gets it here too.
  if (run.bytes > 0 && run.offset + run.bytes == editor.source->size()) {
    const int last = editor.source->byteAt(run.offset + run.bytes - 1);
    if (last != '\n' && last != '\r') out.put("\n", 1);
  }
  return true;
}

// Writes one record: a line's bytes, or a run's from the file. line is the record's first
// line, for the message when the file changed.
bool putRecord(Editor& editor, const TextLine& record, int64_t line, BufferedOutput& out,
               std::string& reason) {
  if (!isRun(record)) {
    out.put(record.text, static_cast<size_t>(record.size()));
    return true;
  }
  uint64_t failedAt = 0;
  const FileRun& run = runOf(record);
  if (copyRun(editor, run, out, failedAt)) return true;
  // The changed block's first line, as the count found it, when it got there.
  const int64_t runStart = editor.source->terminatorsBeforeBlockOf(run.offset);
  const int64_t changed = editor.source->terminatorsBeforeBlockOf(failedAt);
  if (runStart >= 0 && changed > runStart && changed - runStart < run.lines)
    line += changed - runStart;
  // Every save reads the same file, under whatever name it writes: none is offered.
  reason = std::string(editor.fileName.get()) + " changed on disk at line " +
           std::to_string(line + 1) + "; nothing was written";
  return false;
}

int64_t linesOf(const TextLine& record) {
  return isRun(record) ? runOf(record).lines : 1;
}

uint64_t bytesOf(const TextLine& record) {
  return isRun(record) ? runOf(record).bytes : static_cast<uint64_t>(record.size());
}

// About how many bytes the document takes in its file, for the progress of a save.
uint64_t documentBytes(const Editor& editor) {
  uint64_t bytes = editor.charsBefore.count() + editor.charsAfter.count();
  for (size_t i = 0; i < editor.linesAbove.count(); ++i)
    bytes += bytesOf(editor.linesAbove.data()[i]);
  for (size_t i = 0; i < editor.linesBelow.count(); ++i)
    bytes += bytesOf(editor.linesBelow.data()[i]);
  return bytes;
}

// The progress of a save, shown by the editor's workProgress when it has one.
std::function<void(uint64_t)> saveProgress(Editor& editor) {
  if (!editor.workProgress) return nullptr;
  const uint64_t total = documentBytes(editor);
  editor.workProgress("Saving", 0, total);
  return [&editor, total](uint64_t done) { editor.workProgress("Saving", done, total); };
}

}  // namespace

namespace {

// The document's bytes into a replacer that has begun, and the replacer's commit.
bool writeAndCommit(Editor& editor, platform::FileReplacer& file, files::WriteResult& result) {
  {
    // The lines are read where they lie, so the cursor and the view stay as they are.
    BufferedOutput out(file, files::writeBufferSize, saveProgress(editor));
    bool whole = true;
    int64_t line = 0;
    for (size_t i = 0; whole && i < editor.linesAbove.count(); ++i) {
      const TextLine& record = editor.linesAbove.data()[i];
      whole = putRecord(editor, record, line, out, result.reason);
      line += linesOf(record);
    }
    for (size_t i = 0; whole && i < editor.charsBefore.count(); ++i)
      out.putByte(editor.charsBefore.data()[i].ch);
    for (size_t i = 0; whole && i < editor.charsAfter.count(); ++i)
      out.putByte(editor.charsAfter.fromTop(i).ch);
    ++line;
    for (size_t i = 0; whole && i < editor.linesBelow.count(); ++i) {
      const TextLine& record = editor.linesBelow.fromTop(i);
      whole = putRecord(editor, record, line, out, result.reason);
      line += linesOf(record);
    }
    if (!whole) return false;  // the replacer removes the temporary file
    if (!out.flush()) {
      result.reason = out.reason();
      return false;
    }
    result.bytes = out.total();
  }
  const bool committed = file.commit(result.reason);
  result.targetReplaced = file.targetReplaced();
  if (result.targetReplaced) {
    result.stamp = file.stamp();
    result.changes = file.changes();
  }
  return committed;
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

namespace {

// Which of the LineEndings a line read from a file ends with.
int32_t endingOf(const TextLine& line) {
  const char first = line.text[line.length];
  if (line.endingSize == 2) return first == '\r' ? 1 : 3;
  return first == '\r' ? 2 : 0;
}

// A large file: the document starts as one run of the whole file, uncounted, and the empty
// line after it; the first lines are read, and the count begins beside the editor.
int openLarge(Editor& e, std::unique_ptr<platform::InputFile> file) {
  static char nothing[1] = {0};  // the text of the empty line after the last terminator
  const uint64_t size = file->size();
  e.fileUnread = 0;
  e.fileStamp = file->stamp();
  e.freeBuffer();
  e.initBuffer();
  e.source = std::make_unique<FileSource>(std::move(file), size, true);
  e.linesBelow.push(TextLine{nothing, 0, 0, 0});
  e.linesBelow.push(e.runRecord(FileRun{0, size, 1, false}));
  e.tailRun = &e.runs.back();
  e.lineCount = 2;
  const bool read = e.ensureTopLine(e.linesBelow, true);
  e.source->startCount();  // once the first screen's bytes are in
  if (!read) {
    e.fileUnread = 1;
    e.freeBuffer();
    e.initBuffer();
    e.lineCount = 1;
    return 0;
  }
  const TextLine first = e.linesBelow.pop();
  e.lineEnding = endingOf(first);
  e.unpackLine(first, 0);
  return 1;
}

}  // namespace

int Editor::loadDocument() {
  auto file = std::make_unique<platform::InputFile>();
  std::string reason;
  LoadedText loaded;
  platform::OpenResult opened = file->open(fileName.get(), reason);
  if (opened == platform::OpenResult::NotFound) {
    fileStamp = platform::FileStamp{};  // a new file: F2 creates it
    return 0;
  }
  if (opened == platform::OpenResult::Opened && file->size() >= files::largeFileSize)
    return openLarge(*this, std::move(file));
  if (opened != platform::OpenResult::Opened || !readLines(*file, loaded, reason)) {
    // What is on disk was never seen: a save must not replace it unasked.
    fileUnread = 1;
    std::string message = std::string("Cannot read ") + fileName.get() + ": " + reason;
    setPendingMessage(message.c_str());
    return 0;
  }
  fileUnread = 0;
  fileStamp = file->stamp();
  file->close();

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
