#include "widgets/KvToolBtn.h"

#include <algorithm>

#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"
#include "widgets/KvGrafx.h"
#include "widgets/KvPanel.h"

namespace {

// The width of a drop-down button's arrow section.
constexpr int32_t ArrowWidth = 14;
// A press this soon after the drop-down menu closed only closed it.
constexpr uint32_t RePressGuard = 100;
// Added to the widest menu caption for the menu's own margins.
constexpr int32_t MenuMargins = 56;

// The class library's two-colour pattern: an 8 x 8 checkerboard with Fore where x and
// y are both even or both odd.
std::unique_ptr<TBitmap> PatternBitmap(TColor Back, TColor Fore) {
  auto B = std::make_unique<TBitmap>(8, 8);
  for (int32_t Y = 0; Y < 8; ++Y)
    for (int32_t X = 0; X < 8; ++X) B->Canvas()->SetPixel(X, Y, (X % 2) == (Y % 2) ? Fore : Back);
  return B;
}

void VerticalLine(TCanvas* C, TColor Color, int32_t X, int32_t Height) {
  C->Pen()->SetColor(Color);
  C->MoveTo(X, 0);
  C->LineTo(X, Height);
}

}  // namespace

TKvToolButton::TKvToolButton(TComponent* AOwner)
    : TGraphicControl(AOwner), FImageChangeLink(std::make_unique<TChangeLink>()) {
  SetControlStyle(csCaptureMouse);
  TGraphicControl::SetBounds(Left(), Top(), 25, 25);
  SetColor(clBtnFace);
  FImageChangeLink->OnChange = [this](TComponent*) { ImagesChanged(); };
}

TKvToolButton::~TKvToolButton() = default;

void TKvToolButton::Loaded() {
  TGraphicControl::Loaded();
  UpdateFromToolbar();
}

TKvToolbar* TKvToolButton::Toolbar() const { return dynamic_cast<TKvToolbar*>(Parent()); }

TCustomImageList* TKvToolButton::EffectiveImages() const {
  if (FImages) return FImages;
  const TKvToolbar* T = Toolbar();
  return T ? T->Images() : nullptr;
}

// ---------------------------------------------------------------------------
// Settings

template <class T>
void TKvToolButton::Change(T& Field, T Value) {
  if (Value == Field) return;
  Field = Value;
  Invalidate();
}

void TKvToolButton::SetAlignment(TAlignment Value) { Change(FAlignment, Value); }
void TKvToolButton::SetFlat(bool Value) { Change(FFlat, Value); }
void TKvToolButton::SetTransparent(bool Value) { Change(FTransparent, Value); }
void TKvToolButton::SetGradientColorStyle(TKvGradientColorStyle Value) { Change(FGradientColorStyle, Value); }
void TKvToolButton::SetSelectionColorStart(TColor Value) { Change(FSelectionColorStart, Value); }
void TKvToolButton::SetSelectionColorStop(TColor Value) { Change(FSelectionColorStop, Value); }
void TKvToolButton::SetSelectionFrameColor(TColor Value) { Change(FSelectionFrameColor, Value); }
void TKvToolButton::SetImageIndex(int32_t Value) { Change(FImageIndex, Value); }
void TKvToolButton::SetDownIndex(int32_t Value) { Change(FDownIndex, Value); }
void TKvToolButton::SetDisabledIndex(int32_t Value) { Change(FDisabledIndex, Value); }
void TKvToolButton::SetHotIndex(int32_t Value) { Change(FHotIndex, Value); }

// Setting one of these on the button ends following the toolbar's.
void TKvToolButton::SetLayout(TButtonLayout Value) {
  FUseToolbarButtonLayout = false;
  Change(FLayout, Value);
}

void TKvToolButton::SetShowCaption(bool Value) {
  FUseToolbarShowCaption = false;
  Change(FShowCaption, Value);
}

