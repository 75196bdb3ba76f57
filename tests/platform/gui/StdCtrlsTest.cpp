// Labels, panels, images and image lists.
#include "tests/support/Gui.h"

#include <gtest/gtest.h>

#include "platform/gui/ExtCtrls.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/StdCtrls.h"

using namespace testsupport;

namespace {

TLabel* MakeLabel(TForm& Form, const std::string& Caption) {
  auto* L = new TLabel(&Form);
  L->SetParent(&Form);
  L->SetBounds(100, 10, 10, 10);
  L->SetCaption(Caption);
  return L;
}

}  // namespace

TEST(Label, SizesItselfToItsText) {
  TForm Form(nullptr);
  TCanvas Measure;
  const int32_t H = Measure.TextHeight("X");
  TLabel* L = MakeLabel(Form, "Hello");
  EXPECT_EQ(L->BoundsRect(), Bounds(100, 10, Measure.TextWidth("Hello"), H));
  L->SetCaption("Tom &&& Jerry");
  EXPECT_EQ(L->Width(), Measure.TextWidth("Tom & Jerry"));
  L->SetCaption("");
  EXPECT_EQ(L->Height(), H);  // an empty caption still has a line
  // A right-aligned label keeps its right edge.
  L->SetAlignment(taRightJustify);
  L->SetCaption("Wider text");
  EXPECT_EQ(L->Left() + L->Width(), 100 + Measure.TextWidth(" "));
  // Word wrap breaks at the width and takes the height of the lines.
  L->SetAlignment(taLeftJustify);
  L->SetWordWrap(true);
  L->SetWidth(Measure.TextWidth("aaa bb"));
  L->SetCaption("aaa bb aaa bb aaa");
  EXPECT_EQ(L->Width(), Measure.TextWidth("aaa bb"));
  EXPECT_EQ(L->Height(), 3 * H);
  // While loading, the size waits for Loaded.
  BeginLoading(&Form);
  TLabel* Later = MakeLabel(Form, "Later");
  EXPECT_EQ(Later->Width(), 10);
  EndLoading(&Form);
  EXPECT_EQ(Later->Width(), Measure.TextWidth("Later"));
}

TEST(Label, PaintsTextLayoutDisabledAndTransparent) {
  TForm Form(nullptr);
  Form.SetColor(clYellow);
  TLabel* L = MakeLabel(Form, "Text");
  L->SetAutoSize(false);
  L->SetBounds(0, 0, 80, 40);
  L->Font()->SetColor(clNavy);
  QImage Image = Render(L);
  EXPECT_EQ(PixelAt(Image, 79, 39), clYellow);  // opaque in its parent's colour
  const TRect Top = ColorBounds(Image, clNavy);
  EXPECT_LT(Top.Top, 5);
  L->SetLayout(tlCenter);
  const TRect Centre = ColorBounds(Render(L), clNavy);
  EXPECT_NEAR((Centre.Top + Centre.Bottom) / 2.0, 20, 3);
  L->SetLayout(tlBottom);
  EXPECT_GT(ColorBounds(Render(L), clNavy).Bottom, 40 - 5);
  // Disabled: the text in the shadow colour over a highlight copy one pixel down-right.
  L->SetLayout(tlTop);
  L->SetEnabled(false);
  Image = Render(L);
  const TRect Shadow = ColorBounds(Image, clBtnShadow), Light = ColorBounds(Image, clBtnHighlight);
  EXPECT_EQ(CountColor(Image, clNavy), 0);
  EXPECT_EQ(Light.Right, Shadow.Right + 1);
  EXPECT_EQ(Light.Bottom, Shadow.Bottom + 1);
  // Transparent: what lies under it shows.
  L->SetTransparent(true);
  EXPECT_EQ(PixelAt(Render(L, clRed), 79, 39), clRed);
  // Right-to-left: a left-aligned caption goes to the right.
  L->SetEnabled(true);
  L->SetBiDiMode(bdRightToLeft);
  EXPECT_GE(ColorBounds(Render(L), clNavy).Right, 78);
}

TEST(Panel, BevelsBorderCaptionAndClientArea) {
  TForm Form(nullptr);
  auto* P = new TPanel(&Form);
  P->SetParent(&Form);
  P->SetBounds(0, 0, 60, 40);
  P->SetCaption("P");
  QImage Image = Render(P);
  EXPECT_EQ(PixelAt(Image, 0, 0), ColorToRGB(clBtnHighlight));  // raised
  EXPECT_EQ(PixelAt(Image, 59, 39), ColorToRGB(clBtnShadow));
  // The shadow's path starts at the top-right corner and ends at the bottom-left one.
  EXPECT_EQ(PixelAt(Image, 59, 0), ColorToRGB(clBtnShadow));
  EXPECT_EQ(PixelAt(Image, 0, 39), ColorToRGB(clBtnShadow));
  EXPECT_EQ(PixelAt(Image, 58, 0), ColorToRGB(clBtnHighlight));
  const TRect Ink = ColorBounds(Image, clBlack);
  EXPECT_NEAR((Ink.Left + Ink.Right) / 2.0, 30, 2);
  EXPECT_NEAR((Ink.Top + Ink.Bottom) / 2.0, 20, 3);
  // Outer raised (1) + border (3) + inner lowered (1): children align 5 pixels in.
  P->SetBorderWidth(3);
  P->SetBevelInner(bvLowered);
  auto* Child = new TPanel(&Form);
  Child->SetParent(P);
  Child->SetAlign(alClient);
  EXPECT_EQ(Child->BoundsRect(), Rect(5, 5, 55, 35));
  Image = Render(P);
  EXPECT_EQ(PixelAt(Image, 4, 4), ColorToRGB(clBtnShadow));  // the inner bevel, lowered
  EXPECT_EQ(PixelAt(Image, 2, 2), ColorToRGB(clBtnFace));    // the border in the panel's colour
  P->SetBevelOuter(bvNone);
  EXPECT_EQ(Child->BoundsRect(), Rect(4, 4, 56, 36));
}

