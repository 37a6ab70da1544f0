// The file replacer watched call by call: what reaches the disk in which order, what each
// failing call leaves, what a killed save leaves, and whose file a save leaves.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "core/editor.h"
#include "files/file_support_posix.h"
#include "files/watched_calls.h"
#include "platform/file_io.h"
#include "support/document.h"
#include "support/session_input.h"

using filetest::inChild;
using filetest::prepareModified;
using filetest::readFile;
using filetest::TempDir;
using filetest::WatchedCalls;
using filetest::writeDocumentTo;
using filetest::writeFile;

namespace {

using Names = std::vector<std::string>;

ptrdiff_t firstIndex(const Names& log, const std::string& name) {
  auto found = std::find(log.begin(), log.end(), name);
  return found == log.end() ? -1 : found - log.begin();
}

ptrdiff_t lastIndex(const Names& log, const std::string& name) {
  auto found = std::find(log.rbegin(), log.rend(), name);
  return found == log.rend() ? -1 : log.rend() - found - 1;
}

// ---- durability ----

TEST(Durability, FileSyncedBeforeTheRenameAndTheFolderAfterIt) {
  for (bool unnamed : {true, false}) {
    SCOPED_TRACE(unnamed ? "unnamed temporary file" : "named temporary file");
    TempDir temp;
    writeFile(temp.path("doc"), "old\n");
    chmod(temp.path("doc").c_str(), 0640);
    Editor editor;
    prepareModified(editor, temp.path("doc"), "new\n");
    WatchedCalls calls;
    calls.refuseUnnamed = !unnamed;
    ASSERT_EQ(editor.save(), 1) << message(editor);
    const Names& log = calls.log;
    const ptrdiff_t rename = firstIndex(log, "rename");
    ASSERT_GE(rename, 0);
    EXPECT_LT(lastIndex(log, "write temp"), firstIndex(log, "mode temp")) << "mode after data";
    EXPECT_LT(firstIndex(log, "mode temp"), firstIndex(log, "sync temp"));
    EXPECT_GE(firstIndex(log, "sync temp"), 0);
    EXPECT_LT(firstIndex(log, "sync temp"), rename);
    EXPECT_LT(rename, firstIndex(log, "sync dir"));
    EXPECT_EQ(firstIndex(log, "link") >= 0, unnamed) << "an unnamed file is named at the end";
    EXPECT_EQ(readFile(temp.path("doc")), "new\n");
    EXPECT_EQ(filetest::modeOf(temp.path("doc")), 0640u);
    EXPECT_EQ(temp.names(), Names{"doc"});
  }
}

// Every call that can fail, failed in turn: the target is whole, the reason is shown and
// the document stays modified. Only a failure to make the rename lasting comes after it.
// The named temporary file is used for a target reached through a link.
TEST(Durability, EachFailingCallLeavesTheTargetWhole) {
  for (bool unnamed : {true, false}) {
    TempDir temp;
    const std::string target = temp.path(unnamed ? "doc" : "link");
    const Names names = unnamed ? Names{"doc"} : Names{"doc", "link"};
    if (!unnamed) {
      ASSERT_EQ(symlink("doc", target.c_str()), 0);
    }
    Names clean;
    writeFile(target, "old\n");
    // An attribute to copy, where the file system has them.
    const bool attributes = setxattr(target.c_str(), "user.slate", "kept", 4, 0) == 0;
    {
      Editor editor;
      prepareModified(editor, target, "new\n");
      WatchedCalls calls;
      calls.refuseUnnamed = !unnamed;
      ASSERT_EQ(editor.save(), 1);
      clean = calls.log;
    }
    const ptrdiff_t rename = firstIndex(clean, "rename");
    std::map<std::string, int> occurrences;
    for (ptrdiff_t i = 0; i < static_cast<ptrdiff_t>(clean.size()); ++i) {
      const std::string& call = clean[i];
      const int occurrence = occurrences[call]++;
      // Failures that are no failed save: a folder that cannot be opened cannot be synced
      // at all, an owner that cannot be kept is said, without O_TMPFILE (or the means to
      // name such a file) a named file is used, and the renamed file that cannot be looked
      // at again keeps the state it had before the rename.
      if (call == "close dir" || call == "open dir" || call == "owner temp" ||
          call == "open unnamed temp" || call == "path stat proc" ||
          (call == "name stat target" && i > rename))
        continue;
      SCOPED_TRACE(call + " #" + std::to_string(occurrence) + (unnamed ? ", unnamed" : ""));
      writeFile(target, "old\n");
      Editor editor;
      prepareModified(editor, target, "new\n");
      WatchedCalls calls;
      calls.refuseUnnamed = !unnamed;
      calls.failing = call;
      calls.occurrence = occurrence;
      // Once the rename is done the file holds the document, which counts as saved. An
      // attribute that cannot be copied keeps the file where it is: written over in place.
      const bool attribute = call.find("attribute") != std::string::npos;
      const bool replaced = i > rename || attribute;
      EXPECT_EQ(editor.save(), replaced ? 1 : 0);
      EXPECT_EQ(message(editor), attribute ? ""
                                 : replaced
                                     ? "Saved, but syncing the folder failed: Input/output error"
                                     : "Save failed: Input/output error");
      EXPECT_EQ(editor.modified, replaced ? 0 : 1);
      EXPECT_EQ(readFile(target), replaced ? "new\n" : "old\n");
      EXPECT_EQ(temp.names(), names);
      if (attributes) {
        char kept[8] = {};
        EXPECT_EQ(getxattr(target.c_str(), "user.slate", kept, sizeof kept), 4) << "attribute lost";
      }
    }
    for (const std::string call :
         {"path stat target", "name stat target", "access target", "list attributes target"})
      EXPECT_GT(occurrences[call], 0) << call;
    EXPECT_EQ(occurrences["readlink"], unnamed ? 0 : 1);
    EXPECT_EQ(occurrences["set attribute temp"], attributes ? 1 : 0);
  }
}

// A save under a new name that only the folder's sync failed is done: the status line says
// so, and still what taking the name said.
TEST(Durability, AFolderSyncFailedUnderANewNameKeepsWhatTheNameSaid) {
  TempDir temp;
  const std::string other = temp.path("other");
  writeFile(temp.path("doc"), "old\n");
  Editor holder;  // another editor has the new name open
  setFileName(holder, other.c_str());
  Editor editor;
  prepareModified(editor, temp.path("doc"), "new\n");
  WatchedCalls calls;
  calls.failing = "sync dir";
  EXPECT_EQ(editor.saveUnder(other.c_str(), false, true), 1);
  EXPECT_EQ(message(editor), "Saved, but syncing the folder failed: Input/output error; " + other +
                                 " is already open in another Slate (process " +
                                 std::to_string(getpid()) + ")");
  EXPECT_EQ(readFile(other), "new\n");
}

TEST(Durability, AChangeMadeWhileTheSaveWritesIsNotLost) {
  TempDir temp;
  const std::string target = temp.path("log");
  writeFile(target, "old\n");
  Editor editor;
  prepareModified(editor, target, "new\n");
  WatchedCalls calls;
  calls.watch = [&](const std::string& call) {
    if (call == "sync temp") writeFile(target, "old\nappended\n");
  };
  EXPECT_EQ(editor.save(), 0);
  EXPECT_EQ(message(editor), "Save failed: File changed on disk");
  EXPECT_EQ(readFile(target), "old\nappended\n");
  EXPECT_EQ(temp.names(), Names{"log"});
}

// ---- a killed save ----
// (the target's wholeness is in SaveFailure.KilledSaveLeavesTargetWhole)

pid_t deadProcess() {
  pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  return child;
}

// Kills a save of a named temporary file half-way: the file it leaves is removed at the next
// start, and only that one.
TEST(Leftovers, OnlyThoseOfDeadProcessesOfThisUserGo) {
  TempDir temp;
  const std::string target = temp.path("doc");
  writeFile(target, "old\n");
  Editor editor;
  setDocument(editor, std::string(10000, 'x'));
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    WatchedCalls calls;
    calls.refuseUnnamed = true;
    calls.killAfterBytes = 5000;
    writeDocumentTo(editor, target);
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));
  Names left = temp.names();
  ASSERT_EQ(left.size(), 2u);
  const std::string leftover = left[0];  // ".doc.slate-..." sorts before "doc"
  EXPECT_NE(leftover.find(".slate-"), std::string::npos) << leftover;

  // Names of the same form for a live process and a dead one; other names; another owner.
  auto renamed = [&](pid_t pid) {
    std::string name = leftover;
    const std::string own = "-" + std::to_string(child) + "-";
    name.replace(name.find(own), own.size(), "-" + std::to_string(pid) + "-");
    return name;
  };
  const std::string alive = renamed(getppid());
  const std::string otherUser = renamed(deadProcess());
  writeFile(temp.path(alive), "live");
  writeFile(temp.path(otherUser), "someone else's");
  writeFile(temp.path(".doc.XYZabc.tmp"), "not ours to tell");
  writeFile(temp.path("doc.slate-1-abcdef.tmp"), "no leading dot");
  const bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(chown(temp.path(otherUser).c_str(), 65534, 65534), 0);
  }

  const Names before = temp.names();
  {
    WatchedCalls calls;
    calls.failing = "open folder";
    EXPECT_TRUE(platform::FileReplacer::removeLeftovers(target.c_str()).empty());
    EXPECT_EQ(temp.names(), before);  // a folder that cannot be read is left as it is
  }
  platform::FileReplacer::removeLeftovers(target.c_str());
  Names expected = {".doc.XYZabc.tmp", alive, "doc", "doc.slate-1-abcdef.tmp"};
  if (root) expected.push_back(otherUser);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(temp.names(), expected);
  EXPECT_EQ(readFile(target), "old\n");
}

