// Gallery pages of the class library itself: canvas primitives, labels, panels.
#include <QImage>

#include "platform/gui/ExtCtrls.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/StdCtrls.h"
#include "tests/gallery/Gallery.h"

namespace {

void Caption(TCanvas* C, int32_t X, int32_t Y, const std::string& Text) {
  C->Brush()->SetStyle(bsClear);
  C->Font()->SetColor(clWindowText);
  C->TextOut(X, Y, Text);
}

// An 8 x 8 two-colour checker, the classic pattern brush.
void MakeChecker(TBitmap& B, TColor A, TColor Z) {
  B.SetSize(8, 8);
  for (int32_t Y = 0; Y < 8; ++Y)
    for (int32_t X = 0; X < 8; ++X) B.Canvas()->SetPixel(X, Y, (X + Y) % 2 ? A : Z);
}

// A small picture with colour bands, for bitmap drawing.
void MakePicture(TBitmap& B) {
  B.SetSize(24, 16);
  const TColor Bands[] = {clRed, clYellow, clLime, clAqua, clBlue, clFuchsia};
  for (int32_t I = 0; I < 6; ++I) {
    B.Canvas()->Brush()->SetColor(Bands[I]);
    B.Canvas()->FillRect(Rect(I * 4, 0, I * 4 + 4, 12));
  }
  B.Canvas()->Brush()->SetColor(clBlack);
  B.Canvas()->FillRect(Rect(0, 12, 24, 16));
}

void PaintPrimitives(TForm* Form) {
  TCanvas* C = Form->Canvas();
  // Lines: a fan from one point, every end point left out.
  const TColor Fan[] = {clRed, clGreen, clBlue, clPurple, clTeal, clMaroon, clNavy, clOlive};
  for (int32_t I = 0; I < 8; ++I) {
    C->Pen()->SetColor(Fan[I]);
    C->MoveTo(50, 50);
    const int32_t DX[] = {40, 40, 0, -40, -40, -40, 0, 40}, DY[] = {0, 40, 40, 40, 0, -40, -40, -40};
    C->LineTo(50 + DX[I], 50 + DY[I]);
  }
  Caption(C, 10, 95, "lines");
  // Pen styles.
  const TPenStyle Styles[] = {psSolid, psDash, psDot, psDashDot, psDashDotDot};
  for (int32_t I = 0; I < 5; ++I) {
    C->Pen()->SetStyle(Styles[I]);
    C->Pen()->SetColor(clBlack);
    C->MoveTo(110, 15 + I * 14);
    C->LineTo(210, 15 + I * 14);
  }
  C->Pen()->SetStyle(psSolid);
  Caption(C, 110, 95, "pen styles");
  // Shapes.
  C->Pen()->SetColor(clNavy);
  C->Brush()->SetColor(clSkyBlue);
  C->Rectangle(230, 10, 290, 50);
  C->Pen()->SetStyle(psClear);
  C->Brush()->SetColor(clMoneyGreen);
  C->Rectangle(300, 10, 360, 50);
  C->Pen()->SetStyle(psInsideFrame);
  C->Pen()->SetWidth(4);
  C->Pen()->SetColor(clMaroon);
  C->Brush()->SetColor(clCream);
  C->Rectangle(370, 10, 430, 50);
  C->Pen()->SetStyle(psSolid);
  C->Pen()->SetWidth(1);
  C->Pen()->SetColor(clBlack);
  C->Brush()->SetColor(clYellow);
  C->RoundRect(230, 55, 290, 90, 10, 10);
  C->Polygon({{330, 55}, {360, 90}, {300, 90}});
  TBitmap Pattern;
  MakeChecker(Pattern, clGray, clWhite);
  C->Brush()->SetBitmap(&Pattern);
  C->FillRect(Rect(370, 55, 430, 90));
  C->Brush()->SetBitmap(nullptr);
  Caption(C, 230, 95, "rectangle, clear pen, inside frame, round, polygon, pattern");
  // Text.
  C->Font()->SetColor(clWindowText);
  C->TextOut(10, 125, "TextOut in the default font, 11 pixels");
  C->Font()->SetStyle(fsBold);
  C->TextOut(10, 140, "bold");
  C->Font()->SetStyle(fsItalic | fsUnderline);
  C->TextOut(60, 140, "italic underlined");
  C->Font()->SetStyle(0);
  TRect Box = Rect(10, 160, 170, 215);
  C->Brush()->SetColor(clWhite);
  C->Brush()->SetStyle(bsSolid);
  C->FillRect(Box);
  C->Brush()->SetStyle(bsClear);
  C->DrawText("DrawText breaks words that do not fit, and &underlines the accelerator.", Box,
              DT_WORDBREAK | DT_CENTER);
  TRect Ellipsis = Rect(180, 125, 330, 140);
  C->DrawText("The end of a long line gives way to an ellipsis", Ellipsis, DT_SINGLELINE | DT_END_ELLIPSIS);
  TRect Path = Rect(180, 145, 330, 160);
  C->DrawText("/home/user/Music/Some Artist/Some Album/track.flac", Path, DT_SINGLELINE | DT_PATH_ELLIPSIS);
  TRect Centre = Rect(180, 165, 330, 215);
  C->Brush()->SetColor(clInfoBk);
  C->Brush()->SetStyle(bsSolid);
  C->FillRect(Centre);
  C->Brush()->SetStyle(bsClear);
  C->DrawText("centred", Centre, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
  C->Brush()->SetColor(clBtnFace);
  C->DrawFocusRect(Centre);
  C->Font()->SetOrientation(900);
  C->TextOut(345, 215, "90 degrees");
  C->Font()->SetOrientation(450);
  C->TextOut(370, 210, "45 degrees");
  C->Font()->SetOrientation(0);
  // Bitmaps and images.
  TBitmap Picture;
  MakePicture(Picture);
  C->Draw(10, 240, &Picture);
  C->StretchDraw(Rect(45, 240, 93, 272), &Picture);
  C->CopyRect(Rect(127, 240, 103, 256), Picture.Canvas(), Rect(0, 0, 24, 16));
  Picture.SetTransparent(true);
  Picture.SetTransparentColor(clBlack);
  C->Draw(140, 240, &Picture);
  TImageList Images(nullptr);
  Images.SetSize(16, 16);
  TBitmap Strip;
  Strip.SetSize(32, 16);
  Strip.Canvas()->Brush()->SetColor(clFuchsia);
  Strip.Canvas()->FillRect(Rect(0, 0, 32, 16));
  Strip.Canvas()->Brush()->SetColor(clRed);
  Strip.Canvas()->Polygon({{8, 2}, {14, 14}, {2, 14}});
  Strip.Canvas()->Brush()->SetColor(clBlue);
  Strip.Canvas()->Rectangle(19, 3, 29, 13);
  Images.AddMasked(&Strip, clFuchsia);
  for (int32_t I = 0; I < 2; ++I) {
    Images.Draw(C, 180 + I * 20, 240, I, true);
    Images.Draw(C, 180 + I * 20, 260, I, false);
  }
  Caption(C, 10, 280, "bitmap, stretched, mirrored, transparent; image list enabled and disabled");
}

TGalleryPage CanvasPage("canvas", [](TForm* Form) {
  Form->SetColor(clBtnFace);
  Form->OnPaint = [Form](TComponent*) { PaintPrimitives(Form); };
});

TLabel* MakeLabel(TForm* Form, const std::string& Name, const std::string& Text, TRect Bounds) {
  auto* L = new TLabel(Form);
  L->SetName(Name);
  L->SetParent(Form);
  L->SetBoundsRect(Bounds);
  L->SetCaption(Text);
  return L;
}

TGalleryPage LabelsPage("labels", [](TForm* Form) {
  Form->SetColor(clBtnFace);
  const TAlignment Alignments[] = {taLeftJustify, taCenter, taRightJustify};
  const char* Names[] = {"left", "centre", "right"};
  for (int32_t I = 0; I < 3; ++I) {
    TLabel* L = MakeLabel(Form, std::string("Align") + Names[I], Names[I], Bounds(10, 10 + I * 22, 140, 18));
    L->SetAutoSize(false);
    L->SetColor(clWhite);
    L->SetAlignment(Alignments[I]);
  }
  const TTextLayout Layouts[] = {tlTop, tlCenter, tlBottom};
  const char* LayoutNames[] = {"top", "centre", "bottom"};
  for (int32_t I = 0; I < 3; ++I) {
    TLabel* L = MakeLabel(Form, std::string("Layout") + LayoutNames[I], LayoutNames[I], Bounds(170 + I * 90, 10, 80, 60));
    L->SetAutoSize(false);
    L->SetColor(clInfoBk);
    L->SetAlignment(taCenter);
    L->SetLayout(Layouts[I]);
  }
  TLabel* Wrap = MakeLabel(Form, "LblWrap", "A word-wrapped label keeps its width and grows in height as its caption needs.",
                           Bounds(10, 90, 200, 20));
  Wrap->SetWordWrap(true);
  MakeLabel(Form, "LblAdd", "Use also 'drag && drop' operation to add files.", Bounds(10, 150, 300, 20));
  TLabel* Disabled = MakeLabel(Form, "LblDisabled", "A disabled label", Bounds(10, 175, 200, 20));
  Disabled->SetEnabled(false);
  MakeLabel(Form, "LblAccel", "&Accelerator of a label", Bounds(10, 200, 200, 20));
  auto* Back = new TPanel(Form);
  Back->SetName("PnlBack");
  Back->SetParent(Form);
  Back->SetBounds(240, 90, 220, 60);
  Back->SetColor(clSkyBlue);
  Back->SetBevelOuter(bvLowered);
  auto* Over = new TLabel(Form);
  Over->SetParent(Back);
  Over->SetBounds(10, 10, 180, 20);
  Over->SetTransparent(true);
  Over->SetCaption("A transparent label on a panel");
  auto* Big = MakeLabel(Form, "LblBig", "A bold 16-pixel label", Bounds(10, 230, 300, 30));
  Big->Font()->SetHeight(-16);
  Big->Font()->SetStyle(fsBold);
  Big->Font()->SetColor(clNavy);
});

TPanel* MakePanel(TWinControl* Parent, const std::string& Name, TAlign Align, TPanelBevel Outer, TPanelBevel Inner) {
  auto* P = new TPanel(Parent->Owner() ? Parent->Owner() : Parent);
  P->SetName(Name);
  P->SetParent(Parent);
  P->SetBounds(0, 0, 80, 50);
  P->SetAlign(Align);
  P->SetBevelOuter(Outer);
  P->SetBevelInner(Inner);
  P->SetCaption(Name);
  return P;
}

TGalleryPage PanelsPage("panels", [](TForm* Form) {
  MakePanel(Form, "alTop raised", alTop, bvRaised, bvNone);
  TPanel* Bottom = MakePanel(Form, "alBottom lowered", alBottom, bvLowered, bvNone);
  Bottom->SetColor(clInfoBk);
  TPanel* Left = MakePanel(Form, "alLeft", alLeft, bvRaised, bvLowered);
  Left->SetBorderWidth(4);
  Left->SetBevelWidth(2);
  MakePanel(Form, "alRight", alRight, bvLowered, bvRaised)->SetAlignment(taRightJustify);
  TPanel* Client = MakePanel(Form, "alClient", alClient, bvNone, bvNone);
  Client->SetColor(clWhite);
  Client->SetAlignment(taLeftJustify);
  TPanel* Inner = MakePanel(Client, "anchored", alNone, bvRaised, bvRaised);
  Inner->SetBounds(40, 40, 150, 60);
  Inner->SetColor(clMoneyGreen);
  Inner->SetAnchors(akLeft | akTop | akRight | akBottom);
});

}  // namespace
