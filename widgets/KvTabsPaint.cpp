// The tab control's painting: background, the rows from back to front, each tab clipped
// to its region with fill, image, caption, hot-track bar and focus rectangle, outlines
// replayed from a command list (soft shadow lines included), the cards, the drop marker.
#include <algorithm>

#include "widgets/KvGrafx.h"
#include "widgets/KvTabs.h"

namespace {

// Outline commands: a code, and for the drawing codes a point.
enum TOutlineCode : int32_t {
  ocPenColor = 0,   // pen to the outline colour
  ocNop = 1,
  ocNewColor = 2,   // outline colour from FlatColor and its adjustment
  ocMoveTo = 3,
  ocLineTo = 4,
  ocSoft30 = 5,     // soft line, weight 30
  ocSoft15 = 6,     // soft line, weight 15
};

constexpr int32_t HotBarOuter = 6;  // top and left strips
constexpr int32_t HotBarInner = 4;  // bottom and right strips
constexpr int32_t MarkerHalfWidth = 8;
constexpr int32_t MarkerHeight = 8;

void FillSolid(TCanvas* C, const TRect& R, TColor Color) {
  C->Brush()->SetStyle(bsSolid);
  C->Brush()->SetColor(Color);
  C->FillRect(R);
}

// Length in bytes of the UTF-8 character starting with Lead.
size_t Utf8Length(unsigned char Lead) {
  if (Lead >= 0xF0) return 4;
  if (Lead >= 0xE0) return 3;
  if (Lead >= 0xC0) return 2;
  return 1;
}

}  // namespace

struct TKvCustomTabControl::TOutline {
  std::vector<int32_t> Commands;
  void Clear() { Commands.clear(); }
  void Color() { Commands.insert(Commands.end(), {ocNewColor, ocPenColor}); }
  void Add(TOutlineCode Code, TPoint P) { Commands.insert(Commands.end(), {Code, P.X, P.Y}); }
  void MoveTo(TPoint P) { Add(ocMoveTo, P); }
  void LineTo(TPoint P) { Add(ocLineTo, P); }
  bool HasSoftLines() const {
    for (size_t I = 0; I < Commands.size(); I += Commands[I] >= ocMoveTo ? 3 : 1)
      if (Commands[I] == ocSoft30 || Commands[I] == ocSoft15) return true;
    return false;
  }
};

void TKvCustomTabControl::SetTabFont(TCanvas* Canvas, bool Bold, bool Underline) const {
  TFont* F = Canvas->Font();
  F->Assign(*Font());
  TFontStyles Style = Font()->Style() & ~fsBold;
  if (Bold) Style |= fsBold;
  if (Underline) Style |= fsUnderline;
  F->SetStyle(Style);
  F->SetOrientation(VerticalText() ? (FTabOrientation == toRight ? 2700 : 900) : 0);
}

// ---------------------------------------------------------------------------
// The whole control

void TKvCustomTabControl::Paint() {
  EnsureLayout();
  const int32_t W = Width(), H = Height();
  if (W <= 0 || H <= 0) return;
  TBitmap Work(W, H);
  TCanvas* C = Work.Canvas();
  bool Handled = false;
  if (OnPaintBackground) OnPaintBackground(this, C, ClientRect(), Handled);
  if (!Handled) {
    if (FTransparent)
      PaintParentBackground(this, C, false);
    else
      FillSolid(C, ClientRect(), FBackgroundColor);
  }
  PaintTabsAndCards(C);
  PaintDropMarker(C);
  Canvas()->Draw(0, 0, &Work);
}

