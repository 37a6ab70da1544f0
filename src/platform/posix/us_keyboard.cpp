#include "platform/posix/us_keyboard.h"

namespace console {

namespace {

// The unshifted and shifted characters of the punctuation keys.
struct PunctuationKey {
  uint16_t virtualKeyCode;
  char plain;
  char shifted;
};

constexpr PunctuationKey kPunctuation[] = {
    {vk::OemSemicolon, ';', ':'}, {vk::OemPlus, '=', '+'},   {vk::OemComma, ',', '<'},
    {vk::OemMinus, '-', '_'},     {vk::OemPeriod, '.', '>'}, {vk::OemSlash, '/', '?'},
    {vk::OemTilde, '`', '~'},     {vk::OemOpen, '[', '{'},   {vk::OemBackslash, '\\', '|'},
    {vk::OemClose, ']', '}'},     {vk::OemQuote, '\'', '"'},
};

// The shifted characters of the digit keys 0 to 9.
constexpr char kShiftedDigits[] = ")!@#$%^&*(";

}  // namespace

UsKey usKeyForChar(uint8_t ch) {
  if (ch == ' ') return {vk::Space, false};
  if (ch >= '0' && ch <= '9') return {ch, false};
  if (ch >= 'a' && ch <= 'z') return {static_cast<uint16_t>(ch - 'a' + 'A'), false};
  if (ch >= 'A' && ch <= 'Z') return {ch, true};
  for (int digit = 0; digit < 10; ++digit) {
    if (kShiftedDigits[digit] == ch) return {static_cast<uint16_t>('0' + digit), true};
  }
  for (const PunctuationKey& key : kPunctuation) {
    if (key.plain == ch) return {key.virtualKeyCode, false};
    if (key.shifted == ch) return {key.virtualKeyCode, true};
  }
  return {0, false};
}

uint8_t usShiftedChar(uint8_t ch) {
  if (ch >= 'a' && ch <= 'z') return static_cast<uint8_t>(ch - 'a' + 'A');
  if (ch >= '0' && ch <= '9') return static_cast<uint8_t>(kShiftedDigits[ch - '0']);
  for (const PunctuationKey& key : kPunctuation) {
    if (key.plain == ch) return static_cast<uint8_t>(key.shifted);
  }
  return ch;
}

uint8_t usControlChar(uint16_t virtualKeyCode, bool shift) {
  if (virtualKeyCode >= 'A' && virtualKeyCode <= 'Z')
    return static_cast<uint8_t>(virtualKeyCode - 0x40);
  switch (virtualKeyCode) {
    case vk::OemOpen:
      return 0x1B;
    case vk::OemBackslash:
      return 0x1C;
    case vk::OemClose:
      return 0x1D;
    case '6':
      return shift ? 0x1E : 0;
    case vk::OemMinus:
      return shift ? 0x1F : 0;
    case vk::Return:
      return 0x0A;
    case vk::Back:
      return 0x7F;
    case vk::Escape:
      return 0x1B;
    default:
      return 0;
  }
}

}  // namespace console
