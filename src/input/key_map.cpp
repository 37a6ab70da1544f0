#include "input/key_map.h"

#include "core/editor.h"
#include "input/extra_keys.h"

const KeyBinding KeyMap[] = {
    {KeyShift | vk::Insert, &Editor::paste},
    {KeyShift | vk::Delete, &Editor::cut},
    {KeyShift | vk::F5, &Editor::replace},
    {vk::Return, &Editor::newLine},
    {vk::Tab, &Editor::insertTab},
    {vk::Left, &Editor::moveLeft},
    {vk::Right, &Editor::moveRight},
    {vk::Home, &Editor::moveLineStart},
    {vk::End, &Editor::moveLineEnd},
    {KeyCtrl | vk::Left, &Editor::moveWordLeft},
    {KeyCtrl | vk::Right, &Editor::moveWordRight},
    {vk::Back, &Editor::backspace},
    {vk::Delete, &Editor::deleteForward},
    {KeyCtrl | vk::Back, &Editor::deleteToLineStart},
    {KeyCtrl | vk::Delete, &Editor::deleteToLineEnd},
    {KeyAlt | vk::Back, &Editor::deleteWordLeft},
    {KeyAlt | vk::Delete, &Editor::deleteWordRight},
    {vk::Up, &Editor::moveUp},
    {vk::Down, &Editor::moveDown},
    {vk::Prior, &Editor::pageUp},
    {vk::Next, &Editor::pageDown},
    {KeyCtrl | vk::Prior, &Editor::moveDocumentStart},
    {KeyCtrl | vk::Next, &Editor::moveDocumentEnd},
    {KeyCtrl | 'E', &Editor::moveLineEnd},
    {KeyCtrl | 'A', &Editor::moveLineStart},
    {KeyCtrl | 'P', &Editor::moveUp},
    {KeyCtrl | 'N', &Editor::moveDown},
    {KeyCtrl | 'F', &Editor::moveRight},
    {KeyCtrl | 'B', &Editor::moveLeft},
    {KeyCtrl | 'T', &Editor::transposeChars},
    {KeyCtrl | 'K', &Editor::deleteLine},
    {KeyCtrl | 'Y', &Editor::deleteLine},
    {KeyCtrl | 'X', &Editor::cut},
    {KeyCtrl | 'C', &Editor::copy},
    {KeyCtrl | 'V', &Editor::paste},
    {KeyCtrl | vk::Insert, &Editor::copy},
    {vk::F2, &Editor::save},
    {vk::F5, &Editor::search},
    {KeyCtrl | vk::F5, &Editor::searchAgain},
    {KeyAlt | 'X', &Editor::quit},
    {KeyAlt | 'S', &Editor::search},
    {KeyAlt | 'R', &Editor::replace},
    {KeyAlt | 'A', &Editor::searchAgain},
    {KeyAlt | 'I', &Editor::toggleAutoIndent},
    {0, nullptr},
};

const KeyBinding* findBinding(KeyCode code) {
  for (const KeyBinding* row = KeyMap; row->key != 0; ++row) {
    if (code == row->key || code == (row->key | KeyShift)) return row;
  }
  return nullptr;
}

void typeChar(Editor& editor, uint8_t ch) {
  editor.pendingMessage.reset();
  editor.undoHistory.nextCommandIs(EditRun::Typing);
  editor.insertChar(ch);
  editor.afterCommand(false);
}

void dispatchKey(Editor& editor, KeyCode code, uint8_t ch, bool shiftHeld) {
  if (const KeyBinding* binding = findBinding(code)) {
    editor.pendingMessage.reset();
    if (binding->command == &Editor::backspace)
      editor.undoHistory.nextCommandIs(EditRun::Backspace);
    (editor.*(binding->command))();
    editor.afterCommand(shiftHeld);
  } else if (ch != 0) {
    typeChar(editor, ch);
  } else if (const ExtraKey* extra = findExtraKey(code)) {
    editor.pendingMessage.reset();
    (editor.*(extra->command))();
    editor.afterCommand(extra->keepsSelection);
  }
}

void pasteText(Editor& editor, const char* text, size_t length) {
  editor.pendingMessage.reset();
  editor.insertText(text, length);
  editor.afterCommand(false);
}

int Editor::quit() {
  quitRequested = 1;
  return 1;
}

int Editor::toggleAutoIndent() {
  autoIndent = autoIndent ? 0 : 1;
  return autoIndent;
}
