#include "scenarios/scenario.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/app.h"
#include "app/command_line.h"
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

// The first blank-separated word of text, taken off it.
std::string takeWord(std::string& text) {
  size_t p = 0;
  skipBlanks(text, p);
  size_t end = p;
  while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end]))) ++end;
  std::string word = text.substr(p, end - p);
  text.erase(0, end);
  return word;
}

// file NAME [mode OCTAL] STRINGS, folder NAME, link NAME TARGET, remove NAME.
bool parseDiskEntry(const std::string& kind, std::string rest, DiskEntry& entry,
                    std::string& error) {
  entry = DiskEntry{};
  entry.name = takeWord(rest);
  if (entry.name.empty()) {
    error = kind + " needs a name";
    return false;
  }
  if (kind == "file") {
    entry.kind = DiskEntry::File;
    std::string copy = rest;
    if (takeWord(copy) == "mode") {
      char tail = 0;
      if (std::sscanf(takeWord(copy).c_str(), "%o%c", &entry.mode, &tail) != 1) {
        error = "mode needs octal digits";
        return false;
      }
      rest = copy;
    }
    return decodeStrings(rest, entry.bytes, error);
  }
  if (kind == "link") {
    entry.kind = DiskEntry::Link;
    entry.bytes = takeWord(rest);
    if (!entry.bytes.empty()) return true;
    error = "link needs a name and where it points";
    return false;
  }
  entry.kind = kind == "folder" ? DiskEntry::Folder : DiskEntry::Remove;
  return true;
}

bool isDiskKind(const std::string& word) {
  return word == "file" || word == "folder" || word == "link" || word == "remove";
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
    const size_t start = bytes.size();
    if (!readQuoted(source, p, bytes, error)) return false;
    any = true;
    if (p < source.size() && source[p] == '*') {  // "text"*N: the string N times
      size_t digits = 0;
      const int times = std::atoi(source.c_str() + p + 1);
      while (p + 1 + digits < source.size() &&
             std::isdigit(static_cast<uint8_t>(source[p + 1 + digits])))
        ++digits;
      if (digits == 0 || digits > 6 || times < 1) {
        error = "expected a count after * at: " + source.substr(p);
        return false;
      }
      const std::string once = bytes.substr(start);
      for (int i = 1; i < times; ++i) bytes += once;
      p += 1 + digits;
    }
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
      for (const Key& k : keysForText(token)) one.push_back(Step{Step::Press, k, {}, 0, {}});
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
        one.push_back(Step{Step::Paste, {}, token, 0, {}});
      } else {
        int ms = 0;
        if (quoted || !parseNumber(token, ms) || ms < 0) {
          error = "wait needs milliseconds";
          return false;
        }
        one.push_back(Step{Step::Wait, {}, {}, static_cast<uint32_t>(ms), {}});
      }
      repeat = count;
    } else {
      Key key{};
      if (!parseKey(token, key, error)) return false;
      one.push_back(Step{Step::Press, key, {}, 0, {}});
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
    } else if (word == "needs" && rest == "posix") {
      result.needsPosix = true;
    } else if (isDiskKind(word) && word != "remove") {
      DiskEntry entry;
      if (!parseDiskEntry(word, rest, entry, why)) return fail(why);
      result.needsPosix |= entry.kind == DiskEntry::Link || entry.mode >= 0;
      result.files.push_back(entry);
    } else if (word == "then") {
      Step step{Step::Disk, {}, {}, 0, {}};
      std::string kind = takeWord(rest);
      if (!isDiskKind(kind)) return fail("then needs file, folder, link or remove");
      if (!parseDiskEntry(kind, rest, step.entry, why)) return fail(why);
      result.needsPosix |= step.entry.kind == DiskEntry::Link || step.entry.mode >= 0;
      result.script.push_back(step);
    } else if (word == "open") {
      if (rest.empty() || rest.find(' ') != std::string::npos) return fail("open needs a name");
      result.open = rest;
    } else if (word == "run") {
      if (rest.find(' ') != std::string::npos) return fail("run takes one name at most");
      result.run = rest;
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
      } else if (w == "file" || w == "mode") {
        check.name = takeWord(args);
        if (check.name.empty()) return fail("expect " + w + " needs a name");
        char tail = 0;
        if (w == "mode" && std::sscanf(args.c_str(), "%o%c", &check.a, &tail) != 1)
          return fail("expect mode needs octal digits");
        if (w == "file" && args.find_first_not_of(' ') != std::string::npos &&
            args.substr(args.find_first_not_of(' ')) == "none")
          check.none = true;
        else if (w == "file" && !decodeStrings(args, check.text, why))
          return fail(why);
      } else if (w == "files") {
        for (std::string name = takeWord(args); !name.empty(); name = takeWord(args))
          check.names.push_back(name);
        std::sort(check.names.begin(), check.names.end());
      } else if (w == "name") {
        if (!decodeStrings(args, check.text, why)) return fail(why);
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
  if (result.run && (sawDoc || result.open || result.at)) {
    error = path + ": run starts the document itself: no doc, open or at with it";
    return false;
  }
  if (result.run && std::any_of(result.script.begin(), result.script.end(),
                                [](const Step& step) { return step.kind == Step::Disk; })) {
    error = path + ": a run reads all its keys at once: no then with it";
    return false;
  }
  if (sawDoc && result.open) {
    error = path + ": a doc or a file to open, not both";
    return false;
  }
  return true;
}

