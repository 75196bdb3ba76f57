// The tab control's layout: tab sizes, rows, placement in layout coordinates, the strip
// and the cards, and which tab the single row starts with.
#include <algorithm>
#include <cstdlib>

#include "widgets/KvTabs.h"

namespace {

// Round tabs get a thicker strip (the selected one grows out of it) and keep room at
// the end of a row.
constexpr int32_t RoundStripExtra = 3;
constexpr int32_t RoundLengthReserve = 4;

}  // namespace

// A lone LF ends a line too.
std::vector<std::string> TabCaptionLines(const std::string& Caption) {
  std::vector<std::string> Lines(1);
  for (size_t I = 0; I < Caption.size(); ++I) {
    if (Caption[I] == '\r' && I + 1 < Caption.size() && Caption[I + 1] == '\n') {
      Lines.emplace_back();
      ++I;
    } else if (Caption[I] == '\n') {
      Lines.emplace_back();
    } else {
      Lines.back() += Caption[I];
    }
  }
  return Lines;
}

// Later ampersands stay as they are.
std::string TabShownLine(const std::string& Line) {
  std::string S = Line;
  if (const size_t Amp = S.find('&'); Amp != std::string::npos) S.erase(Amp, 1);
  return S;
}

int32_t TKvCustomTabControl::Slant(int32_t X) const {
  switch (FTabStyle) {
    case tsSingleSlant:
    case tsBackSlant: return X / 2;
    case tsDoubleSlant: return X;
    default: return FTabOverlap;
  }
}

int32_t TKvCustomTabControl::StripThickness() const {
  int32_t T = FFixedDimension + (FFixedDimension - FRowOverlap) * (FRowCount - 1);
  if (FTabStyle == tsRoundCorners) T += RoundStripExtra;
  return T;
}

TRect TKvCustomTabControl::StripRect() const {
  const int32_t W = Width() - 1, H = Height() - 1, T = StripThickness();
  TRect S;
  S.Left = FTabOrientation == toRight ? W - T : 0;
  S.Top = FTabOrientation == toBottom ? H - T : 0;
  S.Right = FTabOrientation == toLeft ? T : W;
  if (ShadowShown()) S.Right -= 2;
  S.Bottom = FTabOrientation == toTop ? T : H;
  return S;
}

int32_t TKvCustomTabControl::StripLength() const {
  const TRect S = StripRect();
  return HorizontalStrip() ? S.Width() : S.Height();
}

TRect TKvCustomTabControl::CardRect(int32_t Row) const {
  TRect C = Rect(0, 0, Width() - 1, Height() - 1);
  if (TabCount() == 0) return C;
  const int32_t T = StripThickness();
  const int32_t A = (FFixedDimension - FRowOverlap) * Row, B = T - A;
  int32_t I1 = FRowIndent * Row, I2 = FRowIndent * (FRowCount - Row - 1);
  if (FTabSequence == tsReverse) std::swap(I1, I2);
  switch (FTabOrientation) {
    case toTop: C.Top += B; C.Bottom -= A; C.Left += I1; C.Right -= I2; break;
    case toLeft: C.Top += I2; C.Bottom -= I1; C.Left += B; C.Right -= A; break;
    case toBottom: C.Top += A; C.Bottom += A - T; C.Left += I1; C.Right -= I2; break;
    case toRight: C.Top += I1; C.Bottom -= I2; C.Left += A; C.Right += A - T; break;
  }
  if (C.Right < C.Left || C.Bottom < C.Top) return TRect{};
  return C;
}

// ---------------------------------------------------------------------------
// Sizes

TSize TKvCustomTabControl::TextSize(const std::string& Caption, bool Bold) const {
  TCanvas Measure;
  SetTabFont(&Measure, Bold);
  int32_t Widest = 0, Height = 0;
  for (const std::string& Line : TabCaptionLines(Caption)) {
    Widest = std::max(Widest, Measure.TextWidth(TabShownLine(Line)));
    Height += Measure.TextHeight(Line);
  }
  return VerticalText() ? TSize{Height, Widest} : TSize{Widest, Height};
}

