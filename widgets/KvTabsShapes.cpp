// The tab control's shapes: layout coordinates mapped onto the control, tab polygons and
// their regions, the tab under a point, single-row scrolling, and the scroller, close
// button and menu button on the strip.
#include <algorithm>

#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Menus.h"
#include "widgets/KvGrafx.h"
#include "widgets/KvTabs.h"

namespace {

// The selected round tab grows by this much at both ends and outwards.
constexpr int32_t RoundGrowth = 2;

TRect Normalized(TPoint A, TPoint B) {
  return Rect(std::min(A.X, B.X), std::min(A.Y, B.Y), std::max(A.X, B.X), std::max(A.Y, B.Y));
}

template <class T>
T* NewSmallControl(TKvCustomTabControl* TabControl, TColor Frame) {
  auto* C = new T(TabControl, TabControl);
  C->SetFrameColor(Frame);
  C->SetParent(TabControl);
  return C;
}

}  // namespace

// ---------------------------------------------------------------------------
// Mapping

int32_t TKvCustomTabControl::Offset() const {
  if (FFirstShown < 0 || FFirstShown >= TabCount()) return 0;
  const TRect& R = FTabs.Items(FFirstShown)->TabRect;
  const int32_t Lead = FMargin + (FTabStyle == tsRoundCorners ? RoundGrowth : 0);
  return FTabSequence == tsStandard ? R.Left - Lead : R.Right + Lead;
}

TPoint TKvCustomTabControl::MapPoint(int32_t X, int32_t Y) const {
  const TRect S = StripRect();
  const int32_t O = Offset();
  const bool Standard = FTabSequence == tsStandard;
  switch (FTabOrientation) {
    case toTop: return Standard ? Point(S.Left + X - O, S.Top + Y) : Point(S.Right - (O - X), S.Top + Y);
    case toLeft: return Standard ? Point(S.Left + Y, S.Bottom - (X - O)) : Point(S.Left + Y, S.Top + O - X);
    case toBottom: return Standard ? Point(S.Left + X - O, S.Bottom - Y) : Point(S.Right - (O - X), S.Bottom - Y);
    case toRight: return Standard ? Point(S.Right - Y, S.Top + X - O) : Point(S.Right - Y, S.Bottom - (O - X));
  }
  return {};
}

// The tab's rectangle in layout coordinates as drawn: moved along by its row's indent,
// a selected round tab grown.
TRect TKvCustomTabControl::LayoutTabRect(int32_t Index) const {
  const TKvTabData* Tab = FTabs.Items(Index);
  TRect R = Tab->TabRect;
  OffsetRect(R, (FTabSequence == tsStandard ? 1 : -1) * Tab->Row * FRowIndent, 0);
  if (FTabStyle == tsRoundCorners && Index == FTabIndex) {
    R.Left -= RoundGrowth;
    R.Right += RoundGrowth;
    R.Top -= RoundGrowth;
  }
  return R;
}

TRect TKvCustomTabControl::TabControlRect(int32_t Index) const {
  const TRect R = LayoutTabRect(Index);
  return Normalized(MapPoint(R.Left, R.Top), MapPoint(R.Right, R.Bottom));
}

std::vector<TPoint> TKvCustomTabControl::TabPolygon(int32_t Index) const {
  const TRect R = LayoutTabRect(Index);
  const int32_t L = R.Left, T = R.Top, Rt = R.Right, B = R.Bottom, H = B - T, C = FCutCornerSize;
  std::vector<TPoint> P;
  switch (FTabStyle) {
    case tsSingleSlant:
      if (FSoftCorners)
        P = {{L, B}, {L, T + 2}, {L + 2, T}, {Rt - H - 4, T}, {Rt - H + 2, T + 2}, {Rt, B}};
      else
        P = {{L, B}, {L, T + 2}, {L + 2, T}, {Rt - H, T}, {Rt, B}};
      break;
    case tsDoubleSlant:
      if (FSoftCorners)
        P = {{L, B}, {L + H - 2, T + 2}, {L + H + 4, T}, {Rt - H - 4, T}, {Rt - H + 2, T + 2}, {Rt, B}};
      else
        P = {{L, B}, {L + H, T}, {Rt - H, T}, {Rt, B}};
      break;
    case tsCutCorner: P = {{L, B}, {L, T}, {Rt - C, T}, {Rt, T + C}, {Rt, B}}; break;
    case tsRoundCorners: P = {{L, B}, {L, T + 2}, {L + 2, T}, {Rt - 2, T}, {Rt, T + 2}, {Rt, B}}; break;
    case tsBackSlant:
      if (FSoftCorners)
        P = {{L, B}, {L + H - 2, T + 2}, {L + H + 4, T}, {Rt - 2, T}, {Rt, T + 2}, {Rt, B}};
      else
        P = {{L, B}, {L + H, T}, {Rt - 2, T}, {Rt, T + 2}, {Rt, B}};
      break;
  }
  for (TPoint& Pt : P) Pt = MapPoint(Pt.X, Pt.Y);
  return P;
}

