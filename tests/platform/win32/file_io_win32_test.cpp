// Reading and replacing files on Windows: documents go to disk byte for byte, and a save
// that fails at any step leaves the target as it was and no temporary file behind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/editor.h"
#include "files/load_save.h"
#include "platform/win32/temp_folder.h"
#include "platform/win32/windows_api.h"

namespace {

using testing_win32::readFile;
using testing_win32::TempFolder;
using testing_win32::writeFile;
using Names = std::vector<std::string>;

// Every byte value, lines ended in CR LF, LF, CR and LF CR, the last one too.
std::string mixedDocument() {
  std::string bytes;
  for (int b = 0; b < 256; ++b)
    if (b != '\r' && b != '\n') bytes += static_cast<char>(b);
  return bytes + "\r\nsecond\nthird\rfourth\n\r\r\n";
}

// Opens the file as another program may hold it until the object goes: by default so that
// no other program may write or delete it, as an editor or a virus scanner may.
struct LockedFile {
  explicit LockedFile(const std::string& path, DWORD share = FILE_SHARE_READ)
      : handle(CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr)) {
  }
  ~LockedFile() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
  HANDLE handle;
};

TEST(WindowsFiles, DocumentIsLoadedAndSavedByteForByte) {
  TempFolder temp;
  const std::string path = temp.path("notes.txt");
  writeFile(path, mixedDocument());
  Editor editor;
  setFileName(editor, path.c_str());
  ASSERT_EQ(editor.loadDocument(), 1);
  EXPECT_EQ(editor.lineEnding, 1);  // CR LF, the first line's
  editor.modified = 1;
  ASSERT_EQ(editor.save(), 1);
  EXPECT_EQ(readFile(path), mixedDocument());
  // The file is as the save left it: the next save finds it unchanged on disk.
  EXPECT_EQ(editor.fileStamp, platform::stampOf(path.c_str()));
  editor.insertChar('x');
  ASSERT_EQ(editor.save(), 1);
  EXPECT_EQ(readFile(path), "x" + mixedDocument());
  EXPECT_EQ(temp.names(), Names{"notes.txt"});
}

TEST(WindowsFiles, InputFileReadsInBlocksAndRefusesWhatIsNoFile) {
  TempFolder temp;
  writeFile(temp.path("a.txt"), "abcdefg");
  platform::InputFile file;
  std::string reason;
  ASSERT_EQ(file.open(temp.path("a.txt").c_str(), reason), platform::OpenResult::Opened);
  EXPECT_EQ(file.size(), 7u);
  char buffer[4];
  std::string got;
  for (int64_t n; (n = file.read(buffer, sizeof buffer, reason)) > 0;) got.append(buffer, n);
  EXPECT_EQ(got, "abcdefg");
  file.close();

  EXPECT_EQ(file.open(temp.path("missing.txt").c_str(), reason), platform::OpenResult::NotFound);
  EXPECT_EQ(file.open(temp.path("no folder\\a.txt").c_str(), reason),
            platform::OpenResult::NotFound);
  EXPECT_EQ(file.open(temp.dir().c_str(), reason), platform::OpenResult::Failed);
  EXPECT_EQ(reason, "Is a directory");
  EXPECT_EQ(file.open("NUL", reason), platform::OpenResult::Failed);
  EXPECT_EQ(reason, "Not a regular file");
}

TEST(WindowsFiles, ReplacerCreatesAndReplacesBesideTheTarget) {
  TempFolder temp;
  const std::string target = temp.path("out.txt");
  std::string reason;
  {
    platform::FileReplacer file;
    ASSERT_TRUE(file.begin(target.c_str(), nullptr, reason)) << reason;
    // The bytes go to a new file in the target's folder; the target does not exist yet.
    Names during = temp.names();
    ASSERT_EQ(during.size(), 1u);
    EXPECT_NE(during[0], "out.txt");
    ASSERT_TRUE(file.write("new\r\n", 5, reason));
    ASSERT_TRUE(file.commit(reason)) << reason;
  }
  EXPECT_EQ(readFile(target), "new\r\n");

  // Replacing keeps how the file is shown: hidden stays hidden.
  ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_HIDDEN));
  {
    platform::FileReplacer file;
    ASSERT_TRUE(file.begin(target.c_str(), nullptr, reason)) << reason;
    EXPECT_EQ(readFile(target), "new\r\n");  // untouched until the commit
    ASSERT_TRUE(file.write("replaced", 8, reason));
    ASSERT_TRUE(file.commit(reason)) << reason;
  }
  EXPECT_EQ(readFile(target), "replaced");
  EXPECT_TRUE(GetFileAttributesA(target.c_str()) & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(temp.names(), Names{"out.txt"});
}

TEST(WindowsFiles, ReplacerGivenUpLeavesNothingBehind) {
  TempFolder temp;
  const std::string target = temp.path("out.txt");
  writeFile(target, "old");
  std::string reason;
  {
    platform::FileReplacer file;
    ASSERT_TRUE(file.begin(target.c_str(), nullptr, reason));
    ASSERT_TRUE(file.write("half", 4, reason));
  }  // destroyed before the commit
  EXPECT_EQ(readFile(target), "old");
  EXPECT_EQ(temp.names(), Names{"out.txt"});
}

