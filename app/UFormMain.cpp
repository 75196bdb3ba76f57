#include "app/UFormMain.h"

#include <algorithm>
#include <utility>

#include "app/ProgramInfo.h"
#include "app/UDlgDir.h"
#include "app/UFileList.h"
#include "app/UFormAbout.h"
#include "app/UFormNewV.h"
#include "app/UFormTag.h"
#include "app/UForms.h"
#include "app/UHintWnd.h"
#include "app/UOutput.h"
#include "audio/io/TSL_CDROM.h"
#include "audio/io/TSL_DXAudio.h"
#include "audio/io/TSL_Wave.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/rtl/FileUtils.h"
#include "platform/rtl/Folders.h"
#include "platform/rtl/StrUtils.h"
#include "platform/shell/Shell.h"
#include "widgets/KvBtnEdt.h"
#include "widgets/KvButton.h"
#include "widgets/KvCmboBx.h"
#include "widgets/KvLabel.h"
#include "widgets/KvListVw.h"
#include "widgets/KvPrgres.h"
#include "widgets/KvPanel.h"
#include "widgets/KvRadChk.h"
#include "widgets/KvSpnEdt.h"
#include "widgets/KvTabs.h"
#include "widgets/KvToolBtn.h"

TFrmMain* FrmMain = nullptr;
TFrmTag* FrmTag = nullptr;
TFormNewV* FormNewV = nullptr;

namespace {

const char* const SettingsErrorCaption = "Settings error";

// The application's form in Form, made (owned by the application) when the program's
// start-up did not make it.
template <class T>
T* Made(T*& Form) {
  if (!Form) Form = NewForm<T>(Application);
  return Form;
}

}  // namespace

std::vector<std::string> Names(const TStringList& List) {
  std::vector<std::string> r;
  for (int i = 0; i < List.Count(); ++i) r.push_back(List.Strings(i));
  return r;
}

void InstallHintWindow() {
  Application->SetShowHint(false);
  Application->SetHintWindowClass([](TComponent* Owner) -> THintWindow* { return new THintWnd(Owner); });
  Application->SetShowHint(true);
}

void StartProgram() {
  InstallHintWindow();
  Application->Initialize();
  Application->SetTitle("Lumo Audio Converter");
  Application->CreateForm(FrmMain);
  Application->CreateForm(FrmTag);
  Application->CreateForm(FrmAbout);
  Application->CreateForm(FormNewV);
}

int RunProgram(int& Argc, char** Argv, const std::function<void()>& Started) {
  int signal = 0;
  {
    TApplication app(Argc, Argv);
    try {
      StartProgram();
    } catch (const Exception& E) {
      Application->ShowException(E);
      return 1;
    }
    // Caught from here on: a signal during start-up ends the program at once, before it
    // has read anything it could save.
    app.OnTerminationSignal = [](int) {
      if (FrmMain) FrmMain->Close();
      Application->Terminate();
    };
    app.CatchTerminationSignals();
    if (Started) Started();
    app.Run();
    // The main window goes first, while the tag editor it unhooks itself from is still
    // there (the application frees its forms last made first).
    if (FrmMain) FrmMain->Free();
    signal = app.TerminationSignal();
  }
  // The windows are gone: the signal's default action now ends the process.
  return signal == 0 ? 0 : TApplication::DieOfSignal(signal);
}

// ---------------------------------------------------------------------------
// Start-up and shutdown

TFrmMain::TFrmMain(TComponent* AOwner) : TForm(AOwner) {
  BeginLoading(this);
  BuildWindow();
  EndLoading(this);
  OnCreate = [this](TComponent*) { FormCreate(); };
  OnShow = [this](TComponent*) { FormShow(); };
  OnActivate = [this](TComponent*) { FormActivate(); };
  OnClose = [this](TComponent*, TCloseAction&) { FormClose(); };
  OpenHelpOnF1(this);
}

TFrmMain::~TFrmMain() = default;

