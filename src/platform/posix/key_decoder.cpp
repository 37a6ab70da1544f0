// Terminal bytes into console key events. What a terminal sends for a key press is one of:
// a plain byte (a character or a control character), ESC followed by a key (that key with
// Alt), a control sequence (ESC [ parameters final), an SS3 sequence (ESC O final), or, with
// the kitty keyboard protocol, a control sequence that also carries the event type (press,
// repeat, release) and the key's text. Terminal replies, mouse and focus reports, string
// sequences (OSC, DCS, ...) and anything not understood are consumed without events.
#include "platform/posix/key_decoder.h"

#include <cstring>

#include "platform/key_codes.h"
#include "platform/posix/terminal_keys.h"
#include "platform/posix/us_keyboard.h"

namespace console {

namespace {

constexpr uint8_t ESC = 0x1B;
constexpr uint8_t BEL = 0x07;

// Longest control sequence kept whole, from its ESC to its final byte; a longer one is
// dropped as its bytes arrive.
constexpr size_t kMaxControlSequence = 512;
// Longest SS3 sequence (ESC O, modifier digits, final byte).
constexpr size_t kMaxSs3Sequence = 16;

constexpr char kPasteEnd[] = "\x1b[201~";
constexpr size_t kPasteEndLength = sizeof kPasteEnd - 1;

constexpr uint32_t kMissing = 0xFFFFFFFF;
constexpr uint32_t kMaxNumber = 99999999;

// Kitty event types.
constexpr uint32_t kPress = 1;
constexpr uint32_t kRepeat = 2;
constexpr uint32_t kRelease = 3;

bool isFinalByte(uint8_t b) {
  return b >= 0x40 && b <= 0x7E;
}
bool isParameterByte(uint8_t b) {
  return b >= 0x30 && b <= 0x3F;
}
bool isIntermediateByte(uint8_t b) {
  return b >= 0x20 && b <= 0x2F;
}
bool continuesSequence(uint8_t b) {
  return isFinalByte(b) || isParameterByte(b) || isIntermediateByte(b);
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

bool isTextCodePoint(uint32_t cp) {
  return cp >= 0x20 && cp != 0x7F && !(cp >= 0x80 && cp < 0xA0) &&
         !(cp >= 0xD800 && cp <= 0xDFFF) && cp <= 0x10FFFF;
}

// The parameters of a control sequence: up to kFields fields separated by ';', each with up
// to kParts parts separated by ':'. Empty parts are kMissing.
struct Parameters {
  static constexpr int kFields = 4;
  static constexpr int kParts = 32;
  uint8_t prefix = 0;         // a private marker < = > ? before the first parameter
  bool intermediate = false;  // bytes 0x20-0x2F before the final byte
  int fields = 0;
  int parts[kFields] = {};
  uint32_t value[kFields][kParts];

  uint32_t get(int field, int part = 0, uint32_t fallback = kMissing) const {
    if (field >= fields || part >= parts[field]) return fallback;
    uint32_t v = value[field][part];
    return v == kMissing ? fallback : v;
  }

  // False for a malformed body (markers in the wrong place, too many fields or parts,
  // parameters after intermediate bytes, numbers out of range).
  bool parse(const uint8_t* body, size_t length) {
    size_t i = 0;
    if (length > 0 && body[0] >= '<' && body[0] <= '?') prefix = body[i++];
    for (; i < length; ++i) {
      uint8_t b = body[i];
      if (isIntermediateByte(b)) {
        intermediate = true;
        continue;
      }
      if (intermediate) return false;
      if (fields == 0) {
        fields = 1;
        parts[0] = 1;
        value[0][0] = kMissing;
      }
      uint32_t& v = value[fields - 1][parts[fields - 1] - 1];
      if (b >= '0' && b <= '9') {
        v = (v == kMissing ? 0 : v * 10) + (b - '0');
        if (v > kMaxNumber) return false;
      } else if (b == ':') {
        if (parts[fields - 1] == kParts) return false;
        value[fields - 1][parts[fields - 1]++] = kMissing;
      } else if (b == ';') {
        if (fields == kFields) return false;
        parts[fields] = 1;
        value[fields++][0] = kMissing;
      } else {
        return false;  // a private marker after the start
      }
    }
    return true;
  }
};

}  // namespace

// Decodes one run of bytes for a KeyDecoder: each step takes what one sequence needs and
// says how many bytes it used.
class SequenceReader {
 public:
  SequenceReader(KeyDecoder& decoder, std::deque<DecodedEvent>& out, bool settle)
      : d(decoder), out(out), settle(settle) {}

