#ifndef _WIN32

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "app/session.h"
#include "core/editor.h"
#include "platform/memory_console.h"
#include "platform/posix/clipboard_choice.h"
#include "platform/posix/clipboard_file.h"
#include "platform/posix/clipboard_process.h"
#include "support/document.h"

namespace {

using platform::ClipboardPlan;
using platform::FileClipboard;
using platform::HelperLimits;
using platform::ProcessClipboard;
using platform::runHelper;

struct TempDir {
  TempDir() {
    std::string pattern = ::testing::TempDir() + "slate-clipboard-XXXXXX";
    path = mkdtemp(pattern.data()) ? pattern : "";
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  std::string path;
};

// Sets environment variables for one test and puts them back afterwards.
class EnvGuard {
 public:
  void set(const char* name, const char* value) {
    if (!saved_.count(name)) {
      const char* old = std::getenv(name);
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~EnvGuard() {
    for (const auto& [name, value] : saved_) {
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    }
  }

 private:
  std::map<std::string, std::optional<std::string>> saved_;
};

std::string everyByteButNul() {
  std::string bytes;
  for (int c = 1; c < 256; ++c) bytes.push_back(static_cast<char>(c));
  return bytes;
}

std::string randomText(size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  std::string text(size, ' ');
  for (char& c : text) c = static_cast<char>(1 + rng() % 255);
  return text;
}

std::string readFd(int fd) {
  std::string text;
  char buffer[4096];
  ssize_t got;
  while ((got = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(got));
  return text;
}

std::string text(const std::unique_ptr<char[]>& value) {
  return value ? value.get() : "<null>";
}

// ---- the shared file ----

TEST(FileClipboard, OneFileSharedByEveryStoreReadableByTheUserAlone) {
  TempDir dir;
  const std::string path = dir.path + "/clipboard";
  FileClipboard first(path);
  FileClipboard second(path);  // another editor process
  EXPECT_EQ(second.get(), nullptr);

  const mode_t oldMask = umask(0);
  const bool put = first.put("one\r\ntwo");
  umask(oldMask);
  ASSERT_TRUE(put);
  struct stat info;
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(text(second.get()), "one\r\ntwo");

  // The text is replaced in one step: a reader that had the old file open still reads it
  // whole, and no temporary file is left behind.
  const int reader = open(path.c_str(), O_RDONLY);
  ASSERT_GE(reader, 0);
  ASSERT_TRUE(second.put(everyByteButNul().c_str()));
  EXPECT_EQ(readFd(reader), "one\r\ntwo");
  close(reader);
  EXPECT_EQ(text(first.get()), everyByteButNul());
  int entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path)) {
    EXPECT_EQ(entry.path().filename(), "clipboard");
    ++entries;
  }
  EXPECT_EQ(entries, 1);

  ASSERT_TRUE(first.put(""));
  EXPECT_EQ(text(second.get()), "");

  FileClipboard nowhere(dir.path + "/missing/clipboard");
  EXPECT_FALSE(nowhere.put("x"));
  EXPECT_EQ(nowhere.get(), nullptr);
}

TEST(FileClipboard, LivesInTheRuntimeDirectoryElseTheCacheDirectory) {
  TempDir dir;
  EnvGuard env;
  env.set("XDG_RUNTIME_DIR", dir.path.c_str());
  EXPECT_EQ(platform::clipboardFilePath(), dir.path + "/slate-clipboard");

  env.set("XDG_RUNTIME_DIR", nullptr);
  const std::string cache = dir.path + "/cache";
  env.set("XDG_CACHE_HOME", cache.c_str());
  EXPECT_EQ(platform::clipboardFilePath(), cache + "/slate/clipboard");
  struct stat info;
  ASSERT_EQ(stat((cache + "/slate").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);

  env.set("XDG_CACHE_HOME", nullptr);
  env.set("HOME", dir.path.c_str());
  EXPECT_EQ(platform::clipboardFilePath(), dir.path + "/.cache/slate/clipboard");
}

// ---- the choice ----

TEST(ClipboardPlan, TmuxThenTheDesktopThenTheFile) {
  std::map<std::string, std::string> env;
  std::set<std::string> programs;
  auto kind = [&]() {
    return platform::planClipboard(
               [&](const char* name) -> const char* {
                 auto it = env.find(name);
                 return it == env.end() ? nullptr : it->second.c_str();
               },
               [&](const char* name) { return programs.count(name) > 0; })
        .kind;
  };
  EXPECT_EQ(kind(), ClipboardPlan::File);
  env["DISPLAY"] = ":0";
  EXPECT_EQ(kind(), ClipboardPlan::File);  // no helper installed
  programs.insert("xsel");
  EXPECT_EQ(kind(), ClipboardPlan::Xsel);
  programs.insert("xclip");
  EXPECT_EQ(kind(), ClipboardPlan::Xclip);
  env["WAYLAND_DISPLAY"] = "wayland-0";
  programs.insert("wl-copy");
  EXPECT_EQ(kind(), ClipboardPlan::Xclip);  // wl-paste is missing
  programs.insert("wl-paste");
  EXPECT_EQ(kind(), ClipboardPlan::Wayland);
  env["TMUX"] = "/tmp/tmux-1000/default,4242,0";
  EXPECT_EQ(kind(), ClipboardPlan::Wayland);  // no tmux program
  programs.insert("tmux");
  EXPECT_EQ(kind(), ClipboardPlan::Tmux);
  env["TMUX"] = "";
  EXPECT_EQ(kind(), ClipboardPlan::Wayland);
}

// A desktop clipboard holds content under a type. These stand-ins for wl-copy and wl-paste
// keep the rules the real ones follow: without --type, wl-copy offers the content under the
// type its bytes look like, and wl-paste hands over whatever is offered; wl-paste --type text
// fails when no text is offered.
TEST(ClipboardPlan, OnWaylandOnlyTextGoesEitherWay) {
  TempDir dir;
  const std::string state = dir.path + "/state";
  auto script = [&](const std::string& name, const std::string& body) {
    std::ofstream(dir.path + "/" + name) << "#!/bin/sh\ntype=\nwhile [ $# -gt 0 ]; do\n"
                                         << "  case \"$1\" in --type) type=$2; shift ;; esac\n"
                                         << "  shift\ndone\n"
                                         << body;
    ASSERT_EQ(chmod((dir.path + "/" + name).c_str(), 0700), 0);
  };
  script("wl-copy",
         "cat > " + state + ".bytes\nif [ -z \"$type\" ]; then\n" + "  case $(head -c 5 " + state +
             ".bytes) in %PDF-) type=application/pdf ;;\n" +
             "    *) type=text/plain ;; esac\nfi\nprintf %s \"$type\" > " + state + ".type\n");
  script("wl-paste", "case \"$type\" in text) case $(cat " + state +
                         ".type) in text/*) ;; *) exit 1 ;; esac ;; esac\ncat " + state +
                         ".bytes\n");
  EnvGuard env;
  env.set("PATH", (dir.path + ":" + std::getenv("PATH")).c_str());
  const ClipboardPlan plan = platform::planClipboard(
      [](const char* name) -> const char* {
        return std::string(name) == "WAYLAND_DISPLAY" ? "wayland-1" : nullptr;
      },
      platform::programOnPath);
  ASSERT_EQ(plan.kind, ClipboardPlan::Wayland);
  std::unique_ptr<ClipboardStore> store = platform::makeClipboard(plan);
  console::MemoryConsole console(80, 25);
  Session session(console, *store);
  Editor editor;
  session.attach(editor);

  // Text copied here is offered as text, whatever it looks like.
  setDocument(editor, "%PDF-1.4 notes\n");
  editor.moveLineEnd();
  ASSERT_EQ(editor.copy(), 1);
  std::string pasted;
  EXPECT_TRUE(runHelper({"wl-paste", "--type", "text"}, nullptr, 0, &pasted));
  EXPECT_EQ(pasted, "%PDF-1.4 notes");

  // An image copied elsewhere is no text to paste.
  std::ofstream(state + ".bytes") << "\x89PNG\r\n";
  std::ofstream(state + ".type") << "image/png";
  EXPECT_EQ(editor.paste(), 0);
  EXPECT_EQ(documentBytes(editor), "%PDF-1.4 notes\n");
}

// ---- helper programs ----

TEST(ClipboardHelper, MegabytesPassBothWaysAtOnce) {
  const std::string input = randomText(4 << 20, 1);
  std::string output;
  EXPECT_TRUE(runHelper({"cat"}, input.data(), input.size(), &output));
  EXPECT_TRUE(output == input) << output.size() << " bytes came back";
}

TEST(ClipboardHelper, AMissingOrFailingHelperIsABusyClipboard) {
  ProcessClipboard missing({"slate-no-such-helper"}, {"slate-no-such-helper"});
  EXPECT_FALSE(missing.put("x"));
  EXPECT_EQ(missing.get(), nullptr);
  ProcessClipboard missingPath({"/nonexistent/helper"}, {"/nonexistent/helper"});
  EXPECT_FALSE(missingPath.put("x"));
  EXPECT_EQ(missingPath.get(), nullptr);

  ProcessClipboard failing({"false"}, {"sh", "-c", "printf partial; exit 3"});
  EXPECT_FALSE(failing.put("x"));
  EXPECT_EQ(failing.get(), nullptr);

  // A helper that ends without reading the text has not taken it, and its closed pipe does
  // not end this process.
  ProcessClipboard deaf({"true"}, {"true"});
  EXPECT_FALSE(deaf.put(std::string(1 << 20, 'x').c_str()));
  EXPECT_EQ(text(deaf.get()), "");  // ran fine, with nothing to say: an empty text
}

TEST(ClipboardHelper, AHangingHelperIsKilledWithWhatItStartedAndCountsAsBusy) {
  TempDir dir;
  const std::string script = dir.path + "/hang";
  {
    std::ofstream out(script);
    out << "#!/bin/sh\nsleep 30 &\necho $! > \"$1.child\"\necho $$ > \"$1\"\nwait\n";
  }
  ASSERT_EQ(chmod(script.c_str(), 0700), 0);

  auto gone = [](const std::string& pidFile) {
    std::ifstream in(pidFile);
    pid_t pid = 0;
    in >> pid;
    if (pid <= 0) return false;
    // A process we did not start may stay a zombie until its new parent reaps it.
    for (int i = 0; i < 200; ++i) {
      std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
      std::string line;
      if (!std::getline(stat, line)) return kill(pid, 0) != 0 && errno == ESRCH;
      if (line.find(") Z") != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  };

  const HelperLimits quick{300, 2000};
  const std::string big = randomText(4 << 20, 2);
  struct Case {
    const char* name;
    HelperLimits limits;
    bool get;
    const std::string* input;
  };
  const std::string small = "x";
  const Case cases[] = {{"put", {}, false, &small},
                        {"put megabytes", quick, false, &big},
                        {"get", quick, true, nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string pidFile = dir.path + "/" + std::to_string(&c - cases);
    ProcessClipboard hanging({script, pidFile}, {script, pidFile}, true, c.limits);
    const auto start = std::chrono::steady_clock::now();
    if (c.get)
      EXPECT_EQ(hanging.get(), nullptr);
    else
      EXPECT_FALSE(hanging.put(c.input->c_str()));
    const auto waited = std::chrono::steady_clock::now() - start;
    // The helper would hang for 30 s: only a wait that never gave up comes near that.
    EXPECT_LT(waited, std::chrono::seconds(20));
    EXPECT_TRUE(gone(pidFile)) << "the helper was left running";
    EXPECT_TRUE(gone(pidFile + ".child")) << "what the helper started was left running";
  }
}

// ---- tmux, on a server of its own ----

class TmuxClipboard : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!platform::programOnPath("tmux")) GTEST_SKIP() << "tmux is not installed";
    static int serial = 0;
    socket_ = "slate-test-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
    ASSERT_TRUE(tmux({"-f", "/dev/null", "new-session", "-d", "-s", "test"}));
  }
  void TearDown() override {
    if (!socket_.empty()) tmux({"kill-server"});
  }

  bool tmux(std::vector<std::string> args, const std::string* input = nullptr,
            std::string* output = nullptr) {
    args.insert(args.begin(), {"tmux", "-L", socket_});
    return runHelper(args, input ? input->data() : nullptr, input ? input->size() : 0, output,
                     HelperLimits{3000, 10000});
  }
  std::string buffer() {
    std::string out;
    return tmux({"save-buffer", "-"}, nullptr, &out) ? out : "<none>";
  }
  ProcessClipboard store() {
    return ProcessClipboard({"tmux", "-L", socket_, "load-buffer", "-"},
                            {"tmux", "-L", socket_, "save-buffer", "-"}, false);
  }

  std::string socket_;
};

TEST_F(TmuxClipboard, BytesPassUnchangedBothWays) {
  ProcessClipboard clipboard = store();
  EXPECT_EQ(clipboard.get(), nullptr);  // no buffer yet

  ASSERT_TRUE(clipboard.put(everyByteButNul().c_str()));
  EXPECT_EQ(buffer(), everyByteButNul());

  const std::string loaded = "from tmux\r\n\tend\xff";
  ASSERT_TRUE(tmux({"load-buffer", "-"}, &loaded));
  EXPECT_EQ(text(clipboard.get()), loaded);

  // tmux keeps no empty buffers: an empty text is refused, and the last one stays.
  EXPECT_FALSE(clipboard.put(""));
  EXPECT_EQ(buffer(), loaded);

  const std::string large = randomText(3 << 20, 3);
  ASSERT_TRUE(clipboard.put(large.c_str()));
  EXPECT_TRUE(text(clipboard.get()) == large);
}

TEST_F(TmuxClipboard, CopyAndPasteInTheEditorGoThroughTheTmuxBuffer) {
  ProcessClipboard clipboard = store();
  console::MemoryConsole console(80, 25);
  Session session(console, clipboard);
  Editor editor;
  session.attach(editor);
  setDocument(editor, "one\ntwo\nthree\n");
  editor.goToPosition(0, 1);
  editor.markLine = 2;
  editor.markColumn = 3;
  EXPECT_EQ(editor.copy(), 1);
  EXPECT_EQ(buffer(), "ne\r\ntwo\r\nthr");

  const std::string loaded = "A\r\nB";
  ASSERT_TRUE(tmux({"load-buffer", "-"}, &loaded));
  EXPECT_EQ(editor.paste(), 1);
  EXPECT_EQ(documentBytes(editor), "one\ntwo\nthrA\nBee\n");
}

}  // namespace

#endif  // _WIN32
