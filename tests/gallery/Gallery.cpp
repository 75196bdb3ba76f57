// Renders every gallery page into the folder named on the command line and fails when a
// page cannot be built or comes out blank.
#include "tests/gallery/Gallery.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <vector>

#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/StdCtrls.h"

namespace {

std::vector<const TGalleryPage*>& Pages() {
  static std::vector<const TGalleryPage*> List;
  return List;
}

std::vector<const TGalleryWindow*>& Windows() {
  static std::vector<const TGalleryWindow*> List;
  return List;
}

// The number of colours in the image, up to Limit.
size_t ColorCount(const QImage& Image, size_t Limit) {
  std::set<QRgb> Seen;
  for (int Y = 0; Y < Image.height() && Seen.size() < Limit; ++Y)
    for (int X = 0; X < Image.width(); ++X) Seen.insert(Image.pixel(X, Y));
  return Seen.size();
}

// Saves the shown Form as "<Name>.png"; false (with a message) when that fails or
// the picture is blank.
bool SavePicture(TCustomForm* Form, const std::string& Name, const QDir& Folder) {
  Application->ProcessMessages();
  const QImage Picture = Form->Host()->grab().toImage();
  const QString File = Folder.filePath(QString::fromStdString(Name) + ".png");
  if (!Picture.save(File)) {
    std::fprintf(stderr, "%s: cannot write %s\n", Name.c_str(), File.toUtf8().constData());
    return false;
  }
  if (ColorCount(Picture, 3) < 3) {
    std::fprintf(stderr, "%s: the page is blank\n", Name.c_str());
    return false;
  }
  return true;
}

bool RenderPage(const TGalleryPage& Page, const QDir& Folder) {
  TForm* Form = NewForm<TForm>(nullptr);
  bool Ok = false;
  try {
    Form->SetCaption(Page.Name);
    Form->SetClientWidth(480);
    Form->SetClientHeight(360);
    BeginLoading(Form);
    Page.Build(Form);
    EndLoading(Form);
    Form->Show();
    Ok = SavePicture(Form, Page.Name, Folder);
  } catch (const std::exception& E) {
    std::fprintf(stderr, "%s: %s\n", Page.Name.c_str(), E.what());
  }
  Form->Free();
  return Ok;
}

// Every state of the window saved; false when one failed or none was shot.
bool RenderWindow(const TGalleryWindow& Window, const QDir& Folder) {
  int Shots = 0;
  bool Ok = true;
  try {
    Window.Show([&](TCustomForm* Form, const std::string& State) {
      ++Shots;
      Ok = SavePicture(Form, Window.Name + "-" + State, Folder) && Ok;
    });
  } catch (const std::exception& E) {
    std::fprintf(stderr, "%s: %s\n", Window.Name.c_str(), E.what());
    Ok = false;
  }
  return Ok && Shots > 0;
}

}  // namespace

void gallery::Note(TForm* Form, int32_t X, int32_t Y, const std::string& Text) {
  Place<TLabel>(Form, "", Bounds(X, Y, 10, 10))->SetCaption(Text);
}

TGalleryPage::TGalleryPage(std::string AName, TBuild ABuild) : Name(std::move(AName)), Build(std::move(ABuild)) {
  Pages().push_back(this);
}

TGalleryWindow::TGalleryWindow(std::string AName, TShow AShow) : Name(std::move(AName)), Show(std::move(AShow)) {
  Windows().push_back(this);
}

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder for the pictures>\n", argv[0]);
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TApplication App(argc, argv);
  TTimer::SetTestClock(true);
  bool Ok = true;
  // A page that opens a dialog or raises from an event is broken.
  SetDialogResponder([&Ok](const TDialogRequest& R) {
    std::fprintf(stderr, "unexpected dialog \"%s\": %s\n", R.Caption.c_str(), R.Text.c_str());
    Ok = false;
    return TDialogAnswer{IDCANCEL, {}, {}, 0};
  });
  QDir Folder(QString::fromLocal8Bit(argv[1]));
  if (!Folder.mkpath(".")) {
    std::fprintf(stderr, "cannot make %s\n", argv[1]);
    return 1;
  }
  std::vector<const TGalleryPage*> Sorted = Pages();
  std::sort(Sorted.begin(), Sorted.end(), [](auto* A, auto* B) { return A->Name < B->Name; });
  for (const TGalleryPage* Page : Sorted) {
    const bool PageOk = RenderPage(*Page, Folder);
    std::printf("%-24s %s\n", Page->Name.c_str(), PageOk ? "ok" : "FAILED");
    Ok = Ok && PageOk;
  }
  std::vector<const TGalleryWindow*> SortedWindows = Windows();
  std::sort(SortedWindows.begin(), SortedWindows.end(), [](auto* A, auto* B) { return A->Name < B->Name; });
  for (const TGalleryWindow* Window : SortedWindows) {
    const bool WindowOk = RenderWindow(*Window, Folder);
    std::printf("%-24s %s\n", Window->Name.c_str(), WindowOk ? "ok" : "FAILED");
    Ok = Ok && WindowOk;
  }
  return Ok ? 0 : 1;
}