// Back rows first, each followed by its card; the selected tab and the front card last.
void TKvCustomTabControl::PaintTabsAndCards(TCanvas* C) {
  TOutline Outline;
  const int32_t N = TabCount();
  int32_t Front = -1;
  for (int32_t I = 0; I < N && Front < 0; ++I)
    if (FTabs.Items(I)->Visible && FTabs.Items(I)->Row == 0) Front = I;
  if (Front >= 0) {
    int32_t Current = FRowCount - 1;
    for (int32_t K = 1; K <= N; ++K) {
      const int32_t I = ((Front - K) % N + N) % N;
      const TKvTabData* Tab = FTabs.Items(I);
      if (!Tab->Visible || !TabInView(I) || I < FFirstShown || I == FTabIndex) continue;
      for (; Current > Tab->Row; --Current) PaintCard(C, Current, Outline);
      PaintTab(C, I, Outline);
    }
    for (; Current > 0; --Current) PaintCard(C, Current, Outline);
    if (FTabIndex >= 0 && FTabIndex < N && TabInView(FTabIndex) && FTabIndex >= FFirstShown)
      PaintTab(C, FTabIndex, Outline);
  }
  PaintCard(C, 0, Outline);
}

// ---------------------------------------------------------------------------
// One tab

void TKvCustomTabControl::PaintTab(TCanvas* C, int32_t Index, TOutline& Outline) {
  const TRect R = TabControlRect(Index);
  TRect Meets;
  if (!IntersectRect(Meets, Rect(R.Left, R.Top, R.Right + 1, R.Bottom + 1), C->ClipRect())) return;
  const TRegion Region = TabRegion(Index);
  const int32_t Saved = C->SaveDC();
  C->SelectClipRgn(&Region);
  PaintTabBackground(C, Index, R);
  PaintTabContents(C, Index, R);
  C->RestoreDC(Saved);
  const std::vector<TPoint> Points = TabPolygon(Index);
  Outline.Clear();
  Outline.Color();
  Outline.MoveTo(Points.front());
  for (size_t K = 1; K < Points.size(); ++K) Outline.LineTo(Points[K]);
  Replay(C, Outline);
}

void TKvCustomTabControl::PaintTabBackground(TCanvas* C, int32_t Index, const TRect& R) {
  bool Handled = false;
  if (OnPaintTabBackground) OnPaintTabBackground(this, C, Index, R, Handled);
  if (Handled) return;
  const TKvTabData* Tab = FTabs.Items(Index);
  TColor Selected = Color(), Plain = FTabColors->Unselected(), Partner = FTabColors->Shadow();
  if (FUseColoredTabs) {
    Selected = Plain = Tab->Color;
    Partner = ColorToRGB(Tab->Color) == clWhite ? clBtnFace : DimColor(Tab->Color, 30);
  }
  if (Index == FTabIndex) return FillSolid(C, R, Selected);
  if (!FUseGradients || !HighColorScreen()) return FillSolid(C, R, Plain);
  // Towards the card on the top and left strips, away from it on the others.
  switch (FTabOrientation) {
    case toTop: FillGradientRect(C, R, gdHorizontalEnd, 1, Partner, Plain); break;
    case toLeft: FillGradientRect(C, R, gdVerticalEnd, 1, Partner, Plain); break;
    case toBottom: FillGradientRect(C, R, gdHorizontalEnd, 1, Plain, Partner); break;
    case toRight: FillGradientRect(C, R, gdVerticalEnd, 1, Plain, Partner); break;
  }
}

