#include "input/keyboard.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/editor.h"
#include "platform/file_system.h"
#include "support/document.h"
#include "support/test_session.h"

using namespace console;

namespace {

constexpr uint16_t VK_MENU = 0x12;
constexpr uint16_t VK_END = 0x23;
constexpr uint16_t VK_LEFT = 0x25;
constexpr uint16_t VK_RIGHT = 0x27;
constexpr uint16_t VK_LWIN = 0x5B;
constexpr uint16_t VK_RWIN = 0x5C;
constexpr uint16_t VK_APPS = 0x5D;
constexpr uint16_t VK_NUMPAD0 = 0x60;
constexpr uint16_t VK_F1 = 0x70;
const char kFailure[] = "Autosave failure, autodisabling...";

class KeyboardTest : public testing::Test {
 protected:
  TestSession test;
  MemoryConsole& console = test.console;
  Keyboard& keyboard = test.session.keyboard;
  SessionEditor editor{test};
  int queued = 0;

  void key(uint16_t vk, uint8_t ch = 0, uint32_t state = 0, uint16_t repeat = 1) {
    console.pushKey(vk, ch, state, repeat);
    ++queued;
  }
  void keyUp(uint16_t vk, uint32_t state = 0) {
    console.pushKeyUp(vk, state);
    ++queued;
  }
  void record(uint16_t eventType) {
    InputRecord r{};
    r.eventType = eventType;
    console.pushRecord(r);
    ++queued;
  }
  void type(char ch) { key(static_cast<uint16_t>(std::toupper(ch)), static_cast<uint8_t>(ch)); }
  // Handles everything queued so far, one event per wait.
  void handle() {
    for (; queued > 0; --queued) keyboard.waitAndHandleEvent(editor);
  }
  // Alt held, the digits on the numeric keypad, Alt released.
  void altCode(const std::string& digits, uint32_t alt = LEFT_ALT_PRESSED) {
    key(VK_MENU, 0, alt);
    for (char d : digits) {
      key(static_cast<uint16_t>(VK_NUMPAD0 + d - '0'), static_cast<uint8_t>(d), alt);
      keyUp(static_cast<uint16_t>(VK_NUMPAD0 + d - '0'), alt);
    }
    keyUp(VK_MENU);
  }
  std::string statusLine() { return console.rowText(console.height - 1); }
  bool failureShown() { return statusLine().find(kFailure) != std::string::npos; }
};

}  // namespace

TEST(KeyboardMode, RawModeWhileItLivesThenTheUsersMode) {
  MemoryConsole console(80, 25);
  console.inputMode = 0x01F7;
  {
    Keyboard keyboard(console);
    EXPECT_EQ(console.inputMode, 0x0018u);
    EXPECT_EQ(keyboard.savedInputMode, 0x01F7u);
    EXPECT_EQ(keyboard.autosaveDeadline, 0u);
    EXPECT_EQ(keyboard.altCode, 0);
  }
  EXPECT_EQ(console.inputMode, 0x01F7u);
}

TEST_F(KeyboardTest, QueueEmptyUntilAnEventArrives) {
  EXPECT_TRUE(keyboard.inputQueueEmpty());
  console.pushPause(10);
  type('a');
  EXPECT_TRUE(keyboard.inputQueueEmpty());  // not yet arrived
  keyboard.waitAndHandleEvent(editor);
  EXPECT_EQ(documentBytes(editor), "a");
  type('b');
  EXPECT_FALSE(keyboard.inputQueueEmpty());
}

TEST_F(KeyboardTest, RepeatCountRunsTheKeyThatManyTimes) {
  key('A', 'a', 0, 3);
  key('B', 'b', 0, 0);  // a count of 0: not at all
  key(0x0D, 0x0D, 0, 2);
  handle();
  EXPECT_EQ(documentLines(editor).size(), 3u);
  EXPECT_EQ(documentLines(editor)[0], "aaa\n");
}

TEST_F(KeyboardTest, RightWithRepeatThreeMovesThreeTimes) {
  setDocument(editor, "abcdef");
  editor.goToPosition(0, 0);
  key(VK_RIGHT, 0, 0, 3);
  handle();
  EXPECT_EQ(editor.cursorColumn, 3);
}

