// Terminal bytes into console key events. What a terminal sends for a key press is one of:
// a plain byte (a character or a control character), ESC followed by a key (that key with
// Alt), a control sequence (ESC [ parameters final), an SS3 sequence (ESC O final), or, with
// the kitty keyboard protocol, a control sequence that also carries the event type (press,
// repeat, release) and the key's text. Terminal replies, mouse and focus reports, string
// sequences (OSC, DCS, ...) and anything not understood are consumed without events.
#include "platform/posix/key_decoder.h"

#include <algorithm>
#include <cstring>

#include "platform/key_codes.h"
#include "platform/posix/csi_keys.h"
#include "platform/posix/csi_parameters.h"
#include "platform/posix/terminal_keys.h"

namespace console {

namespace {

constexpr uint8_t BEL = 0x07;
constexpr uint8_t BS = 0x08;
constexpr uint8_t ESC = 0x1B;
constexpr uint8_t DEL = 0x7F;

// Longest control sequence kept whole, from its ESC to its final byte; a longer one is
// dropped as its bytes arrive.
constexpr size_t kMaxControlSequence = 512;
// Longest SS3 sequence (ESC O, modifier digits, final byte).
constexpr size_t kMaxSs3Sequence = 16;

constexpr char kPasteEnd[] = "\x1b[201~";
constexpr size_t kPasteEndLength = sizeof kPasteEnd - 1;

// How far the scan of a control or SS3 sequence got.
enum class Reached : uint8_t {
  Final,     // its final byte
  Waiting,   // the end of the bytes, where more may come
  CutShort,  // a byte that cannot continue it, or the end of the bytes when settling
  Overlong,  // the longest length kept
};

struct Scan {
  Reached reached;
  size_t at;  // the index of that byte
};

// rxvt's CSI n $ (Shift with an editing key): a lone number and then '$'.
bool isRxvtShiftForm(const uint8_t* body, size_t length) {
  if (length == 0) return false;
  return std::all_of(body, body + length, [](uint8_t b) { return b >= '0' && b <= '9'; });
}

// The modifier parameter of an SS3 sequence from its digits and ';': the last number
// (ESC O 5 D, ESC O 1 ; 5 D), 1 when there is none, 0 (malformed) when it is 0.
uint32_t ss3Modifiers(const uint8_t* body, size_t length) {
  size_t start = length;
  while (start > 0 && body[start - 1] != ';') --start;
  if (start == length) return 1;
  uint32_t mods = 0;
  for (size_t k = start; k < length && mods < 1000; ++k) mods = mods * 10 + (body[k] - '0');
  return mods;
}

// Where the closing bracket of a paste starts in p[0..n): the whole of it, or its start cut
// off by the end of the bytes; n when there is neither.
size_t findPasteEnd(const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n;) {
    const void* found = std::memchr(p + i, ESC, n - i);
    if (!found) return n;
    const size_t k = static_cast<size_t>(static_cast<const uint8_t*>(found) - p);
    if (std::memcmp(p + k, kPasteEnd, std::min(n - k, kPasteEndLength)) == 0) return k;
    i = k + 1;
  }
  return n;
}

}  // namespace

// Decodes one run of bytes for a KeyDecoder: each step takes what one sequence needs and
// says how many bytes it used.
class SequenceReader {
 public:
  SequenceReader(KeyDecoder& decoder, std::deque<DecodedEvent>& events, bool settling)
      : d_(decoder), keys_(events, decoder.held_, decoder.kittyKeyboardReply), settle_(settling) {}

  // Decodes from p[0..n); returns the bytes used. Unless settling, it stops before an
  // unfinished sequence at the end.
  size_t run(const uint8_t* p, size_t n) {
    size_t i = 0;
    while (i < n) {
      const bool wasPaste = d_.inPaste_;
      const KeyDecoder::Skip wasSkip = d_.skip_;
      const size_t used = step(p + i, n - i);
      if (used == 0 && wasPaste == d_.inPaste_ && wasSkip == d_.skip_) break;
      i += used;
    }
    return i;
  }