// The tab less the room its shape takes, less one more pixel.
TRect TKvCustomTabControl::ContentRect(const TRect& Tab) const {
  TRect R = Tab;
  const bool Horizontal = HorizontalStrip();
  const int32_t E = Horizontal ? R.Height() : R.Width();
  const int32_t SlantRoom = 2 * Slant(E) + 2;
  const TKvTabOrientation O = FTabOrientation;
  // The outer edge moves in by Amount.
  auto Outer = [&](int32_t Amount) {
    switch (O) {
      case toTop: R.Top += Amount; break;
      case toLeft: R.Left += Amount; break;
      case toBottom: R.Bottom -= Amount; break;
      case toRight: R.Right -= Amount; break;
    }
  };
  switch (FTabStyle) {
    case tsSingleSlant:
    case tsBackSlant: {
      const bool Back = FTabStyle == tsBackSlant;
      InflateRect(R, -1, -1);
      if (Horizontal) {
        (Back ? R.Left : R.Right) += Back ? SlantRoom : -SlantRoom;
        OffsetRect(R, Back ? -3 : 3, 0);
        Outer(2);
        if (O == toBottom) OffsetRect(R, 0, Back ? -1 : 1);
      } else {
        // The slant lies at the top of the tab on one vertical strip, at the bottom on the other.
        if ((O == toLeft) != Back) {
          R.Top += SlantRoom;
          OffsetRect(R, 0, -2);
        } else {
          R.Bottom -= SlantRoom;
          OffsetRect(R, 0, 2);
        }
        OffsetRect(R, 0, Back ? -1 : 1);
        Outer(2);
        if (O == toRight) OffsetRect(R, 1, 0);
      }
      break;
    }
    case tsDoubleSlant:
      if (Horizontal) {
        InflateRect(R, 1, -1);
        R.Left += Slant(E);
        R.Right -= Slant(E);
        OffsetRect(R, 1, 0);
        Outer(2);
        if (O == toBottom) OffsetRect(R, 0, 1);
      } else {
        InflateRect(R, -1, 1);
        R.Top += Slant(E);
        R.Bottom -= Slant(E);
        R.Bottom += 2;
        OffsetRect(R, 0, 1);
        Outer(2);
        if (O == toRight) OffsetRect(R, 1, 0);
      }
      break;
    case tsCutCorner:
      if (Horizontal) {
        if (VerticalText()) {
          InflateRect(R, -4, -1);
          Outer(FCutCornerSize + 3);
        } else {
          InflateRect(R, -(FCutCornerSize + 3), -1);
          Outer(3);
        }
        if (O == toBottom) OffsetRect(R, 0, 1);
      } else {
        if (VerticalText()) {
          InflateRect(R, -1, -(FCutCornerSize + 3));
          Outer(5);
        } else {
          InflateRect(R, -1, -4);
          Outer(FCutCornerSize + 5);
        }
        if (O == toRight) OffsetRect(R, 1, 0);
      }
      break;
    case tsRoundCorners:
      if (VerticalText())
        InflateRect(R, -2, -4);
      else
        InflateRect(R, -4, -2);
      break;
  }
  InflateRect(R, -1, -1);
  return R;
}

TColor TKvCustomTabControl::TextColor(int32_t Index, TKvTextStyle Style, TColor Default) {
  TColor Result = Default;
  bool Handled = false;
  if (OnGetTextColor) OnGetTextColor(this, Index, Style, Result, Handled);
  return Handled ? Result : Default;
}

