// The program with a tester's hands, for the tests that need the whole process (its
// signals, its exit): it runs exactly as sonvix does, and once the main window shows
// it does what its argument says and reports on standard output:
//   idle         says "ready";
//   close        closes the main window (TForm::Close, where every way of closing ends);
//   convert      presses "Convert" and says "ready" once the run is writing its file;
//   convert-box  the same, but says "ready" from inside a message box that stays open.
// Every other message box is answered OK and reported as "box: <caption>: <text>".
#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <string>

#include "app/UFormMain.h"
#include "app/UOutput.h"
#include "audio/core/TSL_Classes.h"
#include "platform/gui/Dialogs.h"
#include "tests/support/Files.h"

namespace {

void Say(const std::string& Line) {
  std::printf("%s\n", Line.c_str());
  std::fflush(stdout);
}

// Step every 10 ms until it says it is done; it may run a modal loop of its own.
void Repeat(std::function<bool()> Step) {
  auto* timer = new QTimer(qApp);
  timer->setSingleShot(true);
  QObject::connect(timer, &QTimer::timeout, [timer, Step] {
    if (!Step()) timer->start(10);
  });
  timer->start(10);
}

// The run's output file is there, under its hidden name until it is finished.
bool Writing() {
  const TAuFileOut* out = FrmMain->Output()->Output();
  return out && !out->FileName().empty() && !testsupport::RunTemporaries(out->FileName()).empty();
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "idle";
  return RunProgram(argc, argv, [mode] {
    SetDialogResponder([](const TDialogRequest& Request) {
      Say("box: " + Request.Caption + ": " + Request.Text);
      return TDialogAnswer{IDOK, {}, {}, 0};
    });
    Repeat([mode, pressed = false]() mutable {
      if (!FrmMain->Visible()) return false;
      if (mode == "idle") {
        Say("ready");
        return true;
      }
      if (mode == "close") {
        FrmMain->Close();
        return true;
      }
      if (!pressed) {
        pressed = true;
        FindControl(FrmMain, "BtnConv")->OnClick(nullptr);
        return false;
      }
      if (!Writing()) return false;
      if (mode == "convert-box") {
        SetDialogResponder(nullptr);
        QTimer::singleShot(0, [] { Say("ready"); });
        MessageBox(FrmMain, "Still converting.", "Harness", MB_OK);
        return true;
      }
      Say("ready");
      return true;
    });
  });
}
