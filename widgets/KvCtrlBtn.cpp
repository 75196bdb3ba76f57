#include "widgets/KvCtrlBtn.h"

#include <algorithm>

#include "widgets/KvGrafx.h"

TKvControlButton::TKvControlButton(TComponent* AOwner) : TGraphicControl(AOwner), FGlyph(std::make_unique<TBitmap>()) {
  SetControlStyle(csCaptureMouse);
  SetBounds(Left(), Top(), 17, 21);
  SetColor(clBtnFace);
  FGlyph->OnChange = [this](TComponent*) { GlyphChanged(); };
}

TKvControlButton::~TKvControlButton() = default;

void TKvControlButton::SetFlat(bool Value) {
  if (Value == FFlat) return;
  FFlat = Value;
  Repaint();
}

void TKvControlButton::SetGlyph(const TBitmap* Value) {
  if (Value)
    FGlyph->Assign(*Value);
  else
    FGlyph->SetSize(0, 0);
}

void TKvControlButton::GlyphChanged() {
  const int32_t W = FGlyph->Width(), H = FGlyph->Height();
  if (H != 0 && W % H == 0) {
    const int32_t N = W / H;
    FNumGlyphs = N >= 1 && N <= 4 ? N : 1;
  }
  Invalidate();
}

void TKvControlButton::SetNumGlyphs(int32_t Value) {
  Value = std::clamp(Value, 1, 4);
  if (Value == FNumGlyphs) return;
  FNumGlyphs = Value;
  Invalidate();
}

void TKvControlButton::SetStyle(TKvControlButtonStyle Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  Invalidate();
}

TSize TKvControlButton::GetGlyphSize() const {
  if (FGlyph->Empty()) return {0, 0};
  return {FGlyph->Width() / FNumGlyphs, FGlyph->Height()};
}

// ---------------------------------------------------------------------------
// Mouse and repeating

void TKvControlButton::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TGraphicControl::MouseDown(Button, Shift, X, Y);
  if (Button == mbLeft && Enabled()) {
    if (!FPressed) {
      FPressed = true;
      Invalidate();
    }
    FDragging = true;
  }
  if (FRepeatClicks) {
    if (!FRepeatTimer) {
      FRepeatTimer = new TTimer(this);
      FRepeatTimer->OnTimer = [this](TComponent*) { TimerExpired(); };
    }
    // From the start of the initial delay, however the timer stood.
    FRepeatTimer->SetEnabled(false);
    FRepeatTimer->SetInterval(FInitialDelay);
    FRepeatTimer->SetEnabled(true);
  }
}

void TKvControlButton::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TGraphicControl::MouseUp(Button, Shift, X, Y);
  if (FDragging) {
    FDragging = false;
    FPressed = false;
    FHot = false;
    Repaint();
    if (PtInRect(ClientRect(), {X, Y})) Click();
    if (FFlat && Enabled()) Perform(FindDragTarget(GetCursorPos(), true) == this ? CM_MOUSEENTER : CM_MOUSELEAVE);
  }
  StopRepeating();
}

void TKvControlButton::StopRepeating() {
  if (FRepeatTimer) FRepeatTimer->SetEnabled(false);
}

void TKvControlButton::TimerExpired() {
  FRepeatTimer->SetInterval(FDelay);
  if (!FPressed || !MouseCapture() || !Enabled()) return;
  try {
    Click();
  } catch (...) {
    StopRepeating();
    throw;
  }
}

void TKvControlButton::CMEnabledChanged() {
  TGraphicControl::CMEnabledChanged();
  // A button disabled while held (a spin button at its limit) lets go: no more clicks,
  // and the release it will not see must not leave it pressed.
  if (Enabled()) return;
  StopRepeating();
  FPressed = false;
  FDragging = false;
  if (MouseCapture()) SetMouseCapture(false);
}

void TKvControlButton::CMMouseEnter() {
  TGraphicControl::CMMouseEnter();
  FHot = true;
  if (FFlat) Repaint();
}

void TKvControlButton::CMMouseLeave() {
  TGraphicControl::CMMouseLeave();
  FHot = false;
  if (FFlat) Repaint();
}

// ---------------------------------------------------------------------------
// Painting

void TKvControlButton::Paint() {
  TRect R = ClientRect();
  switch (FStyle) {
    case cbsNone: {
      DrawGlyphFace(R);
      if (FGlyph->Empty()) break;
      TRect Room = R;
      InflateRect(Room, -1, -1);
      const TSize S = GetGlyphSize();
      TRect G = CenterSizeInRect(Room, S.cx, S.cy);
      if (FPressed) OffsetRect(G, 1, 1);
      DrawGlyph(G);
      break;
    }
    case cbsDropDown: DrawDropDownFace(R); break;
    default: DrawArrowFace(R); break;
  }
}

void TKvControlButton::PaintClassicFrame(TRect& R, TFrameStyleEx RaisedStyle) {
  TCanvas* C = Canvas();
  if (FFlat) {
    if (!Quiet()) R = PaintStyledFrameRect(C, R, FPressed ? fsStatus : fsPopup);
  } else {
    R = FPressed ? PaintOutlineBox(C, R, clBtnShadow) : PaintStyledFrameRect(C, R, RaisedStyle);
  }
}

void TKvControlButton::DrawGlyphFace(TRect& R) {
  PaintClassicFrame(R, fsRaised);
  FillSolidRect(Canvas(), R, FFlat ? Color() : TColor(clBtnFace));
}

void TKvControlButton::DrawArrowFace(TRect& R) {
  PaintClassicFrame(R, fsButtonUp);
  FillSolidRect(Canvas(), R, Color());
  int32_t Direction = 0;
  switch (FStyle) {
    case cbsDown: Direction = 1; break;
    case cbsLeft: Direction = 2; break;
    case cbsRight: Direction = 3; break;
    default: break;
  }
  PaintArrowButton(Canvas(), R, false, Enabled(), FPressed, Direction);
}

void TKvControlButton::DrawDropDownFace(TRect& R) {
  PaintClassicFrame(R, fsButtonUp);
  FillSolidRect(Canvas(), R, FFlat ? Color() : TColor(clBtnFace));
  PaintDropDownArrow(Canvas(), R, false, Enabled(), FPressed);
}

void TKvControlButton::DrawGlyph(const TRect& R) {
  int32_t Cell = 1;
  if (FNumGlyphs >= 3 && FPressed)
    Cell = 2;
  else if (FNumGlyphs < 2 || Enabled())
    Cell = 0;
  const int32_t W = R.Width(), H = R.Height();
  StretchDrawMasked(Canvas(), FGlyph.get(), R, FGlyph->TransparentColor(), Bounds(Cell * W, 0, W, H));
}
