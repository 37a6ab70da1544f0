#pragma once

#include <string>
#include <vector>

#include "support/file_bytes.h"

namespace testing_win32 {

// A fresh folder under the user's temporary folder, removed with every file in it (read-only
// ones too) when the test ends.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& dir() const { return dir_; }
  std::string path(const std::string& name) const { return dir_ + "\\" + name; }
  // The names of the files in the folder, sorted, without the lock files of running editors.
  std::vector<std::string> names() const;

 private:
  std::string dir_;
};

using testsupport::readFile;
using testsupport::writeFile;

}  // namespace testing_win32