TRegion TKvCustomTabControl::TabRegion(int32_t Index) {
  const TRect R = TabControlRect(Index);
  if (const TRegion* Cached = FRegionCache.Find(R)) return *Cached;
  const std::vector<TPoint> P = TabPolygon(Index);
  return *FRegionCache.Insert(R, P.size() >= 3 ? TRegion(P, ALTERNATE) : TRegion());
}

// The selected tab lies on top; the others are tried from the first shown one on.
int32_t TKvCustomTabControl::TabAtPos(const TPoint& P) {
  EnsureLayout();
  const int32_t N = TabCount();
  if (N == 0) return -1;
  auto Hit = [&](int32_t I) {
    return TabInView(I) && PtInRect(TabControlRect(I), P) && TabRegion(I).Contains(P.X, P.Y);
  };
  if (FTabIndex >= 0 && FTabIndex < N && Hit(FTabIndex)) return FTabIndex;
  const int32_t Start = std::max(FFirstShown, 0);
  for (int32_t K = 0; K < N; ++K) {
    const int32_t I = (Start + K) % N;
    if (I != FTabIndex && Hit(I)) return I;
  }
  return -1;
}

// ---------------------------------------------------------------------------
// Scrolling

int32_t TKvCustomTabControl::ButtonReserve(bool Shown) const {
  return Shown && TabCount() > 0 ? SmallControlSize() + 2 : 0;
}

int32_t TKvCustomTabControl::MeasureSmallControlSize() const {
  TCanvas Measure;
  SetTabFont(&Measure, false);
  const int32_t S = Measure.TextHeight("A") + (VerticalText() ? 2 : 4);
  const bool Fixed = HorizontalStrip() ? !VerticalText() && FTabHeight >= 1 : VerticalText() && FTabWidth >= 1;
  return Fixed ? std::max(S, FFixedDimension - 2) : std::min(S, FFixedDimension - 2);
}

bool TKvCustomTabControl::TabInView(int32_t Index) const {
  if (Index < 0 || Index >= TabCount() || !FTabs.Items(Index)->Visible) return false;
  if (!FScrollNeeded) return true;
  const int32_t O = Offset();
  const TRect& R = FTabs.Items(Index)->TabRect;
  const int32_t Available = StripLength() - 2 * SmallControlSize() - 2 * FMargin - ButtonReserve();
  if (FTabSequence == tsStandard) return O <= R.Left && R.Right - O <= Available;
  return O >= R.Right && O - R.Left <= Available;
}

bool TKvCustomTabControl::CanScrollForward() const {
  return FScrollNeeded && FFirstShown < TabCount() - 1 && !TabInView(LastVisible());
}

bool TKvCustomTabControl::CanScrollBack() const {
  return FScrollNeeded && FFirstShown > 0 && !TabInView(FirstVisible());
}

void TKvCustomTabControl::ScrollForward() {
  if (!CanScrollForward()) return;
  int32_t Next = FFirstShown + 1;
  while (Next < TabCount() && !FTabs.Items(Next)->Visible) ++Next;
  if (Next >= TabCount()) return;
  FFirstShown = Next;
  Invalidate();
  if (FScroller) FScroller->Invalidate();
}

void TKvCustomTabControl::ScrollBack() {
  if (!CanScrollBack()) return;
  int32_t Previous = FFirstShown - 1;
  while (Previous >= 0 && !FTabs.Items(Previous)->Visible) --Previous;
  if (Previous < 0) return;
  FFirstShown = Previous;
  Invalidate();
  if (FScroller) FScroller->Invalidate();
}