void TKvToolButton::SetVisualStyle(TKvVisualStyle Value) {
  FUseToolbarVisualStyle = false;
  Change(FVisualStyle, Value);
}

void TKvToolButton::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
  if (!FSizingFromToolbar && !Loading() && (AWidth != Width() || AHeight != Height())) FUseToolbarButtonSize = false;
  TGraphicControl::SetBounds(ALeft, ATop, AWidth, AHeight);
}

// Following the toolbar again takes its value at once.
void TKvToolButton::SetUseToolbarFlag(bool& Flag, bool Value, uint32_t Message) {
  if (Value == Flag) return;
  Flag = Value;
  if (Parent() && !Loading()) SendToSelf(Message);
}

void TKvToolButton::SetUseToolbarButtonLayout(bool Value) {
  SetUseToolbarFlag(FUseToolbarButtonLayout, Value, CM_TOOLBARBUTTONLAYOUT);
}
void TKvToolButton::SetUseToolbarButtonSize(bool Value) {
  SetUseToolbarFlag(FUseToolbarButtonSize, Value, CM_TOOLBARBUTTONSIZE);
}
void TKvToolButton::SetUseToolbarShowCaption(bool Value) {
  SetUseToolbarFlag(FUseToolbarShowCaption, Value, CM_TOOLBARSHOWCAPTIONS);
}
void TKvToolButton::SetUseToolbarVisualStyle(bool Value) {
  SetUseToolbarFlag(FUseToolbarVisualStyle, Value, CM_TOOLBARVISUALSTYLE);
}

void TKvToolButton::SetToolStyle(TKvToolStyle Value) {
  if (Value == FToolStyle) return;
  FToolStyle = Value;
  SetGroupIndex(0);
  if (!Loading()) {
    // The arrow section comes or goes; the size still follows the toolbar.
    FSizingFromToolbar = true;
    SetWidth(Value == tsDropDown ? Width() + ArrowWidth : Width() - ArrowWidth);
    FSizingFromToolbar = false;
  }
  Invalidate();
}

void ReplaceImageList(TComponent* User, TCustomImageList*& Field, TCustomImageList* Value, TChangeLink* Link) {
  if (Field) {
    Field->UnRegisterChanges(Link);
    User->RemoveFreeNotification(Field);
  }
  Field = Value;
  if (Value) {
    Value->RegisterChanges(Link);
    User->FreeNotification(Value);
  }
}

void TKvToolButton::SetImages(TCustomImageList* Value) {
  if (Value == FImages) return;
  ReplaceImageList(this, FImages, Value, FImageChangeLink.get());
  ImagesChanged();
}

void TKvToolButton::ImagesChanged() {
  if (FImages) {
    // Room for one image; the size still follows the toolbar.
    FSizingFromToolbar = true;
    SetBounds(Left(), Top(), std::max(Width(), FImages->Width()), std::max(Height(), FImages->Height()));
    FSizingFromToolbar = false;
  }
  Invalidate();
}

void TKvToolButton::SetDropDownMenu(TPopupMenu* Value) {
  if (Value == FDropDownMenu) return;
  if (FDropDownMenu) RemoveFreeNotification(FDropDownMenu);
  FDropDownMenu = Value;
  if (Value) FreeNotification(Value);
}

void TKvToolButton::Notification(TComponent* AComponent, TOperation Operation) {
  TGraphicControl::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == FImages) {
    FImages = nullptr;
    Invalidate();
  }
  if (AComponent == FDropDownMenu) FDropDownMenu = nullptr;
}

// ---------------------------------------------------------------------------
// Groups

void TKvToolButton::SetDown(bool Value) {
  if (FGroupIndex == 0) Value = false;
  if (Value == FDown) return;
  // The down button of a group stays down unless all may be up.
  if (FDown && !FAllowAllUp) return;
  FDown = Value;
  if (Value) {
    if (FState == stUp) Invalidate();
    FState = stDown;
    UpdateExclusive();
  } else {
    FState = stUp;
    Repaint();
  }
}

