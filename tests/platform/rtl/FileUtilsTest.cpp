#include "platform/rtl/FileUtils.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

#include "platform/rtl/SysUtils.h"

namespace {

class FileUtilsTest : public testing::Test {
protected:
  void SetUp() override {
    std::string templ = GetTempDirectory() + "rtl-fileutils-XXXXXX";
    ASSERT_NE(mkdtemp(templ.data()), nullptr);
    Dir = templ + "/";
  }
  void TearDown() override {
    for (auto& e : std::filesystem::recursive_directory_iterator(Dir))
      if (e.is_directory()) chmod(e.path().c_str(), 0700);
    std::filesystem::remove_all(Dir);
  }

  void Write(const std::string& Name, const std::string& Data) {
    std::ofstream(Name, std::ios::binary) << Data;
  }
  static std::string Read(const std::string& Name) {
    std::ifstream in(Name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  std::set<std::string> Entries() const {
    std::set<std::string> r;
    for (auto& e : std::filesystem::directory_iterator(Dir)) r.insert(e.path().filename().string());
    return r;
  }
  static mode_t Mode(const std::string& Name) {
    struct stat st;
    EXPECT_EQ(stat(Name.c_str(), &st), 0);
    return st.st_mode & 07777;
  }
  static ino_t Inode(const std::string& Name) {
    struct stat st;
    EXPECT_EQ(stat(Name.c_str(), &st), 0);
    return st.st_ino;
  }

  std::string Dir;
};

bool WriteText(int Fd, const std::string& S) {
  return write(Fd, S.data(), S.size()) == static_cast<ssize_t>(S.size());
}

}  // namespace

TEST(FileUtilsPath, HelpersHandleEdgeInputs) {
  struct Case {
    std::string In, Path, Dir, Name, Ext;
  };
  const Case cases[] = {
      {"/a/b/c.txt", "/a/b/", "/a/b", "c.txt", ".txt"},
      {"/", "/", "/", "", ""},
      {"/a", "/", "/", "a", ""},
      {"a", "", "", "a", ""},
      {"a.b/c", "a.b/", "a.b", "c", ""},
      {".hidden", "", "", ".hidden", ""},
      {"d/.hidden.ogg", "d/", "d", ".hidden.ogg", ".ogg"},
      {"..", "", "", "..", ""},
      {"x/", "x/", "x", "", ""},
      {"song.", "", "", "song.", "."},
      {"a.tar.gz", "", "", "a.tar.gz", ".gz"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.In);
    EXPECT_EQ(ExtractFilePath(c.In), c.Path);
    EXPECT_EQ(ExtractFileDir(c.In), c.Dir);
    EXPECT_EQ(ExtractFileName(c.In), c.Name);
    EXPECT_EQ(ExtractFileExt(c.In), c.Ext);
  }
  EXPECT_EQ(ChangeFileExt("/m/a.wav", ".mp3"), "/m/a.mp3");
  EXPECT_EQ(ChangeFileExt("a.b/c", ".mp3"), "a.b/c.mp3");
  EXPECT_EQ(ChangeFileExt(".hidden", ".bak"), ".hidden.bak");
  EXPECT_EQ(ChangeFileExt("a.wav", ""), "a");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/a"), "/a/");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/a/"), "/a/");
  EXPECT_EQ(IncludeTrailingPathDelimiter(""), "");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("/a//"), "/a");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("/"), "/");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("a"), "a");
  EXPECT_EQ(ExcludeTrailingPathDelimiter(""), "");
}

TEST_F(FileUtilsTest, ExistenceAndSize) {
  Write(Dir + "f", "12345");
  ASSERT_EQ(mkfifo((Dir + "fifo").c_str(), 0600), 0);
  ASSERT_EQ(symlink("nowhere", (Dir + "dangling").c_str()), 0);
  EXPECT_TRUE(FileExists(Dir + "f"));
  EXPECT_TRUE(FileExists(Dir + "fifo"));
  EXPECT_FALSE(FileExists(Dir));
  EXPECT_FALSE(FileExists(Dir + "missing"));
  EXPECT_FALSE(FileExists(""));
  EXPECT_TRUE(DirectoryExists(Dir));
  EXPECT_TRUE(DirectoryExists(ExcludeTrailingPathDelimiter(Dir)));
  EXPECT_FALSE(DirectoryExists(Dir + "f"));
  EXPECT_EQ(FileSize(Dir + "f"), 5);
  EXPECT_EQ(FileSize(Dir + "missing"), -1);
  EXPECT_EQ(FileSize(Dir), -1);
}

