// The Windows clipboard as one CF_TEXT byte string. Every path that opens the clipboard
// closes it again before returning.
#include <cstring>

#include "platform/win32/windows_api.h"

namespace platform {
namespace {

class WindowsClipboard final : public ClipboardStore {
 public:
  bool put(const char* text) override {
    if (!OpenClipboard(nullptr)) return false;
    EmptyClipboard();
    const size_t size = std::strlen(text) + 1;
    HGLOBAL block = GlobalAlloc(GMEM_DDESHARE, size);
    if (!block) {
      CloseClipboard();
      return false;
    }
    void* data = GlobalLock(block);
    if (!data) {
      GlobalFree(block);
      CloseClipboard();
      return false;
    }
    std::memcpy(data, text, size);
    GlobalUnlock(block);
    // Once taken, the block belongs to the clipboard. When it is refused it is still ours,
    // and the text did not reach the clipboard.
    if (!SetClipboardData(CF_TEXT, block)) {
      GlobalFree(block);
      CloseClipboard();
      return false;
    }
    CloseClipboard();
    return true;
  }

  std::unique_ptr<char[]> get() override {
    if (!IsClipboardFormatAvailable(CF_TEXT)) return nullptr;
    if (!OpenClipboard(nullptr)) return nullptr;
    HANDLE handle = GetClipboardData(CF_TEXT);
    if (!handle) {
      CloseClipboard();
      return nullptr;
    }
    const char* data = static_cast<const char*>(GlobalLock(handle));
    if (!data) {
      CloseClipboard();
      return nullptr;
    }
    // Another program may have left the text without its NUL: read no further than the
    // block reaches.
    const size_t length = strnlen(data, GlobalSize(handle));
    std::unique_ptr<char[]> copy(new char[length + 1]);
    std::memcpy(copy.get(), data, length);
    copy[length] = '\0';
    GlobalUnlock(handle);
    CloseClipboard();
    return copy;
  }
};

}  // namespace

std::unique_ptr<ClipboardStore> openWindowsClipboard() {
  return std::make_unique<WindowsClipboard>();
}

}  // namespace platform
