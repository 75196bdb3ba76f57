#include "platform/gui/Graphics.h"

#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRegion>

#include "platform/gui/QtSupport.h"

// ---------------------------------------------------------------------------
// Colours

namespace {

// The classic desktop scheme, index by index.
constexpr TColor SysColors[] = {
    RGB(212, 208, 200) /* scroll bar */,     0xA56E3A /* desktop (58, 110, 165) */,
    0x6A240A /* active caption */,           0x808080 /* inactive caption */,
    RGB(212, 208, 200) /* menu */,           0xFFFFFF /* window */,
    0x000000 /* window frame */,             0x000000 /* menu text */,
    0x000000 /* window text */,              0xFFFFFF /* caption text */,
    RGB(212, 208, 200) /* active border */,  RGB(212, 208, 200) /* inactive border */,
    0x808080 /* application workspace */,    0x6A240A /* highlight (10, 36, 106) */,
    0xFFFFFF /* highlight text */,           RGB(212, 208, 200) /* button face */,
    0x808080 /* button shadow */,            0x808080 /* grey text */,
    0x000000 /* button text */,              RGB(212, 208, 200) /* inactive caption text */,
    0xFFFFFF /* button highlight */,         0x404040 /* 3D dark shadow */,
    RGB(212, 208, 200) /* 3D light */,       0x000000 /* info text */,
    RGB(255, 255, 225) /* info background */, 0x000000 /* (no colour) */,
    0x800000 /* hot light (0, 0, 128) */,    RGB(166, 202, 240) /* gradient active caption */,
    RGB(192, 192, 192) /* gradient inactive caption */, 0x6A240A /* menu highlight */,
    RGB(212, 208, 200) /* menu bar */,
};

}  // namespace

TColor GetSysColor(int Index) {
  if (Index < 0 || Index >= static_cast<int>(std::size(SysColors))) return clBlack;
  return SysColors[Index];
}

TColor ColorToRGB(TColor Color) {
  return IsSystemColor(Color) ? GetSysColor(static_cast<int>(Color & 0xFF)) : Color;
}

void TGraphicsObject::Changed() {
  if (OnChange) OnChange(nullptr);
}

// ---------------------------------------------------------------------------
// TFont

namespace {

constexpr int32_t DefaultFontHeight = -11;

// The windows are laid out for Tahoma at 11 pixels. DejaVu Sans Condensed has its cell
// height (13) and nearly its widths; DejaVu Sans is as tall but a tenth wider, so long
// captions and items no longer fit their controls. The first face installed is taken.
constexpr const char* DefaultFontFaces[] = {"DejaVu Sans Condensed", "DejaVu Sans"};

}  // namespace

const std::string& DefaultFontName() {
  static const std::string Fallback = DefaultFontFaces[std::size(DefaultFontFaces) - 1];
  static std::string Found;
  // The font database needs the application.
  if (Found.empty() && qGuiApp) {
    const QStringList Installed = QFontDatabase::families();
    for (const char* Face : DefaultFontFaces) {
      if (!Installed.contains(QString::fromLatin1(Face), Qt::CaseInsensitive)) continue;
      Found = Face;
      break;
    }
    if (Found.empty()) Found = Fallback;
  }
  return Found.empty() ? Fallback : Found;
}

TFont::TFont() : FName(DefaultFontName()), FHeight(DefaultFontHeight) {}
TFont::~TFont() = default;

void TFont::Assign(const TPersistent& Source) {
  const auto* F = dynamic_cast<const TFont*>(&Source);
  if (!F) return TPersistent::Assign(Source);
  if (F == this) return;
  FName = F->FName;
  FHeight = F->FHeight;
  FStyle = F->FStyle;
  FColor = F->FColor;
  FPitch = F->FPitch;
  FCharset = F->FCharset;
  FOrientation = F->FOrientation;
  Change();
}

void TFont::Change() {
  FQtFont.reset();
  Changed();
}

void TFont::SetName(const std::string& Value) {
  if (Value.empty() || Value == FName) return;
  FName = Value;
  Change();
}

void TFont::SetHeight(int32_t Value) {
  if (Value == FHeight) return;
  FHeight = Value;
  Change();
}

