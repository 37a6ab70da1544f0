#include "input/extra_keys.h"

#include "core/editor.h"

const KeyBinding ExtraKeys[] = {
    {0, nullptr},
};

const KeyBinding* findExtraKey(KeyCode code) {
  for (const KeyBinding* row = ExtraKeys; row->key != 0; ++row)
    if (code == row->key) return row;
  for (const KeyBinding* row = ExtraKeys; row->key != 0; ++row)
    if ((code & ~KeyShift) == row->key) return row;
  return nullptr;
}
