#include "widgets/KvLabel.h"

#include <cmath>
#include <numbers>
#include <vector>

#include "platform/rtl/StrUtils.h"
#include "platform/shell/Shell.h"

namespace {

constexpr uint32_t Alignments[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
constexpr char SubstituteFont[] = "Verdana";

// The characters of UTF-8 text, one string each.
std::vector<std::string> Characters(const std::string& S) {
  std::vector<std::string> Result;
  for (size_t I = 0; I < S.size();) {
    const auto Lead = static_cast<unsigned char>(S[I]);
    const size_t Length = Lead < 0x80 ? 1 : Lead >= 0xF0 ? 4 : Lead >= 0xE0 ? 3 : Lead >= 0xC0 ? 2 : 1;
    Result.push_back(S.substr(I, Length));
    I += Length;
  }
  return Result;
}

double Radians(double Degrees) { return Degrees * std::numbers::pi / 180.0; }

}  // namespace

// ---------------------------------------------------------------------------
// Life

TKvLabel::TKvLabel(TComponent* AOwner) : TCustomLabel(AOwner) {
  SetControlStyle(ControlStyle() | csOpaque);
  FNormalColor = FCurrentColor = Font()->Color();
  BlinkingControlsList()->Add(this);
  FConstructing = true;
  SetColor(clBtnFace);
  SetParentColor(true);
  FConstructing = false;
}

TKvLabel::~TKvLabel() {
  if (BlinkingControlsListExists()) {
    BlinkingControlsList()->Remove(this);
    FreeBlinkingListIfEmpty();
  }
}

void TKvLabel::Loaded() {
  TCustomLabel::Loaded();
  if (FRotation == roNone && FAngle != 0) FRotation = roFlat;
  if (FRotation != roNone && !IsTrueTypeFont(Font())) Font()->SetName(SubstituteFont);
  FNormalColor = Font()->Color();
  if (!FBlinking) FCurrentColor = FNormalColor;
  AdjustBounds();
}

void TKvLabel::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomLabel::Notification(AComponent, Operation);
  FFrameLink.Notification(AComponent, Operation);
}

// ---------------------------------------------------------------------------
// Properties

template <class T>
void TKvLabel::Change(T& Field, T Value, bool Resize) {
  if (Field == Value) return;
  Field = Value;
  if (Resize) AdjustBounds();
  Invalidate();
}

void TKvLabel::SetAngle(int32_t Value) {
  const int32_t A = (Value % 360 + 360) % 360;
  if (A == FAngle) return;
  FAngle = A;
  if (!Loading() && A != 0 && !IsTrueTypeFont(Font())) Font()->SetName(SubstituteFont);
  // Set directly: the Rotation setter would take the angle back to 0.
  if (A != 0 && FRotation == roNone) FRotation = roFlat;
  AdjustBounds();
  Invalidate();
}

void TKvLabel::SetRotation(TRotation Value) {
  if (Value == FRotation) return;
  if (!Loading() && Value != roNone && !IsTrueTypeFont(Font())) Font()->SetName(SubstituteFont);
  FRotation = Value;
  if (Value != roCurve) FAngle = 0;
  if (Value == roFlat) FCenterPoint = cpCenter;
  AdjustBounds();
  Invalidate();
}

void TKvLabel::SetCenterPoint(TCenterPoint Value) { Change(FCenterPoint, Value, false); }

void TKvLabel::SetBlinking(bool Value) {
  if (Value == FBlinking) return;
  FBlinking = Value;
  if (!Value) FCurrentColor = FNormalColor;
  Invalidate();
}

void TKvLabel::SetBlinkColor(TColor Value) { Change(FBlinkColor, Value, false); }
uint16_t TKvLabel::BlinkIntervalOff() const { return BlinkingControlsList()->OffInterval(); }
void TKvLabel::SetBlinkIntervalOff(uint16_t Value) { BlinkingControlsList()->SetOffInterval(Value); }
uint16_t TKvLabel::BlinkIntervalOn() const { return BlinkingControlsList()->OnInterval(); }
void TKvLabel::SetBlinkIntervalOn(uint16_t Value) { BlinkingControlsList()->SetOnInterval(Value); }

