// Gallery pictures of the program's dialogs in their states: the tag editor on a list
// of tagged files, and the update dialog checking and with each kind of answer.
#include "tests/support/Gui.h"

#include <cstdlib>
#include <functional>

#include "app/UFileList.h"
#include "app/UFormNewV.h"
#include "app/UFormTag.h"
#include "platform/gui/ListView.h"
#include "tests/gallery/Gallery.h"
#include "tests/support/Files.h"
#include "tests/support/HttpServer.h"
#include "tests/support/Tools.h"
#include "widgets/KvListVw.h"

namespace {

// Runs Open (which shows Form modally) with Work done while Form is up; every dialog
// is then cancelled.
void WhileShown(TCustomForm* Form, const std::function<void()>& Open, const std::function<void()>& Work) {
  struct TRestore {
    TDialogResponder Previous;
    ~TRestore() { SetDialogResponder(std::move(Previous)); }
  } Restore{SetDialogResponder([&](const TDialogRequest& R) {
    if (R.Form == Form) Work();
    return TDialogAnswer{mrCancel, {}, {}, 0};
  })};
  Open();
}

TGalleryWindow TagEditor("tag-editor", [](const TGalleryWindow::TShot& Shot) {
  const testsupport::TTempDir Dir;
  TForm* Main = NewForm<TForm>(nullptr);
  auto* View = new TListView(Main);
  View->SetParent(Main);
  for (const char* Caption : {"File", "Duration", "Size MB"}) View->Columns()->Add()->SetCaption(Caption);
  TFrmTag* Frm = NewForm<TFrmTag>(nullptr);
  {
    TFileList List(View->Items());
    const char* Titles[] = {"Overture", "Сюита для оркестра", "Νυχτερινό"};
    std::vector<std::string> Names;
    for (const char* Title : Titles) Names.push_back(testsupport::MakeWav(Dir, std::string(Title) + ".wav", 0.2));
    List.AddFiles(Names);
    for (int32_t I = 0; I < List.Count(); ++I) {
      TTagSet& T = List.Entries(I).CurrentTags;
      T = {.Artist = "Ensemble Ærø",
           .Album = "Nocturnes",
           .Genre = "Classical",
           .Year = "2021",
           .Track = std::to_string(I + 1),
           .Title = Titles[I],
           .Comment = "Recorded live\nin the old church",
           .Composer = "A. Composer",
           .Encoder = "Sonvix",
           .Copyright = "© 2021 Ensemble Ærø",
           .Language = "eng",
           .Link = "https://ensemble.example/"};
    }
    WhileShown(
        Frm, [&] { Frm->LoadFileList(&List); },
        [&] {
          Shot(Frm, "first-entry");
          Frm->LstFiles->Items()->Item(1)->SetSelected(true);
          Shot(Frm, "second-entry");
          Frm->LstFiles->ClearSelection();
          Shot(Frm, "no-selection");
        });
  }
  Frm->Free();
  Main->Free();
});

TGalleryWindow UpdateDialog("update", [](const TGalleryWindow::TShot& Shot) {
  setenv("no_proxy", "*", 1);
  testsupport::TTestHttpServer Server({{"/newer", {.Body = std::string("\x02\x01\x05", 3)}},
                                       {"/same", {.Body = std::string("\x02\x00\x01", 3)}},
                                       {"/broken", {.Status = 500}},
                                       {"/silent", {.Silent = true}}});
  TFormNewV* Frm = NewForm<TFormNewV>(nullptr);
  const struct {
    const char* State;
    const char* Path;
  } States[] = {{"checking", "/silent"}, {"newer", "/newer"}, {"not-found", "/same"}, {"failed", "/broken"}};
  for (const auto& S : States) {
    Frm->SetVersionFileUrl(Server.Url(S.Path));
    WhileShown(
        Frm, [&] { Frm->ShowModal(); },
        [&] {
          if (S.Path != std::string("/silent"))
            testsupport::ProcessEventsUntil([Frm] { return !Frm->Checking(); }, 10000);
          Shot(Frm, S.State);
        });
  }
  Frm->Free();
});

}  // namespace