  void endPaste() {
    if (d_.paste_.empty()) {
      dropped(d_.pasteHeld_);
    } else {
      keys_.paste(std::move(d_.paste_));
      decoded(d_.pasteHeld_);
    }
    d_.paste_.clear();
    d_.pasteHeld_ = 0;
    d_.inPaste_ = false;
  }

 private:
  KeyDecoder& d_;
  KeyEvents keys_;
  const bool settle_;

  size_t step(const uint8_t* p, size_t n) {
    if (d_.inPaste_) return pasteStep(p, n);
    if (d_.skip_ != KeyDecoder::Skip::None) return skipStep(p, n);
    return sequenceStep(p, n);
  }

  // One key's bytes: a run of plain bytes, or what an ESC starts.
  size_t sequenceStep(const uint8_t* p, size_t n) {
    if (p[0] != ESC) return plainBytes(p, n);
    if (n == 1) return settle_ ? escapeKey() : 0;  // a lone ESC: the Escape key
    switch (p[1]) {
      case '[':
        return controlSequence(p, n, 2, 0);
      case 'O':
        return ss3Sequence(p, n, 2, 0);
      case 'P':
      case ']':
      case '_':
      case '^':
      case 'X':  // DCS, OSC, APC, PM, SOS
        return stringSequence(p, n);
      case ESC:
        return doubleEscape(p, n);
      default:
        return altKey(p[1], 2);
    }
  }

  // The bytes up to the next ESC, each a key of its own.
  size_t plainBytes(const uint8_t* p, size_t n) {
    size_t run = 1;
    while (run < n && p[run] != ESC) ++run;
    for (size_t i = 0; i < run; ++i) keys_.press(byteKey(p[i]));
    return decoded(run);
  }

  // The key a byte stands for on its own, with the terminal's erase character taken into
  // account.
  const Key& byteKey(uint8_t b) const {
    return b == BS && d_.eraseIsCtrlH ? keyForByte(DEL) : keyForByte(b);
  }

  size_t escapeKey() {
    keys_.press(keyForByte(ESC));
    return decoded(1);
  }

  // The key that types an ASCII character, with Alt, from the `length` bytes that end in it.
  size_t altKey(uint8_t ch, size_t length) {
    keys_.press(byteKey(ch), LEFT_ALT_PRESSED);
    return decoded(length);
  }

  // ESC and the introducer of a string: the string is dropped up to its end. At the end of
  // the bytes, settling, it is Alt with the introducer's key.
  size_t stringSequence(const uint8_t* p, size_t n) {
    if (n == 2) return settle_ ? altKey(p[1], 2) : 0;
    d_.skip_ = KeyDecoder::Skip::String;
    return dropped(2);
  }

  // ESC ESC: Alt+Escape, or the ESC before a key sequence that makes it that key with Alt.
  size_t doubleEscape(const uint8_t* p, size_t n) {
    if (n == 2) return settle_ ? altKey(ESC, 2) : 0;
    if (p[2] == '[') return controlSequence(p, n, 3, LEFT_ALT_PRESSED);
    if (p[2] == 'O') return ss3Sequence(p, n, 3, LEFT_ALT_PRESSED);
    if (p[2] == ESC) return escapeKey();  // at most one Alt prefix: the first ESC is Escape
    return altKey(ESC, 2);
  }

  // ESC [ (or ESC ESC [) at p[0..intro).
  size_t controlSequence(const uint8_t* p, size_t n, size_t intro, uint32_t alt) {
    const Scan scan = scanControlSequence(p, n, intro);
    if (scan.reached != Reached::Final) return unfinished(p, scan, intro);
    const uint8_t final = p[scan.at];
    const size_t end = scan.at + 1;
    if (scan.at == intro && final == 'M') return x10MouseReport(n, end);
    if (scan.at == intro && final == '[') return linuxFunctionKey(p, n, end, alt);
    return parameterSequence(p + intro, scan.at - intro, final, end, alt);
  }

