#pragma once

#include <deque>
#include <string>

// The kinds of question a prompt asks; each keeps its own earlier answers.
enum class PromptKind { Search, Replacement, FileName, LineNumber, Count };

// Earlier answers of each kind, newest first, for this run only.
class PromptHistory {
 public:
  static constexpr size_t Kept = 100;

  void remember(PromptKind kind, const std::string& answer);
  const std::deque<std::string>& answers(PromptKind kind) const {
    return answers_[static_cast<int>(kind)];
  }

 private:
  std::deque<std::string> answers_[static_cast<int>(PromptKind::Count)];
};

// Walks one kind's earlier answers from a prompt: Up goes back, Down forward, and past the
// newest comes what was typed before the walk began.
class HistoryWalk {
 public:
  explicit HistoryWalk(const std::deque<std::string>& answers) : answers_(answers) {}

  // The answer to show instead of `current`, or false when there is no other.
  bool older(const std::string& current, std::string& shown);
  bool newer(const std::string& current, std::string& shown);

 private:
  const std::deque<std::string>& answers_;
  long index_ = -1;  // -1: the answer being typed
  std::string typed_;
};