  // Decodes from bytes[0..count); returns the bytes used. Unless settling, it stops before
  // an unfinished sequence at the end.
  size_t run(const uint8_t* p, size_t n) {
    size_t i = 0;
    while (i < n) {
      const bool wasPaste = d.inPaste_;
      const KeyDecoder::Skip wasSkip = d.skip_;
      size_t used = d.inPaste_                          ? pasteStep(p + i, n - i)
                    : d.skip_ != KeyDecoder::Skip::None ? skipStep(p + i, n - i)
                                                        : sequenceStep(p + i, n - i);
      if (used == 0 && wasPaste == d.inPaste_ && wasSkip == d.skip_) break;
      i += used;
    }
    return i;
  }

  void endPaste() {
    if (d.paste_.empty()) {
      d.droppedBytes_ += d.pasteHeld_;
    } else {
      DecodedEvent& event = out.emplace_back();
      event.record = InputRecord{};
      event.record.eventType = PASTE_EVENT;
      event.paste = std::move(d.paste_);
      d.decodedBytes_ += d.pasteHeld_;
    }
    d.paste_.clear();
    d.pasteHeld_ = 0;
    d.inPaste_ = false;
  }

 private:
  KeyDecoder& d;
  std::deque<DecodedEvent>& out;
  const bool settle;

  void decoded(size_t n) { d.decodedBytes_ += n; }
  void dropped(size_t n) { d.droppedBytes_ += n; }

  // A sequence of n bytes is done: it counts as decoded when it gave events.
  size_t finish(size_t n, size_t eventsBefore) {
    if (out.size() > eventsBefore)
      decoded(n);
    else
      dropped(n);
    return n;
  }

  void emit(bool down, uint16_t virtualKeyCode, uint8_t ch, uint32_t state,
            bool superHeld = false) {
    // A Windows key whose release never came (the window lost the keyboard while it was
    // held) is let go as soon as a key arrives that says it is not held.
    if ((d.winHeld_[0] || d.winHeld_[1]) && !superHeld && virtualKeyCode != vk::LWin &&
        virtualKeyCode != vk::RWin)
      releaseHeld(false);
    if (virtualKeyCode == vk::LWin) d.winHeld_[0] = down;
    if (virtualKeyCode == vk::RWin) d.winHeld_[1] = down;
    if (virtualKeyCode == vk::Apps) d.appsHeld_ = down;
    DecodedEvent& event = out.emplace_back();
    event.record.eventType = KEY_EVENT;
    event.record.key = KeyEventRecord{down ? 1 : 0, 1, virtualKeyCode, ch, state};
  }

  void emit(const Key& key, uint32_t extraState = 0) {
    emit(true, key.virtualKeyCode, key.ch, key.state | extraState);
  }

  // Releases of the Windows and Application keys that are reported down.
  void releaseHeld(bool apps) {
    static const uint16_t wins[2] = {vk::LWin, vk::RWin};
    for (int i = 0; i < 2; ++i) {
      if (!d.winHeld_[i]) continue;
      d.winHeld_[i] = false;
      DecodedEvent& event = out.emplace_back();
      event.record.eventType = KEY_EVENT;
      event.record.key = KeyEventRecord{0, 1, wins[i], 0, 0};
    }
    if (apps && d.appsHeld_) {
      d.appsHeld_ = false;
      DecodedEvent& event = out.emplace_back();
      event.record.eventType = KEY_EVENT;
      event.record.key = KeyEventRecord{0, 1, vk::Apps, 0, 0};
    }
  }