void TKvLabel::SetBevelWidth(int32_t Value) { Change(FBorder.BevelWidth, std::max(Value, 1), true); }
void TKvLabel::SetBorderInner(TFrameStyleEx Value) { Change(FBorder.Inner, Value, true); }
void TKvLabel::SetBorderOuter(TFrameStyleEx Value) { Change(FBorder.Outer, Value, true); }
void TKvLabel::SetBorderSides(TSides Value) { Change(FBorder.Sides, TSides(Value & sdsAll), true); }
void TKvLabel::SetBorderColor(TColor Value) { Change(FBorder.BorderColor, Value, false); }
void TKvLabel::SetBorderHighlight(TColor Value) { Change(FBorder.HighlightColor, Value, false); }
void TKvLabel::SetBorderShadow(TColor Value) { Change(FBorder.ShadowColor, Value, false); }
void TKvLabel::SetBorderWidth(int32_t Value) { Change(FBorder.BorderWidth, std::max(Value, 0), true); }
void TKvLabel::SetFlatColor(TColor Value) { Change(FBorder.FlatColor, Value, false); }
void TKvLabel::SetFlatColorAdjustment(int32_t Value) { Change(FBorder.FlatColorAdjustment, Value, false); }

void TKvLabel::SetCondenseCaption(TKvCondenseCaption Value) {
  if (Value == FCondenseCaption) return;
  FCondenseCaption = Value;
  if (Value != ccNone) SetAutoSize(false);
  Invalidate();
}

void TKvLabel::SetFlyByColor(TColor Value) { FFlyByColor = Value; }

void TKvLabel::SetFlyByEnabled(bool Value) {
  if (Value == FFlyByEnabled) return;
  FFlyByEnabled = Value;
  if (!Value) RestoreFlyBy();
}

void TKvLabel::SetTextStyle(TTextStyle Value) { Change(FTextStyle, Value, true); }
void TKvLabel::SetLightTextStyle(bool Value) { Change(FLightTextStyle, Value, false); }
void TKvLabel::SetHighlightColor(TColor Value) { Change(FHighlightColor, Value, false); }
void TKvLabel::SetShadowColor(TColor Value) { Change(FShadowColor, Value, false); }
void TKvLabel::SetShadowDepth(int32_t Value) { Change(FShadowDepth, Value, true); }
void TKvLabel::SetTextMargin(int32_t Value) { Change(FTextMargin, std::max(Value, 0), true); }

void TKvLabel::FrameControllerChanged() {
  TKvFrameController* F = FFrameLink.VisibleFrame();
  if (!F) return;
  if (FFrameLink.Admits(fcpFrameStyle)) FBorder.Outer = F->FrameStyle();
  if (FFrameLink.Admits(fcpFrameSides)) FBorder.Sides = F->FrameSides();
  if (FFrameLink.Admits(fcpFrameColor)) {
    FBorder.FlatColor = F->FrameColor();
    FBorder.FlatColorAdjustment = 0;
  }
  if (FFrameLink.Admits(fcpColor)) SetColor(F->Color());
  if (FFrameLink.Admits(fcpParentColor)) SetParentColor(F->ParentColor());
  if (FFrameLink.Admits(fcpColor)) {
    FBorder.HighlightColor = BrightenColor(Color(), 100);
    FBorder.ShadowColor = DimColor(Color(), 50);
  }
  AdjustBounds();
  Invalidate();
}

// ---------------------------------------------------------------------------
// Messages

void TKvLabel::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case CM_QUERYBLINKING: Message.Result = FBlinking ? 1 : 0; return;
    case CM_BLINK:
      if (FBlinking) {
        FCurrentColor = Message.WParam == 1 ? FBlinkColor : FNormalColor;
        Invalidate();
      }
      return;
    default: TCustomLabel::WndProc(Message);
  }
}