void TKvToolButton::SetAllowAllUp(bool Value) {
  if (Value == FAllowAllUp) return;
  FAllowAllUp = Value;
  UpdateExclusive();
}

void TKvToolButton::SetGroupIndex(int32_t Value) {
  if (FToolStyle == tsDropDown) Value = 0;
  if (Value == FGroupIndex) return;
  FGroupIndex = Value;
  // Outside a group nothing can hold the button down.
  if (Value == 0 && FDown) {
    FDown = false;
    FState = stUp;
    Invalidate();
  }
  UpdateExclusive();
}

void TKvToolButton::UpdateExclusive() {
  if (FGroupIndex == 0 || !Parent()) return;
  TMessage M{CM_BUTTONPRESSED, FGroupIndex, reinterpret_cast<intptr_t>(this), 0};
  Parent()->Broadcast(M);
}

void TKvToolButton::CMButtonPressed(int32_t GroupIndex, TControl* Sender) {
  auto* Other = dynamic_cast<TKvToolButton*>(Sender);
  if (GroupIndex != FGroupIndex || !Other || Other == this) return;
  if (Other->Down() && FDown) {
    FDown = false;
    FState = stUp;
    Invalidate();
  }
  FAllowAllUp = Other->AllowAllUp();
}

// ---------------------------------------------------------------------------
// Following the toolbar

void TKvToolButton::SetParent(TWinControl* AParent) {
  const bool Changed = AParent != Parent();
  TGraphicControl::SetParent(AParent);
  if (Changed && !Loading()) UpdateFromToolbar();
}

void TKvToolButton::CMTextChanged() {
  TGraphicControl::CMTextChanged();
  UpdateFromToolbar();
}

void TKvToolButton::SendToSelf(uint32_t Message) { Perform(Message); }

void TKvToolButton::UpdateFromToolbar() {
  if (!Parent()) return;
  SendToSelf(CM_TOOLBARSHOWCAPTIONS);
  SendToSelf(CM_TOOLBARBUTTONLAYOUT);
  SendToSelf(CM_TOOLBARBUTTONSIZE);
  SendToSelf(CM_TOOLBARVISUALSTYLE);
}

void TKvToolButton::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case CM_TOOLBARSHOWCAPTIONS: ToolbarShowCaptions(); return;
    case CM_TOOLBARBUTTONLAYOUT: ToolbarButtonLayout(); return;
    case CM_TOOLBARBUTTONSIZE: ToolbarButtonSize(); return;
    case CM_TOOLBARVISUALSTYLE: ToolbarVisualStyle(); return;
    default: TGraphicControl::WndProc(Message);
  }
}

// Each setter below clears its flag; the toolbar's value does not count as the button's own.
void TKvToolButton::ToolbarShowCaptions() {
  const TKvToolbar* T = Toolbar();
  if (!FUseToolbarShowCaption || !T) return;
  SetShowCaption(T->ShowButtonCaptions());
  FUseToolbarShowCaption = true;
}

void TKvToolButton::ToolbarButtonLayout() {
  const TKvToolbar* T = Toolbar();
  if (!FUseToolbarButtonLayout || !T) return;
  SetLayout(T->ButtonLayout());
  FUseToolbarButtonLayout = true;
}

void TKvToolButton::ToolbarVisualStyle() {
  const TKvToolbar* T = Toolbar();
  if (!FUseToolbarVisualStyle || !T) return;
  SetVisualStyle(T->VisualStyle());
  SetGradientColorStyle(T->GradientColorStyle());
  FUseToolbarVisualStyle = true;
}

