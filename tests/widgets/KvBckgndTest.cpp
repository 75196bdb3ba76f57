// The form background: which layers paint, the image styles, the frame and its offset,
// and a picture worked out once per size and settings.
#include "tests/widgets/WidgetTest.h"

#include <gtest/gtest.h>

#include "widgets/KvBckgnd.h"

using namespace widgettest;
using testsupport::CountColor;
using testsupport::PixelAt;
using testsupport::Render;

namespace {

constexpr TColor Paper = RGB(1, 2, 3);

// A W x H picture: the left half PicLeft, the right half PicRight.
constexpr TColor PicLeft = RGB(200, 0, 0), PicRight = RGB(0, 200, 0);
void SetPicture(TPicture* P, int32_t W, int32_t H) {
  TBitmap* B = P->Bitmap();
  B->SetSize(W, H);
  B->Canvas()->Brush()->SetColor(PicLeft);
  B->Canvas()->FillRect(Rect(0, 0, W / 2, H));
  B->Canvas()->Brush()->SetColor(PicRight);
  B->Canvas()->FillRect(Rect(W / 2, 0, W, H));
}

TComponentPtr<TKvBackground> MakeBackground(int32_t W, int32_t H) {
  TComponentPtr<TKvBackground> B(new TKvBackground(nullptr));
  B->SetBounds(0, 0, W, H);
  B->SetGradientColorStart(clYellow);
  B->SetGradientColorStop(clBlue);
  return B;
}

}  // namespace

TEST(KvBackground, GradientAndTextureExcludeEachOther) {
  auto B = MakeBackground(40, 30);
  EXPECT_TRUE(B->ShowGradient());
  EXPECT_FALSE(B->ShowTexture());
  B->SetShowTexture(true);
  EXPECT_FALSE(B->ShowGradient());
  B->SetShowGradient(true);
  EXPECT_FALSE(B->ShowTexture());
  B->SetShowGradient(false);
  EXPECT_TRUE(B->ShowTexture());
  B->SetShowGradient(true);
  B->SetShowImage(true);
  B->SetShowGradient(false);
  EXPECT_FALSE(B->ShowTexture());  // the image is shown instead
  // Never smaller than 5 x 5.
  B->SetBounds(0, 0, 2, 3);
  EXPECT_EQ(B->BoundsRect(), Rect(0, 0, 5, 5));
}

TEST(KvBackground, LayersAndImageStyles) {
  // The gradient runs from the start colour on the left to the stop colour on the right.
  auto B = MakeBackground(40, 30);
  QImage I = Render(B.get(), Paper);
  EXPECT_EQ(PixelAt(I, 0, 15), TColor(clYellow));
  EXPECT_EQ(PixelAt(I, 39, 15), TColor(clBlue));
  // Inactive: no gradient, but the texture still tiles.
  B->SetActive(false);
  EXPECT_EQ(CountColor(Render(B.get(), Paper), Paper), 40 * 30);
  SetPicture(B->Texture(), 6, 4);
  B->SetShowTexture(true);
  I = Render(B.get(), Paper);
  EXPECT_EQ(CountColor(I, PicLeft), 7 * 3 * 30);  // columns 0-2, 6-8, ... 36-38
  // A PNG picture tiles the same way.
  const std::string Png = testing::TempDir() + "texture.png";
  B->Texture()->Bitmap()->SaveToFile(Png);
  B->Texture()->LoadFromFile(Png);
  ASSERT_NE(dynamic_cast<const TPngImage*>(B->Texture()->Graphic()), nullptr);
  I = Render(B.get(), Paper);
  EXPECT_EQ(CountColor(I, PicLeft), 7 * 3 * 30);
  EXPECT_EQ(PixelAt(I, 1, 1), PicLeft);
  EXPECT_EQ(PixelAt(I, 6 * 6 + 1, 4 * 7 + 1), PicLeft);  // the last tile, cut short
  EXPECT_EQ(PixelAt(I, 6 * 5 + 4, 4 * 3 + 2), PicRight);
  B->SetShowTexture(false);
  B->SetActive(true);

  // A tiled image covers everything: no gradient under it.
  SetPicture(B->Image(), 10, 10);
  B->SetShowImage(true);
  B->SetImageStyle(isTiled);
  I = Render(B.get(), Paper);
  EXPECT_EQ(CountColor(I, PicLeft) + CountColor(I, PicRight), 40 * 30);
  EXPECT_EQ(PixelAt(I, 35, 25), PicRight);
  // Centred over the gradient.
  B->SetImageStyle(isCenter);
  I = Render(B.get(), Paper);
  EXPECT_EQ(testsupport::ColorBounds(I, PicLeft), Rect(15, 10, 20, 20));
  EXPECT_EQ(PixelAt(I, 0, 15), TColor(clYellow));
  // Fill keeps the aspect: a 2:1 picture on a square control takes the full width, half the height.
  B->SetBounds(0, 0, 40, 40);
  SetPicture(B->Image(), 20, 10);
  B->SetImageStyle(isFill);
  I = Render(B.get(), Paper);
  EXPECT_EQ(testsupport::ColorBounds(I, PicLeft), Rect(0, 0, 20, 20));
  EXPECT_EQ(testsupport::ColorBounds(I, PicRight), Rect(20, 0, 40, 20));
  EXPECT_EQ(PixelAt(I, 0, 30), TColor(clYellow));
}

