// Files dropped on the list of files. Refused during a run (the list is the run's) and
// when the first file is a CD track file; what cannot be read is reported once.
#include "app/UFileList.h"
#include "app/UFormMain.h"
#include "dragdrop/DragDropFile.h"
#include "platform/gui/Dialogs.h"
#include "platform/rtl/FileUtils.h"
#include "platform/rtl/StrUtils.h"

void TFrmMain::BuildDropTarget(TWinControl* Target) {
  DrpTrg = new TDropFileTarget(this);
  DrpTrg->SetName("DrpTrg");
  DrpTrg->SetDragtypes(dtCopy);
  DrpTrg->SetGetDataOnEnter(true);
  DrpTrg->SetShowImage(true);
  DrpTrg->SetOptimizedMove(true);
  DrpTrg->SetTarget(Target);
  DrpTrg->OnEnter = [this](TComponent*, TShiftState, TPoint, uint32_t& Effect) { DrpTrgEnter(Effect); };
  DrpTrg->OnLeave = [this](TComponent*) { DrpTrgLeave(); };
  DrpTrg->OnDrop = [this](TComponent*, TShiftState, TPoint, uint32_t& Effect) { DrpTrgDrop(Effect); };
}

bool TFrmMain::DropRefused() const {
  if (RunActive() || FFileList->Locked()) return true;
  const TStringList& files = DrpTrg->Files();
  return files.Count() > 0 && LowerCase(ExtractFileExt(files.Strings(0))) == ".cda";
}

// The refusal is the effect of this drag alone: a drag type left off would also refuse
// the drags after a refused one that was dropped rather than taken away.
void TFrmMain::DrpTrgEnter(uint32_t& Effect) {
  if (DropRefused()) Effect = 0;
}

void TFrmMain::DrpTrgLeave() { DrpTrg->SetDragtypes(dtCopy); }

void TFrmMain::DrpTrgDrop(uint32_t& Effect) {
  if (DropRefused()) {
    Effect = 0;
    return;
  }
  if (!FFileList->AddFiles(Names(DrpTrg->Files()))) ShowNotAdded(FileReadErrorText, MB_ICONERROR);
  RefreshLists();
}
