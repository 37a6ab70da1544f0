// Saving and loading against real files that fight back: every failure leaves the target as
// it was, no temporary file behind, the document still modified, and a message with the reason.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/editor.h"
#include "files/file_support_posix.h"
#include "files/load_save.h"
#include "files/watched_calls.h"
#include "platform/file_io.h"
#include "platform/file_stamp.h"
#include "support/document.h"
#include "support/session_input.h"

using filetest::exists;
using filetest::inChild;
using filetest::modeOf;
using filetest::prepareModified;
using filetest::readFile;
using filetest::TempDir;
using filetest::writeDocumentTo;
using filetest::writeFile;

namespace {

using Names = std::vector<std::string>;

// What a failed save must leave: "" when it did, else the first thing that is wrong.
std::string checkFailedSave(Editor& editor, const std::string& reason) {
  if (editor.save() != 0) return "the save reported success";
  if (!editor.modified) return "modified was cleared";
  if (message(editor) != "Save failed: " + reason) return "message: " + message(editor);
  return "";
}

// Lets the unprivileged child of inChild work in the directory.
void handOver(const std::string& path) {
  if (geteuid() == 0 &&
      chown(path.c_str(), filetest::kUnprivilegedId, filetest::kUnprivilegedId) != 0)
    FAIL() << "chown " << path;
}

TEST(SaveFailure, ReadOnlyDirectoryLeavesTargetAlone) {
  TempDir temp;
  const std::string dir = temp.path("ro");
  mkdir(dir.c_str(), 0755);
  handOver(temp.dir());
  writeFile(dir + "/doc", "old\n");
  handOver(dir);
  handOver(dir + "/doc");
  chmod(dir.c_str(), 0555);
  std::string report = inChild(
      [&] {
        Editor editor;
        prepareModified(editor, dir + "/doc", "new text\n");
        return checkFailedSave(editor, "Permission denied for a new file in " + dir);
      },
      true);
  EXPECT_EQ(report, "");
  EXPECT_EQ(readFile(dir + "/doc"), "old\n");
  EXPECT_EQ(filetest::listDir(dir), Names{"doc"});
}

TEST(SaveFailure, ReadOnlyFileIsNotReplacedAndUnreadableFileSaysWhy) {
  TempDir temp;
  handOver(temp.dir());
  writeFile(temp.path("locked"), "locked\n");
  writeFile(temp.path("secret"), "secret\n");
  handOver(temp.path("locked"));
  handOver(temp.path("secret"));
  chmod(temp.path("locked").c_str(), 0444);
  chmod(temp.path("secret").c_str(), 0200);
  std::string report = inChild(
      [&]() -> std::string {
        Editor editor;
        prepareModified(editor, temp.path("locked"), "changed\n");
        std::string fault = checkFailedSave(editor, "Permission denied");
        if (!fault.empty()) return "locked: " + fault;

        Editor reader;
        setFileName(reader, temp.path("secret").c_str());
        if (reader.loadDocument() != 0) return "secret: load reported success";
        if (message(reader) != "Cannot read " + temp.path("secret") + ": Permission denied")
          return "secret: message " + message(reader);
        if (documentBytes(reader) != "" ||
            std::string(reader.fileName.get()) != temp.path("secret"))
          return "secret: document or name changed";
        return "";
      },
      true);
  EXPECT_EQ(report, "");
  EXPECT_EQ(readFile(temp.path("locked")), "locked\n");
  EXPECT_EQ(modeOf(temp.path("locked")), 0444u);
  EXPECT_EQ(temp.names(), (Names{"locked", "secret"}));
}

TEST(SaveFailure, TargetThatIsNoFileIsRefused) {
  TempDir temp;
  mkdir(temp.path("folder").c_str(), 0755);
  mkfifo(temp.path("pipe").c_str(), 0644);
  {
    Editor editor;
    prepareModified(editor, temp.path("folder"), "text\n");
    EXPECT_EQ(checkFailedSave(editor, "Is a directory"), "");
  }
  {
    Editor editor;
    prepareModified(editor, temp.path("pipe"), "text\n");
    EXPECT_EQ(checkFailedSave(editor, "Not a regular file"), "");  // and it did not block
  }
  struct stat info;
  ASSERT_EQ(stat(temp.path("folder").c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_EQ(temp.names(), (Names{"folder", "pipe"}));
}

TEST(SaveFailure, FileSizeLimitMakesTheWriteFail) {
  TempDir temp;
  writeFile(temp.path("doc"), "old\n");
  std::string bigLine(200, 'x');
  std::string big;
  for (int i = 0; i < 500; ++i) big += bigLine + "\n";
  for (size_t buffer : {size_t{1} << 20, size_t{512}}) {
    std::string report = inChild([&]() -> std::string {
      files::writeBufferSize = buffer;
      struct rlimit limit = {4096, 4096};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return "setrlimit failed";
      Editor editor;
      prepareModified(editor, temp.path("doc"), big);
      return checkFailedSave(editor, "File too large");
    });
    EXPECT_EQ(report, "") << "buffer " << buffer;
    EXPECT_EQ(readFile(temp.path("doc")), "old\n");
    EXPECT_EQ(temp.names(), Names{"doc"});
  }
}

TEST(SaveFailure, TargetOnAnotherFileSystemIsReplaced) {
  if (!exists("/dev/shm")) GTEST_SKIP() << "no /dev/shm";
  TempDir shm("/dev/shm");
  TempDir here;  // the working directory's file system stays out of it
  struct stat a, b;
  stat(shm.dir().c_str(), &a);
  stat(".", &b);
  if (a.st_dev == b.st_dev) GTEST_SKIP() << "/dev/shm is not another file system here";
  writeFile(shm.path("doc"), "old\n");
  Editor editor;
  prepareModified(editor, shm.path("doc"), "new\r\ntext\n");
  ASSERT_EQ(editor.save(), 1) << message(editor);
  EXPECT_EQ(editor.modified, 0);
  EXPECT_EQ(readFile(shm.path("doc")), "new\r\ntext\n");
  EXPECT_EQ(shm.names(), Names{"doc"});
}

TEST(SaveFailure, SymbolicLinksAreKeptAndTheirFilesWritten) {
  TempDir temp;
  writeFile(temp.path("real.txt"), "old\n");
  mkdir(temp.path("sub").c_str(), 0755);
  ASSERT_EQ(symlink("../real.txt", temp.path("sub/link").c_str()), 0);
  ASSERT_EQ(symlink(temp.path("sub/link").c_str(), temp.path("chain").c_str()), 0);
  ASSERT_EQ(symlink("made.txt", temp.path("dangling").c_str()), 0);

  for (const char* name : {"sub/link", "chain"}) {
    Editor editor;
    prepareModified(editor, temp.path(name), std::string("via ") + name + "\n");
    ASSERT_EQ(editor.save(), 1) << message(editor);
    EXPECT_EQ(readFile(temp.path("real.txt")), std::string("via ") + name + "\n");
  }
  Editor editor;
  prepareModified(editor, temp.path("dangling"), "made\n");
  ASSERT_EQ(editor.save(), 1) << message(editor);
  EXPECT_EQ(readFile(temp.path("made.txt")), "made\n");

  char target[256] = {};
  ASSERT_GT(readlink(temp.path("sub/link").c_str(), target, sizeof target - 1), 0);
  EXPECT_STREQ(target, "../real.txt");
  struct stat info;
  ASSERT_EQ(lstat(temp.path("chain").c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  ASSERT_EQ(lstat(temp.path("dangling").c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(temp.names(), (Names{"chain", "dangling", "made.txt", "real.txt", "sub"}));
}

TEST(SaveFailure, PermissionBitsAreKept) {
  TempDir temp;
  writeFile(temp.path("script.sh"), "#!/bin/sh\n");
  writeFile(temp.path("private"), "secret\n");
  chmod(temp.path("script.sh").c_str(), 0755);
  chmod(temp.path("private").c_str(), 0600);
  for (const char* name : {"script.sh", "private"}) {
    const unsigned mode = modeOf(temp.path(name));
    Editor editor;
    prepareModified(editor, temp.path(name), "#!/bin/sh\necho hi\n");
    ASSERT_EQ(editor.save(), 1) << message(editor);
    EXPECT_EQ(modeOf(temp.path(name)), mode) << name;
    EXPECT_EQ(readFile(temp.path(name)), "#!/bin/sh\necho hi\n");
  }
  // A new file: 0644 less the mask. The autosave copy of a private file stays private.
  mode_t mask = umask(027);
  Editor editor;
  prepareModified(editor, temp.path("new"), "n\n");
  EXPECT_EQ(editor.save(), 1);
  Editor copy;
  prepareModified(copy, temp.path("private"), "changed secret\n");
  EXPECT_EQ(copy.autosaveNow(), 1);
  umask(mask);
  EXPECT_EQ(modeOf(temp.path("new")), 0640u);
  EXPECT_EQ(modeOf(temp.path("private.autosave")), 0600u);
  EXPECT_EQ(readFile(temp.path("private.autosave")), "changed secret\n");
}

// A save killed at chosen points, with and without an unnamed temporary file: the target is
// wholly old until the rename and wholly new from then on, and nothing of the killed save is
// left once the next start has cleared what a dead process left.
TEST(SaveFailure, KilledSaveLeavesTargetWhole) {
  TempDir temp;
  const std::string target = temp.path("doc");
  std::string a, b;
  for (int i = 0; i < 3000; ++i) a += "line a " + std::to_string(i) + " of the first version\n";
  for (int i = 0; i < 2000; ++i) b += "line b " + std::to_string(i) + " of the second version\r\n";
  Editor second;
  setDocument(second, b);

  struct Point {
    std::string call;  // killed just before this call ("after X": just after it)
    size_t bytes;      // or once this many bytes reached the temporary file
    bool renamed;
  };
  const std::vector<Point> points = {
      {"", 0, false},
      {"", 1, false},
      {"", b.size() / 2, false},
      {"", b.size(), false},
      {"sync temp", 0, false},
      {"link", 0, false},
      {"after link", 0, false},
      {"rename", 0, false},
      {"after rename", 0, true},
      {"sync dir", 0, true},
      {"after sync dir", 0, true},
  };
  for (bool unnamed : {true, false}) {
    for (const Point& point : points) {
      if (!unnamed && point.call.find("link") != std::string::npos) continue;
      SCOPED_TRACE((point.call.empty() ? std::to_string(point.bytes) + " bytes" : point.call) +
                   (unnamed ? ", unnamed" : ", named"));
      writeFile(target, a);
      pid_t child = fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        files::writeBufferSize = 4096;
        filetest::WatchedCalls calls;
        calls.refuseUnnamed = !unnamed;
        if (point.call.empty()) calls.killAfterBytes = point.bytes;
        calls.watch = [&](const std::string& call) {
          if (call == point.call) kill(getpid(), SIGKILL);
        };
        writeDocumentTo(second, target);
        _exit(0);
      }
      int status = 0;
      waitpid(child, &status, 0);
      ASSERT_TRUE(WIFSIGNALED(status)) << "the save ran to its end";
      EXPECT_EQ(readFile(target), point.renamed ? b : a);
      if (unnamed && point.call.empty()) {
        EXPECT_EQ(temp.names(), Names{"doc"}) << "an unnamed file leaves nothing";
      }
      platform::FileReplacer::removeLeftovers(target.c_str());
      EXPECT_EQ(temp.names(), Names{"doc"});
    }
  }
}

}  // namespace
