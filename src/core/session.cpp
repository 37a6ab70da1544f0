#include "core/session.h"

namespace {
Session* current = nullptr;
}

Session::Session(console::Console& console, ClipboardStore& store)
    : screen(console), keyboard(console), clipboard(store) {
  current = this;
}

Session::~Session() {
  if (current == this) current = nullptr;
}

Session& session() {
  return *current;
}
