#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <string>

#include "platform/console.h"
#include "platform/posix/terminal_keys.h"

namespace console {

// One decoded input event; paste holds the text of a PASTE_EVENT.
struct DecodedEvent {
  InputRecord record;
  std::string paste;
};

// Event types of the kitty keyboard protocol.
constexpr uint32_t kPress = 1;
constexpr uint32_t kRepeat = 2;
constexpr uint32_t kRelease = 3;

// What a key sequence says besides which key: the xterm and kitty modifier parameter, the
// event type (kitty) and Alt from an ESC before the sequence.
struct KeyParameters {
  uint32_t mods = 1;
  uint32_t eventType = kPress;
  uint32_t alt = 0;
};

// A key given by its code (CSI code u, CSI 27 ; mods ; code ~): a Unicode code point, the
// code point with Shift (any value that is no character when not given) and the text the key
// types (kitty).
struct CodedKey {
  uint32_t code;
  uint32_t shiftedCode;
  std::span<const uint32_t> text;
};

// The Windows and Application keys reported down and not yet up.
struct HeldKeys {
  bool win[2] = {false, false};  // left, right
  bool apps = false;
};

// Appends key events as the Windows console reports them for a US keyboard, and pastes.
class KeyEvents {
 public:
  // kittyKeyboard: the terminal speaks the kitty protocol, where modifier bit 8 is Super
  // rather than xterm's Meta.
  KeyEvents(std::deque<DecodedEvent>& events, HeldKeys& held, const bool& kittyKeyboard)
      : events_(events), held_(held), kittyKeyboard_(kittyKeyboard) {}

  size_t count() const { return events_.size(); }

  // One key event. superHeld: Super is held, so the Windows keys reported down stay down.
  void emit(bool down, uint16_t virtualKeyCode, uint8_t ch, uint32_t state, bool superHeld = false);
  // A key press, with more control-key state bits.
  void press(const Key& key, uint32_t extraState = 0) {
    emit(true, key.virtualKeyCode, key.ch, key.state | extraState);
  }
  // A key that is not a character (cursor, editing, function keys, Tab, Enter, keypad).
  void namedKey(const Key& key, const KeyParameters& parameters);
  // A key given by its code.
  void codeKey(const CodedKey& key, const KeyParameters& parameters);
  // The window lost the keyboard: the Windows and Application keys reported down are let go.
  void focusLost();
  // Text pasted in one piece.
  void paste(std::string text);

 private:
  struct Modifiers {
    uint32_t state;  // control-key state bits
    bool super;
    bool capsLock;
  };

  Modifiers modifiers(const KeyParameters& parameters) const;
  void asciiKey(const CodedKey& key, Modifiers m, bool down);
  static uint8_t asciiKeyChar(const CodedKey& key, uint16_t virtualKeyCode, const Modifiers& m);
  void otherLayoutKey(const CodedKey& key, const Modifiers& m, bool down);
  void typedText(std::span<const uint32_t> codePoints, const Modifiers& m);
  void noteHeld(bool down, uint16_t virtualKeyCode);
  void releaseWindowsKeys();
  void releaseAppsKey();
  void append(bool down, uint16_t virtualKeyCode, uint8_t ch, uint32_t state);

  std::deque<DecodedEvent>& events_;
  HeldKeys& held_;
  const bool& kittyKeyboard_;
};

}  // namespace console
