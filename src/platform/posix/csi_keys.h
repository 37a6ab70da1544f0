#pragma once

#include <cstdint>

#include "platform/posix/csi_parameters.h"
#include "platform/posix/key_events.h"

namespace console {

// What a control sequence stands for besides key events.
enum class CsiMeaning : uint8_t {
  Keys,                   // the key events appended, if any
  KittyKeyboardReply,     // CSI ? flags u
  DeviceAttributesReply,  // CSI ? ... c
  PasteStart,             // CSI 200 ~
};

// Interprets ESC [ params final, with alt from an ESC before it; key events go to keys.
CsiMeaning interpretControlSequence(const CsiParameters& params, uint8_t final, uint32_t alt,
                                    KeyEvents& keys);

}  // namespace console
