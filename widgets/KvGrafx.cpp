#include "widgets/KvGrafx.h"

#include <QImage>
#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/gui/Forms.h"

namespace {

// The height of the strip a linear gradient is drawn in before it is replicated.
constexpr int32_t StripSize = 8;

// Positions covered by one band at least: one per step of the smooth factor.
int32_t MinBandLength(TSmoothFactor Smooth, bool Box) {
  const int32_t K = Smooth > 8 ? (Box ? 256 : 255) / Smooth : Smooth - 1;
  return std::max(K, 0) + 1;
}

// The colours of Steps positions walked from From to To, each channel in 16.16 fixed
// point (started half a unit up, so the walk ends exactly on To), then merged into
// bands: a band goes on until its colour has changed and it covers MinBand positions,
// and takes the colour of its first position.
std::vector<QRgb> BandColors(int32_t Steps, TColor From, TColor To, int32_t MinBand) {
  const TColor A = ColorToRGB(From), B = ColorToRGB(To);
  std::vector<QRgb> Walk(static_cast<size_t>(std::max(Steps, 0)));
  const int64_t Start[3] = {int64_t{GetRValue(A)} << 16, int64_t{GetGValue(A)} << 16, int64_t{GetBValue(A)} << 16};
  const int64_t End[3] = {int64_t{GetRValue(B)} << 16, int64_t{GetGValue(B)} << 16, int64_t{GetBValue(B)} << 16};
  int64_t Step[3] = {0, 0, 0};
  if (Steps > 1)
    for (int C = 0; C < 3; ++C) Step[C] = (End[C] - Start[C]) / (Steps - 1);
  for (int32_t J = 0; J < Steps; ++J) {
    int Ch[3];
    for (int C = 0; C < 3; ++C) Ch[C] = static_cast<int>(((Start[C] + 0x8000 + J * Step[C]) >> 16) & 0xFF);
    Walk[static_cast<size_t>(J)] = qRgb(Ch[0], Ch[1], Ch[2]);
  }
  std::vector<QRgb> Bands(Walk.size());
  for (size_t J0 = 0; J0 < Walk.size();) {
    size_t J = J0 + 1;
    while (J < Walk.size() && (J - J0 < static_cast<size_t>(MinBand) || Walk[J] == Walk[J0])) ++J;
    std::fill(Bands.begin() + static_cast<std::ptrdiff_t>(J0), Bands.begin() + static_cast<std::ptrdiff_t>(J), Walk[J0]);
    J0 = J;
  }
  return Bands;
}

QRgb ToRgb(TColor C) {
  const TColor R = ColorToRGB(C);
  return qRgb(GetRValue(R), GetGValue(R), GetBValue(R));
}

// Fills the pixels X0..X1-1 of rows Y0..Y1-1 of a 32-bit image with Color, a row at a time.
void FillBlock(QImage& Image, int32_t X0, int32_t Y0, int32_t X1, int32_t Y1, QRgb Color) {
  if (X1 <= X0) return;
  for (int32_t Y = Y0; Y < Y1; ++Y) std::fill_n(reinterpret_cast<QRgb*>(Image.scanLine(Y)) + X0, X1 - X0, Color);
}

// Calls Fill(From, To, Color) for each run of positions First..Last-1 of one colour,
// ColorAt(P) being the colour of position P.
template <class ColorFn, class FillFn>
void ForEachRun(int32_t First, int32_t Last, ColorFn&& ColorAt, FillFn&& Fill) {
  for (int32_t P = First; P < Last;) {
    const QRgb Color = ColorAt(P);
    int32_t End = P + 1;
    while (End < Last && ColorAt(End) == Color) ++End;
    Fill(P, End, Color);
    P = End;
  }
}

// The last gradients drawn, so that a window's background and the gradients of its
// panels are worked out once per size and colours, not at every paint.
struct TGradientKey {
  int32_t Width, Height;
  TGradientDirection Direction;
  TSmoothFactor Smooth;
  TColor Start, End;
  bool operator==(const TGradientKey&) const = default;
};

class TGradientCache {
public:
  // The picture of Key, now the most recently used; nullptr when it is not kept.
  const QImage* Find(const TGradientKey& Key) {
    const auto It = std::find_if(FSlots.begin(), FSlots.end(), [&](const TSlot& S) { return S.first == Key; });
    if (It == FSlots.end()) return nullptr;
    std::rotate(FSlots.begin(), It, It + 1);
    return &FSlots.front().second;
  }
  // Keeps Picture as Key's, in place of the least recently used one when all are taken.
  const QImage& Add(const TGradientKey& Key, QImage Picture) {
    if (FSlots.size() == Slots) FSlots.pop_back();
    FSlots.emplace(FSlots.begin(), Key, std::move(Picture));
    return FSlots.front().second;
  }

private:
  using TSlot = std::pair<TGradientKey, QImage>;
  static constexpr size_t Slots = 11;
  std::vector<TSlot> FSlots;
};

TGradientCache& GradientCache() {
  static TGradientCache Cache;
  return Cache;
}

// The colour of each of Length positions of a linear gradient: the walk starts at the
// far end (the middle for the centre shape) in the end colour.
std::vector<QRgb> LinearColors(int32_t Length, bool Center, TSmoothFactor SmoothFactor, TColor EndColor,
                               TColor StartColor) {
  const int32_t Walked = Center ? (Length - 1) / 2 + 1 : Length;
  const std::vector<QRgb> Bands = BandColors(Walked, EndColor, StartColor, MinBandLength(SmoothFactor, false));
  std::vector<QRgb> Colors(static_cast<size_t>(Length));
  for (int32_t P = 0; P < Length; ++P) {
    const int32_t Near = Center ? std::min(P, Length - 1 - P) : P;  // mirrored about the middle
    Colors[static_cast<size_t>(P)] = Bands[static_cast<size_t>(Walked - 1 - Near)];
  }
  return Colors;
}

}  // namespace

