#include "input/prompt_history.h"

#include <algorithm>

void PromptHistory::remember(PromptKind kind, const std::string& answer) {
  if (answer.empty()) return;
  std::deque<std::string>& list = answers_[static_cast<int>(kind)];
  list.erase(std::remove(list.begin(), list.end(), answer), list.end());
  list.push_front(answer);
  if (list.size() > Kept) list.pop_back();
}

// An answer equal to the one shown is passed over: Up always changes what is shown.
bool HistoryWalk::older(const std::string& current, std::string& shown) {
  long i = index_ + 1;
  while (i < static_cast<long>(answers_.size()) && answers_[static_cast<size_t>(i)] == current) ++i;
  if (i >= static_cast<long>(answers_.size())) return false;
  if (index_ < 0) typed_ = current;
  index_ = i;
  shown = answers_[static_cast<size_t>(i)];
  return true;
}

bool HistoryWalk::newer(const std::string& current, std::string& shown) {
  if (index_ < 0) return false;
  long i = index_ - 1;
  while (i >= 0 && answers_[static_cast<size_t>(i)] == current) --i;
  index_ = i;
  shown = i < 0 ? typed_ : answers_[static_cast<size_t>(i)];
  return true;
}
