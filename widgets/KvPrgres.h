#pragma once
// The progress bar: a percentage shown as a solid bar with the percentage in inverse
// colours across its edge (bsTraditional), a row of LED segments (bsLED) or a
// gradient bar (bsGradient). It keeps a percentage, or parts complete out of a total,
// raises OnChange when the percentage changes, and paints through an off-screen bitmap.
// A bar taller than wide fills from the bottom up.

#include <cstdint>
#include <functional>

#include "platform/gui/Controls.h"
#include "widgets/KvCommon.h"
#include "widgets/KvFrameController.h"
#include "widgets/KvGrafx.h"

using TProgressChangeEvent = std::function<void(TComponent* Sender, uint16_t Percent)>;

class TKvCustomProgressBar : public TGraphicControl, public IKvFrameControllerNotify {
public:
  explicit TKvCustomProgressBar(TComponent* AOwner);

  TColor BackColor() const { return FBackColor; }
  void SetBackColor(TColor Value);
  TColor BackColorStop() const { return FBackColorStop; }
  void SetBackColorStop(TColor Value);
  // Also the font colour.
  TColor BarColor() const { return FBarColor; }
  void SetBarColor(TColor Value);
  TColor BarColorStop() const { return FBarColorStop; }
  void SetBarColorStop(TColor Value);
  // Shows the percentage for the solid and gradient bars, not for the LEDs, which get
  // a one-pixel gap inside the border instead.
  TBarStyle BarStyle() const { return FBarStyle; }
  void SetBarStyle(TBarStyle Value);
  int32_t BevelWidth() const { return FBorder.BevelWidth; }
  void SetBevelWidth(int32_t Value);
  TColor BorderColor() const { return FBorder.BorderColor; }
  void SetBorderColor(TColor Value);
  TFrameStyleEx BorderInner() const { return FBorder.Inner; }
  void SetBorderInner(TFrameStyleEx Value);
  TFrameStyleEx BorderOuter() const { return FBorder.Outer; }
  void SetBorderOuter(TFrameStyleEx Value);
  int32_t BorderWidth() const { return FBorder.BorderWidth; }
  void SetBorderWidth(int32_t Value);
  TColor FlatColor() const { return FBorder.FlatColor; }
  void SetFlatColor(TColor Value);
  int32_t FlatColorAdjustment() const { return FBorder.FlatColorAdjustment; }
  void SetFlatColorAdjustment(int32_t Value);
  TGradientDirection GradientDirection() const { return FGradientDirection; }
  void SetGradientDirection(TGradientDirection Value);
  // A gap in the back colour between the border and the bar.
  uint8_t InteriorOffset() const { return FInteriorOffset; }
  void SetInteriorOffset(uint8_t Value);
  // 1 to 100; bars of 80 pixels or less show 10 when more are asked for.
  int32_t NumSegments() const { return FNumSegments; }
  void SetNumSegments(int32_t Value);
  // Follows the bounds: vertical when taller than wide.
  TOrientation Orientation() const { return FOrientation; }
  uint16_t Percent() const { return FPercent; }
  void SetPercent(uint16_t Value);
  // Capped at TotalParts; sets Percent (not while loading, not for a total of 0).
  int32_t PartsComplete() const { return FPartsComplete; }
  void SetPartsComplete(int32_t Value);
  // A new total starts again from 0 (not while loading).
  int32_t TotalParts() const { return FTotalParts; }
  void SetTotalParts(int32_t Value);
  bool ShowPercent() const { return FShowPercent; }
  void SetShowPercent(bool Value);
  // Kept for the visual-style look, which is not in use here.
  bool ThemeAware() const { return FThemeAware; }
  void SetThemeAware(bool Value);

  TKvFrameController* FrameController() const { return FFrameLink.Controller(); }
  void SetFrameController(TKvFrameController* Value) { FFrameLink.SetController(Value); }
  TKvFrameControllerNotifications FrameControllerNotifications() const { return FFrameLink.Notifications(); }
  void SetFrameControllerNotifications(TKvFrameControllerNotifications Value) { FFrameLink.SetNotifications(Value); }

  // Takes the controller's frame style and colours while its frame is visible.
  void FrameControllerChanged() override;

  void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) override;

  TProgressChangeEvent OnChange;

protected:
  void Paint() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  template <class T>
  void Change(T& Field, T Value);
  // The bar's body on the interior R of Canvas.
  void PaintTraditional(TCanvas* Canvas, const TRect& R);
  void PaintGradient(TCanvas* Canvas, const TRect& R);
  void PaintLED(TCanvas* Canvas, const TRect& R);
  // The filled part of R, and the rest.
  void SplitInterior(const TRect& R, TRect& Filled, TRect& Rest) const;
  std::string PercentText() const;

  TColor FBackColor = clWhite;
  TColor FBackColorStop = clBtnFace;
  TColor FBarColor = clHighlight;
  TColor FBarColorStop = clHotLight;
  TBarStyle FBarStyle = bsTraditional;
  // The border settings; the back and parent colours are filled in when painting.
  TControlBorder FBorder{.Outer = fsLowered, .CornerlessInnerFlat = true, .FlatColorAdjustment = 30};
  TGradientDirection FGradientDirection = gdHorizontalCenter;
  uint8_t FInteriorOffset = 0;
  int32_t FNumSegments = 20;
  TOrientation FOrientation = orHorizontal;
  uint16_t FPercent = 0;
  int32_t FPartsComplete = 0;
  int32_t FTotalParts = 0;
  bool FShowPercent = true;
  bool FThemeAware = true;
  TKvFrameControllerLink FFrameLink{this};
};

class TKvProgressBar : public TKvCustomProgressBar {
public:
  using TKvCustomProgressBar::TKvCustomProgressBar;
};
