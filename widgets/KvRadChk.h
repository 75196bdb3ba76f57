#pragma once
// Check boxes and radio buttons, drawn by the library on the button base (KvButton.h).
//
// TKvCustomGlyphButton holds what both share: a 13 x 13 glyph (or a cell of a strip of
// the program's own glyphs) beside the caption, the glyph colours of the hot-track look,
// read-only mode, transparency over the parent, Enter as Tab, and the frame controller.
// The glyph is the classic sunken box or circle, or with HotTrack the flat one of
// KvCommon with a gradient ring under the pointer.
//
// TKvRadioButton: checking one unchecks every other radio button of the same parent; a
// radio button is a tab stop only while checked, and taking the focus from the keyboard
// (Tab, the arrows, its accelerator) checks it, a mouse press does not (the click does).
// TKvCheckBox: unchecked, checked and, with AllowGrayed, grayed; a click cycles
// unchecked, (grayed,) checked, unchecked; the space bar clicks on release, Escape
// drops a space press.
//
// Setting Checked (or State) in code raises OnClick, as a click does; a change that
// comes from a linked action does not.

#include <cstdint>
#include <memory>

#include "platform/gui/ActnList.h"
#include "widgets/KvButton.h"
#include "widgets/KvFrameController.h"

enum TCheckBoxState : uint8_t { cbUnchecked, cbChecked, cbGrayed };

// Asks a check box for its State (0, 1, 2) or a radio button whether it is checked (1, 0).
constexpr uint32_t BM_GETCHECK = 0x00F0;

class TKvCustomGlyphButton : public TKvCustomButton, public IKvFrameControllerNotify {
  friend class TKvCheckedActionLink;

public:
  ~TKvCustomGlyphButton() override;

  // The caption's side: taRightJustify puts the glyph left of it, taLeftJustify right
  // (mirrored for right-to-left).
  TAlignment Alignment() const { return FAlignment; }
  virtual void SetAlignment(TAlignment Value);
  bool Checked() const { return GetChecked(); }
  void SetChecked(bool Value) { DoSetChecked(Value); }
  // A strip of equal cells (radio button 6: unchecked and checked, each normal,
  // pressed, disabled; check box 9: the three states, each normal, pressed, disabled).
  // Setting a non-empty strip switches UseCustomGlyphs on.
  TBitmap* CustomGlyphs() const { return FCustomGlyphs.get(); }
  virtual void SetCustomGlyphs(const TBitmap* Value);
  bool UseCustomGlyphs() const { return FUseCustomGlyphs; }
  virtual void SetUseCustomGlyphs(bool Value);
  // Glyph colours of the hot-track look.
  TColor FillColor() const { return FFillColor; }
  virtual void SetFillColor(TColor Value);
  TColor FocusColor() const { return FFocusColor; }
  virtual void SetFocusColor(TColor Value);
  TColor FrameColor() const { return FFrameColor; }
  virtual void SetFrameColor(TColor Value);
  TColor DisabledColor() const { return FDisabledColor; }
  virtual void SetDisabledColor(TColor Value);
  TColor ReadOnlyColor() const { return FReadOnlyColor; }
  virtual void SetReadOnlyColor(TColor Value);
  bool ReadOnlyColorOnFocus() const { return FReadOnlyColorOnFocus; }
  void SetReadOnlyColorOnFocus(bool Value) { Change(FReadOnlyColorOnFocus, Value); }
  TKvButtonHotTrackStyle HotTrackStyle() const { return FHotTrackStyle; }
  void SetHotTrackStyle(TKvButtonHotTrackStyle Value) { Change(FHotTrackStyle, Value); }
  // Clicks do not change the state.
  bool ReadOnly() const { return FReadOnly; }
  virtual void SetReadOnly(bool Value);
  // Glyph pixels of this colour are left out.
  TColor TransparentColor() const { return FTransparentColor; }
  virtual void SetTransparentColor(TColor Value);
  // In custom glyphs this colour becomes clWindow.
  TColor WinMaskColor() const { return FWinMaskColor; }
  virtual void SetWinMaskColor(TColor Value);
  // Enter moves the focus on, as Tab does.
  bool TabOnEnter() const { return FTabOnEnter; }
  void SetTabOnEnter(bool Value) { FTabOnEnter = Value; }
  void SetTransparent(bool Value) override;

  TKvFrameController* FrameController() const { return FFrameLink.Controller(); }
  virtual void SetFrameController(TKvFrameController* Value) { FFrameLink.SetController(Value); }
  TKvFrameControllerNotifications FrameControllerNotifications() const { return FFrameLink.Notifications(); }
  void SetFrameControllerNotifications(TKvFrameControllerNotifications Value) { FFrameLink.SetNotifications(Value); }
  // With the controller's frame visible: the hot-track look in the controller's colours.
  void FrameControllerChanged() override;

  void WndProc(TMessage& Message) override;

protected:
  TKvCustomGlyphButton(TComponent* AOwner, int32_t GlyphCells);

