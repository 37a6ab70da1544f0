#include "input/prompt_answer.h"

PromptAnswer::PromptAnswer(std::string initial, TextUnit unit)
    : unit_(unit), text_(std::move(initial)) {
  if (text_.size() > Longest) text_.resize(Longest);
  cursor_ = text_.size();
}

bool PromptAnswer::type(char byte) {
  if (text_.size() >= Longest) return false;
  text_.insert(text_.begin() + static_cast<std::ptrdiff_t>(cursor_), byte);
  ++cursor_;
  // A character typed before a combining mark takes the mark.
  settle();
  return true;
}

void PromptAnswer::settle() {
  if (cursor_ < text_.size()) {
    const size_t start = characterStart(unit_, bytes(), cursor_);
    if (start != cursor_) cursor_ = nextCharBoundary(unit_, bytes(), start);
  }
}

void PromptAnswer::backspace() {
  if (cursor_ == 0) return;  // the prompt itself is never erased
  const size_t start = previousCharBoundary(unit_, bytes(), cursor_);
  text_.erase(start, cursor_ - start);
  cursor_ = start;
  settle();  // stray bytes on either side may now make one character
}

void PromptAnswer::deleteAtCursor() {
  if (cursor_ >= text_.size()) return;
  text_.erase(cursor_, nextCharBoundary(unit_, bytes(), cursor_) - cursor_);
  settle();
}

void PromptAnswer::deleteToEnd() {
  text_.erase(cursor_);
}

void PromptAnswer::clear() {
  text_.clear();
  cursor_ = 0;
}

void PromptAnswer::left() {
  if (cursor_ > 0) cursor_ = previousCharBoundary(unit_, bytes(), cursor_);
}

void PromptAnswer::right() {
  if (cursor_ < text_.size()) cursor_ = nextCharBoundary(unit_, bytes(), cursor_);
}

void PromptAnswer::replace(const std::string& text) {
  text_ = text.substr(0, Longest);
  cursor_ = text_.size();
}

size_t PromptAnswer::columns(size_t from, size_t to) const {
  if (unit_ == TextUnit::Byte) return to - from;
  return static_cast<size_t>(
      columnOfByte(unit_, 0, ByteView::of(text_.data() + from, to - from), to - from));
}

size_t PromptAnswer::firstShown(size_t room) {
  if (columns(0, text_.size()) <= room || room == 0) {
    first_ = 0;  // the caret then stands after the answer, or on the last cell when it is full
    return first_;
  }
  if (first_ > cursor_) first_ = cursor_;
  // The answer may have changed under the first shown byte: a typed byte that completes a
  // character makes it part of one.
  first_ = characterStart(unit_, bytes(), first_);
  while (first_ < cursor_ && columns(first_, cursor_) >= room)
    first_ = nextCharBoundary(unit_, bytes(), first_);
  // No blank tail: the answer's end and the caret after it fill the room.
  while (first_ > 0) {
    const size_t earlier = previousCharBoundary(unit_, bytes(), first_);
    if (columns(earlier, text_.size()) + 1 > room) break;
    first_ = earlier;
  }
  return first_;
}
