// The program's start-up and shutdown, and its hint window.
#include "tests/support/Gui.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <stdexcept>
#include <utility>

#include "app/UFormAbout.h"
#include "app/UFormNewV.h"
#include "app/UFormTag.h"
#include "app/UHintWnd.h"
#include "app/UOutput.h"
#include "platform/shell/Shell.h"
#include "tests/app/MainWindow.h"
#include "tests/support/AudioSources.h"

using namespace testsupport;
namespace fs = std::filesystem;

extern char** environ;

namespace {

// The program (its harness, see harness/ProgramHarness.cpp) as a process of its own,
// started as a terminal starts it: the termination signals at their default action and
// unblocked, whatever this process does with them. What it prints is read here.
class TProgram {
public:
  explicit TProgram(std::string Mode) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("no pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults, none;
    sigemptyset(&defaults);
    for (const int s : {SIGTERM, SIGHUP, SIGINT}) sigaddset(&defaults, s);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    std::string path = SONVIX_HARNESS;
    char* args[] = {path.data(), Mode.data(), nullptr};
    if (posix_spawn(&FPid, path.c_str(), &actions, &attributes, args, environ) != 0) FPid = -1;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    FOut = out[0];
  }
  ~TProgram() {
    if (FPid > 0) {
      ::kill(FPid, SIGKILL);
      ::waitpid(FPid, nullptr, 0);
    }
    ::close(FOut);
  }
  TProgram(const TProgram&) = delete;
  TProgram& operator=(const TProgram&) = delete;

  pid_t Pid() const { return FPid; }
  // The next line it prints; "" when it ends first or says nothing for two minutes.
  std::string ReadLine() {
    size_t end;
    while ((end = FBuffer.find('\n')) == std::string::npos)
      if (!ReadMore()) return {};
    std::string line = FBuffer.substr(0, end);
    FBuffer.erase(0, end + 1);
    return line;
  }
  // What it prints until it ends, and its wait status (-1 when it does not end within
  // two minutes of silence: it is killed then).
  int Wait(std::string& Rest) {
    while (ReadMore()) {
    }
    Rest = std::exchange(FBuffer, {});
    if (FPid <= 0) return -1;
    int status = -1;
    if (!FEnded) ::kill(FPid, SIGKILL);
    ::waitpid(FPid, &status, 0);
    FPid = -1;
    return FEnded ? status : -1;
  }

private:
  bool ReadMore() {
    pollfd p{FOut, POLLIN, 0};
    if (FEnded || ::poll(&p, 1, 120000) <= 0) return false;
    char block[4096];
    const ssize_t n = ::read(FOut, block, sizeof block);
    if (n <= 0) {
      FEnded = true;
      return false;
    }
    FBuffer.append(block, static_cast<size_t>(n));
    return true;
  }

  pid_t FPid = -1;
  int FOut = -1;
  bool FEnded = false;
  std::string FBuffer;
};

// Counts the files renamed onto Name in Folder while it lives (how a save replaces the
// file).
class TRenameCounter {
public:
  TRenameCounter(const std::string& Folder, std::string Name)
      : FFd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)), FName(std::move(Name)) {
    // The files renamed from are watched too: the kernel merges an event into an equal
    // one before it that was not read yet.
    ::inotify_add_watch(FFd, Folder.c_str(), IN_MOVED_FROM | IN_MOVED_TO);
  }
  ~TRenameCounter() { ::close(FFd); }
  TRenameCounter(const TRenameCounter&) = delete;
  TRenameCounter& operator=(const TRenameCounter&) = delete;

  int Count() {
    alignas(inotify_event) char events[8192];
    for (ssize_t n; (n = ::read(FFd, events, sizeof events)) > 0;)
      for (ssize_t at = 0; at < n;) {
        const auto* e = reinterpret_cast<const inotify_event*>(events + at);
        if ((e->mask & IN_MOVED_TO) && e->len > 0 && FName == e->name) ++FCount;
        at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
      }
    return FCount;
  }

private:
  int FFd;
  std::string FName;
  int FCount = 0;
};

