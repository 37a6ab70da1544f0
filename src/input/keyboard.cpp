#include "input/keyboard.h"

#include <cstdio>
#include <utility>

#include "core/editor.h"
#include "input/key_map.h"
#include "screen/screen.h"

using namespace console;

const uint32_t autosaveInterval = 60000;
static const char kAutosaveFailure[] = "Autosave failure, autodisabling...";

uint32_t reduceModifiers(uint32_t bits) {
  uint32_t reduced = bits & KeyShift;
  for (uint32_t bit : {KeyAlt, KeyCtrl, KeyApps, KeyWin}) {
    if (bits & bit) return reduced | bit;
  }
  return reduced;
}

Keyboard::Keyboard(Console& input) : inputHandle(input) {
  savedInputMode = inputHandle.getInputMode();
  inputHandle.setInputMode(ENABLE_WINDOW_INPUT | ENABLE_MOUSE_INPUT);
}

Keyboard::~Keyboard() {
  inputHandle.setInputMode(savedInputMode);
}

bool Keyboard::keepWaiting(Screen& screen, const char* what, uint64_t done, uint64_t total) {
  while (inputHandle.numberOfInputEvents() > 0) {
    InputRecord record;
    if (!inputHandle.readInput(record)) return false;
    if (record.eventType == KEY_EVENT && record.key.keyDown) return false;
    if (record.eventType == PASTE_EVENT) {  // stops the work too, and goes in after it
      holdPaste();
      return false;
    }
  }
  if (inputHandle.inputGone()) return false;
  const uint32_t now = inputHandle.tickCount();
  // Work of no known size is said less often, so that it does not take turns with the
  // percentage of a scan that it is part of.
  if (now - progressShown >= (total == 0 ? 1000u : 200u)) {
    progressShown = now;
    char text[96];
    if (total == 0) {  // work of no known size
      std::snprintf(text, sizeof text, "%s (any key stops)", what);
    } else {
      const unsigned percent = static_cast<unsigned>(done * 100 / total);
      std::snprintf(text, sizeof text, "%s: %u%% (any key stops)", what, percent);
    }
    screen.showMessage(text);
    inputHandle.showNow();
  }
  return true;
}

void Keyboard::showProgress(Screen& screen, const char* what, uint64_t done, uint64_t total) {
  const uint32_t now = inputHandle.tickCount();
  if (done == 0) workBegun = now;
  if (now - workBegun < 1000 || now - progressShown < 200) return;
  progressShown = now;
  const unsigned percent = total == 0 ? 100 : static_cast<unsigned>(done * 100 / total);
  char text[96];
  std::snprintf(text, sizeof text, "%s: %u%%", what, percent > 100 ? 100 : percent);
  screen.showMessage(text);
  inputHandle.showNow();
}

void Keyboard::holdPaste() {
  size_t length = 0;
  const char* text = inputHandle.pastedText(length);
  heldPaste.append(text, length);
}

bool Keyboard::inputQueueEmpty() {
  return heldPaste.empty() && inputHandle.numberOfInputEvents() == 0;
}

bool Keyboard::autosaveDueWhileWaiting() {
  const int32_t remaining = static_cast<int32_t>(autosaveDeadline - inputHandle.tickCount());
  return remaining <= 0 ||
         inputHandle.waitForInput(static_cast<uint32_t>(remaining)) == WAIT_TIMEOUT;
}

bool Keyboard::autosaveBeforeInput() {
  // A document between two names (a question about an old copy under the name it is being
  // saved to) has no copy to write yet: the main loop runs the autosave once it has one.
  if (autosaveDeadline == 0 || !document || !document->autosaveName) return false;
  // What the prompt's read would pass over (a key's release) does not end the wait.
  while (!autosaveDueWhileWaiting())
    if (inputHandle.promptInputWaiting()) return false;
  const std::string before = document->pendingMessage ? document->pendingMessage.get() : "";
  if (document->autosaveNow() == 0) {
    document->setPendingMessage(kAutosaveFailure);  // told once the document is back
    autosaveDisabled = 1;
  }
  if (document->pendingMessage && before != document->pendingMessage.get())
    autosaveNote = document->pendingMessage.get();
  autosaveDeadline = 0;
  return true;
}

console::PromptInput Keyboard::readPromptInput() {
  if (autosaveBeforeInput()) {
    console::PromptInput redraw;
    redraw.ch = 0;
    redraw.resized = true;
    return redraw;
  }
  return inputHandle.readPromptInput();
}

