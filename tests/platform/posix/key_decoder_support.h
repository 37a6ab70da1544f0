#pragma once

#include <cstdio>
#include <deque>
#include <string>

#include "platform/posix/key_decoder.h"

// Events written compactly: a key as +VK/CH (down) or -VK/CH (up) in hex, followed by /S, /C,
// /A for Shift, Ctrl and Alt, and *N for a repeat count other than 1; a paste as P[text].
// Events are separated by spaces.
inline std::string describeEvents(const std::deque<console::DecodedEvent>& events) {
  std::string text;
  for (const console::DecodedEvent& event : events) {
    if (!text.empty()) text += ' ';
    if (event.record.eventType == console::PASTE_EVENT) {
      text += "P[" + event.paste + "]";
      continue;
    }
    if (event.record.eventType != console::KEY_EVENT) {
      text += "?" + std::to_string(event.record.eventType);
      continue;
    }
    const console::KeyEventRecord& key = event.record.key;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%c%02X/%02X", key.keyDown ? '+' : '-', key.virtualKeyCode,
                  key.asciiChar);
    text += buffer;
    std::string mods;
    if (key.controlKeyState & console::SHIFT_PRESSED) mods += 'S';
    if (key.controlKeyState & console::LEFT_CTRL_PRESSED) mods += 'C';
    if (key.controlKeyState & console::LEFT_ALT_PRESSED) mods += 'A';
    if (key.controlKeyState &
        ~(console::SHIFT_PRESSED | console::LEFT_CTRL_PRESSED | console::LEFT_ALT_PRESSED))
      mods += '!';
    if (!mods.empty()) text += "/" + mods;
    if (key.repeatCount != 1) text += "*" + std::to_string(key.repeatCount);
  }
  return text;
}

// Feeds the pieces one after another, then settles what is pending.
inline std::string decodeAll(console::KeyDecoder& decoder, const std::string& bytes,
                             size_t chunk = 0) {
  std::deque<console::DecodedEvent> events;
  if (chunk == 0) chunk = bytes.size() == 0 ? 1 : bytes.size();
  for (size_t at = 0; at < bytes.size(); at += chunk) {
    const size_t count = bytes.size() - at < chunk ? bytes.size() - at : chunk;
    decoder.feed(reinterpret_cast<const uint8_t*>(bytes.data()) + at, count, events);
  }
  decoder.flushPending(events);
  return describeEvents(events);
}

inline std::string decode(const std::string& bytes, size_t chunk = 0) {
  console::KeyDecoder decoder;
  return decodeAll(decoder, bytes, chunk);
}
