#include "widgets/KvFrameController.h"

#include <algorithm>

TKvFrameController::TKvFrameController(TComponent* AOwner) : TComponent(AOwner) {}

TKvFrameController::~TKvFrameController() { SetRegIniFile(nullptr); }

void TKvFrameController::RegisterFramedControl(TControl* Control) {
  if (!Control || std::find(FControls.begin(), FControls.end(), Control) != FControls.end()) return;
  FControls.push_back(Control);
  UpdateControl(Control, fcpAll);
}

void TKvFrameController::UnregisterFramedControl(TControl* Control) {
  auto It = std::find(FControls.begin(), FControls.end(), Control);
  if (It != FControls.end()) FControls.erase(It);
}

void TKvFrameController::EndUpdate() {
  if (--FUpdateCount > 0) return;
  FUpdateCount = 0;
  UpdateControls(fcpAll);
}

void TKvFrameController::Loaded() {
  TComponent::Loaded();
  UpdateControls(fcpAll);
}

void TKvFrameController::Assign(const TPersistent& Source) {
  const auto* S = dynamic_cast<const TKvFrameController*>(&Source);
  if (!S) return TComponent::Assign(Source);
  BeginUpdate();
  // Colour first: its setter moves the focus colour and ends ParentColor, which the
  // later setters put right; FrameHotTrack before the frame sides and visibility.
  SetColor(S->FColor);
  SetFocusColor(S->FFocusColor);
  SetParentColor(S->FParentColor);
  SetDisabledColor(S->FDisabledColor);
  SetReadOnlyColor(S->FReadOnlyColor);
  SetReadOnlyColorOnFocus(S->FReadOnlyColorOnFocus);
  SetFlatButtonColor(S->FFlatButtonColor);
  SetFlatButtons(S->FFlatButtons);
  SetFrameColor(S->FFrameColor);
  SetFrameHotColor(S->FFrameHotColor);
  SetFrameHotTrack(S->FFrameHotTrack);
  SetFrameHotStyle(S->FFrameHotStyle);
  SetFrameSides(S->FFrameSides);
  SetFrameStyle(S->FFrameStyle);
  SetFrameVisible(S->FFrameVisible);
  SetFramingPreference(S->FFramingPreference);
  SetRegIniFile(S->FRegIniFile);
  EndUpdate();
}

void TKvFrameController::UpdateControls(TKvFrameControllerProperty Index) {
  if (FUpdateCount > 0) return;
  // A control may unregister while it is updated.
  const std::vector<TControl*> Snapshot = FControls;
  for (TControl* C : Snapshot)
    if (std::find(FControls.begin(), FControls.end(), C) != FControls.end()) UpdateControl(C, Index);
}

uint32_t TKvFrameController::SettingValue(TKvFrameControllerPropertyConnection Index) const {
  switch (Index) {
    case fcpColor: return FColor;
    case fcpFocusColor: return FFocusColor;
    case fcpDisabledColor: return FDisabledColor;
    case fcpReadOnlyColor: return FReadOnlyColor;
    case fcpReadOnlyColorOnFocus: return FReadOnlyColorOnFocus;
    case fcpParentColor: return FParentColor;
    case fcpFlatButtonColor: return FFlatButtonColor;
    case fcpFlatButtons: return FFlatButtons;
    case fcpFrameColor: return FFrameColor;
    case fcpFrameHotColor: return FFrameHotColor;
    case fcpFrameHotTrack: return FFrameHotTrack;
    case fcpFrameHotStyle: return FFrameHotStyle;
    case fcpFrameSides: return FFrameSides;
    case fcpFrameStyle: return FFrameStyle;
    case fcpFrameVisible: return FFrameVisible;
    case fcpFramingPreference: return FFramingPreference;
    default: return 0;
  }
}

void TKvFrameController::UpdateControl(TControl* Control, TKvFrameControllerProperty Index) {
  if (!Control) return;
  if (auto* N = dynamic_cast<IKvFrameControllerNotify*>(Control)) {
    N->FrameControllerChanged();
    return;
  }
  auto* F = dynamic_cast<IKvFramedControl*>(Control);
  if (!F) return;
  const TKvFrameControllerNotifications Admitted = F->FrameControllerNotifications();
  auto Push = [&](TKvFrameControllerProperty P) {
    if (Admitted & NotificationBit(P)) F->SetFrameSetting(P, SettingValue(P));
  };
  if (Index != fcpAll) return Push(Index);
  // Parent colour before the colour, which is not pushed while the parent's is used.
  Push(fcpParentColor);
  if (!FParentColor) Push(fcpColor);
  for (TKvFrameControllerProperty P :
       {fcpDisabledColor, fcpReadOnlyColor, fcpReadOnlyColorOnFocus, fcpFocusColor, fcpFlatButtonColor, fcpFlatButtons,
        fcpFrameColor, fcpFrameHotColor, fcpFrameHotTrack, fcpFrameHotStyle, fcpFrameSides, fcpFrameStyle,
        fcpFrameVisible, fcpFramingPreference})
    Push(P);
}

