#include "input/extra_keys.h"

#include "core/editor.h"
#include "platform/key_codes.h"

const ExtraKey ExtraKeys[] = {
    {vk::F1, &Editor::help, "help", true},
    {vk::F3, &Editor::findNext, "find next"},
    {KeyShift | vk::F3, &Editor::findPrevious, "find previous"},
    {vk::F4, &Editor::goToLine, "go to line"},
    {vk::F7, &Editor::replaceEach, "replace one by one, asking at each (y/n/a/q)"},
    {vk::F8, &Editor::toggleDisplayMode, "switch display: UTF-8 / code page 437"},
    {vk::F9, &Editor::undo, "undo"},
    {KeyShift | vk::F9, &Editor::redo, "redo"},
    {vk::F12, &Editor::saveAs, "save as"},
    {0, nullptr, nullptr},
};

const ExtraKey* findExtraKey(KeyCode code) {
  for (const ExtraKey* row = ExtraKeys; row->key != 0; ++row)
    if (code == row->key) return row;
  for (const ExtraKey* row = ExtraKeys; row->key != 0; ++row)
    if ((code & ~KeyShift) == row->key) return row;
  return nullptr;
}