TEST_F(KeyboardTest, ComposedKeyCodes) {
  EXPECT_EQ(keyboard.composeKeyCode(VK_LEFT, SHIFT_PRESSED), 0x125u);
  EXPECT_EQ(keyboard.composeKeyCode(VK_LEFT, SHIFT_PRESSED | LEFT_CTRL_PRESSED), 0x325u);
  EXPECT_EQ(keyboard.composeKeyCode(VK_LEFT, LEFT_CTRL_PRESSED | LEFT_ALT_PRESSED), 0x425u);
  EXPECT_EQ(keyboard.composeKeyCode(VK_LEFT, RIGHT_CTRL_PRESSED | RIGHT_ALT_PRESSED), 0x425u);
  EXPECT_EQ(keyboard.composeKeyCode(VK_LEFT, RIGHT_CTRL_PRESSED), 0x225u);
  EXPECT_EQ(keyboard.composeKeyCode(VK_LEFT, NUMLOCK_ON | ENHANCED_KEY | 0x80), 0x25u);
  keyboard.winKeyDown = 1;
  EXPECT_EQ(keyboard.composeKeyCode(VK_LEFT, 0), 0x825u);
  keyboard.appsKeyDown = 1;
  EXPECT_EQ(keyboard.composeKeyCode(VK_LEFT, 0), 0x1025u);  // Apps only
  EXPECT_EQ(keyboard.composeKeyCode(VK_LEFT, SHIFT_PRESSED | LEFT_CTRL_PRESSED), 0x325u);
  EXPECT_EQ(reduceModifiers(KeyShift | KeyWin | KeyApps | KeyCtrl | KeyAlt), KeyShift | KeyAlt);
  EXPECT_EQ(reduceModifiers(KeyWin | KeyApps), KeyApps);
}

TEST_F(KeyboardTest, CtrlAltXCountsAsAltX) {
  key('X', 0x18, LEFT_CTRL_PRESSED | LEFT_ALT_PRESSED);
  handle();
  EXPECT_EQ(editor.quitRequested, 1);
}

TEST_F(KeyboardTest, AltCodesInsertTheirByteWhenAltIsReleased) {
  altCode("65");
  handle();
  EXPECT_EQ(documentBytes(editor), "A");
  EXPECT_EQ(editor.modified, 1);
  EXPECT_EQ(keyboard.altCode, 0);
  altCode("300");  // 300 mod 256
  altCode("66", RIGHT_ALT_PRESSED);
  handle();
  EXPECT_EQ(documentBytes(editor), "A,B");
}

TEST_F(KeyboardTest, AltCodeOfZeroInsertsNothing) {
  altCode("256");
  handle();
  EXPECT_EQ(documentBytes(editor), "");
  EXPECT_EQ(editor.modified, 0);
  EXPECT_EQ(keyboard.autosaveDeadline, 0u);
}

TEST_F(KeyboardTest, AnotherKeyClearsTheAltCode) {
  key(VK_MENU, 0, LEFT_ALT_PRESSED);
  key(VK_NUMPAD0 + 6, '6', LEFT_ALT_PRESSED);
  key('X', 'x', LEFT_ALT_PRESSED);  // Alt+X: quit
  keyUp(VK_MENU);
  handle();
  EXPECT_EQ(editor.quitRequested, 1);
  EXPECT_EQ(documentBytes(editor), "");
  EXPECT_EQ(keyboard.altCode, 0);
}

TEST_F(KeyboardTest, AnAltCodeClosesTheHelpPageAndTypesNothing) {
  key(VK_F1);
  altCode("65");  // the character made closes the page, as any other key does
  key('B', 'b');
  handle();
  EXPECT_EQ(documentBytes(editor), "b");
  EXPECT_EQ(keyboard.altCode, 0);
}