// ---- modes and owners ----

// Lets the unprivileged child of inChild own the path.
void handOver(const std::string& path) {
  if (geteuid() == 0) {
    ASSERT_EQ(chown(path.c_str(), filetest::kUnprivilegedId, filetest::kUnprivilegedId), 0);
  }
}

TEST(ModesAndOwners, SetIdBitsSurviveASaveByTheirOwner) {
  TempDir temp;
  handOver(temp.dir());
  writeFile(temp.path("tool"), "#!/bin/sh\n");
  handOver(temp.path("tool"));
  ASSERT_EQ(chmod(temp.path("tool").c_str(), 06755), 0);
  std::string report = inChild(
      [&]() -> std::string {
        Editor editor;
        prepareModified(editor, temp.path("tool"), "#!/bin/sh\necho\n");
        return editor.save() == 1 ? "" : "save failed: " + message(editor);
      },
      true);
  EXPECT_EQ(report, "");
  EXPECT_EQ(filetest::modeOf(temp.path("tool")), 06755u);
  EXPECT_EQ(readFile(temp.path("tool")), "#!/bin/sh\necho\n");
}

// The copy of a read-only document stays its owner's to write: the next autosave works too.
TEST(ModesAndOwners, AutosaveOfAReadOnlyDocumentCanBeWrittenAgain) {
  TempDir temp;
  handOver(temp.dir());
  writeFile(temp.path("doc"), "old\n");
  handOver(temp.path("doc"));
  ASSERT_EQ(chmod(temp.path("doc").c_str(), 0440), 0);
  std::string report = inChild(
      [&]() -> std::string {
        Editor editor;
        prepareModified(editor, temp.path("doc"), "new\n");
        if (editor.autosaveNow() != 1) return "first autosave failed";
        if (editor.autosaveNow() != 1) return "second autosave failed";
        return "mode " + std::to_string(filetest::modeOf(temp.path("doc.autosave")));
      },
      true);
  EXPECT_EQ(report, "mode " + std::to_string(0640));
}

