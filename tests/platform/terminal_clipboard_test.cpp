#include "platform/terminal_clipboard.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/memory_console.h"

namespace {

// A terminal console as far as its clipboard goes.
class TerminalConsole : public console::MemoryConsole {
 public:
  TerminalConsole() : MemoryConsole(80, 25) {}
  bool setTerminalClipboard(const char* text, size_t length) override {
    sent.emplace_back(text, length);
    return true;
  }
  std::vector<std::string> sent;
};

TEST(TerminalClipboard, TheTerminalGetsOnlyWhatTheStoreTook) {
  TerminalConsole console;
  auto store = std::make_unique<MemoryClipboard>();
  MemoryClipboard& inner = *store;
  TerminalClipboard clipboard(std::move(store), console);

  EXPECT_TRUE(clipboard.put("a\r\nb"));
  EXPECT_EQ(console.sent, std::vector<std::string>{"a\r\nb"});
  EXPECT_EQ(*inner.text, "a\r\nb");
  EXPECT_STREQ(clipboard.get().get(), "a\r\nb");

  inner.refuse = true;
  EXPECT_FALSE(clipboard.put("c"));
  EXPECT_EQ(console.sent.size(), 1u);
  EXPECT_EQ(clipboard.get(), nullptr);
}

}  // namespace
