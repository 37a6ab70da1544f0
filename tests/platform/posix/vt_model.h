#pragma once

// A strict model of the terminal the renderer talks to: it understands exactly the
// sequences the renderer may send (and carriage return and erase-in-line, which a renderer
// might) and reports anything else as an error, so a test can both replay a render and prove
// that nothing unexpected reached the terminal.
//
// Its cursor is the one of a terminal that kept autowrap on: a character written into the
// last column leaves the cursor there with a wrap pending, and the next character goes to the
// start of the next row (scrolling the region at its bottom). A carriage return, a cursor
// move, erase-in-line and the sequences that home the cursor take the pending wrap away.

#include <utf8proc.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace vtmodel {

struct Cell {
  char32_t cp = U' ';
  std::u32string marks;  // combining marks joined to cp
  int width = 1;         // 2: a wide character, whose right half is the next cell; 0: that half
  int fg = -1;           // SGR colour code (30-37, 90-97) or -1 for the default
  int bg = -1;           // 40-47, 100-107 or -1
  bool reverse = false;
  bool underline = false;
};

class Terminal {
 public:
  Terminal(int w, int h) : width(w), height(h), cells(w * h) {
    // A screen full of garbage: a full repaint must not depend on what was there.
    for (auto& c : cells) c.cp = U'#';
  }

