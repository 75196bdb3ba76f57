#include "dragdrop/DropTarget.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "platform/gui/Clipboard.h"
#include "platform/gui/ExtCtrls.h"

namespace {

constexpr uint32_t DropEffects = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;

uint32_t EffectsOfDragTypes(TDragTypes Types) {
  uint32_t E = 0;
  if (Types & dtCopy) E |= DROPEFFECT_COPY;
  if (Types & dtMove) E |= DROPEFFECT_MOVE;
  if (Types & dtLink) E |= DROPEFFECT_LINK;
  return E;
}

// What the source is told: a copy, whatever the effect (see the header).
uint32_t AnswerToSource(uint32_t Effect) { return (Effect & DropEffects) ? DROPEFFECT_COPY : DROPEFFECT_NONE; }

// Makes DataObject readable for the length of one of the drag's events, or of a paste.
class TDataObjectScope {
public:
  TDataObjectScope(const IDataObject*& Field, const IDataObject* Value) : FField(Field), FOld(Field) {
    FField = Value;
  }
  ~TDataObjectScope() { FField = FOld; }
  TDataObjectScope(const TDataObjectScope&) = delete;
  TDataObjectScope& operator=(const TDataObjectScope&) = delete;

private:
  const IDataObject*& FField;
  const IDataObject* FOld;
};

// What GNOME's file managers put beside the files they copy or cut: "copy" or "cut" on
// the first line, then the files.
constexpr const char* GnomeCopiedFiles = "x-special/gnome-copied-files";

}  // namespace

TCustomDropTarget::TCustomDropTarget(TComponent* AOwner)
    : TDragDropComponent(AOwner), FScrollTimer(new TTimer(this)) {
  FScrollTimer->SetEnabled(false);
  FScrollTimer->OnTimer = [this](TComponent* Sender) { ScrollTimerTick(Sender); };
}

TCustomDropTarget::~TCustomDropTarget() = default;

void TCustomDropTarget::BeforeDestruction() {
  Unregister(nullptr);
  TDragDropComponent::BeforeDestruction();
}

// ---------------------------------------------------------------------------
// Registration

TWinControl* TCustomDropTarget::Target() const {
  if (FCurrentTarget) return FCurrentTarget;
  return FTargets.empty() ? nullptr : FTargets.front();
}

void TCustomDropTarget::SetTarget(TWinControl* Value) {
  if (Value == Target()) return;
  if (FMultiTarget && !ComponentLoading(this)) Unregister(nullptr);
  Register(Value);
}

void TCustomDropTarget::Register(TWinControl* ATarget) {
  if (ATarget && std::find(FTargets.begin(), FTargets.end(), ATarget) != FTargets.end()) return;
  if (!FMultiTarget && !ComponentLoading(this)) Unregister(nullptr);
  if (!ATarget) return;
  // Directly after the last registered ancestor, so that FindTarget meets the inner
  // control first when walking the list backwards.
  auto Pos = FTargets.end();
  for (auto It = FTargets.rbegin(); It != FTargets.rend(); ++It)
    if (*It != ATarget && (*It)->ContainsControl(ATarget)) {
      Pos = It.base();
      break;
    }
  FSites.push_back(std::make_unique<TDropSite>(ATarget, static_cast<IDropSiteHandler*>(this)));
  FTargets.insert(Pos, ATarget);
  FreeNotification(ATarget);
}

void TCustomDropTarget::Unregister(TWinControl* ATarget) {
  if (!ATarget) {
    while (!FTargets.empty()) Unregister(FTargets.back());
    return;
  }
  const auto It = std::find(FTargets.begin(), FTargets.end(), ATarget);
  if (It == FTargets.end()) return;
  if (FCurrentTarget == ATarget) {
    FCurrentTarget = nullptr;
    FDragAccepted = false;
    FScrollTimer->SetEnabled(false);
  }
  FTargets.erase(It);
  std::erase_if(FSites, [&](const std::unique_ptr<TDropSite>& S) { return S->Control() == ATarget; });
  RemoveFreeNotification(ATarget);
}

