// Nothing lost at the edges, in a real terminal and as an ordinary user: a link planted under
// the autosave name, two editors on one file, a full disk in a shared sticky folder, a save
// killed while it wrote a file in place.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/editor.h"
#include "e2e/tmux_session.h"
#include "files/file_support_posix.h"
#include "files/watched_calls.h"

using e2e::listDirectory;
using e2e::readFile;
using e2e::statusText;
using e2e::TmuxSession;
using e2e::writeFile;

namespace {

using Names = std::vector<std::string>;

#define NEED_USER(user)                                   \
  std::string why_##user;                                 \
  const std::string user = e2e::ordinaryUser(why_##user); \
  if (user.empty()) GTEST_SKIP() << "no ordinary user to run the editor as: " << why_##user

// A shared folder as /tmp is: everyone may create files, only a file's owner may remove or
// rename it. The folder and the named files become root's, so the editor's user is "another
// user" for them.
void makeSharedFolder(const std::string& dir, const std::vector<std::string>& rootsFiles) {
  chown(dir.c_str(), 0, 0);
  chmod(dir.c_str(), 01777);
  for (const std::string& name : rootsFiles) {
    chown((dir + "/" + name).c_str(), 0, 0);
    chmod((dir + "/" + name).c_str(), 0666);
  }
}

bool isLink(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

TEST(EdgesEndToEnd, ALinkPlantedUnderTheAutosaveNameIsNeverWrittenThrough) {
  NEED_USER(user);
  TmuxSession tmux({.args = {"notes.txt"},
                    .files = {{"notes.txt", "notes\n"}, {"victim.txt", "precious\n"}},
                    .user = user,
                    .prepare = [](const std::string& dir) {
                      chmod((dir + "/victim.txt").c_str(), 0600);
                      if (geteuid() == 0) makeSharedFolder(dir, {});
                    }});
  const std::string dir = tmux.directory();
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "notes.txt"))) << tmux.status();
  tmux.sendLiteral("mine ");
  ASSERT_TRUE(tmux.waitForStatus(statusText(true, 0, 5, "notes.txt"))) << tmux.status();
  // Another user plants the link while the editor runs; then the terminal goes.
  ASSERT_EQ(symlink("victim.txt", (dir + "/notes.txt.autosave").c_str()), 0);
  kill(tmux.editorPid(), SIGHUP);
  EXPECT_EQ(tmux.waitForExit(), "slate exited 0, tty same");
  EXPECT_EQ(readFile(dir + "/victim.txt"), "precious\n");
  EXPECT_TRUE(isLink(dir + "/notes.txt.autosave"));
  EXPECT_EQ(readFile(dir + "/notes.txt.autosave.1"), "mine notes\n");
  EXPECT_EQ(readFile(dir + "/notes.txt"), "notes\n");
}

TEST(EdgesEndToEnd, TwoEditorsOnOneFileKeepEachOthersCopies) {
  NEED_USER(user);
  TmuxSession tmux({.args = {"f.txt"}, .files = {{"f.txt", "text\n"}}, .user = user});
  const std::string dir = tmux.directory();
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "f.txt"))) << tmux.status();
  const pid_t first = tmux.editorPid();
  const std::string second = tmux.openWindow("second", {"f.txt"});
  tmux.select(second);
  ASSERT_TRUE(tmux.waitForStatus("f.txt is already open in another Slate (process " +
                                 std::to_string(first) + ")"))
      << tmux.status();
  tmux.sendLiteral("B");
  ASSERT_TRUE(tmux.waitForStatus(statusText(true, 0, 1, "f.txt"))) << tmux.status();
  kill(tmux.editorPid(), SIGHUP);
  EXPECT_EQ(tmux.waitForExit(), "slate exited 0, tty same");
  EXPECT_EQ(readFile(dir + "/f.txt.2.autosave"), "Btext\n");
  tmux.select("slate");
  tmux.sendLiteral("A");
  tmux.sendKeys({"M-x"});
  ASSERT_TRUE(tmux.waitForStatus("Save changes? (Y/n)")) << tmux.status();
  tmux.sendLiteral("n");
  EXPECT_EQ(tmux.waitForExit(), "slate exited 0, tty same");
  EXPECT_EQ(readFile(dir + "/f.txt.2.autosave"), "Btext\n") << "the other's copy stays";
  EXPECT_EQ(listDirectory(dir), (Names{"f.txt", "f.txt.2.autosave"}));
}

