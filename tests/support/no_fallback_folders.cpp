// A copy of a document that cannot be written beside its file goes to a folder of the user's
// own; the tests keep such copies out of the home of whoever runs them: there is no fallback
// folder unless a test puts the system's own back in force.
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace {

const std::vector<std::string> none;
const bool noFallbackFolders = [] {
  platform::useFallbackFolders(&none);
  return true;
}();

}  // namespace