void TKvToolButton::ToolbarButtonSize() {
  const TKvToolbar* T = Toolbar();
  if (!FUseToolbarButtonSize || !T) return;
  int32_t W = T->ButtonWidth();
  if (FShowCaption) {
    Canvas()->SetFont(Font());
    const int32_t TextWidth = Canvas()->TextWidth(StripAccelerators(Caption()));
    const int32_t Needed =
        FLayout == blGlyphLeft || FLayout == blGlyphRight ? GetImageSize().cx + TextWidth + 12 : TextWidth + 8;
    W = std::max(W, Needed);
  }
  if (FToolStyle == tsDropDown) W += ArrowWidth;
  FSizingFromToolbar = true;
  SetBounds(Left(), Top(), W, T->ButtonHeight());
  FSizingFromToolbar = false;
}

// ---------------------------------------------------------------------------
// Mouse

void TKvToolButton::RepaintIfHotTrackable() {
  if (HotTrackable()) Repaint();
}

void TKvToolButton::CMMouseEnter() {
  TGraphicControl::CMMouseEnter();
  FMouseInControl = true;
  RepaintIfHotTrackable();
}

void TKvToolButton::CMMouseLeave() {
  TGraphicControl::CMMouseLeave();
  // While the drop-down menu is up the button stays hot.
  if (!FKeepHot) FMouseInControl = false;
  RepaintIfHotTrackable();
}

void TKvToolButton::CheckHot() {
  if (!HotTrackable() || !Enabled()) return;
  // The handlers set the hot state; the opposite value first makes them repaint.
  if (FindDragTarget(GetCursorPos(), true) == this) {
    FMouseInControl = false;
    Perform(CM_MOUSEENTER);
  } else {
    FMouseInControl = true;
    Perform(CM_MOUSELEAVE);
  }
}

void TKvToolButton::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TGraphicControl::MouseDown(Button, Shift, X, Y);
  // The press that closes our own menu reaches us while the menu is going: it only
  // closes it.
  if (FInDropDown) {
    FClosingPressEaten = true;
    SetMouseCapture(false);
    return;
  }
  if (FToolStyle == tsButton) {
    if (Button != mbLeft || !Enabled()) return;
    if (!FDown || FState == stDown) {
      FState = stPressed;
      Invalidate();
    }
    FDragging = true;
    return;
  }
  const bool OnArrow = UseRightToLeftAlignment() ? X <= ArrowWidth : X >= Width() - ArrowWidth;
  if (FDropDownMenu && Shift == ssLeft && (OnArrow || !Splits())) {
    if (FLastDropDown && GetTickCount() - *FLastDropDown < RePressGuard) {
      FLastDropDown.reset();
      SetMouseCapture(false);
      return;
    }
    FState = stDroppedDown;
    Repaint();
    FClosingPressEaten = false;
    DropDown();
    if (FClosingPressEaten) {
      // The press that closed the menu is already used up: nothing more to guard.
      FClickAllowed = true;
      FLastDropDown.reset();
    } else {
      FClickAllowed = false;
      FLastDropDown = GetTickCount();
    }
    MouseUp(Button, Shift, X, Y);
    return;
  }
  if (!FClickAllowed) {
    FClickAllowed = true;
    return;
  }
  if (Button == mbLeft && Enabled() && !FDown) {
    FState = stPressed;
    Invalidate();
    FDragging = true;
  }
}

void TKvToolButton::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  TGraphicControl::MouseMove(Shift, X, Y);
  if (FDragging) {
    const bool Inside = PtInRect(ClientRect(), {X, Y});
    const uint8_t NewState = FDown ? stDown : (Inside ? stPressed : stUp);
    if (NewState != FState) {
      FState = NewState;
      Invalidate();
    }
  } else if (!FMouseInControl) {
    CheckHot();
  }
}