void TFrmMain::BeforeDestruction() {
  // The controls going one by one must not reach the window's handlers.
  PageSource->OnPageChange = nullptr;
  TmrPos->SetEnabled(false);
  TmrCD->SetEnabled(false);
  for (TKvListView* view : {LstConv, LstRip}) {
    view->OnDblClick = nullptr;
    view->OnCheckStateChange = nullptr;
    view->OnInsert = nullptr;
    view->OnSelectItem = nullptr;
  }
  // Nothing may play a list's probe or a sound once those go; the run controller holds
  // the list it converts, so it goes before the lists.
  if (FAudioOut) FAudioOut->Stop(false);
  FOutput.reset();
  FFileList.reset();
  FCDList.reset();
  if (FrmTag) FrmTag->OnTagsChanged = nullptr;
  if (FrmMain == this) FrmMain = nullptr;
  TForm::BeforeDestruction();
}

void TFrmMain::FormCreate() {
  FAppDir = ProgramDir();
  Application->SetHelpFile(HelpFolder() + "index.html");
  // A message belongs to the active window.
  Application->OnHelp = [](uint16_t Command, intptr_t Data) {
    return ShowHelp(nullptr, Command == HELP_CONTEXT ? static_cast<int32_t>(Data) : HelpContents);
  };
  SetShellFailedHandler(ShowOpenFailure);
  FFileList = std::make_unique<TFileList>(LstConv->Items());
  FCDList = std::make_unique<TFileList>(LstRip->Items());
  FOutput = std::make_unique<TOutput>(this, PrgCurrent, PrgTotal, LblInfo, LblElapT, LblRemT);
  FOutput->OnAllDone = [this](TComponent*) { OutputAllDone(); };
  FOutput->OnFileDone = [this](TComponent*) { OutputFileDone(); };
  CmbWMA2Cod->Items()->Assign(FFileList->GetWMACodecs());
  CmbWMA2Cod->SetItemIndex(CmbWMA2Cod->Items()->Count() > 0 ? 0 : -1);
  CmbDrive->Items()->Clear();
  FCDList->FillDriveList(CmbDrive->Items());
  if (CmbDrive->Items()->Count() > 0) CmbDrive->SetItemIndex(0);
  FCDState = 2;
  FTrayFlags.assign(static_cast<size_t>(CmbDrive->Items()->Count()), 0);
  EdtOutDir->SetText(ExcludeTrailingPathDelimiter(MusicFolder()));
  CmbFormatChange();
  // The controls are built enabled; what the empty list allows is the refresh's to say,
  // whether or not a settings file follows and before any activation.
  RefreshLists();
}

void TFrmMain::FormShow() {
  // Qt shows a window again when it is restored; the settings are read once.
  if (FSettingsLoaded) return;
  FSettingsLoaded = true;
  LoadSettings();
}

void TFrmMain::FormActivate() {
  PageSourcePageChange();
  TagEditor();
}

TFrmTag* TFrmMain::TagEditor() {
  // Edited tags make the output names again.
  Made(FrmTag)->OnTagsChanged = [this](TComponent*) { CmbCaptClick(); };
  return FrmTag;
}

void TFrmMain::FormClose() {
  if (std::exchange(FClosing, true)) return;
  try {
    StopPlayers();
    if (RunActive()) FOutput->Stop();
    SaveSettings();
  } catch (...) {
    FClosing = false;
    throw;
  }
  FClosing = false;
}

// ---------------------------------------------------------------------------
// Run state and the lists

TFileList* TFrmMain::ActiveList() const { return LstRip->Visible() ? FCDList.get() : FFileList.get(); }

bool TFrmMain::RunActive() const { return FOutput && FOutput->Running(); }

void TFrmMain::SetRunState(bool Running) {
  FRunState = Running;
  GrpSource->SetEnabled(!Running);
  BtnConv->SetEnabled(!Running);
  BtnPause->SetEnabled(Running);
  BtnAbort->SetEnabled(Running);
  for (TKvLabel* L : FRunLabels) L->SetEnabled(Running);
  RefreshLists();
}

void TFrmMain::RefreshLists() {
  TFileList* list = ActiveList();
  const bool has = list->Count() > 0;
  const bool changeable = has && !FRunState;
  for (TControl* C : std::initializer_list<TControl*>{BtnDel, BtnClr, BtnCheck, BtnUncheck, BtnConv})
    C->SetEnabled(changeable);
  SetOutputGroupEnabled(changeable);
  ChkUnc->SetEnabled(has);
  if (changeable) CmbCaptClick();
  UpdatePlayerButtons();
}