void TCustomDropTarget::Notification(TComponent* AComponent, TOperation Operation) {
  TDragDropComponent::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (auto* Control = dynamic_cast<TWinControl*>(AComponent)) Unregister(Control);
}

TDropSite* TCustomDropTarget::SiteOf(const TWinControl* Control) const {
  for (const auto& S : FSites)
    if (S->Control() == Control) return S.get();
  return nullptr;
}

TWinControl* TCustomDropTarget::FindTarget(TWinControl* Control) const {
  for (; Control; Control = Control->Parent())
    if (std::find(FTargets.begin(), FTargets.end(), Control) != FTargets.end()) return Control;
  return nullptr;
}

// ---------------------------------------------------------------------------
// The drag

uint32_t TCustomDropTarget::GetValidDropEffect(TShiftState ShiftState, TPoint Point, uint32_t Offered) {
  const uint32_t Allowed = EffectsOfDragTypes(FDragtypes) & Offered;
  uint32_t Effect;
  if ((ShiftState & ssShift) && (ShiftState & ssCtrl))
    Effect = Allowed & DROPEFFECT_LINK;
  else if (ShiftState & ssCtrl)
    Effect = Allowed & DROPEFFECT_COPY;
  else
    Effect = Allowed & DROPEFFECT_MOVE;
  if (Effect == 0)
    for (uint32_t E : {DROPEFFECT_COPY, DROPEFFECT_MOVE, DROPEFFECT_LINK})
      if (Allowed & E) {
        Effect = E;
        break;
      }
  if (FAutoScroll && FScrollBars != 0) {
    if (PtInRect(FScrollZone, Point))
      Effect &= ~DROPEFFECT_SCROLL;
    else
      Effect |= DROPEFFECT_SCROLL;
  }
  if (OnGetDropEffect) OnGetDropEffect(this, ShiftState, Point, Effect);
  return Effect;
}

bool TCustomDropTarget::GetData() {
  ClearData();
  return DoGetData();
}

uint32_t TCustomDropTarget::SiteDragEnter(TDropSite* Site, const TDragInfo& Info) {
  const TDataObjectScope Scope(FDataObject, Info.DataObject);
  ClearData();
  FScrollTimer->SetEnabled(false);
  FDragAccepted = false;
  return DragEnter(Site, Info);
}

uint32_t TCustomDropTarget::DragEnter(TDropSite* Site, const TDragInfo& Info) {
  // Qt sends a drag only to a registered control; should none be found, this drag
  // alone is refused.
  FCurrentTarget = FindTarget(Site->Control());
  if (!FCurrentTarget) return DROPEFFECT_NONE;
  FLastPoint = Info.Point;
  if (!HasValidFormats(*Info.DataObject)) return DROPEFFECT_NONE;

  FScrollBars = 0;
  if (FAutoScroll) {
    const TDropSite* TargetSite = SiteOf(FCurrentTarget);
    FScrollBars = TargetSite->ScrollBars();
    FScrollZone = TargetSite->ClientRect();
    const int32_t Inset = TargetSite->ScrollBarSize();
    if (FScrollBars & dsbVertical) InflateRect(FScrollZone, 0, -Inset);
    if (FScrollBars & dsbHorizontal) InflateRect(FScrollZone, -Inset, 0);
  }
  if (FGetDataOnEnter && !GetData()) return DROPEFFECT_NONE;

  uint32_t Effect = GetValidDropEffect(Info.Shift, FLastPoint, Info.Offered);
  DoEnter(Info.Shift, FLastPoint, Effect);
  // Taken only once OnEnter has agreed (an exception there refuses the drag too).
  FDragAccepted = Effect != 0;
  return AnswerToSource(Effect);
}

uint32_t TCustomDropTarget::SiteDragOver(TDropSite*, const TDragInfo& Info) {
  const TDataObjectScope Scope(FDataObject, Info.DataObject);
  if (!FCurrentTarget) return DROPEFFECT_NONE;
  if (!FDragAccepted) {
    FLastPoint = Info.Point;
    return DROPEFFECT_NONE;
  }
  uint32_t Effect = GetValidDropEffect(Info.Shift, Info.Point, Info.Offered);
  DoDragOver(Info.Shift, Info.Point, Effect);
  if ((Effect & DROPEFFECT_SCROLL) && !FScrollTimer->Enabled()) StartScrollTimer(DragDropScrollDelay);
  FLastPoint = Info.Point;
  return AnswerToSource(Effect);
}