namespace {

namespace fs = std::filesystem;

// A fresh folder for the case's files, the working directory while the case plays.
class CaseFolder {
 public:
  CaseFolder() {
    static int count = 0;
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    dir_ = fs::temp_directory_path() /
           ("slate-case-" + std::to_string(now) + "-" + std::to_string(++count));
    fs::create_directories(dir_);
    previous_ = fs::current_path();
    fs::current_path(dir_);
  }
  ~CaseFolder() {
    std::error_code ignored;
    fs::current_path(previous_, ignored);
    fs::remove_all(dir_, ignored);
  }
  CaseFolder(const CaseFolder&) = delete;
  CaseFolder& operator=(const CaseFolder&) = delete;

  // The names in the folder, sorted, without the lock file of a running editor's autosave.
  std::vector<std::string> names() const {
    std::vector<std::string> result;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir_)) {
      const std::string name = entry.path().filename().string();
      if (!(name.starts_with(".") && name.ends_with(".autosave.lock"))) result.push_back(name);
    }
    std::sort(result.begin(), result.end());
    return result;
  }

 private:
  fs::path dir_;
  fs::path previous_;
};

bool makeEntry(const DiskEntry& entry, std::string& error) {
  std::error_code failed;
  switch (entry.kind) {
    case DiskEntry::File: {
      std::error_code none;
      const fs::file_time_type before = fs::last_write_time(entry.name, none);
      std::ofstream out(entry.name, std::ios::binary | std::ios::trunc);
      out.write(entry.bytes.data(), static_cast<std::streamsize>(entry.bytes.size()));
      if (!out) failed = std::make_error_code(std::errc::io_error);
      out.close();
      // Another program writes later than the file's last write, as the clock has moved on
      // by then, though the disk's clock may not yet have ticked.
      if (!failed && !none && fs::last_write_time(entry.name, failed) <= before)
        fs::last_write_time(entry.name, before + std::chrono::milliseconds(10), failed);
      if (entry.mode >= 0) fs::permissions(entry.name, fs::perms(entry.mode), failed);
      break;
    }
    case DiskEntry::Folder:
      fs::create_directory(entry.name, failed);
      break;
    case DiskEntry::Link:
      fs::create_symlink(entry.bytes, entry.name, failed);
      break;
    case DiskEntry::Remove:
      fs::remove(entry.name, failed);
      break;
  }
  if (failed) error = "cannot make " + entry.name + ": " + failed.message();
  return !failed;
}

std::string readWhole(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Queues one step on the console, as the user's input.
void queueStep(console::MemoryConsole& console, const Step& step) {
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
    case Step::Disk:
      break;
  }
}

