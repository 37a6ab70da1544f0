#include "platform/scratch_name.h"

#include <cctype>
#include <cstdio>

namespace platform {

namespace {

uint32_t digestOf(const std::string& text) {
  uint32_t hash = 2166136261u;
  for (const char c : text) hash = (hash ^ static_cast<uint8_t>(c)) * 16777619u;
  return hash;
}

}  // namespace

std::string hostTag() {
  const uint32_t hash = digestOf(machineName());
  char text[9];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(hash));
  return text;
}

std::string scratchPrefix(const std::string& baseName, const std::string& host, uint32_t pid) {
  constexpr size_t kMost = 180;
  std::string name = baseName;
  if (name.size() > kMost) {
    // Cut short, the name ends in a digest of the whole, so that two names alike in their
    // first part never share scratch names (nor have each other's copies offered).
    char digest[10];
    std::snprintf(digest, sizeof digest, "~%08x", static_cast<unsigned>(digestOf(baseName)));
    name = baseName.substr(0, kMost - 9) + digest;
  }
  return "." + name + ".slate-" + host + "-" + std::to_string(pid) + "-";
}

ScratchName parseScratchName(const std::string& name, const std::string& host) {
  ScratchName scratch;
  const std::string mark = ".slate-" + host + "-";
  const size_t at = name.rfind(mark);
  if (name.empty() || name[0] != '.' || at == std::string::npos || at == 0) return scratch;
  size_t p = at + mark.size();
  uint64_t pid = 0;
  size_t digits = 0;
  for (; p < name.size() && name[p] >= '0' && name[p] <= '9' && digits < 10; ++p, ++digits)
    pid = pid * 10 + static_cast<uint64_t>(name[p] - '0');
  if (digits == 0 || pid > UINT32_MAX || p + 7 >= name.size() || name[p] != '-') return scratch;
  for (size_t k = p + 1; k < p + 7; ++k)
    if (!std::isalnum(static_cast<unsigned char>(name[k]))) return scratch;
  const std::string kind = name.substr(p + 7);
  if (kind != ".tmp" && kind != ".part" && kind != ".new" && kind != ".old") return scratch;
  scratch.pid = static_cast<uint32_t>(pid);
  scratch.stem = name.substr(0, p + 7);
  scratch.kind = kind;
  return scratch;
}

}  // namespace platform
