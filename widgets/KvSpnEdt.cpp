#include "widgets/KvSpnEdt.h"

// ---------------------------------------------------------------------------
// TKvButtonHolder

TKvButtonHolder::TKvButtonHolder(TComponent* AOwner) : TWinControl(AOwner) {
  SetControlStyle(ControlStyle() & ~(csAcceptsControls | csSetCaption));
  SetColor(clBtnFace);
  SetParentColor(true);
}

TKvControlButton* TKvButtonHolder::CreateButton() {
  auto* B = new TKvControlButton(this);
  B->SetParent(this);
  B->SetColor(Color());
  B->SetFlat(FFlat);
  B->OnClick = [this, B](TComponent*) {
    if (!FAbandoned) ButtonClick(B);
  };
  B->OnMouseDown = [this](TComponent*, TMouseButton Button, TShiftState, int32_t, int32_t) {
    ButtonMouseDown(Button);
  };
  FButtons.push_back(B);
  return B;
}

bool TKvButtonHolder::Focus(TWinControl* Target) {
  Target->SetFocus();
  return Target->Focused();
}

void TKvButtonHolder::ButtonMouseDown(TMouseButton Button) {
  if (Button != mbLeft) return;
  const auto Wants = [](TWinControl* C) { return C && C->TabStop() && C->CanFocus() && !C->Focused(); };
  FAbandoned = false;
  if (Wants(FFocusControl))
    FAbandoned = !Focus(FFocusControl);
  else if (Wants(this))
    FAbandoned = !Focus(this);
}

void TKvButtonHolder::SetFocusControl(TWinControl* Value) {
  if (Value == FFocusControl) return;
  if (FFocusControl) FFocusControl->RemoveFreeNotification(this);
  FFocusControl = Value;
  if (Value) Value->FreeNotification(this);
}

void TKvButtonHolder::Notification(TComponent* AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == FFocusControl) FFocusControl = nullptr;
  std::erase(FButtons, AComponent);
}

void TKvButtonHolder::SetFlat(bool Value) {
  if (Value == FFlat) return;
  FFlat = Value;
  for (TKvControlButton* B : FButtons) B->SetFlat(Value);
}

void TKvButtonHolder::CMColorChanged() {
  TWinControl::CMColorChanged();
  for (TKvControlButton* B : FButtons) B->SetColor(Color());
}

void TKvButtonHolder::CMEnabledChanged() {
  TWinControl::CMEnabledChanged();
  for (TKvControlButton* B : FButtons) B->SetEnabled(Enabled());
}

// ---------------------------------------------------------------------------
// TKvSpinButtons

TKvSpinButtons::TKvSpinButtons(TComponent* AOwner)
    : TKvButtonHolder(AOwner), FUpRight(CreateButton()), FDownLeft(CreateButton()) {
  for (TKvControlButton* B : {FUpRight, FDownLeft}) {
    B->SetRepeatClicks(true);
    B->SetNumGlyphs(2);
  }
  SetButtonGlyph(FUpRight, nullptr, true);
  SetButtonGlyph(FDownLeft, nullptr, false);
  SetBounds(Left(), Top(), 16, 25);
}

void TKvSpinButtons::Loaded() {
  TKvButtonHolder::Loaded();
  LayOut(Width(), Height());
}

void TKvSpinButtons::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
  TKvButtonHolder::SetBounds(ALeft, ATop, AWidth, AHeight);
  if (!Loading()) LayOut(Width(), Height());
}

void TKvSpinButtons::LayOut(int32_t Width, int32_t Height) {
  if (FOrientation == orVertical) {
    const int32_t Half = Height / 2;
    FUpRight->SetBounds(0, 0, Width, Half);
    FDownLeft->SetBounds(0, Half, Width, Height - Half);
  } else {
    const int32_t Half = Width / 2;
    FDownLeft->SetBounds(0, 0, Half, Height);
    FUpRight->SetBounds(Half, 0, Width - Half, Height);
  }
}

void TKvSpinButtons::SetButtonGlyph(TKvControlButton* Button, const TBitmap* Value, bool UpRight) {
  if (Value && !Value->Empty()) {
    Button->SetGlyph(Value);
    Button->SetStyle(cbsNone);
    return;
  }
  Button->SetGlyph(nullptr);
  if (FDirection == sdUpDown)
    Button->SetStyle(UpRight ? cbsUp : cbsDown);
  else
    Button->SetStyle(UpRight ? cbsRight : cbsLeft);
}

void TKvSpinButtons::SetDirection(TSpinDirection Value) {
  if (Value == FDirection) return;
  FDirection = Value;
  SetGlyphUpRight(nullptr);
  SetGlyphDownLeft(nullptr);
  Invalidate();
}

void TKvSpinButtons::SetOrientation(TOrientation Value) {
  if (Value == FOrientation) return;
  FOrientation = Value;
  if (!Loading()) SetWidth(Value == orVertical ? Width() / 2 : Width() * 2);
  LayOut(Width(), Height());
  Invalidate();
}

void TKvSpinButtons::SetDelay(uint16_t Value) {
  FUpRight->SetDelay(Value);
  FDownLeft->SetDelay(Value);
}

void TKvSpinButtons::SetInitialDelay(uint16_t Value) {
  FUpRight->SetInitialDelay(Value);
  FDownLeft->SetInitialDelay(Value);
}

void TKvSpinButtons::ButtonClick(TKvControlButton* Sender) {
  if (Sender == FUpRight)
    UpRightClick();
  else
    DownLeftClick();
}

void TKvSpinButtons::UpRightClick() {
  if (OnUpRightClick) OnUpRightClick(this);
}

void TKvSpinButtons::DownLeftClick() {
  if (OnDownLeftClick) OnDownLeftClick(this);
}

void TKvSpinButtons::KeyDown(uint16_t& Key, TShiftState Shift) {
  if (Key == VK_UP)
    UpRightClick();
  else if (Key == VK_DOWN)
    DownLeftClick();
  TKvButtonHolder::KeyDown(Key, Shift);
}