void FillLinearGradient(TBitmap* Bitmap, bool Vertical, bool Center, TSmoothFactor SmoothFactor, TColor EndColor,
                        TColor StartColor, int32_t Length) {
  QImage& Image = Bitmap->Image();
  Length = std::min(Length, Vertical ? Image.height() : Image.width());
  if (Length <= 0) return;
  const int32_t Across = std::min(StripSize, Vertical ? Image.width() : Image.height());
  const std::vector<QRgb> Colors = LinearColors(Length, Center, SmoothFactor, EndColor, StartColor);
  // Each band across the strip in one fill.
  ForEachRun(
      0, Length, [&](int32_t P) { return Colors[static_cast<size_t>(P)]; },
      [&](int32_t From, int32_t To, QRgb Color) {
        if (Vertical)
          FillBlock(Image, 0, From, Across, To, Color);
        else
          FillBlock(Image, From, 0, To, Across, Color);
      });
  Bitmap->Modified();
}

void FillBoxGradient(TBitmap* Bitmap, int32_t Width, int32_t Height, TSmoothFactor SmoothFactor, TColor EndColor,
                     TColor StartColor, int32_t VerticalInset, int32_t HorizontalInset) {
  QImage& Image = Bitmap->Image();
  Width = std::min(Width, Image.width());
  Height = std::min(Height, Image.height());
  if (Width <= 0 || Height <= 0) return;
  FillBlock(Image, 0, 0, Width, Height, ToRgb(StartColor));
  if (ColorToRGB(StartColor) == ColorToRGB(EndColor) || Width < 5 || Height < 5) return Bitmap->Modified();
  // The top-left quarter (with the middle row and column): rings around the centre,
  // w and h their largest half-extents, the end colour in ring 0.
  const int32_t CX = (Width - 1) / 2, CY = (Height - 1) / 2;
  const int32_t W = std::max(CX - HorizontalInset, 0), H = std::max(CY - VerticalInset, 0);
  const int32_t Steps = std::max(W, H) + 1;
  const std::vector<QRgb> Bands = BandColors(Steps, EndColor, StartColor, MinBandLength(SmoothFactor, true));
  auto RingOf = [Steps](int64_t D, int64_t Extent) -> int64_t {
    if (D == 0) return 0;
    if (Extent == 0) return Steps;  // beyond the rings
    return (D * (Steps - 1) + Extent - 1) / Extent;
  };
  std::vector<int64_t> ColumnRing(static_cast<size_t>(CX) + 1);
  for (int32_t X = 0; X <= CX; ++X) ColumnRing[static_cast<size_t>(X)] = RingOf(CX - X, W);
  // Row by row, each band's stretch of the row in one fill; outside the rings the start
  // colour stays.
  for (int32_t Y = 0; Y <= CY; ++Y) {
    const int64_t RowRing = RingOf(CY - Y, H);
    auto RingAt = [&](int32_t X) { return std::max(ColumnRing[static_cast<size_t>(X)], RowRing); };
    int32_t X = 0;
    while (X <= CX && RingAt(X) >= Steps) ++X;
    ForEachRun(
        X, CX + 1, [&](int32_t At) { return Bands[static_cast<size_t>(RingAt(At))]; },
        [&](int32_t From, int32_t To, QRgb Color) { FillBlock(Image, From, Y, To, Y + 1, Color); });
  }
  Bitmap->Modified();
  MirrorHalves(Bitmap->Canvas(), 0, 0, cmSrcCopy, Height, Width);
}

