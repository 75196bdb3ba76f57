// KvPanel: the toolbar and its overflow button.
#include <cxxabi.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <typeinfo>

#include "platform/gui/Forms.h"
#include "widgets/KvGrafx.h"
#include "widgets/KvPanel.h"
#include "widgets/KvPopups.h"
#include "widgets/KvToolBtn.h"

namespace {

// The overflow button's width at the toolbar's right end.
constexpr int32_t ChevronWidth = 14;

struct TTextPreset {
  TButtonLayout Layout;
  int32_t Width, Height;
  bool Captions;
  int32_t RowHorizontal, RowVertical;
};
// ttoNoTextLabels, ttoShowTextLabels, ttoSelectiveTextOnRight.
constexpr TTextPreset TextPresets[] = {
    {blGlyphLeft, 25, 25, false, 25, 25},
    {blGlyphTop, 60, 40, true, 40, 60},
    {blGlyphLeft, 60, 25, true, 25, 60},
};

// Whether Control's class, without its namespace, is named Name (in any case, as the
// class library compares class names).
bool ClassNameIs(const TControl& Control, std::string_view Name) {
  int Status = 0;
  const std::unique_ptr<char, decltype(&std::free)> Demangled(
      abi::__cxa_demangle(typeid(Control).name(), nullptr, nullptr, &Status), &std::free);
  std::string_view Full = Status == 0 && Demangled ? Demangled.get() : typeid(Control).name();
  if (const size_t Colon = Full.rfind("::"); Colon != std::string_view::npos) Full.remove_prefix(Colon + 2);
  return Full.size() == Name.size() &&
         std::equal(Full.begin(), Full.end(), Name.begin(),
                    [](unsigned char A, unsigned char B) { return std::tolower(A) == std::tolower(B); });
}

}  // namespace

// A copy of a tool button in the overflow popup: clicking it closes the popup and
// lets the original click afterwards (never the copied handler too).
class TKvPopupToolButton : public TKvToolButton {
public:
  TKvPopupToolButton(TComponent* AOwner, TKvToolButton* ASource, TKvToolbarPopupButton* AOverflow)
      : TKvToolButton(AOwner), FSource(ASource), FOverflow(AOverflow) {}
  void Click() override { FOverflow->Choose(FSource, Down()); }

private:
  TKvToolButton* FSource;
  TKvToolbarPopupButton* FOverflow;
};

// ---------------------------------------------------------------------------
// TKvToolbar

TKvToolbar::TKvToolbar(TComponent* AOwner) : TKvCustomPanel(AOwner), FImageLink(std::make_unique<TChangeLink>()) {
  TKvCustomPanel::SetBorderOuter(fsGroove);
  TKvCustomPanel::SetBorderInner(fsNone);
  TKvCustomPanel::SetBorderSides(sdsTop);
  SetBorderWidth(0);
  SetFullRepaint(false);
  SetBounds(Left(), Top(), 32, 32);
  TKvCustomPanel::SetAlign(alTop);
  FImageLink->OnChange = [this](TComponent*) {
    NotifyControls(CM_TOOLBARBUTTONSIZE);
    for (int32_t I = 0; I < ControlCount(); ++I) Controls(I)->Invalidate();
  };
}

TKvToolbar::~TKvToolbar() = default;

void TKvToolbar::Loaded() {
  TKvCustomPanel::Loaded();
  // The controls that came while loading join in the order they came.
  for (TControl* C : FArrivals)
    if (C->Parent() == this && !Listed(C)) FControlList.push_back(C);
  FArrivals.clear();
  for (int32_t I = 0; I < ControlCount(); ++I) {
    TControl* C = Controls(I);
    if (!Listed(C) && !dynamic_cast<TKvToolbarPopupButton*>(C)) FControlList.push_back(C);
  }
  PositionControls();
  if (FAutoStyle) ApplyAutoStyle(Align());
}

bool TKvToolbar::Listed(const TControl* Control) const {
  return std::find(FControlList.begin(), FControlList.end(), Control) != FControlList.end();
}

void TKvToolbar::CMControlChange(TControl* Control, bool Inserting) {
  TKvCustomPanel::CMControlChange(Control, Inserting);
  if (dynamic_cast<TKvToolbarPopupButton*>(Control)) return;
  if (Inserting) {
    if (Loading()) {
      FArrivals.push_back(Control);
      return;
    }
    if (!Listed(Control)) FControlList.push_back(Control);
  } else {
    std::erase(FControlList, Control);
    std::erase(FArrivals, Control);
    if (Destroying()) return;
  }
  PositionControls();
}

