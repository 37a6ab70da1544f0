#pragma once

#include <cstddef>
#include <string>

// The answer being typed under a status-line prompt, with a cursor in it. Typed bytes and
// Backspace act at the cursor, which stays at the end until a key moves it.
class PromptAnswer {
 public:
  // Longer answers than this take no more bytes.
  static constexpr size_t Longest = 4096;

  explicit PromptAnswer(std::string initial);

  const std::string& text() const { return text_; }
  size_t cursor() const { return cursor_; }

  void type(char byte);
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

 private:
  std::string text_;
  size_t cursor_;
  size_t first_ = 0;
};
