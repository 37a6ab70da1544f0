#include "input/prompt_answer.h"

PromptAnswer::PromptAnswer(std::string initial) : text_(std::move(initial)) {
  if (text_.size() > Longest) text_.resize(Longest);
  cursor_ = text_.size();
}

void PromptAnswer::type(char byte) {
  if (text_.size() >= Longest) return;
  text_.insert(text_.begin() + static_cast<std::ptrdiff_t>(cursor_), byte);
  ++cursor_;
}

void PromptAnswer::backspace() {
  if (cursor_ == 0) return;  // the prompt itself is never erased
  text_.erase(--cursor_, 1);
}

void PromptAnswer::deleteAtCursor() {
  if (cursor_ < text_.size()) text_.erase(cursor_, 1);
}

void PromptAnswer::deleteToEnd() {
  text_.erase(cursor_);
}

void PromptAnswer::clear() {
  text_.clear();
  cursor_ = 0;
}

void PromptAnswer::left() {
  if (cursor_ > 0) --cursor_;
}

void PromptAnswer::right() {
  if (cursor_ < text_.size()) ++cursor_;
}

void PromptAnswer::replace(const std::string& text) {
  text_ = text.substr(0, Longest);
  cursor_ = text_.size();
}

size_t PromptAnswer::firstShown(size_t room) {
  if (text_.size() <= room || room == 0) {
    first_ = 0;  // the caret then stands after the answer, or on the last cell when it is full
    return first_;
  }
  if (first_ > cursor_) first_ = cursor_;
  if (cursor_ - first_ >= room) first_ = cursor_ - room + 1;
  if (first_ > text_.size() - room + 1) first_ = text_.size() - room + 1;  // no blank tail
  return first_;
}
