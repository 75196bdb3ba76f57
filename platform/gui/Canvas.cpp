// The canvas: lines, shapes, pixels, clipping and raster copies. Text is in CanvasText.cpp.
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>

#include "platform/gui/Graphics.h"
#include "platform/gui/QtSupport.h"

struct TCanvas::TSavedState {
  std::unique_ptr<QRegion> Clip;
  TPoint Origin;
  uint32_t TextAlign = 0;
};

namespace {

// Floor division for a positive divisor.
int32_t FloorDiv(int64_t A, int64_t B) {
  int64_t Q = A / B;
  if ((A % B != 0) && (A < 0)) --Q;
  return static_cast<int32_t>(Q);
}

// On/off run lengths of the dashed one-pixel pens.
std::span<const int32_t> DashPattern(TPenStyle Style) {
  static constexpr int32_t Dash[] = {18, 6};
  static constexpr int32_t Dot[] = {3, 3};
  static constexpr int32_t DashDot[] = {9, 6, 3, 6};
  static constexpr int32_t DashDotDot[] = {9, 3, 3, 3, 3, 3};
  switch (Style) {
    case psDash: return Dash;
    case psDot: return Dot;
    case psDashDot: return DashDot;
    case psDashDotDot: return DashDotDot;
    default: return {};
  }
}

// Whether step Phase of a dashed pattern is drawn.
bool DashOn(std::span<const int32_t> Pattern, int32_t Phase) {
  int32_t Total = 0;
  for (int32_t Run : Pattern) Total += Run;
  int32_t P = Phase % Total;
  for (size_t I = 0; I < Pattern.size(); ++I) {
    if (P < Pattern[I]) return I % 2 == 0;
    P -= Pattern[I];
  }
  return true;
}

// Evaluates a three-operand raster code bit by bit: bit (P*4 + S*2 + D) of the code's
// third byte is the result for those operand bits.
uint32_t Rop3(uint8_t Code, uint32_t P, uint32_t S, uint32_t D) {
  uint32_t R = 0;
  for (int I = 0; I < 8; ++I)
    if (Code & (1u << I)) R |= ((I & 4) ? P : ~P) & ((I & 2) ? S : ~S) & ((I & 1) ? D : ~D);
  return R & 0xFFFFFF;
}

QRect NormalizedRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  return QRect(QPoint(std::min(X1, X2), std::min(Y1, Y2)), QPoint(std::max(X1, X2) - 1, std::max(Y1, Y2) - 1));
}

}  // namespace

TCanvas::TCanvas()
    : FFont(std::make_unique<TFont>()), FPen(std::make_unique<TPen>()), FBrush(std::make_unique<TBrush>()) {}

TCanvas::~TCanvas() { EndPainter(); }

void TCanvas::SetImage(QImage* Image) {
  EndPainter();
  if (Image && !Image->isNull() && Image->format() != QImage::Format_RGB32 &&
      Image->format() != QImage::Format_ARGB32_Premultiplied)
    throw EInvalidGraphicOperation("Canvas needs a 32-bit image");
  FImage = Image;
  FClip.reset();
  FOrigin = {};
  FTextAlign = TA_LEFT | TA_TOP;
  FSaved.clear();
}

void TCanvas::ReleasePainter() { EndPainter(); }

void TCanvas::RequireImage() const {
  if (!FImage || FImage->isNull()) throw EInvalidGraphicOperation("Canvas does not allow drawing");
}

void TCanvas::EndPainter() {
  if (FPainter) {
    FPainter->end();
    FPainter.reset();
  }
}

QPainter* TCanvas::PreparePainter() {
  RequireImage();
  if (!FPainter) {
    FPainter = std::make_unique<QPainter>(FImage);
    FPainterStateValid = false;
  }
  QPainter* P = FPainter.get();
  if (!FPainterStateValid) {
    // The clip is set in device pixels, then the origin moves the logical coordinates.
    P->resetTransform();
    // Qt 6.4 ignores a clip region set after setClipping(false): "no clip" is the
    // whole image instead.
    P->setClipRegion(FClip ? *FClip : QRegion(FImage->rect()));
    P->translate(FOrigin.X, FOrigin.Y);
    FPainterStateValid = true;
  }
  P->setRenderHint(QPainter::Antialiasing, false);
  P->setRenderHint(QPainter::TextAntialiasing, false);
  P->setCompositionMode(QPainter::CompositionMode_SourceOver);
  P->setBrushOrigin(-FOrigin.X, -FOrigin.Y);
  P->setOpacity(1.0);
  P->setLayoutDirection(Qt::LeftToRight);
  return P;
}