void TKvToolbar::AlignControls(TControl* AControl, TRect& Rect) {
  TKvCustomPanel::AlignControls(AControl, Rect);
  PositionControls();
}

int32_t TKvToolbar::GetRowOffset(int32_t) const { return FRowHeight; }

void TKvToolbar::GetResizeRepaintMargin(TPoint& Margin) const {
  // The overflow button and the pixel before it.
  if (FOrientation == orHorizontal && !FWrapControls && FOverflowShown)
    Margin = Point(ChevronWidth + 1, 1);
  else
    TKvCustomPanel::GetResizeRepaintMargin(Margin);
}

void TKvToolbar::PositionControl(int32_t Index, int32_t Row, int32_t& Pos) {
  TControl* C = FControlList.at(static_cast<size_t>(Index));
  if (!C || C->Destroying()) return;
  const int32_t Across = (Row - 1) * FRowOffset + FRowHeight / 2;
  if (FOrientation == orVertical) {
    C->SetBounds(Across + FMargin - C->Width() / 2, Pos, C->Width(), C->Height());
    Pos += C->Height();
  } else {
    const int32_t Y = Across + FTopMargin - C->Height() / 2;
    C->SetBounds(UseRightToLeftAlignment() ? Width() - C->Width() - Pos : Pos, Y, C->Width(), C->Height());
    Pos += C->Width();
  }
}

void TKvToolbar::PositionControls() {
  if (FPositioning) return;
  FPositioning = true;
  struct TDone {
    bool& Flag;
    ~TDone() { Flag = false; }
  } Done{FPositioning};
  const bool Vertical = FOrientation == orVertical;
  const TAlign A = Align();
  const bool Sideways = A == alLeft || A == alRight;
  const bool Lengthwise = A == alNone || A == alTop || A == alBottom;
  // A length the toolbar sets itself from its content is nothing to wrap against: each
  // new control would start a row of its own.
  const bool SizesItsLength = FAutoResize && (Vertical ? Lengthwise : Sideways);
  const bool Wrap = FWrapControls && !SizesItsLength;
  int32_t Pos = FMargin, Extent = 0, Row = 1;
  FRowOffset = GetRowOffset(1);
  bool First = true;
  for (size_t I = 0; I < FControlList.size(); ++I) {
    TControl* C = FControlList[I];
    if (!C->Visible()) continue;
    const int32_t Length = Vertical ? C->Height() : C->Width();
    const int32_t Room = Vertical ? Height() : Width();
    if (Wrap && !First && Room - FMargin < Pos + Length) {
      Pos = FMargin;
      ++Row;
      FRowOffset = GetRowOffset(Row);
    }
    First = false;
    PositionControl(static_cast<int32_t>(I), Row, Pos);
    Extent = std::max(Extent, Pos);
  }
  // Judged on this pass's positions, so that a control just added or grown counts.
  FOverflowShown = !Vertical && !FWrapControls && !FControlList.empty() && Width() - FMargin < Extent;
  if (FAutoResize) {
    int32_t W = Width(), H = Height();
    if (!Vertical) {
      if (Sideways && Extent > 0) W = FMargin + Extent;
      if (Lengthwise) H = Row * FRowHeight + 2 * FTopMargin;
    } else {
      if (Lengthwise && Extent > 0) H = FMargin + Extent;
      // The same margins across as a horizontal toolbar has.
      if (Sideways) W = Row * FRowHeight + 2 * FTopMargin;
    }
    if (W != Width() || H != Height()) {
      Invalidate();
      // The parent realigns directly, from SetBounds.
      SetBounds(Left(), Top(), W, H);
    }
  }
  PlaceOverflowButton();
}

void TKvToolbar::PlaceOverflowButton() {
  const bool Show = FOverflowShown && !Loading() && !FWrapControls && FOrientation == orHorizontal;
  if (Show && !FOverflowButton) FOverflowButton = new TKvToolbarPopupButton(this);
  if (!FOverflowButton) return;
  if (Show) {
    FOverflowButton->SetBounds(Width() - ChevronWidth, 0, ChevronWidth, Height());
    // Restacking repaints every child (and the toolbar under them): only when needed.
    if (Controls(ControlCount() - 1) != FOverflowButton) FOverflowButton->BringToFront();
  }
  FOverflowButton->SetVisible(Show);
}