// A small file system of its own, mounted for the test and gone after it.
class SmallDisk {
 public:
  explicit SmallDisk(const std::string& size) {
    char pattern[] = "/tmp/slate-disk-XXXXXX";
    dir_ = mkdtemp(pattern);
    const std::string options = "size=" + size + ",mode=1777";
    mounted_ = mount("tmpfs", dir_.c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  ~SmallDisk() {
    if (mounted_) umount2(dir_.c_str(), MNT_DETACH);
    rmdir(dir_.c_str());
  }
  bool mounted() const { return mounted_; }
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
  bool mounted_ = false;
};

TEST(EdgesEndToEnd, AFullDiskInAStickyFolderLeavesAnothersFileWhole) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
  NEED_USER(user);
  SmallDisk disk("1m");
  if (!disk.mounted()) GTEST_SKIP() << "tmpfs could not be mounted here";
  const std::string text(300 * 1024 - 1, 's');
  const std::string filler(250 * 1024, 'f');
  {
    TmuxSession tmux({.args = {"shared.txt"},
                      .workingDirectory = disk.dir(),
                      .files = {{"shared.txt", text + "\n"}, {"filler", filler}},
                      .user = user,
                      .prepare = [](const std::string& dir) {
                        makeSharedFolder(dir, {"shared.txt", "filler"});
                      }});
    ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "shared.txt"))) << tmux.status();
    tmux.sendLiteral("x");
    tmux.sendKeys({"F2"});
    ASSERT_TRUE(tmux.waitForStatus("Save failed: No space left on device; the file is unchanged"))
        << tmux.status();
    EXPECT_EQ(readFile(disk.dir() + "/shared.txt"), text + "\n");
    EXPECT_EQ(listDirectory(disk.dir()), (Names{"filler", "shared.txt"}));
    // With room again the file is written in place and stays its owner's.
    unlink((disk.dir() + "/filler").c_str());
    tmux.sendKeys({"F2"});
    ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 1, "shared.txt"))) << tmux.status();
    EXPECT_EQ(readFile(disk.dir() + "/shared.txt"), "x" + text + "\n");
    struct stat info;
    ASSERT_EQ(stat((disk.dir() + "/shared.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 0u);
    tmux.sendKeys({"M-x"});
    EXPECT_EQ(tmux.waitForExit(), "slate exited 0, tty same");
    EXPECT_EQ(listDirectory(disk.dir()), (Names{"shared.txt"}));
  }
}

// The user's save of doc, a file with a second name (so written in place), killed once both
// texts are on disk beside it.
void killSaveOfDocHalfWay(const std::string& dir, const std::string& newText) {
  link((dir + "/doc").c_str(), (dir + "/other").c_str());
  struct stat owner;
  stat(dir.c_str(), &owner);
  pid_t child = fork();
  if (child == 0) {
    if (setgid(owner.st_gid) != 0 || setuid(owner.st_uid) != 0) _exit(1);
    Editor editor;
    filetest::prepareModified(editor, dir + "/doc", newText);
    filetest::WatchedCalls calls;
    calls.watch = [](const std::string& call) {
      if (call == "write target") kill(getpid(), SIGKILL);
    };
    editor.save();
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
}

// Such a save: the next start says so, opens the new text on y, F9 shows the file's own, and
// F2 saves and clears the copies away.
TEST(EdgesEndToEnd, ASaveKilledHalfWayIsOfferedAtTheNextStart) {
  NEED_USER(user);
  TmuxSession tmux(
      {.args = {"doc"},
       .width = 100,
       .files = {{"doc", "old text\n"}},
       .user = user,
       .prepare = [](const std::string& dir) { killSaveOfDocHalfWay(dir, "new text\n"); }});
  const std::string dir = tmux.directory();
  ASSERT_TRUE(tmux.waitForRow(23, "A save was interrupted: open its copy .doc.slate-"))
      << tmux.status();
  tmux.sendLiteral("y");
  ASSERT_TRUE(tmux.waitForScreenText("new text")) << tmux.dump();
  EXPECT_EQ(tmux.status().rfind("Opened ", 0), 0u) << tmux.status();
  tmux.sendKeys({"F9"});
  ASSERT_TRUE(tmux.waitForText(0, "old text")) << tmux.dump();
  tmux.sendKeys({"S-F9"});
  ASSERT_TRUE(tmux.waitForText(0, "new text")) << tmux.dump();
  tmux.sendKeys({"F2"});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "doc"))) << tmux.status();
  EXPECT_EQ(readFile(dir + "/other"), "new text\n");
  tmux.sendKeys({"M-x"});
  EXPECT_EQ(tmux.waitForExit(), "slate exited 0, tty same");
  EXPECT_EQ(listDirectory(dir), (Names{"doc", "other"}));
}