void TKvCustomTabControl::PaintTabContents(TCanvas* C, int32_t Index, const TRect& R) {
  const TKvTabData* Tab = FTabs.Items(Index);
  const TRect Content = ContentRect(R);
  TRect TextArea = Content, ImageArea = Content;
  const int32_t Image = Tab->ShownImageIndex();
  if (FImages && Image != -1) {
    const int32_t IW = FImages->Width(), IH = FImages->Height();
    switch (FImagePosition) {
      case ipLeft:
        ImageArea.Right = Content.Left + FImageMargin + IW;
        TextArea.Left = ImageArea.Right;
        break;
      case ipRight:
        ImageArea.Left = Content.Right - FImageMargin - IW;
        TextArea.Right = ImageArea.Left;
        break;
      case ipTop:
        ImageArea.Bottom = Content.Top + FImageMargin + IH;
        TextArea.Top = ImageArea.Bottom;
        break;
      case ipBottom:
        ImageArea.Top = Content.Bottom - FImageMargin - IH;
        TextArea.Bottom = ImageArea.Top;
        break;
      default: break;
    }
    TPoint At = ImageArea.TopLeft();
    if (FImagePosition != ipStretch) {
      if (FImageAlignment == haCenter) At.X += (ImageArea.Width() - IW) / 2;
      if (FImageAlignment == haRight) At.X = ImageArea.Right - IW;
      if (FImageAlignmentVertical == vaCenter) At.Y += (ImageArea.Height() - IH) / 2;
      if (FImageAlignmentVertical == vaBottom) At.Y = ImageArea.Bottom - IH;
    }
    // A disabled tab without an image of its own shows the normal one greyed.
    FImages->Draw(C, At.X, At.Y, Image, Tab->Enabled || Tab->DisabledIndex != -1);
  }

  const bool Selected = Index == FTabIndex;
  const bool Bold = Selected && FBoldCurrentTab;
  if (!Tab->Enabled) {
    TRect Lit = TextArea;
    OffsetRect(Lit, 1, 1);
    PaintCaption(C, Tab->Caption, Lit, TextColor(Index, tsDisabledHighlight, FTextColors->DisabledHighlight()), Bold);
    PaintCaption(C, Tab->Caption, TextArea, TextColor(Index, tsDisabledShadow, FTextColors->DisabledShadow()), Bold);
  } else if (FHotTrack && Index == FHotTab) {
    const TColor Hot =
        FHotTrackColorType == htctActual ? FHotTrackColor : OppositeHueColor(FHotTrackColor, 140);
    if (FHotTrackStyle == htsTab) PaintHotTrackBar(C, R, Hot);
    const TColor Text = FHotTrackStyle == htsText ? FHotTrackColor : FTextColors->Selected();
    PaintCaption(C, Tab->Caption, TextArea, TextColor(Index, tsHotTrack, Text), Bold);
  } else if (Selected) {
    if (FHotTrack && FHotTrackStyle == htsTab) PaintHotTrackBar(C, R, FTabColors->HighlightBar());
    PaintCaption(C, Tab->Caption, TextArea, TextColor(Index, tsSelected, FTextColors->Selected()), Bold);
  } else {
    PaintCaption(C, Tab->Caption, TextArea, TextColor(Index, tsUnselected, FTextColors->Unselected()), Bold);
  }
  if (FShowFocusRect && Selected && Focused()) PaintFocus(C, R);
}

void TKvCustomTabControl::PaintHotTrackBar(TCanvas* C, const TRect& R, TColor Color) const {
  TRect Bar = R;
  InflateRect(Bar, 1, 1);
  switch (FTabOrientation) {
    case toTop: Bar.Bottom = Bar.Top + HotBarOuter; break;
    case toLeft: Bar.Right = Bar.Left + HotBarOuter; break;
    case toBottom: Bar.Top = Bar.Bottom - HotBarInner; break;
    case toRight: Bar.Left = Bar.Right - HotBarInner; break;
  }
  FillSolid(C, Bar, Color);
}

void TKvCustomTabControl::PaintFocus(TCanvas* C, const TRect& R) const {
  TRect F = R;
  if (HorizontalStrip()) {
    InflateRect(F, 1, 0);
    ++F.Bottom;
  } else {
    InflateRect(F, 0, 1);
  }
  if (FTabStyle == tsRoundCorners) {
    switch (FTabOrientation) {
      case toTop: ++F.Top; break;
      case toLeft: F.Left += 2; break;
      case toBottom: --F.Bottom; break;
      case toRight: F.Right -= 2; break;
    }
  }
  C->DrawFocusRect(F);
}

