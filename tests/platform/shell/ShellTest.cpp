// Opening links, documents and help pages: what reaches the handler, and the real
// handler started detached with its argument intact.

#include "platform/shell/Shell.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <vector>

#include "platform/rtl/FileUtils.h"
#include "platform/rtl/Threads.h"
#include "tests/support/Files.h"

namespace {

// A temporary folder as the current one, and a hook recording what would be opened.
class ShellTest : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(chdir(Dir.c_str()), 0);
    SetShellOpenHook([this](const std::string& Target) {
      Opened.push_back(Target);
      return HookResult;
    });
  }
  void TearDown() override {
    SetShellOpenHook(nullptr);
    SetShellFailedHandler(nullptr);
    setenv("PATH", FOldPath.c_str(), 1);
    EXPECT_EQ(chdir("/"), 0);
  }
  // The real handler, with a shell script of our own as xdg-open, the only program on
  // the search path.
  void UseStandIn(const std::string& Script) {
    SetShellOpenHook(nullptr);
    std::ofstream(Dir + "xdg-open") << "#!/bin/sh\n" << Script;
    ASSERT_EQ(chmod((Dir + "xdg-open").c_str(), 0700), 0);
    setenv("PATH", Dir.c_str(), 1);
  }

  const testsupport::TTempDir Temp;
  const std::string Dir = Temp.Root() + "/";
  std::vector<std::string> Opened;
  bool HookResult = true;
  const std::string FOldPath = getenv("PATH") ? getenv("PATH") : "";
};

TEST_F(ShellTest, LinksDocumentsAndHelpReachTheHandlerAsAbsoluteTargets) {
  std::ofstream(Dir + "doc.txt") << "x";
  const std::string page = "shell-test-" + std::to_string(getpid()) + ".html";
  ASSERT_TRUE(ForceDirectories(HelpFolder()));
  std::ofstream(HelpFolder() + page) << "<html></html>";
  EXPECT_EQ(HelpFolder(), ProgramDir() + "Help/");
  enum { Url, Document, Help };
  struct TCase {
    int Kind;
    std::string Argument;
    bool HookResult;
    std::string Target;  // empty: the handler is not asked
    int Result;          // the bool, or the help's THelpOpen
  } cases[] = {
      {Url, "https://example.org/a b?q=1", true, "https://example.org/a b?q=1", true},
      {Url, "mailto:someone@example.org", false, "mailto:someone@example.org", false},
      {Url, "", true, "", false},
      {Url, "--help", true, "", false},
      {Document, Dir + "doc.txt", true, Dir + "doc.txt", true},
      {Document, "doc.txt", true, Dir + "doc.txt", true},
      {Document, Dir, true, Dir, true},
      {Document, "missing.txt", true, "", false},
      {Document, "", true, "", false},
      {Help, "missing-" + page, true, "", hoMissing},
      {Help, "", true, "", hoMissing},
      {Help, page, true, HelpFolder() + page, hoOpened},
      {Help, page, false, HelpFolder() + page, hoFailed},
  };
  for (const TCase& c : cases) {
    Opened.clear();
    HookResult = c.HookResult;
    const int result = c.Kind == Url        ? OpenURL(c.Argument)
                       : c.Kind == Document ? OpenDocument(c.Argument)
                                            : static_cast<int>(OpenHelp(c.Argument));
    EXPECT_EQ(result, c.Result) << c.Argument;
    EXPECT_EQ(Opened, c.Target.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.Target}) << c.Argument;
  }
  DeleteFile(HelpFolder() + page);
}

TEST_F(ShellTest, TheHandlerStartsDetachedWithItsArgumentUntouched) {
  // A stand-in for xdg-open that reports its arguments through a FIFO. Opening the
  // FIFO blocks it until the test reads, which happens only after OpenURL returned.
  const std::string fifo = Dir + "args";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  UseStandIn("printf '%s|' \"$#\" \"$@\" > \"$SHELL_TEST_FIFO\"\n");
  setenv("SHELL_TEST_FIFO", fifo.c_str(), 1);

  const std::string url = "https://example.org/a b?q=$(touch x)&y='z';`id`";
  const bool started = OpenURL(url);
  const int fd = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  std::string got;
  pollfd p{fd, POLLIN, 0};
  char buf[512];
  ssize_t n = 1;
  // Until the stand-in has written everything and closed its end.
  while (started && n > 0 && poll(&p, 1, 30000) > 0 && (n = read(fd, buf, sizeof buf)) > 0) got.append(buf, n);
  close(fd);

  setenv("PATH", (Dir + "empty").c_str(), 1);  // no handler on the search path
  const bool startedWithout = OpenURL(url);

  EXPECT_TRUE(started);
  EXPECT_EQ(got, "1|" + url + "|");
  EXPECT_FALSE(FileExists(Dir + "x"));
  EXPECT_FALSE(startedWithout);
}

TEST_F(ShellTest, AHandlerThatEndsInFailureIsReportedOnTheMainThread) {
  // As xdg-open without a browser: "no method available", exit status 3.
  UseStandIn("case \"$1\" in *nothing*) exit 3;; esac\n");
  std::vector<std::pair<std::string, int>> reported;
  bool onMainThread = true;
  SetShellFailedHandler([&](const std::string& Target, int Status) {
    reported.emplace_back(Target, Status);
    onMainThread = onMainThread && IsMainThread();
  });
  EXPECT_TRUE(OpenURL("https://example.org/opened"));
  EXPECT_TRUE(OpenDocument(Dir));
  EXPECT_TRUE(OpenURL("https://example.org/nothing"));
  while (reported.empty() && CheckSynchronize(30000)) {
  }
  EXPECT_EQ(reported, (std::vector<std::pair<std::string, int>>{{"https://example.org/nothing", 3}}));
  EXPECT_TRUE(onMainThread);
}

}  // namespace
