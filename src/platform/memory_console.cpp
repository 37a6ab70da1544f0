#include "platform/memory_console.h"

#include "platform/key_codes.h"

namespace console {

MemoryConsole::MemoryConsole(int columns, int rows, uint16_t attributes)
    : width(columns),
      height(rows),
      startAttributes(attributes),
      cells(static_cast<size_t>(columns) * rows, Cell{' ', attributes, byteCell(' ')}) {}

ScreenBufferInfo MemoryConsole::screenBufferInfo() {
  return ScreenBufferInfo{static_cast<int16_t>(width), static_cast<int16_t>(height),
                          startAttributes};
}

size_t MemoryConsole::cellIndex(Coord at) const {
  return static_cast<size_t>(at.y) * width + at.x;
}

void MemoryConsole::fillOutputCharacter(uint8_t ch, uint32_t count, Coord start) {
  for (size_t i = cellIndex(start); count > 0 && i < cells.size(); ++i, --count) {
    cells[i].ch = ch;
    cells[i].text = byteCell(ch);
  }
}

void MemoryConsole::fillOutputAttribute(uint16_t attribute, uint32_t count, Coord start) {
  ++attributeFills;
  for (size_t i = cellIndex(start); count > 0 && i < cells.size(); ++i, --count)
    cells[i].attr = attribute;
}

void MemoryConsole::writeOutputCharacter(const uint8_t* bytes, uint32_t count, Coord start) {
  ++textWrites;
  for (size_t i = cellIndex(start); count > 0 && i < cells.size(); ++i, --count) {
    cells[i].text = byteCell(*bytes);
    cells[i].ch = *bytes++;
  }
}

void MemoryConsole::writeOutputText(const TextCell* text, uint32_t count, Coord start) {
  ++textWrites;
  for (size_t i = cellIndex(start); count > 0 && i < cells.size(); ++i, --count) {
    cells[i].text = *text;
    cells[i].ch = text->length > 0 ? static_cast<uint8_t>(text->bytes[0]) : ' ';
    ++text;
  }
}

DisplayMode MemoryConsole::switchDisplayMode() {
  if (hasModes)
    shownAs = shownAs == DisplayMode::Utf8 ? DisplayMode::CodePage437 : DisplayMode::Utf8;
  return shownAs;
}

void MemoryConsole::setCursorPosition(Coord position) {
  cursor = position;
}

uint32_t MemoryConsole::numberOfInputEvents() {
  uint32_t n = 0;
  for (const Entry& e : queue) {
    if (e.pause) break;
    ++n;
  }
  return n;
}

uint32_t MemoryConsole::waitForInput(uint32_t milliseconds) {
  while (!queue.empty() && queue.front().pause) {
    Entry& front = queue.front();
    if (milliseconds != INFINITE && milliseconds <= front.pause) {  // a tie times out
      clock += milliseconds;
      front.pause -= milliseconds;
      if (front.pause == 0) queue.pop_front();
      return WAIT_TIMEOUT;
    }
    clock += front.pause;
    if (milliseconds != INFINITE) milliseconds -= front.pause;
    queue.pop_front();
  }
  if (!queue.empty() || milliseconds == INFINITE) return WAIT_OBJECT_0;
  clock += milliseconds;
  return WAIT_TIMEOUT;
}

bool MemoryConsole::readInput(InputRecord& record) {
  while (!queue.empty() && queue.front().pause) {
    clock += queue.front().pause;
    queue.pop_front();
  }
  if (queue.empty()) {
    gone = true;
    return false;
  }
  record = queue.front().record;
  currentPaste = std::move(queue.front().paste);
  queue.pop_front();
  return true;
}

int MemoryConsole::readChar() {
  return nextInput(false).ch;
}

PromptInput MemoryConsole::readPromptInput() {
  return nextInput(true);
}

PromptInput MemoryConsole::nextInput(bool keys) {
  for (;;) {
    InputRecord record;
    if (!readInput(record)) return PromptInput{-1, 0, 0};
    if (keys && record.eventType == WINDOW_BUFFER_SIZE_EVENT) return PromptInput{-1, 0, 0, true};
    const KeyEventRecord& key = record.key;
    if (int made; record.eventType == KEY_EVENT && altCodeRead.take(key, made)) {
      if (made >= 0) return PromptInput{made, 0, 0};
      continue;
    }
    if (record.eventType != KEY_EVENT || !key.keyDown || key.repeatCount == 0) continue;
    if (key.asciiChar == 0 && !keys) continue;
    if (key.repeatCount > 1) {  // the rest of the repeat stays queued
      Entry rest{record, 0, {}};
      --rest.record.key.repeatCount;
      queue.push_front(rest);
    }
    if (key.asciiChar == 0) return PromptInput{-1, key.virtualKeyCode, key.controlKeyState};
    return PromptInput{key.asciiChar, 0, 0};
  }
}

bool MemoryConsole::promptInputWaiting() {
  while (!queue.empty() && !queue.front().pause) {
    const InputRecord& record = queue.front().record;
    if (record.eventType == WINDOW_BUFFER_SIZE_EVENT) return true;
    if (record.eventType == KEY_EVENT && record.key.keyDown && record.key.repeatCount > 0)
      return true;
    if (record.eventType == KEY_EVENT && record.key.virtualKeyCode == vk::Menu &&
        altCodeRead.pending())
      return true;  // the release that gives the character typed by its code
    queue.pop_front();
  }
  return queue.empty();  // nothing left: the read finds the input gone
}

const char* MemoryConsole::pastedText(size_t& length) {
  length = currentPaste.size();
  return currentPaste.c_str();
}

void MemoryConsole::pushKey(uint16_t virtualKeyCode, uint8_t ch, uint32_t controlKeyState,
                            uint16_t repeatCount) {
  InputRecord record{};
  record.eventType = KEY_EVENT;
  record.key = KeyEventRecord{1, repeatCount, virtualKeyCode, ch, controlKeyState};
  pushRecord(record);
}

void MemoryConsole::pushKeyUp(uint16_t virtualKeyCode, uint32_t controlKeyState) {
  InputRecord record{};
  record.eventType = KEY_EVENT;
  record.key = KeyEventRecord{0, 1, virtualKeyCode, 0, controlKeyState};
  pushRecord(record);
}

void MemoryConsole::pushRecord(const InputRecord& record) {
  queue.push_back(Entry{record, 0, {}});
}

void MemoryConsole::pushPaste(const std::string& text) {
  InputRecord record{};
  record.eventType = PASTE_EVENT;
  queue.push_back(Entry{record, 0, text});
}

void MemoryConsole::pushPause(uint32_t milliseconds) {
  if (milliseconds == 0) return;
  InputRecord record{};
  queue.push_back(Entry{record, milliseconds, {}});
}

void MemoryConsole::resize(int newWidth, int newHeight) {
  // A buffer that keeps its size keeps what it holds (the terminal backend paints the
  // terminal again on its own).
  if (newWidth != width || newHeight != height)
    cells.assign(static_cast<size_t>(newWidth) * newHeight,
                 Cell{' ', startAttributes, byteCell(' ')});
  width = newWidth;
  height = newHeight;
  InputRecord record{};
  record.eventType = WINDOW_BUFFER_SIZE_EVENT;
  pushRecord(record);
}

std::string MemoryConsole::rowText(int row) const {
  std::string text;
  for (int x = 0; x < width; ++x) {
    const TextCell& cell = cells[static_cast<size_t>(row) * width + x].text;
    text.append(cell.bytes, cell.length);
  }
  return text;
}

}  // namespace console