TEST(KvBackground, FrameOverThePictureMovedInByItsWidth) {
  auto B = MakeBackground(40, 30);
  B->SetFrameStyle(fsFlat);
  B->SetFrameColor(clRed);
  B->SetGradientDirection(gdVerticalEnd);
  QImage I = Render(B.get(), Paper);
  EXPECT_EQ(testsupport::ColorBounds(I, clRed), Rect(0, 0, 40, 30));
  EXPECT_EQ(CountColor(I, clRed), 2 * 40 + 2 * 28);
  EXPECT_EQ(PixelAt(I, 20, 1), TColor(clYellow));  // the gradient's first row, one pixel down
  B->SetFrameStyle(fsLowered);
  I = Render(B.get(), Paper);
  EXPECT_EQ(PixelAt(I, 0, 0), RGBOf(clBtnShadow));
  EXPECT_EQ(PixelAt(I, 20, 2), TColor(clYellow));
}

TEST(KvBackground, ThePictureIsWorkedOutOncePerSizeAndSettings) {
  struct TCounted : TKvBackground {
    using TKvBackground::TKvBackground;
    int Gradients = 0;
    void PaintGradient(TCanvas* Canvas) override {
      ++Gradients;
      TKvBackground::PaintGradient(Canvas);
    }
  };
  TComponentPtr<TCounted> B(new TCounted(nullptr));
  B->SetBounds(0, 0, 60, 40);
  B->SetGradientColorStart(clYellow);
  B->SetGradientColorStop(clBlue);
  const QImage First = Render(B.get(), Paper);
  EXPECT_EQ(Render(B.get(), Paper), First);
  EXPECT_EQ(B->Gradients, 1);
  B->SetGradientColorStop(clRed);  // the new colours, not the kept picture
  EXPECT_EQ(PixelAt(Render(B.get(), Paper), 59, 20), ColorToRGB(clRed));
  B->SetGradientColorStop(clRed);
  B->SetBounds(0, 0, 80, 40);
  EXPECT_EQ(PixelAt(Render(B.get(), Paper), 79, 20), ColorToRGB(clRed));
  EXPECT_EQ(B->Gradients, 3);
}

TEST(KvBackground, AGradientAloneCoversTheFormSoTheFormIsNotPaintedUnderIt) {
  TInputForm F(240, 80);
  auto* Back = F.Add<TKvBackground>(Bounds(0, 0, 240, 80));
  Back->SetAlign(alClient);
  const auto FormPaints = [&] {
    testsupport::TPaintCounter Paints({F.Form, Back});
    F.Form->Invalidate();
    Back->Invalidate();
    Application->ProcessMessages();
    return std::pair(Paints.Of(F.Form), Paints.Of(Back));
  };
  F.Show();
  Application->ProcessMessages();
  EXPECT_EQ(FormPaints(), std::pair(0, 1));
  // A frame, a texture or an inactive gradient may leave pixels to the form.
  Back->SetFrameStyle(fsFlat);
  EXPECT_EQ(FormPaints(), std::pair(1, 1));
  Back->SetFrameStyle(fsNone);
  Back->SetActive(false);
  EXPECT_EQ(FormPaints(), std::pair(1, 1));
}
