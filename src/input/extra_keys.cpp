#include "input/extra_keys.h"

#include "core/editor.h"

const ExtraKey ExtraKeys[] = {
    {KeyShift | vk::F9, &Editor::redo, "redo"},
    {vk::F9, &Editor::undo, "undo"},
    {0, nullptr, nullptr},
};

const ExtraKey* findExtraKey(KeyCode code) {
  for (const ExtraKey* row = ExtraKeys; row->key != 0; ++row)
    if (code == row->key) return row;
  for (const ExtraKey* row = ExtraKeys; row->key != 0; ++row)
    if ((code & ~KeyShift) == row->key) return row;
  return nullptr;
}
