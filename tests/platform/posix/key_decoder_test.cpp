#if !defined(_WIN32)

#include "platform/posix/key_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/posix/key_decoder_support.h"
#include "platform/posix/us_keyboard.h"

using namespace console;

namespace {

struct Row {
  std::string bytes;
  std::string events;
};

// Decodes the row whole, split in two at every byte, and one byte at a time.
void checkRows(const std::vector<Row>& rows) {
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.bytes));
    EXPECT_EQ(decode(row.bytes), row.events);
    for (size_t split = 1; split < row.bytes.size(); ++split) {
      KeyDecoder decoder;
      std::deque<DecodedEvent> events;
      decoder.feed(reinterpret_cast<const uint8_t*>(row.bytes.data()), split, events);
      decoder.feed(reinterpret_cast<const uint8_t*>(row.bytes.data()) + split,
                   row.bytes.size() - split, events);
      decoder.flushPending(events);
      EXPECT_EQ(describeEvents(events), row.events) << "split at " << split;
    }
    EXPECT_EQ(decode(row.bytes, 1), row.events) << "byte by byte";
  }
}

const std::string CSI = "\x1b[";
const std::string SS3 = "\x1bO";

}  // namespace

TEST(KeyDecoder, PrintableAsciiIsTheUsKeyThatTypesIt) {
  checkRows({
      {"a", "+41/61"},    {"z", "+5A/7A"},   {"A", "+41/41/S"}, {"Z", "+5A/5A/S"},
      {"0", "+30/30"},    {"9", "+39/39"},   {" ", "+20/20"},   {";", "+BA/3B"},
      {":", "+BA/3A/S"},  {"=", "+BB/3D"},   {"+", "+BB/2B/S"}, {",", "+BC/2C"},
      {"<", "+BC/3C/S"},  {"-", "+BD/2D"},   {"_", "+BD/5F/S"}, {".", "+BE/2E"},
      {">", "+BE/3E/S"},  {"/", "+BF/2F"},   {"?", "+BF/3F/S"}, {"`", "+C0/60"},
      {"~", "+C0/7E/S"},  {"[", "+DB/5B"},   {"{", "+DB/7B/S"}, {"\\", "+DC/5C"},
      {"|", "+DC/7C/S"},  {"]", "+DD/5D"},   {"}", "+DD/7D/S"}, {"'", "+DE/27"},
      {"\"", "+DE/22/S"}, {"!", "+31/21/S"}, {"@", "+32/40/S"}, {"#", "+33/23/S"},
      {"$", "+34/24/S"},  {"%", "+35/25/S"}, {"^", "+36/5E/S"}, {"&", "+37/26/S"},
      {"*", "+38/2A/S"},  {"(", "+39/28/S"}, {")", "+30/29/S"}, {"hi!", "+48/68 +49/69 +31/21/S"},
  });
  // Every printable character has a key, and the Shift flag matches the character.
  for (int ch = 0x20; ch < 0x7F; ++ch) {
    UsKey key = usKeyForChar(static_cast<uint8_t>(ch));
    EXPECT_NE(key.virtualKeyCode, 0) << ch;
    if (!key.shift) {
      EXPECT_EQ(usKeyForChar(usShiftedChar(static_cast<uint8_t>(ch))).shift, ch != ' ') << ch;
    }
  }
}

TEST(KeyDecoder, ControlBytesAndTheirDecidedMeanings) {
  checkRows({
      {"\r", "+0D/0D"},                    // Enter
      {"\n", "+0D/0D"},                    // keypad Enter in tmux, Ctrl+J
      {"\t", "+09/09"},                    // Tab, Ctrl+I
      {"\x7f", "+08/08"},                  // Backspace
      {"\x08", "+08/7F/C"},                // Ctrl+Backspace, Ctrl+H
      {std::string(1, '\0'), "+20/00/C"},  // Ctrl+Space
      {"\x01", "+41/01/C"},
      {"\x05", "+45/05/C"},
      {"\x1a", "+5A/1A/C"},
      {"\x03", "+43/03/C"},
      {"\x16", "+56/16/C"},
      {"\x18", "+58/18/C"},
      {"\x1c", "+DC/1C/C"},
      {"\x1d", "+DD/1D/C"},
      {"\x1e", "+36/1E/SC"},
      {"\x1f", "+BD/1F/SC"},
      {"\xc3\xa9", "+00/C3 +00/A9"},  // a UTF-8 character: each byte as typed
      {"\xff\x80", "+00/FF +00/80"},
  });
}

