#pragma once

#include <cstdint>
#include <string>

#include "input/prompt_history.h"
#include "platform/console.h"
#include "platform/key_codes.h"

class Editor;
class Screen;

extern const uint32_t autosaveInterval;  // milliseconds

// Keeps only Shift and the first of Alt, Ctrl, Apps and Win that is present.
uint32_t reduceModifiers(uint32_t bits);

// The console's input side: the raw input mode, the wait for the next event (which runs the
// autosave when it is due), and key events turned into KeyCodes for the dispatcher.
class Keyboard {
 public:
  explicit Keyboard(console::Console& input);
  ~Keyboard();
  Keyboard(const Keyboard&) = delete;
  Keyboard& operator=(const Keyboard&) = delete;

  bool inputQueueEmpty();
  // For a page or prompt that waits for a key outside the main loop: waits for input until
  // the autosave falls due, and then runs it as the main loop would; whether it ran (the
  // page's rows may have been written over by its progress, and are drawn again).
  bool autosaveBeforeInput();
  // What a prompt or question reads next (see Console::readPromptInput); after an autosave
  // ran while it waited, a resize, so that the prompt is drawn again.
  console::PromptInput readPromptInput();
  void waitAndHandleEvent(Editor& editor);
  void keyDown(Editor& editor, uint16_t virtualKeyCode, uint8_t ch, uint32_t controlKeyState);
  void keyUp(Editor& editor, uint16_t virtualKeyCode);
  KeyCode composeKeyCode(uint16_t virtualKeyCode, uint32_t controlKeyState) const;
  // Waits for input until the armed autosave deadline; whether it has passed.
  bool autosaveDueWhileWaiting();
  // Arms the autosave timer at the first unsaved change, disarms it when nothing is pending.
  void armAutosave(const Editor& editor);
  // For a long wait or scan: shows "WHAT: N% (any key stops)" now and then ("WHAT (any key
  // stops)" for work of no known size, total 0), and answers
  // false once a key is pressed (the key is taken), text is pasted (it is held, and goes in
  // at the next wait) or the input has gone.
  bool keepWaiting(Screen& screen, const char* what, uint64_t done, uint64_t total);
  // Keeps the text of the paste event just read, to be put in at the next wait (for a page
  // or a wait that a paste ends).
  void holdPaste();
  // For long work that keys do not stop: shows "WHAT: N%" now and then once the work (begun
  // by a call with done == 0) has taken a second; keys wait for it to end.
  void showProgress(Screen& screen, const char* what, uint64_t done, uint64_t total);

  uint32_t autosaveDeadline = 0;  // 0: the timer is not armed
  int32_t autosaveDisabled = 0;
  console::Console& inputHandle;
  Editor* document = nullptr;  // the editor whose autosave runs while a prompt waits
  uint32_t savedInputMode = 0;
  int32_t winKeyDown = 0;
  int32_t appsKeyDown = 0;
  uint8_t altCode = 0;
  uint32_t progressShown = 0;  // when keepWaiting last showed its progress
  uint32_t workBegun = 0;      // when the work showProgress follows began
  std::string heldPaste;       // text pasted while keepWaiting ran, not yet put in
  std::string autosaveNote;    // what an autosave run from a prompt said, for the command's end
  // Earlier answers to the status-line prompts, for this run.
  PromptHistory promptHistory;
};
