// The help page is read from the key tables, so it lists every key; it scrolls over a screen
// smaller than itself.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/editor.h"
#include "input/extra_keys.h"
#include "input/help_text.h"
#include "input/key_names.h"
#include "support/test_session.h"

namespace {

bool hasLine(const std::vector<std::string>& lines, const std::string& start,
             const std::string& end) {
  for (const std::string& line : lines)
    if (line.find(start) != std::string::npos && line.size() >= end.size() &&
        line.compare(line.size() - end.size(), end.size(), end) == 0)
      return true;
  return false;
}

std::string trimmed(std::string row) {
  return row.substr(0, row.find_last_not_of(' ') + 1);
}

}  // namespace

TEST(HelpPage, ListsEveryBindingAndEveryExtraKey) {
  const std::vector<std::string> lines = helpPageLines();
  for (const KeyBinding* row = KeyMap; row->key != 0; ++row) {
    const CommandHelp* help = describeCommand(row->command);
    ASSERT_NE(help, nullptr) << keyName(row->key) << " has no description";
    EXPECT_TRUE(hasLine(lines, keyName(row->key), help->description)) << keyName(row->key);
  }
  for (const ExtraKey* row = ExtraKeys; row->key != 0; ++row)
    EXPECT_TRUE(hasLine(lines, "  " + keyName(row->key) + " ", row->description));
  EXPECT_TRUE(hasLine(lines, "  Shift+F3 ", "find previous"));
  EXPECT_TRUE(hasLine(lines, "  Ctrl+PgUp ", "to the start of the document"));
  // In a prompt, Del goes by character in UTF-8 mode as Left and Right do.
  EXPECT_TRUE(hasLine(lines, "  Del ", "delete the character at the cursor"));
  for (const std::string& line : lines) EXPECT_LE(line.size(), 80u) << line;
}

TEST(HelpPage, ScrollsWhenTallerThanTheScreenAndLeavesTheDocument) {
  TestSession t(60, 11);  // 10 text rows
  SessionEditor editor{t};
  editor.insertChar('q');
  const std::vector<std::string> lines = helpPageLines();
  ASSERT_GT(lines.size(), 30u);
  t.console.pushKey(vk::Next, 0, 0);  // a page is 9 rows: one stays in view
  t.console.pushKey(vk::Down, 0, 0, 2);
  t.console.pushKey(vk::Up, 0, 0);
  editor.help();  // the input runs dry with the page still open
  EXPECT_EQ(trimmed(t.console.rowText(0)), lines[10]);
  EXPECT_EQ(t.console.rowText(10).rfind("Help, lines 11-20 of ", 0), 0u) << t.console.rowText(10);
  EXPECT_EQ(editor.cursorColumn, 1);
  EXPECT_EQ(editor.textDirty, 1);  // the document is drawn again at the next redraw

  for (int i = 0; i < 20; ++i) t.console.pushKey(vk::Next, 0, 0);
  t.console.gone = false;
  editor.help();  // never past the last line
  EXPECT_EQ(trimmed(t.console.rowText(9)), trimmed(lines.back().substr(0, 60)));
}