// Which way the scroller's up/right arrow scrolls: towards the end of the row where the
// tabs run right or up, back where they run left or down.
bool TKvCustomTabControl::ScrollsForward(bool UpRight) const {
  const bool Forward = (FTabOrientation != toRight) == (FTabSequence == tsStandard);
  return UpRight ? Forward : !Forward;
}

void TKvCustomTabControl::ScrollerUpRight(TComponent*) { ScrollsForward(true) ? ScrollForward() : ScrollBack(); }
void TKvCustomTabControl::ScrollerDownLeft(TComponent*) { ScrollsForward(false) ? ScrollForward() : ScrollBack(); }

void TKvCustomTabControl::CloseButtonClose(TComponent*) {
  if (FTabIndex < 0) return;
  bool AllowClose = false;
  if (OnClose) OnClose(this, AllowClose);
  if (AllowClose) CloseSelectedTab();
}

// The close button nearest the end of the strip, then the menu button, then the
// scroller; a scroller not needed waits out of sight.
void TKvCustomTabControl::PlaceSmallControls() {
  if (Loading() || Destroying()) return;
  const TRect S = StripRect();
  const int32_t Size = SmallControlSize(), M = FMargin;
  const bool Standard = FTabSequence == tsStandard;
  auto Place = [&](TControl* C, int32_t W, int32_t H, int32_t Before) {
    int32_t X = 0, Y = 0;
    switch (FTabOrientation) {
      case toTop:
        X = Standard ? S.Right - W - M - (FShowShadow ? 1 : -1) - Before : S.Left + M + Before;
        Y = S.Bottom - H - 2;
        break;
      case toLeft:
        X = S.Right - W - 2;
        Y = Standard ? S.Top + M + Before : S.Bottom - H + 1 - M - Before;
        break;
      case toBottom:
        X = Standard ? S.Right - W + 1 - M - Before : S.Left + M + Before;
        Y = S.Top + 2;
        break;
      case toRight:
        X = S.Left + 2;
        Y = Standard ? S.Bottom - H + 1 - M - Before : S.Top + M + Before;
        break;
    }
    C->SetBounds(X, Y, W, H);
    C->Show();
  };
  const TColor Frame = AdjustLuminance(FFlatColor, FFlatColorAdjustment);
  const int32_t Close = ButtonReserve(FShowCloseButton), Menu = ButtonReserve(FShowMenuButton);
  if (Close > 0) {
    if (!FCloseButton) {
      FCloseButton = NewSmallControl<TKvTabCloseButton>(this, Frame);
      FCloseButton->OnClose = [this](TComponent* Sender) { CloseButtonClose(Sender); };
    }
    Place(FCloseButton, Size, Size, 0);
  } else if (FCloseButton) {
    FCloseButton->Hide();
  }
  if (Menu > 0) {
    if (!FMenuButton) FMenuButton = NewSmallControl<TKvTabMenuButton>(this, Frame);
    Place(FMenuButton, Size, Size, Close);
    FMenuButton->Invalidate();  // its arrow follows the strip
  } else if (FMenuButton) {
    FMenuButton->Hide();
  }
  const bool Horizontal = HorizontalStrip();
  const int32_t W = Horizontal ? 2 * Size - 1 : Size, H = Horizontal ? Size : 2 * Size - 1;
  if (FScrollNeeded) {
    if (!FScroller) {
      FScroller = NewSmallControl<TKvTabScroller>(this, Frame);
      FScroller->OnUpRightClick = [this](TComponent* Sender) { ScrollerUpRight(Sender); };
      FScroller->OnDownLeftClick = [this](TComponent* Sender) { ScrollerDownLeft(Sender); };
    }
    FScroller->SetOrientation(Horizontal ? orHorizontal : orVertical);
    Place(FScroller, W, H, Close + Menu);
  } else if (FScroller) {
    FScroller->SetBounds(-FScroller->Width() - 1, -FScroller->Height() - 1, FScroller->Width(), FScroller->Height());
  }
}

// ---------------------------------------------------------------------------
// Small controls