  // Applies a stream; false (with the reason in error) at the first thing the renderer must
  // never send.
  bool apply(const std::string& bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
      unsigned char b = static_cast<unsigned char>(bytes[i]);
      if (b == 0x1B) {
        if (!escape(bytes, i)) return false;
        continue;
      }
      if (b == '\r') {
        x = 0;
        wrapPending = false;
        lastWritten = -1;
        ++i;
        continue;
      }
      if (b < 0x20 || b == 0x7F) return fail("control byte " + std::to_string(b));
      char32_t cp;
      if (!decodeUtf8(bytes, i, cp)) return fail("bad UTF-8");
      if (cp >= 0x80 && cp < 0xA0) return fail("C1 control as text");
      if (!print(cp)) return false;
    }
    return true;
  }

  const Cell& at(int cx, int cy) const { return cells[cy * width + cx]; }

  static void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }

  int width, height;
  std::vector<Cell> cells;
  int x = 0, y = 0;
  bool cursorVisible = true;
  Cell pen;
  int top = 0, bottom = -1;  // scroll region; bottom -1 is the last row
  bool wrapPending = false;  // the last character written went into the last column
  std::string error;

 private:
  int lastWritten = -1;  // the column of the last character printed, until a sequence comes
  bool fail(const std::string& why) {
    error = why;
    return false;
  }

  static bool decodeUtf8(const std::string& s, size_t& i, char32_t& cp) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
    if (extra < 0 || i + extra >= s.size()) return false;
    cp = extra == 0 ? b : b & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
      unsigned char c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    i += extra + 1;
    return true;
  }

  // A character as a terminal with wcwidth from the same Unicode data draws it. Anything
  // that could reorder, hide or stand for no character is refused.
  bool print(char32_t cp) {
    const auto* property = utf8proc_get_property(static_cast<utf8proc_int32_t>(cp));
    switch (property->category) {
      case UTF8PROC_CATEGORY_CN:
      case UTF8PROC_CATEGORY_CF:
      case UTF8PROC_CATEGORY_CS:
      case UTF8PROC_CATEGORY_CO:
      case UTF8PROC_CATEGORY_ZL:
      case UTF8PROC_CATEGORY_ZP:
        return fail("invisible or unassigned character " + std::to_string(cp));
      default:
        break;
    }
    if (property->ignorable && property->category != UTF8PROC_CATEGORY_MN)
      return fail("default-ignorable character " + std::to_string(cp));
    const int w = utf8proc_charwidth(static_cast<utf8proc_int32_t>(cp));
    if (w == 0) {
      if (lastWritten < 0) return fail("combining mark with no character before it");
      cells[y * width + lastWritten].marks += cp;
      return true;
    }
    if (wrapPending) wrap();
    if (w == 2 && x == width - 1) return fail("wide character in the last column");
    // What is overwritten takes its other half with it.
    for (int cx = x; cx < x + w; ++cx) {
      Cell& c = cells[y * width + cx];
      if (c.width == 0 && cx > 0) blankCell(cx - 1);
      if (c.width == 2 && cx + 1 < width) blankCell(cx + 1);
    }
    Cell& c = cells[y * width + x];
    c = pen;
    c.cp = cp;
    c.width = w;
    if (w == 2) {
      Cell& half = cells[y * width + x + 1];
      half = pen;
      half.cp = 0;
      half.width = 0;
    }
    lastWritten = x;
    wrapPending = x + w >= width;
    x = std::min(x + w, width - 1);
    return true;
  }

  // To the start of the next row; at the bottom of the scroll region, its rows move up.
  void wrap() {
    wrapPending = false;
    x = 0;
    if (y == regionBottom()) {
      deleteRows(top, 1);
    } else if (y < height - 1) {
      ++y;
    }
  }

  void deleteRows(int row, int n) {
    for (int k = 0; k < n; ++k) {
      for (int r = row; r < regionBottom(); ++r)
        std::copy_n(&cells[(r + 1) * width], width, &cells[r * width]);
      blankRow(regionBottom());
    }
  }

  void insertRows(int row, int n) {
    for (int k = 0; k < n; ++k) {
      for (int r = regionBottom(); r > row; --r)
        std::copy_n(&cells[(r - 1) * width], width, &cells[r * width]);
      blankRow(row);
    }
  }

  void blankCell(int cx) {
    Cell& c = cells[y * width + cx];
    c.cp = U' ';
    c.marks.clear();
    c.width = 1;
  }

  int regionBottom() const { return bottom < 0 ? height - 1 : bottom; }

  void blankRow(int row) {
    for (int cx = 0; cx < width; ++cx) {
      Cell c;
      c.bg = pen.bg;
      c.cp = U' ';
      cells[row * width + cx] = c;
    }
  }

  bool escape(const std::string& s, size_t& i) {
    lastWritten = -1;
    if (i + 1 >= s.size() || s[i + 1] != '[') return fail("escape that is not a CSI");
    size_t j = i + 2;
    std::string prefix;
    if (j < s.size() && (s[j] == '?' || s[j] == '>' || s[j] == '<')) prefix = s[j++];
    std::vector<int> params;
    int value = -1;
    for (; j < s.size(); ++j) {
      char c = s[j];
      if (c >= '0' && c <= '9') {
        value = (value < 0 ? 0 : value * 10) + (c - '0');
      } else if (c == ';') {
        params.push_back(value);
        value = -1;
      } else {
        break;
      }
    }
    if (j >= s.size()) return fail("unfinished CSI");
    params.push_back(value);
    char final = s[j];
    i = j + 1;
    auto p = [&](size_t k, int def) {
      return k < params.size() && params[k] >= 0 ? params[k] : def;
    };
    // Colours, cursor visibility and erasing the screen leave a pending wrap as it is.
    if (final != 'm' && final != 'J' && prefix.empty()) wrapPending = false;
    if (prefix == "?") {
      if ((p(0, 0) != 25 && p(0, 0) != 7) || (final != 'h' && final != 'l'))
        return fail("private mode");
      if (p(0, 0) == 25) cursorVisible = final == 'h';  // autowrap (7) is taken as always on
      return true;
    }
    if (!prefix.empty()) return fail("unexpected CSI prefix");
    switch (final) {
      case 'H':
        y = std::clamp(p(0, 1) - 1, 0, height - 1);
        x = std::clamp(p(1, 1) - 1, 0, width - 1);
        return true;
      case 'G':
        x = std::clamp(p(0, 1) - 1, 0, width - 1);
        return true;
      case 'C':
        x = std::min(x + p(0, 1), width - 1);
        return true;
      case 'D':
        x = std::max(x - p(0, 1), 0);
        return true;
      case 'E':
        y = std::min(y + p(0, 1), height - 1);
        x = 0;
        return true;
      case 'K':
        if (p(0, 0) != 0) return fail("erase of more than the rest of the line");
        for (int cx = x; cx < width; ++cx) {
          Cell& c = cells[y * width + cx];
          if (c.width == 0 && cx > 0) blankCell(cx - 1);
          c = Cell{};
          c.bg = pen.bg;
        }
        return true;
      case 'J':
        if (p(0, 0) != 2) return fail("partial erase");
        for (int row = 0; row < height; ++row) blankRow(row);
        return true;
      case 'r':
        top = p(0, 1) - 1;
        bottom = params.size() > 1 && params[1] >= 0 ? params[1] - 1 : -1;
        x = y = 0;
        return true;
      case 'M':
      case 'L': {
        int n = p(0, 1);
        if (y < top || y > regionBottom()) return fail("line edit outside the region");
        if (final == 'M')
          deleteRows(y, n);
        else
          insertRows(y, n);
        x = 0;
        return true;
      }
      case 'm':
        for (size_t k = 0; k < params.size(); ++k) {
          int v = params[k] < 0 ? 0 : params[k];
          if (v == 0) {
            pen = Cell{};
          } else if (v == 4) {
            pen.underline = true;
          } else if (v == 7) {
            pen.reverse = true;
          } else if ((v >= 30 && v <= 37) || (v >= 90 && v <= 97)) {
            pen.fg = v;
          } else if ((v >= 40 && v <= 47) || (v >= 100 && v <= 107)) {
            pen.bg = v;
          } else {
            return fail("SGR " + std::to_string(v));
          }
        }
        return true;
      default:
        return fail(std::string("CSI final ") + final);
    }
  }
};

}  // namespace vtmodel
