// Terminal bytes through the decoder into the Keyboard: the keys the Keyboard gives a
// meaning to over several events (Alt codes, the Windows key) arrive as it needs them.
#if !defined(_WIN32)

#include <gtest/gtest.h>

#include <string>

#include "core/editor.h"
#include "input/keyboard.h"
#include "platform/posix/key_decoder.h"
#include "support/document.h"
#include "support/test_session.h"

using namespace console;

namespace {

class TerminalKeysTest : public testing::Test {
 protected:
  TestSession test;
  SessionEditor editor{test};
  KeyDecoder decoder;

  // Decodes the bytes, queues the events, and handles them all.
  void typeBytes(const std::string& bytes) {
    std::deque<DecodedEvent> events;
    decoder.feed(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), events);
    decoder.flushPending(events);
    for (const DecodedEvent& event : events) {
      if (event.record.eventType == PASTE_EVENT)
        test.console.pushPaste(event.paste);
      else
        test.console.pushRecord(event.record);
    }
    for (size_t i = 0; i < events.size(); ++i) test.session.keyboard.waitAndHandleEvent(editor);
  }
};

const std::string CSI = "\x1b[";

}  // namespace

TEST_F(TerminalKeysTest, KittyAltCodeInsertsItsByteOnTheAltRelease) {
  typeBytes(CSI + "57443;3u" + CSI + "57405;3u" + CSI + "57405;3:3u" + CSI + "57404;3u" + CSI +
            "57404;3:3u");
  EXPECT_EQ(documentBytes(editor), "");
  typeBytes(CSI + "57443;1:3u");
  EXPECT_EQ(documentBytes(editor), "A");
}

TEST_F(TerminalKeysTest, KittyAltCodeThenALetterIsAltLetter) {
  typeBytes(CSI + "57443;3u" + CSI + "57405;3u" + CSI + "120;3u" + CSI + "57443;1:3u");
  EXPECT_EQ(editor.quitRequested, 1);
  EXPECT_EQ(documentBytes(editor), "");
}

TEST_F(TerminalKeysTest, LegacyKeysTypeAndDispatch) {
  typeBytes("ab\xc3\xa9\x1b");  // a UTF-8 character as its bytes; a lone ESC
  EXPECT_EQ(documentBytes(editor), "ab\xc3\xa9\x1b");
  typeBytes("\x1bx");  // Alt+X
  EXPECT_EQ(editor.quitRequested, 1);
}

TEST_F(TerminalKeysTest, SuperKeyHeldMakesKeysWinKeys) {
  typeBytes(CSI + "?31u" + CSI + "57444;9u" + CSI + "97;9u");
  EXPECT_EQ(test.session.keyboard.winKeyDown, 1);
  EXPECT_EQ(documentBytes(editor), "a");  // Win+A inserts its character
  typeBytes(CSI + "57444;1:3u" + CSI + "13u");
  EXPECT_EQ(test.session.keyboard.winKeyDown, 0);
  EXPECT_EQ(editor.lineCount, 2);
}

TEST_F(TerminalKeysTest, BracketedPasteDoesNotIndent) {
  typeBytes("  a" + CSI + "200~\n  b\n" + CSI + "201~");
  EXPECT_EQ(documentBytes(editor), "  a\n  b\n");
}

#endif