QPainter* TCanvas::Painter() {
  QPainter* P = PreparePainter();
  P->setPen(Qt::NoPen);
  P->setBrush(Qt::NoBrush);
  // The caller may change the clip or the transform: the next drawing sets them again.
  FPainterStateValid = false;
  return P;
}

void TCanvas::Changing() {
  if (OnChanging) OnChanging(nullptr);
}

void TCanvas::Changed() {
  if (OnChange) OnChange(nullptr);
}

bool TCanvas::ApplyPenMode(QPainter& P, TPenMode Mode, QColor& Color) const {
  QPainter::CompositionMode C = QPainter::CompositionMode_SourceOver;
  switch (Mode) {
    case pmNop: return false;
    case pmBlack: Color = Qt::black; break;
    case pmWhite: Color = Qt::white; break;
    case pmCopy: break;
    case pmNot: C = QPainter::RasterOp_NotDestination; break;
    case pmNotCopy: C = QPainter::RasterOp_NotSource; break;
    case pmMergePenNot: C = QPainter::RasterOp_SourceOrNotDestination; break;
    case pmMaskPenNot: C = QPainter::RasterOp_SourceAndNotDestination; break;
    case pmMergeNotPen: C = QPainter::RasterOp_NotSourceOrDestination; break;
    case pmMaskNotPen: C = QPainter::RasterOp_NotSourceAndDestination; break;
    case pmMerge: C = QPainter::RasterOp_SourceOrDestination; break;
    case pmNotMerge: C = QPainter::RasterOp_NotSourceAndNotDestination; break;
    case pmMask: C = QPainter::RasterOp_SourceAndDestination; break;
    case pmNotMask: C = QPainter::RasterOp_NotSourceOrNotDestination; break;
    case pmXor: C = QPainter::RasterOp_SourceXorDestination; break;
    case pmNotXor: C = QPainter::RasterOp_NotSourceXorDestination; break;
  }
  P.setCompositionMode(C);
  return true;
}

void TCanvas::SetBrushOf(QPainter& P) const {
  const QImage& Pattern = FBrush->Pattern();
  if (!Pattern.isNull())
    P.setBrush(QBrush(Pattern));
  else
    P.setBrush(ToQColor(FBrush->Color()));
}

void TCanvas::FillWithBrush(QPainter& P, const QRect& R) {
  if (FBrush->Style() == bsClear || R.isEmpty()) return;
  P.setPen(Qt::NoPen);
  SetBrushOf(P);
  P.drawRect(R);
}

// ---------------------------------------------------------------------------
// Lines and shapes

void TCanvas::MoveTo(int32_t X, int32_t Y) { FPenPos = {X, Y}; }

