#include "input/prompt.h"

#include <cstring>

#include "input/keyboard.h"
#include "screen/screen.h"

Answer askYesNo(Keyboard& keyboard) {
  for (;;) {
    int c = keyboard.inputHandle.readChar();
    if (c < 0) return Answer::Gone;
    c |= 0x20;
    if (c == 'y') return Answer::Yes;
    if (c == 'n') return Answer::No;
  }
}

Answer askQuestion(Screen& screen, Keyboard& keyboard, const char* question) {
  screen.showMessage(question);
  return askYesNo(keyboard);
}

std::unique_ptr<char[]> promptString(Screen& screen, Keyboard& keyboard, const char* prompt,
                                     const char* initial) {
  const size_t columns = static_cast<size_t>(screen.columns);
  std::unique_ptr<char[]> buffer(new char[columns + 1]);
  size_t promptLength = std::strlen(prompt);
  if (promptLength > columns) promptLength = columns;
  std::memcpy(buffer.get(), prompt, promptLength);
  size_t p = promptLength;
  for (const char* c = initial; *c && p < columns; ++c) buffer[p++] = *c;  // cut when too long
  buffer[p] = '\0';

  for (;;) {
    screen.showMessage(buffer.get());
    int c = keyboard.inputHandle.readChar();
    if (c < 0) {
      p = promptLength;
      break;
    }
    if (c == 13) break;
    if (c == 8) {
      if (p > promptLength) buffer[--p] = '\0';
    } else if (p < columns) {
      buffer[p++] = static_cast<char>(c);
      buffer[p] = '\0';
    }
  }
  std::unique_ptr<char[]> answer(new char[p - promptLength + 1]);
  std::memcpy(answer.get(), buffer.get() + promptLength, p - promptLength);
  answer[p - promptLength] = '\0';
  return answer;
}