  // The key a byte stands for on its own, with the terminal's erase character taken into
  // account.
  const Key& byteKey(uint8_t b) const {
    return b == 0x08 && d.eraseIsCtrlH ? keyForByte(0x7F) : keyForByte(b);
  }

  // The key that typed an ASCII character, with Alt.
  void emitAltChar(uint8_t ch, uint32_t alt = LEFT_ALT_PRESSED) { emit(byteKey(ch), alt); }

  size_t sequenceStep(const uint8_t* p, size_t n) {
    if (p[0] != ESC) {
      size_t run = 1;
      while (run < n && p[run] != ESC) ++run;
      for (size_t i = 0; i < run; ++i) emit(byteKey(p[i]));
      decoded(run);
      return run;
    }
    if (n == 1) {
      if (!settle) return 0;
      emit(keyForByte(ESC));  // a lone ESC: the Escape key
      decoded(1);
      return 1;
    }
    const uint8_t c = p[1];
    switch (c) {
      case '[':
        return controlSequence(p, n, 2, 0);
      case 'O':
        return ss3Sequence(p, n, 2, 0);
      case 'P':
      case ']':
      case '_':
      case '^':
      case 'X':  // DCS, OSC, APC, PM, SOS
        if (n == 2) {
          if (!settle) return 0;
          emitAltChar(c);
          decoded(2);
          return 2;
        }
        d.skip_ = KeyDecoder::Skip::String;
        dropped(2);
        return 2;
      case ESC: {
        if (n == 2) {
          if (!settle) return 0;
          emitAltChar(ESC);
          decoded(2);
          return 2;
        }
        // ESC before a key sequence: that key with Alt.
        if (p[2] == '[') return controlSequence(p, n, 3, LEFT_ALT_PRESSED);
        if (p[2] == 'O') return ss3Sequence(p, n, 3, LEFT_ALT_PRESSED);
        if (p[2] == ESC) {  // at most one Alt prefix: the first ESC is the Escape key
          emit(keyForByte(ESC));
          decoded(1);
          return 1;
        }
        emitAltChar(ESC);
        decoded(2);
        return 2;
      }
      default:
        emitAltChar(c);
        decoded(2);
        return 2;
    }
  }

  // ESC [ (or ESC ESC [) at p[0..intro).
  size_t controlSequence(const uint8_t* p, size_t n, size_t intro, uint32_t alt) {
    size_t i = intro;
    for (; i < n && i < kMaxControlSequence; ++i) {
      const uint8_t b = p[i];
      if (isFinalByte(b)) break;
      if (isParameterByte(b) || isIntermediateByte(b)) {
        // rxvt ends CSI n $ at the '$'; anything that continues a control sequence after it
        // makes it an intermediate byte, as in every other sequence.
        if (b == '$' && rxvtShiftForm(p + intro, i - intro)) {
          if (i + 1 == n && !settle) return 0;  // the next byte decides
          if (i + 1 == n || !continuesSequence(p[i + 1])) break;
        }
        continue;
      }
      // A byte that cannot be part of a control sequence: what came before is dropped,
      // except an empty "ESC [", which is Alt+[.
      if (i == intro) {
        emitAltChar('[', alt | LEFT_ALT_PRESSED);
        decoded(intro);
        return intro;
      }
      dropped(i);
      return i;
    }
    if (i >= kMaxControlSequence) {
      dropped(i);
      d.skip_ = KeyDecoder::Skip::ControlSequence;
      return i;
    }
    if (i == n) {
      if (!settle) return 0;
      if (i == intro) {
        emitAltChar('[', alt | LEFT_ALT_PRESSED);
        decoded(i);
      } else {
        dropped(i);
      }
      return i;
    }
    const uint8_t final = p[i];
    const size_t end = i + 1;
    if (i == intro && final == 'M') {  // X10 mouse report: three bytes follow
      if (n < end + 3) {
        if (!settle) return 0;
        dropped(n);
        return n;
      }
      dropped(end + 3);
      return end + 3;
    }
    if (i == intro && final == '[') {  // Linux console: F1-F5 as ESC [ [ A-E
      if (n < end + 1) {
        if (!settle) return 0;
        dropped(n);
        return n;
      }
      const uint8_t k = p[end];
      if (k >= 'A' && k <= 'E') {
        emit(true, static_cast<uint16_t>(vk::F1 + k - 'A'), 0, alt);
        decoded(end + 1);
        return end + 1;
      }
      dropped(end);
      return end;
    }
    Parameters params;
    if (!params.parse(p + intro, i - intro)) {
      dropped(end);
      return end;
    }
    const size_t before = out.size();
    switch (interpret(params, final, alt)) {
      case Outcome::Reply:
        decoded(end);
        return end;
      case Outcome::PasteStart:
        d.inPaste_ = true;
        d.pasteHeld_ = end;
        return end;
      case Outcome::Keys:
        return finish(end, before);
    }
    return end;
  }