int32_t TFont::Size() const {
  return static_cast<int32_t>(Round(-static_cast<double>(FHeight) * 72 / PixelsPerInch));
}

void TFont::SetSize(int32_t Value) {
  SetHeight(-static_cast<int32_t>(Round(static_cast<double>(Value) * PixelsPerInch / 72)));
}

void TFont::SetStyle(TFontStyles Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  Change();
}

void TFont::SetColor(TColor Value) {
  if (Value == FColor) return;
  FColor = Value;
  Changed();  // the Qt font does not carry the colour
}

void TFont::SetPitch(TFontPitch Value) {
  if (Value == FPitch) return;
  FPitch = Value;
  Change();
}

void TFont::SetCharset(uint8_t Value) {
  if (Value == FCharset) return;
  FCharset = Value;
  Changed();
}

void TFont::SetOrientation(int32_t Value) {
  if (Value == FOrientation) return;
  FOrientation = Value;
  Changed();
}

const QFont& TFont::QtFont() const {
  if (FQtFont) return *FQtFont;
  auto F = std::make_unique<QFont>(ToQString(FName));
  F->setStyleStrategy(QFont::NoAntialias);
  F->setHintingPreference(QFont::PreferFullHinting);
  F->setBold(FStyle & fsBold);
  F->setItalic(FStyle & fsItalic);
  F->setUnderline(FStyle & fsUnderline);
  F->setStrikeOut(FStyle & fsStrikeOut);
  if (FPitch == fpFixed) F->setFixedPitch(true);
  if (FHeight <= 0) {
    F->setPixelSize(std::max(1, -FHeight));
  } else {
    // A cell height: the largest pixel size whose ascent plus descent fits in it.
    int Pixels = FHeight;
    for (; Pixels > 1; --Pixels) {
      F->setPixelSize(Pixels);
      if (QFontMetrics(*F).height() <= FHeight) break;
    }
    F->setPixelSize(Pixels);
  }
  FQtFont = std::move(F);
  return *FQtFont;
}

// ---------------------------------------------------------------------------
// TPen and TBrush

void TPen::Assign(const TPersistent& Source) {
  const auto* P = dynamic_cast<const TPen*>(&Source);
  if (!P) return TPersistent::Assign(Source);
  FColor = P->FColor;
  FWidth = P->FWidth;
  FStyle = P->FStyle;
  FMode = P->FMode;
  Changed();
}

void TPen::SetColor(TColor Value) {
  if (Value == FColor) return;
  FColor = Value;
  Changed();
}

void TPen::SetWidth(int32_t Value) {
  if (Value < 0 || Value == FWidth) return;
  FWidth = Value;
  Changed();
}

void TPen::SetStyle(TPenStyle Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  Changed();
}

void TPen::SetMode(TPenMode Value) {
  if (Value == FMode) return;
  FMode = Value;
  Changed();
}

TBrush::TBrush() : FPattern(std::make_unique<QImage>()) {}
TBrush::~TBrush() = default;

void TBrush::Assign(const TPersistent& Source) {
  const auto* B = dynamic_cast<const TBrush*>(&Source);
  if (!B) return TPersistent::Assign(Source);
  if (B == this) return;
  FColor = B->FColor;
  FStyle = B->FStyle;
  FBitmap = B->FBitmap;
  *FPattern = *B->FPattern;
  Changed();
}

void TBrush::SetColor(TColor Value) {
  // Giving a clear brush a colour makes it solid.
  if (Value == FColor && FStyle == bsSolid) return;
  FColor = Value;
  FStyle = bsSolid;
  Changed();
}

void TBrush::SetStyle(TBrushStyle Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  Changed();
}

void TBrush::SetBitmap(TBitmap* Value) {
  FBitmap = Value;
  *FPattern = Value && !Value->Empty()
                  ? Value->Image().convertToFormat(QImage::Format_ARGB32_Premultiplied)
                  : QImage();
  Changed();
}

const QImage& TBrush::Pattern() const { return *FPattern; }

// ---------------------------------------------------------------------------
// TRegion

