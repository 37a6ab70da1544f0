#include "platform/posix/clipboard_choice.h"

#include "platform/posix/clipboard_file.h"
#include "platform/posix/clipboard_process.h"

namespace platform {

ClipboardPlan planClipboard(const std::function<const char*(const char*)>& env,
                            const std::function<bool(const char*)>& hasProgram) {
  auto isSet = [&env](const char* name) {
    const char* value = env(name);
    return value && value[0] != '\0';
  };
  ClipboardPlan plan;
  if (isSet("TMUX") && hasProgram("tmux")) {
    plan.kind = ClipboardPlan::Tmux;
    plan.putCommand = {"tmux", "load-buffer", "-"};
    plan.getCommand = {"tmux", "save-buffer", "-"};
    plan.holdsEmptyText = false;  // tmux has no empty buffers
  } else if (isSet("WAYLAND_DISPLAY") && hasProgram("wl-copy") && hasProgram("wl-paste")) {
    plan.kind = ClipboardPlan::Wayland;
    // Named as text both ways: wl-copy would otherwise offer the text under whatever type its
    // bytes look like (a PDF, a shell script), which programs asking for text do not take,
    // and wl-paste would hand over an image or any other content when no text is offered.
    plan.putCommand = {"wl-copy", "--type", "text/plain"};
    plan.getCommand = {"wl-paste", "--no-newline", "--type", "text"};
  } else if (isSet("DISPLAY") && hasProgram("xclip")) {
    plan.kind = ClipboardPlan::Xclip;
    plan.putCommand = {"xclip", "-selection", "clipboard", "-in"};
    plan.getCommand = {"xclip", "-selection", "clipboard", "-out"};
  } else if (isSet("DISPLAY") && hasProgram("xsel")) {
    plan.kind = ClipboardPlan::Xsel;
    plan.putCommand = {"xsel", "--clipboard", "--input"};
    plan.getCommand = {"xsel", "--clipboard", "--output"};
  }
  return plan;
}

std::unique_ptr<ClipboardStore> makeClipboard(const ClipboardPlan& plan) {
  if (plan.kind != ClipboardPlan::File)
    return std::make_unique<ProcessClipboard>(plan.putCommand, plan.getCommand,
                                              plan.holdsEmptyText);
  std::string path = clipboardFilePath();
  if (path.empty()) return std::make_unique<MemoryClipboard>();
  return std::make_unique<FileClipboard>(std::move(path));
}

}  // namespace platform