  // rxvt's CSI n $ (Shift with an editing key): a lone number and then '$'.
  static bool rxvtShiftForm(const uint8_t* body, size_t length) {
    if (length == 0) return false;
    for (size_t i = 0; i < length; ++i) {
      if (body[i] < '0' || body[i] > '9') return false;
    }
    return true;
  }

  enum class Outcome { Keys, Reply, PasteStart };

  Outcome interpret(const Parameters& params, uint8_t final, uint32_t alt) {
    if (params.prefix == '?') {
      if (params.intermediate) return Outcome::Keys;
      if (final == 'u') {
        d.kittyKeyboardReply = true;
        return Outcome::Reply;
      }
      if (final == 'c') {
        d.deviceAttributesReply = true;
        return Outcome::Reply;
      }
      return Outcome::Keys;  // nothing
    }
    if (params.prefix != 0 || params.intermediate) return Outcome::Keys;  // mouse, replies
    const uint32_t mods = params.get(1, 0, 1);
    if (mods == 0) return Outcome::Keys;  // modifiers count from 1: malformed
    const uint32_t eventType = params.get(1, 1, kPress);
    switch (final) {
      case 'u': {
        const uint32_t code = params.get(0);
        if (code == kMissing) return Outcome::Keys;
        uint32_t text[Parameters::kParts];
        int textLength = 0;
        for (int part = 0; part < (params.fields > 2 ? params.parts[2] : 0); ++part) {
          uint32_t cp = params.get(2, part);
          if (cp != kMissing) text[textLength++] = cp;
        }
        codeKey(code, params.get(0, 1), mods, eventType, text, textLength, alt);
        return Outcome::Keys;
      }
      case '~': {
        const uint32_t n = params.get(0);
        if (n == 200 && params.fields == 1) return Outcome::PasteStart;
        if (n == 27) {  // xterm modifyOtherKeys: CSI 27 ; mods ; code ~
          const uint32_t code = params.get(2);
          if (code != kMissing && params.fields == 3)
            codeKey(code, kMissing, mods, params.get(1, 1, kPress), nullptr, 0, alt);
          return Outcome::Keys;
        }
        if (n >= 57344 && n <= 63743) {
          codeKey(n, kMissing, mods, eventType, nullptr, 0, alt);
          return Outcome::Keys;
        }
        if (params.fields > 2) return Outcome::Keys;
        if (uint16_t code = tildeKey(n)) namedKey(Key{code, 0, 0}, mods, eventType, alt);
        return Outcome::Keys;
      }
      case '^':
      case '@':
      case '$': {  // rxvt: Ctrl, Ctrl+Shift, Shift with an editing key
        const uint16_t code = params.fields == 1 ? tildeKey(params.get(0)) : 0;
        if (code == 0) return Outcome::Keys;
        const uint32_t state = final == '^'   ? LEFT_CTRL_PRESSED
                               : final == '@' ? LEFT_CTRL_PRESSED | SHIFT_PRESSED
                                              : SHIFT_PRESSED;
        emit(true, code, 0, state | alt);
        return Outcome::Keys;
      }
      case 'a':
      case 'b':
      case 'c':
      case 'd': {  // rxvt: Shift with the cursor keys
        if (params.fields != 0) return Outcome::Keys;
        static const uint16_t arrows[] = {vk::Up, vk::Down, vk::Right, vk::Left};
        emit(true, arrows[final - 'a'], 0, SHIFT_PRESSED | alt);
        return Outcome::Keys;
      }
      case 'I':
      case 'O':  // focus reports; losing the focus lets go of the Windows and Apps keys
        if (params.fields == 0 && final == 'O') releaseHeld(true);
        return Outcome::Keys;
      case 'Z':
        if (params.fields > 2 || params.get(0, 0, 1) != 1) return Outcome::Keys;
        namedKey(Key{vk::Tab, 0x09, SHIFT_PRESSED}, mods, eventType, alt);
        return Outcome::Keys;
      default:
        break;
    }
    const uint16_t code = letterKey(final);
    if (code == 0 || params.fields > 2 || params.get(0, 0, 1) != 1) return Outcome::Keys;
    // CSI row ; column R is a cursor position report; F3 comes as CSI R or with modifiers.
    if (final == 'R' && params.fields != 0 && mods < 2) return Outcome::Keys;
    namedKey(Key{code, 0, 0}, mods, eventType, alt);
    return Outcome::Keys;
  }

