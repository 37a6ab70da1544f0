#pragma once

#include <functional>
#include <string>
#include <vector>

#include "support/file_bytes.h"

class Editor;

namespace filetest {

// A modified document named path, holding bytes, read from the file as it is now.
void prepareModified(Editor& editor, const std::string& path, const std::string& bytes);

// Writes the document to path as a save writes it, without a save's questions and flags.
bool writeDocumentTo(Editor& editor, const std::string& path);

// Runs in a directory of its own and goes back to the one before at the end.
class WorkIn {
 public:
  explicit WorkIn(const std::string& dir);
  ~WorkIn();

 private:
  std::string saved_;
};

// A fresh directory (under /tmp unless another base is given), removed with everything in it
// when the test ends.
class TempDir {
 public:
  explicit TempDir(const std::string& base = "/tmp");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& dir() const { return dir_; }
  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  // The names in the directory, sorted.
  std::vector<std::string> names() const;

 private:
  std::string dir_;
};

// A place for temporary directories where a sync costs nothing (tmpfs), else /tmp.
std::string fastTempBase();

// The names in a directory, sorted, without the lock files of running editors.
std::vector<std::string> listDir(const std::string& dir);

using testsupport::readFile;
using testsupport::writeFile;
bool exists(const std::string& path);
// The permission bits of a file (links followed).
unsigned modeOf(const std::string& path);

// Runs body in a forked child and returns what it reports: "" when all went as expected,
// otherwise a description of the first fault. With unprivileged set, a child started as root
// gives up root first, so permissions apply to it as to a normal user.
std::string inChild(const std::function<std::string()>& body, bool unprivileged = false);
// The user the unprivileged child runs as when the tests run as root.
constexpr unsigned kUnprivilegedId = 65534;

}  // namespace filetest