void TKvToolbar::Paint() {
  TKvCustomPanel::Paint();
  if (!FBackground || FBackground->Empty()) return;
  TRect R = ClientRect();
  AdjustBorderRect(R, true);
  const int32_t Saved = Canvas()->SaveDC();
  Canvas()->IntersectClipRect(R.Left, R.Top, R.Right, R.Bottom);
  TileBitmapRect(Canvas(), FBackground.get(), R);
  Canvas()->RestoreDC(Saved);
}

// ---------------------------------------------------------------------------
// TKvToolbar: settings

void TKvToolbar::SetAutoResize(bool Value) {
  CheckAutoResize(Value);
  if (Value == FAutoResize) return;
  FAutoResize = Value;
  PositionControls();
}

void TKvToolbar::CheckAutoResize(bool& Value) const {
  if (TWinControl* P = Parent(); P && (ClassNameIs(*P, "TPageScroller") || ClassNameIs(*P, "TToolbar"))) Value = false;
}

void TKvToolbar::SetParent(TWinControl* AParent) {
  TKvCustomPanel::SetParent(AParent);
  CheckAutoResize(FAutoResize);
}

void TKvToolbar::SetBackground(const TBitmap* Value) {
  if (!Value || Value->Empty()) {
    FBackground.reset();
  } else {
    if (!FBackground) FBackground = std::make_unique<TBitmap>();
    FBackground->Assign(*Value);
  }
  Invalidate();
}

void TKvToolbar::SetImages(TCustomImageList* Value) {
  if (Value == FImages) return;
  ReplaceImageList(this, FImages, Value, FImageLink.get());
  FImageLink->OnChange(Value);
}

void TKvToolbar::Notification(TComponent* AComponent, TOperation Operation) {
  TKvCustomPanel::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FImages) {
    FImages = nullptr;
    for (int32_t I = 0; I < ControlCount(); ++I) Controls(I)->Invalidate();
  }
}

void TKvToolbar::SetOrientation(TOrientation Value) {
  if (Value == FOrientation) return;
  FOrientation = Value;
  PositionControls();
  Invalidate();
}

void TKvToolbar::SetRowHeight(int32_t Value) {
  if (Value == FRowHeight) return;
  FRowHeight = Value;
  PositionControls();
}

void TKvToolbar::SetWrapControls(bool Value) {
  if (Value == FWrapControls) return;
  FWrapControls = Value;
  PositionControls();
}

void TKvToolbar::SetMargin(int32_t Value) {
  if (Value == FMargin) return;
  FMargin = Value;
  PositionControls();
}

void TKvToolbar::SetTopMargin(int32_t Value) {
  if (Value == FTopMargin) return;
  FTopMargin = Value;
  PositionControls();
}

void TKvToolbar::SetShowDivider(bool Value) {
  if (Value == FShowDivider) return;
  FShowDivider = Value;
  TKvCustomPanel::SetBorderOuter(Value ? fsGroove : fsNone);
}

template <class T>
void TKvToolbar::ChangeButtonSetting(T& Field, T Value, uint32_t Message) {
  if (Field == Value) return;
  Field = Value;
  NotifyControls(Message);
  ButtonSettingChanged(Message);
}

void TKvToolbar::ButtonSettingChanged(uint32_t Message) {
  // A button's width depends on its caption and layout too.
  if (Message != CM_TOOLBARBUTTONSIZE) NotifyControls(CM_TOOLBARBUTTONSIZE);
  if (!FTextOptionsChanging) FTextOptions = ttoCustom;
  PositionControls();
}

void TKvToolbar::SetShowButtonCaptions(bool Value) { ChangeButtonSetting(FShowButtonCaptions, Value, CM_TOOLBARSHOWCAPTIONS); }

void TKvToolbar::SetButtonLayout(TButtonLayout Value) {
  if (Value == FButtonLayout) return;
  FButtonLayout = Value;
  for (int32_t I = 0; I < ControlCount(); ++I) SetChildButtonLayout(Controls(I), Value);
  ButtonSettingChanged(CM_TOOLBARBUTTONLAYOUT);
}

void TKvToolbar::SetButtonWidth(int32_t Value) { ChangeButtonSetting(FButtonWidth, Value, CM_TOOLBARBUTTONSIZE); }
void TKvToolbar::SetButtonHeight(int32_t Value) { ChangeButtonSetting(FButtonHeight, Value, CM_TOOLBARBUTTONSIZE); }

