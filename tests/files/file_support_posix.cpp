#include "files/file_support_posix.h"

#include <dirent.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "core/editor.h"
#include "files/load_save.h"
#include "support/document.h"

namespace filetest {

void prepareModified(Editor& editor, const std::string& path, const std::string& bytes) {
  setDocument(editor, bytes);
  setFileName(editor, path.c_str());
  editor.fileStamp = platform::stampOf(path.c_str());
  editor.modified = 1;
}

bool writeDocumentTo(Editor& editor, const std::string& path) {
  std::string reason;
  return files::writeDocumentFile(editor, path.c_str(), nullptr, reason);
}

WorkIn::WorkIn(const std::string& dir) {
  char buffer[4096];
  saved_ = getcwd(buffer, sizeof buffer) ? buffer : ".";
  EXPECT_EQ(chdir(dir.c_str()), 0);
}

WorkIn::~WorkIn() {
  EXPECT_EQ(chdir(saved_.c_str()), 0);
}

namespace {

void removeTree(const std::string& path) {
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) return;
  if (S_ISDIR(info.st_mode)) {
    chmod(path.c_str(), 0700);
    if (DIR* dir = opendir(path.c_str())) {
      std::vector<std::string> children;
      while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") children.push_back(path + "/" + name);
      }
      closedir(dir);
      for (const std::string& child : children) removeTree(child);
    }
    rmdir(path.c_str());
  } else {
    unlink(path.c_str());
  }
}

}  // namespace

TempDir::TempDir(const std::string& base) {
  std::string pattern = base + "/slate-test-XXXXXX";
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed in " + base);
  dir_ = pattern;
}

TempDir::~TempDir() {
  removeTree(dir_);
}

std::vector<std::string> TempDir::names() const {
  return listDir(dir_);
}

std::vector<std::string> listDir(const std::string& path) {
  std::vector<std::string> result;
  if (DIR* dir = opendir(path.c_str())) {
    while (dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      // The lock of a running editor's autosave name is there only while it runs.
      const bool lock = name.starts_with(".") && name.ends_with(".autosave.lock");
      if (name != "." && name != ".." && !lock) result.push_back(name);
    }
    closedir(dir);
  }
  std::sort(result.begin(), result.end());
  return result;
}

std::string fastTempBase() {
  return exists("/dev/shm") ? "/dev/shm" : "/tmp";
}

bool exists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

unsigned modeOf(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return 0;
  return info.st_mode & 07777;
}

std::string inChild(const std::function<std::string()>& body, bool unprivileged) {
  int channel[2];
  if (pipe(channel) != 0) return "pipe failed";
  pid_t child = fork();
  if (child < 0) return "fork failed";
  if (child == 0) {
    close(channel[0]);
    std::string report;
    if (unprivileged && geteuid() == 0 &&
        (setgroups(0, nullptr) != 0 || setgid(kUnprivilegedId) != 0 ||
         setuid(kUnprivilegedId) != 0)) {
      report = "could not give up root";
    } else {
      report = body();
    }
    size_t done = 0;
    while (done < report.size()) {
      ssize_t n = write(channel[1], report.data() + done, report.size() - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    _exit(0);
  }
  close(channel[1]);
  std::string report;
  char buffer[256];
  ssize_t n;
  while ((n = read(channel[0], buffer, sizeof buffer)) > 0) report.append(buffer, n);
  close(channel[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFSIGNALED(status))
    report += " (child killed by signal " + std::to_string(WTERMSIG(status)) + ")";
  return report;
}

}  // namespace filetest
