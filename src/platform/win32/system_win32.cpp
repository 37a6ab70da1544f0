#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/windows_api.h"

namespace platform {

bool recodeNames(int argc, char** argv, unsigned from, unsigned to) {
  std::vector<std::string> recoded;
  for (int i = 1; i < argc; ++i) {
    const int length = static_cast<int>(std::strlen(argv[i]));
    std::wstring wide(length, L'\0');
    if (length > 0 && MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, argv[i], length, wide.data(),
                                          length) != length)
      return false;
    std::string name(length, '\0');
    BOOL lacking = FALSE;
    if (length > 0 && (WideCharToMultiByte(to, WC_NO_BEST_FIT_CHARS, wide.data(), length,
                                           name.data(), length, nullptr, &lacking) != length ||
                       lacking))
      return false;
    recoded.push_back(name);
  }
  for (int i = 1; i < argc; ++i) std::memcpy(argv[i], recoded[i - 1].data(), recoded[i - 1].size());
  return true;
}

void useConsoleNames(int argc, char** argv) {
  // The file functions take names in the ANSI code page, as the command line gives them; the
  // console reads and shows its own, the OEM one unless it was changed. A name typed at a
  // prompt would name another file than the one shown, and a name given at the start would
  // show as other characters. Where the console has the OEM code page the file functions go
  // over to it too, unless a name on the command line has a character it lacks.
  const UINT oem = GetOEMCP();
  if (GetACP() == oem || GetConsoleCP() != oem || GetConsoleOutputCP() != oem) return;
  if (recodeNames(argc, argv, CP_ACP, CP_OEMCP)) SetFileApisToOEM();
}

std::unique_ptr<console::Console> openSystemConsole(std::string& error) {
  return openWindowsConsole(error);
}

std::unique_ptr<ClipboardStore> openSystemClipboard(console::Console&) {
  return openWindowsClipboard();
}

}  // namespace platform
