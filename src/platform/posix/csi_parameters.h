#pragma once

#include <cstddef>
#include <cstdint>

// The bytes of a control sequence (ESC [ parameters intermediates final) and its parsed
// parameters.
namespace console {

inline bool isFinalByte(uint8_t b) {
  return b >= 0x40 && b <= 0x7E;
}
inline bool isParameterByte(uint8_t b) {
  return b >= 0x30 && b <= 0x3F;
}
inline bool isIntermediateByte(uint8_t b) {
  return b >= 0x20 && b <= 0x2F;
}
inline bool continuesSequence(uint8_t b) {
  return isFinalByte(b) || isParameterByte(b) || isIntermediateByte(b);
}

// A parameter that was left empty.
constexpr uint32_t kMissing = 0xFFFFFFFF;

// The parameters of a control sequence: up to kFields fields separated by ';', each with up
// to kParts parts separated by ':'. Empty parts are kMissing.
struct CsiParameters {
  static constexpr int kFields = 4;
  static constexpr int kParts = 32;
  uint8_t prefix = 0;         // a private marker < = > ? before the first parameter
  bool intermediate = false;  // bytes 0x20-0x2F before the final byte
  int fields = 0;
  int parts[kFields] = {};
  uint32_t value[kFields][kParts];

  // The value of a part, or fallback when it is absent or empty.
  uint32_t get(int field, int part = 0, uint32_t fallback = kMissing) const {
    if (field >= fields || part >= parts[field]) return fallback;
    const uint32_t v = value[field][part];
    return v == kMissing ? fallback : v;
  }

  // Reads the bytes between the introducer and the final byte. False for a malformed body
  // (markers in the wrong place, too many fields or parts, parameters after intermediate
  // bytes, numbers out of range).
  bool parse(const uint8_t* body, size_t length);
};

}  // namespace console