TEST(KeyDecoder, ByteEightIsBackspaceWhenTheTerminalErasesWithIt) {
  KeyDecoder decoder;
  decoder.eraseIsCtrlH = true;
  EXPECT_EQ(decodeAll(decoder, "\x08\x7f\x1b\x08"), "+08/08 +08/08 +08/08/A");
}

TEST(KeyDecoder, EscapeAloneAndAsTheAltPrefix) {
  checkRows({
      {"\x1b", "+1B/1B"},
      {"\x1bx", "+58/78/A"},
      {"\x1bX", "+58/58/SA"},
      {"\x1b\x7f", "+08/08/A"},  // Alt+Backspace
      {"\x1b\x08", "+08/7F/CA"},
      {"\x1b\x18", "+58/18/CA"},  // Ctrl+Alt+X
      {"\x1b\r", "+0D/0D/A"},
      {"\x1b\x1b", "+1B/1B/A"},
      {"\x1b\x1b\x1b", "+1B/1B +1B/1B/A"},
      {"\x1b\x1bx", "+1B/1B/A +58/78"},
      {"\x1b\xc3\xa9", "+00/C3/A +00/A9"},
      {"\x1b[", "+DB/5B/A"},   // settled: Alt+[
      {"\x1bO", "+4F/4F/SA"},  // Alt+Shift+O
      {"\x1b]", "+DD/5D/A"},
      {"\x1bP", "+50/50/SA"},
      {"\x1b[\x01", "+DB/5B/A +41/01/C"},
      {"\x1bO\r", "+4F/4F/SA +0D/0D"},
      {"\x1b\x1b[A", "+26/00/A"},  // Alt with a cursor key
      {"\x1b\x1bOD", "+25/00/A"},
      {"\x1b\x1b[", "+DB/5B/A"},
      {"a\x1b", "+41/61 +1B/1B"},
  });
}

TEST(KeyDecoder, CursorAndEditingKeysInEveryForm) {
  checkRows({
      {CSI + "A", "+26/00"},      {CSI + "B", "+28/00"},  {CSI + "C", "+27/00"},
      {CSI + "D", "+25/00"},      {SS3 + "A", "+26/00"},  {SS3 + "B", "+28/00"},
      {SS3 + "C", "+27/00"},      {SS3 + "D", "+25/00"},  {CSI + "H", "+24/00"},
      {CSI + "F", "+23/00"},      {SS3 + "H", "+24/00"},  {SS3 + "F", "+23/00"},
      {CSI + "1~", "+24/00"},     {CSI + "4~", "+23/00"}, {CSI + "7~", "+24/00"},
      {CSI + "8~", "+23/00"},     {CSI + "2~", "+2D/00"}, {CSI + "3~", "+2E/00"},
      {CSI + "5~", "+21/00"},     {CSI + "6~", "+22/00"}, {CSI + "Z", "+09/09/S"},  // Shift+Tab
      {CSI + "E", "+0C/00"},  // keypad 5 without NumLock
      {CSI + "1;5E", "+0C/00/C"},
  });
}

TEST(KeyDecoder, FunctionKeysInEveryForm) {
  checkRows({
      {SS3 + "P", "+70/00"},
      {SS3 + "Q", "+71/00"},
      {SS3 + "R", "+72/00"},
      {SS3 + "S", "+73/00"},
      {CSI + "11~", "+70/00"},
      {CSI + "12~", "+71/00"},
      {CSI + "13~", "+72/00"},
      {CSI + "14~", "+73/00"},
      {CSI + "P", "+70/00"},
      {CSI + "Q", "+71/00"},
      {CSI + "S", "+73/00"},
      {CSI + "1;2P", "+70/00/S"},
      {CSI + "1;5Q", "+71/00/C"},
      {CSI + "1;2R", "+72/00/S"},
      {CSI + "1;2S", "+73/00/S"},
      {CSI + "15~", "+74/00"},
      {CSI + "17~", "+75/00"},
      {CSI + "18~", "+76/00"},
      {CSI + "19~", "+77/00"},
      {CSI + "20~", "+78/00"},
      {CSI + "21~", "+79/00"},
      {CSI + "23~", "+7A/00"},
      {CSI + "24~", "+7B/00"},
      {"\x1b[[A", "+70/00"},
      {"\x1b[[E", "+74/00"},  // Linux console
      // CSI row ; column R is a cursor position report, not F3.
      {CSI + "12;40R", ""},
      {CSI + "1;1R", ""},
  });
}