void TCustomDropTarget::SiteDragLeave(TDropSite*) {
  try {
    ClearData();
    FScrollTimer->SetEnabled(false);
    FDragAccepted = false;
    DoLeave();
  } catch (...) {
    FCurrentTarget = nullptr;
    throw;
  }
  FCurrentTarget = nullptr;
}

uint32_t TCustomDropTarget::SiteDrop(TDropSite*, const TDragInfo& Info) {
  const TDataObjectScope Scope(FDataObject, Info.DataObject);
  FScrollTimer->SetEnabled(false);
  uint32_t Result;
  try {
    Result = Drop(Info);
  } catch (...) {
    EndDrag();
    throw;
  }
  EndDrag();
  return Result;
}

uint32_t TCustomDropTarget::Drop(const TDragInfo& Info) {
  if (!FDragAccepted) return DROPEFFECT_NONE;
  uint32_t Effect = GetValidDropEffect(Info.Shift, Info.Point, Info.Offered);
  if (!FGetDataOnEnter && !GetData()) return DROPEFFECT_NONE;
  DoDrop(Info.Shift, Info.Point, Effect);
  return AnswerToSource(Effect);
}

// After a drop, also one that failed: the data goes, the drag is over.
void TCustomDropTarget::EndDrag() {
  FDragAccepted = false;
  FCurrentTarget = nullptr;
  ClearData();
}

void TCustomDropTarget::DoEnter(TShiftState ShiftState, TPoint Point, uint32_t& Effect) {
  if (OnEnter) OnEnter(this, ShiftState, Point, Effect);
}

void TCustomDropTarget::DoDragOver(TShiftState ShiftState, TPoint Point, uint32_t& Effect) {
  if (OnDragOver) OnDragOver(this, ShiftState, Point, Effect);
}

void TCustomDropTarget::DoDrop(TShiftState ShiftState, TPoint Point, uint32_t& Effect) {
  if (OnDrop) OnDrop(this, ShiftState, Point, Effect);
  if (FOptimizedMove && (Effect & DROPEFFECT_MOVE)) Effect = (Effect & ~DROPEFFECT_MOVE) | DROPEFFECT_COPY;
}

void TCustomDropTarget::DoLeave() {
  if (OnLeave) OnLeave(this);
}

void TCustomDropTarget::DoScroll(TPoint Point, TScrolDirections& Scroll, int32_t& Interval) {
  if (OnScroll) OnScroll(this, Point, Scroll, Interval);
}

// ---------------------------------------------------------------------------
// Pasting

uint32_t TCustomDropTarget::PasteFromClipboard() {
  const std::unique_ptr<TMimeDataObject> Data = Clipboard().DataObject();
  const TDataObjectScope Scope(FDataObject, Data.get());
  uint32_t Effect = GetPreferredDropEffect();
  if (Effect == DROPEFFECT_NONE) Effect = DROPEFFECT_COPY;
  if (!GetData()) return DROPEFFECT_NONE;
  DoPaste(Effect);
  return Effect;
}

void TCustomDropTarget::DoPaste(uint32_t& Effect) {
  DoDrop(0, TPoint{0, 0}, Effect);
  if (Effect != DROPEFFECT_NONE) SetPasteSucceeded(Effect);
}

uint32_t TCustomDropTarget::GetPreferredDropEffect() const {
  std::string Note;
  if (!FDataObject || !FDataObject->GetData(GnomeCopiedFiles, Note)) return DROPEFFECT_NONE;
  std::string_view Line = std::string_view(Note).substr(0, Note.find('\n'));
  if (Line.ends_with('\r')) Line.remove_suffix(1);
  if (Line == "cut") return DROPEFFECT_MOVE;
  if (Line == "copy") return DROPEFFECT_COPY;
  return DROPEFFECT_NONE;
}