void TKvToolbar::SetTextOptions(TKvToolbarTextOptions Value) {
  if (Value == FTextOptions) return;
  FTextOptions = Value;
  if (Value == ttoCustom) return;
  const TTextPreset& P = TextPresets[Value];
  FTextOptionsChanging = true;
  struct TDone {
    bool& Flag;
    ~TDone() { Flag = false; }
  } Done{FTextOptionsChanging};
  SetButtonLayout(P.Layout);
  SetButtonWidth(P.Width);
  SetButtonHeight(P.Height);
  SetShowButtonCaptions(P.Captions);
  SetRowHeight(FOrientation == orVertical ? P.RowVertical : P.RowHorizontal);
}

void TKvToolbar::SetButtonSize(int32_t AWidth, int32_t AHeight, bool ShowCaptions) {
  SetShowButtonCaptions(ShowCaptions);
  SetButtonWidth(AWidth);
  SetButtonHeight(AHeight);
  SetRowHeight(FOrientation == orVertical ? AWidth : AHeight);
}

void TKvToolbar::SetAlign(TAlign Value) {
  if (Value == Align()) return;
  TKvCustomPanel::SetAlign(Value);
  if (FAutoStyle) ApplyAutoStyle(Value);
  if (FAutoResize) {
    if (Value == alLeft || Value == alRight)
      SetWidth(32);
    else
      SetHeight(32);
  }
}

void TKvToolbar::ApplyAutoStyle(TAlign Value) {
  TKvCustomPanel::SetBorderInner(fsNone);
  TKvCustomPanel::SetBorderOuter(FShowDivider ? fsGroove : fsNone);
  switch (Value) {
    case alBottom: TKvCustomPanel::SetBorderSides(sdsBottom); break;
    case alLeft: TKvCustomPanel::SetBorderSides(sdsLeft); break;
    case alRight: TKvCustomPanel::SetBorderSides(sdsRight); break;
    default: TKvCustomPanel::SetBorderSides(sdsTop); break;
  }
  Invalidate();
}

// Setting a border yourself ends the automatic divider.
void TKvToolbar::SetBorderInner(TFrameStyleEx Value) {
  TKvCustomPanel::SetBorderInner(Value);
  FAutoStyle = false;
}
void TKvToolbar::SetBorderOuter(TFrameStyleEx Value) {
  TKvCustomPanel::SetBorderOuter(Value);
  FAutoStyle = false;
}
void TKvToolbar::SetBorderSides(TSides Value) {
  TKvCustomPanel::SetBorderSides(Value);
  FAutoStyle = false;
}

void TKvToolbar::SetVisualStyle(TKvVisualStyle Value) {
  TKvCustomPanel::SetVisualStyle(Value);
  NotifyControls(CM_TOOLBARVISUALSTYLE);
}

void TKvToolbar::SetGradientColorStyle(TKvGradientColorStyle Value) {
  TKvCustomPanel::SetGradientColorStyle(Value);
  NotifyControls(CM_TOOLBARVISUALSTYLE);
}

void TKvToolbar::CMVisibleChanged() {
  TKvCustomPanel::CMVisibleChanged();
  if (OnVisibleChanged) OnVisibleChanged(this);
}

void TKvToolbar::CMBiDiModeChanged() {
  TKvCustomPanel::CMBiDiModeChanged();
  PositionControls();
}

// ---------------------------------------------------------------------------
// TKvToolbarPopupButton

TKvToolbarPopupButton::TKvToolbarPopupButton(TKvToolbar* AToolbar) : TCustomControl(AToolbar), FToolbar(AToolbar) {
  FFrameColor = AdjustLuminance(AToolbar->FlatColor(), AToolbar->FlatColorAdjustment());
  SetParent(AToolbar);
}

void TKvToolbarPopupButton::SetFrameColor(TColor Value) {
  if (Value == FFrameColor) return;
  FFrameColor = Value;
  Invalidate();
}

void TKvToolbarPopupButton::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  FTracking = true;
  FPressed = true;
  Invalidate();
}

void TKvToolbarPopupButton::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  if (!FTracking) return;
  const bool Inside = PtInRect(ClientRect(), {X, Y});
  if (Inside == FPressed) return;
  FPressed = Inside;
  Invalidate();
}

void TKvToolbarPopupButton::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  FTracking = false;
  if (!FPressed) return;
  FPressed = false;
  Invalidate();
  ShowPopup();
}