TEST(ImageList, CutsMasksDrawsAndGreys) {
  TImageList List(nullptr);
  List.SetSize(4, 4);
  int Changes = 0;
  TChangeLink Link;
  Link.OnChange = [&](TComponent* Sender) {
    EXPECT_EQ(Sender, &List);
    ++Changes;
  };
  List.RegisterChanges(&Link);
  TBitmap Strip(8, 4);
  Strip.Canvas()->Brush()->SetColor(clFuchsia);
  Strip.Canvas()->FillRect(Rect(0, 0, 8, 4));
  Strip.Canvas()->Brush()->SetColor(clRed);
  Strip.Canvas()->FillRect(Rect(1, 1, 3, 3));
  Strip.Canvas()->Brush()->SetColor(clBlue);
  Strip.Canvas()->FillRect(Rect(5, 0, 8, 4));
  EXPECT_EQ(List.AddMasked(&Strip, clDefault), 0);  // the bottom-left pixel is the mask colour
  EXPECT_EQ(List.Count(), 2);
  QImage Image = MakeImage(10, 5, clWhite);
  TCanvas C;
  C.SetImage(&Image);
  List.Draw(&C, 0, 0, 0);
  List.Draw(&C, 5, 0, 1, false);
  List.Draw(&C, 5, 0, 7);  // out of range: nothing
  C.SetImage(nullptr);
  EXPECT_EQ(ColorBounds(Image, clRed), Rect(1, 1, 3, 3));
  EXPECT_EQ(PixelAt(Image, 0, 0), clWhite);  // masked out
  // Disabled: grey 128 + L/2 with L the luminance (77 R + 151 G + 28 B) / 256.
  const uint8_t G = 128 + (28 * 255 / 256) / 2;
  EXPECT_EQ(ColorBounds(Image, RGB(G, G, G)), Rect(6, 0, 9, 4));
  EXPECT_EQ(PixelAt(Image, 5, 0), clWhite);
  List.Delete(0);
  EXPECT_EQ(List.Count(), 1);
  List.SetWidth(8);  // a new size empties the list
  EXPECT_EQ(List.Count(), 0);
  EXPECT_EQ(Changes, 3);
}

TEST(Image, DrawsItsPictureAtTheCornerCentredOrStretchedOverWhatLiesUnder) {
  TForm Form(nullptr);
  auto* I = new TImage(&Form);
  I->SetParent(&Form);
  I->SetBounds(0, 0, 20, 10);
  TBitmap Picture(4, 2);
  Picture.Canvas()->Brush()->SetColor(clRed);
  Picture.Canvas()->FillRect(Rect(0, 0, 4, 2));
  Picture.Canvas()->SetPixel(0, 1, clBlue);  // the transparent colour (bottom left)
  I->Picture()->SetGraphic(&Picture);
  const struct {
    bool Center, Stretch, Transparent;
    TRect Red;
    int32_t RedPixels;
  } Cases[] = {{false, false, false, Rect(0, 0, 4, 2), 7},
               {true, false, false, Rect(8, 4, 12, 6), 7},
               {false, true, false, Rect(0, 0, 20, 10), 175},
               {false, false, true, Rect(0, 0, 4, 2), 7}};
  for (const auto& C : Cases) {
    I->SetCenter(C.Center);
    I->SetStretch(C.Stretch);
    I->Picture()->Bitmap()->SetTransparent(C.Transparent);
    const QImage Image = Render(I, clYellow);
    EXPECT_EQ(ColorBounds(Image, clRed), C.Red) << C.Center << C.Stretch;
    EXPECT_EQ(CountColor(Image, clRed), C.RedPixels) << C.Center << C.Stretch;
    EXPECT_TRUE(OnlyColorOutside(Image, C.Red, clYellow)) << C.Center << C.Stretch;
    EXPECT_EQ(PixelAt(Image, C.Red.Left, C.Red.Bottom - 1), C.Transparent ? clYellow : clBlue);
  }
  I->Picture()->SetGraphic(nullptr);
  EXPECT_TRUE(OnlyColorOutside(Render(I, clYellow), TRect{}, clYellow));
}
