#pragma once
// The form background: a graphic control that paints a texture, a gradient and an
// image, in that order, with an optional frame. Windows place one aligned to their
// whole client area behind all other controls. It is not opaque: what none of the
// three covers shows the parent.

#include <cstdint>
#include <memory>

#include "platform/gui/Controls.h"
#include "widgets/KvCommon.h"
#include "widgets/KvGrafx.h"

enum TImageStyle : uint8_t { isCenter, isClip, isFill, isStretch, isTiled };

class TKvCustomBackground : public TGraphicControl {
public:
  explicit TKvCustomBackground(TComponent* AOwner);
  ~TKvCustomBackground() override;

  // Off: no gradient (texture and image still paint).
  bool Active() const { return FActive; }
  virtual void SetActive(bool Value);
  TFrameStyle FrameStyle() const { return FFrameStyle; }
  virtual void SetFrameStyle(TFrameStyle Value);
  // The colour of the fsFlat frame.
  TColor FrameColor() const { return FFrameColor; }
  virtual void SetFrameColor(TColor Value);
  TColor GradientColorStart() const { return FGradientColorStart; }
  virtual void SetGradientColorStart(TColor Value);
  TColor GradientColorStop() const { return FGradientColorStop; }
  virtual void SetGradientColorStop(TColor Value);
  TGradientDirection GradientDirection() const { return FGradientDirection; }
  virtual void SetGradientDirection(TGradientDirection Value);
  // 1 to 8.
  TSmoothFactor GradientSmoothFactor() const { return FGradientSmoothFactor; }
  virtual void SetGradientSmoothFactor(TSmoothFactor Value);
  // The gradient and the texture exclude each other: showing one hides the other, and
  // hiding the gradient shows the texture unless the image is shown.
  bool ShowGradient() const { return FShowGradient; }
  virtual void SetShowGradient(bool Value);
  bool ShowTexture() const { return FShowTexture; }
  virtual void SetShowTexture(bool Value);
  bool ShowImage() const { return FShowImage; }
  virtual void SetShowImage(bool Value);
  TPicture* Image() const { return FImage.get(); }
  virtual void SetImage(const TPicture* Value) { FImage->Assign(*Value); }
  // A stretched or tiled image covers everything, so no gradient is drawn under it.
  TImageStyle ImageStyle() const { return FImageStyle; }
  virtual void SetImageStyle(TImageStyle Value);
  // Tiled over the client area, a graphic of any kind.
  TPicture* Texture() const { return FTexture.get(); }
  virtual void SetTexture(const TPicture* Value) { FTexture->Assign(*Value); }

  // The control is never smaller than 5 x 5 pixels.
  void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) override;

protected:
  void Paint() override;
  // Drops the kept picture and asks for a paint (not while loading).
  virtual void Redraw();
  virtual void PaintGradient(TCanvas* Canvas);
  virtual void PaintImage(TCanvas* Canvas, TPicture* Picture);
  virtual void PaintTexture(TCanvas* Canvas, TPicture* Picture);

private:
  template <class T>
  void Change(T& Field, T Value);
  // Opaque while the gradient alone is shown without a frame: it covers every pixel, so
  // nothing under the control needs painting.
  void UpdateOpaque();

  bool FActive = true;
  TFrameStyle FFrameStyle = fsNone;
  TColor FFrameColor = clBtnShadow;
  TColor FGradientColorStart = clHotLight;
  TColor FGradientColorStop = clActiveCaption;
  TGradientDirection FGradientDirection = gdHorizontalEnd;
  TSmoothFactor FGradientSmoothFactor = 1;
  bool FShowGradient = true;
  bool FShowImage = false;
  bool FShowTexture = false;
  TImageStyle FImageStyle = isCenter;
  std::unique_ptr<TPicture> FImage;
  std::unique_ptr<TPicture> FTexture;
  // Texture, gradient and image as last painted: kept while the size and the settings
  // stay, so that a repaint (or a transparent control over it) only copies it.
  std::unique_ptr<TBitmap> FPicture;
};

class TKvBackground : public TKvCustomBackground {
public:
  using TKvCustomBackground::TKvCustomBackground;
};
