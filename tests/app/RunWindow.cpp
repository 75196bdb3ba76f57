#include "tests/app/RunWindow.h"

#include "tests/support/Gui.h"

testsupport::TTagItems CommonFields(const TTagSet& T) {
  testsupport::TTagItems r = {{"album", T.Album}, {"artist", T.Artist}, {"comment", T.Comment}, {"genre", T.Genre},
                              {"title", T.Title}, {"track", T.Track},   {"year", T.Year}};
  std::erase_if(r, [](const auto& KV) { return KV.second.empty(); });
  return r;
}

TRunWindow::TRunWindow(const std::string& OutputDir) : Form(NewForm<TForm>(nullptr)) {
  Form->SetBounds(0, 0, 600, 400);
  View = new TListView(Form);
  View->SetParent(Form);
  View->SetBounds(8, 8, 580, 260);
  View->SetCheckboxes(true);
  View->SetMultiSelect(true);
  View->SetRowSelect(true);
  for (const char* caption : {"File", "Duration", "Size MB"}) View->Columns()->Add()->SetCaption(caption);
  PrgCurrent = new TKvProgressBar(Form);
  PrgTotal = new TKvProgressBar(Form);
  int top = 280;
  for (TKvProgressBar* bar : {PrgCurrent, PrgTotal}) {
    bar->SetParent(Form);
    bar->SetBounds(8, top, 300, 16);
    bar->OnChange = [this](TComponent*, uint16_t Percent) { Percents.push_back(Percent); };
    top += 20;
  }
  LblInfo = new TKvLabel(Form);
  LblElapT = new TKvLabel(Form);
  LblRemT = new TKvLabel(Form);
  for (TKvLabel* label : {LblInfo, LblElapT, LblRemT}) {
    label->SetParent(Form);
    label->SetBounds(320, top, 200, 14);
    top += 16;
  }
  LblElapT->SetCaption("0:00:00");
  LblRemT->SetCaption("0:00:00");
  Files = std::make_unique<TFileList>(View->Items());
  Out = std::make_unique<TOutput>(Form, PrgCurrent, PrgTotal, LblInfo, LblElapT, LblRemT);
  Out->SetOutputDir(OutputDir);
  Out->OnFileDone = [this](TComponent*) { ++FilesDone; };
  Out->OnAllDone = [this](TComponent*) { ++AllDone; };
}

TRunWindow::~TRunWindow() {
  Out.reset();
  Files.reset();
  Form->Free();
}

bool TRunWindow::StartAndWait(const std::function<bool()>& Done, int TimeoutMs) {
  if (!Out->Start(Files.get())) return false;
  if (testsupport::ProcessEventsUntil(Done, TimeoutMs)) return true;
  Out->Stop();
  return false;
}

bool TRunWindow::Convert(int TimeoutMs) {
  const int before = AllDone;
  return StartAndWait([this, before] { return AllDone > before && !Out->Running(); }, TimeoutMs);
}

std::vector<std::string> TRunWindow::Captions() const {
  std::vector<std::string> r;
  for (int32_t i = 0; i < Files->Count(); ++i) r.push_back(Files->Entries(i).Caption);
  return r;
}
