#pragma once
// Push buttons. TKvCustomButton is the windowed, owner-drawn base of the library's push
// buttons, bitmap buttons, check boxes and radio buttons: the press logic of mouse and
// keyboard, hot tracking, transparency and the caption with its text effects. What a
// click changes (Toggle) and how the face looks belong to the descendants.
//
// TKvButton is the push button: default and cancel button, a modal result for its form,
// latched buttons of a group (Down, GroupIndex, AllowAllUp), the classic bevelled face
// or the flat hot-track face with gradients, and a dotted focus rectangle. TKvBitBtn
// adds a picture beside the caption and the stock kinds (OK, Cancel, ...).
//
// A press: the left button goes down on the control (which takes the focus), the face
// shows pressed while the pointer stays inside, and releasing inside clicks; releasing
// outside does not. The space bar does the same from the keyboard: down presses, up
// clicks. Enter clicks the form's default button (the focused push button, or the one
// with Default while no push button has the focus) and Escape the Cancel button.
//
// Visual styles are never in use here, so ThemeAware is kept but changes nothing.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/gui/Controls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/ImgList.h"
#include "widgets/KvCommon.h"

// Sent through the parent to every control when a grouped push button goes down (or its
// AllowAllUp or GroupIndex changes): WParam = the group index, LParam = the TKvButton.
constexpr uint32_t CM_GROUPBUTTONPRESSED = WM_USER + 0x2021;

// Sets a flag for the life of a scope, also when an exception leaves it.
class TKvFlagScope {
public:
  explicit TKvFlagScope(bool& Flag) : FFlag(Flag) { FFlag = true; }
  ~TKvFlagScope() { FFlag = false; }
  TKvFlagScope(const TKvFlagScope&) = delete;
  TKvFlagScope& operator=(const TKvFlagScope&) = delete;

private:
  bool& FFlag;
};

class TKvCustomButton : public TCustomControl, public IKvTransparentControl {
public:
  explicit TKvCustomButton(TComponent* AOwner);

  TAlignmentVertical AlignmentVertical() const { return FAlignmentVertical; }
  virtual void SetAlignmentVertical(TAlignmentVertical Value);
  // The flat look: a cut-corner frame, a gradient face and a coloured ring while the
  // pointer is over the button.
  bool HotTrack() const { return FHotTrack; }
  virtual void SetHotTrack(bool Value);
  TColor HotTrackColor() const { return FHotTrackColor; }
  void SetHotTrackColor(TColor Value);
  // htctComplement: the ring takes the colour of the opposite hue.
  TKvHotTrackColorType HotTrackColorType() const { return FHotTrackColorType; }
  void SetHotTrackColorType(TKvHotTrackColorType Value);
  TColor HighlightColor() const { return FHighlightColor; }
  virtual void SetHighlightColor(TColor Value);
  // Raised and recessed captions with one copy of the text instead of two.
  bool LightTextStyle() const { return FLightTextStyle; }
  virtual void SetLightTextStyle(bool Value);
  TTextStyle TextStyle() const { return FTextStyle; }
  virtual void SetTextStyle(TTextStyle Value);
  TColor TextHighlightColor() const { return FTextHighlightColor; }
  virtual void SetTextHighlightColor(TColor Value);
  TColor TextShadowColor() const { return FTextShadowColor; }
  virtual void SetTextShadowColor(TColor Value);
  int32_t TextShadowDepth() const { return FTextShadowDepth; }
  virtual void SetTextShadowDepth(int32_t Value);
  bool ThemeAware() const { return FThemeAware; }
  virtual void SetThemeAware(bool Value);
  // The parent shows where the face does not cover the control.
  bool Transparent() const { return FTransparent; }
  virtual void SetTransparent(bool Value);
  bool IsTransparent() const override { return FTransparent; }

protected:
  // Transparent controls paint their parent's background here instead of erasing.
  virtual void PaintBackground(TCanvas* Canvas) { (void)Canvas; }
  // Shows a change of the pressed state.
  virtual void Redraw() {}
  virtual void RepaintNow() { Repaint(); }
  // The part that changes under the pointer in the hot-track look.
  virtual void GetContentRect(TRect& R) { R = ClientRect(); }
  // The caption in R, placed by AlignmentVertical, in the text style.
  virtual void DrawCaption(TCanvas* Canvas, TRect R, uint32_t Flags);
  // What a click does.
  virtual void Toggle() = 0;

  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void WMEraseBkgnd(TCanvas* Canvas) override;
  void WMSetFocus(TFocusReason Reason) override;
  void WMKillFocus(TFocusReason Reason) override;
  void CMEnabledChanged() override;
  void CMMouseEnter() override;
  void CMMouseLeave() override;