// The caption's lines as a block across the reading direction, each line along it.
void TKvCustomTabControl::PaintCaption(TCanvas* C, const std::string& Caption, const TRect& Area, TColor Color,
                                       bool Bold) {
  if (Caption.empty()) return;
  const std::vector<std::string> Lines = TabCaptionLines(Caption);
  SetTabFont(C, Bold);
  const int32_t LineHeight = C->TextHeight("A");
  const int32_t Block = static_cast<int32_t>(Lines.size()) * LineHeight;
  const bool RightStrip = FTabOrientation == toRight;
  for (size_t K = 0; K < Lines.size(); ++K) {
    const int32_t Across = static_cast<int32_t>(K) * LineHeight;
    SetTabFont(C, Bold);
    const int32_t Width = C->TextWidth(TabShownLine(Lines[K]));
    TPoint At;
    if (!VerticalText()) {
      int32_t Top = Area.Top;
      if (FTextAlignmentVertical == vaCenter) Top += (Area.Height() - Block) / 2;
      if (FTextAlignmentVertical == vaBottom) Top = Area.Bottom - Block;
      At = {Area.Left, Top + Across};
      if (FTextAlignment == haCenter) At.X += (Area.Width() - Width) / 2;
      if (FTextAlignment == haRight) At.X += Area.Width() - Width;
    } else {
      int32_t Left = Area.Left;
      if (FTextAlignment == haCenter) Left += (Area.Width() - Block) / 2;
      if (FTextAlignment == haRight) Left = Area.Right - Block;
      // Measured from where the reading starts: the bottom, or the top on the right strip.
      int32_t Along = 0;
      if (FTextAlignmentVertical == vaCenter) Along = (Area.Height() - Width) / 2;
      if (FTextAlignmentVertical == (RightStrip ? vaBottom : vaTop)) Along = Area.Height() - Width;
      At = RightStrip ? TPoint{Left + Block - Across, Area.Top + Along} : TPoint{Left + Across, Area.Bottom - Along};
    }
    PaintCaptionLine(C, Lines[K], At, Color, Bold);
  }
}

// The line in up to three pieces: before its first '&', the accelerator (underlined;
// "&&" gives a plain '&'), the rest.
void TKvCustomTabControl::PaintCaptionLine(TCanvas* C, const std::string& Line, TPoint At, TColor Color, bool Bold) {
  struct TPiece {
    std::string Text;
    bool Underline;
  };
  std::vector<TPiece> Pieces;
  const size_t Amp = Line.find('&');
  if (Amp == std::string::npos) {
    Pieces.push_back({Line, false});
  } else {
    Pieces.push_back({Line.substr(0, Amp), false});
    if (Amp + 1 < Line.size()) {
      const size_t Len = Utf8Length(static_cast<unsigned char>(Line[Amp + 1]));
      const std::string Accel = Line.substr(Amp + 1, Len);
      Pieces.push_back({Accel, Accel != "&"});
      Pieces.push_back({Line.substr(std::min(Line.size(), Amp + 1 + Len)), false});
    }
  }
  const bool RightStrip = FTabOrientation == toRight;
  for (const TPiece& P : Pieces) {
    if (P.Text.empty()) continue;
    SetTabFont(C, Bold, P.Underline);
    C->Font()->SetColor(Color);
    C->Brush()->SetStyle(bsClear);
    C->TextOut(At.X, At.Y, P.Text);
    const int32_t W = C->TextWidth(P.Text);
    if (!VerticalText())
      At.X += W;
    else
      At.Y += RightStrip ? W : -W;
  }
  C->Brush()->SetStyle(bsSolid);
}

// ---------------------------------------------------------------------------
// Cards and outlines

TColor TKvCustomTabControl::CardColor() const {
  if (FUseColoredTabs && FTabIndex >= 0 && FTabIndex < TabCount()) return FTabs.Items(FTabIndex)->Color;
  return Color();
}

void TKvCustomTabControl::PaintCard(TCanvas* C, int32_t Row, TOutline& Outline) {
  const TRect K = CardRect(Row);
  if (IsRectEmpty(K) && TabCount() > 0) return;
  const TRect Area = Rect(K.Left, K.Top, K.Right + 1, K.Bottom + 1);
  bool Handled = false;
  if (OnPaintCardBackground) OnPaintCardBackground(this, C, Row, Area, Handled);
  if (!Handled) FillSolid(C, Area, CardColor());
  if (!FShowCardFrame) return;
  Outline.Clear();
  Outline.Color();
  AddCardFrame(Row, Outline);
  Replay(C, Outline);
}

