// The driver of bench/app/run.sh, one job per process, on an offscreen GUI as the
// program runs:
//   add DIR                  adds the folder's files to a list view's file list
//   convert flac|mp3 DIR OUT adds the folder and converts every file through TOutput
//                            (FLAC level 5; MP3 160 kbit/s CBR stereo), normaliser off
//   ape IN.wav OUT.ape       makes a Monkey's Audio file (no tool here makes one)
// Prints the number of entries listed or converted.
// The driver of bench/app/list.sh (the main window's own adding) is the block at the end.

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QTest>

#include "app/UFileList.h"
#include "app/UFormMain.h"
#include "app/UOutput.h"
#include "audio/codecs/ape/TSL_MAC.h"
#include "audio/io/TSL_Wave.h"
#include "bench/BenchSupport.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Forms.h"
#include "platform/gui/ListView.h"
#include "widgets/KvLabel.h"
#include "widgets/KvPrgres.h"
#include "widgets/KvTabs.h"

namespace {

int Usage(const char* Self) {
  std::fprintf(stderr, "usage: %s add DIR | convert flac|mp3 DIR OUT | ape IN.wav OUT.ape\n", Self);
  return 2;
}

int MakeApe(const char* In, const char* Out) {
  TComponentPtr<TWaveIn> in(new TWaveIn(nullptr));
  TComponentPtr<TMACOut> out(new TMACOut(nullptr));
  in->SetFileName(In);
  out->SetInput(in.get());
  out->SetFileName(Out);
  return TimedRun(out.get()) ? 0 : 1;
}

}  // namespace

int WindowAdd(int argc, char** argv);

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "window-add") return WindowAdd(argc, argv);
  if (argc < 3) return Usage(argv[0]);
  const std::string mode = argv[1];
  if (mode == "ape") return argc == 4 ? MakeApe(argv[2], argv[3]) : Usage(argv[0]);
  if (mode != "add" && !(mode == "convert" && argc == 5)) return Usage(argv[0]);

  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TApplication app(argc, argv);
  // A message would wait for a click: print it instead.
  SetDialogResponder([](const TDialogRequest& R) {
    std::fprintf(stderr, "%s: %s\n", R.Caption.c_str(), R.Text.c_str());
    return TDialogAnswer{IDOK, {}, {}, 0, nullptr};
  });
  TForm* form = NewForm<TForm>(nullptr);
  auto* view = new TListView(form);
  view->SetParent(form);
  view->SetCheckboxes(true);
  TFileList files(view->Items());
  const std::string dir = mode == "add" ? argv[2] : argv[3];
  files.AddFolder(dir, false);
  if (mode == "add") {
    std::printf("%d\n", files.Count());
    form->Free();
    return 0;
  }

  auto* bar1 = new TKvProgressBar(form);
  auto* bar2 = new TKvProgressBar(form);
  auto* info = new TKvLabel(form);
  auto* elapsed = new TKvLabel(form);
  auto* remaining = new TKvLabel(form);
  bool done = false;
  {
    TOutput output(form, bar1, bar2, info, elapsed, remaining);
    output.SetOutputDir(argv[4]);
    output.SetNormalize(false);
    if (std::string(argv[2]) == "flac") {
      output.SetFormat(outFLAC);
      output.SetQual(5);
    } else {
      output.SetFormat(outMP3);
      output.SetQuality(2);  // "Medium": 160 kbit/s, stereo
    }
    output.OnAllDone = [&](TComponent*) { done = true; };
    if (!output.Start(&files)) return 1;
    while (!done) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  // Converted entries are unticked.
  std::printf("%d\n", files.Count() - files.CheckedCount());
  form->Free();
  return 0;
}

// ---------------------------------------------------------------------------
// window-add DIR (bench/app/list.sh): the real main window, offscreen, adds the regular
// files of DIR through its "Add files to the list" button and the open dialog, as the
// user does. Prints the entries listed, the seconds the adding took, and the peak
// resident memory in KiB before and after it.

namespace {

long PeakKiB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

}  // namespace

int WindowAdd(int argc, char** argv) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(argv[2]))
    if (e.is_regular_file()) names.push_back(e.path().string());
  std::sort(names.begin(), names.end());

  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TApplication app(argc, argv);
  SetDialogResponder([&](const TDialogRequest& R) {
    if (R.Kind == dkOpenFiles) return TDialogAnswer{mrOk, names, {}, 0, nullptr};
    std::fprintf(stderr, "%s: %s\n", R.Caption.c_str(), R.Text.c_str());
    return TDialogAnswer{IDOK, {}, {}, 0, nullptr};
  });
  auto* form = NewForm<TFrmMain>(nullptr);
  form->Show();
  QApplication::setActiveWindow(form->Host());
  Application->ProcessMessages();
  dynamic_cast<TKvPageControl*>(FindControl(form, "PageSource"))->SetActivePageIndex(2);
  Application->ProcessMessages();
  TControl* add = FindControl(form, "BtnAdd");

  const long before = PeakKiB();
  const auto start = std::chrono::steady_clock::now();
  QTest::mouseClick(
      add->Host(), Qt::LeftButton, Qt::NoModifier,
      QPoint(add->ClientOffset().X + add->ClientWidth() / 2, add->ClientOffset().Y + add->ClientHeight() / 2));
  Application->ProcessMessages();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%d %.3f %ld %ld\n", form->FileList()->Count(), seconds, before, PeakKiB());
  form->Free();
  return 0;
}
