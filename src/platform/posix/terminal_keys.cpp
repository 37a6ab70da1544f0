// Which console key each terminal key sequence stands for.
#include "platform/posix/terminal_keys.h"

#include "platform/console.h"
#include "platform/posix/us_keyboard.h"

namespace console {

namespace {

constexpr uint32_t CTRL = LEFT_CTRL_PRESSED;
constexpr uint32_t SHIFT = SHIFT_PRESSED;

Key byteKey(uint8_t b) {
  switch (b) {
    case 0x00:
      return {vkey::Space, 0, CTRL};
    case 0x08:
      return {vkey::Back, 0x7F, CTRL};  // Ctrl+Backspace (also Ctrl+H)
    case 0x09:
      return {vkey::Tab, 0x09, 0};
    case 0x0A:  // keypad Enter in tmux, Ctrl+J
    case 0x0D:
      return {vkey::Return, 0x0D, 0};
    case 0x1B:
      return {vkey::Escape, 0x1B, 0};
    case 0x1C:
      return {vkey::OemBackslash, 0x1C, CTRL};
    case 0x1D:
      return {vkey::OemClose, 0x1D, CTRL};
    case 0x1E:
      return {'6', 0x1E, CTRL | SHIFT};
    case 0x1F:
      return {vkey::OemMinus, 0x1F, CTRL | SHIFT};
    case 0x7F:
      return {vkey::Back, 0x08, 0};
    default:
      break;
  }
  if (b < 0x20) return {static_cast<uint16_t>(b + 0x40), b, CTRL};
  if (b >= 0x80) return {0, b, 0};  // a byte of a UTF-8 character: inserted as it is
  UsKey key = usKeyForChar(b);
  return {key.virtualKeyCode, b, key.shift ? SHIFT : 0u};
}

struct ByteKeyTable {
  Key keys[256];
  ByteKeyTable() {
    for (int b = 0; b < 256; ++b) keys[b] = byteKey(static_cast<uint8_t>(b));
  }
};

const ByteKeyTable kByteKeys;

}  // namespace

const Key& keyForByte(uint8_t b) {
  return kByteKeys.keys[b];
}

// Keys of the CSI number ~ form.
uint16_t tildeKey(uint32_t n) {
  switch (n) {
    case 1:
    case 7:
      return vkey::Home;
    case 2:
      return vkey::Insert;
    case 3:
      return vkey::Delete;
    case 4:
    case 8:
      return vkey::End;
    case 5:
      return vkey::Prior;
    case 6:
      return vkey::Next;
    case 11:
    case 12:
    case 13:
    case 14:
    case 15:
      return static_cast<uint16_t>(vkey::F1 + n - 11);
    case 17:
    case 18:
    case 19:
    case 20:
    case 21:
      return static_cast<uint16_t>(vkey::F1 + n - 12);
    case 23:
    case 24:
      return static_cast<uint16_t>(vkey::F1 + n - 13);
    case 25:
    case 26:
      return static_cast<uint16_t>(vkey::F13 + n - 25);
    case 28:
    case 29:
      return static_cast<uint16_t>(vkey::F13 + n - 26);
    case 31:
    case 32:
    case 33:
    case 34:
      return static_cast<uint16_t>(vkey::F13 + n - 27);
    default:
      return 0;
  }
}

// Keys of the CSI letter forms (CSI A, CSI 1;5D, ...).
uint16_t letterKey(uint8_t f) {
  switch (f) {
    case 'A':
      return vkey::Up;
    case 'B':
      return vkey::Down;
    case 'C':
      return vkey::Right;
    case 'D':
      return vkey::Left;
    case 'E':
      return vkey::Clear;
    case 'F':
      return vkey::End;
    case 'H':
      return vkey::Home;
    case 'P':
    case 'Q':
    case 'R':
    case 'S':
      return static_cast<uint16_t>(vkey::F1 + f - 'P');
    default:
      return 0;
  }
}

// Keys of the SS3 form: cursor and function keys, and the keypad in application mode.
Key ss3Key(uint8_t f) {
  if (uint16_t vk = letterKey(f)) return {vk, 0, 0};
  if (f >= 'p' && f <= 'y')
    return {static_cast<uint16_t>(vkey::Numpad0 + f - 'p'), static_cast<uint8_t>('0' + f - 'p'), 0};
  if (f >= 'a' && f <= 'd') {  // rxvt: Ctrl with the cursor keys
    static const uint16_t arrows[] = {vkey::Up, vkey::Down, vkey::Right, vkey::Left};
    return {arrows[f - 'a'], 0, CTRL};
  }
  switch (f) {
    case 'M':
      return {vkey::Return, 0x0D, 0};
    case 'I':
      return {vkey::Tab, 0x09, 0};
    case ' ':
      return {vkey::Space, ' ', 0};
    case 'X':
      return {vkey::OemPlus, '=', 0};
    case 'j':
      return {vkey::Multiply, '*', 0};
    case 'k':
      return {vkey::Add, '+', 0};
    case 'l':
      return {vkey::Separator, ',', 0};
    case 'm':
      return {vkey::Subtract, '-', 0};
    case 'n':
      return {vkey::Decimal, '.', 0};
    case 'o':
      return {vkey::Divide, '/', 0};
    default:
      return {0, 0, 0};
  }
}

// The kitty protocol's functional keys (Private Use Area codes). vk 0: no console key.
Key functionalKey(uint32_t code) {
  if (code >= 57399 && code <= 57408) {  // keypad digits
    uint32_t digit = code - 57399;
    return {static_cast<uint16_t>(vkey::Numpad0 + digit), static_cast<uint8_t>('0' + digit), 0};
  }
  if (code >= 57376 && code <= 57387)  // F13 to F24
    return {static_cast<uint16_t>(vkey::F13 + code - 57376), 0, 0};
  switch (code) {
    case 57358:
      return {vkey::Capital, 0, 0};
    case 57359:
      return {vkey::Scroll, 0, 0};
    case 57360:
      return {vkey::NumLock, 0, 0};
    case 57361:
      return {vkey::Snapshot, 0, 0};
    case 57362:
      return {vkey::Pause, 0, 0};
    case 57363:
      return {vkey::Apps, 0, 0};
    case 57409:
      return {vkey::Decimal, '.', 0};
    case 57410:
      return {vkey::Divide, '/', 0};
    case 57411:
      return {vkey::Multiply, '*', 0};
    case 57412:
      return {vkey::Subtract, '-', 0};
    case 57413:
      return {vkey::Add, '+', 0};
    case 57414:
      return {vkey::Return, 0x0D, 0};
    case 57415:
      return {vkey::OemPlus, '=', 0};
    case 57416:
      return {vkey::Separator, ',', 0};
    case 57417:
      return {vkey::Left, 0, 0};
    case 57418:
      return {vkey::Right, 0, 0};
    case 57419:
      return {vkey::Up, 0, 0};
    case 57420:
      return {vkey::Down, 0, 0};
    case 57421:
      return {vkey::Prior, 0, 0};
    case 57422:
      return {vkey::Next, 0, 0};
    case 57423:
      return {vkey::Home, 0, 0};
    case 57424:
      return {vkey::End, 0, 0};
    case 57425:
      return {vkey::Insert, 0, 0};
    case 57426:
      return {vkey::Delete, 0, 0};
    case 57427:
      return {vkey::Clear, 0, 0};
    case 57441:
    case 57447:
      return {vkey::Shift, 0, 0};
    case 57442:
    case 57448:
      return {vkey::Control, 0, 0};
    case 57443:
    case 57449:  // Alt
    case 57446:
    case 57452:
      return {vkey::Menu, 0, 0};  // Meta counts as Alt
    case 57444:
      return {vkey::LWin, 0, 0};  // Super
    case 57450:
      return {vkey::RWin, 0, 0};
    default:
      return {0, 0, 0};  // media keys, Hyper, ISO level shifts: nothing
  }
}

bool isModifierKey(uint16_t vk) {
  return vk == vkey::Shift || vk == vkey::Control || vk == vkey::Menu || vk == vkey::LWin ||
         vk == vkey::RWin;
}

// The character a non-printing key gives, with Ctrl taken into account.
uint8_t keyChar(const Key& key, uint32_t state) {
  if (!(state & CTRL) || key.ch == 0) return key.ch;
  if (key.virtualKeyCode == vkey::Return || key.virtualKeyCode == vkey::Back ||
      key.virtualKeyCode == vkey::Escape)
    return usControlChar(key.virtualKeyCode, false);
  return 0;
}

}  // namespace console