TSize TKvCustomTabControl::ContentSize(int32_t Index) const {
  const TKvTabData* Tab = FTabs.Items(Index);
  const TSize Text = TextSize(Tab->Caption, FBoldCurrentTab && Index == FTabIndex);
  TSize Image;
  if (FImages && Tab->ImageIndex != -1) Image = {FImages->Width(), FImages->Height()};
  TSize C;
  switch (FImagePosition) {
    case ipLeft:
    case ipRight: C = {FImageMargin + Image.cx + Text.cx, std::max(Image.cy, Text.cy)}; break;
    case ipTop:
    case ipBottom: C = {std::max(Image.cx, Text.cx), FImageMargin + Image.cy + Text.cy}; break;
    case ipBack: C = {std::max(Image.cx, Text.cx), std::max(Image.cy, Text.cy)}; break;
    case ipStretch: C = Text; break;
  }
  // No tab is smaller than a sample caption.
  TCanvas Measure;
  SetTabFont(&Measure, FBoldCurrentTab);
  const std::string Sample = FTabStyle == tsRoundCorners ? "AAA" : "A";
  const int32_t FontHeight = std::abs(Font()->Height());
  const TSize Minimum = VerticalText() ? TSize{FontHeight, Measure.TextHeight(Sample)}
                                       : TSize{Measure.TextWidth(Sample), FontHeight};
  if (FTabWidth == 0) C.cx = std::max(C.cx, Minimum.cx);
  if (FTabHeight == 0) C.cy = std::max(C.cy, Minimum.cy);
  return C;
}

TSize TKvCustomTabControl::TabSizeFor(TSize Content) const {
  const int32_t W = Content.cx, H = Content.cy, W2 = W + 2, H2 = H + 2;
  const bool Horizontal = HorizontalStrip();
  TSize S;
  switch (FTabStyle) {
    case tsSingleSlant:
    case tsBackSlant:
      S = Horizontal ? TSize{2 * Slant(H + 6) + W2 + 4 + FTabHeight / 2, H + 6}
                     : TSize{W + 6, 2 * Slant(W + 6) + H2 + 4 + FTabHeight / 2};
      break;
    case tsDoubleSlant:
      S = Horizontal ? TSize{2 * Slant(H2) + W2 + 4 + FTabHeight, H + 6}
                     : TSize{W + 6, 2 * Slant(W2) + H2 + 4 + FTabHeight};
      break;
    case tsCutCorner:
      if (!VerticalText())
        S = Horizontal ? TSize{2 * FCutCornerSize + W2 + 6, H + 7} : TSize{W2 + FCutCornerSize + 5, H + 10};
      else
        S = Horizontal ? TSize{W + 10, H2 + FCutCornerSize + 5} : TSize{W + 7, 2 * FCutCornerSize + H2 + 6};
      break;
    case tsRoundCorners:
      S = VerticalText() ? TSize{W2 + 4, H2 + 14} : TSize{W2 + 14, H2 + 4};
      break;
  }
  if (FTabWidth > 0) S.cx = FTabWidth;
  if (FTabHeight > 0) S.cy = FTabHeight;
  return S;
}

// ---------------------------------------------------------------------------
// Placement

int32_t TKvCustomTabControl::AvailableLength(int32_t Rows) const {
  int32_t L = StripLength() - 2 * FMargin;
  if (FMultiLine)
    L -= (Rows - 1) * FRowIndent;
  else
    L -= ButtonReserve() + 2 * SmallControlSize() + 2;
  return L;
}

