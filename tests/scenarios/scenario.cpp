#include "scenarios/scenario.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "core/editor.h"
#include "edit/exact_document.h"
#include "platform/console.h"
#include "platform/key_codes.h"
#include "screen/screen.h"
#include "support/document.h"
#include "support/test_session.h"

namespace scenario {

using namespace console;

namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads one quoted string starting at source[p] == '"'; p ends after the closing quote.
bool readQuoted(const std::string& source, size_t& p, std::string& bytes, std::string& error) {
  ++p;
  while (p < source.size() && source[p] != '"') {
    char c = source[p++];
    if (c != '\\') {
      bytes.push_back(c);
      continue;
    }
    if (p >= source.size()) break;
    char e = source[p++];
    switch (e) {
      case 't':
        bytes.push_back('\t');
        break;
      case 'r':
        bytes.push_back('\r');
        break;
      case 'n':
        bytes.push_back('\n');
        break;
      case 'e':
        bytes.push_back('\x1b');
        break;
      case '0':
        bytes.push_back('\0');
        break;
      case '\\':
        bytes.push_back('\\');
        break;
      case '"':
        bytes.push_back('"');
        break;
      case 'x': {
        int hi = p < source.size() ? hexDigit(source[p]) : -1;
        int lo = p + 1 < source.size() ? hexDigit(source[p + 1]) : -1;
        if (hi < 0 || lo < 0) {
          error = "\\x needs two hex digits";
          return false;
        }
        bytes.push_back(static_cast<char>(hi * 16 + lo));
        p += 2;
        break;
      }
      default:
        error = std::string("unknown escape \\") + e;
        return false;
    }
  }
  if (p >= source.size()) {
    error = "unterminated string";
    return false;
  }
  ++p;
  return true;
}

void skipBlanks(const std::string& s, size_t& p) {
  while (p < s.size() && std::isspace(static_cast<unsigned char>(s[p]))) ++p;
}

std::string trimRight(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

bool parsePosition(const std::string& s, int& line, int& column) {
  char tail = 0;
  return std::sscanf(s.c_str(), "%d:%d%c", &line, &column, &tail) == 2;
}

bool parseNumber(const std::string& s, int& n) {
  char tail = 0;
  return std::sscanf(s.c_str(), "%d%c", &n, &tail) == 1;
}

bool parseFlag(const std::string& s, int& value) {
  if (s == "yes" || s == "1" || s == "on") {
    value = 1;
    return true;
  }
  if (s == "no" || s == "0" || s == "off") {
    value = 0;
    return true;
  }
  return false;
}

struct NamedKey {
  const char* name;
  uint16_t vk;
  uint8_t ch;
};

constexpr NamedKey kNamedKeys[] = {
    {"Left", vk::Left, 0},     {"Right", vk::Right, 0},   {"Up", vk::Up, 0},
    {"Down", vk::Down, 0},     {"Home", vk::Home, 0},     {"End", vk::End, 0},
    {"PgUp", vk::Prior, 0},    {"PgDn", vk::Next, 0},     {"Ins", vk::Insert, 0},
    {"Del", vk::Delete, 0},    {"BS", vk::Back, 8},       {"Tab", vk::Tab, 9},
    {"Enter", vk::Return, 13}, {"Esc", vk::Escape, 0x1b}, {"Space", vk::Space, ' '},
};

// The US layout: the virtual key of each printable character, and whether Shift makes it.
bool keyForPrintable(char c, uint16_t& code, bool& shift) {
  shift = false;
  if (c >= 'a' && c <= 'z') {
    code = static_cast<uint16_t>(c - 'a' + 'A');
    return true;
  }
  if (c >= 'A' && c <= 'Z') {
    code = static_cast<uint16_t>(c);
    shift = true;
    return true;
  }
  if (c >= '0' && c <= '9') {
    code = static_cast<uint16_t>(c);
    return true;
  }
  if (c == ' ') {
    code = vk::Space;
    return true;
  }
  static const char kShiftedDigits[] = ")!@#$%^&*(";
  for (int i = 0; i < 10; ++i) {
    if (c == kShiftedDigits[i]) {
      code = static_cast<uint16_t>('0' + i);
      shift = true;
      return true;
    }
  }
  static const struct {
    char plain, shifted;
    uint16_t code;
  } kOem[] = {{';', ':', 0xBA},  {'=', '+', 0xBB}, {',', '<', 0xBC}, {'-', '_', 0xBD},
              {'.', '>', 0xBE},  {'/', '?', 0xBF}, {'`', '~', 0xC0}, {'[', '{', 0xDB},
              {'\\', '|', 0xDC}, {']', '}', 0xDD}, {'\'', '"', 0xDE}};
  for (const auto& k : kOem) {
    if (c == k.plain || c == k.shifted) {
      code = k.code;
      shift = c == k.shifted;
      return true;
    }
  }
  return false;
}

}  // namespace

std::string quote(const std::string& bytes) {
  std::string out = "\"";
  for (unsigned char c : bytes) {
    switch (c) {
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      default:
        if (c < 0x20 || c >= 0x7f) {
          char hex[8];
          std::snprintf(hex, sizeof hex, "\\x%02x", c);
          out += hex;
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  return out + "\"";
}

bool decodeStrings(const std::string& source, std::string& bytes, std::string& error) {
  size_t p = 0;
  bool any = false;
  for (;;) {
    skipBlanks(source, p);
    if (p == source.size()) break;
    if (source[p] != '"') {
      error = "expected a quoted string at: " + source.substr(p);
      return false;
    }
    if (!readQuoted(source, p, bytes, error)) return false;
    any = true;
  }
  if (!any) error = "expected a quoted string";
  return any;
}

bool parseKey(const std::string& name, Key& key, std::string& error) {
  bool shift = false, ctrl = false, alt = false;
  std::string rest = name;
  while (rest.size() > 2 && rest[1] == '-' &&
         (rest[0] == 'S' || rest[0] == 'C' || rest[0] == 'M')) {
    (rest[0] == 'S' ? shift : rest[0] == 'C' ? ctrl : alt) = true;
    rest.erase(0, 2);
  }
  key.controlKeyState =
      (shift ? SHIFT_PRESSED : 0) | (ctrl ? LEFT_CTRL_PRESSED : 0) | (alt ? LEFT_ALT_PRESSED : 0);

  if (rest.size() == 4 && rest[0] == '\\' && rest[1] == 'x' && hexDigit(rest[2]) >= 0 &&
      hexDigit(rest[3]) >= 0) {
    // A key the table does not know, carrying this byte.
    key.virtualKeyCode = 0;
    key.ch = static_cast<uint8_t>(hexDigit(rest[2]) * 16 + hexDigit(rest[3]));
    return true;
  }
  for (const NamedKey& k : kNamedKeys) {
    if (rest != k.name) continue;
    key.virtualKeyCode = k.vk;
    key.ch = k.ch;
    if (ctrl && !alt) {
      if (k.vk == vk::Back) key.ch = 0x7f;
      if (k.vk == vk::Return) key.ch = '\n';
      if (k.vk == vk::Tab) key.ch = 0;
    }
    return true;
  }
  if (rest.size() >= 2 && rest.size() <= 3 && rest[0] == 'F') {
    int n = 0;
    if (parseNumber(rest.substr(1), n) && n >= 1 && n <= 12) {
      key.virtualKeyCode = static_cast<uint16_t>(vk::F1 + n - 1);
      key.ch = 0;
      return true;
    }
  }
  uint16_t code = 0;
  bool shifted = false;
  if (rest.size() == 1 && keyForPrintable(rest[0], code, shifted)) {
    const char c = rest[0];
    key.virtualKeyCode = code;
    if (std::isalpha(static_cast<unsigned char>(c))) {
      const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (ctrl && alt)
        key.ch = 0;  // Ctrl+Alt is AltGr: nothing on this layout
      else if (ctrl)
        key.ch = static_cast<uint8_t>(letter & 0x1f);
      else
        key.ch = static_cast<uint8_t>(shift ? std::toupper(letter) : letter);
    } else {
      key.ch = ctrl ? 0 : static_cast<uint8_t>(c);
    }
    return true;
  }
  error = "unknown key " + name;
  return false;
}

std::vector<Key> keysForText(const std::string& bytes) {
  std::vector<Key> keys;
  for (char c : bytes) {
    uint16_t code = 0;
    bool shift = false;
    if (keyForPrintable(c, code, shift)) {
      keys.push_back(Key{code, static_cast<uint8_t>(c), shift ? SHIFT_PRESSED : 0u});
    } else {
      // Control and high bytes arrive with no key the table knows, so they go in as bytes.
      keys.push_back(Key{0, static_cast<uint8_t>(c), 0});
    }
  }
  return keys;
}

bool parseScript(const std::string& source, std::vector<Step>& steps, std::string& error) {
  size_t p = 0;
  // A token: a quoted string, or a run of non-blanks; either may end in *N.
  auto nextToken = [&](std::string& token, bool& quoted, int& repeat) -> bool {
    skipBlanks(source, p);
    if (p == source.size()) return false;
    token.clear();
    quoted = source[p] == '"';
    if (quoted) {
      if (!readQuoted(source, p, token, error)) return false;
    } else {
      while (p < source.size() && !std::isspace(static_cast<unsigned char>(source[p])))
        token.push_back(source[p++]);
    }
    repeat = 1;
    size_t star = quoted ? std::string::npos : token.rfind('*');
    if (quoted && p < source.size() && source[p] == '*') {
      std::string count;
      ++p;
      while (p < source.size() && std::isdigit(static_cast<unsigned char>(source[p])))
        count.push_back(source[p++]);
      if (!parseNumber(count, repeat)) error = "bad repeat count";
    } else if (star != std::string::npos && star > 0 && token[star - 1] != '-' &&
               star + 1 < token.size()) {
      if (!parseNumber(token.substr(star + 1), repeat)) error = "bad repeat count in " + token;
      token.erase(star);
    }
    return error.empty();
  };

  std::string token;
  bool quoted = false;
  int repeat = 1;
  while (nextToken(token, quoted, repeat)) {
    if (repeat < 0) {
      error = "negative repeat count";
      return false;
    }
    std::vector<Step> one;
    if (quoted) {
      for (const Key& k : keysForText(token)) one.push_back(Step{Step::Press, k, {}, 0});
    } else if (token == "paste" || token == "wait") {
      const std::string word = token;
      int count = 1;
      if (!nextToken(token, quoted, count)) {
        if (error.empty()) error = word + " needs an argument";
        return false;
      }
      if (word == "paste") {
        if (!quoted) {
          error = "paste needs a quoted string";
          return false;
        }
        one.push_back(Step{Step::Paste, {}, token, 0});
      } else {
        int ms = 0;
        if (quoted || !parseNumber(token, ms) || ms < 0) {
          error = "wait needs milliseconds";
          return false;
        }
        one.push_back(Step{Step::Wait, {}, {}, static_cast<uint32_t>(ms)});
      }
      repeat = count;
    } else {
      Key key{};
      if (!parseKey(token, key, error)) return false;
      one.push_back(Step{Step::Press, key, {}, 0});
    }
    for (int i = 0; i < repeat; ++i) steps.insert(steps.end(), one.begin(), one.end());
  }
  return error.empty();
}

bool parseCase(const std::string& path, Case& result, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read " + path;
    return false;
  }
  result = Case{};
  result.path = path;

  // Logical lines: a directive and the indented lines that continue it.
  std::vector<std::pair<int, std::string>> directives;
  std::string raw;
  int number = 0;
  while (std::getline(in, raw)) {
    ++number;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    if (raw.empty() || raw[0] == '#') continue;
    if (std::isspace(static_cast<unsigned char>(raw[0]))) {
      size_t p = 0;
      skipBlanks(raw, p);
      if (p == raw.size() || raw[p] == '#') continue;
      if (directives.empty()) {
        error = path + ":" + std::to_string(number) + ": continuation line without a directive";
        return false;
      }
      directives.back().second += " " + raw.substr(p);
      continue;
    }
    directives.emplace_back(number, raw);
  }

  bool sawDoc = false;
  for (const auto& [line, text] : directives) {
    auto fail = [&, line = line](const std::string& why) {
      error = path + ":" + std::to_string(line) + ": " + why;
      return false;
    };
    std::istringstream words(text);
    std::string word;
    words >> word;
    std::string rest;
    std::getline(words, rest);
    size_t p = 0;
    skipBlanks(rest, p);
    rest.erase(0, p);
    std::string why;

    if (word == "doc") {
      if (sawDoc) return fail("a second doc");
      sawDoc = true;
      if (!decodeStrings(rest, result.document, why)) return fail(why);
    } else if (word == "screen") {
      char tail = 0;
      if (std::sscanf(rest.c_str(), "%dx%d%c", &result.width, &result.height, &tail) != 2 ||
          result.width < 1 || result.height < 2)
        return fail("screen needs WIDTHxHEIGHT, at least 1x2");
    } else if (word == "display") {
      if (rest != "utf8" && rest != "cp437") return fail("display needs utf8 or cp437");
      result.utf8 = rest == "utf8";
    } else if (word == "at") {
      int l = 0, c = 0;
      if (!parsePosition(rest, l, c)) return fail("at needs LINE:COLUMN");
      result.at = std::make_pair(l, c);
    } else if (word == "clipboard" && rest == "refuse") {
      result.clipboardRefuses = true;
    } else if (word == "clipboard") {
      std::string bytes;
      if (!decodeStrings(rest, bytes, why)) return fail(why);
      result.clipboard = bytes;
    } else if (word == "needs" && rest == "regex") {
      result.needsRegex = true;
    } else if (word == "pending") {
      if (rest.empty()) return fail("pending needs a reason");
      result.pending = rest;
    } else if (word == "keys") {
      if (!parseScript(rest, result.script, why)) return fail(why);
    } else if (word == "expect") {
      Check check;
      check.sourceLine = line;
      std::istringstream parts(rest);
      parts >> check.what;
      std::string args;
      std::getline(parts, args);
      size_t q = 0;
      skipBlanks(args, q);
      args.erase(0, q);
      const std::string& w = check.what;
      if (w == "clipboard" && args == "none") {
        check.none = true;
      } else if (w == "doc" || w == "status" || w == "clipboard") {
        if (!decodeStrings(args, check.text, why)) return fail(why);
      } else if (w == "line" || w == "row") {
        std::istringstream a(args);
        std::string n, strings;
        a >> n;
        std::getline(a, strings);
        if (!parseNumber(n, check.a)) return fail("expect " + w + " needs a number first");
        if (!decodeStrings(strings, check.text, why)) return fail(why);
      } else if (w == "lines" || w == "top") {
        if (!parseNumber(args, check.a)) return fail("expect " + w + " needs a number");
      } else if (w == "cursor" || w == "mark" || w == "caret") {
        if (!parsePosition(args, check.a, check.b)) return fail("expect " + w + " needs L:C");
      } else if (w == "modified" || w == "quit" || w == "selection" || w == "autoindent") {
        if (!parseFlag(args, check.a)) return fail("expect " + w + " needs yes or no");
      } else if (w == "highlight") {
        std::istringstream a(args);
        std::string from, to, extra;
        a >> from >> to >> extra;
        if (from == "none" && to.empty()) {
          check.none = true;
        } else if (!parsePosition(from, check.a, check.b) || !parsePosition(to, check.c, check.d) ||
                   !extra.empty()) {
          return fail("expect highlight needs none, or ROW:COL ROW:COL");
        }
      } else {
        return fail("unknown expectation " + w);
      }
      result.checks.push_back(check);
    } else {
      return fail("unknown directive " + word);
    }
  }
  if (result.checks.empty()) {
    error = path + ": no expectations";
    return false;
  }
  return true;
}

std::vector<std::string> runCase(const Case& c) {
  std::vector<std::string> failures;
  TestSession session(c.width, c.height);
  console::MemoryConsole& console = session.console;
  Keyboard& keyboard = session.session.keyboard;
  if (c.utf8) {  // a console with both display modes, showing UTF-8
    console.hasModes = true;
    console.shownAs = console::DisplayMode::Utf8;
  }
  SessionEditor editor{session};
  editor.followDisplayMode();
  loadExactDocument(editor, c.document);
  if (c.at) {
    if (!editor.goToPosition(c.at->first, c.at->second)) {
      failures.push_back("at: no such line");
      return failures;
    }
    editor.markLine = editor.cursorLine;
    editor.markColumn = editor.cursorColumn;
  }
  if (c.clipboard) session.clipboard.text = *c.clipboard;
  session.clipboard.refuse = c.clipboardRefuses;
  editor.redraw();  // the screen as the user sees it before the first key

  // Everything is queued at once, as typed-ahead input is; the loop below is the editor's
  // main loop, which redraws only when the queue is empty (at a wait, and at the end). It
  // runs until the queue is used up: a prompt reads its answer from the queue itself, so
  // one command may take many events.
  for (const Step& step : c.script) {
    switch (step.kind) {
      case Step::Press:
        console.pushKey(step.key.virtualKeyCode, step.key.ch, step.key.controlKeyState);
        break;
      case Step::Paste:
        console.pushPaste(step.text);
        break;
      case Step::Wait:
        console.pushPause(step.milliseconds);
        break;
    }
  }
  if (!c.script.empty() && c.script.back().kind == Step::Wait) {
    InputRecord focus{};  // something to wait for, so the time passes inside the editor
    focus.eventType = FOCUS_EVENT;
    console.pushRecord(focus);
  }
  while (console.inputLeft() && !editor.quitRequested) {
    if (keyboard.inputQueueEmpty()) editor.redraw();
    keyboard.waitAndHandleEvent(editor);
  }
  if (!editor.quitRequested) editor.redraw();

  auto position = [](int line, int column) {
    return std::to_string(line) + ":" + std::to_string(column);
  };
  const int textRows = session.session.screen.rows;
  for (const Check& check : c.checks) {
    const std::string where =
        "line " + std::to_string(check.sourceLine) + ": expect " + check.what + ": ";
    auto compare = [&](const std::string& actual, const std::string& wanted) {
      if (actual != wanted) failures.push_back(where + "got " + actual + ", wanted " + wanted);
    };
    const std::string& w = check.what;
    if (w == "doc") {
      compare(quote(documentBytes(editor)), quote(check.text));
    } else if (w == "line") {
      const std::vector<std::string> lines = documentLines(editor);
      if (check.a < 0 || static_cast<size_t>(check.a) >= lines.size())
        failures.push_back(where + "no line " + std::to_string(check.a));
      else
        compare(quote(lines[check.a]), quote(check.text));
    } else if (w == "lines") {
      compare(std::to_string(editor.lineCount), std::to_string(check.a));
    } else if (w == "top") {
      compare(std::to_string(editor.topLine), std::to_string(check.a));
    } else if (w == "cursor") {
      compare(position(editor.cursorLine, editor.cursorColumn), position(check.a, check.b));
    } else if (w == "mark") {
      compare(position(editor.markLine, editor.markColumn), position(check.a, check.b));
    } else if (w == "caret") {
      compare(position(console.cursor.y, console.cursor.x), position(check.a, check.b));
    } else if (w == "modified") {
      compare(editor.modified ? "yes" : "no", check.a ? "yes" : "no");
    } else if (w == "quit") {
      compare(editor.quitRequested ? "yes" : "no", check.a ? "yes" : "no");
    } else if (w == "selection") {
      compare(editor.selectionActive ? "yes" : "no", check.a ? "yes" : "no");
    } else if (w == "autoindent") {
      compare(editor.autoIndent ? "yes" : "no", check.a ? "yes" : "no");
    } else if (w == "status") {
      compare(quote(trimRight(console.rowText(textRows))), quote(check.text));
    } else if (w == "row") {
      if (check.a < 0 || check.a >= console.height)
        failures.push_back(where + "no screen row " + std::to_string(check.a));
      else
        compare(quote(trimRight(console.rowText(check.a))), quote(check.text));
    } else if (w == "clipboard") {
      compare(session.clipboard.text ? quote(*session.clipboard.text) : "none",
              check.none ? "none" : quote(check.text));
    } else if (w == "highlight") {
      const long long start =
          check.none ? 0 : static_cast<long long>(check.a) * console.width + check.b;
      const long long end =
          check.none ? 0 : static_cast<long long>(check.c) * console.width + check.d;
      for (int row = 0; row < textRows; ++row) {
        for (int col = 0; col < console.width; ++col) {
          const long long cell = static_cast<long long>(row) * console.width + col;
          const uint16_t wanted = cell >= start && cell < end ? SelectionAttribute : TextAttribute;
          if (console.attributeAt(row, col) != wanted) {
            char text[96];
            std::snprintf(text, sizeof text, "cell %d:%d has attribute 0x%04x, wanted 0x%04x", row,
                          col, console.attributeAt(row, col), wanted);
            failures.push_back(where + text);
            row = textRows;  // one cell tells enough
            break;
          }
        }
      }
    }
  }
  const std::string broken = brokenInvariant(editor);
  if (!broken.empty()) failures.push_back("buffer invariant broken: " + broken);
  return failures;
}

}  // namespace scenario