void TKvToolButton::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TGraphicControl::MouseUp(Button, Shift, X, Y);
  if (FDragging) {
    FDragging = false;
    const bool Inside = PtInRect(ClientRect(), {X, Y});
    bool DoClick = Inside;
    if (FGroupIndex == 0) {
      FState = stUp;
      FMouseInControl = false;
      if (Inside) Repaint();
    } else if (Inside) {
      const bool Was = FDown;
      SetDown(!FDown);
      DoClick = FDown != Was;
      if (FDown) {
        FState = stDown;
        Repaint();
      }
    } else {
      if (FDown) FState = stDown;
      Repaint();
    }
    if (DoClick) Click();
    CheckHot();
  }
  if (FToolStyle == tsDropDown) {
    // Closed by a click elsewhere (or a choice): the next press on the button part counts.
    if (!PtInRect(ClientRect(), ScreenToClient(GetCursorPos()))) FClickAllowed = true;
    FState = stUp;
    Repaint();
    CheckHot();
  }
}

void TKvToolButton::Click() {
  if (FToolStyle == tsDropDown && !FClickAllowed) return;
  TGraphicControl::Click();
}

bool TKvToolButton::CMDialogChar(char32_t Char, TShiftState) {
  if (!IsAccel(Char, Caption()) || !Enabled() || !Visible() || !Parent() || !Parent()->Showing()) return false;
  if (FToolStyle == tsDropDown && !Splits())
    DropDown();
  else
    Click();
  return true;
}

void TKvToolButton::DropDown() {
  if (!FDropDownMenu) return;
  struct TReset {
    TKvToolButton* B;
    ~TReset() {
      B->FKeepHot = false;
      B->FInDropDown = false;
    }
  } Reset{this};
  FKeepHot = true;
  if (OnDropDown) OnDropDown(this);
  if (!FDropDownMenu) return;
  const bool RTL = UseRightToLeftAlignment();
  TPoint P = ClientToScreen(Point(RTL ? Width() : 0, Height()));
  TCanvas Measure;
  Measure.SetFont(Screen->MenuFont());
  int32_t Widest = 0;
  for (int32_t I = 0; I < FDropDownMenu->Items()->Count(); ++I)
    Widest = std::max(Widest, Measure.TextWidth(StripAccelerators(FDropDownMenu->Items()->Items(I)->Caption())));
  const int32_t MenuWidth = Widest + MenuMargins;
  const std::optional<TMonitor> Monitor = MonitorAtPoint(P);
  const TRect Area = Monitor ? Monitor->WorkareaRect : Rect(0, 0, Screen->Width(), Screen->Height());
  if (P.X + MenuWidth > Area.Right) P.X -= MenuWidth - Width();
  FDropDownMenu->SetPopupComponent(this);
  FInDropDown = true;
  FDropDownMenu->Popup(P.X, P.Y);
  FInDropDown = false;
  if (FGroupIndex > 0 && !FDown) Click();
}

// ---------------------------------------------------------------------------
// Painting

TSize TKvToolButton::GetImageSize() const {
  const TCustomImageList* L = EffectiveImages();
  if (!L || FImageIndex == -1) return {0, 0};
  return {L->Width(), L->Height()};
}

void TKvToolButton::SelectionColors(TColor& Frame, TColor& Start, TColor& Stop) const {
  if (FGradientColorStyle == gcsCustom) {
    Frame = FSelectionFrameColor;
    Start = FSelectionColorStart;
    Stop = FSelectionColorStop;
  } else {
    SelectionColorsByStyle(FGradientColorStyle, Frame, Start, Stop);
  }
}