// Places the visible tabs with the given lengths along the strip; returns the rows used.
// Without Commit nothing is stored (for counting the rows).
int32_t TKvCustomTabControl::PlaceTabs(const std::vector<int32_t>& Lengths, int32_t Available, bool Commit) {
  const bool Standard = FTabSequence == tsStandard;
  const int32_t Advance = Slant(FFixedDimension) - 1;
  const int32_t Start = Standard ? FMargin : -FMargin;
  int32_t X = Start, Y = StripThickness() - FFixedDimension, Row = 0;
  bool FirstInRow = true, RowFull = false;
  for (int32_t I = 0; I < TabCount(); ++I) {
    TKvTabData* Tab = FTabs.Items(I);
    if (!Tab->Visible) continue;
    const int32_t Len = Lengths[static_cast<size_t>(I)];
    if (FMultiLine && !FirstInRow && (RowFull || (Standard ? X + Len : Len - X) >= Available)) {
      ++Row;
      X = Start;
      Y -= FFixedDimension - FRowOverlap;
      FirstInRow = true;
    }
    if (Commit) {
      Tab->TabRect = Standard ? Rect(X, Y, X + Len, Y + FFixedDimension) : Rect(X - Len, Y, X, Y + FFixedDimension);
      Tab->Row = Row;
    }
    // A tab too long for a row of its own keeps the row; the next one starts another.
    RowFull = FirstInRow && (Standard ? X + Len : Len - X) >= Available;
    FirstInRow = false;
    X += Standard ? Len - Advance : Advance - Len;
  }
  if (Commit && !Standard) {
    const int32_t Shift = FMultiLine ? Width() : -X;
    for (int32_t I = 0; I < TabCount(); ++I)
      if (FTabs.Items(I)->Visible) OffsetRect(FTabs.Items(I)->TabRect, Shift, 0);
  }
  return Row + 1;
}

// Shares the free length of each row among its tabs.
void TKvCustomTabControl::AlignRows(int32_t Available) {
  const bool Standard = FTabSequence == tsStandard;
  std::vector<TKvTabData*> Row;
  auto Share = [&] {
    if (Row.empty()) return;
    const int32_t Extent = Standard ? Row.back()->TabRect.Right - Row.front()->TabRect.Left
                                    : Row.front()->TabRect.Right - Row.back()->TabRect.Left;
    const int32_t Free = Available - Extent - (FTabStyle == tsRoundCorners ? RoundLengthReserve : 0);
    if (Free > 0) {
      const auto N = static_cast<int32_t>(Row.size());
      int32_t Shift = 0;
      for (int32_t K = 0; K < N; ++K) {
        const int32_t Extra = Free / N + (K < Free % N ? 1 : 0);
        TRect& R = Row[static_cast<size_t>(K)]->TabRect;
        if (Standard) {
          R.Left += Shift;
          R.Right += Shift + Extra;
        } else {
          R.Right -= Shift;
          R.Left -= Shift + Extra;
        }
        Shift += Extra;
      }
    }
    Row.clear();
  };
  for (int32_t I = 0; I < TabCount(); ++I) {
    TKvTabData* Tab = FTabs.Items(I);
    if (!Tab->Visible) continue;
    if (!Row.empty() && Tab->Row != Row.front()->Row) Share();
    Row.push_back(Tab);
  }
  Share();
}

// The selected tab's row goes next to the card, the others keep their order behind it.
void TKvCustomTabControl::RotateRows() {
  if (!FMultiLine || FRowCount < 2 || FTabIndex < 0 || FTabIndex >= TabCount()) return;
  const TKvTabData* Selected = FTabs.Items(FTabIndex);
  if (!Selected->Visible) return;
  const int32_t SelectedRow = Selected->Row;
  const int32_t Front = StripThickness() - FFixedDimension;
  for (int32_t I = 0; I < TabCount(); ++I) {
    TKvTabData* Tab = FTabs.Items(I);
    if (!Tab->Visible) continue;
    Tab->Row = (Tab->Row + FRowCount - SelectedRow) % FRowCount;
    Tab->TabRect.Top = Front - Tab->Row * (FFixedDimension - FRowOverlap);
    Tab->TabRect.Bottom = Tab->TabRect.Top + FFixedDimension;
  }
}

