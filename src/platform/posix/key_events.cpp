// Key events from what a key sequence says: the key, its modifiers, its event type and, for a
// key given by its code, the character or text it types.
#include "platform/posix/key_events.h"

#include <utility>

#include "platform/key_codes.h"
#include "platform/posix/us_keyboard.h"

namespace console {

namespace {

bool isValidEventType(uint32_t eventType) {
  return eventType >= kPress && eventType <= kRelease;
}

bool isPrintableAscii(uint32_t code) {
  return code >= 0x20 && code < 0x7F;
}

bool isAsciiLetter(uint8_t ch) {
  return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
}

bool isTextCodePoint(uint32_t cp) {
  return cp >= 0x20 && cp != 0x7F && !(cp >= 0x80 && cp < 0xA0) &&
         !(cp >= 0xD800 && cp <= 0xDFFF) && cp <= 0x10FFFF;
}

size_t utf8Encode(uint32_t cp, uint8_t* out) {
  if (cp < 0x80) {
    out[0] = static_cast<uint8_t>(cp);
    return 1;
  }
  if (cp < 0x800) {
    out[0] = static_cast<uint8_t>(0xC0 | (cp >> 6));
    out[1] = static_cast<uint8_t>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = static_cast<uint8_t>(0xE0 | (cp >> 12));
    out[1] = static_cast<uint8_t>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<uint8_t>(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = static_cast<uint8_t>(0xF0 | (cp >> 18));
  out[1] = static_cast<uint8_t>(0x80 | ((cp >> 12) & 0x3F));
  out[2] = static_cast<uint8_t>(0x80 | ((cp >> 6) & 0x3F));
  out[3] = static_cast<uint8_t>(0x80 | (cp & 0x3F));
  return 4;
}

}  // namespace

void KeyEvents::namedKey(const Key& key, const KeyParameters& parameters) {
  if (!isValidEventType(parameters.eventType)) return;
  if (parameters.eventType == kRepeat && isModifierKey(key.virtualKeyCode)) return;
  Modifiers m = modifiers(parameters);
  m.state |= key.state;
  if (parameters.eventType == kRelease)
    emit(false, key.virtualKeyCode, 0, m.state, m.super);
  else
    emit(true, key.virtualKeyCode, keyChar(key, m.state), m.state, m.super);
}

void KeyEvents::codeKey(const CodedKey& key, const KeyParameters& parameters) {
  const Key control = controlCodeKey(key.code);
  if (control.virtualKeyCode != 0) return namedKey(control, parameters);
  if (isFunctionalCode(key.code)) {
    const Key functional = functionalKey(key.code);
    if (functional.virtualKeyCode != 0) namedKey(functional, parameters);
    return;
  }
  if (!isValidEventType(parameters.eventType)) return;
  const Modifiers m = modifiers(parameters);
  const bool down = parameters.eventType != kRelease;
  if (isPrintableAscii(key.code)) return asciiKey(key, m, down);
  if (key.code >= 0x80 && isTextCodePoint(key.code)) otherLayoutKey(key, m, down);
}

// The xterm and kitty modifier parameter: 1 + Shift 1, Alt 2, Ctrl 4, Super 8 (Meta in
// xterm), Hyper 16, Meta 32, Caps Lock 64, Num Lock 128.
KeyEvents::Modifiers KeyEvents::modifiers(const KeyParameters& parameters) const {
  const uint32_t bits = parameters.mods >= 1 ? parameters.mods - 1 : 0;
  Modifiers m{parameters.alt, (bits & 8) != 0, (bits & 64) != 0};
  if (bits & 1) m.state |= SHIFT_PRESSED;
  if (bits & (2 | 32)) m.state |= LEFT_ALT_PRESSED;
  if (bits & 4) m.state |= LEFT_CTRL_PRESSED;
  if (m.super && !kittyKeyboard_) m.state |= LEFT_ALT_PRESSED;  // xterm's Meta
  return m;
}

// A key of the US layout, given by the character it types without Shift.
void KeyEvents::asciiKey(const CodedKey& key, Modifiers m, bool down) {
  const UsKey us = usKeyForChar(static_cast<uint8_t>(key.code));
  const bool ctrl = (m.state & LEFT_CTRL_PRESSED) != 0;
  if (us.shift) m.state |= SHIFT_PRESSED;
  if (!down) return emit(false, us.virtualKeyCode, 0, m.state, m.super);
  if (!ctrl && !key.text.empty()) {
    if (key.text.size() == 1 && isPrintableAscii(key.text[0]))
      return emit(true, us.virtualKeyCode, static_cast<uint8_t>(key.text[0]), m.state, m.super);
    return typedText(key.text, m);
  }
  emit(true, us.virtualKeyCode, asciiKeyChar(key, us.virtualKeyCode, m), m.state, m.super);
}

// The character a US key gives with the modifiers held, when the terminal sent no text.
uint8_t KeyEvents::asciiKeyChar(const CodedKey& key, uint16_t virtualKeyCode, const Modifiers& m) {
  const bool shift = (m.state & SHIFT_PRESSED) != 0;
  if (m.state & LEFT_CTRL_PRESSED)
    return virtualKeyCode == vk::Space ? 0 : usControlChar(virtualKeyCode, shift);
  uint8_t ch = static_cast<uint8_t>(key.code);
  if (shift)
    ch = isPrintableAscii(key.shiftedCode) ? static_cast<uint8_t>(key.shiftedCode)
                                           : usShiftedChar(ch);
  if (m.capsLock && isAsciiLetter(ch)) ch ^= 0x20;  // the other case
  return ch;
}

// A key of another layout: its text goes in as UTF-8 bytes, as if typed.
void KeyEvents::otherLayoutKey(const CodedKey& key, const Modifiers& m, bool down) {
  if (!down) return emit(false, 0, 0, m.state, m.super);
  if (!key.text.empty()) return typedText(key.text, m);
  const bool shift = (m.state & SHIFT_PRESSED) != 0;
  const uint32_t cp = shift && isTextCodePoint(key.shiftedCode) ? key.shiftedCode : key.code;
  typedText(std::span(&cp, 1), m);
}

// Typed text: an ASCII character as the US key that types it, any other character as its
// UTF-8 bytes without a key.
void KeyEvents::typedText(std::span<const uint32_t> codePoints, const Modifiers& m) {
  for (const uint32_t cp : codePoints) {
    if (!isTextCodePoint(cp)) continue;
    uint8_t bytes[4];
    const size_t count = utf8Encode(cp, bytes);
    if (count == 1) {
      const UsKey us = usKeyForChar(bytes[0]);
      emit(true, us.virtualKeyCode, bytes[0], m.state | (us.shift ? SHIFT_PRESSED : 0), m.super);
      continue;
    }
    for (size_t k = 0; k < count; ++k) emit(true, 0, bytes[k], m.state, m.super);
  }
}

void KeyEvents::emit(bool down, uint16_t virtualKeyCode, uint8_t ch, uint32_t state,
                     bool superHeld) {
  // A Windows key whose release never came (the window lost the keyboard while it was
  // held) is let go as soon as a key arrives that says it is not held.
  if ((held_.win[0] || held_.win[1]) && !superHeld && virtualKeyCode != vk::LWin &&
      virtualKeyCode != vk::RWin)
    releaseWindowsKeys();
  noteHeld(down, virtualKeyCode);
  append(down, virtualKeyCode, ch, state);
}

void KeyEvents::focusLost() {
  releaseWindowsKeys();
  releaseAppsKey();
}

void KeyEvents::paste(std::string text) {
  DecodedEvent& event = events_.emplace_back();
  event.record = InputRecord{};
  event.record.eventType = PASTE_EVENT;
  event.paste = std::move(text);
}

void KeyEvents::noteHeld(bool down, uint16_t virtualKeyCode) {
  if (virtualKeyCode == vk::LWin) held_.win[0] = down;
  if (virtualKeyCode == vk::RWin) held_.win[1] = down;
  if (virtualKeyCode == vk::Apps) held_.apps = down;
}

void KeyEvents::releaseWindowsKeys() {
  static const uint16_t wins[2] = {vk::LWin, vk::RWin};
  for (int i = 0; i < 2; ++i) {
    if (!held_.win[i]) continue;
    held_.win[i] = false;
    append(false, wins[i], 0, 0);
  }
}

void KeyEvents::releaseAppsKey() {
  if (!held_.apps) return;
  held_.apps = false;
  append(false, vk::Apps, 0, 0);
}

void KeyEvents::append(bool down, uint16_t virtualKeyCode, uint8_t ch, uint32_t state) {
  DecodedEvent& event = events_.emplace_back();
  event.record.eventType = KEY_EVENT;
  event.record.key = KeyEventRecord{down ? 1 : 0, 1, virtualKeyCode, ch, state};
}

}  // namespace console