TEST(StartupTest, TheWindowsComeInOrderTheSettingsAreReadOnceShownAndSavedOnClosing) {
  TAppFolders folders;
  fs::create_directories(fs::path(folders.SettingsFile()).parent_path());
  WriteFile(folders.SettingsFile(), std::string("[Source]\nTab=2\n[Output]\nFormat=7\n"));
  const int32_t before = Screen->FormCount();
  const bool first = Application->MainForm() == nullptr;
  StartProgram();
  ASSERT_EQ(Screen->FormCount(), before + 4);
  EXPECT_EQ(Screen->Forms(before), FrmMain);
  EXPECT_EQ(Screen->Forms(before + 1), FrmTag);
  EXPECT_EQ(Screen->Forms(before + 2), FrmAbout);
  EXPECT_EQ(Screen->Forms(before + 3), FormNewV);
  if (first) {
    EXPECT_EQ(Application->MainForm(), FrmMain);
  }
  EXPECT_EQ(Application->Title(), "Lumo Audio Converter");
  THintWindow* hint = Application->HintWindowClass()(nullptr);
  EXPECT_NE(dynamic_cast<THintWnd*>(hint), nullptr);
  hint->Free();
  EXPECT_EQ(Application->HelpFile(), HelpFolder() + "index.html");

  // Made: the music folder is the output folder; the file is not read before the
  // window shows, then once (a window shown again, as after minimising, keeps what it has).
  TFrmMain* main = FrmMain;
  EXPECT_EQ(FindControl(main, "EdtOutDir")->Text(), folders.Music());
  EXPECT_EQ(main->Output()->Format(), outMP3);
  ShowActive(main);
  EXPECT_EQ(main->Output()->Format(), outFLAC);
  // Activated: the page's list is the one shown.
  EXPECT_TRUE(FindControl(main, "LstConv")->Visible());
  EXPECT_FALSE(FindControl(main, "LstRip")->Visible());
  WriteFile(folders.SettingsFile(), std::string("[Output]\nFormat=3\n"));
  main->Hide();
  ShowActive(main);
  EXPECT_EQ(main->Output()->Format(), outFLAC);

  // Closing saves (the main window's close also ends the program: its handler is run
  // here, so that the application lives on for the other tests).
  TCloseAction action = caHide;
  main->OnClose(main, action);
  EXPECT_NE(ReadFileAsString(folders.SettingsFile()).find("Format=7"), std::string::npos);
  main->Free();
  EXPECT_EQ(FrmMain, nullptr);
  FrmTag->Free();
  FrmTag = nullptr;
  FrmAbout->Free();
  FrmAbout = nullptr;
  FormNewV->Free();
  FormNewV = nullptr;
}

// Whatever the settings hold, the window comes up as its list makes it, before any
// activation (a window manager may not give it the focus): an empty list offers
// nothing to convert, tick, delete or play.
TEST(StartupTest, AnEmptyListDisablesWhatNeedsEntriesFromTheFirstShow) {
  const struct {
    const char* Case;
    const char* Settings;  // nullptr: no file
  } cases[] = {{"no file", nullptr},
               {"no source folder", "[Source]\nTab=1\nDir=\n"},
               {"a missing source folder", "[Source]\nTab=1\nDir=/nonexistent/sonvix\n"},
               {"the CD page", "[Source]\nTab=0\n"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Case);
    TAppFolders folders;
    if (c.Settings) {
      fs::create_directories(fs::path(folders.SettingsFile()).parent_path());
      WriteFile(folders.SettingsFile(), std::string(c.Settings));
    }
    TFrmMain* main = NewForm<TFrmMain>(nullptr);
    main->Show();
    for (const char* name : {"BtnConv", "BtnCheck", "BtnUncheck", "BtnDel", "BtnClr", "SpnMove", "ChkUnc", "GrpOut",
                             "BtnPPlay", "BtnPPause", "BtnPStop", "BtnPPrew", "BtnPNext", "BtnPause", "BtnAbort"})
      EXPECT_FALSE(FindControl(main, name)->Enabled()) << name;
    for (const char* name : {"GrpSource", "BtnAdd"}) EXPECT_TRUE(FindControl(main, name)->Enabled()) << name;
    main->Free();
  }
}

TEST(ShutdownTest, ClosingTheWindowSavesOnceAndReportsAFailedSaveOnce) {
  for (const bool writable : {true, false}) {
    SCOPED_TRACE(writable ? "writable" : "a folder where the file should be");
    TAppFolders folders;
    const std::string dir = fs::path(folders.SettingsFile()).parent_path();
    fs::create_directories(writable ? dir : folders.SettingsFile());
    TRenameCounter renames(dir, "sonvix.ini");
    TProgram program("close");
    std::string said;
    const int status = program.Wait(said);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    if (writable) {
      EXPECT_EQ(said, "");
      EXPECT_EQ(renames.Count(), 1);
      EXPECT_NE(ReadFileAsString(folders.SettingsFile()).find("[Output]"), std::string::npos);
    } else {
      EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
      EXPECT_EQ(said.rfind("box: Error: The settings could not be saved: ", 0), 0u) << said;
    }
  }
}

struct TSignalCase {
  const char* Name;
  int Signal;
  const char* Mode;  // the harness's
};

void PrintTo(const TSignalCase& C, std::ostream* Os) { *Os << C.Name; }

class SignalTest : public testing::TestWithParam<TSignalCase> {};