TKvTabButtonBase::TKvTabButtonBase(TComponent* AOwner, TKvCustomTabControl* ATabControl)
    : TCustomControl(AOwner), FTabControl(ATabControl) {
  SetControlStyle(csCaptureMouse | csOpaque);
}

void TKvTabButtonBase::SetFrameColor(TColor Value) {
  if (Value == FFrameColor) return;
  FFrameColor = Value;
  Invalidate();
}

bool TKvTabButtonBase::OnPressedPart(int32_t X, int32_t Y) const { return PtInRect(ClientRect(), Point(X, Y)); }

void TKvTabButtonBase::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  FPressed = true;
  FMouseInside = true;
  PressStarted(X, Y);
  Repaint();
}

void TKvTabButtonBase::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  if (!FPressed) return;
  const bool Inside = OnPressedPart(X, Y);
  if (Inside == FMouseInside) return;
  FMouseInside = Inside;
  Repaint();
}

void TKvTabButtonBase::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  if (Button != mbLeft || !FPressed) return;
  FPressed = false;
  PressEnded();
  if (FMouseInside) {
    FMouseInside = false;
    Action();
  }
  Repaint();
}

void TKvTabButtonBase::PaintFace(TCanvas* Canvas, const TRect& R, bool Down) const {
  const TKvTabColors* Colors = FTabControl->TabColors();
  Canvas->Pen()->SetColor(FFrameColor);
  Canvas->Pen()->SetStyle(psSolid);
  if (FTabControl->UseGradients() && HighColorScreen()) {
    TRect Inner = R;
    InflateRect(Inner, -1, -1);
    TColor Start = Colors->Unselected(), End = Colors->Shadow();
    if (Down) std::swap(Start, End);
    FillGradientRect(Canvas, Inner, gdHorizontalEnd, 1, End, Start);
    Canvas->Brush()->SetStyle(bsClear);
  } else {
    Canvas->Brush()->SetStyle(bsSolid);
    Canvas->Brush()->SetColor(Colors->Unselected());
  }
  Canvas->Rectangle(R);
  Canvas->Brush()->SetStyle(bsSolid);
}

TKvTabScroller::TKvTabScroller(TComponent* AOwner, TKvCustomTabControl* ATabControl)
    : TKvTabButtonBase(AOwner, ATabControl) {}

void TKvTabScroller::SetOrientation(TOrientation Value) {
  if (Value == FOrientation) return;
  FOrientation = Value;
  Invalidate();
}

// The two halves share their middle pixel.
TRect TKvTabScroller::Half(int32_t Part) const {
  const int32_t W = Width(), H = Height();
  if (FOrientation == orHorizontal) {
    const int32_t Len = W / 2 + 1;
    return Part == 1 ? Rect(W - Len, 0, W, H) : Rect(0, 0, Len, H);
  }
  const int32_t Len = H / 2 + 1;
  return Part == 1 ? Rect(0, 0, W, Len) : Rect(0, H - Len, W, H);
}

bool TKvTabScroller::OnPressedPart(int32_t X, int32_t Y) const {
  if (!PtInRect(ClientRect(), Point(X, Y))) return false;
  const bool UpRight = FOrientation == orHorizontal ? X >= Width() / 2 : Y <= Height() / 2;
  return (UpRight ? 1 : 0) == FPressedPart;
}

void TKvTabScroller::PressStarted(int32_t X, int32_t Y) {
  FPressedPart = (FOrientation == orHorizontal ? X >= Width() / 2 : Y <= Height() / 2) ? 1 : 0;
  if (!FTimer) {
    FTimer = new TTimer(this);
    FTimer->SetEnabled(false);
    FTimer->OnTimer = [this](TComponent* Sender) { RepeatTimer(Sender); };
  }
  FTimer->SetInterval(InitialDelay);
  FTimer->SetEnabled(true);
}

void TKvTabScroller::PressEnded() {
  if (FTimer) FTimer->SetEnabled(false);
}

void TKvTabScroller::RepeatTimer(TComponent*) {
  FTimer->SetInterval(RepeatDelay);
  if (MouseInside() && Enabled()) Action();
}

void TKvTabScroller::Action() {
  const TNotifyEvent& Event = FPressedPart == 1 ? OnUpRightClick : OnDownLeftClick;
  if (Event) Event(this);
}