void Keyboard::waitAndHandleEvent(Editor& editor) {
  autosaveNote.clear();
  if (!heldPaste.empty()) {
    const std::string text = std::move(heldPaste);
    heldPaste.clear();
    pasteText(editor, text.data(), text.size());
    armAutosave(editor);
    return;
  }
  if (autosaveDeadline != 0) {
    const int32_t remaining = static_cast<int32_t>(autosaveDeadline - inputHandle.tickCount());
    // A followed file is looked at while an autosave is still to come (an edit undone leaves
    // the document unmodified): the wait ends at whichever comes first.
    if (editor.following && remaining > 250) {
      if (inputHandle.waitForInput(250) == WAIT_TIMEOUT) {
        editor.followFile();
        return;
      }
    } else if (autosaveDueWhileWaiting()) {
      if (editor.autosaveNow() == 0) {
        editor.screen->showMessage(kAutosaveFailure);
        autosaveDisabled = 1;
      } else if (editor.pendingMessage) {
        editor.redraw();  // said now: the key awaited next takes the message away
      }
      autosaveDeadline = 0;
    }
  }
  if (autosaveDeadline == 0) {
    // While a large file's lines are being counted, the view is brought up to date now and
    // then, so that the row turns exact once the count is done.
    // While following a file, it is looked at as often.
    if ((!editor.countKnown() && !editor.countTooLarge && !editor.fileChangeReported) ||
        editor.following) {
      if (inputHandle.waitForInput(250) == WAIT_TIMEOUT) {
        editor.followFile();
        return;
      }
    } else {
      inputHandle.waitForInput(INFINITE);
    }
  }

  InputRecord record;
  if (!inputHandle.readInput(record)) {
    if (inputHandle.inputGone()) {  // the terminal has gone: end, keeping the work
      editor.hangUp = 1;
      editor.quitRequested = 1;
    }
    return;
  }
  if (record.eventType == KEY_EVENT) {
    const KeyEventRecord& key = record.key;
    for (uint16_t i = 0; i < key.repeatCount; ++i) {
      if (key.keyDown)
        keyDown(editor, key.virtualKeyCode, key.asciiChar, key.controlKeyState);
      else
        keyUp(editor, key.virtualKeyCode);
    }
  } else if (record.eventType == PASTE_EVENT) {
    size_t length = 0;
    const char* text = inputHandle.pastedText(length);
    pasteText(editor, text, length);
  }
  // What the autosave said while the command asked something is not lost to the command's
  // own message.
  if (!autosaveNote.empty()) {
    const std::string said = editor.pendingMessage ? editor.pendingMessage.get() : "";
    if (said != autosaveNote)
      editor.setPendingMessage(said.empty() ? autosaveNote.c_str()
                                            : (autosaveNote + "; " + said).c_str());
    autosaveNote.clear();
  }
  armAutosave(editor);
}

void Keyboard::armAutosave(const Editor& editor) {
  if (autosaveDisabled || !editor.autosavePending) {
    autosaveDeadline = 0;
  } else if (autosaveDeadline == 0) {
    autosaveDeadline = inputHandle.tickCount() + autosaveInterval;
    if (autosaveDeadline == 0) autosaveDeadline = 1;
  }
}

void Keyboard::keyDown(Editor& editor, uint16_t virtualKeyCode, uint8_t ch,
                       uint32_t controlKeyState) {
  if ((controlKeyState & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) && virtualKeyCode >= vk::Numpad0 &&
      virtualKeyCode <= vk::Numpad9) {
    altCode = static_cast<uint8_t>(altCode * 10 + (virtualKeyCode - vk::Numpad0));
    return;
  }
  altCode = 0;
  if (virtualKeyCode == vk::LWin || virtualKeyCode == vk::RWin) {
    winKeyDown = 1;
    return;
  }
  if (virtualKeyCode == vk::Apps) {
    appsKeyDown = 1;
    return;
  }
  dispatchKey(editor, composeKeyCode(virtualKeyCode, controlKeyState), ch,
              (controlKeyState & SHIFT_PRESSED) != 0);
}

void Keyboard::keyUp(Editor& editor, uint16_t virtualKeyCode) {
  if (virtualKeyCode == vk::Menu) {
    if (altCode != 0) typeChar(editor, altCode);
    altCode = 0;
  } else if (virtualKeyCode == vk::LWin || virtualKeyCode == vk::RWin) {
    winKeyDown = 0;
  } else if (virtualKeyCode == vk::Apps) {
    appsKeyDown = 0;
  }
}

KeyCode Keyboard::composeKeyCode(uint16_t virtualKeyCode, uint32_t controlKeyState) const {
  uint32_t bits = 0;
  if (controlKeyState & SHIFT_PRESSED) bits |= KeyShift;
  if (controlKeyState & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) bits |= KeyAlt;
  if (controlKeyState & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) bits |= KeyCtrl;
  if (winKeyDown) bits |= KeyWin;
  if (appsKeyDown) bits |= KeyApps;
  return reduceModifiers(bits) | virtualKeyCode;
}
