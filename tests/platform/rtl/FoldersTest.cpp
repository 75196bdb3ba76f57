#include "platform/rtl/Folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/rtl/FileUtils.h"

namespace {

class FoldersTest : public testing::Test {
protected:
  void SetUp() override {
    for (const char* v : Vars) {
      const char* old = getenv(v);
      Saved.emplace_back(old != nullptr, old ? old : "");
    }
    std::string templ = GetTempDirectory() + "rtl-folders-XXXXXX";
    ASSERT_NE(mkdtemp(templ.data()), nullptr);
    Home = templ + "/";
    setenv("HOME", Home.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_DATA_HOME");
  }
  void TearDown() override {
    for (size_t i = 0; i < std::size(Vars); ++i) {
      if (Saved[i].first)
        setenv(Vars[i], Saved[i].second.c_str(), 1);
      else
        unsetenv(Vars[i]);
    }
    std::filesystem::remove_all(Home);
  }
  void WriteUserDirs(const std::string& Text) {
    ASSERT_TRUE(ForceDirectories(XdgConfigHome()));
    std::ofstream(XdgConfigHome() + "user-dirs.dirs") << Text;
  }

  static constexpr const char* Vars[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"};
  std::vector<std::pair<bool, std::string>> Saved;
  std::string Home;
};

}  // namespace

TEST_F(FoldersTest, HomeComesFromEnvironmentElsePasswd) {
  EXPECT_EQ(HomeFolder(), Home);
  setenv("HOME", ExcludeTrailingPathDelimiter(Home).c_str(), 1);
  EXPECT_EQ(HomeFolder(), Home);
  const passwd* pw = getpwuid(getuid());
  ASSERT_NE(pw, nullptr);
  const std::string own = IncludeTrailingPathDelimiter(pw->pw_dir);
  unsetenv("HOME");
  EXPECT_EQ(HomeFolder(), own);
  setenv("HOME", "relative/home", 1);
  EXPECT_EQ(HomeFolder(), own);
}

TEST_F(FoldersTest, ATildeStandsForTheHomeFolderAsInAShell) {
  const std::pair<std::string, std::string> cases[] = {
      {"~", ExcludeTrailingPathDelimiter(Home)}, {"~/", Home}, {"~/Music/~", Home + "Music/~"},
      // Not the home folder: another user's, a name that only starts with "~", or one
      // with "~" further on.
      {"~nobody/Music", "~nobody/Music"}, {"~~", "~~"}, {"Music/~", "Music/~"}, {"/srv/~/x", "/srv/~/x"}, {"", ""}};
  for (const auto& [folder, expanded] : cases) EXPECT_EQ(ExpandHomeFolder(folder), expanded) << folder;
  setenv("HOME", "/", 1);
  EXPECT_EQ(ExpandHomeFolder("~"), "/");
  EXPECT_EQ(ExpandHomeFolder("~/Music"), "/Music");
}

TEST_F(FoldersTest, XdgBaseFoldersIgnoreRelativeOrEmptyValues) {
  EXPECT_EQ(XdgConfigHome(), Home + ".config/");
  EXPECT_EQ(XdgDataHome(), Home + ".local/share/");
  setenv("XDG_CONFIG_HOME", "/srv/cfg", 1);
  setenv("XDG_DATA_HOME", "/srv/data/", 1);
  EXPECT_EQ(XdgConfigHome(), "/srv/cfg/");
  EXPECT_EQ(XdgDataHome(), "/srv/data/");
  setenv("XDG_CONFIG_HOME", "cfg", 1);
  setenv("XDG_DATA_HOME", "", 1);
  EXPECT_EQ(XdgConfigHome(), Home + ".config/");
  EXPECT_EQ(XdgDataHome(), Home + ".local/share/");
}

TEST_F(FoldersTest, MusicFolderReadsUserDirs) {
  EXPECT_EQ(MusicFolder(), Home + "Music/");  // no user-dirs.dirs yet
  WriteUserDirs(
      "# This file is written by xdg-user-dirs-update\n"
      "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
      "  XDG_MUSIC_DIR = \"$HOME/Meine Musik\"  \n"
      "XDG_VIDEOS_DIR=\"$HOME/Videos\"\n");
  EXPECT_EQ(MusicFolder(), Home + "Meine Musik/");
  WriteUserDirs("XDG_MUSIC_DIR=\"/srv/music/\"\n");
  EXPECT_EQ(MusicFolder(), "/srv/music/");
  WriteUserDirs("XDG_MUSIC_DIR=\"$HOME/Say \\\"Hi\\\"\"\n");
  EXPECT_EQ(MusicFolder(), Home + "Say \"Hi\"/");
  WriteUserDirs("XDG_MUSIC_DIR=\"$HOME/\"\n");  // disabled: the home folder itself
  EXPECT_EQ(MusicFolder(), Home);
  // A later line wins, as when a shell reads the file.
  WriteUserDirs("XDG_MUSIC_DIR=\"$HOME/A\"\nXDG_MUSIC_DIR=\"$HOME/B\"\n");
  EXPECT_EQ(MusicFolder(), Home + "B/");
  for (const char* bad : {"XDG_MUSIC_DIR=\"Music\"\n", "XDG_MUSIC_DIR=\"$HOMEX/Music\"\n",
                          "XDG_MUSIC_DIR=\"$HOME/unterminated\n", "XDG_MUSIC_DIRS=\"/srv/m\"\n",
                          "#XDG_MUSIC_DIR=\"/srv/m\"\n", "XDG_MUSIC_DIR=\"\"\n"}) {
    SCOPED_TRACE(bad);
    WriteUserDirs(bad);
    EXPECT_EQ(MusicFolder(), Home + "Music/");
  }
  // The file is looked for below $XDG_CONFIG_HOME.
  setenv("XDG_CONFIG_HOME", (Home + "cfg").c_str(), 1);
  WriteUserDirs("XDG_MUSIC_DIR=\"$HOME/FromCfg\"\n");
  EXPECT_EQ(MusicFolder(), Home + "FromCfg/");
}

TEST_F(FoldersTest, AppFoldersAreCreated) {
  EXPECT_STREQ(ApplicationFolderName, "sonvix");
  EXPECT_EQ(AppConfigFolder(), Home + ".config/sonvix/");
  EXPECT_TRUE(DirectoryExists(Home + ".config/sonvix"));
  struct stat st;
  ASSERT_EQ(stat((Home + ".config").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);  // a base folder made here is private
  setenv("XDG_DATA_HOME", (Home + "d/a/t/a").c_str(), 1);
  EXPECT_EQ(AppDataFolder(), Home + "d/a/t/a/sonvix/");
  EXPECT_TRUE(DirectoryExists(Home + "d/a/t/a/sonvix"));
  std::ofstream(Home + "file") << "x";
  setenv("XDG_CONFIG_HOME", (Home + "file").c_str(), 1);
  EXPECT_EQ(AppConfigFolder(), "");
}