void FillDiagonalGradient(TBitmap* Bitmap, int32_t Width, int32_t Height, TSmoothFactor SmoothFactor, TColor EndColor,
                          TColor StartColor) {
  QImage& Image = Bitmap->Image();
  const bool Down = Width < 0;
  const int64_t W = std::min(std::abs(Width), Image.width()), H = std::min(Height, Image.height());
  if (W <= 0 || H <= 0) return;
  // As many steps as the diagonal is long, rounded to an even count.
  const int64_t N = static_cast<int64_t>(std::sqrt(static_cast<double>(W * W + H * H))) + 1;
  const int64_t Steps = std::max<int64_t>(2 * (N / 2), 1);
  const std::vector<QRgb> Bands =
      BandColors(static_cast<int32_t>(Steps), StartColor, EndColor, MinBandLength(SmoothFactor, false));
  // A pixel's step grows with x / W + (distance from the start row) / H, so every band
  // boundary is parallel to the diagonal through the other two corners; the start and
  // end corners take the first and the last step. Along a row the step is
  // (2 V (Steps - 1) + Span) div (2 Span), V growing by 2 H a pixel: kept as a quotient
  // and a remainder, and each band's stretch of the row is one fill.
  const int64_t Lowest = W + H, Span = 4 * W * H - 2 * (W + H);
  if (Span <= 0) {
    FillBlock(Image, 0, 0, static_cast<int32_t>(W), static_cast<int32_t>(H), Bands[0]);
    return Bitmap->Modified();
  }
  const int64_t Divisor = 2 * Span, Growth = 4 * H * (Steps - 1);
  const int64_t GrowthSteps = Growth / Divisor, GrowthRest = Growth % Divisor;
  for (int64_t Y = 0; Y < H; ++Y) {
    const int64_t Rows = Down ? Y : H - 1 - Y;
    const int64_t First = 2 * (H + (2 * Rows + 1) * W - Lowest) * (Steps - 1) + Span;
    int64_t Step = First / Divisor, Rest = First % Divisor;
    int32_t RunStart = 0;
    QRgb RunColor = Bands[static_cast<size_t>(Step)];
    for (int32_t X = 1; X < W; ++X) {
      Step += GrowthSteps;
      Rest += GrowthRest;
      if (Rest >= Divisor) {
        Rest -= Divisor;
        ++Step;
      }
      const QRgb Color = Bands[static_cast<size_t>(Step)];
      if (Color == RunColor) continue;
      FillBlock(Image, RunStart, static_cast<int32_t>(Y), X, static_cast<int32_t>(Y) + 1, RunColor);
      RunStart = X;
      RunColor = Color;
    }
    FillBlock(Image, RunStart, static_cast<int32_t>(Y), static_cast<int32_t>(W), static_cast<int32_t>(Y) + 1, RunColor);
  }
  Bitmap->Modified();
}

