// Placeholder decoder: just enough keys to drive the terminal backend (printable bytes,
// Ctrl+letters, Tab, Enter, Backspace, the CSI arrows, ESC as the Alt prefix, a lone ESC as
// Escape) and the two terminal replies. The full decoder replaces this file.
#include "platform/posix/key_decoder.h"

namespace console {

namespace {

DecodedEvent keyEvent(uint16_t vk, uint8_t ch, uint32_t state) {
  DecodedEvent e;
  e.record = InputRecord{};
  e.record.eventType = KEY_EVENT;
  e.record.key = KeyEventRecord{1, 1, vk, ch, state};
  return e;
}

DecodedEvent byteEvent(uint8_t b, uint32_t state) {
  if (b == 0x0D) return keyEvent(0x0D, 13, state);
  if (b == 0x7F) return keyEvent(0x08, 8, state);
  if (b == 0x09) return keyEvent(0x09, 9, state);
  if (b >= 1 && b <= 26)
    return keyEvent(static_cast<uint16_t>('A' + b - 1), b, state | LEFT_CTRL_PRESSED);
  if (b >= 'a' && b <= 'z') return keyEvent(static_cast<uint16_t>(b - 32), b, state);
  if (b >= 'A' && b <= 'Z') return keyEvent(b, b, state | SHIFT_PRESSED);
  if ((b >= '0' && b <= '9') || b == ' ') return keyEvent(b, b, state);
  return keyEvent(0, b, state);
}

}  // namespace

void KeyDecoder::feed(const uint8_t* bytes, size_t count, std::deque<DecodedEvent>& out) {
  for (size_t i = 0; i < count; ++i) {
    const uint8_t b = bytes[i];
    if (pending_.empty()) {
      if (b == 0x1B)
        pending_.push_back(static_cast<char>(b));
      else
        out.push_back(byteEvent(b, 0));
      continue;
    }
    pending_.push_back(static_cast<char>(b));
    if (pending_.size() == 2) {
      if (b == '[') continue;
      if (b >= 0x20 && b < 0x7F) out.push_back(byteEvent(b, LEFT_ALT_PRESSED));
      pending_.clear();
      continue;
    }
    if (b < 0x40 || b > 0x7E) continue;  // CSI parameters go on
    if (pending_.size() == 3 && b >= 'A' && b <= 'D') {
      static const uint16_t arrows[] = {0x26, 0x28, 0x27, 0x25};
      out.push_back(keyEvent(arrows[b - 'A'], 0, 0));
    } else if (pending_[2] == '?' && b == 'u') {
      kittyKeyboardReply = true;
    } else if (pending_[2] == '?' && b == 'c') {
      deviceAttributesReply = true;
    }
    pending_.clear();
  }
}

void KeyDecoder::flushPending(std::deque<DecodedEvent>& out) {
  if (pending_ == "\x1b") out.push_back(keyEvent(0x1B, 0x1B, 0));
  pending_.clear();
}

bool KeyDecoder::hasPending() const {
  return !pending_.empty();
}

}  // namespace console