  // The xterm and kitty modifier parameter: 1 + Shift 1, Alt 2, Ctrl 4, Super 8 (Meta in
  // xterm), Hyper 16, Meta 32, Caps Lock 64, Num Lock 128.
  uint32_t modifierState(uint32_t mods, bool& super) const {
    const uint32_t bits = mods >= 1 ? mods - 1 : 0;
    uint32_t state = 0;
    if (bits & 1) state |= SHIFT_PRESSED;
    if (bits & 2) state |= LEFT_ALT_PRESSED;
    if (bits & 4) state |= LEFT_CTRL_PRESSED;
    if (bits & 32) state |= LEFT_ALT_PRESSED;
    super = (bits & 8) != 0;
    if (super && !d.kittyKeyboardReply) state |= LEFT_ALT_PRESSED;  // xterm's Meta
    return state;
  }

  // A key that is not a character (cursor, editing, function keys, Tab, Enter, keypad).
  void namedKey(const Key& key, uint32_t mods, uint32_t eventType, uint32_t alt) {
    if (eventType < kPress || eventType > kRelease) return;
    bool super = false;
    const uint32_t state = modifierState(mods, super) | key.state | alt;
    if (eventType == kRepeat && isModifierKey(key.virtualKeyCode)) return;
    if (eventType == kRelease)
      emit(false, key.virtualKeyCode, 0, state, super);
    else
      emit(true, key.virtualKeyCode, keyChar(key, state), state, super);
  }