int32_t TFrmMain::FilePlayerStatus() const {
  if (FAudioOut->Input() == WaveIn) return asIdle;
  return FAudioOut->Status();
}

void TFrmMain::UpdatePlayerButtons() {
  TKvToolButton* const buttons[] = {BtnPPlay, BtnPPause, BtnPStop, BtnPPrew, BtnPNext};
  if (!BtnDel->Enabled()) {
    for (TKvToolButton* B : buttons) B->SetEnabled(false);
    SpnMove->SetEnabled(false);
    return;
  }
  // Play, Pause, Stop, Previous, Next by the state: playing, paused, stopped.
  static const bool Enabled[3][5] = {{false, true, true, true, true}, {true, false, true, true, true},
                                     {true, false, false, false, false}};
  const int32_t state = std::clamp<int32_t>(LstRip->Visible() ? FCDState : FilePlayerStatus(), 0, 2);
  for (int i = 0; i < 5; ++i) buttons[i]->SetEnabled(Enabled[state][i]);
  SpnMove->SetEnabled(ActiveList()->Count() > 1);
}

void TFrmMain::ShowCounts() {
  TFileList* list = ActiveList();
  LblAllC->SetCaption(IntToStr(list->Count()));
  LblChkC->SetCaption(IntToStr(list->CheckedCount()));
}

void TFrmMain::StopPlayers() {
  FAudioOut->Stop(false);
  CDPlayer->Stop();
  FCDState = 2;
  TmrPos->SetEnabled(false);
  LblPos->SetCaption("");
}

void TFrmMain::PageSourcePageChange() {
  const auto selectFirst = [](TKvListView* View) {
    if (View->Items()->Count() > 0 && View->ItemIndex() < 0) View->SetItemIndex(0);
  };
  if (PageSource->ActivePage() == TabDrv) {
    FAudioOut->Stop(false);
    TmrPos->SetEnabled(false);
    LblPos->SetCaption("");
    LstConv->SetVisible(false);
    LstRip->SetVisible(true);
    TmrCD->SetEnabled(true);
    selectFirst(LstRip);
  } else {
    if (LstRip->Visible()) {
      CDPlayer->Stop();
      FCDState = 2;
      TmrPos->SetEnabled(false);
      LblPos->SetCaption("");
      TmrCD->SetEnabled(false);
      LstRip->SetVisible(false);
      LstConv->SetVisible(true);
      selectFirst(LstConv);
    }
  }
  ShowCounts();
  RefreshLists();
}

// ---------------------------------------------------------------------------
// Sources

void TFrmMain::ShowNotAdded(const std::string& Text, uint32_t Icon) {
  std::vector<std::string> lines;
  for (const TNotAddedFile& f : FFileList->NotAdded()) lines.push_back(f.Name + ": " + f.Reason);
  MessageBox(this, WithFirstLines(this, Text, lines), "Error", MB_OK | Icon);
}

void TFrmMain::ShowAddError(int32_t CountBefore) {
  const bool none = FFileList->Count() == CountBefore;
  ShowNotAdded(std::string(FileReadErrorText) + (none ? " Files were not added." : " Not all files were added."),
               MB_ICONWARNING);
}

void TFrmMain::BtnAddClick() {
  if (!DlgOpen->Execute(this)) return;
  const int32_t before = FFileList->Count();
  if (!FFileList->AddFiles(Names(DlgOpen->Files()))) ShowAddError(before);
  RefreshLists();
}

void TFrmMain::AddFolderResult(int32_t Result, int32_t CountBefore) {
  // A file that failed before one that was added leaves the result at 2: it is told of
  // all the same.
  if (Result == 0 || !FFileList->NotAdded().empty()) ShowAddError(CountBefore);
  if (Result == 1)
    MessageBox(this, "Selected directory don't contain any supported audio file.", "No result",
               MB_OK | MB_ICONINFORMATION);
}

void TFrmMain::EdtDirButtonClick() {
  std::string folder = EdtDir->Text();
  if (!SelectFolder(folder,
                    "Select directory with audio files.\r\nAll supported files from selected folder will be added "
                    "to the conversion list.",
                    false, this))
    return;
  EdtDir->SetText(folder);
  AddFolderFromEdit(true);
}

