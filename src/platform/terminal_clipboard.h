#pragma once

#include <memory>

#include "platform/clipboard_store.h"
#include "platform/console.h"

// A clipboard that also hands every text it takes to the terminal's own clipboard (OSC 52),
// so that a copy reaches the desktop even over ssh. Reading goes to the store alone: a
// terminal's clipboard cannot be read back reliably.
class TerminalClipboard : public ClipboardStore {
 public:
  TerminalClipboard(std::unique_ptr<ClipboardStore> store, console::Console& console)
      : store_(std::move(store)), console_(console) {}

  bool put(const char* text) override;
  std::unique_ptr<char[]> get() override { return store_->get(); }

 private:
  std::unique_ptr<ClipboardStore> store_;
  console::Console& console_;
};