  // A key given by its code: CSI code u (kitty, xterm), CSI 27 ; mods ; code ~.
  void codeKey(uint32_t code, uint32_t shiftedCode, uint32_t mods, uint32_t eventType,
               const uint32_t* text, int textLength, uint32_t alt) {
    switch (code) {
      case 8:
      case 127:
        return namedKey(Key{vk::Back, 0x08, 0}, mods, eventType, alt);
      case 9:
        return namedKey(Key{vk::Tab, 0x09, 0}, mods, eventType, alt);
      case 13:
        return namedKey(Key{vk::Return, 0x0D, 0}, mods, eventType, alt);
      case 27:
        return namedKey(Key{vk::Escape, 0x1B, 0}, mods, eventType, alt);
      default:
        break;
    }
    if (code >= 57344 && code <= 63743) {
      Key key = functionalKey(code);
      if (key.virtualKeyCode != 0) namedKey(key, mods, eventType, alt);
      return;
    }
    if (eventType < kPress || eventType > kRelease) return;
    bool super = false;
    uint32_t state = modifierState(mods, super) | alt;
    const bool ctrl = (state & LEFT_CTRL_PRESSED) != 0;
    const bool down = eventType != kRelease;
    const bool capsLock = mods >= 1 && ((mods - 1) & 64) != 0;
    if (code >= 0x20 && code < 0x7F) {
      const UsKey us = usKeyForChar(static_cast<uint8_t>(code));
      if (us.shift) state |= SHIFT_PRESSED;
      if (!down) return emit(false, us.virtualKeyCode, 0, state, super);
      if (!ctrl && textLength > 0) {
        if (textLength == 1 && text[0] >= 0x20 && text[0] < 0x7F)
          return emit(true, us.virtualKeyCode, static_cast<uint8_t>(text[0]), state, super);
        return emitText(text, textLength, state, super);
      }
      uint8_t ch = static_cast<uint8_t>(code);
      if (state & SHIFT_PRESSED)
        ch = shiftedCode >= 0x20 && shiftedCode < 0x7F ? static_cast<uint8_t>(shiftedCode)
                                                       : usShiftedChar(ch);
      if (capsLock && ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z'))) ch ^= 0x20;
      if (ctrl)
        ch = us.virtualKeyCode == vk::Space
                 ? 0
                 : usControlChar(us.virtualKeyCode, state & SHIFT_PRESSED);
      return emit(true, us.virtualKeyCode, ch, state, super);
    }
    if (!isTextCodePoint(code) || code < 0x80) return;
    // A key of another layout: its text goes in as UTF-8 bytes, as if typed.
    if (!down) return emit(false, 0, 0, state, super);
    if (textLength > 0) return emitText(text, textLength, state, super);
    const uint32_t cp =
        (state & SHIFT_PRESSED) && isTextCodePoint(shiftedCode) ? shiftedCode : code;
    emitText(&cp, 1, state, super);
  }

  void emitText(const uint32_t* text, int textLength, uint32_t state, bool super) {
    for (int i = 0; i < textLength; ++i) {
      if (!isTextCodePoint(text[i])) continue;
      uint8_t bytes[4];
      const size_t count = utf8Encode(text[i], bytes);
      for (size_t k = 0; k < count; ++k) {
        if (count == 1) {
          const UsKey us = usKeyForChar(bytes[0]);
          emit(true, us.virtualKeyCode, bytes[0], state | (us.shift ? SHIFT_PRESSED : 0), super);
        } else {
          emit(true, 0, bytes[k], state, super);
        }
      }
    }
  }

  // ESC O (or ESC ESC O) at p[0..intro): SS3, optionally with modifier digits.
  size_t ss3Sequence(const uint8_t* p, size_t n, size_t intro, uint32_t alt) {
    size_t i = intro;
    while (i < n && i < kMaxSs3Sequence && ((p[i] >= '0' && p[i] <= '9') || p[i] == ';')) ++i;
    if (i >= kMaxSs3Sequence) {
      dropped(i);
      d.skip_ = KeyDecoder::Skip::ControlSequence;
      return i;
    }
    if (i == n) {
      if (!settle) return 0;
      if (i == intro) {
        emitAltChar('O', alt | LEFT_ALT_PRESSED);
        decoded(i);
      } else {
        dropped(i);
      }
      return i;
    }
    const uint8_t final = p[i];
    if (final >= 0x80) {  // no key sends this: the whole sequence goes
      dropped(i + 1);
      return i + 1;
    }
    if (final < 0x20 || final > 0x7E) {
      if (i == intro) {
        emitAltChar('O', alt | LEFT_ALT_PRESSED);
        decoded(intro);
        return intro;
      }
      dropped(i);
      return i;
    }
    const size_t end = i + 1;
    const Key key = ss3Key(final);
    if (key.virtualKeyCode == 0) {
      dropped(end);
      return end;
    }
    // The modifier is the last number: ESC O 5 D, ESC O 1 ; 5 D.
    uint32_t mods = 1;
    size_t start = i;
    while (start > intro && p[start - 1] != ';') --start;
    if (start < i) {
      mods = 0;
      for (size_t k = start; k < i && mods < 1000; ++k) mods = mods * 10 + (p[k] - '0');
      if (mods == 0) {  // modifiers count from 1: malformed
        dropped(end);
        return end;
      }
    }
    bool super = false;
    const uint32_t state = modifierState(mods, super) | key.state | alt;
    emit(true, key.virtualKeyCode, keyChar(key, state), state, super);
    decoded(end);
    return end;
  }

  // The rest of a sequence that is being dropped.
  size_t skipStep(const uint8_t* p, size_t n) {
    if (d.skip_ == KeyDecoder::Skip::ControlSequence) {
      size_t i = 0;
      while (i < n && (isParameterByte(p[i]) || isIntermediateByte(p[i]))) ++i;
      if (i < n) {
        if (isFinalByte(p[i])) ++i;
        d.skip_ = KeyDecoder::Skip::None;
      }
      dropped(i);
      return i;
    }
    // A string sequence ends with BEL or ST (ESC \).
    for (size_t i = 0; i < n; ++i) {
      if (p[i] == BEL) {
        d.skip_ = KeyDecoder::Skip::None;
        dropped(i + 1);
        return i + 1;
      }
      if (p[i] != ESC) continue;
      if (i + 1 == n) {
        if (settle) break;
        dropped(i);
        return i;
      }
      d.skip_ = KeyDecoder::Skip::None;
      if (p[i + 1] == '\\') {
        dropped(i + 2);
        return i + 2;
      }
      dropped(i);  // ESC starts something else
      return i;
    }
    dropped(n);
    return n;
  }

  // Text of the open paste up to its closing CSI 201 ~.
  size_t pasteStep(const uint8_t* p, size_t n) {
    size_t i = 0;
    while (i < n) {
      const void* found = std::memchr(p + i, ESC, n - i);
      if (!found) {
        i = n;
        break;
      }
      const size_t k = static_cast<size_t>(static_cast<const uint8_t*>(found) - p);
      const size_t available = n - k < kPasteEndLength ? n - k : kPasteEndLength;
      if (std::memcmp(p + k, kPasteEnd, available) == 0) {
        if (available == kPasteEndLength) {
          d.paste_.append(reinterpret_cast<const char*>(p), k);
          d.pasteHeld_ += k + kPasteEndLength;
          endPaste();
          return k + kPasteEndLength;
        }
        if (!settle) {  // the end may be arriving: keep its start pending
          d.paste_.append(reinterpret_cast<const char*>(p), k);
          d.pasteHeld_ += k;
          return k;
        }
        i = n;
        break;
      }
      i = k + 1;
    }
    d.paste_.append(reinterpret_cast<const char*>(p), i);
    d.pasteHeld_ += i;
    return i;
  }
};

void KeyDecoder::feed(const uint8_t* bytes, size_t count, std::deque<DecodedEvent>& out) {
  SequenceReader reader(*this, out, false);
  if (pending_.empty()) {
    const size_t used = reader.run(bytes, count);
    pending_.assign(reinterpret_cast<const char*>(bytes) + used, count - used);
    return;
  }
  pending_.append(reinterpret_cast<const char*>(bytes), count);
  const size_t used =
      reader.run(reinterpret_cast<const uint8_t*>(pending_.data()), pending_.size());
  pending_.erase(0, used);
}

void KeyDecoder::flushPending(std::deque<DecodedEvent>& out) {
  SequenceReader reader(*this, out, true);
  reader.run(reinterpret_cast<const uint8_t*>(pending_.data()), pending_.size());
  pending_.clear();
  if (inPaste_) reader.endPaste();
  skip_ = Skip::None;
}

bool KeyDecoder::hasPending() const {
  return !pending_.empty() || inPaste_ || skip_ != Skip::None;
}

}  // namespace console