void TKvToolButton::Paint() {
  if (!Enabled()) {
    FState = stDisabled;
    FDragging = false;
  } else if (FState == stDisabled) {
    FState = FDown && FGroupIndex != 0 ? stDown : stUp;
  }
  TCanvas* C = Canvas();
  TRect R = ClientRect();
  // The background goes first, so that the gradient face is not painted over.
  if (!FTransparent) {
    FillSolidRect(C, R, Color());
  }
  DrawButtonFace(R);
  if (FVisualStyle != vsGradient && FState == stDown && (!FFlat || !FMouseInControl)) {
    const auto Pattern =
        FTransparent ? PatternBitmap(clBtnFace, clBtnHighlight) : PatternBitmap(Color(), BrightenColor(Color(), 20));
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetBitmap(Pattern.get());
    C->FillRect(R);
    C->Brush()->SetBitmap(nullptr);
  }
  if (FToolStyle == tsDropDown) DrawDropDownArrow();
  TRect ImageRect, CaptionRect;
  CalcRects(ImageRect, CaptionRect);
  DrawImage(ImageRect);
  DrawCaption(CaptionRect);
}

void TKvToolButton::DrawButtonFace(TRect& R) {
  TCanvas* C = Canvas();
  const bool Pushed = FState == stPressed || FState == stDown;
  if (!HotTrackable()) {
    R = PaintStyledFrameRect(C, R, Pushed ? fsLowered : fsButtonUp);
    return;
  }
  const bool Hot = FMouseInControl && FState != stDisabled;
  if (!Pushed && !Hot) return;
  if (FVisualStyle != vsGradient) {
    R = PaintStyledFrameRect(C, R, Pushed ? fsStatus : fsPopup);
    return;
  }
  TColor Frame, Start, Stop;
  SelectionColors(Frame, Start, Stop);
  R = PaintOutlineBox(C, R, Frame);
  TColor From = Start, To = Stop;
  if (FState == stPressed || FState == stDroppedDown || (FState == stDown && FMouseInControl && FDown)) {
    From = Stop;
    To = Start;
  } else if (FState == stDown && !FMouseInControl) {
    From = DimColor(Stop, 40);
    To = Start;
  }
  FillGradientRect(C, R, gdHorizontalEnd, 1, To, From);
}

void TKvToolButton::DrawDropDownArrow() {
  TCanvas* C = Canvas();
  const bool RTL = UseRightToLeftAlignment();
  const bool Gradient = FVisualStyle == vsGradient;
  const int32_t X = RTL ? ArrowWidth : Width() - ArrowWidth;
  TColor Frame, Start, Stop;
  SelectionColors(Frame, Start, Stop);
  if (FState == stDroppedDown) {
    const int32_t Wide = ArrowWidth + (Splits() ? 1 : 0);
    const TRect Section = RTL ? Rect(0, 0, Wide, Height()) : Rect(Width() - Wide, 0, Width(), Height());
    if (Gradient)
      FillGradientRect(C, PaintOutlineBox(C, Section, Frame), gdHorizontalEnd, 1, Stop, Start);
    else
      PaintStyledFrameRect(C, Section, fsStatus);
  } else if (Enabled() && (FMouseInControl || !HotTrackable()) && Splits()) {
    C->Pen()->SetWidth(1);
    if (Gradient) {
      VerticalLine(C, Frame, X - 1, Height());
    } else {
      const int32_t SX = FState == stPressed ? X + 1 : X;
      if (FState != stPressed) VerticalLine(C, clBtnHighlight, SX, Height());
      VerticalLine(C, clBtnShadow, SX - 1, Height());
    }
  }
  TPoint Tip = Point(RTL ? 6 : Width() - 8, ClientHeight() / 2 + 2);
  if ((FState == stPressed || FState == stDroppedDown) && !Gradient) {
    ++Tip.X;
    ++Tip.Y;
  }
  const TColor Color = Enabled() ? TColor(clWindowText) : TColor(clBtnShadow);
  C->Pen()->SetColor(Color);
  C->Pen()->SetStyle(psSolid);
  C->Brush()->SetColor(Color);
  C->Brush()->SetStyle(bsSolid);
  C->Polygon({Tip, Point(Tip.X - 2, Tip.Y - 2), Point(Tip.X + 2, Tip.Y - 2)});
}

