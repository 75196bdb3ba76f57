#include "widgets/KvBckgnd.h"

#include <algorithm>

namespace {

constexpr int32_t MinSize = 5;

// How far the frame of a style reaches in.
int32_t FrameOffset(TFrameStyle Style) {
  switch (Style) {
    case fsNone: return 0;
    case fsFlat:
    case fsStatus:
    case fsPopup: return 1;
    default: return 2;
  }
}

}  // namespace

TKvCustomBackground::TKvCustomBackground(TComponent* AOwner)
    : TGraphicControl(AOwner), FImage(std::make_unique<TPicture>()), FTexture(std::make_unique<TPicture>()) {
  SetBounds(Left(), Top(), 200, 100);
  FImage->OnChange = [this](TComponent*) {
    FPicture.reset();
    if (FShowImage) Redraw();
  };
  FTexture->OnChange = [this](TComponent*) {
    FPicture.reset();
    if (FShowTexture) Redraw();
  };
  UpdateOpaque();
}

TKvCustomBackground::~TKvCustomBackground() = default;

void TKvCustomBackground::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
  TGraphicControl::SetBounds(ALeft, ATop, std::max(AWidth, MinSize), std::max(AHeight, MinSize));
}

void TKvCustomBackground::Redraw() {
  FPicture.reset();
  UpdateOpaque();
  if (!Loading()) Invalidate();
}

void TKvCustomBackground::UpdateOpaque() {
  const bool Covers = FActive && FShowGradient && !FShowTexture && !FShowImage && FFrameStyle == fsNone;
  SetControlStyle(Covers ? ControlStyle() | csOpaque : ControlStyle() & ~csOpaque);
}

template <class T>
void TKvCustomBackground::Change(T& Field, T Value) {
  if (Field == Value) return;
  Field = Value;
  Redraw();
}

void TKvCustomBackground::SetActive(bool Value) { Change(FActive, Value); }
void TKvCustomBackground::SetFrameStyle(TFrameStyle Value) { Change(FFrameStyle, Value); }
void TKvCustomBackground::SetFrameColor(TColor Value) { Change(FFrameColor, Value); }
void TKvCustomBackground::SetGradientColorStart(TColor Value) { Change(FGradientColorStart, Value); }
void TKvCustomBackground::SetGradientColorStop(TColor Value) { Change(FGradientColorStop, Value); }
void TKvCustomBackground::SetGradientDirection(TGradientDirection Value) { Change(FGradientDirection, Value); }
void TKvCustomBackground::SetGradientSmoothFactor(TSmoothFactor Value) {
  Change(FGradientSmoothFactor, std::clamp<TSmoothFactor>(Value, 1, 8));
}
void TKvCustomBackground::SetShowImage(bool Value) { Change(FShowImage, Value); }

void TKvCustomBackground::SetShowGradient(bool Value) {
  if (Value == FShowGradient) return;
  FShowGradient = Value;
  FShowTexture = !Value && !FShowImage;
  Redraw();
}

void TKvCustomBackground::SetShowTexture(bool Value) {
  if (Value == FShowTexture) return;
  FShowTexture = Value;
  FShowGradient = !Value;
  Redraw();
}

void TKvCustomBackground::SetImageStyle(TImageStyle Value) {
  if (Value == FImageStyle) return;
  FImageStyle = Value;
  FPicture.reset();
  if (FShowImage) Redraw();
}

void TKvCustomBackground::Paint() {
  const int32_t F = FrameOffset(FFrameStyle);
  if (!FPicture || FPicture->Width() != Width() || FPicture->Height() != Height()) {
    FPicture = std::make_unique<TBitmap>();
    FPicture->SetPixelFormat(pf32bit);  // starts transparent: what nothing covers shows the parent
    FPicture->SetSize(Width(), Height());
    if (FShowTexture) PaintTexture(FPicture->Canvas(), FTexture.get());
    if (FShowGradient) PaintGradient(FPicture->Canvas());
    if (FShowImage) PaintImage(FPicture->Canvas(), FImage.get());
    FPicture->Canvas()->ReleasePainter();
  }
  TCanvas* C = Canvas();
  C->Draw(F, F, FPicture.get());
  C->Pen()->SetWidth(1);
  C->Pen()->SetStyle(psSolid);
  if (FFrameStyle == fsFlat)
    PaintRectSides(C, ClientRect(), FFrameColor, sdsAll, FFrameColor);
  else
    PaintStyledFrameRect(C, ClientRect(), FFrameStyle);
}

void TKvCustomBackground::PaintGradient(TCanvas* Canvas) {
  if (!FActive) return;
  if (FShowImage && (FImageStyle == isStretch || FImageStyle == isTiled)) return;
  FillGradientRect(Canvas, Rect(0, 0, Width(), Height()), FGradientDirection, FGradientSmoothFactor,
                   FGradientColorStop, FGradientColorStart);
}

void TKvCustomBackground::PaintImage(TCanvas* Canvas, TPicture* Picture) {
  const TGraphic* G = Picture->Graphic();
  if (!G || G->Empty()) return;
  const int32_t PW = G->Width(), PH = G->Height(), W = Width(), H = Height();
  switch (FImageStyle) {
    case isCenter: Canvas->Draw((W - PW) / 2, (H - PH) / 2, G); break;
    case isClip: Canvas->Draw(0, 0, G); break;
    case isFill: {
      // As large as fits, keeping the picture's aspect.
      const double R = static_cast<double>(PH) / PW;
      const double ControlR = static_cast<double>(H) / W;
      const TRect Target = ControlR >= R ? Rect(0, 0, W, static_cast<int32_t>(W * R))
                                         : Rect(0, 0, static_cast<int32_t>(H / R), H);
      Canvas->StretchDraw(Target, G);
      break;
    }
    case isStretch: Canvas->StretchDraw(ClientRect(), G); break;
    case isTiled:
      Canvas->Draw(0, 0, G);
      ReplicateBlock(Canvas, 0, 0, cmSrcCopy, PW, PH, W, H);
      break;
  }
}

void TKvCustomBackground::PaintTexture(TCanvas* Canvas, TPicture* Picture) {
  const TGraphic* G = Picture->Graphic();
  if (!G || G->Empty()) return;
  if (const auto* B = dynamic_cast<const TBitmap*>(G)) {
    TileBitmapRect(Canvas, B, ClientRect());
    return;
  }
  // Any other graphic draws itself once; the copies are taken from what it drew.
  Canvas->Draw(0, 0, G);
  ReplicateBlock(Canvas, 0, 0, cmSrcCopy, G->Width(), G->Height(), Width(), Height());
}
