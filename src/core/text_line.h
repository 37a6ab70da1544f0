#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// One document line that is not the cursor line: its bytes, then its terminator bytes.
// The text is either a heap block of its own (ownsText) or a piece of the document's
// load arena, which the Editor releases as a whole.
struct TextLine {
  char* text;
  int32_t length;      // bytes of text, terminator excluded
  uint8_t endingSize;  // terminator bytes after the text: 0, 1 or 2
  uint8_t ownsText;
  uint8_t shown = 0;  // has been on the screen: stays in memory, never folded into a run

  int32_t size() const { return length + endingSize; }
};

// Whole lines of a large file that the document has not read yet: bytes [offset, offset +
// bytes) of the file, lines of them when counted. In a line stack a run stands where its
// lines would (a record whose text points at the run, with no bytes of its own), and is
// split into lines as the cursor comes near.
struct FileRun {
  uint64_t offset = 0;
  uint64_t bytes = 0;
  int64_t lines = 1;  // while not counted, the run stands for one line in the numbering
  bool counted = false;
};

constexpr uint8_t kRunText = 2;  // ownsText of a run's record

inline bool isRun(const TextLine& line) {
  return line.ownsText == kRunText;
}
inline FileRun& runOf(const TextLine& line) {
  return *reinterpret_cast<FileRun*>(line.text);
}

// One byte of the cursor line.
struct CharCell {
  uint8_t ch;
  int8_t span;  // 0, a tab's width before the cursor, SPAN_LINE_END or SPAN_BOTTOM
};

constexpr int8_t SPAN_BOTTOM = -1;
constexpr int8_t SPAN_LINE_END = -2;

constexpr TextLine kBottomLine = {nullptr, 0, 0, 0};
constexpr CharCell kBottomCell = {0, SPAN_BOTTOM};

struct LineEnding {
  const char* bytes;
  int32_t length;
};

// The terminators the editor knows, by index: LF, CR LF, CR, LF CR.
inline constexpr LineEnding LineEndings[4] = {{"\n", 1}, {"\r\n", 2}, {"\r", 1}, {"\n\r", 2}};

// A heap copy of size bytes as an owned line, the first length of them its text.
TextLine makeOwnedLine(const char* bytes, int32_t length, int32_t size);
// Gives back the line's text if the line owns it; the line then holds nothing.
void releaseText(TextLine& line);

// One block of the text arena that loaded and rebuilt lines point into. `data` and `capacity`
// say which part of the allocation holds text; a block whose capacity is known can be filled
// again once no line points into it.
struct ArenaBlock {
  std::unique_ptr<char[]> bytes;
  char* data = nullptr;
  size_t capacity = 0;
  bool loaded = false;  // holds the file's bytes as read, not text made by editing
  // Where a loaded block's bytes lie in the large file the document reads its runs from;
  // kNoOffset when not known.
  uint64_t fileOffset = kNoOffset;
  static constexpr uint64_t kNoOffset = UINT64_MAX;

  explicit ArenaBlock(char* block) : bytes(block) {}
  ArenaBlock(char* block, char* start, size_t room) : bytes(block), data(start), capacity(room) {}
  char* get() const { return bytes.get(); }
};