void TFrmMain::EdtDirKeyDown(uint16_t& Key) {
  if (Key == VK_RETURN && DirectoryExists(ExpandHomeFolder(Trim(EdtDir->Text())))) AddFolderFromEdit(true);
}

void TFrmMain::AddFolderFromEdit(bool ShowMessages) {
  const std::string folder = ExpandHomeFolder(Trim(EdtDir->Text()));
  if (!folder.empty()) {
    const int32_t before = FFileList->Count();
    const int32_t result = FFileList->AddFolder(folder, ShowMessages);
    if (ShowMessages) AddFolderResult(result, before);
  }
  RefreshLists();
}

// ---------------------------------------------------------------------------
// List buttons and list events

void TFrmMain::BtnCheckClick(bool Checked) {
  TListItems* items = LstRip->Visible() ? LstRip->Items() : LstConv->Items();
  for (int32_t i = 0; i < items->Count(); ++i) items->Item(i)->SetChecked(Checked);
}

void TFrmMain::BtnDelClick() {
  TFileList* list = ActiveList();
  TListItems* items = list->Items();
  const bool cd = LstRip->Visible();
  bool current = false;
  for (int32_t i = 0; i < items->Count(); ++i)
    if (items->Item(i)->Selected() && i == list->CurrentIndex()) current = true;
  if (current) {
    if (cd) {
      CDPlayer->Stop();
      FCDState = 2;
    } else {
      FAudioOut->Stop(false);
    }
    TmrPos->SetEnabled(false);
    LblPos->SetCaption("");
  }
  for (int32_t i = 0; i < items->Count();) {
    if (items->Item(i)->Selected())
      list->Delete(i);
    else
      ++i;
  }
  ListInsert(cd ? LstRip : LstConv, list);
  ShowCounts();
  RefreshLists();
}

void TFrmMain::BtnClrClick() {
  TFileList* list = ActiveList();
  list->Clear();
  ListInsert(LstRip->Visible() ? LstRip : LstConv, list);
  StopPlayers();
  ShowCounts();
  RefreshLists();
}

void TFrmMain::SpnMoveClick(bool Down) {
  TKvListView* view = LstRip->Visible() ? LstRip : LstConv;
  const int32_t index = view->ItemIndex();
  if (index < 0) return;
  if (Down)
    ActiveList()->MoveItemDown(index);
  else
    ActiveList()->MoveItemUp(index);
}

void TFrmMain::ListCheckStateChange(TKvListView* View, TFileList* List, TListItem* Item) {
  if (!List) return;
  // Only the tick that changed is looked at: counting them all at every change would
  // make adding or ticking n items cost n squared.
  int32_t ticked = List->CheckedCount();
  if (Item && View->Items()->Count() > List->Count()) {
    // An item being added: its entry, which the list counts, comes after it.
    if (Item->Checked()) ++ticked;
  } else if (Item) {
    List->TakeTick(Item->Index());
    ticked = List->CheckedCount();
  }
  if (View->Visible()) LblChkC->SetCaption(IntToStr(ticked));
}

void TFrmMain::ListInsert(TKvListView* View, TFileList* List) {
  // The entry of an item being added comes after the item.
  if (List && View->Visible()) LblAllC->SetCaption(IntToStr(List->Count() + 1));
  if (View->Items()->Count() > 0 && View->ItemIndex() < 0) View->SetItemIndex(0);
}

void TFrmMain::ListSelectItem(TFileList* List, TListItem* Item, bool Selected) {
  if (!List || !Item || !Selected) return;
  const bool idle = List == FCDList.get() ? FCDState == 2 : FilePlayerStatus() == asIdle;
  if (idle && Item->Index() < List->Count()) List->SetCurrentIndex(Item->Index());
  Item->MakeVisible(false);
}

void TFrmMain::CmbCaptClick() {
  const int32_t pattern = CmbCapt->ItemIndex();
  if (pattern < 0 || pattern >= FileNamePatternCount) return;
  FOutput->SetFileNamePattern(static_cast<TFileNamePattern>(pattern));
  FFileList->MakeOutputName(static_cast<TFileNamePattern>(pattern));
  FCDList->MakeOutputName(static_cast<TFileNamePattern>(pattern));
}

