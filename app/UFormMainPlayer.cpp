// The preview player and the "Audio CD" page of the main window. Files play through
// AudioOut fed by the list's probe of the entry's kind, CD tracks through CDPlayer.
// While a run is active nothing plays from a list: the run uses the same inputs.
#include <algorithm>

#include "app/UFileList.h"
#include "app/UFormMain.h"
#include "audio/io/TSL_CDROM.h"
#include "audio/io/TSL_DXAudio.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/ListView.h"
#include "platform/rtl/SysUtils.h"
#include "widgets/KvButton.h"
#include "widgets/KvCmboBx.h"
#include "widgets/KvLabel.h"
#include "widgets/KvListVw.h"

namespace {

// FCDState.
constexpr int32_t CDPlaying = 0;
constexpr int32_t CDPaused = 1;
constexpr int32_t CDStopped = 2;
// The quietest volume of the sound output: a paused file is resumed muted before it
// stops, so nothing of it is heard.
constexpr int32_t SilentVolume = -10000;
// Item 0 of the drive list stands for no drive.
constexpr int32_t NoDriveItem = 0;

}  // namespace

bool TFrmMain::CDPage() const { return LstRip->Visible(); }

bool TFrmMain::PlayRefused() const { return FRunState || RunActive(); }

void TFrmMain::ClearPosition() {
  TmrPos->SetEnabled(false);
  LblPos->SetCaption("");
}

void TFrmMain::StopCDPlayer() {
  CDPlayer->Stop();
  FCDState = CDStopped;
}

void TFrmMain::ResumeFileMuted() {
  if (FilePlayerStatus() != asPaused) return;
  FAudioOut->SetVolume(SilentVolume);
  FAudioOut->Resume();
}

int32_t TFrmMain::SelectedOrFirst(TKvListView* View) {
  if (View->Items()->Count() == 0) return -1;
  if (View->ItemIndex() < 0) View->SetItemIndex(0);
  return View->ItemIndex();
}

void TFrmMain::BtnPPlayClick() {
  if (PlayRefused()) return;
  const bool cd = CDPage();
  if (cd && FCDState == CDPaused) {
    CDPlayer->Resume();
    FCDState = CDPlaying;
  } else if (!cd && FilePlayerStatus() == asPaused) {
    FAudioOut->Resume();
  } else {
    StopPlayers();
    if (!(cd ? PlayCDTrack() : PlayFile())) return UpdatePlayerButtons();
  }
  TmrPos->SetEnabled(true);
  UpdatePlayerButtons();
}

bool TFrmMain::PlayFile() {
  const int32_t index = SelectedOrFirst(LstConv);
  if (index < 0 || index >= FFileList->Count()) return false;
  const TFileListEntry& entry = FFileList->Entries(index);
  TAuFileIn* source = FFileList->GetInput(entry.FormatCode);
  if (!source) return false;
  source->SetFileName(entry.FileName);
  if (!source->Valid()) return false;
  FFileList->SetCurrentIndex(index);
  FAudioOut->SetInput(source);
  FAudioOut->Run();
  return true;
}

bool TFrmMain::PlayCDTrack() {
  const int32_t index = SelectedOrFirst(LstRip);
  if (index < 0 || index >= FCDList->Count()) return false;
  FCDList->SetCurrentIndex(index);
  // The player's errors (no disc, a data track) reach the application's message.
  try {
    CDPlayer->Play(FCDList->Entries(index).Position);
  } catch (...) {
    UpdatePlayerButtons();
    throw;
  }
  FCDState = CDPlaying;
  return true;
}

void TFrmMain::BtnPPauseClick() {
  if (CDPage()) {
    if (FCDState != CDPlaying) return;
    CDPlayer->Pause();
    FCDState = CDPaused;
  } else if (FilePlayerStatus() == asWorking) {
    FAudioOut->Pause();
  }
  UpdatePlayerButtons();
}

void TFrmMain::BtnPStopClick() {
  if (CDPage()) {
    StopCDPlayer();
  } else if (FilePlayerStatus() != asIdle) {
    ResumeFileMuted();
    FAudioOut->Stop(false);
  }
  ClearPosition();
  UpdatePlayerButtons();
}