  // How far the parameter and intermediate bytes after the introducer go.
  Scan scanControlSequence(const uint8_t* p, size_t n, size_t intro) const {
    size_t i = intro;
    for (; i < n && i < kMaxControlSequence; ++i) {
      const uint8_t b = p[i];
      if (isFinalByte(b)) return {Reached::Final, i};
      if (!isParameterByte(b) && !isIntermediateByte(b)) return {Reached::CutShort, i};
      // rxvt ends CSI n $ at the '$'; anything that continues a control sequence after it
      // makes it an intermediate byte, as in every other sequence.
      if (b == '$' && isRxvtShiftForm(p + intro, i - intro)) {
        if (i + 1 < n && continuesSequence(p[i + 1])) continue;
        if (i + 1 == n && !settle_) return {Reached::Waiting, i};  // the next byte decides
        return {Reached::Final, i};
      }
    }
    return stopped(i, kMaxControlSequence);
  }

  // ESC O (or ESC ESC O) at p[0..intro): SS3, optionally with modifier digits.
  size_t ss3Sequence(const uint8_t* p, size_t n, size_t intro, uint32_t alt) {
    const Scan scan = scanSs3Sequence(p, n, intro);
    if (scan.reached != Reached::Final) return unfinished(p, scan, intro);
    const size_t end = scan.at + 1;
    const Key key = ss3Key(p[scan.at]);
    const uint32_t mods = ss3Modifiers(p + intro, scan.at - intro);
    if (key.virtualKeyCode == 0 || mods == 0) return dropped(end);
    keys_.namedKey(key, KeyParameters{mods, kPress, alt});
    return decoded(end);
  }

  // How far the modifier digits after the introducer go.
  Scan scanSs3Sequence(const uint8_t* p, size_t n, size_t intro) const {
    size_t i = intro;
    while (i < n && i < kMaxSs3Sequence && ((p[i] >= '0' && p[i] <= '9') || p[i] == ';')) ++i;
    if (i == n || i >= kMaxSs3Sequence) return stopped(i, kMaxSs3Sequence);
    // A control byte cuts it short; any other byte ends it (one no key sends is dropped).
    if (p[i] < 0x20 || p[i] == DEL) return {Reached::CutShort, i};
    return {Reached::Final, i};
  }

  // A scan that stopped without a final byte, at the longest length kept or at the end of
  // the bytes.
  Scan stopped(size_t at, size_t longest) const {
    if (at >= longest) return {Reached::Overlong, at};
    return {settle_ ? Reached::CutShort : Reached::Waiting, at};
  }

  // A control or SS3 sequence without its final byte. Waiting, nothing is used; an overlong
  // one is dropped with the rest of it as that arrives; one cut short is dropped, except an
  // empty ESC [ or ESC O, which is Alt with that key.
  size_t unfinished(const uint8_t* p, const Scan& scan, size_t intro) {
    if (scan.reached == Reached::Waiting) return 0;
    if (scan.reached == Reached::Overlong) {
      d_.skip_ = KeyDecoder::Skip::ControlSequence;
      return dropped(scan.at);
    }
    if (scan.at == intro) return altKey(p[intro - 1], intro);
    return dropped(scan.at);
  }

  // A sequence of a fixed length that has not all arrived: it waits for the rest, or is
  // dropped when settling.
  size_t incomplete(size_t n) { return settle_ ? dropped(n) : 0; }

  // An X10 mouse report: three bytes follow CSI M.
  size_t x10MouseReport(size_t n, size_t end) {
    if (n < end + 3) return incomplete(n);
    return dropped(end + 3);
  }

  // The Linux console's F1-F5: ESC [ [ A-E.
  size_t linuxFunctionKey(const uint8_t* p, size_t n, size_t end, uint32_t alt) {
    if (n < end + 1) return incomplete(n);
    const uint8_t k = p[end];
    if (k < 'A' || k > 'E') return dropped(end);
    keys_.emit(true, static_cast<uint16_t>(vk::F1 + k - 'A'), 0, alt);
    return decoded(end + 1);
  }

