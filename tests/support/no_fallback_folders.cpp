// A copy of a document that cannot be written beside its file goes to a folder of the user's
// own; the tests keep such copies out of the home of whoever runs them: no fallback folder
// can be made unless a test names one itself.
#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

const bool noFallbackFolders = [] {
#ifdef _WIN32
  char temp[MAX_PATH + 1] = {};
  GetTempPathA(MAX_PATH, temp);  // kept for the tests' own temporary folders
  _putenv_s("TMP", temp);
  _putenv_s("TEMP", "Z:\\proc\\nonexistent\\slate-tests");
  _putenv_s("LOCALAPPDATA", "Z:\\proc\\nonexistent\\slate-tests");
#else
  setenv("XDG_STATE_HOME", "/proc/nonexistent/slate-tests", 1);
  setenv("TMPDIR", "/proc/nonexistent/slate-tests", 1);
#endif
  return true;
}();

}  // namespace
