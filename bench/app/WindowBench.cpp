// The window driver of bench/app/run.sh: the program's own start-up and main window,
// offscreen, one job per process. The settings file it writes first (where the program
// looks for it: set XDG_CONFIG_HOME) points the window at the job's folders.
//   loaded                          returns at once: what loading the program and its
//                                   libraries costs, before any of its own code runs
//   start [DIR]                     shows the window and runs until idle; with DIR the
//                                   settings make it list that folder (Folder page)
//   window-convert flac|mp3 DIR OUT lists DIR, presses "Convert" with the mouse and waits
//                                   for the run to end (FLAC level 5; MP3 160 kbit/s
//                                   stereo), normaliser off, then closes the window
// Prints the number of entries listed, or converted.

#include <cstdio>
#include <fstream>
#include <string>

#include <QCoreApplication>
#include <QMouseEvent>

#include "app/UFileList.h"
#include "app/UFormMain.h"
#include "app/UOutput.h"
#include "bench/app/Idle.h"
#include "platform/gui/Dialogs.h"
#include "platform/rtl/FileUtils.h"
#include "platform/rtl/Folders.h"

namespace {

int Usage(const char* Self) {
  std::fprintf(stderr, "usage: %s loaded | start [DIR] | window-convert flac|mp3 DIR OUT\n", Self);
  return 2;
}

// The settings the window loads when it is shown; no DIR: none at all.
bool WriteSettings(const std::string& Format, const std::string& Dir, const std::string& Out) {
  const std::string file = SettingsFileName(ProgramDir(), AppConfigFolder());
  if (file.empty()) return false;
  if (Dir.empty()) return std::remove(file.c_str()) == 0 || !FileExists(file);
  std::ofstream ini(file, std::ios::trunc);
  ini << "[Source]\nTab=1\nDir=" << Dir << "\nUncheck=1\n[Output]\nNormalize=0\nFileName=0\nPrior=1\n";
  if (!Out.empty()) ini << "OutputDir=" << Out << "\n";
  if (Format == "mp3")
    ini << "Format=0\nStereo0=2\nBitRate0=4\nQual0=5\nQuality0=2\n";  // "Medium": 160 kbit/s stereo
  else
    ini << "Format=7\nQual7=5\n";
  return static_cast<bool>(ini.flush());
}

// A click of the left button in the middle of Control, as the window system delivers it.
void Press(TControl* Control) {
  QWidget* w = Control->Host();
  const QPointF at(w->width() / 2.0, w->height() / 2.0), global = w->mapToGlobal(at);
  QMouseEvent down(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &down);
  QMouseEvent up(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &up);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage(argv[0]);
  const std::string mode = argv[1];
  if (mode == "loaded") return argc == 2 ? 0 : Usage(argv[0]);
  const bool convert = mode == "window-convert";
  if (!(mode == "start" && argc <= 3) && !(convert && argc == 5)) return Usage(argv[0]);
  const std::string format = convert ? argv[2] : "", dir = convert ? argv[3] : argc == 3 ? argv[2] : "";
  if (!WriteSettings(format, dir, convert ? argv[4] : "")) {
    std::fprintf(stderr, "cannot write the settings file\n");
    return 1;
  }

  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TApplication app(argc, argv);
  // A message would wait for a click: print it instead.
  SetDialogResponder([](const TDialogRequest& R) {
    std::fprintf(stderr, "%s: %s\n", R.Caption.c_str(), R.Text.c_str());
    return TDialogAnswer{IDOK, {}, {}, 0, nullptr};
  });
  StartProgram();
  FrmMain->Show();
  WaitUntilPaintedAndIdle(FrmMain->Host());
  TFileList* files = FrmMain->FileList();
  if (!convert) {
    std::printf("%d\n", files->Count());
    return 0;
  }

  TControl* abort = FindControl(FrmMain, "BtnAbort");
  Press(FindControl(FrmMain, "BtnConv"));
  if (!FrmMain->Output()->Running()) return 1;
  while (FrmMain->Output()->Running() || abort->Enabled())
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  // Converted entries are unticked.
  std::printf("%d\n", files->Count() - files->CheckedCount());
  FrmMain->Close();
  return 0;
}