TEST(WindowsFiles, SaveRefusedBeforeWritingLeavesEverythingAsItWas) {
  TempFolder temp;
  const std::string readOnly = temp.path("readonly.txt");
  const std::string locked = temp.path("locked.txt");
  const std::string open = temp.path("open.txt");
  writeFile(readOnly, "old\r\n");
  writeFile(locked, "old\r\n");
  writeFile(open, "old\r\n");
  ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
  CreateDirectoryA(temp.path("folder").c_str(), nullptr);
  LockedFile lock(locked);
  ASSERT_NE(lock.handle, INVALID_HANDLE_VALUE);
  // Open for reading in another program that lets others write it, but not delete it: the
  // move that would replace it is refused.
  LockedFile reader(open, FILE_SHARE_READ | FILE_SHARE_WRITE);
  ASSERT_NE(reader.handle, INVALID_HANDLE_VALUE);

  struct Case {
    std::string target, reason;
  };
  const std::vector<Case> cases = {
      {readOnly, "Permission denied"},
      {locked, "File in use by another program"},
      {open, "File in use by another program"},
      {temp.path("folder"), "Is a directory"},
      {temp.path("no folder\\new.txt"), "No such file or directory"},
      {"", "No such file or directory"},
  };
  Editor editor;
  editor.insertChar('x');
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    std::string reason;
    EXPECT_FALSE(files::writeDocumentFile(editor, c.target.c_str(), nullptr, reason));
    EXPECT_EQ(reason, c.reason);
  }
  EXPECT_EQ(readFile(readOnly), "old\r\n");
  EXPECT_EQ(readFile(locked), "old\r\n");
  EXPECT_EQ(readFile(open), "old\r\n");
  EXPECT_EQ(temp.names(), (Names{"folder", "locked.txt", "open.txt", "readonly.txt"}));
}

TEST(WindowsFiles, FailedReplacementKeepsTheTargetAndRemovesTheTemporaryFile) {
  TempFolder temp;
  const std::string target = temp.path("out.txt");
  writeFile(target, "old");
  // Another program opens the target between write and commit, whether it lets others delete
  // the file or not: the move is refused, and the reason says why.
  for (DWORD share :
       {DWORD{FILE_SHARE_READ}, DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE}}) {
    SCOPED_TRACE(share);
    std::string reason;
    platform::FileReplacer file;
    ASSERT_TRUE(file.begin(target.c_str(), nullptr, reason));
    ASSERT_TRUE(file.write("new", 3, reason));
    {
      LockedFile lock(target, share);
      ASSERT_NE(lock.handle, INVALID_HANDLE_VALUE);
      EXPECT_FALSE(file.commit(reason));
      EXPECT_EQ(reason, "File in use by another program");
    }
    EXPECT_EQ(readFile(target), "old");
    EXPECT_EQ(temp.names(), Names{"out.txt"});
  }
}

// A file in a folder of its own whose path is as long as the system takes (259 characters),
// removed with its folder when the test ends.
struct LongestPath {
  explicit LongestPath(const TempFolder& temp)
      : folder(temp.path(std::string(200 - temp.dir().size(), 'd'))),
        target(folder + "\\" + std::string(MAX_PATH - 2 - folder.size(), 'f')) {
    CreateDirectoryA(folder.c_str(), nullptr);
    writeFile(target, "old\r\n");
  }
  ~LongestPath() {
    DeleteFileA(target.c_str());
    RemoveDirectoryA(folder.c_str());
  }
  const std::string folder, target;
};

const char* messageOf(const Editor& editor) {
  return editor.pendingMessage ? editor.pendingMessage.get() : "";
}

// Such a file is saved, though the temporary file's name beside it would be longer: that name
// gives up part of the file's name to fit. Its autosave copy, whose name cannot fit beside
// it, goes to the fallback folder under a name cut to fit there.
TEST(WindowsFiles, FileWithTheLongestPathIsSavedAndAutosaved) {
  TempFolder temp;
  ASSERT_LT(temp.dir().size(), 190u);
  const LongestPath file(temp);
  ASSERT_EQ(file.target.size(), size_t{MAX_PATH - 1});
  ASSERT_EQ(readFile(file.target), "old\r\n");
  const std::vector<std::string> fallback = {temp.path("copies")};
  ASSERT_TRUE(CreateDirectoryA(fallback[0].c_str(), nullptr));
  struct UseFallback {
    explicit UseFallback(const std::vector<std::string>& folders) {
      platform::useFallbackFolders(&folders);
    }
    ~UseFallback() {
      static const std::vector<std::string> none;
      platform::useFallbackFolders(&none);
    }
  } useFallback(fallback);
  {
    Editor editor;
    setFileName(editor, file.target.c_str());
    ASSERT_EQ(editor.loadDocument(), 1);
    editor.insertChar('x');
    editor.modified = 1;
    EXPECT_EQ(editor.autosaveNow(), 1) << messageOf(editor);
    ASSERT_TRUE(editor.autosaveName);
    const std::string copy = editor.autosaveName.get();
    EXPECT_EQ(copy.rfind(fallback[0] + "\\", 0), 0u) << copy;
    EXPECT_LE(copy.size(), size_t{MAX_PATH - 1});
    EXPECT_EQ(readFile(copy), "xold\r\n");

    EXPECT_EQ(editor.save(), 1) << messageOf(editor);
    EXPECT_EQ(readFile(file.target), "xold\r\n");
  }
  // Nothing was left beside the file, nor in the fallback folder.
  for (const std::string& folder : {file.folder, fallback[0]}) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    Names names;
    do {
      const std::string name = found.cFileName;
      if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    EXPECT_EQ(names,
              folder == file.folder ? Names{file.target.substr(folder.size() + 1)} : Names{});
  }
}

}  // namespace
