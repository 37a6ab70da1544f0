#include "input/help_text.h"

#include "core/editor.h"
#include "core/version.h"
#include "input/extra_keys.h"
#include "input/key_names.h"
#include "input/prompt.h"

namespace {

const CommandHelp CommandHelps[] = {
    {&Editor::moveLeft, HelpGroup::Moving, "one character left (a byte in code page 437)"},
    {&Editor::moveRight, HelpGroup::Moving, "one character right (a byte in code page 437)"},
    {&Editor::moveWordLeft, HelpGroup::Moving, "to the start of the previous word"},
    {&Editor::moveWordRight, HelpGroup::Moving, "to the start of the next word"},
    {&Editor::moveLineStart, HelpGroup::Moving, "to the start of the line"},
    {&Editor::moveLineEnd, HelpGroup::Moving, "to the end of the line"},
    {&Editor::moveUp, HelpGroup::Moving, "one line up"},
    {&Editor::moveDown, HelpGroup::Moving, "one line down"},
    {&Editor::pageUp, HelpGroup::Moving, "one page up"},
    {&Editor::pageDown, HelpGroup::Moving, "one page down"},
    {&Editor::moveDocumentStart, HelpGroup::Moving, "to the start of the document"},
    {&Editor::moveDocumentEnd, HelpGroup::Moving, "to the end of the document"},
    {&Editor::newLine, HelpGroup::Editing, "break the line (indented while auto-indent is on)"},
    {&Editor::insertTab, HelpGroup::Editing, "insert a tab"},
    {&Editor::transposeChars, HelpGroup::Editing, "exchange the characters around the cursor"},
    {&Editor::backspace, HelpGroup::Deleting, "the character before the cursor"},
    {&Editor::deleteForward, HelpGroup::Deleting, "the character at the cursor, or the selection"},
    {&Editor::deleteToLineStart, HelpGroup::Deleting, "to the start of the line"},
    {&Editor::deleteToLineEnd, HelpGroup::Deleting, "to the end of the line"},
    {&Editor::deleteWordLeft, HelpGroup::Deleting, "the word before the cursor"},
    {&Editor::deleteWordRight, HelpGroup::Deleting, "the word after the cursor"},
    {&Editor::deleteLine, HelpGroup::Deleting, "the whole line"},
    {&Editor::copy, HelpGroup::Clipboard, "copy the selection"},
    {&Editor::cut, HelpGroup::Clipboard, "cut the selection"},
    {&Editor::paste, HelpGroup::Clipboard, "paste"},
    {&Editor::save, HelpGroup::Files, "save"},
    {&Editor::quit, HelpGroup::Files, "quit (asks first when there are unsaved changes)"},
    {&Editor::search, HelpGroup::Search, "search forward for a text"},
    {&Editor::replace, HelpGroup::Search, "replace every occurrence from the cursor on"},
    {&Editor::searchAgain, HelpGroup::Search, "repeat the last search or replacement"},
    {&Editor::toggleAutoIndent, HelpGroup::Other, "turn auto-indent off and on"},
};

const char* const GroupTitles[] = {"Moving",    "Selecting", "Editing", "Deleting",
                                   "Clipboard", "Files",     "Search",  "Other"};

constexpr size_t KeysWidth = 24;

// What a newcomer needs first, in this order.
const Command FirstCommands[] = {&Editor::save,   &Editor::saveAs,   &Editor::quit,
                                 &Editor::undo,   &Editor::redo,     &Editor::help,
                                 &Editor::search, &Editor::findNext, &Editor::goToLine,
                                 &Editor::copy,   &Editor::cut,      &Editor::paste};

const char* whatItDoes(Command command);

std::string keyLine(const std::string& keys, const char* description) {
  std::string line = "  " + keys;
  line.append(line.size() < KeysWidth ? KeysWidth - line.size() : 1, ' ');
  return line + description;
}

// Adds the keys of a table (ended by a row whose key is 0) bound to the command.
template <typename Row>
void addKeysOf(std::string& keys, const Row* table, Command command) {
  for (const Row* row = table; row->key != 0; ++row) {
    if (row->command != command) continue;
    if (!keys.empty()) keys += ", ";
    keys += keyName(row->key);
  }
}

// Every key bound to the command: those of the key table, then the extra keys, each in
// table order.
std::string keysOf(Command command) {
  std::string keys;
  addKeysOf(keys, KeyMap, command);
  addKeysOf(keys, ExtraKeys, command);
  return keys;
}

// Commands of the key table, each once, in table order.
std::vector<Command> boundCommands() {
  std::vector<Command> commands;
  for (const KeyBinding* row = KeyMap; row->key != 0; ++row) {
    bool seen = false;
    for (Command c : commands) seen = seen || c == row->command;
    if (!seen) commands.push_back(row->command);
  }
  return commands;
}

void addGroup(std::vector<std::string>& lines, HelpGroup group) {
  lines.push_back(GroupTitles[static_cast<int>(group)]);
  if (group == HelpGroup::Selecting)
    lines.push_back(keyLine("Shift+(a moving key)", "select from where the cursor was"));
  for (const CommandHelp& help : CommandHelps) {
    if (help.group != group) continue;
    std::string keys = keysOf(help.command);
    if (!keys.empty()) lines.push_back(keyLine(keys, help.description));
  }
  for (const ExtraKey* row = ExtraKeys; row->key != 0; ++row)
    if (row->group == group) lines.push_back(keyLine(keyName(row->key), row->description));
  if (group == HelpGroup::Search) {
    for (const PromptKeyHelp& key : PromptKeys)
      if (key.searchOnly) lines.push_back(keyLine(key.keys, key.description));
  }
  if (group == HelpGroup::Other) {  // a binding nobody described still shows up
    for (Command command : boundCommands())
      if (!describeCommand(command)) lines.push_back(keyLine(keysOf(command), "(undescribed)"));
  }
  lines.push_back("");
}

const char* whatItDoes(Command command) {
  if (const CommandHelp* help = describeCommand(command)) return help->description;
  for (const ExtraKey* row = ExtraKeys; row->key != 0; ++row)
    if (row->command == command) return row->description;
  return "";
}

}  // namespace