namespace {

// The gradient of FillGradientRect over W x H, in the format drawing takes (every pixel
// is drawn, so the bitmap's transparent start never shows).
QImage RenderGradient(int32_t W, int32_t H, TGradientDirection Direction, TSmoothFactor SmoothFactor, TColor EndColor,
                      TColor StartColor) {
  TBitmap Work;
  Work.SetPixelFormat(pf32bit);
  Work.SetSize(W, H);
  if (ColorToRGB(StartColor) == ColorToRGB(EndColor)) {
    Work.Image().fill(ToRgb(StartColor));
  } else {
    switch (Direction) {
      case gdDiagonalUp: FillDiagonalGradient(&Work, W, H, SmoothFactor, EndColor, StartColor); break;
      case gdDiagonalDown: FillDiagonalGradient(&Work, -W, H, SmoothFactor, EndColor, StartColor); break;
      case gdHorizontalEnd:
      case gdHorizontalCenter: {
        // The strip of FillLinearGradient replicated down: every row is the first one.
        const std::vector<QRgb> Colors =
            LinearColors(W, Direction == gdHorizontalCenter, SmoothFactor, EndColor, StartColor);
        QImage& Image = Work.Image();
        for (int32_t Y = 0; Y < H; ++Y) std::copy(Colors.begin(), Colors.end(), reinterpret_cast<QRgb*>(Image.scanLine(Y)));
        break;
      }
      case gdVerticalEnd:
      case gdVerticalCenter: {
        // Replicated across: every row is one colour.
        const std::vector<QRgb> Colors = LinearColors(H, Direction == gdVerticalCenter, SmoothFactor, EndColor, StartColor);
        for (int32_t Y = 0; Y < H; ++Y) FillBlock(Work.Image(), 0, Y, W, Y + 1, Colors[static_cast<size_t>(Y)]);
        break;
      }
      case gdHorizontalBox: FillBoxGradient(&Work, W, H, SmoothFactor, EndColor, StartColor, 0, W / 4); break;
      case gdVerticalBox: FillBoxGradient(&Work, W, H, SmoothFactor, EndColor, StartColor, H / 4, 0); break;
      case gdSquareBox: FillBoxGradient(&Work, W, H, SmoothFactor, EndColor, StartColor, 0, 0); break;
      case gdBigSquareBox: FillBoxGradient(&Work, W, H, SmoothFactor, EndColor, StartColor, H / 4, W / 4); break;
    }
  }
  return Work.Image();
}

}  // namespace

void FillGradientRect(TCanvas* Canvas, const TRect& R, TGradientDirection Direction, TSmoothFactor SmoothFactor,
                      TColor EndColor, TColor StartColor) {
  const int32_t W = std::abs(R.Right - R.Left), H = std::abs(R.Bottom - R.Top);
  if (W == 0 || H == 0) return;
  const TColor Start = ColorToRGB(StartColor), End = ColorToRGB(EndColor);
  const bool Flat = Start == End;
  const TGradientKey Key{W, H, Flat ? gdHorizontalEnd : Direction, Flat ? TSmoothFactor(0) : SmoothFactor, Start, End};
  const QImage* Picture = GradientCache().Find(Key);
  if (!Picture) Picture = &GradientCache().Add(Key, RenderGradient(W, H, Direction, SmoothFactor, End, Start));
  const int32_t X = std::min(R.Left, R.Right), Y = std::min(R.Top, R.Bottom);
  Canvas->CopyImage(Rect(X, Y, X + W, Y + H), *Picture, Rect(0, 0, W, H));
}

namespace {

// Runs Fn with the canvas's copy mode set to Rop.
template <class Fn>
void WithCopyMode(TCanvas* Canvas, TCopyMode Rop, Fn&& Body) {
  const TCopyMode Old = Canvas->CopyMode();
  Canvas->SetCopyMode(Rop);
  Body();
  Canvas->SetCopyMode(Old);
}

}  // namespace

void ReplicateBlock(TCanvas* Canvas, int32_t X, int32_t Y, TCopyMode Rop, int32_t BlockWidth, int32_t BlockHeight,
                    int32_t TotalWidth, int32_t TotalHeight) {
  if (BlockWidth <= 0 || BlockHeight <= 0) return;
  WithCopyMode(Canvas, Rop, [&] {
    int32_t W = BlockWidth, H = BlockHeight;
    while (W < TotalWidth || H < TotalHeight) {
      if (W < TotalWidth) {
        const int32_t N = std::min(W, TotalWidth - W);
        Canvas->CopyRect(Rect(X + W, Y, X + W + N, Y + H), Canvas, Rect(X, Y, X + N, Y + H));
        W += N;
      }
      if (H < TotalHeight) {
        const int32_t N = std::min(H, TotalHeight - H);
        Canvas->CopyRect(Rect(X, Y + H, X + W, Y + H + N), Canvas, Rect(X, Y, X + W, Y + N));
        H += N;
      }
    }
  });
}