TEST(KeyDecoder, XtermModifierParameter) {
  checkRows({
      {CSI + "1;2D", "+25/00/S"},   {CSI + "1;3D", "+25/00/A"},   {CSI + "1;4D", "+25/00/SA"},
      {CSI + "1;5D", "+25/00/C"},   {CSI + "1;6D", "+25/00/SC"},  {CSI + "1;7D", "+25/00/CA"},
      {CSI + "1;8D", "+25/00/SCA"}, {CSI + "1;9D", "+25/00/A"},  // Meta counts as Alt
      {CSI + "1;5C", "+27/00/C"},   {CSI + "1;2A", "+26/00/S"},   {CSI + "1;2B", "+28/00/S"},
      {CSI + "1;2H", "+24/00/S"},   {CSI + "1;2F", "+23/00/S"},   {CSI + "1;5H", "+24/00/C"},
      {CSI + "2;2~", "+2D/00/S"},   {CSI + "2;5~", "+2D/00/C"},   {CSI + "2;6~", "+2D/00/SC"},
      {CSI + "3;2~", "+2E/00/S"},   {CSI + "3;5~", "+2E/00/C"},   {CSI + "3;3~", "+2E/00/A"},
      {CSI + "5;5~", "+21/00/C"},   {CSI + "6;5~", "+22/00/C"},   {CSI + "6;2~", "+22/00/S"},
      {CSI + "15;2~", "+74/00/S"},  {CSI + "15;5~", "+74/00/C"},  {CSI + "24;8~", "+7B/00/SCA"},
      {CSI + "1;5Z", "+09/00/SC"},  {SS3 + "5D", "+25/00/C"},     {SS3 + "1;2P", "+70/00/S"},
      {SS3 + "2Q", "+71/00/S"},     {CSI + "1;5:1D", "+25/00/C"},  // an explicit press
  });
}

TEST(KeyDecoder, RxvtAndKeypadApplicationForms) {
  checkRows({
      {CSI + "a", "+26/00/S"},
      {CSI + "d", "+25/00/S"},
      {SS3 + "c", "+27/00/C"},
      {SS3 + "d", "+25/00/C"},
      {CSI + "2$", "+2D/00/S"},
      {CSI + "3^", "+2E/00/C"},
      {CSI + "5@", "+21/00/SC"},
      {SS3 + "M", "+0D/0D"},
      {SS3 + "p", "+60/30"},
      {SS3 + "y", "+69/39"},
      {SS3 + "j", "+6A/2A"},
      {SS3 + "k", "+6B/2B"},
      {SS3 + "m", "+6D/2D"},
      {SS3 + "n", "+6E/2E"},
      {SS3 + "o", "+6F/2F"},
      {SS3 + "X", "+BB/3D"},
  });
}

TEST(KeyDecoder, CsiUAndModifyOtherKeys) {
  checkRows({
      {CSI + "127;5u", "+08/7F/C"},  // Ctrl+Backspace
      {CSI + "127;3u", "+08/08/A"},    {CSI + "127u", "+08/08"},
      {CSI + "9;5u", "+09/00/C"},      {CSI + "9;2u", "+09/09/S"},
      {CSI + "13;5u", "+0D/0A/C"},     {CSI + "13;2u", "+0D/0D/S"},
      {CSI + "27u", "+1B/1B"},         {CSI + "65;6u", "+41/01/SC"},  // tmux: C-S-a
      {CSI + "97;5u", "+41/01/C"},     {CSI + "97;3u", "+41/61/A"},
      {CSI + "97;4u", "+41/41/SA"},    {CSI + "47;5u", "+BF/00/C"},
      {CSI + "33;5u", "+31/00/SC"},    {CSI + "32;5u", "+20/00/C"},
      {CSI + "91;5u", "+DB/1B/C"},     {CSI + "49;2u", "+31/21/S"},
      {CSI + "27;5;13~", "+0D/0A/C"},  {CSI + "27;2;13~", "+0D/0D/S"},
      {CSI + "27;6;65~", "+41/01/SC"}, {CSI + "27;5;127~", "+08/7F/C"},
      {CSI + "27;3;120~", "+58/78/A"}, {CSI + "27;5~", ""},  // code missing
  });
}

