// Going to a line by its number, counted from 1 as compilers and grep -n count.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "core/editor.h"
#include "input/keyboard.h"
#include "input/prompt.h"
#include "motion/line_position.h"
#include "screen/screen.h"

namespace {

// The digits in [begin, end) as a number saturated at INT32_MAX; false unless there is at
// least one byte and every byte is a digit.
bool parseNumber(const char* begin, const char* end, int32_t& value) {
  if (begin == end) return false;
  int64_t n = 0;
  for (const char* p = begin; p < end; ++p) {
    if (*p < '0' || *p > '9') return false;
    n = std::min<int64_t>(n * 10 + (*p - '0'), INT32_MAX);
  }
  value = static_cast<int32_t>(n);
  return true;
}

}  // namespace

bool parseLinePosition(const char* text, int32_t& line, int32_t& column) {
  const char* end = text + std::strlen(text);
  const char* colon = std::strchr(text, ':');
  column = 1;
  if (!parseNumber(text, colon ? colon : end, line)) return false;
  return !colon || (parseNumber(colon + 1, end, column) && column >= 1);
}

int Editor::goToLineNumber(int32_t line, int32_t column) {
  // A large file's lines past those counted have numbers once the count has reached them.
  if (line >= 1 && !countKnown() && !reachLine(line - 1)) return 0;
  const int32_t index = std::clamp(line, 1, lineCount) - 1;
  goToPosition(index, column - 1);
  const int32_t rows = screen->rows;
  if (cursorLine < topLine || cursorLine >= topLine + rows) {
    topLine = std::max(0, cursorLine - rows / 2);
    textDirty = 1;
  }
  return 1;
}

int Editor::goToLine() {
  std::unique_ptr<char[]> answer =
      promptString(*screen, *keyboard, {"go to line: ", "", PromptKind::LineNumber});
  if (keyboard->inputHandle.inputGone() || answer[0] == '\0') return 0;
  int32_t line = 0;
  int32_t column = 1;
  if (!parseLinePosition(answer.get(), line, column) || line < 1) {
    setPendingMessage((std::string("Not a line number: ") + answer.get()).c_str());
    return 0;
  }
  return goToLineNumber(line, column);
}