  // Stores a changed value and invalidates.
  template <class T>
  void Change(T& Field, T Value) {
    if (Field == Value) return;
    Field = Value;
    Invalidate();
  }
  // Asks for a paint of R only.
  void InvalidateRect(const TRect& R);

  bool FCaptured = false;   // the left button went down here and is held
  bool FMouseOver = false;  // the pointer is over the control
  bool FPressed = false;    // drawn pressed (mouse held inside, or space bar held)

private:
  void HotChanged();

  TAlignmentVertical FAlignmentVertical = avCenter;
  TColor FHotTrackColor = 0x00149BF0;
  TKvHotTrackColorType FHotTrackColorType = htctActual;
  TColor FHighlightColor = clHighlight;
  bool FLightTextStyle = false;
  TTextStyle FTextStyle = tsNormal;
  TColor FTextHighlightColor = clBtnHighlight;
  TColor FTextShadowColor = clBtnShadow;
  int32_t FTextShadowDepth = 2;
  bool FHotTrack = false;
  bool FTransparent = false;
  bool FThemeAware = true;
};

class TKvButton : public TKvCustomButton {
public:
  explicit TKvButton(TComponent* AOwner);

  TAlignment Alignment() const { return FAlignment; }
  virtual void SetAlignment(TAlignment Value);
  // Enter clicks the default button while no other push button has the focus.
  bool Default() const { return FDefault; }
  virtual void SetDefault(bool Value);
  bool Cancel() const { return FCancel; }
  void SetCancel(bool Value) { FCancel = Value; }
  // Given to the form on every click (also mrNone).
  TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult Value) { FModalResult = Value; }
  // Grouped buttons (GroupIndex not 0) latch: a click puts the button down and the
  // others of its group on the same parent up. The last down button goes up only with
  // AllowAllUp, which the group shares.
  bool AllowAllUp() const { return FAllowAllUp; }
  virtual void SetAllowAllUp(bool Value);
  bool Down() const { return FDown; }
  virtual void SetDown(bool Value);
  int32_t GroupIndex() const { return FGroupIndex; }
  virtual void SetGroupIndex(int32_t Value);
  // A dotted pattern over the face of a down button.
  bool ShowDownPattern() const { return FShowDownPattern; }
  virtual void SetShowDownPattern(bool Value);
  bool ShowFocusRect() const { return FShowFocusRect; }
  virtual void SetShowFocusRect(bool Value);
  // Kept for the windows that set it; nothing acts on it.
  bool DropDownOnEnter() const { return FDropDownOnEnter; }
  void SetDropDownOnEnter(bool Value) { FDropDownOnEnter = Value; }
  // The cut-corner frame of the hot-track look.
  TColor FrameColor() const { return FFrameColor; }
  virtual void SetFrameColor(TColor Value);
  void SetHotTrack(bool Value) override;

  // Sets the form's modal result, then raises OnClick (or runs the action).
  void Click() override;
  void WndProc(TMessage& Message) override;

protected:
  void Paint() override;
  void PaintBackground(TCanvas* Canvas) override;
  void Redraw() override { Invalidate(); }
  void Toggle() override;
  // The caption's room: the client area inset by 5, moved by (1, 1) while pressed in
  // the classic look.
  virtual void GetCaptionRect(TRect& R);
  virtual void DrawButtonContent();
  // DrawText flags of the caption: the alignment (mirrored for right-to-left) and wrapping.
  uint32_t CaptionFlags() const;
  // The 8 x 8 pattern of a down button.
  virtual void CreateDownPattern(TBitmap* Bitmap);

  void CreateWnd() override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyUp(uint16_t& Key, TShiftState Shift) override;
  void WMKillFocus(TFocusReason Reason) override;
  bool CMDialogKey(uint16_t Key, TShiftState Shift) override;
  bool CMDialogChar(char32_t Char, TShiftState Shift) override;
  void CMFocusChanged(TWinControl* Focused) override;

  // Grouped and down.
  bool DownInGroup() const { return FGroupIndex != 0 && FDown; }