void TFrmMain::PlayNeighbour(int32_t Step) {
  if (PlayRefused()) return;
  const bool cd = CDPage();
  TKvListView* view = cd ? LstRip : LstConv;
  TFileList* list = ActiveList();
  const int32_t count = list->Count();
  if (count == 0) return;
  if (cd) {
    if (FCDState == CDPaused) StopCDPlayer();
  } else {
    ResumeFileMuted();
  }
  // Around the ends: after the last comes the first, before the first the last.
  const int32_t current = std::clamp(list->CurrentIndex(), -1, count - 1);
  const int32_t next = current < 0 ? (Step > 0 ? 0 : count - 1) : (current + Step + count) % count;
  view->ClearSelection();
  view->SetItemIndex(next);
  BtnPPlayClick();
}

void TFrmMain::ListDblClick(bool CD) {
  if (PlayRefused()) return;
  if (CD)
    StopCDPlayer();
  else
    FAudioOut->Stop(false);
  ClearPosition();
  BtnPPlayClick();
}

int32_t TFrmMain::FilePlayedSeconds() const {
  TAuInput* input = FAudioOut->Input();
  if (!input) return 0;
  const int32_t rate = input->SampleRate();
  if (rate <= 0) return 0;
  // The buffer's silence after the end is no part of the file.
  int64_t frames = std::max<int64_t>(FAudioOut->PlayedFrames(), 0);
  const int64_t total = input->TotalSamples();
  if (total > 0) frames = std::min(frames, total);
  return static_cast<int32_t>(Round(static_cast<double>(frames) / rate));
}

void TFrmMain::TmrPosTimer() {
  // The preview ends when the player has played it all out (or the disc went away).
  if (CDPage()) {
    const TCDStatus status = CDPlayer->Status();
    if (status != cdsPlaying && status != cdsPaused) return PreviewEnded();
    const TCDTMSF at = CDPlayer->Position();
    LblPos->SetCaption(TFileList::FormatTime(at.Minute * 60 + at.Second));
  } else {
    if (FilePlayerStatus() == asIdle) return PreviewEnded();
    LblPos->SetCaption(TFileList::FormatTime(FilePlayedSeconds()));
  }
}

void TFrmMain::PreviewEnded() {
  // A preview that failed (no sound device, a damaged file or disc) says why, rather
  // than stopping as if it had been heard to the end.
  const bool cd = CDPage();
  const std::string error = cd ? CDPlayer->PlayError() : FAudioOut->ExceptionMessage();
  TFileList* list = ActiveList();
  const int32_t index = list->CurrentIndex();
  BtnPStopClick();
  if (error.empty() || index < 0 || index >= list->Count()) return;
  const TFileListEntry& entry = list->Entries(index);
  MessageBox(this, "\"" + (cd ? entry.Caption : entry.FileName) + "\" could not be played (" + error + ").", "Error",
             MB_OK | MB_ICONERROR);
}

// ---------------------------------------------------------------------------
// The "Audio CD" page

void TFrmMain::ClearCDList() {
  FCDList->Clear();
  ListInsert(LstRip, FCDList.get());
  StopPlayers();
  ShowCounts();
  RefreshLists();
}

void TFrmMain::ListDriveTracks(int32_t DriveItem) {
  if (DriveItem <= NoDriveItem) return;
  FCDList->AddCdTracks(DriveItem - 1);
  ShowCounts();
}

void TFrmMain::CmbDriveSelect() {
  if (FCDList->Locked()) return;
  ClearCDList();
  // By the item, not its text: two drives may bear the same name.
  const int32_t item = CmbDrive->ItemIndex();
  ListDriveTracks(item);
  BtnEject->SetEnabled(item > NoDriveItem);
  CDPlayer->SetCurrentDrive(item - 1);
  RefreshLists();
}

void TFrmMain::TmrCDTimer() {
  if (FCDList->Locked() || FCDList->Count() > 0) return;
  const int32_t item = CmbDrive->ItemIndex();
  if (item <= NoDriveItem) return;
  ListDriveTracks(item);
  if (FCDList->Count() > 0) RefreshLists();
}

void TFrmMain::BtnEjectClick() {
  const int32_t item = CmbDrive->ItemIndex();
  if (item <= NoDriveItem || FCDList->Locked()) return;
  if (static_cast<size_t>(item) >= FTrayFlags.size()) FTrayFlags.resize(static_cast<size_t>(item) + 1, 0);
  StopPlayers();
  uint8_t& opened = FTrayFlags[static_cast<size_t>(item)];
  // A drive that cannot move its tray (slot-loading, an image) is left as it is.
  try {
    FCDList->GetCDInput()->SetCurrentDrive(item - 1);
    if (opened)
      FCDList->CloseCDTray();
    else
      FCDList->OpenCDTray();
  } catch (const std::exception&) {
  }
  opened = opened ? 0 : 1;
  ClearCDList();
}
