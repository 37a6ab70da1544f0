#include "platform/posix/terminal_screen.h"

#include <algorithm>
#include <cstring>

#include "platform/unicode.h"

namespace terminal {

namespace {

// Console colour index (blue 1, green 2, red 4) to SGR colour index (red 1, green 2, blue 4).
int sgrColour(unsigned consoleColour) {
  return ((consoleColour & 4) ? 1 : 0) | (consoleColour & 2) | ((consoleColour & 1) ? 4 : 0);
}

int foregroundCode(uint16_t attribute) {
  return ((attribute & 0x08) ? 90 : 30) + sgrColour(attribute & 7);
}

int backgroundCode(uint16_t attribute) {
  return ((attribute & 0x80) ? 100 : 40) + sgrColour((attribute >> 4) & 7);
}

void appendNumber(std::string& out, int n) {
  char digits[12];
  int length = 0;
  do {
    digits[length++] = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n > 0);
  while (length > 0) out.push_back(digits[--length]);
}

// CSI n X, with n left out when it is 1.
void appendCsi(std::string& out, int n, char final) {
  out += "\x1b[";
  if (n != 1) appendNumber(out, n);
  out.push_back(final);
}

// Whether the text is more than its first code point: a character with marks, joiners or a
// variation selector after it.
bool hasTrailingCodePoints(const ShownCell& cell) {
  char32_t codePoint;
  const int first =
      unicode::decodeUtf8(reinterpret_cast<const uint8_t*>(cell.text), cell.length, codePoint);
  return cell.length > std::max(first, 1);
}

void appendCup(std::string& out, int x, int y) {
  out += "\x1b[";
  if (x == 0 && y == 0) {
    out.push_back('H');
    return;
  }
  appendNumber(out, y + 1);
  if (x != 0) {
    out.push_back(';');
    appendNumber(out, x + 1);
  }
  out.push_back('H');
}

}  // namespace

void appendSgr(std::string& out, int from, uint16_t to) {
  const uint16_t extras = AttributeReverse | AttributeUnderline;
  const bool reset = from < 0 || (static_cast<uint16_t>(from) & extras & ~to) != 0;
  std::string params;
  if (reset) params += "0;";
  const uint16_t added = reset ? (to & extras) : (to & extras & ~static_cast<uint16_t>(from));
  if (added & AttributeUnderline) params += "4;";
  if (added & AttributeReverse) params += "7;";
  if (reset || foregroundCode(to) != foregroundCode(static_cast<uint16_t>(from))) {
    appendNumber(params, foregroundCode(to));
    params.push_back(';');
  }
  if (reset || backgroundCode(to) != backgroundCode(static_cast<uint16_t>(from))) {
    appendNumber(params, backgroundCode(to));
    params.push_back(';');
  }
  if (params.empty()) return;
  params.back() = 'm';
  out += "\x1b[";
  out += params;
}

TerminalScreen::TerminalScreen(int width, int height)
    : width_(std::max(width, 1)),
      height_(std::max(height, 1)),
      cells_(static_cast<size_t>(width_) * height_, BlankCell),
      shown_(cells_.size(), BlankCell),
      columns_(cells_.size()),
      rowKnown_(height_, false),
      wanted_(width_) {}

void TerminalScreen::resize(int width, int height) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  std::vector<Cell> cells(static_cast<size_t>(width) * height, BlankCell);
  for (int y = 0; y < std::min(height, height_); ++y) {
    for (int x = 0; x < std::min(width, width_); ++x)
      cells[static_cast<size_t>(y) * width + x] = cells_[index(x, y)];
  }
  width_ = width;
  height_ = height;
  cells_ = std::move(cells);
  shown_.assign(cells_.size(), BlankCell);
  columns_.assign(cells_.size(), ShownCell{});
  rowKnown_.assign(height_, false);
  wanted_.resize(width_);
  cursorX_ = std::min(cursorX_, width_ - 1);
  cursorY_ = std::min(cursorY_, height_ - 1);
  repaintAll_ = true;
}

bool TerminalScreen::startCell(int x, int y, size_t& start) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return false;
  start = index(x, y);
  return true;
}

void TerminalScreen::fillCharacter(uint8_t ch, uint32_t count, int x, int y) {
  size_t i;
  if (!startCell(x, y, i)) return;
  for (; count > 0 && i < cells_.size(); ++i, --count) cells_[i].text = console::byteCell(ch);
}

void TerminalScreen::fillAttribute(uint16_t attribute, uint32_t count, int x, int y) {
  size_t i;
  if (!startCell(x, y, i)) return;
  for (; count > 0 && i < cells_.size(); ++i, --count) cells_[i].attr = attribute;
}

void TerminalScreen::writeCharacters(const uint8_t* bytes, uint32_t count, int x, int y) {
  size_t i;
  if (!startCell(x, y, i)) return;
  for (; count > 0 && i < cells_.size(); ++i, --count) cells_[i].text = console::byteCell(*bytes++);
}