template <class T>
void TKvFrameController::Change(T& Field, T Value, TKvFrameControllerProperty Index) {
  if (Field == Value) return;
  Field = Value;
  UpdateControls(Index);
}

void TKvFrameController::SetColor(TColor Value) {
  if (Value == FColor) return;
  if (FFocusColor == FColor) FFocusColor = Value;
  FColor = Value;
  FParentColor = false;
  UpdateControls(fcpColor);
}

void TKvFrameController::SetParentColor(bool Value) {
  if (Value == FParentColor) return;
  FParentColor = Value;
  UpdateControls(fcpParentColor);
  if (!Value) UpdateControls(fcpColor);
}

void TKvFrameController::SetFlatButtonColor(TColor Value) { Change(FFlatButtonColor, Value, fcpFlatButtonColor); }
void TKvFrameController::SetFlatButtons(bool Value) { Change(FFlatButtons, Value, fcpFlatButtons); }
void TKvFrameController::SetDisabledColor(TColor Value) { Change(FDisabledColor, Value, fcpDisabledColor); }
void TKvFrameController::SetReadOnlyColor(TColor Value) { Change(FReadOnlyColor, Value, fcpReadOnlyColor); }
void TKvFrameController::SetReadOnlyColorOnFocus(bool Value) {
  Change(FReadOnlyColorOnFocus, Value, fcpReadOnlyColorOnFocus);
}
void TKvFrameController::SetFocusColor(TColor Value) { Change(FFocusColor, Value, fcpFocusColor); }
void TKvFrameController::SetFrameColor(TColor Value) { Change(FFrameColor, Value, fcpFrameColor); }
void TKvFrameController::SetFrameHotColor(TColor Value) { Change(FFrameHotColor, Value, fcpFrameHotColor); }

void TKvFrameController::SetFrameHotTrack(bool Value) {
  if (Value == FFrameHotTrack) return;
  FFrameHotTrack = Value;
  if (Value) {
    SetFrameVisible(true);
    if (!ComponentLoading(this)) SetFrameSides(sdsAll);
  }
  UpdateControls(fcpFrameHotTrack);
}

void TKvFrameController::SetFrameHotStyle(TFrameStyle Value) { Change(FFrameHotStyle, Value, fcpFrameHotStyle); }
void TKvFrameController::SetFrameSides(TSides Value) { Change(FFrameSides, TSides(Value & sdsAll), fcpFrameSides); }
void TKvFrameController::SetFrameStyle(TFrameStyle Value) { Change(FFrameStyle, Value, fcpFrameStyle); }
void TKvFrameController::SetFrameVisible(bool Value) { Change(FFrameVisible, Value, fcpFrameVisible); }
void TKvFrameController::SetFramingPreference(TFramingPreference Value) {
  Change(FFramingPreference, Value, fcpFramingPreference);
}

void TKvFrameController::SetRegIniFile(TKvRegIniFile* Value) {
  if (Value == FRegIniFile) return;
  if (FRegIniFile) FRegIniFile->RemoveFreeNotification(this);
  FRegIniFile = Value;
  if (Value) Value->FreeNotification(this);
}

void TKvFrameController::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FRegIniFile) FRegIniFile = nullptr;
}

TKvFrameControllerLink::~TKvFrameControllerLink() {
  if (FController) FController->UnregisterFramedControl(FControl);
}

void TKvFrameControllerLink::SetController(TKvFrameController* Value) {
  if (Value == FController) return;
  if (FController) {
    FController->UnregisterFramedControl(FControl);
    FController->RemoveFreeNotification(FControl);
  }
  FController = Value;
  if (Value) {
    Value->FreeNotification(FControl);
    Value->RegisterFramedControl(FControl);
  }
}

void TKvFrameControllerLink::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation == opRemove && AComponent == FController) FController = nullptr;
}

template <class T>
void TKvRegIniFile::Change(T& Field, const T& Value) {
  if (Field == Value) return;
  Field = Value;
  FRefreshNeeded = true;
}

void TKvRegIniFile::SetPath(const std::string& Value) { Change(FPath, Value); }
void TKvRegIniFile::SetPathType(TKvPathType Value) { Change(FPathType, Value); }
void TKvRegIniFile::SetRegKey(TKvRegKey Value) { Change(FRegKey, Value); }
void TKvRegIniFile::SetRegAccess(TKvRegAccess Value) { Change(FRegAccess, Value); }