// The frame through the card's corners, starting with the side facing the tabs; on the
// front card that side leaves open the selected tab's base.
void TKvCustomTabControl::AddCardFrame(int32_t Row, TOutline& Outline) const {
  const TRect K = CardRect(Row);
  const bool Shadow = ShadowShown();
  const int32_t L = K.Left, T = K.Top, R = Shadow ? K.Right - 2 : K.Right, B = Shadow ? K.Bottom - 2 : K.Bottom;
  // Corners in drawing order; the first side faces the tabs and runs towards larger x or y.
  TPoint Corner[4];
  switch (FTabOrientation) {
    case toTop: Corner[0] = {L, T}, Corner[1] = {R, T}, Corner[2] = {R, B}, Corner[3] = {L, B}; break;
    case toBottom: Corner[0] = {L, B}, Corner[1] = {R, B}, Corner[2] = {R, T}, Corner[3] = {L, T}; break;
    case toLeft: Corner[0] = {L, T}, Corner[1] = {L, B}, Corner[2] = {R, B}, Corner[3] = {R, T}; break;
    case toRight: Corner[0] = {R, T}, Corner[1] = {R, B}, Corner[2] = {L, B}, Corner[3] = {L, T}; break;
  }
  const bool Horizontal = HorizontalStrip();
  auto Along = [&](TPoint P) { return Horizontal ? P.X : P.Y; };
  auto At = [&](int32_t V) { return Horizontal ? TPoint{V, Corner[0].Y} : TPoint{Corner[0].X, V}; };
  auto Step = [](TPoint From, TPoint To) {
    return TPoint{From.X + (To.X > From.X) - (To.X < From.X), From.Y + (To.Y > From.Y) - (To.Y < From.Y)};
  };
  struct TSegment {
    TPoint From, To;
    bool FromCorner;
  };
  std::vector<TSegment> Sides;
  const int32_t Start = Along(Corner[0]), End = Along(Corner[1]);
  if (Row == 0 && FTabIndex >= 0 && FTabIndex < TabCount() && TabInView(FTabIndex) && FTabIndex >= FFirstShown) {
    const std::vector<TPoint> P = TabPolygon(FTabIndex);
    const int32_t Lo = std::min(Along(P.front()), Along(P.back())), Hi = std::max(Along(P.front()), Along(P.back()));
    if (Lo >= Start) Sides.push_back({Corner[0], At(std::min(Lo, End) + 1), true});
    if (Hi < End) Sides.push_back({At(std::max(Hi, Start)), Corner[1], Hi <= Start});
  } else {
    Sides.push_back({Corner[0], Corner[1], true});
  }
  if (FShowFullFrame) {
    for (int32_t I = 1; I < 4; ++I) Sides.push_back({Corner[I], Corner[(I + 1) % 4], true});
  } else if (FTabStyle != tsRoundCorners && !Sides.empty() && Sides.back().To == Corner[1]) {
    Sides.back().To = At(End + 1);  // the side alone: its end pixel too
  }
  for (const TSegment& S : Sides) {
    // Round tabs sit on a card whose corners are cut by a pixel.
    Outline.MoveTo(FTabStyle == tsRoundCorners && S.FromCorner ? Step(S.From, S.To) : S.From);
    Outline.LineTo(S.To);
  }
  if (Shadow) {
    const int32_t Rt = K.Right, Bt = K.Bottom;
    Outline.MoveTo({Rt - 1, T + 2});
    Outline.Add(ocSoft30, {Rt - 1, Bt});
    Outline.MoveTo({L + 2, Bt - 1});
    Outline.Add(ocSoft30, {Rt - 1, Bt - 1});
    Outline.MoveTo({Rt, T + 3});
    Outline.Add(ocSoft15, {Rt, Bt + 1});
    Outline.MoveTo({L + 3, Bt});
    Outline.Add(ocSoft15, {Rt, Bt});
  }
}

