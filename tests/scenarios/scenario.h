#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One scenario case: a start document, a key script played through the whole editor on the
// in-memory console, and what must hold afterwards. The file format is described in
// tests/scenarios/README.md.
namespace scenario {

// A key press as the Windows console reports it.
struct Key {
  uint16_t virtualKeyCode;
  uint8_t ch;
  uint32_t controlKeyState;
};

// A file, folder or link in the case's folder: made before the first key, or (a step of the
// script) once the keys before it are handled.
struct DiskEntry {
  enum Kind { File, Folder, Link, Remove } kind;
  std::string name;
  std::string bytes;  // File: its bytes; Link: where it points
  int mode = -1;      // File: its permission bits, -1 for the default
};

struct Step {
  enum Kind { Press, Paste, Wait, Disk } kind;
  Key key;
  std::string text;       // Paste
  uint32_t milliseconds;  // Wait
  DiskEntry entry;        // Disk
};

struct Check {
  int sourceLine;
  std::string what;  // doc, line, lines, cursor, mark, modified, ...
  std::string text;
  std::string name;                // file, mode: which file
  std::vector<std::string> names;  // files: every name
  int a = 0, b = 0, c = 0, d = 0;
  bool none = false;
};

struct Case {
  std::string path;
  std::string document;
  int width = 80;
  int height = 25;
  bool utf8 = false;  // the console shows UTF-8 (and has both display modes)
  std::optional<std::pair<int, int>> at;
  std::optional<std::string> clipboard;
  bool clipboardRefuses = false;
  std::string pending;              // why the case cannot pass yet; empty when it must pass
  bool needsRegex = false;          // played only where the build has regular expressions
  bool needsPosix = false;          // played only on POSIX systems (links, permission bits)
  std::vector<DiskEntry> files;     // what the case's folder holds at the start
  std::optional<std::string> open;  // the document is this file, loaded as at the start
  std::optional<std::string> run;   // the whole program runs, with this argument ("": none)
  std::vector<Step> script;
  std::vector<Check> checks;
};

// Decodes a run of quoted strings ("a\n" "b"), with \t \r \n \e \0 \\ \" and \xNN.
bool decodeStrings(const std::string& source, std::string& bytes, std::string& error);

// A key by name with optional S- C- M- prefixes: Left, C-S-Ins, M-x, F5, \x07, ...
bool parseKey(const std::string& name, Key& key, std::string& error);

// The key presses that type these bytes one by one, each inserted as it is.
std::vector<Key> keysForText(const std::string& bytes);

// Parses a whole key script into steps.
bool parseScript(const std::string& source, std::vector<Step>& steps, std::string& error);

bool parseCase(const std::string& path, Case& result, std::string& error);

// Plays the case and returns a description of every check that failed.
std::vector<std::string> runCase(const Case& c);

// Shows bytes the way a case writes them.
std::string quote(const std::string& bytes);

}  // namespace scenario