TEST(KeyDecoder, KittyKeyboardProtocol) {
  checkRows({
      {CSI + "97;;97u", "+41/61"},
      {CSI + "97:65;2;65u", "+41/41/S"},
      {CSI + "50:64;2u", "+32/40/S"},  // the shifted key as reported
      {CSI + "97;1:1u", "+41/61"},
      {CSI + "97;1:2u", "+41/61"},  // repeat
      {CSI + "97;1:3u", "-41/00"},  // release
      {CSI + "97;5:3u", "-41/00/C"},
      {CSI + "97;65u", "+41/41"},   // Caps Lock
      {CSI + "97;129u", "+41/61"},  // Num Lock
      {CSI + "97;1:4u", ""},        // no such event type
      {CSI + "1;1:3D", "-25/00"},
      {CSI + "1;5:2C", "+27/00/C"},
      {CSI + "3;5:3~", "-2E/00/C"},
      {CSI + "13;1:3~", "-72/00"},
      {CSI + "13;1:3u", "-0D/00"},
      {CSI + "57399u", "+60/30"},
      {CSI + "57404u", "+65/35"},
      {CSI + "57408u", "+69/39"},
      {CSI + "57405;3u", "+66/36/A"},
      {CSI + "57405;3:3u", "-66/00/A"},
      {CSI + "57409u", "+6E/2E"},
      {CSI + "57410u", "+6F/2F"},
      {CSI + "57411u", "+6A/2A"},
      {CSI + "57412u", "+6D/2D"},
      {CSI + "57413u", "+6B/2B"},
      {CSI + "57414u", "+0D/0D"},
      {CSI + "57414;5u", "+0D/0A/C"},
      {CSI + "57417u", "+25/00"},
      {CSI + "57422u", "+22/00"},
      {CSI + "57426u", "+2E/00"},
      {CSI + "57427~", "+0C/00"},
      {CSI + "57441;2u", "+10/00/S"},
      {CSI + "57441;1:3u", "-10/00"},
      {CSI + "57447;2u", "+10/00/S"},
      {CSI + "57442;5u", "+11/00/C"},
      {CSI + "57448;5u", "+11/00/C"},
      {CSI + "57443;3u", "+12/00/A"},
      {CSI + "57449;3u", "+12/00/A"},
      {CSI + "57443;1:3u", "-12/00"},
      {CSI + "57443;3:2u", ""},  // a held modifier repeating: nothing
      {CSI + "57363u", "+5D/00"},
      {CSI + "57363;1:3u", "-5D/00"},
      {CSI + "57376u", "+7C/00"},            // F13
      {CSI + "57428u", ""},                  // a media key
      {CSI + "233;;233u", "+00/C3 +00/A9"},  // a key of another layout
      {CSI + "233;1:3u", "-00/00"},
      {CSI + "113;;64u", "+51/40"},  // AltGr+q on a German layout
      {CSI + "101;;8364u", "+00/E2 +00/82 +00/AC"},
      {CSI + "97;;97:98u", "+41/61 +42/62"},
      {CSI + "27;1:3u", "-1B/00"},
  });
}

TEST(KeyDecoder, SuperIsAModifierOnlyAfterTheKittyReply) {
  checkRows({
      {CSI + "?31u" + CSI + "57444;9u" + CSI + "97;9u" + CSI + "57444;1:3u",
       "+5B/00 +41/61 -5B/00"},
      {CSI + "?31u" + CSI + "57450u" + CSI + "1;9D", "+5C/00 +25/00"},
      // A Windows key whose release was lost is let go before a key that says it is not held.
      {CSI + "?31u" + CSI + "57444;9u" + CSI + "1;1D", "+5B/00 -5B/00 +25/00"},
      {CSI + "?31u" + CSI + "57444;9u" + "a", "+5B/00 -5B/00 +41/61"},
      // Losing the focus lets go of the Windows and Application keys.
      {CSI + "?31u" + CSI + "57444;9u" + CSI + "57363;9u" + CSI + "O",
       "+5B/00 +5D/00 -5B/00 -5D/00"},
  });
}