// After a wait that ends the queue, something to wait for, so the time passes in the editor.
void endWait(console::MemoryConsole& console, const Step* last) {
  if (last != nullptr && last->kind == Step::Wait) {
    InputRecord focus{};
    focus.eventType = FOCUS_EVENT;
    console.pushRecord(focus);
  }
}

// The editor's main loop over what is queued: a redraw whenever the queue is empty, then one
// event. A prompt reads its answer from the queue itself, so one command may take many events.
void playQueued(TestSession& session, Editor& editor) {
  console::MemoryConsole& console = session.console;
  while (console.inputLeft() && !editor.quitRequested) {
    if (session.session.keyboard.inputQueueEmpty()) editor.redraw();
    session.session.keyboard.waitAndHandleEvent(editor);
  }
}

// Plays the keys on an editor of the case's document; a step on the disk waits until the
// keys before it are handled.
std::string playOnEditor(const Case& c, TestSession& session, SessionEditor& editor) {
  editor.followDisplayMode();
  if (c.open) {
    setFileName(editor, c.open->c_str());
    editor.loadDocument();
  } else {
    loadExactDocument(editor, c.document);
  }
  if (c.at) {
    if (!editor.goToPosition(c.at->first, c.at->second)) return "at: no such line";
    editor.markLine = editor.cursorLine;
    editor.markColumn = editor.cursorColumn;
  }
  editor.redraw();  // the screen as the user sees it before the first key
  const Step* last = nullptr;
  for (const Step& step : c.script) {
    if (step.kind == Step::Disk) {
      endWait(session.console, last);
      playQueued(session, editor);
      std::string error;
      if (!makeEntry(step.entry, error)) return error;
    } else {
      queueStep(session.console, step);
    }
    last = &step;
  }
  endWait(session.console, last);
  playQueued(session, editor);
  if (!editor.quitRequested) editor.redraw();
  return "";
}

// Runs the program as the command line starts it: the keys are its whole input, and their
// end is the terminal going away.
void playProgram(const Case& c, TestSession& session) {
  for (const Step& step : c.script) queueStep(session.console, step);
  endWait(session.console, c.script.empty() ? nullptr : &c.script.back());
  std::string program = "slate";
  std::string name = *c.run;
  std::vector<char*> argv = {program.data()};
  if (!name.empty()) argv.push_back(name.data());
  runEditor(session.session, parseCommandLine(static_cast<int>(argv.size()), argv.data()));
}

std::string flag(bool on) {
  return on ? "yes" : "no";
}

std::string position(int line, int column) {
  return std::to_string(line) + ":" + std::to_string(column);
}

std::string octal(int mode) {
  char text[16];
  std::snprintf(text, sizeof text, "%04o", mode);
  return text;
}

// What a check looks at, found after the case has played; editor is null after a run.
std::string actualFor(const Check& check, const Editor* editor, TestSession& session,
                      const CaseFolder& folder) {
  const console::MemoryConsole& console = session.console;
  const std::string& w = check.what;
  const int textRows = session.session.screen.rows;
  if (w == "status") return quote(trimRight(console.rowText(textRows)));
  if (w == "row") return quote(trimRight(console.rowText(check.a)));
  if (w == "caret") return position(console.cursor.y, console.cursor.x);
  if (w == "clipboard") return session.clipboard.text ? quote(*session.clipboard.text) : "none";
  if (w == "file") return fs::exists(check.name) ? quote(readWhole(check.name)) : "none";
  if (w == "mode")
    return octal(static_cast<int>(fs::status(check.name).permissions() & fs::perms::mask));
  if (w == "files") {
    std::string all;
    for (const std::string& name : folder.names()) all += " " + name;
    return all;
  }
  if (editor == nullptr) return "nothing: the editor has ended";
  if (w == "doc") return quote(documentBytes(*editor));
  if (w == "line") {
    const std::vector<std::string> lines = documentLines(*editor);
    if (check.a < 0 || static_cast<size_t>(check.a) >= lines.size()) return "no such line";
    return quote(lines[check.a]);
  }
  if (w == "name") return quote(editor->fileName.get());
  if (w == "lines") return std::to_string(editor->lineCount);
  if (w == "top") return std::to_string(editor->topLine);
  if (w == "cursor") return position(editor->cursorLine, editor->cursorColumn);
  if (w == "mark") return position(editor->markLine, editor->markColumn);
  if (w == "modified") return flag(editor->modified);
  if (w == "quit") return flag(editor->quitRequested);
  if (w == "selection") return flag(editor->selectionActive);
  if (w == "autoindent") return flag(editor->autoIndent);
  return "";
}