// One-pixel line from (X0, Y0) to (X1, Y1) without the end point: each step takes the
// pixel nearest the ideal line, halves going to the larger coordinate, so a line and its
// reverse cover the same pixels apart from their ends.
void TCanvas::PlotLine(int32_t X0, int32_t Y0, int32_t X1, int32_t Y1, int32_t& DashPhase) {
  const int64_t DX = X1 - X0, DY = Y1 - Y0;
  const int64_t N = std::max(std::abs(DX), std::abs(DY));
  if (N == 0) return;
  const std::span<const int32_t> Pattern = DashPattern(FPen->Style());
  QPainter* P = PreparePainter();
  QColor Color = ToQColor(FPen->Color());
  if (!ApplyPenMode(*P, FPen->Mode(), Color)) return;
  if (Pattern.empty() && (DX == 0 || DY == 0)) {
    // A solid line across or down is one fill of its pixels (the end point left out).
    const auto Reach = [N](int64_t D) { return static_cast<int32_t>(D > 0 ? N - 1 : D < 0 ? 1 - N : 0); };
    const int32_t X = X0 + Reach(DX), Y = Y0 + Reach(DY);
    P->fillRect(QRect(QPoint(std::min(X0, X), std::min(Y0, Y)), QPoint(std::max(X0, X), std::max(Y0, Y))), Color);
    return;
  }
  QVector<QPoint> On, Off;
  On.reserve(static_cast<qsizetype>(N));
  for (int64_t I = 0; I < N; ++I) {
    QPoint Pt(X0 + FloorDiv(2 * I * DX + N, 2 * N), Y0 + FloorDiv(2 * I * DY + N, 2 * N));
    if (Pattern.empty() || DashOn(Pattern, DashPhase++))
      On.push_back(Pt);
    else
      Off.push_back(Pt);
  }
  P->setBrush(Qt::NoBrush);
  P->setPen(QPen(Color, 0));
  P->drawPoints(On.constData(), static_cast<int>(On.size()));
  if (!Off.isEmpty() && FBrush->Style() == bsSolid) {
    // Gaps show the background (the brush colour) while the brush is solid.
    QColor Gap = ToQColor(FBrush->Color());
    ApplyPenMode(*P, FPen->Mode(), Gap);
    P->setPen(QPen(Gap, 0));
    P->drawPoints(Off.constData(), static_cast<int>(Off.size()));
  }
}

