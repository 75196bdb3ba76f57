#include "widgets/KvPlayerImages.h"

#include <initializer_list>

namespace {

constexpr int32_t Size = 24;
// A dark blue body with a lighter edge on its upper left, readable on the light
// gradients of the toolbars.
constexpr TColor Body = RGB(30, 60, 120);
constexpr TColor Edge = RGB(110, 150, 210);

void Shape(TCanvas* C, std::initializer_list<TPoint> Points) {
  C->Pen()->SetColor(Edge);
  C->Brush()->SetColor(Body);
  C->Brush()->SetStyle(bsSolid);
  C->Polygon(Points);
}

void Box(TCanvas* C, int32_t L, int32_t T, int32_t R, int32_t B) {
  Shape(C, {{L, T}, {R - 1, T}, {R - 1, B - 1}, {L, B - 1}});
}

// A triangle pointing right (Toward 1) or left (-1) with its flat side at X.
void Arrow(TCanvas* C, int32_t X, int32_t Toward, int32_t Length) {
  Shape(C, {{X, 5}, {X + Toward * Length, 12}, {X, 19}});
}

void DrawImage(TCanvas* C, TPlayerImage Image) {
  switch (Image) {
    case piPlay: Arrow(C, 7, 1, 11); break;
    case piPause:
      Box(C, 6, 5, 11, 20);
      Box(C, 14, 5, 19, 20);
      break;
    case piStop: Box(C, 6, 6, 19, 19); break;
    case piPrevious:
      Box(C, 4, 5, 7, 20);
      Arrow(C, 14, -1, 7);
      Arrow(C, 21, -1, 7);
      break;
    case piNext:
      Arrow(C, 3, 1, 7);
      Arrow(C, 10, 1, 7);
      Box(C, 18, 5, 21, 20);
      break;
  }
}

}  // namespace

void AddPlayerImages(TCustomImageList* List) {
  List->SetSize(Size, Size);
  for (TPlayerImage Image : {piPlay, piPause, piStop, piPrevious, piNext}) {
    TBitmap B;
    B.SetPixelFormat(pf32bit);
    B.SetSize(Size, Size);
    DrawImage(B.Canvas(), Image);
    List->Add(&B, nullptr);
  }
}