void TKvCustomTabControl::Replay(TCanvas* C, const TOutline& Outline) {
  TColor OutlineColor = AdjustLuminance(FFlatColor, FFlatColorAdjustment);
  // Soft lines darken what lies under the control, not what the control drew.
  std::unique_ptr<TBitmap> Under;
  if (Outline.HasSoftLines()) {
    Under = std::make_unique<TBitmap>(Width(), Height());
    PaintParentBackground(this, Under->Canvas(), false);
  }
  C->Pen()->SetStyle(psSolid);
  C->Pen()->SetMode(pmCopy);
  C->Pen()->SetWidth(1);
  const std::vector<int32_t>& Cmd = Outline.Commands;
  for (size_t I = 0; I < Cmd.size();) {
    const int32_t Code = Cmd[I];
    if (Code < ocMoveTo) {
      if (Code == ocPenColor) C->Pen()->SetColor(OutlineColor);
      if (Code == ocNewColor) OutlineColor = AdjustLuminance(FFlatColor, FFlatColorAdjustment);
      ++I;
      continue;
    }
    const int32_t X = Cmd[I + 1], Y = Cmd[I + 2];
    I += 3;
    if (Code == ocMoveTo) {
      C->MoveTo(X, Y);
    } else if (Code == ocLineTo) {
      C->LineTo(X, Y);
    } else {
      const uint8_t Weight = Code == ocSoft30 ? 30 : 15;
      const TPoint From = C->PenPos();
      const bool Vertical = From.X == X;
      const int32_t A = Vertical ? std::min(From.Y, Y) : std::min(From.X, X);
      const int32_t B = Vertical ? std::max(From.Y, Y) : std::max(From.X, X);
      for (int32_t V = A; V < B; ++V) {
        const int32_t PX = Vertical ? X : V, PY = Vertical ? V : Y;
        const TColor Ground = Under->Canvas()->Pixels(PX, PY);
        if (Ground != CLR_INVALID) C->SetPixel(PX, PY, MixColors(clBlack, Ground, Weight));
      }
      C->MoveTo(X, Y);
    }
  }
}

// Two arrowheads on the edge of the target tab where the dragged tab would go: the edge
// facing the earlier tabs when the target lies before the selected tab, else the other.
void TKvCustomTabControl::PaintDropMarker(TCanvas* C) {
  if (!FDragging || FDropTarget < 0 || FDropTarget >= TabCount() || FTabIndex < 0) return;
  const TRect R = LayoutTabRect(FDropTarget);
  const bool Standard = FTabSequence == tsStandard;
  const bool Earlier = FDropTarget < FTabIndex;
  const bool LeftEdge = Earlier == Standard;
  int32_t X = LeftEdge ? R.Left : R.Right;
  // A slanted edge: the marker goes half a tab height inwards, to its middle.
  const bool LeftSlanted = FTabStyle == tsDoubleSlant || FTabStyle == tsBackSlant;
  const bool RightSlanted = FTabStyle == tsDoubleSlant || FTabStyle == tsSingleSlant;
  if (LeftEdge && LeftSlanted) X += FFixedDimension / 2;
  if (!LeftEdge && RightSlanted) X -= FFixedDimension / 2;
  // Inverted, so that it shows on any colour; the outline would invert its pixels twice.
  C->Pen()->SetMode(pmNot);
  C->Pen()->SetStyle(psClear);
  C->Brush()->SetStyle(bsSolid);
  for (const int32_t Y : {R.Top, R.Bottom}) {
    const int32_t Tip = Y == R.Top ? Y + MarkerHeight : Y - MarkerHeight;
    C->Polygon({MapPoint(X - MarkerHalfWidth, Y), MapPoint(X + MarkerHalfWidth, Y), MapPoint(X, Tip)});
  }
  C->Pen()->SetStyle(psSolid);
  C->Pen()->SetMode(pmCopy);
}