void TKvLabel::CMFontChanged() {
  // A colour the program sets while fly-by shows is the one to keep.
  if (FFlyByApplied && !FSettingFontColor && Font()->Color() != FFlyByColor) FFlyByApplied = false;
  if (!Loading()) {
    if (!FBlinking) FNormalColor = FCurrentColor = Font()->Color();
    if (FAngle != 0 && !IsTrueTypeFont(Font())) FAngle = 0;
  }
  TCustomLabel::CMFontChanged();
}

void TKvLabel::CMParentColorChanged() {
  if (!FConstructing) TCustomLabel::CMParentColorChanged();
}

void TKvLabel::SetFontColor(TColor Value) {
  FSettingFontColor = true;
  Font()->SetColor(Value);
  FSettingFontColor = false;
}

void TKvLabel::CMMouseEnter() {
  if (!Designing() && FFlyByEnabled && !FFlyByApplied) {
    FSavedFontColor = Font()->Color();
    FFlyByApplied = true;
    SetFontColor(FFlyByColor);
  }
  TCustomLabel::CMMouseEnter();
}

void TKvLabel::CMMouseLeave() {
  if (!Designing()) RestoreFlyBy();
  TCustomLabel::CMMouseLeave();
}

void TKvLabel::RestoreFlyBy() {
  if (!FFlyByApplied) return;
  FFlyByApplied = false;
  SetFontColor(FSavedFontColor);
}

// ---------------------------------------------------------------------------
// Size and painting

uint32_t TKvLabel::TextFormat() const {
  uint32_t Flags = Alignments[Alignment()] | DT_EXPANDTABS;
  if (WordWrap()) Flags |= DT_WORDBREAK;
  if (!ShowAccelChar()) Flags |= DT_NOPREFIX;
  if (FCondenseCaption == ccAtEnd) Flags |= DT_END_ELLIPSIS;
  if (FCondenseCaption == ccWithinPath) Flags |= DT_PATH_ELLIPSIS;
  return DrawTextBiDiModeFlags(Flags);
}

std::string TKvLabel::VisibleCaption() const {
  return ShowAccelChar() ? StripAccelerators(GetLabelText()) : GetLabelText();
}

TRect TKvLabel::TextArea() const {
  TRect R = InsetSides(ClientRect(), FBorder.Sides,
                       FrameStyleInset(FBorder.Outer, FBorder.BevelWidth) + FrameStyleInset(FBorder.Inner, FBorder.BevelWidth));
  InflateRect(R, -(FBorder.BorderWidth + FTextMargin), -(FBorder.BorderWidth + FTextMargin));
  return R;
}

void TKvLabel::AdjustBounds() {
  if (Loading() || !AutoSize()) return;
  const int32_t Inset = FrameStyleInset(FBorder.Outer, FBorder.BevelWidth) + FrameStyleInset(FBorder.Inner, FBorder.BevelWidth);
  const TRect Frame = InsetSides(Rect(0, 0, 0, 0), FBorder.Sides, Inset + FBorder.BorderWidth);
  const int32_t InsetW = Frame.Left - Frame.Right + 2 * FTextMargin, InsetH = Frame.Top - Frame.Bottom + 2 * FTextMargin;
  TCanvas* C = Canvas();
  C->SetFont(Font());
  std::string Text = GetLabelText();
  if (Text.empty() || (ShowAccelChar() && Text == "&")) Text += ' ';
  TRect R = Rect(0, 0, std::max(Width() - InsetW, 1), 0);
  C->DrawText(Text, R, (TextFormat() & ~(DT_END_ELLIPSIS | DT_PATH_ELLIPSIS)) | DT_CALCRECT);
  double W = R.Width() + InsetW, H = R.Height() + InsetH;
  if (FRotation == roNone && FTextStyle == tsShadow) {
    W += FShadowDepth;
    H += FShadowDepth;
  } else if (FRotation == roFlat && FAngle != 0 && FAngle != 180) {
    if (FTextStyle == tsShadow) {
      W += FShadowDepth / 2;
      H += FShadowDepth / 2;
    }
    // The bounding box of the turned text.
    const double Cos = std::abs(std::cos(Radians(FAngle))), Sin = std::abs(std::sin(Radians(FAngle)));
    const double TurnedW = Cos * W + Sin * H, TurnedH = Sin * W + Cos * H;
    W = TurnedW;
    H = TurnedH;
  }
  const auto NewW = static_cast<int32_t>(Round(W)), NewH = static_cast<int32_t>(Round(H));
  int32_t X = Left();
  if ((TextFormat() & (DT_CENTER | DT_RIGHT)) == DT_RIGHT) X += Width() - NewW;
  SetBounds(X, Top(), NewW, NewH);
}