std::string wantedFor(const Check& check) {
  const std::string& w = check.what;
  if (w == "doc" || w == "line" || w == "status" || w == "row" || w == "name")
    return quote(check.text);
  if (w == "clipboard" || w == "file") return check.none ? "none" : quote(check.text);
  if (w == "lines" || w == "top") return std::to_string(check.a);
  if (w == "cursor" || w == "mark" || w == "caret") return position(check.a, check.b);
  if (w == "mode") return octal(check.a);
  if (w == "files") {
    std::string all;
    for (const std::string& name : check.names) all += " " + name;
    return all;
  }
  return flag(check.a != 0);  // modified, quit, selection, autoindent
}

// The first text-area cell whose colour is not the one the check wants, "" when none.
std::string wrongHighlight(const Check& check, TestSession& session) {
  const console::MemoryConsole& console = session.console;
  const long long start =
      check.none ? 0 : static_cast<long long>(check.a) * console.width + check.b;
  const long long end = check.none ? 0 : static_cast<long long>(check.c) * console.width + check.d;
  for (int row = 0; row < session.session.screen.rows; ++row) {
    for (int col = 0; col < console.width; ++col) {
      const long long cell = static_cast<long long>(row) * console.width + col;
      const uint16_t wanted = cell >= start && cell < end ? SelectionAttribute : TextAttribute;
      if (console.attributeAt(row, col) != wanted) {
        char text[96];
        std::snprintf(text, sizeof text, "cell %d:%d has attribute 0x%04x, wanted 0x%04x", row, col,
                      console.attributeAt(row, col), wanted);
        return text;
      }
    }
  }
  return "";
}

}  // namespace

std::vector<std::string> runCase(const Case& c) {
  std::vector<std::string> failures;
  CaseFolder folder;
  for (const DiskEntry& entry : c.files) {
    std::string error;
    if (!makeEntry(entry, error)) return {error};
  }
  TestSession session(c.width, c.height);
  if (c.utf8) {  // a console with both display modes, showing UTF-8
    session.console.hasModes = true;
    session.console.shownAs = console::DisplayMode::Utf8;
  }
  if (c.clipboard) session.clipboard.text = *c.clipboard;
  session.clipboard.refuse = c.clipboardRefuses;
  std::optional<SessionEditor> editor;
  if (c.run) {
    playProgram(c, session);
  } else {
    editor.emplace(session);
    const std::string error = playOnEditor(c, session, *editor);
    if (!error.empty()) return {error};
  }

  for (const Check& check : c.checks) {
    const std::string where =
        "line " + std::to_string(check.sourceLine) + ": expect " + check.what + ": ";
    if (check.what == "highlight") {
      const std::string wrong = wrongHighlight(check, session);
      if (!wrong.empty()) failures.push_back(where + wrong);
      continue;
    }
    if (check.what == "row" && (check.a < 0 || check.a >= session.console.height)) {
      failures.push_back(where + "no screen row " + std::to_string(check.a));
      continue;
    }
    const std::string actual = actualFor(check, editor ? &*editor : nullptr, session, folder);
    const std::string wanted = wantedFor(check);
    if (actual != wanted) failures.push_back(where + "got " + actual + ", wanted " + wanted);
  }
  if (editor) {
    const std::string broken = brokenInvariant(*editor);
    if (!broken.empty()) failures.push_back("buffer invariant broken: " + broken);
  }
  return failures;
}

}  // namespace scenario