TEST(KeyDecoder, TerminalRepliesSetTheFlagsAndGiveNoEvents) {
  KeyDecoder decoder;
  EXPECT_EQ(decodeAll(decoder, CSI + "?62;22c"), "");
  EXPECT_TRUE(decoder.deviceAttributesReply);
  EXPECT_FALSE(decoder.kittyKeyboardReply);
  EXPECT_EQ(decodeAll(decoder, CSI + "?0u" + "x"), "+58/78");
  EXPECT_TRUE(decoder.kittyKeyboardReply);

  KeyDecoder other;
  EXPECT_EQ(decodeAll(other, CSI + ">1;10;0c" + CSI + "?1;2$y" + CSI + "12;40R"), "");
  EXPECT_FALSE(other.deviceAttributesReply);
  EXPECT_FALSE(other.kittyKeyboardReply);
}

TEST(KeyDecoder, ReportsAndUnknownSequencesAreDroppedWhole) {
  checkRows({
      {CSI + "M !!a", "+41/61"},  // X10 mouse
      {CSI + "M\xff\xff\xff"
             "a",
       "+41/61"},
      {CSI + "<0;10;5Mb", "+42/62"},  // SGR mouse press and release
      {CSI + "<0;10;5mb", "+42/62"},
      {CSI + "Ia" + CSI + "Ob", "+41/61 +42/62"},  // focus
      {CSI + "99~c", "+43/63"},
      {CSI + "5Dc", "+43/63"},
      {CSI + "1;2;3;4;5Dc", "+43/63"},
      {CSI + "1;2;3Dc", "+43/63"},
      {CSI + "99999999999Dc", "+43/63"},
      {CSI + "1?Dc", "+43/63"},
      {CSI + "1 qc", "+43/63"},
      {CSI + "201~c", "+43/63"},  // a paste end without a start
      {SS3 + "zc", "+43/63"},
      {"\x1b]0;title\x07"
       "c",
       "+43/63"},                           // OSC ended by BEL
      {"\x1b]52;c;YWJj\x1b\\c", "+43/63"},  // OSC ended by ST
      {"\x1bPdata\x1b\\c", "+43/63"},       // DCS
      {"\x1b_apc\x1b\\c", "+43/63"},
      {"\x1b]0;ti\x1bx", "+58/78/A"},  // an ESC that is not ST ends the string
      {CSI + "12\x01", "+41/01/C"},    // a byte that cannot be in a CSI
      {CSI + "1;5", ""},               // unfinished, settled
      {CSI + "M !", ""},
      {"\x1b[[", ""},
      {"\x1b[[Zc", "+5A/5A/S +43/63"},
      {CSI + "1$~c", "+43/63"},    // '$' followed by a final byte is an intermediate
      {CSI + "97;0uc", "+43/63"},  // modifiers count from 1
      {CSI + "1;0Ac", "+43/63"},
      {SS3 + "0Dc", "+43/63"},
      {SS3 + "\x80" + "c", "+43/63"},
  });
}

TEST(KeyDecoder, BracketedPasteIsOneEventWithTheBytesAsPasted) {
  checkRows({
      {CSI + "200~hello\r\n  world\n" + CSI + "201~", "P[hello\r\n  world\n]"},
      {CSI + "200~a" + CSI + "Ab\x1b\x7f\x03" + CSI + "201~", "P[a\x1b[Ab\x1b\x7f\x03]"},
      {CSI + "200~x" + CSI + "201y" + CSI + "20" + CSI + "201~", "P[x\x1b[201y\x1b[20]"},
      {CSI + "200~\xc3\xa9" + CSI + "201~q", "P[\xc3\xa9] +51/71"},
      {"q" + CSI + "200~" + CSI + "201~q", "+51/71 +51/71"},  // an empty paste: nothing
      {"\x1b" + CSI + "200~z" + CSI + "201~", "P[z]"},
      {CSI + "200~" + CSI + "200~" + CSI + "201~", "P[\x1b[200~]"},
  });
}