void MirrorHalves(TCanvas* Canvas, int32_t X, int32_t Y, TCopyMode Rop, int32_t Height, int32_t Width) {
  if (Width <= 0 || Height <= 0) return;
  WithCopyMode(Canvas, Rop, [&] {
    // A destination with a negative extent mirrors the copy.
    if (const int32_t Half = Height / 2; Half > 0)
      Canvas->CopyRect(Rect(X, Y + Height, X + Width, Y + Height - Half), Canvas, Rect(X, Y, X + Width, Y + Half));
    if (const int32_t Half = Width / 2; Half > 0)
      Canvas->CopyRect(Rect(X + Width, Y, X + Width - Half, Y + Height), Canvas, Rect(X, Y, X + Half, Y + Height));
  });
}

void TileBitmapRect(TCanvas* Canvas, const TBitmap* Bitmap, const TRect& R) {
  if (!Bitmap || Bitmap->Empty()) return;
  const int32_t BW = Bitmap->Width(), BH = Bitmap->Height();
  for (int32_t Y = R.Top; Y < R.Bottom; Y += BH)
    for (int32_t X = R.Left; X < R.Right; X += BW) {
      const int32_t W = std::min(BW, R.Right - X), H = std::min(BH, R.Bottom - Y);
      Canvas->CopyImage(Bounds(X, Y, W, H), Bitmap->Image(), Rect(0, 0, W, H));
    }
}

void StretchDrawMasked(TCanvas* Canvas, const TBitmap* Bitmap, const TRect& Dest, TColor TransparentColor,
                       const TRect& Src) {
  if (!Bitmap || Bitmap->Empty() || IsRectEmpty(Dest) || IsRectEmpty(Src)) return;
  QImage Work = Bitmap->Image()
                    .copy(Src.Left, Src.Top, Src.Width(), Src.Height())
                    .scaled(Dest.Width(), Dest.Height(), Qt::IgnoreAspectRatio, Qt::FastTransformation)
                    .convertToFormat(QImage::Format_ARGB32_Premultiplied);
  const QRgb Key = ToRgb(TransparentColor) & 0xFFFFFF;
  for (int Y = 0; Y < Work.height(); ++Y) {
    auto* Line = reinterpret_cast<QRgb*>(Work.scanLine(Y));
    for (int X = 0; X < Work.width(); ++X)
      if ((Line[X] & 0xFFFFFF) == Key) Line[X] = 0;
  }
  Canvas->DrawImage(Dest, Work, Rect(0, 0, Work.width(), Work.height()));
}

void FlipBitmapVertically(TBitmap* Bitmap) {
  if (!Bitmap || Bitmap->Empty()) return;
  QImage& Image = Bitmap->Image();
  const QImage Source = Image.copy();
  const int H = Image.height();
  const auto RowBytes = static_cast<size_t>(Image.bytesPerLine());
  for (int Y = 0; Y < H; ++Y) std::copy_n(Source.constScanLine(H - 1 - Y), RowBytes, Image.scanLine(Y));
  Bitmap->Modified();
}

void PaintParentBackground(TControl* Control, TCanvas* Canvas, bool InvalidateParent) {
  TWinControl* Parent = Control->Parent();
  if (!Parent) return;
  Control->PaintParentImage(Canvas);
  if (InvalidateParent && !dynamic_cast<TCustomControl*>(Parent) && !dynamic_cast<TCustomForm*>(Parent))
    Parent->Invalidate();
}

void EmbossDisabledCell(TBitmap* Strip, int32_t CellWidth) {
  TCanvas* C = Strip->Canvas();
  const TColor Transparent = ColorToRGB(Strip->TransparentColor());
  const int32_t Height = Strip->Height();
  const auto Drawn = [&](int32_t X, int32_t Y) {
    return X >= 0 && Y >= 0 && X < CellWidth && Y < Height && C->Pixels(X, Y) != Transparent;
  };
  for (int32_t Y = 0; Y < Height; ++Y)
    for (int32_t X = 0; X < CellWidth; ++X)
      if (Drawn(X, Y))
        C->SetPixel(CellWidth + X, Y, clBtnShadow);
      else if (Drawn(X - 1, Y - 1))
        C->SetPixel(CellWidth + X, Y, clBtnHighlight);
}

void SetChildButtonLayout(TControl* Child, uint8_t Layout) {
  if (Child) Child->Perform(CM_TOOLBARBUTTONLAYOUT, Layout);
}
