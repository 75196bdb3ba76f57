#pragma once
// Labels: TKvLabel adds to the class library's label a border painted with the shared
// border routine, raised, recessed and shadowed text, text turned flat by an angle or
// set along a curve, caption condensing with ellipses, a colour change under the mouse
// (fly-by), blinking, and the frame-controller link. TKvURLLabel opens its URL (or its
// caption) with the desktop's handler when clicked.
//
// Every label is in the process-wide blinking list from construction to destruction;
// only blinking ones answer its queries.

#include <cstdint>
#include <string>

#include "platform/gui/StdCtrls.h"
#include "widgets/KvCommon.h"
#include "widgets/KvFrameController.h"

enum TKvCondenseCaption : uint8_t { ccNone, ccAtEnd, ccWithinPath };
enum TCenterPoint : uint8_t {
  cpUpperLeft, cpUpperCenter, cpUpperRight, cpLeftCenter, cpCenter, cpRightCenter, cpLowerLeft, cpLowerCenter,
  cpLowerRight
};
enum TRotation : uint8_t { roNone, roFlat, roCurve };

class TKvLabel : public TCustomLabel, public IKvFrameControllerNotify {
public:
  explicit TKvLabel(TComponent* AOwner);
  ~TKvLabel() override;
  void Loaded() override;

  // Degrees counter-clockwise, kept in 0..359. A non-zero angle turns an unrotated
  // label flat; a font that cannot be turned becomes "Verdana".
  int32_t Angle() const { return FAngle; }
  void SetAngle(int32_t Value);
  // roNone and roFlat reset the angle (roFlat also the centre point).
  TRotation Rotation() const { return FRotation; }
  void SetRotation(TRotation Value);
  // Where the curve of roCurve is centred.
  TCenterPoint CenterPoint() const { return FCenterPoint; }
  void SetCenterPoint(TCenterPoint Value);

  bool Blinking() const { return FBlinking; }
  void SetBlinking(bool Value);
  TColor BlinkColor() const { return FBlinkColor; }
  void SetBlinkColor(TColor Value);
  // Shared by all blinking controls.
  uint16_t BlinkIntervalOff() const;
  void SetBlinkIntervalOff(uint16_t Value);
  uint16_t BlinkIntervalOn() const;
  void SetBlinkIntervalOn(uint16_t Value);

  int32_t BevelWidth() const { return FBorder.BevelWidth; }
  void SetBevelWidth(int32_t Value);
  TFrameStyleEx BorderInner() const { return FBorder.Inner; }
  void SetBorderInner(TFrameStyleEx Value);
  TFrameStyleEx BorderOuter() const { return FBorder.Outer; }
  void SetBorderOuter(TFrameStyleEx Value);
  TSides BorderSides() const { return FBorder.Sides; }
  void SetBorderSides(TSides Value);
  TColor BorderColor() const { return FBorder.BorderColor; }
  void SetBorderColor(TColor Value);
  TColor BorderHighlight() const { return FBorder.HighlightColor; }
  void SetBorderHighlight(TColor Value);
  TColor BorderShadow() const { return FBorder.ShadowColor; }
  void SetBorderShadow(TColor Value);
  int32_t BorderWidth() const { return FBorder.BorderWidth; }
  void SetBorderWidth(int32_t Value);
  TColor FlatColor() const { return FBorder.FlatColor; }
  void SetFlatColor(TColor Value);
  int32_t FlatColorAdjustment() const { return FBorder.FlatColorAdjustment; }
  void SetFlatColorAdjustment(int32_t Value);

  // Anything but ccNone switches AutoSize off.
  TKvCondenseCaption CondenseCaption() const { return FCondenseCaption; }
  void SetCondenseCaption(TKvCondenseCaption Value);

  // While the mouse is over the label its font takes FlyByColor; leaving gives back the
  // colour it had, unless the font colour was set meanwhile.
  TColor FlyByColor() const { return FFlyByColor; }
  void SetFlyByColor(TColor Value);
  bool FlyByEnabled() const { return FFlyByEnabled; }
  void SetFlyByEnabled(bool Value);

