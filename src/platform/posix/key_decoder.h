#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "platform/console.h"

namespace console {

// One decoded input event; paste holds the text of a PASTE_EVENT.
struct DecodedEvent {
  InputRecord record;
  std::string paste;
};

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
  // True while a partial sequence waits for more bytes.
  bool hasPending() const;

  // Replies of the terminal seen so far.
  bool kittyKeyboardReply = false;     // CSI ? flags u
  bool deviceAttributesReply = false;  // CSI ? ... c

 private:
  std::string pending_;
  // ... the implementation adds what it needs here
};

}  // namespace console
