// Whole editing sessions played with random input through the editor on the in-memory
// console: random documents (every terminator, UTF-8, stray bytes, sometimes read as a large
// file), random keys, pastes, prompts and their answers, questions, the help page, resizes,
// waits for the autosave, saves into a temporary folder, follow mode and a file growing
// behind the editor's back. After every key the buffer, the cursor and the mark are checked,
// every text row on the screen against its line, and the folder: a file changes only by a
// save that wrote the document, an autosave copy holds the document. At the end every change is
// undone (the document must be the one loaded) and redone (the one left). Some sessions run the
// whole program instead (its start-up and end questions), twice over the same folder.
//
// SLATE_SESSIONS sets the number of sessions (default 40, a long hunt takes thousands),
// SLATE_SEED the first session's seed, SLATE_KEEP_GOING=1 goes on past a failure. A failure
// names its session's seed and what it played, one action a line in the scenario cases' key
// syntax; SLATE_SEED=N SLATE_REPLAY=FILE plays such lines again (see Replay), so that they
// can be cut down to the few that matter.
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/app.h"
#include "app/command_line.h"
#include "app/session.h"
#include "core/char_rule.h"
#include "core/editor.h"
#include "core/file_source.h"
#include "files/file_support_posix.h"
#include "files/load_save.h"
#include "platform/clipboard_store.h"
#include "platform/memory_console.h"
#include "scenarios/scenario.h"
#include "screen/row_painter.h"
#include "screen/screen.h"
#include "support/document.h"
#include "support/small_pieces.h"
#include "support/test_seed.h"

namespace {

namespace fs = std::filesystem;
using filetest::readFile;
using filetest::TempDir;
using filetest::writeFile;

// A console that asks for more input when a read finds none queued (a prompt, a question or
// the help page waiting for the user), instead of reporting the terminal gone; once refill
// gives nothing more, the terminal is gone, and a wait says so at once.
class FuzzConsole : public console::MemoryConsole {
 public:
  using MemoryConsole::MemoryConsole;
  std::function<void()> refill;

  uint32_t waitForInput(uint32_t milliseconds) override {
    fill();
    if (!inputLeft() && refill) {
      gone = true;
      return console::WAIT_OBJECT_0;
    }
    return MemoryConsole::waitForInput(milliseconds);
  }
  bool readInput(console::InputRecord& record) override {
    fill();
    return MemoryConsole::readInput(record);
  }
  bool promptInputWaiting() override {
    fill();
    return MemoryConsole::promptInputWaiting();
  }

