#pragma once

#include <string>

#include "input/key_codes.h"

// A key code as a person reads it: "Ctrl+PgUp", "Shift+F3", "Alt+X", "Backspace".
std::string keyName(KeyCode code);