// r opens the old copy, then y the interrupted save's, which memory cannot hold: the old
// copy is the work until the new one is in, and nothing is written over it half-way.
TEST(EdgesEndToEnd, MemoryRunningOutWhileOpeningACopyWritesNothingOverTheOneOpened) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer runtime needs more address space than the limit leaves";
#endif
  NEED_USER(user);
  static const std::string big = [] {
    std::string bytes;
    for (int i = 0; i < 40000; ++i) bytes += std::string(999, 'z') + "\n";
    return bytes;
  }();
  TmuxSession tmux({.args = {"doc"},
                    .width = 100,
                    .files = {{"doc", "old text\n"}},
                    .user = user,
                    .prepare =
                        [](const std::string& dir) {
                          killSaveOfDocHalfWay(dir, big);
                          // Written after the save, which would ask about it.
                          const std::string copy = dir + "/doc.autosave";
                          writeFile(copy, "lost work\n");
                          struct stat owner;
                          stat(dir.c_str(), &owner);
                          chown(copy.c_str(), owner.st_uid, owner.st_gid);
                        },
                    .limits = {"--as=" + std::to_string(120 << 20)}});
  const std::string dir = tmux.directory();
  ASSERT_TRUE(
      tmux.waitForStatus("Autosave file seems to exist, overwrite? (Y/n) or r to open "
                         "doc.autosave"))
      << tmux.status();
  tmux.sendLiteral("r");
  ASSERT_TRUE(tmux.waitForRow(23, "A save was interrupted: open its copy .doc.slate-"))
      << tmux.status();
  tmux.sendLiteral("y");
  EXPECT_EQ(tmux.waitForExit(), "slate exited 1, tty same");
  EXPECT_TRUE(tmux.waitForScreenText(
      "slate: out of memory; opening a copy, the files were left as they were"))
      << tmux.dump();
  EXPECT_TRUE(readFile(dir + "/doc.autosave") == "lost work\n");  // not 40 MB printed
  EXPECT_EQ(readFile(dir + "/doc"), "old text\n");
}

}  // namespace

namespace {

// What the file was, it stays: a second hard link, another group, an extended attribute; and
// changes only a change time can show (a deleted file, touch -d) are asked about.
TEST(EdgesEndToEnd, TheFileKeepsItsNamesGroupAndAttributesAndHiddenChangesAreAsked) {
  NEED_USER(user);
  TmuxSession tmux({.args = {"doc"},
                    .files = {{"doc", "one\n"}},
                    .user = user,
                    .prepare = [](const std::string& dir) {
                      link((dir + "/doc").c_str(), (dir + "/other").c_str());
                      if (geteuid() == 0) chown((dir + "/doc").c_str(), -1, 0);  // group root
                      setxattr((dir + "/doc").c_str(), "user.note", "kept", 4, 0);
                    }});
  const std::string dir = tmux.directory();
  struct stat before;
  ASSERT_EQ(stat((dir + "/doc").c_str(), &before), 0);
  char note[16] = {};
  const bool attributes = getxattr((dir + "/doc").c_str(), "user.note", note, sizeof note) == 4;
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "doc"))) << tmux.status();
  tmux.sendLiteral("1");
  tmux.sendKeys({"F2"});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 1, "doc"))) << tmux.status();
  EXPECT_EQ(readFile(dir + "/other"), "1one\n");
  struct stat after;
  ASSERT_EQ(stat((dir + "/doc").c_str(), &after), 0);
  EXPECT_EQ(after.st_gid, before.st_gid);
  EXPECT_EQ(after.st_ino, before.st_ino);
  if (attributes) {
    EXPECT_EQ(getxattr((dir + "/doc").c_str(), "user.note", note, sizeof note), 4);
  }
  // The same number of bytes, the modification time put back.
  writeFile(dir + "/doc", "2one\n");
  const struct timespec times[2] = {after.st_atim, after.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, (dir + "/doc").c_str(), times, 0), 0);
  tmux.sendLiteral("3");
  tmux.sendKeys({"F2"});
  ASSERT_TRUE(tmux.waitForStatus("File changed on disk, overwrite? (y/n)")) << tmux.status();
  tmux.sendLiteral("n");
  ASSERT_TRUE(tmux.waitForStatus("Not saved")) << tmux.status();
  EXPECT_EQ(readFile(dir + "/doc"), "2one\n");
  // Deleted by another program: asked about, and made again as private as it was.
  chmod((dir + "/doc").c_str(), 0600);
  tmux.sendLiteral("4");
  tmux.sendKeys({"F2"});
  ASSERT_TRUE(tmux.waitForStatus("File changed on disk, overwrite? (y/n)")) << tmux.status();
  tmux.sendLiteral("y");
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 3, "doc"))) << tmux.status();
  unlink((dir + "/doc").c_str());
  unlink((dir + "/other").c_str());
  tmux.sendLiteral("5");
  tmux.sendKeys({"F2"});
  ASSERT_TRUE(tmux.waitForStatus("File changed on disk, overwrite? (y/n)")) << tmux.status();
  tmux.sendLiteral("y");
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 4, "doc"))) << tmux.status();
  EXPECT_EQ(readFile(dir + "/doc"), "1345one\n");
  struct stat made;
  ASSERT_EQ(stat((dir + "/doc").c_str(), &made), 0);
  EXPECT_EQ(made.st_mode & 07777, 0600u);
  tmux.sendKeys({"M-x"});
  EXPECT_EQ(tmux.waitForExit(), "slate exited 0, tty same");
}

