#include "platform/file_system.h"

namespace platform {

namespace {
const std::vector<std::string>* fixedFallbackFolders = nullptr;
}  // namespace

void useFallbackFolders(const std::vector<std::string>* folders) {
  fixedFallbackFolders = folders;
}

std::vector<std::string> fallbackFolders(bool make) {
  if (fixedFallbackFolders != nullptr) return *fixedFallbackFolders;
  return systemFallbackFolders(make);
}

}  // namespace platform