TEST_F(FileUtilsTest, RenameFileNeverReplacesAnExistingFile) {
  Write(Dir + "f", "one");
  Write(Dir + "g", "two");
  EXPECT_FALSE(RenameFile(Dir + "f", Dir + "g"));
  EXPECT_EQ(Read(Dir + "f"), "one");
  EXPECT_EQ(Read(Dir + "g"), "two");
  EXPECT_TRUE(RenameFile(Dir + "f", Dir + "h"));
  EXPECT_FALSE(FileExists(Dir + "f"));
  EXPECT_EQ(Read(Dir + "h"), "one");
}

TEST_F(FileUtilsTest, ForceDirectoriesCreatesNestedFolders) {
  EXPECT_TRUE(ForceDirectories(Dir + "a/b/c/"));
  EXPECT_TRUE(DirectoryExists(Dir + "a/b/c"));
  EXPECT_TRUE(ForceDirectories(Dir + "a/b"));  // already there
  Write(Dir + "file", "x");
  EXPECT_FALSE(ForceDirectories(Dir + "file/sub"));
  EXPECT_FALSE(ForceDirectories(""));
}

TEST_F(FileUtilsTest, CreateUniqueFileNeverReusesAName) {
  Write(Dir + "keep", "data");
  std::set<std::string> names;
  for (int i = 0; i < 500; ++i) {
    const std::string n = CreateUniqueFile(Dir, "pre-", ".wav");
    EXPECT_EQ(ExtractFilePath(n), Dir);
    EXPECT_EQ(ExtractFileName(n).rfind("pre-", 0), 0u);
    EXPECT_EQ(ExtractFileExt(n), ".wav");
    EXPECT_EQ(FileSize(n), 0);
    EXPECT_TRUE(names.insert(n).second) << n;
  }
  EXPECT_EQ(Entries().size(), 501u);
  EXPECT_EQ(Read(Dir + "keep"), "data");
  // The folder is given without its trailing '/' as well.
  EXPECT_EQ(ExtractFilePath(CreateUniqueFile(ExcludeTrailingPathDelimiter(Dir), "x")), Dir);
}

TEST_F(FileUtilsTest, CreateUniqueFileReportsTheSystemError) {
  try {
    CreateUniqueFile(Dir + "missing", "x");
    FAIL() << "no exception";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode(), ENOENT);
    EXPECT_EQ(e.Message(), SysErrorMessage(ENOENT));
  }
}

TEST_F(FileUtilsTest, TempDirectoryFollowsUsableTMPDIR) {
  const char* old = getenv("TMPDIR");
  const std::string saved = old ? old : "";
  setenv("TMPDIR", ExcludeTrailingPathDelimiter(Dir).c_str(), 1);
  EXPECT_EQ(GetTempDirectory(), Dir);
  setenv("TMPDIR", (Dir + "missing").c_str(), 1);
  EXPECT_EQ(GetTempDirectory(), "/tmp/");
  setenv("TMPDIR", "relative", 1);
  EXPECT_EQ(GetTempDirectory(), "/tmp/");
  if (old)
    setenv("TMPDIR", saved.c_str(), 1);
  else
    unsetenv("TMPDIR");
}

TEST(FileUtilsProgram, ProgramFileNameIsThisTestBinary) {
  const std::string exe = ProgramFileName();
  EXPECT_EQ(ExtractFileName(exe), "rtl_tests");
  EXPECT_TRUE(FileExists(exe));
  EXPECT_EQ(ProgramDir(), ExtractFilePath(exe));
  EXPECT_EQ(exe[0], '/');
}

TEST_F(FileUtilsTest, ReplaceFileSafelyReplacesAndKeepsMode) {
  const std::string f = Dir + "song.flac";
  Write(f, "old contents");
  ASSERT_EQ(chmod(f.c_str(), 0640), 0);
  bool called = false;
  EXPECT_TRUE(ReplaceFileSafely(f, [&](int Fd) {
    called = true;
    // The new file sits beside the original and is not the original.
    struct stat a, b;
    fstat(Fd, &a);
    stat(f.c_str(), &b);
    EXPECT_NE(a.st_ino, b.st_ino);
    EXPECT_EQ(a.st_dev, b.st_dev);
    // Hidden and marked temporary, so it cannot be one of the user's names.
    const auto names = Entries();
    EXPECT_EQ(names.size(), 2u);
    const std::string tmp = *names.begin();
    EXPECT_EQ(tmp.rfind(".song.flac.", 0), 0u) << tmp;
    EXPECT_EQ(ExtractFileExt(tmp), ".tmp");
    return WriteText(Fd, "new");
  }));
  EXPECT_TRUE(called);
  EXPECT_EQ(Read(f), "new");
  EXPECT_EQ(Mode(f), 0640u);
  EXPECT_EQ(Entries(), std::set<std::string>{"song.flac"});
}