void TKvCustomTabControl::Layout() {
  FRegionCache.Clear();
  FRowCount = 1;
  const int32_t OldFirst = FFirstShown;
  if (FirstVisible() < 0) {
    FScrollNeeded = false;
    FFirstShown = -1;
    FSmallSize = MeasureSmallControlSize();
    PlaceSmallControls();
    return;
  }
  const bool Horizontal = HorizontalStrip();
  std::vector<TSize> Contents(static_cast<size_t>(TabCount()));
  TSize Largest;
  for (int32_t I = 0; I < TabCount(); ++I) {
    if (!FTabs.Items(I)->Visible) continue;
    const TSize C = ContentSize(I);
    Contents[static_cast<size_t>(I)] = C;
    Largest = {std::max(Largest.cx, C.cx), std::max(Largest.cy, C.cy)};
  }
  const TSize LargestTab = TabSizeFor(Largest);
  FFixedDimension = Horizontal ? LargestTab.cy : LargestTab.cx;
  FSmallSize = MeasureSmallControlSize();

  // Each tab's own length, its content raised to the common extent across the strip.
  std::vector<int32_t> Lengths(Contents.size());
  for (size_t I = 0; I < Contents.size(); ++I) {
    TSize C = Contents[I];
    (Horizontal ? C.cy : C.cx) = Horizontal ? Largest.cy : Largest.cx;
    const TSize S = TabSizeFor(C);
    Lengths[I] = Horizontal ? S.cx : S.cy;
  }
  // Rows: as many as the tabs need when each new row shortens the rows by RowIndent.
  int32_t Rows = 1;
  if (FMultiLine) {
    int32_t Visible = 0;
    for (int32_t I = 0; I < TabCount(); ++I) Visible += FTabs.Items(I)->Visible ? 1 : 0;
    while (Rows < Visible && PlaceTabs(Lengths, AvailableLength(Rows), false) > Rows) ++Rows;
  }
  FRowCount = Rows;
  const int32_t Available = AvailableLength(Rows);
  const int32_t Longest = std::max(1, Available - (FTabStyle == tsRoundCorners ? RoundLengthReserve : 0));
  for (int32_t& L : Lengths) L = std::clamp(L, 1, Longest);
  FRowCount = PlaceTabs(Lengths, Available, true);
  if (FMultiLine && FAlignTabs && (Horizontal ? FTabWidth == 0 : FTabHeight == 0)) AlignRows(Available);
  RotateRows();

  // Single-row scrolling.
  FScrollNeeded = false;
  if (!FMultiLine) {
    const int32_t Edge = FTabSequence == tsStandard ? FTabs.Items(LastVisible())->TabRect.Right
                                                    : FTabs.Items(FirstVisible())->TabRect.Right;
    FScrollNeeded = Edge > StripLength() - 2 * FMargin - ButtonReserve();
  }
  SetFirstShownAfterLayout(OldFirst);
  PlaceSmallControls();
}

// The first shown tab stays while scrolling, moved on to a tab in view; without
// scrolling it is the first visible tab.
void TKvCustomTabControl::SetFirstShownAfterLayout(int32_t OldFirst) {
  const int32_t First = FirstVisible();
  if (!FScrollNeeded) {
    FFirstShown = First;
    return;
  }
  if (OldFirst < 0 || OldFirst >= TabCount()) OldFirst = First;
  for (int32_t I = OldFirst; I < TabCount(); ++I) {
    FFirstShown = I;
    if (TabInView(I)) return;
  }
  for (int32_t I = OldFirst - 1; I >= 0; --I) {
    FFirstShown = I;
    if (TabInView(I)) return;
  }
  FFirstShown = First;
}

// After a new selection: the selected tab comes into view.
void TKvCustomTabControl::SelectTabInView() {
  if (!FScrollNeeded || FTabIndex < 0) return;
  if (FTabIndex < FFirstShown) {
    FFirstShown = FTabIndex;
    return;
  }
  while (FFirstShown < FTabIndex && !TabInView(FTabIndex)) {
    int32_t Next = FFirstShown + 1;
    while (Next < FTabIndex && !FTabs.Items(Next)->Visible) ++Next;
    FFirstShown = Next;
  }
}

int32_t TKvCustomTabControl::FirstVisible() const {
  for (int32_t I = 0; I < TabCount(); ++I)
    if (FTabs.Items(I)->Visible) return I;
  return -1;
}

int32_t TKvCustomTabControl::LastVisible() const {
  for (int32_t I = TabCount() - 1; I >= 0; --I)
    if (FTabs.Items(I)->Visible) return I;
  return -1;
}