  virtual bool GetChecked() const { return false; }
  virtual void DoSetChecked(bool Value) { (void)Value; }
  // The glyph for the present state, at the glyph size.
  virtual void GetGlyphImage(TBitmap* Bitmap) = 0;
  // Softens the glyph's edges into the background of a transparent button.
  virtual void BlendGlyphEdges(TBitmap* Bitmap) { (void)Bitmap; }
  virtual void DrawGlyph(TCanvas* Canvas);
  // Cell Index (Width x Height) of Strip into Dest.
  virtual void ExtractGlyph(int32_t Index, TBitmap* Dest, int32_t Width, int32_t Height, const TBitmap* Strip);

  TSize GlyphSize() const;
  TRect GlyphRect() const;
  // The glyph's colours and state for the painters of KvCommon.
  TGlyphColors GlyphColors() const;
  TGlyphDrawState GlyphDrawState() const;
  // Changes Checked for a linked action: no click follows.
  void SetCheckedByAction(bool Value);

  void Paint() override;
  void PaintBackground(TCanvas* Canvas) override;
  void Redraw() override { Repaint(); }
  void GetContentRect(TRect& R) override { R = GlyphRect(); }
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void KeyPress(char32_t& Key) override;
  void WMEraseBkgnd(TCanvas* Canvas) override;
  void WMSize() override;
  void CMEnabledChanged() override;
  void CMParentColorChanged() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  std::unique_ptr<TControlActionLink> CreateActionLink() override;
  void ActionChange(TBasicAction* Sender, bool CheckDefaults) override;

  bool FSetByAction = false;    // the change comes from the action link
  bool FMouseClicking = false;  // between a mouse press and its release

private:
  bool CaptionOnRight() const;

  TAlignment FAlignment = taRightJustify;
  TColor FFrameColor = clBtnShadow;
  int32_t FGlyphCells;
  std::unique_ptr<TBitmap> FCustomGlyphs;
  bool FUseCustomGlyphs = false;
  TColor FTransparentColor = clOlive;
  TColor FWinMaskColor = clLime;
  TColor FFillColor = clWindow;
  TColor FFocusColor = clWindow;
  TColor FDisabledColor = clBtnFace;
  bool FReadOnly = false;
  bool FReadOnlyColorOnFocus = false;
  TColor FReadOnlyColor = clInfoBk;
  bool FTabOnEnter = false;
  TKvButtonHotTrackStyle FHotTrackStyle = htsInterior;
  TKvFrameControllerLink FFrameLink{this};
  std::unique_ptr<TBitmap> FBackground;
  bool FBackgroundDirty = true;
};

// Keeps a button's Checked and its action's Checked in step, both ways.
class TKvCheckedActionLink : public TControlActionLink {
public:
  explicit TKvCheckedActionLink(TKvCustomGlyphButton* AClient) : TControlActionLink(AClient), FButton(AClient) {}
  bool IsCheckedLinked() const override;
  void SetChecked(bool Value) override;

private:
  TKvCustomGlyphButton* FButton;
};

class TKvRadioButton : public TKvCustomGlyphButton {
public:
  explicit TKvRadioButton(TComponent* AOwner);
  // Also for the other radio buttons of the parent.
  void SetReadOnly(bool Value) override;

protected:
  bool GetChecked() const override { return FChecked; }
  void DoSetChecked(bool Value) override;
  void GetGlyphImage(TBitmap* Bitmap) override;
  void BlendGlyphEdges(TBitmap* Bitmap) override;
  void Toggle() override;
  void WMSetFocus(TFocusReason Reason) override;
  bool CMDialogKey(uint16_t Key, TShiftState Shift) override;
  bool CMDialogChar(char32_t Char, TShiftState Shift) override;

private:
  template <class F>
  void ForEachSibling(F Apply);

  bool FChecked = false;
};

class TKvCustomCheckBox : public TKvCustomGlyphButton {
public:
  explicit TKvCustomCheckBox(TComponent* AOwner);

  bool AllowGrayed() const { return FAllowGrayed; }
  void SetAllowGrayed(bool Value) { FAllowGrayed = Value; }
  TCheckBoxState State() const { return FState; }
  virtual void SetState(TCheckBoxState Value);

  void WndProc(TMessage& Message) override;

protected:
  bool GetChecked() const override { return FState == cbChecked; }
  void DoSetChecked(bool Value) override { SetState(Value ? cbChecked : cbUnchecked); }
  void GetGlyphImage(TBitmap* Bitmap) override;
  void Toggle() override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyUp(uint16_t& Key, TShiftState Shift) override;
  void WMKillFocus(TFocusReason Reason) override;
  bool CMDialogChar(char32_t Char, TShiftState Shift) override;

private:
  bool FAllowGrayed = false;
  TCheckBoxState FState = cbUnchecked;
  bool FSpaceDown = false;
};

class TKvCheckBox : public TKvCustomCheckBox {
public:
  using TKvCustomCheckBox::TKvCustomCheckBox;
};