 private:
  void fill() {
    if (!inputLeft() && refill) refill();
  }
};

struct FuzzSession {
  FuzzSession(int width, int height) : console(width, height) {}
  FuzzConsole console;
  MemoryClipboard clipboard;
  Session session{console, clipboard};
};

struct Random {
  explicit Random(unsigned seed) : g(seed) {}
  std::mt19937 g;
  int pick(int n) { return n <= 0 ? 0 : static_cast<int>(g() % static_cast<unsigned>(n)); }
  bool chance(int percent) { return pick(100) < percent; }
  template <class T>
  const T& of(const std::vector<T>& v) {
    return v[static_cast<size_t>(pick(static_cast<int>(v.size())))];
  }
};

const std::vector<std::string> kPieces = {"a",
                                          "b",
                                          "x",
                                          "Ab",
                                          "ab",
                                          " ",
                                          "  ",
                                          "\t",
                                          "word",
                                          "9",
                                          "_",
                                          "\xC3\xA9",
                                          "\xE6\x97\xA5\xE6\x9C\xAC",
                                          "e\xCC\x81",
                                          "\xCC\x81",
                                          "\xF0\x9F\x98\x80",
                                          "\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7",
                                          "\xE2\x80\x8B",
                                          "\xEF\xBB\xBF",
                                          "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD",
                                          "\xE2\x80\x8D",
                                          "\x80",
                                          "\xC3",
                                          "\xE6\x97",
                                          "\xFF",
                                          "\xF0\x9F\x98",
                                          "\xED\xA0\x80",
                                          "\xC0\xAF",
                                          "\x01",
                                          "\x1b",
                                          "\x7f",
                                          std::string(1, '\0'),
                                          "\xE2\x80\x94",
                                          "\xC2\xAB",
                                          "\xEF\xB8\x8F",
                                          "\xE1\x84\x80\xE1\x85\xA1",
                                          "\xD8\xA7",
                                          "\xC2\x85"};
const std::vector<std::string> kEndings = {"\n", "\r\n", "\r", "\n\r"};

std::string randomLineText(Random& r, int maxPieces) {
  std::string s;
  const int n = r.pick(maxPieces + 1);
  for (int i = 0; i < n; ++i) s += r.of(kPieces);
  return s;
}

// Text with line breaks now and then.
std::string randomText(Random& r, int maxPieces) {
  std::string s;
  const int n = r.pick(maxPieces + 1);
  for (int i = 0; i < n; ++i) s += r.chance(15) ? r.of(kEndings) : r.of(kPieces);
  return s;
}

std::string randomDocument(Random& r) {
  if (r.chance(5)) return "";
  std::string s;
  const int lines = r.chance(10) ? 40 + r.pick(200) : r.pick(30);
  for (int i = 0; i < lines; ++i) {
    s += r.chance(5) ? randomLineText(r, 400 + r.pick(2000)) : randomLineText(r, 10);
    s += r.of(kEndings);
  }
  if (r.chance(40)) s += randomLineText(r, 6);
  return s;
}

// ---- keys in the scenario cases' syntax ----

const std::vector<std::string> kMoves = {"Left", "Right", "Up",     "Down",   "Home",   "End",
                                         "PgUp", "PgDn",  "C-PgUp", "C-PgDn", "C-Left", "C-Right",
                                         "C-a",  "C-e",   "C-p",    "C-n",    "C-f",    "C-b"};
const std::vector<std::string> kEdits = {
    "BS",  "Del",   "C-BS", "C-Del", "M-BS",  "M-Del", "C-k",   "C-y", "C-t",
    "C-x", "C-c",   "C-v",  "S-Ins", "S-Del", "C-Ins", "Enter", "Tab", "M-i",
    "F9",  "S-F9",  "F3",   "S-F3",  "C-F5",  "M-a",   "F8",    "Esc", "C-Enter",
    "C-m", "Space", "Ins",  "C-M-x", "F11",   "C-z",   "S-Tab"};

std::string inQuotes(const std::string& bytes) {
  return scenario::quote(bytes);
}

// A text to search for: often a piece of the document, so that it is found.
std::string searchText(Random& r, const std::string& document) {
  static const std::vector<std::string> patterns = {
      "a*",       "(a|aa)+$", "[",   "\\w+",   "x*",         "^",   "$",     ".",
      "\xC3\xA9", "(",        "\\b", "a|",     "(?i)AB",     "\\X", ".*",    "\\p{L}+",
      "[^a]",     "\\s",      "$1",  "(.)\\1", "\\x{1F600}", "\\C", "(?=a)", "\\K"};
  const int kind = r.pick(10);
  if (kind < 5 && !document.empty()) {
    const size_t at = static_cast<size_t>(r.pick(static_cast<int>(document.size())));
    const size_t length = static_cast<size_t>(1 + r.pick(6));
    return document.substr(at, length);
  }
  if (kind < 8) return r.of(patterns);
  return randomLineText(r, 3);
}

std::string replacementText(Random& r) {
  static const std::vector<std::string> texts = {"",    "z",  "$1", "${2}", "$$",       "$",
                                                 "\\n", "${", "$0", "${9}", "\xC3\xA9", "\n"};
  return r.chance(50) ? r.of(texts) : randomLineText(r, 3);
}

const std::vector<std::string> kNames = {"doc.txt",          "other.txt", "new.txt",
                                         "sub/new.txt",      "dir",       "new2.txt",
                                         "doc.txt.autosave", ".hidden",   "dir/in.txt"};

// Bytes typed into a prompt: a CR would end it early, and a NUL typed here arrives with
// neither a key code nor a character (a terminal sends it as Ctrl+Space), which the prompt
// takes for the input gone.
std::string withoutEnds(std::string text) {
  std::erase(text, '\r');
  std::erase(text, '\0');
  return text;
}

// Keys that edit a prompt's answer, and the answer itself, ending in Enter (the only one: a
// CR typed would end it early).
std::string answerScript(Random& r, std::string answer) {
  answer = withoutEnds(answer);
  std::string script;
  if (r.chance(20)) script += r.chance(50) ? "S-Del " : "C-Del ";
  if (r.chance(15)) script += "Up ";
  if (r.chance(5)) script += "Down ";
  script += inQuotes(answer);
  const int edits = r.chance(30) ? r.pick(5) : 0;
  static const std::vector<std::string> keys = {"BS",    "Left",  "Right", "Home", "End", "Del",
                                                "C-Del", "S-Del", "Up",    "Down", "F6",  "F7",
                                                "F1",    "PgUp",  "C-x",   "Tab",  "Esc"};
  for (int i = 0; i < edits; ++i) {
    if (r.chance(15))
      script += " paste " + inQuotes(randomText(r, 4));
    else if (r.chance(20))
      script += " " + inQuotes(withoutEnds(randomLineText(r, 2)));
    else
      script += " " + r.of(keys);
  }
  if (r.chance(5)) script += " wait 61000";
  return script + " Enter";
}

std::string lineAnswer(Random& r) {
  static const std::vector<std::string> answers = {
      "1",           "0",  "-1",  "999999", "2147483648", "99999999999999999999",
      ":",           "3:", "abc", "1:999",  "5:-3",       "2:0",
      " 2",          "2 ", "+3",  "1:1:1",  "",           "4:2147483647",
      "1:4294967297"};
  if (r.chance(50))
    return std::to_string(1 + r.pick(50)) + (r.chance(50) ? ":" + std::to_string(r.pick(30)) : "");
  return r.of(answers);
}

// What a user answers to what the status line asks.
std::string answerFor(Random& r, const std::string& status, const std::string& document) {
  if (status.find("(y/n/a/q)") != std::string::npos)
    return r.chance(90) ? std::string(1, "ynaqyn"[r.pick(6)])
                        : r.of(std::vector<std::string>{"x", "F1", "paste \"y\"", "Left"});
  if (status.find("(Y/n)") != std::string::npos || status.find("(y/n)") != std::string::npos ||
      status.find("? (") != std::string::npos)
    return r.chance(90) ? std::string(1, "ynrYN"[r.pick(5)])
                        : r.of(std::vector<std::string>{"x", "F2", "paste \"y\"", "Esc"});
  if (status.find("file name") != std::string::npos)
    return answerScript(r, r.chance(80) ? r.of(kNames) : randomLineText(r, 3));
  if (status.find("go to line") != std::string::npos) return answerScript(r, lineAnswer(r));
  if (status.find("replace with") != std::string::npos) return answerScript(r, replacementText(r));
  if (status.find("search for") != std::string::npos)
    return answerScript(r, searchText(r, document));
  // Something else (the help page, a prompt cut by a narrow screen): any key.
  static const std::vector<std::string> any = {
      "PgDn", "PgUp", "Up", "Down", "Esc", "q", "Enter", "y", "n", "F1", "paste \"p\"", "Left"};
  return r.of(any);
}

// One random action of the user, as a key script; "" for one the driver does itself.
std::string randomAction(Random& r) {
  const int k = r.pick(100);
  if (k < 30) {
    std::string key = r.of(kMoves);
    if (r.chance(35)) key = "S-" + key;
    if (r.chance(10)) key += "*" + std::to_string(2 + r.pick(20));
    return key;
  }
  if (k < 48) return r.of(kEdits);
  if (k < 60) return inQuotes(randomLineText(r, 4));
  if (k < 64) return "paste " + inQuotes(randomText(r, r.chance(10) ? 200 : 8));
  if (k < 72)
    return r.of(std::vector<std::string>{"F5", "M-s", "S-F5", "M-r", "F7", "F3", "S-F3", "C-F5"});
  if (k < 75) return "F4";
  if (k < 79) return "F2";
  if (k < 81) return "F12";
  if (k < 83)
    return "F1" + std::string(r.chance(50) ? " PgDn" : "") + (r.chance(30) ? " Down*3" : "");
  if (k < 86)
    return r.chance(60) ? "F9*" + std::to_string(1 + r.pick(8))
                        : "S-F9*" + std::to_string(1 + r.pick(8));
  if (k < 88)
    return r.chance(70) ? "F8"
                        : r.of(std::vector<std::string>{
                              "C-F8", "M-F1", "C-F2", "M-F4", "C-M-F5", "S-F12", "C-F9", "M-F9",
                              "S-F2", "C-S-F7", "M-Up", "C-Up", "M-Home", "C-M-Left", "S-M-Right",
                              "C-S-Del", "M-Enter", "M-Tab", "C-M-Del"});
  if (k < 89) return "F10";
  if (k < 91) return r.chance(50) ? "wait 61000" : "wait 300";
  return r.of(kEdits);
}

// Every regular file in the folder (and its sub-folders), by name, without lock files.
std::map<std::string, std::string> snapshot(const std::string& dir) {
  std::map<std::string, std::string> files;
  std::error_code ignored;
  for (auto it = fs::recursive_directory_iterator(dir, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    if (!it->is_regular_file(ignored) || it->is_symlink(ignored)) continue;
    const std::string name = fs::relative(it->path(), dir).string();
    if (name.ends_with(".lock")) continue;
    files[name] = readFile(it->path().string());
  }
  return files;
}

bool isAutosaveName(const std::string& name) {
  return name.find(".autosave") != std::string::npos;
}

// The columns at which a line's characters start, and its end's.
std::vector<int64_t> boundaryColumns(const Editor& e, const std::string& text) {
  std::vector<int64_t> columns{0};
  const ByteView bytes = ByteView::of(text.data(), text.size());
  int64_t column = 0;
  for (size_t i = 0; i < text.size();) {
    const size_t next = nextCharBoundary(e.textUnit, bytes, i);
    if (next == i + 1 && text[i] == '\t' && e.tabWidth != 0)
      column = (column + e.tabWidth) / e.tabWidth * e.tabWidth;
    else
      column += characterWidth(e.textUnit, bytes, i, next);
    columns.push_back(column);
    i = next;
  }
  return columns;
}

// The text of line `line` (terminator excluded), when no unread run lies before it.
bool lineText(const Editor& e, int32_t line, std::string& text) {
  if (line == e.cursorLine) {
    const ByteView before = e.bytesBefore();
    const ByteView after = e.bytesAfter();
    text.clear();
    for (size_t i = 0; i < before.size; ++i) text.push_back(static_cast<char>(before[i]));
    for (size_t i = 0; i < after.size; ++i) text.push_back(static_cast<char>(after[i]));
    return true;
  }
  const bool above = line < e.cursorLine;
  const Stack<TextLine>& lines = above ? e.linesAbove : e.linesBelow;
  int32_t at = above ? e.cursorLine - 1 : e.cursorLine + 1;
  for (size_t i = 0; i < lines.count(); ++i, at += above ? -1 : 1) {
    const TextLine& record = lines.fromTop(i);
    if (isRun(record)) return false;
    if (at == line) {
      text.assign(record.text, static_cast<size_t>(record.length));
      return true;
    }
  }
  return false;
}

// Every text row as the document's line at it, laid out afresh from the view's left column
// (the cursor's row excepted while a sequence is being typed there: it is laid out in two
// pieces then); "" or the first row that shows something else.
std::string staleRow(const Editor& e, const console::MemoryConsole& console, int rows,
                     int columns) {
  for (int row = 0; row < rows; ++row) {
    const int32_t line = e.topLine + row;
    std::string text;
    if (line == e.cursorLine && e.insidePartialSequence()) continue;
    if (line < e.lineCount && !lineText(e, line, text)) continue;
    std::vector<console::TextCell> cells(static_cast<size_t>(columns));
    RowPainter painter(cells.data(), columns, e.leftColumn, e.textUnit, e.tabWidth);
    painter.finish(painter.paint(ByteView::of(text.data(), text.size()), 0, text.size(), 0));
    for (int x = 0; x < columns; ++x) {
      const console::TextCell& shown = console.cells[static_cast<size_t>(row) * columns + x].text;
      const console::TextCell& wanted = cells[static_cast<size_t>(x)];
      if (shown.length != wanted.length || std::memcmp(shown.bytes, wanted.bytes, shown.length))
        return "row " + std::to_string(row) + " shows " + inQuotes(console.rowText(row)) +
               " instead of line " + std::to_string(line) + " from column " +
               std::to_string(e.leftColumn);
    }
  }
  return "";
}

// The cursor and the mark in the document, the cursor on a character's start.
std::string brokenPlaces(Editor& e) {
  const std::string broken = brokenInvariant(e);
  if (!broken.empty()) return "buffer: " + broken;
  if (e.markLine < 0 || e.markLine >= e.lineCount) return "mark line outside the document";
  if (e.markColumn < 0 || e.cursorColumn < 0) return "negative column";
  if (e.textUnit == TextUnit::Character && !e.insidePartialSequence()) {
    const ByteView before = e.bytesBefore();
    const ByteView after = e.bytesAfter();
    std::string line;
    for (size_t i = 0; i < before.size; ++i) line.push_back(static_cast<char>(before[i]));
    for (size_t i = 0; i < after.size; ++i) line.push_back(static_cast<char>(after[i]));
    const ByteView whole = ByteView::of(line.data(), line.size());
    if (before.size < line.size() && characterStart(e.textUnit, whole, before.size) != before.size)
      return "cursor inside a character";
  }
  std::string markText;
  const bool markOnCursor = e.markLine == e.cursorLine && e.markColumn == e.cursorColumn;
  if (!(markOnCursor && e.insidePartialSequence()) && lineText(e, e.markLine, markText)) {
    const std::vector<int64_t> columns = boundaryColumns(e, markText);
    // Code page 437 mode keeps the mark's column through an edit, inside a tab as it may be,
    // or past the end of a line the edit made shorter (where it counts as the line's end).
    if (e.textUnit == TextUnit::Byte) return "";
    if (e.markColumn > columns.back()) return "mark column past its line's end";
    bool found = false;
    for (int64_t c : columns) found |= c == e.markColumn;
    if (!found) return "mark column inside a character";
  }
  return "";
}

// What the sessions did, said at the end of a run.
std::map<std::string, int> tally;

std::atomic<int64_t> sessionStarted{0};
std::atomic<unsigned> sessionSeed{0};

int64_t nowSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Ends the test run when one session takes far too long (a hang), naming its seed.
void startWatchdog() {
  static bool started = false;
  if (started) return;
  started = true;
  std::thread([] {
    sigset_t all;  // the editor's signals are the editor thread's alone
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
    for (;;) {
      std::this_thread::sleep_for(std::chrono::seconds(5));
      const int64_t began = sessionStarted.load();
      if (began != 0 && nowSeconds() - began > 180) {
        std::fprintf(stderr, "session with seed %u has run for 180 s: a hang\n",
                     sessionSeed.load());
        std::fflush(stderr);
        std::abort();
      }
    }
  }).detach();
}

// A large file's small blocks and pieces, drawn at random.
void useSmallPieces(std::optional<SmallPieces>& large, Random& r) {
  const size_t block = static_cast<size_t>(1 + r.pick(64));
  const size_t piece = static_cast<size_t>(8 + r.pick(64));
  const size_t fold = r.chance(50) ? static_cast<size_t>(64 + r.pick(512)) : SIZE_MAX;
  const size_t keep = static_cast<size_t>(r.pick(4));
  large.emplace(block, piece, fold, keep);
}

void queueScript(FuzzSession& s, const std::string& script) {
  std::vector<scenario::Step> steps;
  std::string error;
  if (!scenario::parseScript(script, steps, error)) {
    ADD_FAILURE() << "bad script " << script << ": " << error;
    return;
  }
  for (const scenario::Step& step : steps) {
    if (step.kind == scenario::Step::Press)
      s.console.pushKey(step.key.virtualKeyCode, step.key.ch, step.key.controlKeyState);
    else if (step.kind == scenario::Step::Paste)
      s.console.pushPaste(step.text);
    else if (step.kind == scenario::Step::Wait)
      s.console.pushPause(step.milliseconds);
  }
  if (!steps.empty() && steps.back().kind == scenario::Step::Wait) {
    console::InputRecord focus{};
    focus.eventType = console::FOCUS_EVENT;
    s.console.pushRecord(focus);
  }
}

// The status line as the console shows it.
std::string statusOf(FuzzSession& s) {
  return s.console.rowText(s.console.height - 1);
}

// The setup shared by both kinds of session: a folder with the document's file, another file
// and a sub-folder.
struct Setup {
  explicit Setup(Random& r) {
    original = randomDocument(r);
    named = r.chance(92);
    fileExists = named && r.chance(90);
    if (fileExists) writeFile(folder.path("doc.txt"), original);
    writeFile(folder.path("other.txt"), r.chance(50) ? "other\n" : randomDocument(r));
    fs::create_directory(folder.path("dir"));
    if (r.chance(5)) writeFile(folder.path("doc.txt.autosave"), randomDocument(r));
    width = r.chance(70) ? 80 : 1 + r.pick(120);
    height = r.chance(70) ? 25 : 2 + r.pick(40);
    utf8 = r.pick(3);  // 0: one way of showing bytes; 1: UTF-8 shown; 2: both, code page 437 shown
  }
  TempDir folder;
  std::string original;
  bool named;
  bool fileExists;
  int width, height, utf8;
};

void setModes(FuzzSession& s, int utf8) {
  if (utf8 == 0) return;
  s.console.hasModes = true;
  s.console.shownAs = utf8 == 1 ? console::DisplayMode::Utf8 : console::DisplayMode::CodePage437;
}

// A session's actions and answers as played, one a line: "K SCRIPT" an action's keys,
// "A SCRIPT" an answer to what the status line asked, "R W H" a resize, "E STRINGS" the file
// doc.txt written over by another program. SLATE_REPLAY=FILE plays such a file (after the
// setup its seed makes) instead of random actions, so that a failure can be cut down line by
// line.
struct Replay {
  std::vector<std::pair<char, std::string>> lines;
  size_t next = 0;
  bool load(const std::string& path) {
    const std::string text = readFile(path);
    size_t p = 0;
    while (p < text.size()) {
      size_t e = text.find('\n', p);
      if (e == std::string::npos) e = text.size();
      const std::string line = text.substr(p, e - p);
      p = e + 1;
      if (line.size() >= 2 && line[1] == ' ' &&
          std::string("KARE").find(line[0]) != std::string::npos)
        lines.emplace_back(line[0], line.substr(2));
    }
    return !lines.empty();
  }
  // The next line of this kind when it comes next; false otherwise.
  bool take(const std::string& kinds, char& kind, std::string& text) {
    if (next >= lines.size() || kinds.find(lines[next].first) == std::string::npos) return false;
    kind = lines[next].first;
    text = lines[next++].second;
    return true;
  }
};

// One session on the editor, checked after every action. Returns "" or the fault.
std::string playEditing(unsigned seed, std::string& log, Replay* replay) {
  Random r(seed);
  Setup setup(r);
  std::optional<SmallPieces> large;
  if (setup.fileExists && r.chance(15)) useSmallPieces(large, r);
  filetest::WorkIn inFolder(setup.folder.dir());
  FuzzSession s(setup.width, setup.height);
  setModes(s, setup.utf8);
  if (r.chance(30)) s.clipboard.text = randomText(r, 6);
  Editor editor;
  s.session.attach(editor);
  editor.followDisplayMode();
  if (setup.named) {
    setFileName(editor, "doc.txt");
    editor.loadDocument();
  }
  log = "# seed " + std::to_string(seed) + (large ? " large" : "") + " screen " +
        std::to_string(setup.width) + "x" + std::to_string(setup.height) + " display " +
        std::to_string(setup.utf8) + "\n# doc " + inQuotes(setup.original) + "\n";
  const std::string loaded = documentBytes(editor);
  // A last line without a terminator is read as ending in LF.
  const bool unterminated =
      !setup.original.empty() && setup.original.back() != '\n' && setup.original.back() != '\r';
  if (setup.fileExists && loaded != setup.original + (unterminated ? "\n" : ""))
    return "the loaded document differs from the file: " + inQuotes(loaded.substr(0, 300));
  editor.redraw();

  int supplied = 0;
  std::string document = loaded;
  s.console.refill = [&] {
    if (supplied >= 40) return;
    ++supplied;
    std::string answer;
    char kind;
    if (replay ? !replay->take("A", kind, answer) : false) return;
    if (!replay) answer = answerFor(r, statusOf(s), document);
    const std::string asked = statusOf(s);
    ++tally["answers"];
    log += "A " + answer + "\n#   asked " +
           inQuotes(asked.substr(0, asked.find_last_not_of(' ') + 1)) + "\n";
    queueScript(s, answer);
  };

  bool historyKept = true;  // the undo history goes back to the load
  bool externalChange = false;
  std::map<std::string, std::string> disk = snapshot(setup.folder.dir());
  const int actions = r.chance(10) ? 300 + r.pick(300) : 20 + r.pick(120);
  const bool othersWrite = r.chance(25);  // another program writes the file now and then
  for (int i = 0; (replay || i < actions) && !editor.quitRequested; ++i) {
    std::string script;
    char kind = 0;
    std::string text;
    if (replay) {
      while (replay->take("A", kind, text)) {  // answers no longer asked for
      }
      if (!replay->take("KRE", kind, text)) break;
    }
    const int special = replay ? (kind == 'R' ? 0 : kind == 'E' ? 2 : 50) : r.pick(100);
    if (special < 2) {
      int w = r.chance(50) ? 1 + r.pick(30) : 20 + r.pick(100);
      int h = r.chance(50) ? 2 + r.pick(5) : 2 + r.pick(40);
      if (replay) std::sscanf(text.c_str(), "%d %d", &w, &h);
      log += "R " + std::to_string(w) + " " + std::to_string(h) + "\n";
      s.console.resize(w, h);
    } else if (special < 4 && setup.named && othersWrite) {
      // Another program writes to the file (a log growing, or one cut short).
      std::string bytes = r.chance(80) ? readFile("doc.txt") + randomText(r, 6) : randomDocument(r);
      std::string error;
      if (replay) {
        bytes.clear();
        scenario::decodeStrings(text, bytes, error);
      }
      log += "E " + inQuotes(bytes) + "\n";
      writeFile("doc.txt", bytes);
      externalChange = true;
      historyKept = false;
      disk = snapshot(setup.folder.dir());
      continue;
    } else if (replay) {
      script = text;
    } else if (special < 5) {
      script = "M-x";
    } else {
      script = randomAction(r);
    }
    if (!script.empty()) {
      log += "K " + script + "\n";
      queueScript(s, script);
    }
    supplied = 0;
    const std::string before = document;
    while ((s.console.inputLeft() || !s.session.keyboard.heldPaste.empty()) &&
           !editor.quitRequested) {
      if (s.session.keyboard.inputQueueEmpty()) editor.redraw();
      s.session.keyboard.waitAndHandleEvent(editor);
    }
    s.console.gone = false;
    if (!editor.quitRequested) editor.redraw();
    if (editor.pendingMessage &&
        std::string(editor.pendingMessage.get()).find("dropped") != std::string::npos)
      historyKept = false;

    std::string broken = brokenPlaces(editor);
    const Screen& screen = s.session.screen;
    if (broken.empty() && !editor.quitRequested &&
        (s.console.cursor.y != editor.cursorLine - editor.topLine ||
         s.console.cursor.x != editor.cursorColumn - editor.leftColumn || s.console.cursor.y < 0 ||
         s.console.cursor.y >= screen.rows || s.console.cursor.x < 0 ||
         s.console.cursor.x >= screen.columns || screen.rows != s.console.height - 1 ||
         screen.columns != s.console.width))
      broken = "the caret is not on the cursor's cell: " + std::to_string(s.console.cursor.y) +
               ":" + std::to_string(s.console.cursor.x) + " on a screen of " +
               std::to_string(screen.rows) + "x" + std::to_string(screen.columns) + ", top " +
               std::to_string(editor.topLine) + ", left " + std::to_string(editor.leftColumn);
    if (broken.empty() && !editor.quitRequested)
      broken = staleRow(editor, s.console, screen.rows, screen.columns);
    if (!broken.empty())
      return broken + " (cursor " + std::to_string(editor.cursorLine) + ":" +
             std::to_string(editor.cursorColumn) + ", mark " + std::to_string(editor.markLine) +
             ":" + std::to_string(editor.markColumn) + ", lines " +
             std::to_string(editor.lineCount) + ")";
    document = documentBytes(editor);
    const std::map<std::string, std::string> now = snapshot(setup.folder.dir());
    for (const auto& [name, bytes] : now) {
      const auto was = disk.find(name);
      if (was != disk.end() && was->second == bytes) continue;
      ++tally[isAutosaveName(name) ? "autosave copies written" : "files saved"];
      if (isAutosaveName(name)) {
        if (bytes != document && bytes != before)
          return "the autosave copy " + name +
                 " holds neither the document before nor after: " + inQuotes(bytes) +
                 "\n  before " + inQuotes(before) + "\n  after " + inQuotes(document);
        continue;
      }
      // Saved under a name with an old autosave copy, which the user then opened (r) in
      // place of the text saved.
      if (bytes == before && bytes != document && editor.autosaveAdopted) continue;
      if (bytes != document)
        return "file " + name +
               " changed to what is not the document: " + inQuotes(bytes.substr(0, 200));
      if (editor.modified) return "file " + name + " written, the document still modified";
      if (name != editor.fileName.get())
        return "file " + name + " written, the document named otherwise";
    }
    for (const auto& [name, bytes] : disk)
      if (!now.count(name) && !isAutosaveName(name)) return "file " + name + " disappeared";
    disk = now;
    // An unmodified document that was saved holds what its file holds.
    if (!editor.modified && !externalChange && editor.fileName[0] != '\0' && !editor.fileUnread &&
        now.count(editor.fileName.get()) && now.at(editor.fileName.get()) != document &&
        !(std::string(editor.fileName.get()) == "doc.txt" && now.at("doc.txt") == setup.original))
      return "unmodified, but the document differs from its file";
  }
  s.console.refill = nullptr;
  if (editor.following) historyKept = false;
  if (!historyKept) return "";
  // Every change undone gives the document loaded, and redone the newest one.
  for (int n = 0; editor.undoHistory.canRedo() && n < 100000; ++n) {
    editor.redo();
    editor.afterCommand(false);
  }
  const std::string final = documentBytes(editor);
  for (int n = 0; editor.undoHistory.canUndo() && n < 100000; ++n) {
    editor.undo();
    editor.afterCommand(false);
  }
  ++tally["histories undone and redone"];
  if (large) ++tally["large files"];
  if (documentBytes(editor) != loaded)
    return "undoing everything does not give the loaded document";
  std::string broken = brokenPlaces(editor);
  if (!broken.empty()) return "after undoing everything: " + broken;
  for (int n = 0; editor.undoHistory.canRedo() && n < 100000; ++n) {
    editor.redo();
    editor.afterCommand(false);
  }
  if (documentBytes(editor) != final)
    return "redoing everything does not give the document back: " +
           inQuotes(documentBytes(editor)) + "\n  wanted " + inQuotes(final);
  broken = brokenPlaces(editor);
  if (!broken.empty()) return "after redoing everything: " + broken;
  return "";
}

// The whole program twice over one folder: random keys, questions answered at random, and
// an end by Alt+X or by the terminal going away; the second run finds what the first left.
std::string playProgram(unsigned seed, std::string& log) {
  Random r(seed);
  Setup setup(r);
  std::optional<SmallPieces> large;
  if (setup.fileExists && r.chance(15)) useSmallPieces(large, r);
  filetest::WorkIn inFolder(setup.folder.dir());
  log = "# program, seed " + std::to_string(seed) + "\n# doc " + inQuotes(setup.original) + "\n";
  for (int run = 0; run < 2; ++run) {
    FuzzSession s(setup.width, setup.height);
    setModes(s, setup.utf8);
    int supplied = 0;
    const int budget = 30 + r.pick(200);
    s.console.refill = [&] {
      if (supplied >= budget) return;
      ++supplied;
      const std::string answer =
          r.chance(30) ? answerFor(r, statusOf(s), setup.original) : randomAction(r);
      log += "keys " + answer + "\n";
      queueScript(s, answer);
    };
    const int actions = r.pick(60);
    for (int i = 0; i < actions; ++i) {
      const std::string script = randomAction(r);
      log += "keys " + script + "\n";
      queueScript(s, script);
    }
    if (r.chance(60)) queueScript(s, "M-x");
    std::string program = "slate", name = setup.named ? "doc.txt" : "";
    std::vector<char*> argv = {program.data()};
    if (!name.empty()) argv.push_back(name.data());
    std::string note;
    const int status =
        runEditor(s.session, parseCommandLine(static_cast<int>(argv.size()), argv.data()), &note);
    s.console.refill = nullptr;
    log += "# ended with " + std::to_string(status) + " " + note + "\n";
    if (status != 0) return "exit status " + std::to_string(status) + ": " + note;
  }
  return "";
}

TEST(SessionFuzz, RandomSessionsKeepDocumentFilesAndHistoryRight) {
  const char* count = std::getenv("SLATE_SESSIONS");
  const int sessions = count ? std::atoi(count) : 40;
  const unsigned first = testSeed();
  startWatchdog();
  if (const char* path = std::getenv("SLATE_REPLAY")) {
    Replay replay;
    ASSERT_TRUE(replay.load(path)) << path;
    std::string log;
    const std::string fault = playEditing(first, log, &replay);
    EXPECT_EQ(fault, "") << log;
    std::printf("FAULT: %s\n", fault.c_str());
    return;
  }
  for (int i = 0; i < sessions; ++i) {
    const unsigned seed = first + static_cast<unsigned>(i);
    sessionSeed = seed;
    sessionStarted = nowSeconds();
    std::string log;
    const std::string fault =
        seed % 5 == 4 ? playProgram(seed, log) : playEditing(seed, log, nullptr);
    sessionStarted = 0;
    ++tally[seed % 5 == 4 ? "program runs" : "editing sessions"];
    if (!fault.empty()) {
      ADD_FAILURE() << "session SLATE_SEED=" << seed << ": " << fault << "\n" << log;
      if (!std::getenv("SLATE_KEEP_GOING")) return;
    }
  }
  if (std::getenv("SLATE_SESSIONS"))
    for (const auto& [what, n] : tally) std::printf("%s: %d\n", what.c_str(), n);
}

}  // namespace
