#include "core/session.h"

namespace {
Session* current = nullptr;
}

Session::Session(console::Console& console, ClipboardStore& clipboard)
    : screen(console), keyboard(console), clipboard(clipboard) {
  current = this;
}

Session::~Session() {
  if (current == this) current = nullptr;
}

Session& session() {
  return *current;
}