private:
  void UpdateExclusive();
  void GroupButtonPressed(int32_t Group, const TKvButton* Sender);
  // The face of each look on R; R becomes what is left inside the frames.
  void PaintHotTrackFace(TCanvas* Canvas, TRect& R);
  void PaintClassicFace(TCanvas* Canvas, TRect& R);
  bool ShowsDefaultFrame() const;

  TAlignment FAlignment = taCenter;
  bool FClicking = false;
  bool FDefault = false;
  bool FCancel = false;
  bool FActive = false;
  TModalResult FModalResult = mrNone;
  bool FSpaceDown = false;
  bool FAllowAllUp = false;
  bool FDown = false;
  int32_t FGroupIndex = 0;
  bool FShowDownPattern = true;
  bool FShowFocusRect = true;
  bool FDropDownOnEnter = true;
  TColor FFrameColor = cl3DDkShadow;
};

// ---------------------------------------------------------------------------

enum TBitBtnKind : uint8_t {
  bkCustom, bkOK, bkCancel, bkHelp, bkYes, bkNo, bkClose, bkAbort, bkRetry, bkIgnore, bkAll
};

// A push button with a picture: a glyph strip of one to four equal cells (normal,
// disabled, pressed, down) or an image of an image list. A stock Kind sets the caption,
// modal result, default or cancel role and a two-cell glyph; changing any of these
// afterwards makes the button a custom one again.
class TKvBitBtn : public TKvButton {
public:
  explicit TKvBitBtn(TComponent* AOwner);
  ~TKvBitBtn() override;

  TBitmap* Glyph() const { return FGlyph.get(); }
  // Copies Value (nullptr empties the glyph); the button's kind becomes custom.
  virtual void SetGlyph(const TBitmap* Value);
  TBitBtnKind Kind() const { return GetKind(); }
  virtual void SetKind(TBitBtnKind Value);
  TButtonLayout Layout() const { return FLayout; }
  virtual void SetLayout(TButtonLayout Value);
  // Pixels from the edge to the picture; -1 centres picture and caption together.
  // Values below -1 are ignored.
  int32_t Margin() const { return FMargin; }
  virtual void SetMargin(int32_t Value);
  // 1 to 4; a glyph whose width is a multiple of its height sets it.
  int32_t NumGlyphs() const { return FNumGlyphs; }
  virtual void SetNumGlyphs(int32_t Value);
  int32_t Spacing() const { return FSpacing; }
  virtual void SetSpacing(int32_t Value);
  int32_t ImageIndex() const { return FImageIndex; }
  virtual void SetImageIndex(int32_t Value);
  // Shown while disabled; -1 shows ImageIndex greyed by the list.
  int32_t DisabledIndex() const { return FDisabledIndex; }
  virtual void SetDisabledIndex(int32_t Value);
  TCustomImageList* Images() const { return FImages; }
  virtual void SetImages(TCustomImageList* Value);

  // The stock caption of Kind ("" for bkCustom).
  static std::string KindCaption(TBitBtnKind Kind);

protected:
  virtual TBitBtnKind GetKind() const;
  virtual void GetGlyphSize(TSize& Size);
  virtual void GetGlyphRect(TRect& R);
  virtual void DrawImage(const TRect& R);
  virtual void DrawGlyph(const TRect& R);
  void GetCaptionRect(TRect& R) override;
  void DrawButtonContent() override;
  void ActionChange(TBasicAction* Sender, bool CheckDefaults) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  void GlyphChanged();
  bool HasPicture() const;
  bool ShowsImage() const { return FImages && FImageIndex != -1; }
  // The height of the caption as laid out in the caption rectangle.
  int32_t CaptionHeight(const TRect& R);

  std::unique_ptr<TBitmap> FGlyph;
  mutable TBitBtnKind FKind = bkCustom;
  TButtonLayout FLayout = blGlyphLeft;
  int32_t FMargin = 2;
  int32_t FNumGlyphs = 1;
  int32_t FSpacing = 4;
  bool FGlyphModified = false;
  int32_t FImageIndex = -1;
  int32_t FDisabledIndex = -1;
  TCustomImageList* FImages = nullptr;
  TChangeLink FImageChangeLink;
};

// The stock glyph of Kind: 32 x 16, a normal and a disabled cell, olive transparent
// (empty for bkCustom). Drawn once, on first use.
const TBitmap* StockGlyph(TBitBtnKind Kind);