// A copy that cannot have its document's group is no more open than the document: the
// group's bits go.
TEST(ModesAndOwners, AutosaveThatCannotTakeTheGroupShowsItsBitsToNoGroup) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give a file a group its owner is not in";
  TempDir temp;
  handOver(temp.dir());
  writeFile(temp.path("doc"), "old\n");
  ASSERT_EQ(chown(temp.path("doc").c_str(), filetest::kUnprivilegedId, 0), 0);
  ASSERT_EQ(chmod(temp.path("doc").c_str(), 0640), 0);
  std::string report = inChild(
      [&]() -> std::string {
        Editor editor;
        prepareModified(editor, temp.path("doc"), "new\n");
        if (editor.autosaveNow() != 1) return "autosave failed";
        return "mode " + std::to_string(filetest::modeOf(temp.path("doc.autosave")));
      },
      true);
  EXPECT_EQ(report, "mode " + std::to_string(0600));
}

TEST(ModesAndOwners, AnotherOwnersFileIsSavedAndTheChangeSaid) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to make a file of another user";
  TempDir temp;
  handOver(temp.dir());
  writeFile(temp.path("shared"), "old\n");
  ASSERT_EQ(chmod(temp.path("shared").c_str(), 04666), 0);
  std::string report = inChild(
      [&]() -> std::string {
        Editor editor;
        prepareModified(editor, temp.path("shared"), "new\n");
        if (editor.save() != 1) return "save failed: " + message(editor);
        return message(editor);
      },
      true);
  // Written in place, the file stays its owner's; the system drops the set-user-ID bit.
  EXPECT_EQ(report, "Saved; the set-user-ID bit was dropped");
  struct stat info;
  ASSERT_EQ(stat(temp.path("shared").c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 0u);
  EXPECT_EQ(info.st_mode & 07777, 0666u);
  EXPECT_EQ(readFile(temp.path("shared")), "new\n");
}

// In a sticky folder the rename over another user's file is refused: the file is written in
// place, only after the whole new text is on disk beside it, which then goes.
TEST(ModesAndOwners, StickyFolderFileIsWrittenInPlaceFromACompleteCopy) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to make a file of another user";
  TempDir temp;
  ASSERT_EQ(chmod(temp.dir().c_str(), 01777), 0);
  writeFile(temp.path("notes"), "an old text that is longer\n");
  ASSERT_EQ(chmod(temp.path("notes").c_str(), 0666), 0);
  std::string report = inChild(
      [&]() -> std::string {
        Editor editor;
        prepareModified(editor, temp.path("notes"), "new\n");
        WatchedCalls calls;
        if (editor.save() != 1) return "save failed: " + message(editor);
        const Names& log = calls.log;
        if (!(firstIndex(log, "sync temp") < firstIndex(log, "open target") &&
              firstIndex(log, "open target") < firstIndex(log, "write target") &&
              lastIndex(log, "write target") < firstIndex(log, "sync target") &&
              firstIndex(log, "sync target") < lastIndex(log, "remove")))
          return "out of order";
        return message(editor);
      },
      true);
  EXPECT_EQ(report, "");
  struct stat info;
  ASSERT_EQ(stat(temp.path("notes").c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 0u);
  EXPECT_EQ(readFile(temp.path("notes")), "new\n");
  EXPECT_EQ(temp.names(), Names{"notes"});
}

}  // namespace
