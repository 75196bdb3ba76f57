#pragma once
// The state colours and the hot-tracking frame that the edit, memo, combo box and list
// view share, over any of the class library's controls with a border band
// (TWidgetControl).
//
// Colours. Color shows the state: DisabledColor while disabled; FocusColor while
// focused (ReadOnlyColor instead for a read-only control with ReadOnlyColorOnFocus);
// ReadOnlyColor while read-only; otherwise the colour the program set (the normal
// colour). Setting Color, or a parent colour reaching a control with ParentColor, sets
// the normal colour, and a FocusColor equal to the old normal colour follows it.
//
// Frame. With FrameVisible the band around the inner widget is painted by
// PaintEditFrame: a two-pixel ring in Color with the frame of FrameStyle in FrameColor
// on FrameSides, or, with FrameHotTrack while the control is focused or under the
// mouse, FrameHotStyle in FrameHotColor. Without it the class library's border shows.
// Visual styles are never in use here, so the frame is painted whatever
// FramingPreference says.
//
// A frame controller (FrameController) pushes its settings through SetFrameSetting,
// filtered by FrameControllerNotifications.
//
// The template is instantiated for the four controls in their own sources
// (KvFramedImpl.h); nothing else includes the definitions.

#include <cstdint>

#include "platform/gui/WidgetControl.h"
#include "widgets/KvCommon.h"
#include "widgets/KvFrameController.h"

// The two states the frame follows.
enum TKvFrameState : uint8_t { kfsFocus, kfsHot };

template <class Base>
class TKvFramed : public Base, public IKvFramedControl {
public:
  explicit TKvFramed(TComponent* AOwner);
  void Loaded() override;

  TColor DisabledColor() const { return FDisabledColor; }
  void SetDisabledColor(TColor Value);
  TColor FocusColor() const { return FFocusColor; }
  void SetFocusColor(TColor Value);
  TColor ReadOnlyColor() const { return FReadOnlyColor; }
  void SetReadOnlyColor(TColor Value);
  bool ReadOnlyColorOnFocus() const { return FReadOnlyColorOnFocus; }
  void SetReadOnlyColorOnFocus(bool Value);

  TColor FrameColor() const { return FFrameColor; }
  void SetFrameColor(TColor Value);
  TColor FrameHotColor() const { return FFrameHotColor; }
  void SetFrameHotColor(TColor Value);
  // Switching it on also shows the frame and, unless loading, on all four sides.
  bool FrameHotTrack() const { return FFrameHotTrack; }
  void SetFrameHotTrack(bool Value);
  TFrameStyle FrameHotStyle() const { return FFrameHotStyle; }
  void SetFrameHotStyle(TFrameStyle Value);
  TSides FrameSides() const { return FFrameSides; }
  void SetFrameSides(TSides Value);
  TFrameStyle FrameStyle() const { return FFrameStyle; }
  void SetFrameStyle(TFrameStyle Value);
  bool FrameVisible() const { return FFrameVisible; }
  void SetFrameVisible(bool Value);
  TFramingPreference FramingPreference() const { return FFramingPreference; }
  void SetFramingPreference(TFramingPreference Value);
  // Always false: there are no visual styles to frame with.
  bool UseThemes() const;

  TKvFrameController* FrameController() const { return FFrameLink.Controller(); }
  void SetFrameController(TKvFrameController* Value) { FFrameLink.SetController(Value); }
  TKvFrameControllerNotifications FrameControllerNotifications() const override { return FFrameLink.Notifications(); }
  void SetFrameControllerNotifications(TKvFrameControllerNotifications Value) { FFrameLink.SetNotifications(Value); }
  void SetFrameSetting(TKvFrameControllerPropertyConnection Index, uint32_t Value) override;

  // The frame shows its hot look: FrameHotTrack while focused or under the mouse.
  bool FrameHot() const { return FFrameHotTrack && (FFocusedState || FHotState); }
  // Focused (between entering and leaving) and under the mouse, as the frame saw them.
  bool FocusedState() const { return FFocusedState; }
  bool HotState() const { return FHotState; }

protected:
  // Whether the read-only colours apply now; controls without a read-only state say no.
  virtual bool StateReadOnly() const { return false; }
  // Color for the present state (not while loading).
  virtual void UpdateColors();
  // Sets a state flag, repaints the frame when RepaintOnState says so, then recolours.
  virtual void SetFrameState(TKvFrameState Which, bool Value);
  virtual bool RepaintOnState() const { return FFrameHotTrack; }
  virtual void RepaintFrame();
  // After FrameVisible changed.
  virtual void FrameVisibleChanged() { RepaintFrame(); }
  // The frame over the whole control, on Canvas.
  void PaintFrame(TCanvas* Canvas);

  void Notification(TComponent* AComponent, TOperation Operation) override;
  void WMNCPaint(TCanvas* Canvas) override;
  void CMColorChanged() override;
  void CMEnabledChanged() override;
  void CMEnter() override;
  void CMExit() override;
  void CMMouseEnter() override;
  void CMMouseLeave() override;

private:
  template <class T>
  void ChangeFrame(T& Field, T Value);

  TColor FDisabledColor = clBtnFace;
  TColor FFocusColor = clWindow;
  TColor FNormalColor = clWindow;
  TColor FReadOnlyColor = clInfoBk;
  bool FReadOnlyColorOnFocus = false;
  TColor FFrameColor = clBtnShadow;
  TColor FFrameHotColor = clBtnShadow;
  bool FFrameHotTrack = false;
  TFrameStyle FFrameHotStyle = fsFlatBold;
  TSides FFrameSides = sdsAll;
  TFrameStyle FFrameStyle = fsFlat;
  bool FFrameVisible = false;
  TFramingPreference FFramingPreference = fpXPThemes;
  TKvFrameControllerLink FFrameLink{this};
  bool FUpdatingColor = false;
  bool FFocusedState = false;
  bool FHotState = false;
};

// Sends Control a Tab key press from the event loop, once the present key is done, so
// that the focus moves on as Tab would move it (nothing happens when Control went).
void PostTabKey(TWinControl* Control);
