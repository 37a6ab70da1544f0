#pragma once

#include <memory>
#include <optional>
#include <string>

// The system clipboard as one NUL-terminated byte text that can be replaced and read.
class ClipboardStore {
 public:
  virtual ~ClipboardStore() = default;
  // True when the clipboard took the text.
  virtual bool put(const char* text) = 0;
  // A copy of the clipboard's text, or null when it holds none or cannot be read.
  virtual std::unique_ptr<char[]> get() = 0;
};

// A clipboard in memory, for tests and as the last resort.
class MemoryClipboard : public ClipboardStore {
 public:
  bool put(const char* text) override;
  std::unique_ptr<char[]> get() override;

  std::optional<std::string> text;
  bool refuse = false;  // acts as a busy clipboard
};