void TerminalScreen::writeText(const console::TextCell* text, uint32_t count, int x, int y) {
  size_t i;
  if (!startCell(x, y, i)) return;
  for (; count > 0 && i < cells_.size(); ++i, --count) cells_[i].text = *text++;
}

void TerminalScreen::setCursor(int x, int y) {
  cursorX_ = std::clamp(x, 0, width_ - 1);
  cursorY_ = std::clamp(y, 0, height_ - 1);
}

void TerminalScreen::setDisplayMode(console::DisplayMode mode) {
  if (mode == mode_) return;
  mode_ = mode;
  relayout_ = true;
}

bool TerminalScreen::rowEqual(const std::vector<Cell>& a, int rowA, const std::vector<Cell>& b,
                              int rowB) const {
  return std::memcmp(&a[index(0, rowA)], &b[index(0, rowB)], sizeof(Cell) * width_) == 0;
}

uint64_t TerminalScreen::hashRow(const std::vector<Cell>& grid, int y) const {
  uint64_t h = 1469598103934665603ull;
  const auto* bytes = reinterpret_cast<const unsigned char*>(&grid[index(0, y)]);
  const size_t size = sizeof(Cell) * width_;
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    uint64_t value;
    std::memcpy(&value, bytes + i, sizeof value);
    h = (h ^ value) * 1099511628211ull;
  }
  for (; i < size; ++i) h = (h ^ bytes[i]) * 1099511628211ull;
  return h;
}

// The shortest sequence that is sure to bring the terminal's cursor to (x, y).
std::string TerminalScreen::moveSequence(int x, int y) const {
  std::string best;
  if (termX_ == x && termY_ == y) return best;
  appendCup(best, x, y);
  auto consider = [&best](const std::string& candidate) {
    if (candidate.size() < best.size()) best = candidate;
  };
  std::string candidate;
  if (termY_ == y) {
    candidate.clear();
    appendCsi(candidate, x + 1, 'G');  // column, same row
    consider(candidate);
    if (termX_ >= 0) {
      candidate.clear();
      if (x > termX_)
        appendCsi(candidate, x - termX_, 'C');
      else
        appendCsi(candidate, termX_ - x, 'D');
      consider(candidate);
    }
  } else if (termY_ >= 0 && y == termY_ + 1 && x == 0) {
    consider("\x1b[E");  // first column of the next row
  }
  return best;
}

void TerminalScreen::moveTo(std::string& out, int x, int y) {
  out += moveSequence(x, y);
  termX_ = x;
  termY_ = y;
}

// Instead of a cursor move to x, writes the run of unchanged columns from the terminal's
// cursor up to x again, when they are in the current colours and cost no more bytes than
// the move. The run starts and ends at whole characters: the terminal's cursor stands after
// the last one written, and x is never the right half of a wide character.
bool TerminalScreen::bridgeTo(std::string& out, const ShownCell* shown, int x, int y) {
  if (termY_ != y || termX_ < 0 || termX_ >= x || termAttr_ < 0) return false;
  const size_t jump = moveSequence(x, y).size();
  size_t bytes = 0;
  for (int g = termX_; g < x; ++g) {
    const ShownCell& gap = wanted_[g];
    if (gap.attr != termAttr_ || gap.unsure || !rowKnown_[y] || !(gap == shown[g])) return false;
    bytes += gap.length;
    if (bytes > jump) return false;
  }
  for (int g = termX_; g < x; ++g) out.append(wanted_[g].text, wanted_[g].length);
  termX_ = x;
  return true;
}

void TerminalScreen::renderRow(std::string& out, int y) {
  layoutRow(mode_, &cells_[index(0, y)], width_, wanted_.data());
  ShownCell* shown = &columns_[index(0, y)];
  // After text whose width terminals disagree on, the next column is written again, at a
  // column given absolutely: a terminal that drew the text wider or narrower than the layout
  // comes back in step there.
  bool rewriteNext = false;
  for (int x = 0; x < width_;) {
    const ShownCell& cell = wanted_[x];
    if (cell.width == 0) {  // the right half of a wide character: written with it
      ++x;
      continue;
    }
    if (!rewriteNext && rowKnown_[y] && cell == shown[x]) {
      x += cell.width;
      continue;
    }
    rewriteNext = false;
    if (termY_ != y || termX_ != x) {
      if (!bridgeTo(out, shown, x, y)) moveTo(out, x, y);
    }
    if (cell.attr != termAttr_) {
      appendSgr(out, termAttr_, cell.attr);
      termAttr_ = cell.attr;
    }
    if (cell.unsure) {
      // Blanks first, so that a terminal that draws the text narrower leaves no old glyph
      // in the columns the layout gives it.
      out.append(cell.width, ' ');
      appendCsi(out, x + 1, 'G');
    }
    // With autowrap off, tmux puts what follows a character written into the last column
    // (its marks, its variation selector) on the column before it; with autowrap on for
    // that one write the cursor waits for the wrap and the marks stay with their character.
    const bool marksAtEdge = x + cell.width == width_ && hasTrailingCodePoints(cell);
    if (marksAtEdge) out += "\x1b[?7h";
    out.append(cell.text, cell.length);
    if (marksAtEdge) out += "\x1b[?7l";
    std::copy_n(&wanted_[x], cell.width, shown + x);  // a wide character with its right half
    // Past the last column the cursor's place depends on the terminal's wrap handling.
    termX_ = x + cell.width < width_ && !cell.unsure ? x + cell.width : -1;
    rewriteNext = cell.unsure != 0;
    x += cell.width;
  }
  std::copy_n(&cells_[index(0, y)], width_, &shown_[index(0, y)]);
  rowKnown_[y] = true;
}