  TTextStyle TextStyle() const { return FTextStyle; }
  void SetTextStyle(TTextStyle Value);
  // Raised and recessed text with one copy instead of two.
  bool LightTextStyle() const { return FLightTextStyle; }
  void SetLightTextStyle(bool Value);
  TColor HighlightColor() const { return FHighlightColor; }
  void SetHighlightColor(TColor Value);
  TColor ShadowColor() const { return FShadowColor; }
  void SetShadowColor(TColor Value);
  int32_t ShadowDepth() const { return FShadowDepth; }
  void SetShadowDepth(int32_t Value);
  int32_t TextMargin() const { return FTextMargin; }
  void SetTextMargin(int32_t Value);

  TKvFrameController* FrameController() const { return FFrameLink.Controller(); }
  void SetFrameController(TKvFrameController* Value) { FFrameLink.SetController(Value); }
  TKvFrameControllerNotifications FrameControllerNotifications() const { return FFrameLink.Notifications(); }
  void SetFrameControllerNotifications(TKvFrameControllerNotifications Value) { FFrameLink.SetNotifications(Value); }
  // Takes the controller's frame style, sides and colours while its frame is visible.
  void FrameControllerChanged() override;

  // The colour the text is drawn in now (the normal or the blink colour).
  TColor TextColor() const { return FCurrentColor; }

protected:
  void Paint() override;
  void AdjustBounds() override;
  void WndProc(TMessage& Message) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void CMFontChanged() override;
  void CMParentColorChanged() override;
  void CMMouseEnter() override;
  void CMMouseLeave() override;

private:
  template <class T>
  void Change(T& Field, T Value, bool Resize);
  uint32_t TextFormat() const;
  std::string VisibleCaption() const;
  // The client area less the border, on the sides the text area or auto-size takes.
  TRect TextArea() const;
  void PaintNormal(const TRect& Area);
  void PaintFlat();
  // False when the label is too small for a curve.
  bool PaintCurved();
  // Draws the copies of the text style, then the text, each by Draw(dx, dy, colour).
  template <class Fn>
  void DrawCopies(Fn&& Draw);
  void RestoreFlyBy();
  void SetFontColor(TColor Value);

  int32_t FAngle = 0;
  TRotation FRotation = roNone;
  TCenterPoint FCenterPoint = cpCenter;
  bool FBlinking = false;
  TColor FBlinkColor = clHighlight;
  // The border settings; what the paint takes from the control is filled in there.
  TControlBorder FBorder{.FlatColorAdjustment = 30};
  TKvCondenseCaption FCondenseCaption = ccNone;
  TColor FFlyByColor = clHighlight;
  bool FFlyByEnabled = false;
  bool FLightTextStyle = false;
  TColor FHighlightColor = clBtnHighlight;
  TColor FShadowColor = clBtnShadow;
  int32_t FShadowDepth = 2;
  int32_t FTextMargin = 0;
  TTextStyle FTextStyle = tsNormal;
  TKvFrameControllerLink FFrameLink{this};

  TColor FNormalColor = clWindowText;
  TColor FCurrentColor = clWindowText;
  TColor FSavedFontColor = clWindowText;
  bool FFlyByApplied = false;
  bool FSettingFontColor = false;
  bool FConstructing = false;
};

// Screen cursor number of the link's hand.
constexpr TCursor crKvHandPoint = 26000;

class TKvURLLabel : public TKvLabel {
public:
  explicit TKvURLLabel(TComponent* AOwner);

  // Opened when clicked; empty: the caption is opened.
  const std::string& URL() const { return FURL; }
  void SetURL(const std::string& Value) { FURL = Value; }
  bool Visited() const { return FVisited; }
  void SetVisited(bool Value);
  TColor VisitedColor() const { return FVisitedColor; }
  void SetVisitedColor(TColor Value);
  TColor UnvisitedColor() const { return FUnvisitedColor; }
  void SetUnvisitedColor(TColor Value);

protected:
  // Opens the target through the desktop's handler; a failure stays silent and the
  // link unvisited.
  void Click() override;

private:
  void ApplyLinkColor();

  std::string FURL;
  bool FVisited = false;
  TColor FVisitedColor = 0x800080;
  TColor FUnvisitedColor = clHighlight;
};