void TKvToolButton::CalcRects(TRect& ImageRect, TRect& CaptionRect) {
  TRect R = ClientRect();
  if (FToolStyle == tsDropDown) {
    if (UseRightToLeftAlignment())
      R.Left += ArrowWidth;
    else
      R.Right -= ArrowWidth;
  }
  InflateRect(R, -2, -2);
  const TSize G = GetImageSize();
  const int32_t GW = G.cx, GH = G.cy;
  int32_t D = 0;
  if (!FShowCaption || Caption().empty()) {
    ImageRect = CenterSizeInRect(R, GW, GH);
    CaptionRect = {};
    D = ImageRect.Left - 4;
  } else {
    TRect Text = R;
    switch (FLayout) {
      case blGlyphLeft: Text.Left += GW; break;
      case blGlyphRight: Text.Right -= GW; break;
      case blGlyphTop: Text.Top += GH; break;
      case blGlyphBottom: Text.Bottom -= GH; break;
    }
    Canvas()->SetFont(Font());
    Canvas()->DrawText(Caption(), Text, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_CENTER | DT_VCENTER);
    const int32_t TW = Text.Width(), TH = Text.Height();
    const int32_t W = R.Width(), H = R.Height();
    int32_t X = 0, Y = 0, CX = 0, CY = R.Top + (H - TH) / 2;
    switch (FLayout) {
      case blGlyphLeft:
        X = R.Left + (W - (GW + 4 + TW)) / 2;
        Y = R.Top + (H - GH) / 2;
        CX = X + GW + 4;
        D = GW ? X - 4 : X;
        break;
      case blGlyphRight:
        X = R.Right - GW - (W - (GW + 4 + TW)) / 2;
        Y = R.Top + (H - GH) / 2;
        CX = X - TW - 4;
        // The block starts at the caption here.
        D = CX - 4;
        break;
      case blGlyphTop:
        X = R.Left + (W - GW) / 2;
        Y = R.Top + (H - (GH + 4 + TH)) / 2;
        CX = R.Left + (W - TW) / 2;
        CY = Y + GH + 4;
        D = std::min(X, CX) - 4;
        break;
      case blGlyphBottom:
        X = R.Left + (W - GW) / 2;
        Y = R.Bottom - GH - (H - (GH + 4 + TH)) / 2;
        CX = R.Left + (W - TW) / 2;
        CY = Y - TH - 4;
        D = std::min(X, CX) - 4;
        break;
    }
    ImageRect = Bounds(X, Y, GW, GH);
    CaptionRect = Bounds(CX, CY, TW, TH);
  }
  auto Move = [&](int32_t DX, int32_t DY) {
    OffsetRect(ImageRect, DX, DY);
    OffsetRect(CaptionRect, DX, DY);
  };
  if (FAlignment == taLeftJustify) Move(-D, 0);
  if (FAlignment == taRightJustify) Move(D, 0);
  const bool Pushed = FState == stPressed || FState == stDown || (FState == stDroppedDown && !Splits());
  if (Pushed && FVisualStyle != vsGradient) Move(1, 1);
}

void TKvToolButton::DrawImage(const TRect& ImageRect) {
  const TCustomImageList* L = EffectiveImages();
  if (!L || FImageIndex == -1) return;
  TCanvas* C = Canvas();
  const bool Pushed = FState == stPressed || FState == stDown || (FState == stDroppedDown && !Splits());
  if (Pushed && FDownIndex != -1) {
    L->Draw(C, ImageRect.Left, ImageRect.Top, FDownIndex, true);
    return;
  }
  const bool HotImage = FMouseInControl && FHotIndex != -1;
  if (FDisabledIndex == -1) {
    L->Draw(C, ImageRect.Left, ImageRect.Top, HotImage && Enabled() ? FHotIndex : FImageIndex, Enabled());
    return;
  }
  const int32_t Index = !Enabled() ? FDisabledIndex : HotImage ? FHotIndex : FImageIndex;
  L->Draw(C, ImageRect.Left, ImageRect.Top, Index, true);
}