void TKvLabel::Paint() {
  TCanvas* C = Canvas();
  TControlBorder Border = FBorder;
  Border.Transparent = Transparent();
  Border.ParentColor = Parent() ? Parent()->Color() : Color();
  Border.ControlColor = Color();
  C->Pen()->SetStyle(psSolid);
  const TRect Inner = PaintControlBorder(C, ClientRect(), Border);
  if (!Transparent()) {
    C->Brush()->SetColor(Color());
    C->Brush()->SetStyle(bsSolid);
    C->FillRect(Inner);
  }
  C->Brush()->SetStyle(bsClear);
  C->SetFont(Font());
  if (FRotation == roCurve && PaintCurved()) return;
  if (FRotation == roFlat)
    PaintFlat();
  else
    PaintNormal(TextArea());
}

template <class Fn>
void TKvLabel::DrawCopies(Fn&& Draw) {
  if (!Enabled()) {
    // Embossed, whatever the text style.
    Draw(1, 1, TColor(clBtnHighlight));
    Draw(0, 0, TColor(clBtnShadow));
    return;
  }
  switch (FTextStyle) {
    case tsRaised:
      if (!FLightTextStyle) Draw(1, 1, FShadowColor);
      Draw(-1, -1, FHighlightColor);
      break;
    case tsRecessed:
      Draw(1, 1, FHighlightColor);
      if (!FLightTextStyle) Draw(-1, -1, FShadowColor);
      break;
    case tsShadow: Draw(FShadowDepth, FShadowDepth, FShadowColor); break;
    case tsNormal: break;
  }
  Draw(0, 0, FCurrentColor);
}

void TKvLabel::PaintNormal(const TRect& Area) {
  TCanvas* C = Canvas();
  const std::string Text = GetLabelText();
  const uint32_t Flags = TextFormat();
  TRect R = Area;
  if (Layout() != tlTop) {
    TRect Calc = R;
    C->DrawText(Text, Calc, Flags | DT_CALCRECT);
    const int32_t Spare = R.Height() - Calc.Height();
    R.Top += Layout() == tlCenter ? Spare / 2 : Spare;
  }
  if (FTextStyle == tsShadow) {
    // Room for the shadow on the side the text is pushed to.
    if ((Flags & (DT_CENTER | DT_RIGHT)) == DT_RIGHT) R.Right -= FShadowDepth;
    if (Layout() == tlBottom) R.Top -= FShadowDepth;
  }
  DrawCopies([&](int32_t DX, int32_t DY, TColor Color) {
    TRect P = R;
    OffsetRect(P, DX, DY);
    C->Font()->SetColor(Color);
    C->DrawText(Text, P, Flags);
  });
}

