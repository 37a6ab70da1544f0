// What a control sequence with parsed parameters stands for: the forms of xterm, rxvt, the
// Linux console and the kitty keyboard protocol, and the terminal's replies.
#include "platform/posix/csi_keys.h"

#include <span>

#include "platform/key_codes.h"
#include "platform/posix/terminal_keys.h"

namespace console {

namespace {

// CSI ? ... final: the replies of the terminal that are looked for.
CsiMeaning privateSequence(const CsiParameters& params, uint8_t final) {
  if (params.intermediate) return CsiMeaning::Keys;
  if (final == 'u') return CsiMeaning::KittyKeyboardReply;
  if (final == 'c') return CsiMeaning::DeviceAttributesReply;
  return CsiMeaning::Keys;  // nothing
}

// xterm's modifyOtherKeys: CSI 27 ; mods ; code ~.
void modifyOtherKeys(KeyEvents& keys, const CsiParameters& params, const KeyParameters& key) {
  const uint32_t code = params.get(2);
  if (code != kMissing && params.fields == 3) keys.codeKey(CodedKey{code, kMissing, {}}, key);
}

// CSI number ~: editing and function keys, the start of a paste, and keys given by code.
CsiMeaning tildeSequence(KeyEvents& keys, const CsiParameters& params, const KeyParameters& key) {
  const uint32_t n = params.get(0);
  if (n == 200 && params.fields == 1) return CsiMeaning::PasteStart;
  if (n == 27) {
    modifyOtherKeys(keys, params, key);
  } else if (isFunctionalCode(n)) {
    keys.codeKey(CodedKey{n, kMissing, {}}, key);
  } else if (params.fields <= 2) {
    if (const uint16_t code = tildeKey(n)) keys.namedKey(Key{code, 0, 0}, key);
  }
  return CsiMeaning::Keys;
}

// CSI code : shifted ; mods : event ; text u (kitty; xterm sends CSI code ; mods u).
void kittyKey(KeyEvents& keys, const CsiParameters& params, const KeyParameters& key) {
  const uint32_t code = params.get(0);
  if (code == kMissing) return;
  uint32_t text[CsiParameters::kParts];
  size_t textLength = 0;
  for (int part = 0; part < (params.fields > 2 ? params.parts[2] : 0); ++part) {
    const uint32_t cp = params.get(2, part);
    if (cp != kMissing) text[textLength++] = cp;
  }
  keys.codeKey(CodedKey{code, params.get(0, 1), std::span(text, textLength)}, key);
}

// rxvt: Ctrl (^), Ctrl+Shift (@) and Shift ($) with an editing key.
void rxvtEditingKey(KeyEvents& keys, const CsiParameters& params, uint8_t final, uint32_t alt) {
  const uint16_t code = params.fields == 1 ? tildeKey(params.get(0)) : 0;
  if (code == 0) return;
  const uint32_t state = final == '^'   ? LEFT_CTRL_PRESSED
                         : final == '@' ? LEFT_CTRL_PRESSED | SHIFT_PRESSED
                                        : SHIFT_PRESSED;
  keys.emit(true, code, 0, state | alt);
}

// rxvt: Shift with the cursor keys.
void rxvtShiftedArrow(KeyEvents& keys, const CsiParameters& params, uint8_t final, uint32_t alt) {
  if (params.fields == 0) keys.emit(true, rxvtArrowKey(final), 0, SHIFT_PRESSED | alt);
}

// Focus reports, CSI I and CSI O.
void focusReport(KeyEvents& keys, const CsiParameters& params, uint8_t final) {
  if (params.fields == 0 && final == 'O') keys.focusLost();
}

// CSI Z, Shift+Tab.
void backTab(KeyEvents& keys, const CsiParameters& params, const KeyParameters& key) {
  if (params.fields > 2 || params.get(0, 0, 1) != 1) return;
  keys.namedKey(Key{vk::Tab, 0x09, SHIFT_PRESSED}, key);
}

// CSI letter and CSI 1 ; mods letter: cursor keys, Home, End, F1-F4.
void letterKeySequence(KeyEvents& keys, const CsiParameters& params, uint8_t final,
                       const KeyParameters& key) {
  const uint16_t code = letterKey(final);
  if (code == 0 || params.fields > 2 || params.get(0, 0, 1) != 1) return;
  // CSI row ; column R is a cursor position report; F3 comes as CSI R or with modifiers.
  if (final == 'R' && params.fields != 0 && key.mods < 2) return;
  keys.namedKey(Key{code, 0, 0}, key);
}

// The key sequences that end in a letter or a symbol other than '~'.
void keySequence(KeyEvents& keys, const CsiParameters& params, uint8_t final,
                 const KeyParameters& key) {
  switch (final) {
    case 'u':
      return kittyKey(keys, params, key);
    case '^':
    case '@':
    case '$':
      return rxvtEditingKey(keys, params, final, key.alt);
    case 'a':
    case 'b':
    case 'c':
    case 'd':
      return rxvtShiftedArrow(keys, params, final, key.alt);
    case 'I':
    case 'O':
      return focusReport(keys, params, final);
    case 'Z':
      return backTab(keys, params, key);
    default:
      return letterKeySequence(keys, params, final, key);
  }
}

}  // namespace

CsiMeaning interpretControlSequence(const CsiParameters& params, uint8_t final, uint32_t alt,
                                    KeyEvents& keys) {
  if (params.prefix == '?') return privateSequence(params, final);
  if (params.prefix != 0 || params.intermediate) return CsiMeaning::Keys;  // mouse, replies
  const KeyParameters key{params.get(1, 0, 1), params.get(1, 1, kPress), alt};
  if (key.mods == 0) return CsiMeaning::Keys;  // modifiers count from 1: malformed
  if (final == '~') return tildeSequence(keys, params, key);
  keySequence(keys, params, final, key);
  return CsiMeaning::Keys;
}

}  // namespace console