// The pen along Points; one-pixel pens leave out the last point of an open path.
void TCanvas::StrokePath(std::span<const TPoint> Points, bool Closed) {
  if (FPen->Style() == psClear || Points.size() < 2) return;
  if (FPen->Width() <= 1) {
    int32_t Phase = 0;
    for (size_t I = 0; I + 1 < Points.size(); ++I)
      PlotLine(Points[I].X, Points[I].Y, Points[I + 1].X, Points[I + 1].Y, Phase);
    if (Closed) PlotLine(Points.back().X, Points.back().Y, Points.front().X, Points.front().Y, Phase);
    return;
  }
  QPainter* P = PreparePainter();
  QColor Color = ToQColor(FPen->Color());
  if (!ApplyPenMode(*P, FPen->Mode(), Color)) return;
  QPen Pen(Color, FPen->Width(), Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
  P->setPen(Pen);
  P->setBrush(Qt::NoBrush);
  QPolygon Poly;
  for (const TPoint& Pt : Points) Poly << ToQPoint(Pt);
  if (Closed)
    P->drawPolygon(Poly);
  else
    P->drawPolyline(Poly);
}

void TCanvas::LineTo(int32_t X, int32_t Y) {
  Changing();
  const TPoint Path[] = {FPenPos, {X, Y}};
  StrokePath(Path, false);
  FPenPos = {X, Y};
  Changed();
}

void TCanvas::Polyline(std::span<const TPoint> Points) {
  Changing();
  StrokePath(Points, false);
  Changed();
}

void TCanvas::Polygon(std::span<const TPoint> Points) {
  if (Points.size() < 2) return;
  Changing();
  if (FBrush->Style() != bsClear) {
    QPainter* P = PreparePainter();
    QColor Unused;
    if (ApplyPenMode(*P, FPen->Mode(), Unused)) {
      QPolygon Poly;
      for (const TPoint& Pt : Points) Poly << ToQPoint(Pt);
      P->setPen(Qt::NoPen);
      SetBrushOf(*P);
      P->drawPolygon(Poly, Qt::OddEvenFill);
    }
  }
  StrokePath(Points, true);
  Changed();
}

void TCanvas::Rectangle(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  if (X2 < X1) std::swap(X1, X2);
  if (Y2 < Y1) std::swap(Y1, Y2);
  if (X2 == X1 || Y2 == Y1) return;
  Changing();
  QPainter* P = PreparePainter();
  const int32_t W = std::max(1, FPen->Width());
  QRect Outer, Inner;
  if (FPen->Style() == psClear) {
    Inner = QRect(QPoint(X1, Y1), QPoint(X2 - 2, Y2 - 2));
  } else if (FPen->Style() == psInsideFrame) {
    Outer = QRect(QPoint(X1, Y1), QPoint(X2 - 1, Y2 - 1));
    Inner = QRect(QPoint(X1 + W, Y1 + W), QPoint(X2 - 1 - W, Y2 - 1 - W));
  } else {
    // Centred on the one-pixel outline at X1 and X2-1, Y1 and Y2-1.
    const int32_t Before = W / 2;
    Outer = QRect(QPoint(X1 - Before, Y1 - Before), QPoint(X2 - 1 - Before + W - 1, Y2 - 1 - Before + W - 1));
    Inner = QRect(QPoint(X1 - Before + W, Y1 - Before + W), QPoint(X2 - 2 - Before, Y2 - 2 - Before));
  }
  QColor Unused;
  if (!Inner.isEmpty() && FBrush->Style() != bsClear && ApplyPenMode(*P, FPen->Mode(), Unused)) {
    P->setPen(Qt::NoPen);
    SetBrushOf(*P);
    P->drawRect(Inner);
  }
  if (FPen->Style() != psClear) {
    if (W == 1 && FPen->Style() != psInsideFrame) {
      const TPoint Path[] = {{X1, Y1}, {X2 - 1, Y1}, {X2 - 1, Y2 - 1}, {X1, Y2 - 1}};
      StrokePath(Path, true);
    } else {
      QColor Color = ToQColor(FPen->Color());
      if (ApplyPenMode(*P, FPen->Mode(), Color)) {
        QRegion Frame = QRegion(Outer) - QRegion(Inner);
        P->setPen(Qt::NoPen);
        P->setBrush(Color);
        for (const QRect& R : Frame) P->drawRect(R);
      }
    }
  }
  Changed();
}

void TCanvas::RoundRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t W, int32_t H) {
  if (X2 < X1) std::swap(X1, X2);
  if (Y2 < Y1) std::swap(Y1, Y2);
  if (X2 - X1 < 2 || Y2 - Y1 < 2) return;
  Changing();
  QPainter* P = PreparePainter();
  QColor Color = ToQColor(FPen->Color());
  if (ApplyPenMode(*P, FPen->Mode(), Color)) {
    if (FBrush->Style() == bsClear)
      P->setBrush(Qt::NoBrush);
    else
      SetBrushOf(*P);
    if (FPen->Style() == psClear)
      P->setPen(Qt::NoPen);
    else
      P->setPen(QPen(Color, FPen->Width() <= 1 ? 0 : FPen->Width(), Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    // The outline runs along the last column and row inside the box.
    P->drawRoundedRect(QRectF(X1, Y1, X2 - X1 - 1, Y2 - Y1 - 1), W / 2.0, H / 2.0);
  }
  Changed();
}

void TCanvas::FillRect(const TRect& R) {
  if (IsRectEmpty(R) || FBrush->Style() == bsClear) return;
  Changing();
  FillWithBrush(*PreparePainter(), ToQRect(R));
  Changed();
}

void TCanvas::FrameRect(const TRect& R) {
  if (IsRectEmpty(R) || FBrush->Style() == bsClear) return;
  Changing();
  QPainter* P = PreparePainter();
  const QRect Q = ToQRect(R);
  QRegion Frame = QRegion(Q) - QRegion(Q.adjusted(1, 1, -1, -1));
  for (const QRect& Part : Frame) FillWithBrush(*P, Part);
  Changed();
}

void TCanvas::DrawFocusRect(const TRect& R) {
  if (IsRectEmpty(R)) return;
  Changing();
  QVector<QPoint> Points;
  auto Add = [&](int32_t X, int32_t Y) {
    if (((X + FOrigin.X + Y + FOrigin.Y) & 1) == 0) Points.push_back(QPoint(X, Y));
  };
  for (int32_t X = R.Left; X < R.Right; ++X) {
    Add(X, R.Top);
    if (R.Bottom - 1 > R.Top) Add(X, R.Bottom - 1);
  }
  for (int32_t Y = R.Top + 1; Y < R.Bottom - 1; ++Y) {
    Add(R.Left, Y);
    if (R.Right - 1 > R.Left) Add(R.Right - 1, Y);
  }
  QPainter* P = PreparePainter();
  P->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  P->setPen(QPen(Qt::white, 0));
  P->drawPoints(Points.constData(), static_cast<int>(Points.size()));
  Changed();
}

// ---------------------------------------------------------------------------
// Pixels

TColor TCanvas::Pixels(int32_t X, int32_t Y) const {
  if (!FImage || FImage->isNull()) return CLR_INVALID;
  const int32_t DX = X + FOrigin.X, DY = Y + FOrigin.Y;
  if (!FImage->rect().contains(DX, DY)) return CLR_INVALID;
  if (FClip && !FClip->contains(QPoint(DX, DY))) return CLR_INVALID;
  return FromQRgb(FImage->pixel(DX, DY));
}

void TCanvas::SetPixel(int32_t X, int32_t Y, TColor Color) {
  Changing();
  QPainter* P = PreparePainter();
  P->setCompositionMode(QPainter::CompositionMode_Source);
  P->fillRect(QRect(X, Y, 1, 1), ToQColor(Color));
  Changed();
}

// ---------------------------------------------------------------------------
// Bitmaps and raster copies

void TCanvas::Draw(int32_t X, int32_t Y, const TGraphic* Graphic) {
  if (!Graphic || Graphic->Empty()) return;
  Graphic->Draw(this, Bounds(X, Y, Graphic->Width(), Graphic->Height()));
}

void TCanvas::StretchDraw(const TRect& R, const TGraphic* Graphic) {
  if (!Graphic || Graphic->Empty()) return;
  Graphic->Draw(this, R);
}

void TCanvas::CopyRect(const TRect& Dest, const TCanvas* Source, const TRect& Src) {
  if (!Source || !Source->FImage) throw EInvalidGraphicOperation("Canvas does not allow drawing");
  TRect DeviceSrc = Src;
  OffsetRect(DeviceSrc, Source->FOrigin.X, Source->FOrigin.Y);
  CopyImage(Dest, *Source->FImage, DeviceSrc);
}

namespace {

// Image's Src (negative extents allowed) brought to the size of Dest, mirrored where one
// of them has a negative extent and the other not, nearest pixel when stretched. The
// result is placed at the returned normalised destination. Target is the image drawn on.
QImage PrepareSource(const QImage& Image, const TRect& Src, const TRect& Dest, QRect& Placed, const QImage& Target) {
  const QRect S = NormalizedRect(Src.Left, Src.Top, Src.Right, Src.Bottom);
  Placed = NormalizedRect(Dest.Left, Dest.Top, Dest.Right, Dest.Bottom);
  const bool MirrorX = (Src.Width() < 0) != (Dest.Width() < 0);
  const bool MirrorY = (Src.Height() < 0) != (Dest.Height() < 0);
  // A whole other image is taken as it is (shared, not copied): drawing a kept picture
  // costs no copy of it.
  const bool Whole = S == Image.rect() && Image.constBits() != Target.constBits();
  QImage Piece = (Whole ? Image : Image.copy(S)).convertToFormat(QImage::Format_ARGB32_Premultiplied);
  if (MirrorX || MirrorY) Piece = Piece.mirrored(MirrorX, MirrorY);
  if (Piece.size() != Placed.size())
    Piece = Piece.scaled(Placed.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
  return Piece;
}

}  // namespace

void TCanvas::CopyImage(const TRect& Dest, const QImage& Image, const TRect& Src) {
  if (Dest.Width() == 0 || Dest.Height() == 0 || Src.Width() == 0 || Src.Height() == 0) return;
  RequireImage();
  Changing();
  QRect Placed;
  const QImage Piece = PrepareSource(Image, Src, Dest, Placed, *FImage);
  if (FCopyMode == cmSrcCopy) {
    QPainter* P = PreparePainter();
    P->setCompositionMode(QPainter::CompositionMode_Source);
    P->drawImage(Placed.topLeft(), Piece);
  } else {
    RasterBlt(Placed.translated(FOrigin.X, FOrigin.Y), Piece);
  }
  Changed();
}

void TCanvas::DrawImage(const TRect& Dest, const QImage& Image, const TRect& Src) {
  if (Dest.Width() == 0 || Dest.Height() == 0 || Src.Width() == 0 || Src.Height() == 0) return;
  RequireImage();
  Changing();
  QRect Placed;
  const QImage Piece = PrepareSource(Image, Src, Dest, Placed, *FImage);
  QPainter* P = PreparePainter();
  P->drawImage(Placed.topLeft(), Piece);
  Changed();
}

// Combines Source (already at the size of Dest, in device pixels) with the image by the
// copy mode, pixel by pixel, within the clip region. Results are opaque.
void TCanvas::RasterBlt(const QRect& Dest, const QImage& Source) {
  EndPainter();
  const uint8_t Code = static_cast<uint8_t>(FCopyMode >> 16);
  const QImage& Pattern = FBrush->Pattern();
  const uint32_t BrushColor = ToQRgb(FBrush->Color()) & 0xFFFFFF;
  const QRegion Area = ClipOrWhole() & QRegion(Dest) & QRegion(FImage->rect());
  for (const QRect& Part : Area) {
    for (int Y = Part.top(); Y <= Part.bottom(); ++Y) {
      auto* Line = reinterpret_cast<QRgb*>(FImage->scanLine(Y));
      const auto* SrcLine = reinterpret_cast<const QRgb*>(Source.constScanLine(Y - Dest.top()));
      for (int X = Part.left(); X <= Part.right(); ++X) {
        const uint32_t Pat = Pattern.isNull()
                                 ? BrushColor
                                 : Pattern.pixel(X % Pattern.width(), Y % Pattern.height()) & 0xFFFFFF;
        Line[X] = 0xFF000000 | Rop3(Code, Pat, SrcLine[X - Dest.left()] & 0xFFFFFF, Line[X] & 0xFFFFFF);
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Clipping and origin

QRect TCanvas::DeviceRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) const {
  if (X2 <= X1 || Y2 <= Y1) return QRect();
  return QRect(X1 + FOrigin.X, Y1 + FOrigin.Y, X2 - X1, Y2 - Y1);
}

QRegion TCanvas::ClipOrWhole() const {
  if (FClip) return *FClip;
  return FImage ? QRegion(FImage->rect()) : QRegion();
}

void TCanvas::SetClip(std::unique_ptr<QRegion> DeviceRegion) {
  FClip = std::move(DeviceRegion);
  FPainterStateValid = false;
}

TRect TCanvas::ClipRect() const {
  const QRegion Clip = ClipOrWhole();
  if (Clip.isEmpty()) return TRect{};
  TRect R = FromQRect(Clip.boundingRect());
  OffsetRect(R, -FOrigin.X, -FOrigin.Y);
  return R;
}

void TCanvas::IntersectClipRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  SetClip(std::make_unique<QRegion>(ClipOrWhole() & QRegion(DeviceRect(X1, Y1, X2, Y2))));
}

void TCanvas::ExcludeClipRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  SetClip(std::make_unique<QRegion>(ClipOrWhole() - QRegion(DeviceRect(X1, Y1, X2, Y2))));
}

void TCanvas::SelectClipRgn(const TRegion* Region) {
  SetClip(Region ? std::make_unique<QRegion>(Region->QtRegion()) : nullptr);
}

bool TCanvas::GetClipRgn(TRegion& Region) const {
  if (!FClip) return false;
  Region = TRegion(*FClip);
  return true;
}

int32_t TCanvas::SaveDC() {
  TSavedState S;
  if (FClip) S.Clip = std::make_unique<QRegion>(*FClip);
  S.Origin = FOrigin;
  S.TextAlign = FTextAlign;
  FSaved.push_back(std::move(S));
  return static_cast<int32_t>(FSaved.size());
}

void TCanvas::RestoreDC(int32_t Index) {
  const int32_t Depth = Index < 0 ? static_cast<int32_t>(FSaved.size()) + Index + 1 : Index;
  if (Depth < 1 || Depth > static_cast<int32_t>(FSaved.size())) return;
  TSavedState& S = FSaved[static_cast<size_t>(Depth - 1)];
  SetClip(std::move(S.Clip));
  FOrigin = S.Origin;
  FTextAlign = S.TextAlign;
  FSaved.resize(static_cast<size_t>(Depth - 1));
}

void TCanvas::SetViewportOrg(int32_t X, int32_t Y) {
  FOrigin = {X, Y};
  FPainterStateValid = false;
}