void TKvLabel::PaintFlat() {
  TCanvas* C = Canvas();
  const std::string Text = VisibleCaption();
  const int32_t W = C->TextWidth(Text), H = C->TextHeight(Text);
  C->SetFont(MakeRotatedFont(Font(), FAngle).get());
  // The text's centre at the label's centre: its top-left corner turned about it.
  const double A = Radians(FAngle), Cos = std::cos(A), Sin = std::sin(A);
  const auto X = static_cast<int32_t>(Round(Width() / 2.0 - W / 2.0 * Cos - H / 2.0 * Sin));
  const auto Y = static_cast<int32_t>(Round(Height() / 2.0 + W / 2.0 * Sin - H / 2.0 * Cos));
  DrawCopies([&](int32_t DX, int32_t DY, TColor Color) {
    C->Font()->SetColor(Color);
    C->TextOut(X + DX, Y + DY, Text);
  });
}

bool TKvLabel::PaintCurved() {
  const int32_t W = Width(), H = Height(), BW = FBorder.BorderWidth;
  int32_t RX = W - 2 * BW, RY = H - 2 * BW;
  if (FCenterPoint == cpUpperCenter || FCenterPoint == cpLowerCenter || FCenterPoint == cpCenter) RX = W / 2 - 2 * BW;
  if (FCenterPoint == cpLeftCenter || FCenterPoint == cpRightCenter || FCenterPoint == cpCenter) RY = H / 2 - 2 * BW;
  // A curve needs room: a label too small for one gets the normal painter.
  if (RX <= 0 || RY <= 0) return false;
  static constexpr int8_t Along[] = {0, 1, 2, 0, 1, 2, 0, 1, 2};  // left, centre, right
  static constexpr int8_t Down[] = {0, 0, 0, 1, 1, 1, 2, 2, 2};   // top, middle, bottom
  const int32_t RefX[] = {BW, W / 2, W - BW}, RefY[] = {BW, H / 2, H - BW};
  const int32_t CX = RefX[Along[FCenterPoint]], CY = RefY[Down[FCenterPoint]];
  TCanvas* C = Canvas();
  const int32_t TH = C->TextHeight("Yy");
  const double Advance = (C->TextWidth("w") + 2) / static_cast<double>(RX);
  const uint32_t OldAlign = C->TextAlign();
  C->SetTextAlign(TA_BASELINE | TA_CENTER);
  TFont Turned;
  double T = Radians(FAngle);
  for (const std::string& Ch : Characters(VisibleCaption())) {
    const auto X = static_cast<int32_t>(Round(CX - (RX - TH) * std::cos(T)));
    const auto Y = static_cast<int32_t>(Round(CY - (RY - TH) * std::sin(T)));
    Turned.Assign(*Font());
    Turned.SetOrientation(static_cast<int32_t>(Round(T * 1800 / std::numbers::pi)));
    C->SetFont(&Turned);
    DrawCopies([&](int32_t DX, int32_t DY, TColor Color) {
      C->Font()->SetColor(Color);
      C->TextOut(X + DX, Y + DY, Ch);
    });
    T -= Advance;
  }
  C->SetTextAlign(OldAlign);
  return true;
}

// ---------------------------------------------------------------------------
// The link label

TKvURLLabel::TKvURLLabel(TComponent* AOwner) : TKvLabel(AOwner) {
  if (Screen) Screen->RegisterCursor(crKvHandPoint, crHandPoint);
  SetCursor(crKvHandPoint);
  SetTextStyle(tsNormal);
  Font()->SetStyle(Font()->Style() | fsUnderline);
  ApplyLinkColor();
}

void TKvURLLabel::ApplyLinkColor() {
  Font()->SetColor(FVisited ? FVisitedColor : FUnvisitedColor);
  Invalidate();
}

void TKvURLLabel::SetVisited(bool Value) {
  FVisited = Value;
  ApplyLinkColor();
}

void TKvURLLabel::SetVisitedColor(TColor Value) {
  FVisitedColor = Value;
  ApplyLinkColor();
}

void TKvURLLabel::SetUnvisitedColor(TColor Value) {
  FUnvisitedColor = Value;
  ApplyLinkColor();
}

void TKvURLLabel::Click() {
  TKvLabel::Click();
  const std::string Target = Trim(FURL.empty() ? Caption() : FURL);
  if (!Target.empty() && OpenURL(Target)) SetVisited(true);
}
