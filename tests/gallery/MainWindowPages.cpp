// Gallery pictures of the main window (empty, with files, with each format's settings
// panel, in its run state and on the CD page), the about window and the hint window.
#include <QElapsedTimer>
#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/UFileList.h"
#include "app/UFormAbout.h"
#include "app/UFormMain.h"
#include "app/UHintWnd.h"
#include "app/UOutput.h"
#include "audio/core/TSL_Classes.h"
#include "platform/dsound/DSFake.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ListView.h"
#include "platform/rtl/FileUtils.h"
#include "tests/gallery/Gallery.h"
#include "widgets/KvBtnEdt.h"
#include "widgets/KvButton.h"
#include "widgets/KvCmboBx.h"
#include "widgets/KvRadChk.h"
#include "widgets/KvTabs.h"

namespace {

namespace fs = std::filesystem;

// A folder for the window's settings, sources and outputs, removed afterwards.
class TScratch {
public:
  TScratch() {
    char Name[] = "/tmp/sonvix-gallery-XXXXXX";
    if (!mkdtemp(Name)) throw std::runtime_error("cannot make a scratch folder");
    FRoot = Name;
    setenv("XDG_CONFIG_HOME", (FRoot + "/config").c_str(), 1);
  }
  ~TScratch() {
    std::error_code Ignored;
    fs::remove_all(FRoot, Ignored);
  }
  std::string Path(const std::string& Name) const { return FRoot + "/" + Name; }

private:
  std::string FRoot;
};

template <class T>
T* Find(TComponent* Form, const char* Name) {
  auto* C = dynamic_cast<T*>(FindControl(Form, Name));
  if (!C) throw std::runtime_error(std::string("no control ") + Name);
  return C;
}

// Chooses item Index of a combo box as the user would.
void Choose(TComponent* Form, const char* Combo, int32_t Index) {
  auto* C = Find<TKvComboBox>(Form, Combo);
  C->SetItemIndex(Index);
  if (C->OnClick) C->OnClick(C);
  if (C->OnSelect)
    C->OnSelect(C);
  else if (C->OnChange)
    C->OnChange(C);
}

void Click(TComponent* Form, const char* Button) { Find<TKvButton>(Form, Button)->Click(); }

// Handles events until Done says so; false after 20 s.
template <class F>
bool Until(F Done) {
  QElapsedTimer Clock;
  Clock.start();
  while (!Done()) {
    if (Clock.elapsed() > 20000) return false;
    Application->ProcessMessages();
  }
  return true;
}

// A CD image of audio tracks of Seconds each, silent (its data file is sparse), as the
// one drive of the program.
std::string MakeSilentDisc(const std::string& Folder, std::initializer_list<int32_t> Seconds) {
  constexpr uint32_t SectorsPerSecond = 75, SectorBytes = 2352;
  std::string Cue = "FILE \"disc.bin\" BINARY\n";
  uint32_t Start = 0, Track = 0;
  char Line[64];
  for (int32_t S : Seconds) {
    std::snprintf(Line, sizeof Line, "  TRACK %02u AUDIO\n    INDEX 01 %02u:%02u:%02u\n", ++Track,
                  Start / SectorsPerSecond / 60, Start / SectorsPerSecond % 60, Start % SectorsPerSecond);
    Cue += Line;
    Start += static_cast<uint32_t>(S) * SectorsPerSecond;
  }
  std::ofstream(Folder + "/disc.bin").close();
  fs::resize_file(Folder + "/disc.bin", uint64_t(Start) * SectorBytes);
  std::ofstream(Folder + "/disc.cue") << Cue;
  return Folder + "/disc.cue";
}

TGalleryWindow MainWindow("main-window", [](const TGalleryWindow::TShot& Shot) {
  TScratch Scratch;
  fs::create_directory(Scratch.Path("cd"));
  setenv("SONVIX_CD_IMAGES", MakeSilentDisc(Scratch.Path("cd"), {205, 242, 168, 297, 61}).c_str(), 1);
  DirectSoundSetBackend(std::make_shared<TDSFakeBackend>());
  auto* W = NewForm<TFrmMain>(nullptr);
  try {
    W->Show();
    W->SetFocus();
    Shot(W, "empty");

    // The program's own sounds serve as sources.
    std::vector<std::string> Sources;
    for (const char* Name : {"01 Opening.wav", "02 Second song.wav", "03 The last one.wav"}) {
      fs::copy_file(ProgramDir() + "ding.wav", Scratch.Path(Name));
      Sources.push_back(Scratch.Path(Name));
    }
    // Added through "Add files to the list", the open dialog answered with them.
    Find<TKvPageControl>(W, "PageSource")->SetActivePageIndex(2);
    TDialogResponder Gallery = SetDialogResponder([&Sources](const TDialogRequest&) {
      return TDialogAnswer{mrOk, Sources, {}, 0};
    });
    Click(W, "BtnAdd");
    SetDialogResponder(std::move(Gallery));
    W->FileList()->Items()->Item(1)->SetChecked(false);
    Find<TKvComboBox>(W, "CmbWMA2Cod");  // the panels exist before any is shown
    Choose(W, "CmbFormat", outMP3);
    Shot(W, "files");

    const char* const Formats[] = {"mp3", "wma", "wma-system", "wav", "wavpack", "ape", "ogg", "flac", "tta", "mpc"};
    for (int32_t F = 0; F < OutputFormatCount; ++F) {
      Choose(W, "CmbFormat", F);
      Shot(W, std::string("format-0") + std::to_string(F) + "-" + Formats[F]);
    }
    Choose(W, "CmbFormat", outMP3);
    Find<TKvCheckBox>(W, "ChkBit")->SetChecked(true);
    Choose(W, "CmbComp", 4);
    Shot(W, "format-mp3-vbr-custom");
    Choose(W, "CmbFormat", outWave);
    Choose(W, "CmbWavEnc", 1);
    Shot(W, "format-wav-adpcm");

    Choose(W, "CmbFormat", outFLAC);
    Find<TKvButtonEdit>(W, "EdtOutDir")->SetText(Scratch.Path("out"));
    Click(W, "BtnConv");
    Click(W, "BtnPause");
    if (!Until([W] { return !W->Output()->Running() || W->Output()->Output()->Status() == asPaused; }))
      throw std::runtime_error("the run did not pause");
    Shot(W, "run");
    Click(W, "BtnAbort");

    Find<TKvPageControl>(W, "PageSource")->SetActivePageIndex(0);
    Shot(W, "cd-page");
    Choose(W, "CmbDrive", 1);
    Shot(W, "cd-tracks");
  } catch (...) {
    W->Free();
    DirectSoundSetBackend(nullptr);
    unsetenv("SONVIX_CD_IMAGES");
    throw;
  }
  W->Free();
  DirectSoundSetBackend(nullptr);
  unsetenv("SONVIX_CD_IMAGES");
});

TGalleryWindow AboutWindow("about", [](const TGalleryWindow::TShot& Shot) {
  auto* About = NewForm<TFrmAbout>(nullptr);
  About->Show();
  Shot(About, "shown");
  About->Free();
});

// The program's hint window is a window of its own: its picture, as far as its outline
// goes, is drawn onto the page.
TGalleryPage HintWindowPage("hint-window", [](TForm* Form) {
  Form->SetColor(clBtnFace);
  auto* Hint = new THintWnd(Form);
  const std::string Text = "Full path to folder\nwith audio files";
  const TRect R = Hint->CalcHintRect(300, Text, nullptr);
  Hint->ActivateHint(Bounds(40, 40, R.Width(), R.Height()), Text);
  Hint->ReleaseHandle();
  gallery::Note(Form, 20, 20, "The program's hint window, two lines (its outline ends at the frame):");
  Form->OnPaint = [Form, Hint](TComponent*) {
    QImage Picture(Hint->Width(), Hint->Height(), QImage::Format_ARGB32_Premultiplied);
    Picture.fill(Qt::transparent);
    Hint->PaintTo(Picture, 0, 0);
    QImage Shown(Picture.size(), QImage::Format_ARGB32_Premultiplied);
    Shown.fill(Qt::transparent);
    for (const TRect& Part : Hint->Region()->Rects())
      for (int32_t Y = Part.Top; Y < Part.Bottom; ++Y)
        for (int32_t X = Part.Left; X < Part.Right; ++X) Shown.setPixel(X, Y, Picture.pixel(X, Y));
    Form->Canvas()->DrawImage(Bounds(20, 40, Hint->Width(), Hint->Height()), Shown,
                              Rect(0, 0, Hint->Width(), Hint->Height()));
  };
});

}  // namespace
