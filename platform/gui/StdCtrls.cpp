#include "platform/gui/StdCtrls.h"

namespace {
constexpr uint32_t Alignments[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
}  // namespace

TCustomLabel::TCustomLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
  SetControlStyle(ControlStyle() | csOpaque | csReplicatable);
  SetBounds(0, 0, 65, 17);
  SetAutoSize(true);
}

void TCustomLabel::SetAlignment(TAlignment Value) {
  if (Value == FAlignment) return;
  FAlignment = Value;
  Invalidate();
}

void TCustomLabel::SetLayout(TTextLayout Value) {
  if (Value == FLayout) return;
  FLayout = Value;
  Invalidate();
}

void TCustomLabel::SetWordWrap(bool Value) {
  if (Value == FWordWrap) return;
  FWordWrap = Value;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetShowAccelChar(bool Value) {
  if (Value == FShowAccelChar) return;
  FShowAccelChar = Value;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetTransparent(bool Value) {
  if (Value == Transparent()) return;
  SetControlStyle(Value ? ControlStyle() & ~csOpaque : ControlStyle() | csOpaque);
  Invalidate();
}

void TCustomLabel::SetFocusControl(TWinControl* Value) {
  if (FFocusControl) FFocusControl->RemoveFreeNotification(this);
  FFocusControl = Value;
  if (Value) Value->FreeNotification(this);
}

void TCustomLabel::Notification(TComponent* AComponent, TOperation Operation) {
  TGraphicControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FFocusControl) FFocusControl = nullptr;
}

void TCustomLabel::SetAutoSize(bool Value) {
  TGraphicControl::SetAutoSize(Value);
  AdjustBounds();
}

void TCustomLabel::Loaded() {
  TGraphicControl::Loaded();
  AdjustBounds();
}

void TCustomLabel::CMTextChanged() {
  Invalidate();
  AdjustBounds();
}

void TCustomLabel::CMFontChanged() {
  TGraphicControl::CMFontChanged();
  AdjustBounds();
}

bool TCustomLabel::CMDialogChar(char32_t Char, TShiftState) {
  if (!FFocusControl || !Enabled() || !FShowAccelChar || !IsAccel(Char, Caption()) || !FFocusControl->CanFocus())
    return false;
  FFocusControl->SetFocus();
  return true;
}

void TCustomLabel::DoDrawText(TRect& Rect, uint32_t Flags) {
  std::string Text = GetLabelText();
  // An empty caption (or a lone accelerator mark) still measures one line.
  if ((Flags & DT_CALCRECT) && (Text.empty() || (FShowAccelChar && Text == "&"))) Text += ' ';
  if (!FShowAccelChar) Flags |= DT_NOPREFIX;
  Flags = DrawTextBiDiModeFlags(Flags);
  TCanvas* C = Canvas();
  C->SetFont(Font());
  if (!Enabled() && !(Flags & DT_CALCRECT)) {
    OffsetRect(Rect, 1, 1);
    C->Font()->SetColor(clBtnHighlight);
    C->DrawText(Text, Rect, Flags);
    OffsetRect(Rect, -1, -1);
    C->Font()->SetColor(clBtnShadow);
  }
  C->DrawText(Text, Rect, Flags);
}

void TCustomLabel::AdjustBounds() {
  if (Loading() || !AutoSize()) return;
  TRect R = ClientRect();
  DoDrawText(R, DT_EXPANDTABS | DT_CALCRECT | (FWordWrap ? uint32_t(DT_WORDBREAK) : 0u));
  int32_t X = Left();
  TAlignment A = FAlignment;
  if (UseRightToLeftAlignment() && A != taCenter) A = A == taLeftJustify ? taRightJustify : taLeftJustify;
  if (A == taRightJustify) X += Width() - R.Right;
  SetBounds(X, Top(), R.Right, R.Bottom);
}

void TCustomLabel::Paint() {
  TCanvas* C = Canvas();
  if (!Transparent()) {
    C->Brush()->SetColor(Color());
    C->Brush()->SetStyle(bsSolid);
    C->FillRect(ClientRect());
  }
  C->Brush()->SetStyle(bsClear);
  TRect R = ClientRect();
  const uint32_t Style = DT_EXPANDTABS | (FWordWrap ? uint32_t(DT_WORDBREAK) : 0u) | Alignments[FAlignment];
  if (FLayout != tlTop) {
    TRect Calc = R;
    DoDrawText(Calc, Style | DT_CALCRECT);
    OffsetRect(R, 0, FLayout == tlBottom ? Height() - Calc.Bottom : (Height() - Calc.Bottom) / 2);
  }
  DoDrawText(R, Style);
}