void TKvTabScroller::Paint() {
  TCanvas* C = Canvas();
  for (int32_t Part = 0; Part < 2; ++Part) {
    const TRect R = Half(Part);
    const bool Down = Pressed() && MouseInside() && Part == FPressedPart;
    PaintFace(C, R, Down);
    const bool Forward = FTabControl->ScrollsForward(Part == 1);
    const bool Possible = Forward ? FTabControl->CanScrollForward() : FTabControl->CanScrollBack();
    const int32_t Direction = FOrientation == orHorizontal ? (Part == 1 ? 3 : 2) : (Part == 1 ? 0 : 1);
    PaintArrowButton(C, R, false, Possible && FTabControl->Enabled(), Down, Direction);
  }
}

void TKvTabCloseButton::Paint() {
  TCanvas* C = Canvas();
  const bool Down = Pressed() && MouseInside();
  PaintFace(C, ClientRect(), Down);
  PaintCloseButton(C, ClientRect(), false, FTabControl->Enabled() && FTabControl->TabIndex() >= 0, Down);
}

void TKvTabCloseButton::Action() {
  if (OnClose) OnClose(this);
}

TKvTabMenuButton::TKvTabMenuButton(TComponent* AOwner, TKvCustomTabControl* ATabControl)
    : TKvTabButtonBase(AOwner, ATabControl), FMenu(new TPopupMenu(this)) {}

// Always on the card's side of the button.
TPoint TKvTabMenuButton::PopupCorner() const {
  const int32_t W = Width(), H = Height();
  const bool Standard = FTabControl->TabSequence() == tsStandard;
  switch (FTabControl->TabOrientation()) {
    case toTop: return Standard ? Point(W, H) : Point(0, H);
    case toLeft: return Point(W, 0);
    case toBottom: return Standard ? Point(W, 0) : Point(0, 0);
    case toRight: return Point(0, 0);
  }
  return {};
}

// One entry per visible tab, in tab order; a caption's lines make one line.
void TKvTabMenuButton::FillMenu() {
  FMenu->Items()->Clear();
  FMenu->SetImages(FTabControl->Images());
  for (int32_t I = 0; I < FTabControl->TabCount(); ++I) {
    const TKvTabData* Tab = FTabControl->Tab(I);
    if (!Tab->Visible) continue;
    std::string Caption;
    for (const std::string& Line : TabCaptionLines(Tab->Caption)) Caption += (Caption.empty() ? "" : " ") + Line;
    auto* Item = new TMenuItem(FMenu);
    Item->SetCaption(Caption);
    Item->SetEnabled(Tab->Enabled);
    Item->SetChecked(I == FTabControl->TabIndex());
    Item->SetImageIndex(Tab->ShownImageIndex());
    Item->SetTag(I);
    Item->OnClick = [this](TComponent* Sender) { ItemClick(Sender); };
    FMenu->Items()->Add(Item);
  }
}

// The tabs may have changed while the menu was open: an index past them selects nothing.
void TKvTabMenuButton::ItemClick(TComponent* Sender) {
  const int32_t Index = static_cast<TMenuItem*>(Sender)->Tag();
  if (Index < FTabControl->TabCount()) FTabControl->SetTabIndex(Index);
}

void TKvTabMenuButton::Action() {
  FillMenu();
  FMenu->SetPopupComponent(this);
  // The menu opens towards the card and the strip's start.
  const bool Standard = FTabControl->TabSequence() == tsStandard;
  const TKvTabOrientation Strip = FTabControl->TabOrientation();
  FMenu->SetAlignment((Standard && (Strip == toTop || Strip == toBottom)) || Strip == toRight ? paRight : paLeft);
  const TPoint P = ClientToScreen(PopupCorner());
  FMenu->Popup(P.X, P.Y);
}

void TKvTabMenuButton::Paint() {
  // The arrow points at the card: down from the top strip, right from the left one, up
  // from the bottom one, left from the right one.
  static constexpr int32_t TowardsCard[] = {1, 3, 0, 2};
  TCanvas* C = Canvas();
  const bool Down = Pressed() && MouseInside();
  PaintFace(C, ClientRect(), Down);
  PaintArrowButton(C, ClientRect(), false, FTabControl->Enabled(), Down, TowardsCard[FTabControl->TabOrientation()]);
}