// Logging out, closing the terminal, Ctrl+C: the run ends as "Abort" ends it, the
// settings are saved, and the program's parent learns that the signal ended it.
TEST_P(SignalTest, EndsTheRunLeavingNothingSavesTheSettingsAndDiesOfTheSignal) {
  const TSignalCase& c = GetParam();
  const bool converting = std::string(c.Mode) != "idle";
  TAppFolders folders;
  TTempDir in;
  MakeWave(in.Path("long.wav"), 44100, 2, 120);
  // The run makes the two folders below "out", which is there before it.
  const std::string out = folders.Root.Path("out"), outputDir = out + "/new/deeper";
  fs::create_directories(out);
  fs::create_directories(fs::path(folders.SettingsFile()).parent_path());
  WriteFile(folders.SettingsFile(), "[Source]\nTab=1\nDir=" + in.Root() +
                                        "\n[Output]\nFormat=0\nNormalize=0\nOutputDir=" + outputDir + "\n");
  TProgram program(c.Mode);
  ASSERT_EQ(program.ReadLine(), "ready");
  if (converting) {
    ASSERT_EQ(RunTemporaries(outputDir + "/long.mp3").size(), 1u);
  }
  ASSERT_EQ(::kill(program.Pid(), c.Signal), 0);
  std::string said;
  const int status = program.Wait(said);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.Signal) << status;
  EXPECT_EQ(said, "");
  EXPECT_TRUE(fs::is_directory(out) && fs::is_empty(out)) << FilesBelow(out).size();
  const std::string saved = ReadFileAsString(folders.SettingsFile());
  EXPECT_NE(saved.find("[Position]"), std::string::npos) << saved;
  EXPECT_NE(saved.find("OutputDir=" + outputDir), std::string::npos) << saved;
}

const TSignalCase SignalCases[] = {
    {"TermDuringARun", SIGTERM, "convert"},
    {"IntDuringARunWithAMessageBoxOpen", SIGINT, "convert-box"},
    {"HupWithoutARun", SIGHUP, "idle"},
};

INSTANTIATE_TEST_SUITE_P(Signals, SignalTest, testing::ValuesIn(SignalCases),
                         [](const testing::TestParamInfo<TSignalCase>& I) { return std::string(I.param.Name); });

TEST(HintWindowTest, IsASpaceWiderAndTwoTallerThanTheStandardHintWithNavyTextInARoundedMaroonFrame) {
  auto* standard = new THintWindow(nullptr);
  auto* ours = new THintWnd(nullptr);
  const std::string text = "Full path to folder\nwith audio files";
  const TRect r = standard->CalcHintRect(300, text, nullptr);
  for (THintWindow* h : {standard, static_cast<THintWindow*>(ours)}) h->ActivateHint(Bounds(40, 40, r.Width(), r.Height()), text);
  TCanvas measure;
  measure.SetFont(ours->Font());
  const int32_t w = ours->Width(), h = ours->Height();
  EXPECT_EQ(w, standard->Width() + measure.TextWidth(" "));
  EXPECT_EQ(h, standard->Height() + measure.TextWidth("  "));

  // The outline ends where the frame does, four pixels above the window's bottom.
  const TRegion* outline = ours->Region();
  ASSERT_NE(outline, nullptr);
  EXPECT_EQ(outline->BoundsRect(), Rect(0, 0, w, h - 4));
  for (const TPoint p : {TPoint{0, 0}, TPoint{1, 0}, TPoint{0, 1}, TPoint{w - 1, 0}, TPoint{0, h - 5}})
    EXPECT_FALSE(outline->Contains(p.X, p.Y)) << p.X << "," << p.Y;
  for (const TPoint p : {TPoint{2, 0}, TPoint{1, 1}, TPoint{0, 2}, TPoint{w / 2, h - 5}})
    EXPECT_TRUE(outline->Contains(p.X, p.Y)) << p.X << "," << p.Y;

  const QImage image = Render(ours);
  EXPECT_EQ(PixelAt(image, w / 2, 0), TColor(clMaroon));
  EXPECT_EQ(PixelAt(image, 0, h / 2), TColor(clMaroon));
  EXPECT_EQ(PixelAt(image, w / 2, h - 6), TColor(clMaroon));
  EXPECT_EQ(CountColor(image, clWindowFrame), 0);
  const TRect textBox = ColorBounds(image, clNavy);
  EXPECT_GT(textBox.Width(), 0);
  EXPECT_NEAR(textBox.Left - 1, w - 1 - textBox.Right, 2);
  EXPECT_GT(textBox.Top, 2);
  EXPECT_LT(textBox.Bottom, h - 6);
  standard->Free();
  ours->Free();
}

}  // namespace