// In a prompt, too, the digits typed with Alt held are no characters: the byte they make is.
TEST_F(KeyboardTest, AltCodeTypesItsByteIntoAPrompt) {
  setDocument(editor, "65 A");
  key(0x74);  // F5
  altCode("65");
  key(0x0D, 13);
  keyboard.waitAndHandleEvent(editor);
  EXPECT_FALSE(console.inputLeft());
  EXPECT_EQ(editor.cursorColumn, 3);
  EXPECT_STREQ(editor.searchState->searchText, "A");
}

TEST_F(KeyboardTest, KeypadWithoutNumLockBuildsNoCode) {
  key(VK_MENU, 0, LEFT_ALT_PRESSED);
  key(VK_END, 0, LEFT_ALT_PRESSED);  // keypad 1 with NumLock off
  keyUp(VK_MENU);
  key(VK_NUMPAD0 + 7, '7', 0);  // a keypad digit without Alt is typed
  keyUp(VK_MENU);               // a second release inserts nothing
  handle();
  EXPECT_EQ(documentBytes(editor), "7");
}

TEST_F(KeyboardTest, WindowsAndAppsKeysNeverReachTheDispatcher) {
  setDocument(editor, "abc");
  editor.goToPosition(0, 2);
  editor.markColumn = 0;
  editor.selectionActive = 1;

  key(VK_LWIN);
  handle();
  EXPECT_EQ(keyboard.winKeyDown, 1);
  key(VK_LEFT);  // Win+Left: no binding, no character, nothing at all
  handle();
  EXPECT_EQ(editor.selectionActive, 1);
  EXPECT_EQ(editor.markColumn, 0);
  key(VK_APPS);
  key(VK_LEFT);  // Apps+Win+Left: carries Apps only, still nothing
  handle();
  EXPECT_EQ(keyboard.appsKeyDown, 1);
  EXPECT_EQ(editor.selectionActive, 1);

  key('A', 'a');  // inserts the character the console reports
  handle();
  EXPECT_EQ(documentBytes(editor), "abac\n");
  keyUp(VK_APPS);
  keyUp(VK_RWIN);
  handle();
  EXPECT_EQ(keyboard.appsKeyDown, 0);
  EXPECT_EQ(keyboard.winKeyDown, 0);
  EXPECT_EQ(documentBytes(editor), "abac\n");
}

TEST_F(KeyboardTest, AltBeatsTheWindowsKey) {
  key(VK_RWIN);
  key('X', 'x', LEFT_ALT_PRESSED);
  handle();
  EXPECT_EQ(editor.quitRequested, 1);
}

TEST_F(KeyboardTest, UnboundKeyWithoutCharacterKeepsTheSelection) {
  setDocument(editor, "abc");
  editor.goToPosition(0, 2);
  editor.markColumn = 0;
  editor.selectionActive = 1;
  key(VK_F1);
  handle();
  EXPECT_EQ(editor.selectionActive, 1);
  key(VK_LEFT);  // a bound key without Shift collapses it
  handle();
  EXPECT_EQ(editor.selectionActive, 0);
}

TEST_F(KeyboardTest, MouseSizeFocusAndMenuEventsChangeNothing) {
  setDocument(editor, "abc");
  type('x');
  handle();
  const uint32_t deadline = keyboard.autosaveDeadline;
  const std::string before = documentBytes(editor);
  editor.textDirty = 0;
  editor.selectionDirty = 0;
  record(MOUSE_EVENT);
  console.resize(100, 30);
  ++queued;
  record(FOCUS_EVENT);
  record(MENU_EVENT);
  handle();
  EXPECT_EQ(documentBytes(editor), before);
  EXPECT_EQ(editor.textDirty, 0);
  EXPECT_EQ(editor.selectionDirty, 0);
  EXPECT_EQ(keyboard.autosaveDeadline, deadline);
  EXPECT_EQ(keyboard.altCode, 0);
}

TEST_F(KeyboardTest, PasteGoesInAsOneStepWithoutIndentation) {
  ASSERT_EQ(editor.autoIndent, 1);
  console.pushPaste("  x\n  y\r\nz");
  ++queued;
  handle();
  EXPECT_EQ(documentBytes(editor), "  x\n  y\nz");
  EXPECT_EQ(editor.modified, 1);
  EXPECT_NE(keyboard.autosaveDeadline, 0u);
}