// ---------------------------------------------------------------------------
// Output folder

void TFrmMain::EdtOutDirButtonClick() {
  std::string folder = EdtOutDir->Text();
  if (SelectFolder(folder, "Select output directory.", true, this)) EdtOutDir->SetText(folder);
}

void TFrmMain::EdtOutDirChange() { FOutput->SetOutputDir(ExpandHomeFolder(EdtOutDir->Text())); }

// ---------------------------------------------------------------------------
// The run

std::string TFrmMain::CheckOutputDir(const std::string& Dir) const {
  const std::string start = "Incorrect output directory settings. The folder \"" + Dir + "\" ";
  if (Dir.empty() || Dir[0] != '/') return start + "is not a full path.";
  // The check leaves no folder behind: the run makes them again, as its own to remove
  // when it writes nothing there.
  std::vector<std::string> made = MissingFolders(Dir);
  std::string problem;
  if (!ForceDirectories(Dir)) {
    problem = start + "cannot be created.";
  } else {
    try {
      DeleteFile(CreateUniqueFile(IncludeTrailingPathDelimiter(Dir), ".sonvix-"));
    } catch (const std::exception&) {
      problem = start + "cannot be written to.";
    }
  }
  RemoveEmptyFolders(made);
  return problem;
}

void TFrmMain::BtnConvClick() {
  const auto settingsError = [this](const std::string& Text) {
    MessageBox(this, Text, SettingsErrorCaption, MB_OK | MB_ICONWARNING);
  };
  if (CmbFormat->ItemIndex() == outWMASystem && CmbWMA2Form->Items()->Count() == 0)
    return settingsError(
        "Not selected any format for encoding.\n\rPlease select a format for encoding from Supported formats list "
        "or change the current codec.");
  const std::string dir = ExpandHomeFolder(EdtOutDir->Text());
  if (Trim(dir).empty()) return settingsError("Please select an output directory");
  const std::string problem = CheckOutputDir(dir);
  if (!problem.empty()) return settingsError(problem);

  StopPlayers();
  CmbFormatChange();
  bool started = false;
  try {
    started = FOutput->Start(ActiveList());
  } catch (...) {
    BtnAbortClick();
    throw;
  }
  // The run state comes once the run is under way, so that what Start refuses is said
  // by an idle window; a run whose entries all failed to start has ended already.
  if (!started)
    BtnAbortClick();
  else if (RunActive())
    SetRunState(true);
}

void TFrmMain::BtnPauseClick() {
  TAuFileOut* out = FOutput->Output();
  if (!out) return;
  if (out->Status() != asPaused) {
    FOutput->Pause();
    BtnPause->SetCaption("Resume");
  } else {
    FOutput->Resume();
    BtnPause->SetCaption("Pause");
  }
}

void TFrmMain::BtnAbortClick() {
  // The run goes first: the lists stay locked until it has.
  FOutput->Stop();
  SetRunState(false);
  BtnPause->SetCaption("Pause");
}

void TFrmMain::PlaySound(const std::string& FileName) {
  // Without the file or a sound device nothing plays, and nothing is said.
  try {
    FAudioOut->Stop(false);
    WaveIn->Reset();
    WaveIn->SetFileName(FAppDir + FileName);
    if (!WaveIn->Valid()) return;
    FAudioOut->SetInput(WaveIn);
    FAudioOut->Run();
  } catch (const std::exception&) {
  }
}

void TFrmMain::OutputFileDone() { PlaySound("ding.wav"); }

void TFrmMain::OutputAllDone() {
  PlaySound("notify.wav");
  SetRunState(false);
  BtnPause->SetCaption("Pause");
}

// ---------------------------------------------------------------------------
// Tool menu and help

void TFrmMain::BtnMAboutClick() { Made(FrmAbout)->ShowModal(); }

void TFrmMain::BtnMNewClick() { Made(FormNewV)->ShowModal(); }

void TFrmMain::BtnTagClick() { TagEditor()->LoadFileList(ActiveList()); }

void TFrmMain::BtnMHomeClick() {
  if (!OpenURL(HomePageURL))
    MessageBox(this, std::string("The home page \"") + HomePageURL + "\" could not be opened.", "Error",
               MB_OK | MB_ICONERROR);
}
