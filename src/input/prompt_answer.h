#pragma once

#include <cstddef>
#include <string>

#include "core/char_rule.h"

// The answer being typed under a status-line prompt, with a cursor in it. Typed bytes and
// Backspace act at the cursor, which stays at the end until a key moves it. The cursor moves
// and deletes by the text unit the screen shows (a byte, or a UTF-8 character); typed bytes
// go in one by one either way.
class PromptAnswer {
 public:
  // Longer answers than this take no more bytes.
  static constexpr size_t Longest = 4096;

  explicit PromptAnswer(std::string initial, TextUnit unit = TextUnit::Byte);

  const std::string& text() const { return text_; }
  size_t cursor() const { return cursor_; }

  // False when the answer is already as long as it may be: the byte is not taken.
  bool type(char byte);
  void backspace();
  void deleteAtCursor();
  void deleteToEnd();
  void clear();
  void left();
  void right();
  void home() { cursor_ = 0; }
  void end() { cursor_ = text_.size(); }
  // Puts another answer in its place (an earlier one), with the cursor at its end.
  void replace(const std::string& text);

  // The first byte of the answer shown when `room` cells follow the prompt: the cursor is
  // always in view, and an answer that fits is shown whole.
  size_t firstShown(size_t room);
  // The cells the answer's bytes [from, to) take on the screen.
  size_t columns(size_t from, size_t to) const;

 private:
  ByteView bytes() const { return ByteView::of(text_.data(), text_.size()); }
  // Where an edit made the bytes around the caret one character, the caret goes after it:
  // it never stands inside a character.
  void settle();

  TextUnit unit_;
  std::string text_;
  size_t cursor_;
  size_t first_ = 0;
};