void TKvToolbarPopupButton::Paint() {
  TCanvas* C = Canvas();
  const TRect R = ClientRect();
  const TRect Inner = PaintOutlineBox(C, R, FFrameColor);
  if (FToolbar->VisualStyle() == vsGradient) {
    TColor Start, Stop;
    FToolbar->GradientColors(Start, Stop);
    if (FPressed) std::swap(Start, Stop);
    FillGradientRect(C, Inner, FToolbar->GradientDirection(), 1, Stop, Start);
  } else {
    FillSolidRect(C, Inner, FPressed ? DimColor(FToolbar->Color(), 20) : FToolbar->Color());
  }
  // A bar over a triangle pointing down.
  const int32_t CX = (R.Left + R.Right) / 2, BY = R.Bottom - 4 + (FPressed ? 1 : 0);
  FillSolidRect(C, Rect(CX - 3, BY - 5, CX + 4, BY - 4), clBlack);
  for (int32_t I = 0; I <= 3; ++I) FillSolidRect(C, Rect(CX - I, BY - I, CX + I + 1, BY - I + 1), clBlack);
}

void TKvToolbarPopupButton::Choose(TKvToolButton* Source, bool Down) {
  FChosen = Source;
  FChosenDown = Down;
  if (FPanel) FPanel->ClosePopup();
}

void TKvToolbarPopupButton::ShowPopup() {
  TCustomForm* Form = GetParentForm(FToolbar);
  if (!Form || FPanel) return;
  TKvToolbar* Source = FToolbar;
  TComponentPtr<TKvPopupPanel> Panel(new TKvPopupPanel(nullptr));
  auto* Inner = new TKvToolbar(Panel.get());
  Inner->SetAlign(alNone);
  Inner->SetBorderOuter(fsFlat);
  Inner->SetBorderSides(sdsAll);
  // Inside the panel's borders, three buttons a row.
  const int32_t Inset = Panel->BorderWidth() + FrameStyleInset(Panel->BorderOuter(), Panel->BevelWidth());
  Inner->SetBounds(Inset, Inset, 3 * Source->ButtonWidth() + 8, Inner->Height());
  Inner->SetBackground(Source->Background());
  Inner->SetBiDiMode(Source->BiDiMode());
  Inner->SetButtonHeight(Source->ButtonHeight());
  Inner->SetButtonLayout(Source->ButtonLayout());
  Inner->SetButtonWidth(Source->ButtonWidth());
  Inner->SetColor(Source->VisualStyle() == vsGradient ? TColor(clWindow) : Source->Color());
  Inner->SetGradientColorStart(Source->GradientColorStart());
  Inner->SetGradientColorStop(Source->GradientColorStop());
  Inner->SetGradientColorStyle(Source->GradientColorStyle());
  Inner->SetGradientDirection(Source->GradientDirection());
  Inner->SetImages(Source->Images());
  Inner->SetRowHeight(Source->RowHeight());
  Inner->SetShowButtonCaptions(Source->ShowButtonCaptions());
  Inner->SetShowHint(Source->ShowHint());
  Inner->SetTextOptions(Source->TextOptions());
  Inner->SetVisualStyle(Source->VisualStyle());
  Inner->SetParent(Panel.get());
  // The buttons cut off at the far end.
  const int32_t Edge = Source->Width() - Source->Margin();
  for (int32_t I = 0; I < Source->ToolbarControlCount(); ++I) {
    auto* Button = dynamic_cast<TKvToolButton*>(Source->ToolbarControls(I));
    if (!Button || !Button->Visible()) continue;
    const bool CutOff = Source->UseRightToLeftAlignment() ? Button->Left() < Source->Margin()
                                                          : Button->Left() + Button->Width() > Edge;
    if (!CutOff) continue;
    auto* Copy = new TKvPopupToolButton(Inner, Button, this);
    Copy->AssignButton(*Button);
    Copy->SetParent(Inner);
  }
  Panel->Font()->SetName(Font()->Name());
  Panel->Font()->SetColor(Font()->Color());
  Panel->SetParent(Form);
  FChosen = nullptr;
  FPanel = Panel.get();
  struct TForget {
    TKvPopupPanel*& Panel;
    ~TForget() { Panel = nullptr; }
  } Forget{FPanel};
  Panel->Popup(this);
  TKvToolButton* Chosen = FChosen;
  FChosen = nullptr;
  Panel.reset();
  if (!Chosen) return;
  // The original follows its copy: a grouped one latches, then it clicks once.
  if (Chosen->GroupIndex() != 0) Chosen->SetDown(FChosenDown);
  Chosen->Click();
}
