#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "platform/console.h"
#include "platform/posix/key_events.h"

namespace console {

// Turns the bytes a terminal sends into the console's input records, as the Windows console
// reports them for a US keyboard. Sequences may arrive split across reads at any byte.
class KeyDecoder {
 public:
  // Decodes what it can; complete events are appended to out. A sequence that is not yet
  // complete is kept for the next call.
  void feed(const uint8_t* bytes, size_t count, std::deque<DecodedEvent>& out);
  // No byte arrived for the escape time-out: whatever is pending is settled (a lone ESC
  // becomes the Escape key; an unfinished sequence is dropped).
  void flushPending(std::deque<DecodedEvent>& out);
  // True while a partial sequence waits for more bytes (an open paste, or the rest of a
  // sequence being dropped, included).
  bool hasPending() const;

  // The terminal's erase character (termios VERASE) is ^H: byte 0x08 is then Backspace, as
  // 0x7F is, rather than Ctrl+Backspace.
  bool eraseIsCtrlH = false;

  // Replies of the terminal seen so far.
  bool kittyKeyboardReply = false;     // CSI ? flags u
  bool deviceAttributesReply = false;  // CSI ? ... c

  // True while a bracketed paste is open. The text is kept until its end arrives; settling
  // ends it early with what has come so far.
  bool inPaste() const { return inPaste_; }

  // Every byte fed ends in exactly one of: a sequence that gave events or was a terminal
  // reply (decodedBytes), a sequence that was dropped (droppedBytes), or what is still
  // waiting (pendingBytes, 0 after flushPending).
  uint64_t decodedBytes() const { return decodedBytes_; }
  uint64_t droppedBytes() const { return droppedBytes_; }
  size_t pendingBytes() const { return pending_.size() + (inPaste_ ? pasteHeld_ : 0); }

 private:
  friend class SequenceReader;
  enum class Skip : uint8_t { None, ControlSequence, String };

  std::string pending_;     // the unfinished start of a sequence, at most a few hundred bytes
  Skip skip_ = Skip::None;  // the rest of an overlong or unwanted sequence is being dropped
  bool inPaste_ = false;
  std::string paste_;     // the text of the open paste
  size_t pasteHeld_ = 0;  // bytes of the open paste, its opening bracket included
  HeldKeys held_;         // the Windows and Apps keys reported down
  uint64_t decodedBytes_ = 0;
  uint64_t droppedBytes_ = 0;
};

}  // namespace console