TEST_F(FileUtilsTest, ReplaceFileSafelyLeavesOriginalOnWriterFailure) {
  const std::string f = Dir + "a.mp3";
  const std::string original("ID3\0\x01\x02 binary\xFF", 15);
  Write(f, original);
  const ino_t inode = Inode(f);
  const std::function<bool(int)> failures[] = {
      [](int Fd) { WriteText(Fd, "partial"); return false; },
      [](int Fd) -> bool { WriteText(Fd, "partial"); throw std::runtime_error("disk full"); },
      [](int) -> bool { throw EWriteError("boom"); },
  };
  for (const auto& w : failures) {
    EXPECT_FALSE(ReplaceFileSafely(f, w));
    EXPECT_EQ(Read(f), original);
    EXPECT_EQ(Inode(f), inode);
    EXPECT_EQ(Entries(), std::set<std::string>{"a.mp3"});
  }
}

TEST_F(FileUtilsTest, ReplaceFileSafelyRefusesWhatItCannotReplace) {
  int calls = 0;
  auto writer = [&](int Fd) { ++calls; return WriteText(Fd, "new"); };
  const std::string ro = Dir + "ro.ogg";
  Write(ro, "keep");
  ASSERT_EQ(chmod(ro.c_str(), 0444), 0);
  // Refused even for root, whom access() would let write anything.
  EXPECT_FALSE(ReplaceFileSafely(ro, writer));
  EXPECT_EQ(Mode(ro), 0444u);
  EXPECT_EQ(Read(ro), "keep");
  EXPECT_FALSE(ReplaceFileSafely(Dir + "missing.ogg", writer));
  EXPECT_FALSE(FileExists(Dir + "missing.ogg"));
  EXPECT_FALSE(ReplaceFileSafely(Dir + "nofolder/x.ogg", writer));
  EXPECT_FALSE(DirectoryExists(Dir + "nofolder"));
  ASSERT_TRUE(ForceDirectories(Dir + "sub"));
  EXPECT_FALSE(ReplaceFileSafely(Dir + "sub", writer));
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(Entries(), (std::set<std::string>{"ro.ogg", "sub"}));
}

TEST_F(FileUtilsTest, ReplaceFileSafelyRefusesReadOnlyFolderForUser) {
  // The folder check matters only for a user without rights there, so as root the
  // call runs in a child that drops to an unprivileged id.
  ASSERT_EQ(chmod(Dir.c_str(), 0755), 0);
  const std::string sub = Dir + "locked/";
  ASSERT_TRUE(ForceDirectories(sub));
  const std::string f = sub + "t.wav";
  Write(f, "keep");
  ASSERT_EQ(chmod(f.c_str(), 0666), 0);
  ASSERT_EQ(chmod(sub.c_str(), 0555), 0);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
    // The file itself must be reachable and writable, so only the folder is in the way.
    if (access(f.c_str(), R_OK | W_OK) != 0) _exit(4);
    const bool r = ReplaceFileSafely(f, [](int Fd) { return WriteText(Fd, "new"); });
    _exit(r ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(Read(f), "keep");
  chmod(sub.c_str(), 0755);
}

TEST_F(FileUtilsTest, ReplaceFileSafelyThroughSymlinkReplacesTarget) {
  ASSERT_TRUE(ForceDirectories(Dir + "real"));
  const std::string target = Dir + "real/t.ape";
  Write(target, "old");
  ASSERT_EQ(symlink("real/t.ape", (Dir + "link.ape").c_str()), 0);
  EXPECT_TRUE(ReplaceFileSafely(Dir + "link.ape", [](int Fd) { return WriteText(Fd, "new"); }));
  struct stat st;
  ASSERT_EQ(lstat((Dir + "link.ape").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(Read(target), "new");
  EXPECT_EQ(Entries(), (std::set<std::string>{"link.ape", "real"}));
}
