#include "platform/posix/csi_parameters.h"

namespace console {

namespace {

constexpr uint32_t kMaxNumber = 99999999;

}  // namespace

bool CsiParameters::parse(const uint8_t* body, size_t length) {
  size_t i = 0;
  if (length > 0 && body[0] >= '<' && body[0] <= '?') prefix = body[i++];
  for (; i < length; ++i) {
    const uint8_t b = body[i];
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

}  // namespace console