const CommandHelp* describeCommand(Command command) {
  for (const CommandHelp& help : CommandHelps)
    if (help.command == command) return &help;
  return nullptr;
}

std::vector<std::string> helpPageLines() {
  std::vector<std::string> lines;
  lines.push_back(std::string("Slate ") + slateVersion + ": every key");
  lines.push_back("");
  lines.push_back("First keys");
  for (Command command : FirstCommands)
    lines.push_back(keyLine(keysOf(command), whatItDoes(command)));
  lines.push_back("");
  for (int g = static_cast<int>(HelpGroup::Moving); g <= static_cast<int>(HelpGroup::Other); ++g)
    addGroup(lines, static_cast<HelpGroup>(g));
  lines.push_back("Prompts (search, replace, file name, go to line)");
  lines.push_back(keyLine("Enter", "answer; keys with a character type it, Backspace deletes"));
  for (const PromptKeyHelp& key : PromptKeys)
    if (!key.searchOnly) lines.push_back(keyLine(key.keys, key.description));
  lines.push_back("  Options set with F6 and F7 stay for every later search and replacement.");
  lines.push_back("");
  lines.push_back("Status line: * unsaved changes, R line and C column (from 0), the file name.");
  lines.push_back(
      "Other keys type their byte: Ctrl+letters and Escape a control byte, as a glyph.");
  lines.push_back("NAME.autosave is written 60 s after a change; a normal end removes it.");
  lines.push_back("Asked about an old copy at the start, r opens it; F9 then shows the file.");
  return lines;
}

std::string mainKeysText() {
  std::string text;
  for (Command command : FirstCommands)
    text += keyLine(keysOf(command), whatItDoes(command)) + "\n";
  text += "\nMore keys beyond the usual ones:\n";
  for (const ExtraKey* row = ExtraKeys; row->key != 0; ++row) {
    bool first = false;
    for (Command command : FirstCommands) first = first || command == row->command;
    if (!first) text += keyLine(keyName(row->key), row->description) + "\n";
  }
  return text;
}