TEST(KeyDecoder, LongPasteAcrossManyReads) {
  std::string text;
  for (int i = 0; text.size() < 3'000'000; ++i) text += "line " + std::to_string(i) + "\r\n";
  text += "\x1b[20";  // looks like the end, is not
  const std::string bytes = CSI + "200~" + text + CSI + "201~" + "k";
  for (size_t chunk : {size_t{4096}, size_t{4093}, size_t{65536}}) {
    KeyDecoder decoder;
    std::deque<DecodedEvent> events;
    for (size_t at = 0; at < bytes.size(); at += chunk) {
      const size_t count = std::min(chunk, bytes.size() - at);
      decoder.feed(reinterpret_cast<const uint8_t*>(bytes.data()) + at, count, events);
      if (at + count < bytes.size() - 7) {
        ASSERT_TRUE(events.empty());
        ASSERT_TRUE(decoder.hasPending());
        ASSERT_TRUE(decoder.inPaste());
      }
    }
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].record.eventType, PASTE_EVENT);
    EXPECT_TRUE(events[0].paste == text) << "chunk " << chunk;
    EXPECT_EQ(describeEvents({events[1]}), "+4B/6B");
    EXPECT_FALSE(decoder.hasPending());
    EXPECT_EQ(decoder.decodedBytes(), bytes.size());
  }
}

TEST(KeyDecoder, SettlingAnOpenPasteKeepsItsText) {
  KeyDecoder decoder;
  std::deque<DecodedEvent> events;
  const std::string start = CSI + "200~abc\x1b[20";
  decoder.feed(reinterpret_cast<const uint8_t*>(start.data()), start.size(), events);
  EXPECT_TRUE(events.empty());
  EXPECT_TRUE(decoder.hasPending());
  decoder.flushPending(events);
  EXPECT_EQ(describeEvents(events), "P[abc\x1b[20]");
  EXPECT_FALSE(decoder.hasPending());
  EXPECT_FALSE(decoder.inPaste());
  // The rest arrives late: it is decoded as keys, and the stray end is dropped.
  events.clear();
  EXPECT_EQ(decodeAll(decoder, "1~d" + CSI + "201~e"), "+31/31 +C0/7E/S +44/64 +45/65");
}

TEST(KeyDecoder, PendingStaysSmallAndSettles) {
  KeyDecoder decoder;
  std::deque<DecodedEvent> events;
  auto feed = [&](const std::string& bytes) {
    decoder.feed(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), events);
  };
  feed("\x1b");
  EXPECT_TRUE(decoder.hasPending());
  EXPECT_EQ(decoder.pendingBytes(), 1u);
  decoder.flushPending(events);
  EXPECT_FALSE(decoder.hasPending());
  EXPECT_EQ(describeEvents(events), "+1B/1B");

  // A control sequence that never ends is abandoned; its bytes never become text.
  events.clear();
  feed(CSI);
  for (int i = 0; i < 1000; ++i) {
    feed(std::string(100, '1') + ";");
    ASSERT_LE(decoder.pendingBytes(), 600u);
  }
  feed("Dq");
  EXPECT_EQ(describeEvents(events), "+51/71");

  // So is a string sequence.
  events.clear();
  feed("\x1b]");
  for (int i = 0; i < 1000; ++i) {
    feed(std::string(1000, 'x'));
    ASSERT_EQ(decoder.pendingBytes(), 0u);
  }
  feed("\x07q");
  EXPECT_EQ(describeEvents(events), "+51/71");

  // Settling abandons them too, so that the next key is a key.
  events.clear();
  feed(CSI + std::string(2000, '2'));
  EXPECT_TRUE(decoder.hasPending());
  decoder.flushPending(events);
  EXPECT_FALSE(decoder.hasPending());
  feed("A");
  EXPECT_EQ(describeEvents(events), "+41/41/S");
  EXPECT_EQ(decoder.decodedBytes() + decoder.droppedBytes() + decoder.pendingBytes(),
            1u + 2 + 1000 * 101 + 2 + 2 + 1000 * 1000 + 2 + 2 + 2000 + 1);
}

TEST(KeyDecoder, MixedStreamDecodesInOrder) {
  checkRows({
      {"ab" + CSI + "1;5D\x7f" + CSI + "200~p\nq" + CSI + "201~" + SS3 + "P\x1bx\r",
       "+41/61 +42/62 +25/00/C +08/08 P[p\nq] +70/00 +58/78/A +0D/0D"},
  });
}

#endif
