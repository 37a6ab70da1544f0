#pragma once

#include <string>

#include "platform/key_codes.h"

// A key code as a person reads it: "Ctrl+PgUp", "Shift+F3", "Alt+X", "Backspace".
std::string keyName(KeyCode code);