void TCustomDropTarget::SetPasteSucceeded(uint32_t) {}

void TCustomDropTarget::Assign(const TPersistent& Source) {
  if (dynamic_cast<const TClipboard*>(&Source)) {
    PasteFromClipboard();
    return;
  }
  if (const auto* Data = dynamic_cast<const IDataObject*>(&Source)) {
    const TDataObjectScope Scope(FDataObject, Data);
    if (GetData()) return;
  }
  TDragDropComponent::Assign(Source);
}

// ---------------------------------------------------------------------------
// Auto-scroll

void TCustomDropTarget::StartScrollTimer(uint32_t Interval) {
  FScrollTimer->SetEnabled(false);
  FScrollTimer->SetInterval(Interval);
  FScrollTimer->SetEnabled(true);
}

void TCustomDropTarget::ScrollTimerTick(TComponent*) {
  FScrollTimer->SetEnabled(false);
  TDropSite* Site = SiteOf(FCurrentTarget);
  if (!Site) return;
  int32_t Interval = static_cast<int32_t>(DragDropScrollInterval);
  TScrolDirections Scroll = 0;
  if (!PtInRect(FScrollZone, FLastPoint)) {
    if (FLastPoint.Y < FScrollZone.Top)
      Scroll |= sdUp;
    else if (FLastPoint.Y >= FScrollZone.Bottom)
      Scroll |= sdDown;
    if (FLastPoint.X < FScrollZone.Left)
      Scroll |= sdLeft;
    else if (FLastPoint.X >= FScrollZone.Right)
      Scroll |= sdRight;
  }
  DoScroll(FLastPoint, Scroll, Interval);
  if (Scroll == 0) return;
  if (Scroll & (sdUp | sdDown)) Site->ScrollLine(true, (Scroll & sdUp) == 0);
  if (Scroll & (sdLeft | sdRight)) Site->ScrollLine(false, (Scroll & sdLeft) == 0);
  StartScrollTimer(static_cast<uint32_t>(std::max(Interval, 0)));
}

// ---------------------------------------------------------------------------
// TCustomDropMultiTarget

TCustomDropMultiTarget::TCustomDropMultiTarget(TComponent* AOwner) : TCustomDropTarget(AOwner) {
  SetDragtypes(dtCopy | dtLink);
  SetGetDataOnEnter(false);
  FDataFormats = std::make_unique<TDataFormats>();
}

TCustomDropMultiTarget::~TCustomDropMultiTarget() {
  // Each data format leaves the list as it goes.
  while (FDataFormats->Count() > 0) delete FDataFormats->Formats(FDataFormats->Count() - 1);
}

bool TCustomDropMultiTarget::HasValidFormats(const IDataObject& DataObject) {
  for (const std::string& Format : DataObject.Formats())
    for (int32_t I = 0; I < FDataFormats->Count(); ++I) {
      TCustomDataFormat* DataFormat = FDataFormats->Formats(I);
      if (!DataFormat->AcceptFormat(Format) || !DataFormat->HasValidFormats(DataObject)) continue;
      bool Accept = true;
      DoAcceptFormat(DataFormat, Accept);
      if (Accept) return true;
    }
  return false;
}

bool TCustomDropMultiTarget::DoGetData() {
  if (!DataObject()) return false;  // outside the drag's events
  bool Result = false;
  for (int32_t I = 0; I < FDataFormats->Count(); ++I) {
    TCustomDataFormat* DataFormat = FDataFormats->Formats(I);
    if (!DataFormat->HasValidFormats(*DataObject())) continue;
    bool Accept = true;
    DoAcceptFormat(DataFormat, Accept);
    if (Accept && DataFormat->GetData(*DataObject())) Result = true;
  }
  return Result;
}

void TCustomDropMultiTarget::ClearData() {
  for (int32_t I = 0; I < FDataFormats->Count(); ++I) FDataFormats->Formats(I)->Clear();
}

void TCustomDropMultiTarget::DoAcceptFormat(TCustomDataFormat* DataFormat, bool& Accept) {
  if (OnAcceptFormat) OnAcceptFormat(this, DataFormat, Accept);
}
