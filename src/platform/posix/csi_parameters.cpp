#include "platform/posix/csi_parameters.h"

namespace console {

namespace {

constexpr uint32_t kMaxNumber = 99999999;

}  // namespace

uint32_t CsiParameters::get(int field, int part, uint32_t fallback) const {
  if (field >= fields || part >= parts[field]) return fallback;
  const uint32_t v = value[field][part];
  return v == kMissing ? fallback : v;
}

bool CsiParameters::parse(const uint8_t* body, size_t length) {
  size_t i = 0;
  if (length > 0 && body[0] >= '<' && body[0] <= '?') prefix = body[i++];
  for (; i < length; ++i) {
    if (isIntermediateByte(body[i])) {
      intermediate = true;
      continue;
    }
    if (intermediate || !addByte(body[i])) return false;
  }
  return true;
}

// One digit or separator of the parameters.
bool CsiParameters::addByte(uint8_t b) {
  if (fields == 0) {
    fields = 1;
    parts[0] = 1;
    value[0][0] = kMissing;
  }
  uint32_t& v = value[fields - 1][parts[fields - 1] - 1];
  if (b >= '0' && b <= '9') {
    v = (v == kMissing ? 0 : v * 10) + (b - '0');
    return v <= kMaxNumber;
  }
  if (b == ':') {
    if (parts[fields - 1] == kParts) return false;
    value[fields - 1][parts[fields - 1]++] = kMissing;
    return true;
  }
  if (b == ';') {
    if (fields == kFields) return false;
    parts[fields] = 1;
    value[fields++][0] = kMissing;
    return true;
  }
  return false;  // a private marker after the start
}

}  // namespace console