// When a block of rows reappears shifted up or down (the view scrolled), the terminal moves
// it with a scroll region instead of receiving every cell again.
void TerminalScreen::scrollIfWorthIt(std::string& out) {
  if (height_ < 3) return;
  std::vector<uint64_t> wanted(height_), shown(height_);
  std::vector<bool> inPlace(height_);
  int changedRows = 0;
  for (int y = 0; y < height_; ++y) {
    inPlace[y] = rowKnown_[y] && rowEqual(cells_, y, shown_, y);
    if (!inPlace[y]) ++changedRows;
  }
  if (changedRows < 3) return;
  for (int y = 0; y < height_; ++y) {
    wanted[y] = hashRow(cells_, y);
    shown[y] = hashRow(shown_, y);
  }

  // Best shift k (wanted row r shows what terminal row r + k shows) and the run of rows
  // r0..r1 it holds for; gain is the number of changed rows the move would settle.
  int bestShift = 0, bestFirst = 0, bestLast = 0, bestGain = 0;
  for (int k = -(height_ - 1); k < height_; ++k) {
    if (k == 0) continue;
    int first = -1, gain = 0;
    for (int r = 0; r < height_; ++r) {
      int s = r + k;
      bool match = s >= 0 && s < height_ && rowKnown_[s] && wanted[r] == shown[s];
      if (!match) {
        first = -1;
        continue;
      }
      if (first < 0) {
        first = r;
        gain = 0;
      }
      if (!inPlace[r]) ++gain;
      if (gain > bestGain) {
        bestShift = k;
        bestFirst = first;
        bestLast = r;
        bestGain = gain;
      }
    }
  }
  if (bestGain < 2) return;

  // Confirm the rows (the hashes only picked them) and weigh the saving against the cost
  // of the scroll sequence.
  size_t savedCells = 0;
  for (int r = bestFirst; r <= bestLast; ++r) {
    if (!rowEqual(cells_, r, shown_, r + bestShift)) return;
    if (inPlace[r]) continue;
    for (int x = 0; x < width_; ++x)
      savedCells += !rowKnown_[r] || !(shown_[index(x, r)] == cells_[index(x, r)]);
  }
  if (savedCells <= 32) return;
  if (bestShift > 0)
    applyScroll(out, bestFirst, bestLast + bestShift, bestShift);
  else
    applyScroll(out, bestFirst + bestShift, bestLast, bestShift);
}

// Moves rows top..bottom of the terminal up by shift rows (down when shift is negative);
// the rows that come in are blank and count as unknown.
void TerminalScreen::applyScroll(std::string& out, int top, int bottom, int shift) {
  out += "\x1b[";
  appendNumber(out, top + 1);
  out.push_back(';');
  appendNumber(out, bottom + 1);
  out.push_back('r');
  appendCup(out, 0, top);
  appendCsi(out, shift > 0 ? shift : -shift, shift > 0 ? 'M' : 'L');
  out += "\x1b[r";
  termX_ = termY_ = -1;

  auto moveRow = [this](int to, int from) {
    std::copy(shown_.begin() + index(0, from), shown_.begin() + index(0, from) + width_,
              shown_.begin() + index(0, to));
    std::copy(columns_.begin() + index(0, from), columns_.begin() + index(0, from) + width_,
              columns_.begin() + index(0, to));
    rowKnown_[to] = rowKnown_[from];
  };
  if (shift > 0) {
    for (int r = top; r <= bottom - shift; ++r) moveRow(r, r + shift);
    for (int r = bottom - shift + 1; r <= bottom; ++r) rowKnown_[r] = false;
  } else {
    const int m = -shift;
    for (int r = bottom; r >= top + m; --r) moveRow(r, r - m);
    for (int r = top; r < top + m; ++r) rowKnown_[r] = false;
  }
}

void TerminalScreen::render(std::string& out) {
  const bool full = repaintAll_;
  if (full) {
    // Cursor hidden while the whole screen is painted; colours reset, screen cleared.
    out += "\x1b[?25l\x1b[0m\x1b[2J";
    termAttr_ = termX_ = termY_ = -1;
    rowKnown_.assign(height_, false);
    repaintAll_ = false;
  } else {
    scrollIfWorthIt(out);
  }
  for (int y = 0; y < height_; ++y) {
    if (relayout_ || !rowKnown_[y] || !rowEqual(cells_, y, shown_, y)) renderRow(out, y);
  }
  relayout_ = false;
  moveTo(out, cursorX_, cursorY_);
  if (full) out += "\x1b[?25h";
}

}  // namespace terminal