TEST_F(KeyboardTest, TerminalGoneEndsTheEditor) {
  keyboard.waitAndHandleEvent(editor);  // nothing queued: the input has ended
  EXPECT_EQ(editor.hangUp, 1);
  EXPECT_EQ(editor.quitRequested, 1);
}

// ---- the autosave timer ----

TEST_F(KeyboardTest, TimerArmedByTheFirstChange) {
  key(VK_F1);
  handle();
  EXPECT_EQ(keyboard.autosaveDeadline, 0u);
  type('a');
  handle();
  EXPECT_EQ(keyboard.autosaveDeadline, 1000u + autosaveInterval);
}

TEST_F(KeyboardTest, TimerIsNotPushedBackByTyping) {
  type('a');  // at 1000: due at 61000
  console.pushPause(30000);
  type('b');
  console.pushPause(29999);
  type('c');  // at 60999
  handle();
  EXPECT_EQ(keyboard.autosaveDeadline, 61000u);
  EXPECT_EQ(keyboard.autosaveDisabled, 0);
  console.pushPause(2);
  type('d');  // the wait for it times out at 61000
  handle();
  EXPECT_EQ(keyboard.autosaveDisabled, 1);  // no autosave name: the autosave failed
  EXPECT_TRUE(failureShown());
  EXPECT_EQ(documentBytes(editor), "abcd");
}

TEST_F(KeyboardTest, DueAutosaveRunsAtOnceWhenTheDeadlinePassedDuringCommands) {
  type('a');
  handle();
  console.clock += 70000;  // a long command
  type('b');
  const uint32_t clock = console.clock;
  handle();
  EXPECT_EQ(console.clock, clock);  // no wait
  EXPECT_EQ(keyboard.autosaveDisabled, 1);
  EXPECT_TRUE(failureShown());
}

TEST_F(KeyboardTest, TickCounterWrapBetweenArmingAndChecking) {
  console.clock = 0xFFFFFFFFu - 1000;
  type('a');
  handle();
  EXPECT_EQ(keyboard.autosaveDeadline, 58999u);
  type('b');  // 60000 ms remain, although the deadline is numerically smaller
  console.pushPause(59999);
  type('c');
  handle();
  EXPECT_EQ(keyboard.autosaveDisabled, 0);
  console.pushPause(5);
  type('d');
  handle();
  EXPECT_EQ(keyboard.autosaveDisabled, 1);
}

TEST_F(KeyboardTest, DeadlineOfZeroIsStoredAsOne) {
  console.clock = 0u - autosaveInterval;
  type('a');
  handle();
  EXPECT_EQ(keyboard.autosaveDeadline, 1u);
  console.pushPause(10);
  type('b');
  handle();
  EXPECT_EQ(keyboard.autosaveDisabled, 0);
}

TEST_F(KeyboardTest, FailureSwitchesTheTimerOffForTheRun) {
  type('a');
  console.pushPause(autosaveInterval + 5);
  type('b');
  handle();
  EXPECT_TRUE(failureShown());
  EXPECT_EQ(keyboard.autosaveDeadline, 0u);
  // The message is shown once: wipe it, keep typing for long, and it does not come back.
  console.fillOutputCharacter(' ', console.width,
                              Coord{0, static_cast<int16_t>(console.height - 1)});
  for (char c : std::string("cdefg")) {
    console.pushPause(2 * autosaveInterval);
    type(c);
  }
  handle();
  EXPECT_FALSE(failureShown());
  EXPECT_EQ(keyboard.autosaveDeadline, 0u);
  EXPECT_EQ(keyboard.autosaveDisabled, 1);
}

TEST_F(KeyboardTest, NothingPendingDisarmsTheTimer) {
  type('a');
  handle();
  ASSERT_NE(keyboard.autosaveDeadline, 0u);
  editor.autosavePending = 0;  // as a save leaves it
  key(VK_F1);
  handle();
  EXPECT_EQ(keyboard.autosaveDeadline, 0u);
}