// r at the start-up question opens the old copy; F9 shows the file's own text.
TEST(EdgesEndToEnd, ROpensTheOldCopyAndF9ShowsTheFile) {
  NEED_USER(user);
  TmuxSession tmux({.args = {"f.txt"},
                    .width = 100,
                    .files = {{"f.txt", "saved text\n"}, {"f.txt.autosave", "lost work\n"}},
                    .user = user});
  ASSERT_TRUE(tmux.waitForStatus(
      "Autosave file seems to exist, overwrite? (Y/n) or r to open f.txt.autosave"))
      << tmux.status();
  tmux.sendLiteral("r");
  ASSERT_TRUE(tmux.waitForText(0, "lost work")) << tmux.dump();
  EXPECT_EQ(tmux.status(), "Opened f.txt.autosave; F9 shows the file");
  tmux.sendKeys({"F9"});
  ASSERT_TRUE(tmux.waitForText(0, "saved text")) << tmux.dump();
  tmux.sendKeys({"S-F9"});
  ASSERT_TRUE(tmux.waitForText(0, "lost work")) << tmux.dump();
  tmux.sendKeys({"F2"});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "f.txt"))) << tmux.status();
  tmux.sendKeys({"M-x"});
  EXPECT_EQ(tmux.waitForExit(), "slate exited 0, tty same");
  EXPECT_EQ(readFile(tmux.directory() + "/f.txt"), "lost work\n");
  EXPECT_EQ(listDirectory(tmux.directory()), Names{"f.txt"});
}

// A full disk, then the terminal goes: the work goes to a folder of the user's own, and the
// end says where on standard error.
TEST(EdgesEndToEnd, AFullDiskThenAHangUpKeepsTheWorkElsewhereAndSaysWhere) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
  NEED_USER(user);
  SmallDisk disk("64k");
  if (!disk.mounted()) GTEST_SKIP() << "tmpfs could not be mounted here";
  TmuxSession tmux({.args = {"doc"},
                    .width = 200,
                    .workingDirectory = disk.dir(),
                    .files = {{"doc", "text\n"}},
                    .user = user});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "doc"))) << tmux.status();
  writeFile(disk.dir() + "/filler", std::string(64 * 1024, 'f'));  // as full as it gets
  tmux.sendLiteral("work ");
  ASSERT_TRUE(tmux.waitForStatus(statusText(true, 0, 5, "doc"))) << tmux.status();
  kill(tmux.editorPid(), SIGHUP);
  EXPECT_EQ(tmux.waitForExit(), "slate exited 0, tty same");
  const struct passwd* entry = getpwnam(user.c_str());
  ASSERT_NE(entry, nullptr);
  const std::string folder = "/tmp/slate-" + std::to_string(entry->pw_uid);
  std::string copy;
  for (const std::string& name : listDirectory(folder))
    if (name.find("%2Fdoc.autosave") != std::string::npos &&
        name.find(std::filesystem::path(disk.dir()).filename().string()) != std::string::npos)
      copy = folder + "/" + name;
  ASSERT_FALSE(copy.empty());
  EXPECT_EQ(readFile(copy), "work text\n");
  EXPECT_TRUE(tmux.waitForScreenText("it is in " + copy)) << tmux.dump();
  unlink(copy.c_str());
}

}  // namespace