void TKvToolButton::DrawCaption(const TRect& CaptionRect) {
  if (!FShowCaption) return;
  TCanvas* C = Canvas();
  C->Brush()->SetStyle(bsClear);
  C->SetFont(Font());
  if (FState == stPressed && FVisualStyle != vsGradient) C->Font()->SetColor(clHighlightText);
  if (!Enabled()) C->Font()->SetColor(clBtnShadow);
  TRect R = CaptionRect;
  C->DrawText(Caption(), R, DT_CENTER | DT_VCENTER | DT_WORDBREAK | DT_EXPANDTABS | DrawTextBiDiModeFlagsReadingOnly());
  C->Brush()->SetStyle(bsSolid);
}

// ---------------------------------------------------------------------------
// Copies and actions

void TKvToolButton::AssignButton(const TKvToolButton& Source) {
  FAllowAllUp = Source.FAllowAllUp;
  FGroupIndex = Source.FGroupIndex;
  FDown = Source.FDown;
  FState = FDown ? stDown : stUp;
  FFlat = Source.FFlat;
  FImageIndex = Source.FImageIndex;
  FDownIndex = Source.FDownIndex;
  FDisabledIndex = Source.FDisabledIndex;
  FHotIndex = Source.FHotIndex;
  FLayout = Source.FLayout;
  FToolStyle = Source.FToolStyle;
  FShowCaption = Source.FShowCaption;
  FTransparent = Source.FTransparent;
  FAlignment = Source.FAlignment;
  FVisualStyle = Source.FVisualStyle;
  FGradientColorStyle = Source.FGradientColorStyle;
  FSelectionColorStart = Source.FSelectionColorStart;
  FSelectionColorStop = Source.FSelectionColorStop;
  FSelectionFrameColor = Source.FSelectionFrameColor;
  FUseToolbarButtonLayout = Source.FUseToolbarButtonLayout;
  FUseToolbarButtonSize = Source.FUseToolbarButtonSize;
  FUseToolbarShowCaption = Source.FUseToolbarShowCaption;
  FUseToolbarVisualStyle = Source.FUseToolbarVisualStyle;
  SetImages(Source.FImages);
  SetDropDownMenu(Source.FDropDownMenu);
  SetCaption(Source.Caption());
  SetHint(Source.Hint());
  SetEnabled(Source.Enabled());
  SetVisible(Source.Visible());
  FSizingFromToolbar = true;
  SetBounds(Left(), Top(), Source.Width(), Source.Height());
  FSizingFromToolbar = false;
  Invalidate();
}

std::unique_ptr<TControlActionLink> TKvToolButton::CreateActionLink() {
  return std::make_unique<TKvToolButtonActionLink>(this);
}

void TKvToolButton::ActionChange(TBasicAction* Sender, bool CheckDefaults) {
  TGraphicControl::ActionChange(Sender, CheckDefaults);
  const auto* A = dynamic_cast<const TAction*>(Sender);
  if (!A) return;
  if (!CheckDefaults || !FDown) SetDown(A->Checked());
  if (!CheckDefaults || FImageIndex == -1) SetImageIndex(A->ImageIndex());
}

bool TKvToolButtonActionLink::IsCheckedLinked() const {
  const TAction* A = TheAction();
  return A && FButton->Down() == A->Checked();
}

bool TKvToolButtonActionLink::IsImageIndexLinked() const {
  const TAction* A = TheAction();
  return A && FButton->ImageIndex() == A->ImageIndex();
}

void TKvToolButtonActionLink::SetChecked(bool Value) {
  if (IsCheckedLinked()) FButton->SetDown(Value);
}

void TKvToolButtonActionLink::SetImageIndex(int32_t Value) {
  if (IsImageIndexLinked()) FButton->SetImageIndex(Value);
}