namespace {

class AutosaveFileTest : public KeyboardTest {
 protected:
  std::string path;
  void SetUp() override {
    namespace fs = std::filesystem;
    const std::string name = std::string("slate-keyboard-") +
                             testing::UnitTest::GetInstance()->current_test_info()->name();
    directory = (fs::temp_directory_path() / name).string();
    fs::remove_all(directory);
    ASSERT_TRUE(fs::create_directory(directory));
    path = (fs::path(directory) / "notes.txt.autosave").string();
    editor.autosaveName.reset(new char[path.size() + 1]);
    std::memcpy(editor.autosaveName.get(), path.c_str(), path.size() + 1);
  }
  void TearDown() override { std::filesystem::remove_all(directory); }
  std::string fileText() {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  std::string directory;
};

}  // namespace

TEST_F(AutosaveFileTest, AutosaveWritesTheCopyAndRearmsOnTheNextChange) {
  type('a');
  type('b');
  handle();
  const std::string saved = documentBytes(editor);
  console.pushPause(autosaveInterval);
  type('c');
  handle();
  EXPECT_EQ(fileText(), saved);
  EXPECT_FALSE(failureShown());
  EXPECT_EQ(keyboard.autosaveDisabled, 0);
  EXPECT_EQ(editor.modified, 1);
  // 'c' is a new change: the timer runs again from its arrival.
  EXPECT_EQ(keyboard.autosaveDeadline, console.clock + autosaveInterval);
}

TEST_F(AutosaveFileTest, AfterAnAutosaveWithoutChangesTheTimerStaysOff) {
  type('a');
  console.pushPause(autosaveInterval + 1);
  key(VK_F1);
  handle();
  EXPECT_EQ(fileText(), "a");
  EXPECT_EQ(editor.autosavePending, 0);
  EXPECT_EQ(keyboard.autosaveDeadline, 0u);
}

TEST_F(AutosaveFileTest, FailedAutosaveLeavesNoFileAndSwitchesOff) {
  // The autosave name lies in a directory that does not exist: no writer can succeed.
  const std::string missing = path + ".missing/notes.txt.autosave";
  editor.autosaveName.reset(new char[missing.size() + 1]);
  std::memcpy(editor.autosaveName.get(), missing.c_str(), missing.size() + 1);
  type('a');
  console.pushPause(autosaveInterval + 1);
  type('b');
  handle();
  EXPECT_TRUE(failureShown());
  EXPECT_EQ(keyboard.autosaveDisabled, 1);
  EXPECT_EQ(keyboard.autosaveDeadline, 0u);
  EXPECT_EQ(documentBytes(editor), "ab");
}

TEST_F(KeyboardTest, WorkProgressShowsOnlyAfterASecondAndLeavesKeysQueued) {
  type('a');
  const std::string before = statusLine();
  keyboard.showProgress(test.session.screen, "Saving", 0, 200);
  console.clock += 999;
  keyboard.showProgress(test.session.screen, "Saving", 50, 200);
  EXPECT_EQ(statusLine(), before);
  console.clock += 1;
  keyboard.showProgress(test.session.screen, "Saving", 100, 200);
  EXPECT_EQ(statusLine().substr(0, 12), "Saving: 50% ");
  EXPECT_FALSE(keyboard.inputQueueEmpty());  // the key waits for the work to end
}

TEST_F(KeyboardTest, TextPastedDuringALongScanStopsItAndGoesInAfterIt) {
  type('a');
  handle();
  console.pushPaste("xy\nz");
  EXPECT_FALSE(keyboard.keepWaiting(test.session.screen, "Searching", 10, 100));
  EXPECT_FALSE(keyboard.inputQueueEmpty());
  keyboard.waitAndHandleEvent(editor);
  EXPECT_EQ(documentBytes(editor), "axy\nz");
  EXPECT_TRUE(keyboard.inputQueueEmpty());
}

// A prompt left open does not hold the autosave back: it runs when due, and the prompt is
// drawn again.
TEST_F(AutosaveFileTest, AutosaveRunsWhileAPromptWaits) {
  type('a');
  key(0x74);  // F5: the search prompt
  console.pushPause(autosaveInterval);
  type('x');
  key(0x0D, 13);
  keyboard.waitAndHandleEvent(editor);
  keyboard.waitAndHandleEvent(editor);  // F5, up to the end of its prompt
  EXPECT_EQ(fileText(), "a");
  EXPECT_EQ(keyboard.autosaveDeadline, 0u);
  EXPECT_FALSE(console.inputLeft());
}

TEST_F(AutosaveFileTest, AutosaveRunsWhileTheHelpPageIsOpen) {
  type('a');
  key(VK_F1);
  console.pushPause(autosaveInterval);
  key(VK_F1);  // closes the page
  keyboard.waitAndHandleEvent(editor);
  keyboard.waitAndHandleEvent(editor);
  EXPECT_EQ(fileText(), "a");
  EXPECT_FALSE(console.inputLeft());
}

TEST_F(KeyboardTest, TextPastedOnTheHelpPageClosesItAndGoesIn) {
  key(VK_F1);
  console.pushPaste("xy");
  keyboard.waitAndHandleEvent(editor);
  EXPECT_FALSE(console.inputLeft());
  keyboard.waitAndHandleEvent(editor);
  EXPECT_EQ(documentBytes(editor), "xy");
}

// A failure of the autosave while F7 asks is still told once the run has ended with its
// own message.
TEST_F(AutosaveFileTest, AutosaveFailureDuringAQuestionOutlivesTheCommandsMessage) {
  const std::vector<std::string> none;
  platform::useFallbackFolders(&none);
  const std::string nowhere = path + ".missing/notes.txt.autosave";
  editor.autosaveName.reset(new char[nowhere.size() + 1]);
  std::memcpy(editor.autosaveName.get(), nowhere.c_str(), nowhere.size() + 1);
  setDocument(editor, "aa");
  editor.goToPosition(0, 0);
  type('x');
  key(0x76);  // F7: search for "a", replace with "b", then the question
  type('a');
  key(0x0D, 13);
  type('b');
  key(0x0D, 13);
  console.pushPause(autosaveInterval);
  type('q');
  keyboard.waitAndHandleEvent(editor);
  keyboard.waitAndHandleEvent(editor);
  platform::useFallbackFolders(nullptr);
  editor.redraw();
  EXPECT_TRUE(failureShown()) << statusLine();
  EXPECT_NE(statusLine().find("Replaced 0 of 1"), std::string::npos) << statusLine();
  EXPECT_EQ(keyboard.autosaveDisabled, 1);
}

// Where the copy went when it could not go beside the file is on the status line at once,
// before the next key takes the message away.
TEST_F(AutosaveFileTest, TimedAutosaveElsewhereSaysWhereBeforeTheNextKey) {
  const std::vector<std::string> folders{std::filesystem::path(path).parent_path().string()};
  platform::useFallbackFolders(&folders);
  const std::string nowhere = path + ".missing/notes.txt.autosave";
  editor.autosaveName.reset(new char[nowhere.size() + 1]);
  std::memcpy(editor.autosaveName.get(), nowhere.c_str(), nowhere.size() + 1);
  type('a');
  handle();
  console.pushPause(autosaveInterval);
  keyboard.waitAndHandleEvent(editor);  // the autosave, then the wait for a key
  platform::useFallbackFolders(nullptr);
  EXPECT_EQ(statusLine().rfind("Autosave: ", 0), 0u) << statusLine();
  EXPECT_NE(statusLine().find("the copy is in "), std::string::npos) << statusLine();
}

// The release of the key that opened the prompt (Windows consoles and the kitty protocol
// report it) is no input the prompt takes: the wait for the autosave goes on past it.
TEST_F(AutosaveFileTest, AutosaveRunsWhileAPromptWaitsPastAKeyRelease) {
  type('a');
  key(0x74);  // F5: the search prompt
  keyUp(0x74);
  console.pushPause(autosaveInterval);  // and then nothing more
  keyboard.waitAndHandleEvent(editor);
  keyboard.waitAndHandleEvent(editor);  // F5: its prompt waits
  EXPECT_EQ(fileText(), "a");
}