TRegion::TRegion() : FRegion(std::make_unique<QRegion>()) {}
TRegion::TRegion(const TRect& R) : FRegion(std::make_unique<QRegion>()) {
  if (!IsRectEmpty(R)) *FRegion = QRegion(ToQRect(R));
}
TRegion::TRegion(std::span<const TPoint> Points, TPolyFillMode Mode)
    : FRegion(std::make_unique<QRegion>()) {
  QPolygon Poly;
  for (const TPoint& P : Points) Poly << ToQPoint(P);
  *FRegion = QRegion(Poly, Mode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
}
TRegion::TRegion(const QRegion& Region) : FRegion(std::make_unique<QRegion>(Region)) {}
TRegion::TRegion(const TRegion& Other) : FRegion(std::make_unique<QRegion>(*Other.FRegion)) {}
TRegion& TRegion::operator=(const TRegion& Other) {
  *FRegion = *Other.FRegion;
  return *this;
}
TRegion::~TRegion() = default;

TRegion TRegion::Combine(const TRegion& A, const TRegion& B, TCombineMode Mode) {
  TRegion R;
  switch (Mode) {
    case RGN_AND: *R.FRegion = *A.FRegion & *B.FRegion; break;
    case RGN_OR: *R.FRegion = *A.FRegion | *B.FRegion; break;
    case RGN_XOR: *R.FRegion = *A.FRegion ^ *B.FRegion; break;
    case RGN_DIFF: *R.FRegion = *A.FRegion - *B.FRegion; break;
    case RGN_COPY: *R.FRegion = *A.FRegion; break;
  }
  return R;
}

bool TRegion::Empty() const { return FRegion->isEmpty(); }
bool TRegion::Contains(int32_t X, int32_t Y) const { return FRegion->contains(QPoint(X, Y)); }
TRect TRegion::BoundsRect() const {
  return FRegion->isEmpty() ? TRect{} : FromQRect(FRegion->boundingRect());
}
void TRegion::Offset(int32_t DX, int32_t DY) { FRegion->translate(DX, DY); }
std::vector<TRect> TRegion::Rects() const {
  std::vector<TRect> Result;
  for (const QRect& R : *FRegion) Result.push_back(FromQRect(R));
  return Result;
}
bool TRegion::operator==(const TRegion& Other) const { return *FRegion == *Other.FRegion; }

// ---------------------------------------------------------------------------
// TGraphic, TBitmap, TPicture

void TGraphic::SetTransparent(bool Value) {
  if (Value == FTransparent) return;
  FTransparent = Value;
  Changed();
}

void TGraphic::Changed() {
  if (OnChange) OnChange(nullptr);
}

namespace {

bool HasAlpha(TPixelFormat F) { return F == pf32bit; }

QImage NewImage(int32_t W, int32_t H, TPixelFormat F) {
  QImage Image(std::max(0, W), std::max(0, H),
               HasAlpha(F) ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
  Image.fill(HasAlpha(F) ? Qt::transparent : Qt::white);
  return Image;
}

}  // namespace

TBitmap::TBitmap() : FImage(std::make_unique<QImage>()) {}
TBitmap::TBitmap(int32_t AWidth, int32_t AHeight) : TBitmap() { SetSize(AWidth, AHeight); }
TBitmap::~TBitmap() {
  if (FCanvas) FCanvas->SetImage(nullptr);
}

int32_t TBitmap::Width() const { return FImage->width(); }
int32_t TBitmap::Height() const { return FImage->height(); }
bool TBitmap::Empty() const { return FImage->isNull() || FImage->width() == 0 || FImage->height() == 0; }

void TBitmap::ReplaceImage(const QImage& Image) {
  // The canvas must let go of the old pixels before they change under it.
  if (FCanvas) FCanvas->SetImage(nullptr);
  *FImage = Image;
  if (FCanvas && !Empty()) FCanvas->SetImage(FImage.get());
  Changed();
}

void TBitmap::SetSize(int32_t AWidth, int32_t AHeight) {
  AWidth = std::max(0, AWidth);
  AHeight = std::max(0, AHeight);
  if (AWidth == Width() && AHeight == Height()) return;
  QImage Image = NewImage(AWidth, AHeight, FPixelFormat);
  if (!Empty() && AWidth > 0 && AHeight > 0) {
    QPainter P(&Image);
    P.setCompositionMode(QPainter::CompositionMode_Source);
    P.drawImage(0, 0, *FImage);
  }
  ReplaceImage(Image);
}

void TBitmap::SetPixelFormat(TPixelFormat Value) {
  if (Value == FPixelFormat) return;
  FPixelFormat = Value;
  if (!Empty())
    ReplaceImage(FImage->convertToFormat(HasAlpha(Value) ? QImage::Format_ARGB32_Premultiplied
                                                         : QImage::Format_RGB32));
}

TCanvas* TBitmap::Canvas() {
  if (!FCanvas) {
    FCanvas = std::make_unique<TCanvas>();
    FCanvas->OnChange = [this](TComponent*) { Changed(); };
  }
  if (!FCanvas->HandleAllocated() && !Empty()) FCanvas->SetImage(FImage.get());
  return FCanvas.get();
}

QImage& TBitmap::Image() {
  // Direct access to the pixels: the canvas must not keep drawing into a stale buffer.
  if (FCanvas) FCanvas->ReleasePainter();
  return *FImage;
}
const QImage& TBitmap::Image() const { return *FImage; }

TColor TBitmap::TransparentColor() const {
  if (FTransparentMode == tmFixed && FTransparentColor != clDefault) return FTransparentColor;
  if (Empty()) return clDefault;
  return FromQRgb(FImage->pixel(0, FImage->height() - 1));
}

void TBitmap::SetTransparentColor(TColor Value) {
  if (Value == FTransparentColor) return;
  FTransparentColor = Value;
  FTransparentMode = Value == clDefault ? tmAuto : tmFixed;
  Changed();
}

void TBitmap::SetTransparentMode(TTransparentMode Value) {
  if (Value == FTransparentMode) return;
  FTransparentMode = Value;
  if (Value == tmAuto) FTransparentColor = clDefault;
  Changed();
}

namespace {

// A picture read from a file, in the format it is kept in: with its alpha or opaque.
QImage KeptImage(const QImage& Image) {
  return Image.convertToFormat(Image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
}

}  // namespace

void TBitmap::TakeImage(const QImage& Image) {
  FPixelFormat = Image.hasAlphaChannel() ? pf32bit : pf24bit;
  ReplaceImage(KeptImage(Image));
}

void TBitmap::Assign(const TPersistent& Source) {
  if (const auto* Png = dynamic_cast<const TPngImage*>(&Source)) {
    FTransparent = false;
    return TakeImage(Png->Image());
  }
  const auto* B = dynamic_cast<const TBitmap*>(&Source);
  if (!B) return TGraphic::Assign(Source);
  if (B == this) return;
  FPixelFormat = B->FPixelFormat;
  FTransparent = B->FTransparent;
  FTransparentMode = B->FTransparentMode;
  FTransparentColor = B->FTransparentColor;
  ReplaceImage(B->FImage->copy());
}

void TBitmap::LoadFromFile(const std::string& FileName) {
  QImage Loaded(ToQString(FileName));
  if (Loaded.isNull()) throw EFOpenError("Cannot open file \"" + FileName + "\".");
  TakeImage(Loaded);
}

void TBitmap::SaveToFile(const std::string& FileName) const {
  if (!FImage->save(ToQString(FileName)))
    throw EFCreateError("Cannot create file \"" + FileName + "\".");
}

void TBitmap::LoadFromResourceName(const std::string& Name) {
  QString Path = ":/" + ToQString(Name);
  if (!QFileInfo::exists(Path)) {
    QFileInfo Info(Path);
    const QStringList Matches = Info.dir().entryList({Info.fileName() + ".*"}, QDir::Files);
    if (Matches.isEmpty()) throw EResNotFound("Resource " + Name + " not found");
    Path = Info.dir().filePath(Matches.first());
  }
  QImage Loaded(Path);
  if (Loaded.isNull()) throw EResNotFound("Resource " + Name + " not found");
  TakeImage(Loaded);
}

QImage TBitmap::MaskedImage() const {
  if (!FTransparent || Empty()) return *FImage;
  QImage Result = FImage->convertToFormat(QImage::Format_ARGB32_Premultiplied);
  const QRgb Key = ToQRgb(TransparentColor()) & 0xFFFFFF;
  for (int Y = 0; Y < Result.height(); ++Y) {
    auto* Line = reinterpret_cast<QRgb*>(Result.scanLine(Y));
    for (int X = 0; X < Result.width(); ++X)
      if ((Line[X] & 0xFFFFFF) == Key && qAlpha(Line[X]) == 255) Line[X] = 0;
  }
  return Result;
}

void TBitmap::Draw(TCanvas* Canvas, const TRect& R) const {
  if (Empty()) return;
  const TRect Src = Rect(0, 0, Width(), Height());
  if (!FTransparent) {
    Canvas->CopyImage(R, *FImage, Src);
    return;
  }
  // Transparent pixels are left out: the rest is laid over what is there.
  Canvas->DrawImage(R, MaskedImage(), Src);
}

// ---------------------------------------------------------------------------
// TPngImage

TPngImage::TPngImage() : FImage(std::make_unique<QImage>()) {}
TPngImage::~TPngImage() = default;

int32_t TPngImage::Width() const { return FImage->width(); }
int32_t TPngImage::Height() const { return FImage->height(); }
bool TPngImage::Empty() const { return FImage->isNull() || FImage->width() == 0 || FImage->height() == 0; }

void TPngImage::Assign(const TPersistent& Source) {
  const auto* P = dynamic_cast<const TPngImage*>(&Source);
  if (!P) return TGraphic::Assign(Source);
  if (P == this) return;
  *FImage = P->FImage->copy();
  Changed();
}

void TPngImage::LoadFromFile(const std::string& FileName) {
  QImage Loaded(ToQString(FileName), "PNG");
  if (Loaded.isNull()) throw EFOpenError("Cannot open file \"" + FileName + "\".");
  *FImage = KeptImage(Loaded);
  Changed();
}

void TPngImage::Draw(TCanvas* Canvas, const TRect& R) const {
  if (!Empty()) Canvas->DrawImage(R, *FImage, Rect(0, 0, Width(), Height()));
}

// ---------------------------------------------------------------------------
// TPicture

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::Changed() {
  if (OnChange) OnChange(nullptr);
}

void TPicture::Adopt(std::unique_ptr<TGraphic> Graphic) {
  FGraphic = std::move(Graphic);
  if (FGraphic) FGraphic->OnChange = [this](TComponent*) { Changed(); };
  Changed();
}

void TPicture::SetGraphic(const TGraphic* Value) {
  if (!Value) return Adopt(nullptr);
  std::unique_ptr<TGraphic> Copy;
  if (dynamic_cast<const TPngImage*>(Value))
    Copy = std::make_unique<TPngImage>();
  else
    Copy = std::make_unique<TBitmap>();
  Copy->Assign(*Value);
  Adopt(std::move(Copy));
}

TBitmap* TPicture::Bitmap() {
  if (auto* B = dynamic_cast<TBitmap*>(FGraphic.get())) return B;
  auto B = std::make_unique<TBitmap>();
  if (FGraphic) B->Assign(*FGraphic);
  TBitmap* Result = B.get();
  Adopt(std::move(B));
  return Result;
}

void TPicture::Assign(const TPersistent& Source) {
  if (const auto* P = dynamic_cast<const TPicture*>(&Source)) return SetGraphic(P->Graphic());
  if (const auto* G = dynamic_cast<const TGraphic*>(&Source)) return SetGraphic(G);
  TPersistent::Assign(Source);
}

void TPicture::LoadFromFile(const std::string& FileName) {
  if (QFileInfo(ToQString(FileName)).suffix().compare("png", Qt::CaseInsensitive) == 0) {
    auto Loaded = std::make_unique<TPngImage>();
    Loaded->LoadFromFile(FileName);
    return Adopt(std::move(Loaded));
  }
  auto Loaded = std::make_unique<TBitmap>();
  Loaded->LoadFromFile(FileName);
  Adopt(std::move(Loaded));
}
