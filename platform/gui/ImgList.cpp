#include "platform/gui/ImgList.h"

#include <QImage>
#include <QPainter>
#include <algorithm>

#include "platform/gui/QtSupport.h"

struct TCustomImageList::TImages {
  std::vector<QImage> Normal;
  std::vector<QImage> Disabled;
};

namespace {

QImage DisabledLook(const QImage& Image) {
  QImage Result = Image.convertToFormat(QImage::Format_ARGB32);
  for (int Y = 0; Y < Result.height(); ++Y) {
    auto* Line = reinterpret_cast<QRgb*>(Result.scanLine(Y));
    for (int X = 0; X < Result.width(); ++X) {
      const QRgb P = Line[X];
      const int L = (77 * qRed(P) + 151 * qGreen(P) + 28 * qBlue(P)) / 256;
      const int G = 128 + L / 2;
      Line[X] = qRgba(G, G, G, qAlpha(P));
    }
  }
  return Result.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

}  // namespace

TChangeLink::~TChangeLink() {
  if (FSender) FSender->UnRegisterChanges(this);
}

TCustomImageList::TCustomImageList(TComponent* AOwner) : TComponent(AOwner), FImages(std::make_unique<TImages>()) {}

TCustomImageList::~TCustomImageList() {
  for (TChangeLink* L : FLinks) L->FSender = nullptr;
}

void TCustomImageList::BeforeDestruction() {
  for (TChangeLink* L : FLinks) L->FSender = nullptr;
  FLinks.clear();
  TComponent::BeforeDestruction();
}

int32_t TCustomImageList::Count() const { return static_cast<int32_t>(FImages->Normal.size()); }

void TCustomImageList::SetSize(int32_t AWidth, int32_t AHeight) {
  if (AWidth < 1 || AHeight < 1 || (AWidth == FWidth && AHeight == FHeight)) return;
  FWidth = AWidth;
  FHeight = AHeight;
  FImages->Normal.clear();
  FImages->Disabled.clear();
  Change();
}

int32_t TCustomImageList::AddCells(const QImage& Source) {
  const int32_t First = Count();
  const int32_t Cells = std::max(1, Source.width() / FWidth);
  for (int32_t I = 0; I < Cells; ++I) {
    QImage Cell(FWidth, FHeight, QImage::Format_ARGB32_Premultiplied);
    Cell.fill(Qt::transparent);
    QPainter P(&Cell);
    P.setCompositionMode(QPainter::CompositionMode_Source);
    P.drawImage(0, 0, Source, I * FWidth, 0, FWidth, FHeight);
    P.end();
    FImages->Disabled.push_back(DisabledLook(Cell));
    FImages->Normal.push_back(std::move(Cell));
  }
  Change();
  return First;
}

int32_t TCustomImageList::Add(const TBitmap* Image, const TBitmap* Mask) {
  if (!Image || Image->Empty()) return -1;
  QImage Source = Image->Image().convertToFormat(QImage::Format_ARGB32);
  if (Mask && !Mask->Empty()) {
    const QImage& M = Mask->Image();
    for (int Y = 0; Y < Source.height(); ++Y)
      for (int X = 0; X < Source.width(); ++X)
        if (X < M.width() && Y < M.height() && (M.pixel(X, Y) & 0xFFFFFF) != 0) Source.setPixel(X, Y, 0);
  }
  return AddCells(Source.convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

int32_t TCustomImageList::AddMasked(const TBitmap* Image, TColor MaskColor) {
  if (!Image || Image->Empty()) return -1;
  QImage Source = Image->Image().convertToFormat(QImage::Format_ARGB32);
  const QRgb Key = (MaskColor == clDefault ? Source.pixel(0, Source.height() - 1) : ToQRgb(MaskColor)) & 0xFFFFFF;
  for (int Y = 0; Y < Source.height(); ++Y) {
    auto* Line = reinterpret_cast<QRgb*>(Source.scanLine(Y));
    for (int X = 0; X < Source.width(); ++X)
      if ((Line[X] & 0xFFFFFF) == Key) Line[X] = 0;
  }
  return AddCells(Source.convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

void TCustomImageList::Delete(int32_t Index) {
  if (Index < 0 || Index >= Count()) return;
  FImages->Normal.erase(FImages->Normal.begin() + Index);
  FImages->Disabled.erase(FImages->Disabled.begin() + Index);
  Change();
}

void TCustomImageList::Clear() {
  if (Count() == 0) return;
  FImages->Normal.clear();
  FImages->Disabled.clear();
  Change();
}

void TCustomImageList::Draw(TCanvas* Canvas, int32_t X, int32_t Y, int32_t Index, bool Enabled) const {
  if (!Canvas || Index < 0 || Index >= Count()) return;
  const QImage& Image = (Enabled ? FImages->Normal : FImages->Disabled)[static_cast<size_t>(Index)];
  Canvas->DrawImage(Bounds(X, Y, FWidth, FHeight), Image, Rect(0, 0, FWidth, FHeight));
}

void TCustomImageList::GetBitmap(int32_t Index, TBitmap* Image) const {
  if (!Image || Index < 0 || Index >= Count()) return;
  Image->SetPixelFormat(pf32bit);
  Image->SetSize(FWidth, FHeight);
  Image->Image() = FImages->Normal[static_cast<size_t>(Index)];
  Image->Modified();
}

void TCustomImageList::RegisterChanges(TChangeLink* Link) {
  if (!Link || std::find(FLinks.begin(), FLinks.end(), Link) != FLinks.end()) return;
  if (Link->FSender) Link->FSender->UnRegisterChanges(Link);
  Link->FSender = this;
  FLinks.push_back(Link);
}

void TCustomImageList::UnRegisterChanges(TChangeLink* Link) {
  if (!Link) return;
  std::erase(FLinks, Link);
  if (Link->FSender == this) Link->FSender = nullptr;
}

void TCustomImageList::Change() {
  std::vector<TChangeLink*> Links = FLinks;
  for (TChangeLink* L : Links)
    if (L->OnChange) L->OnChange(this);
  if (OnChange) OnChange(this);
}
