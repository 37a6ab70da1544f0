#include "input/extra_keys.h"

#include "core/editor.h"
#include "platform/key_codes.h"

const ExtraKey ExtraKeys[] = {
    {vk::F1, &Editor::help, "help", HelpGroup::Other, true},
    {vk::F3, &Editor::findNext, "find next", HelpGroup::Search},
    {KeyShift | vk::F3, &Editor::findPrevious, "find previous", HelpGroup::Search},
    {vk::F4, &Editor::goToLine, "go to line (N or N:C)", HelpGroup::Moving},
    {vk::F7, &Editor::replaceEach, "replace one by one, asking (y/n/a/q)", HelpGroup::Search},
    {vk::F8, &Editor::toggleDisplayMode, "switch display: UTF-8 / code page 437", HelpGroup::Other},
    {vk::F9, &Editor::undo, "undo", HelpGroup::Editing},
    {KeyShift | vk::F9, &Editor::redo, "redo", HelpGroup::Editing},
    {vk::F12, &Editor::saveAs, "save as", HelpGroup::Files},
    {vk::F10, &Editor::toggleFollow, "follow the file as it grows (a log): on / off",
     HelpGroup::Files},
    {0, nullptr, nullptr, HelpGroup::Other},
};

const ExtraKey* findExtraKey(KeyCode code) {
  for (const ExtraKey* row = ExtraKeys; row->key != 0; ++row)
    if (code == row->key) return row;
  for (const ExtraKey* row = ExtraKeys; row->key != 0; ++row)
    if ((code & ~KeyShift) == row->key) return row;
  return nullptr;
}