  // A control sequence of `end` bytes whose parameters are body[0..length).
  size_t parameterSequence(const uint8_t* body, size_t length, uint8_t final, size_t end,
                           uint32_t alt) {
    CsiParameters params;
    if (!params.parse(body, length)) return dropped(end);
    const size_t before = keys_.count();
    switch (interpretControlSequence(params, final, alt, keys_)) {
      case CsiMeaning::Keys:
        break;
      case CsiMeaning::KittyKeyboardReply:
        d_.kittyKeyboardReply = true;
        return decoded(end);
      case CsiMeaning::DeviceAttributesReply:
        d_.deviceAttributesReply = true;
        return decoded(end);
      case CsiMeaning::PasteStart:
        d_.inPaste_ = true;
        d_.pasteHeld_ = end;
        return end;
    }
    return keys_.count() > before ? decoded(end) : dropped(end);
  }

  // The rest of a sequence that is being dropped.
  size_t skipStep(const uint8_t* p, size_t n) {
    if (d_.skip_ == KeyDecoder::Skip::ControlSequence) return skipControlSequence(p, n);
    return skipString(p, n);
  }

  // Parameter and intermediate bytes, up to and with the final byte.
  size_t skipControlSequence(const uint8_t* p, size_t n) {
    size_t i = 0;
    while (i < n && (isParameterByte(p[i]) || isIntermediateByte(p[i]))) ++i;
    if (i == n) return dropped(i);
    if (isFinalByte(p[i])) ++i;
    return endSkip(i);
  }

  // A string sequence up to its end, BEL or ST (ESC \).
  size_t skipString(const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i) {
      if (p[i] == BEL) return endSkip(i + 1);
      if (p[i] != ESC) continue;
      if (i + 1 == n) return settle_ ? dropped(n) : dropped(i);  // ESC \ may be arriving
      // ESC \ (ST) ends the string; an ESC before any other byte ends it too and starts
      // the next sequence.
      return endSkip(p[i + 1] == '\\' ? i + 2 : i);
    }
    return dropped(n);
  }

  size_t endSkip(size_t n) {
    d_.skip_ = KeyDecoder::Skip::None;
    return dropped(n);
  }

  // Text of the open paste up to its closing CSI 201 ~.
  size_t pasteStep(const uint8_t* p, size_t n) {
    const size_t k = findPasteEnd(p, n);
    if (n - k >= kPasteEndLength) {
      holdPaste(p, k, k + kPasteEndLength);
      endPaste();
      return k + kPasteEndLength;
    }
    // Unless settling, the start of the closing bracket stays pending: the rest may be
    // arriving.
    const size_t used = settle_ ? n : k;
    holdPaste(p, used, used);
    return used;
  }

  // Keeps the first `text` of the `bytes` used for the open paste.
  void holdPaste(const uint8_t* p, size_t text, size_t bytes) {
    d_.paste_.append(reinterpret_cast<const char*>(p), text);
    d_.pasteHeld_ += bytes;
  }

  size_t decoded(size_t n) {
    d_.decodedBytes_ += n;
    return n;
  }
  size_t dropped(size_t n) {
    d_.droppedBytes_ += n;
    return n;
  }
};

void KeyDecoder::feed(const uint8_t* bytes, size_t count, std::deque<DecodedEvent>& out) {
  SequenceReader reader(*this, out, false);
  if (pending_.empty()) {
    const size_t used = reader.run(bytes, count);
    pending_.assign(reinterpret_cast<const char*>(bytes) + used, count - used);
    return;
  }
  pending_.append(reinterpret_cast<const char*>(bytes), count);
  const size_t used =
      reader.run(reinterpret_cast<const uint8_t*>(pending_.data()), pending_.size());
  pending_.erase(0, used);
}

void KeyDecoder::flushPending(std::deque<DecodedEvent>& out) {
  SequenceReader reader(*this, out, true);
  reader.run(reinterpret_cast<const uint8_t*>(pending_.data()), pending_.size());
  pending_.clear();
  if (inPaste_) reader.endPaste();
  skip_ = Skip::None;
}

bool KeyDecoder::hasPending() const {
  return !pending_.empty() || inPaste_ || skip_ != Skip::None;
}

}  // namespace console
