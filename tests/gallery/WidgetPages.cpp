// Gallery pages of the widget library's foundation: frames and glyphs, gradients, the
// form background, labels and progress bars.
#include <string>

#include "tests/gallery/Gallery.h"
#include "widgets/KvBckgnd.h"
#include "widgets/KvCommon.h"
#include "widgets/KvGrafx.h"
#include "widgets/KvLabel.h"
#include "widgets/KvPrgres.h"

namespace {

void Note(TCanvas* C, int32_t X, int32_t Y, const std::string& Text) {
  C->Brush()->SetStyle(bsClear);
  C->Font()->SetColor(clWindowText);
  C->TextOut(X, Y, Text);
  C->Brush()->SetStyle(bsSolid);
}

const char* const FrameNames[] = {"None", "Flat", "Groove", "Bump", "Lowered", "ButtonDown", "Raised", "ButtonUp",
                                  "Status", "Popup", "FlatBold", "FlatRounded"};

void PaintFrames(TCanvas* C) {
  // Every style, plain and in shades of a colour.
  for (int32_t S = fsNone; S <= fsFlatBold; ++S) {
    const int32_t X = 8 + (S % 6) * 78, Y = 8 + (S / 6) * 44;
    PaintStyledFrameRect(C, Bounds(X, Y, 70, 24), TFrameStyleEx(S));
    PaintColoredStyledFrameRect(C, Bounds(X + 50, Y + 4, 16, 16), RGB(90, 140, 200), TFrameStyleEx(S));
    Note(C, X, Y + 25, FrameNames[S]);
  }
  // Borders of labels and panels.
  TControlBorder Rounded;
  Rounded.Outer = fsFlatRounded;
  Rounded.ParentColor = clBtnFace;
  Rounded.ControlColor = clWhite;
  Rounded.FlatColor = clNavy;
  Rounded.BorderWidth = 2;
  Rounded.BorderColor = clSkyBlue;
  Rounded.Inner = fsFlatRounded;
  C->Brush()->SetColor(clWhite);
  C->FillRect(PaintControlBorder(C, Bounds(8, 100, 90, 30), Rounded));
  TControlBorder Bevels;
  Bevels.Outer = fsRaised;
  Bevels.BorderWidth = 3;
  Bevels.BorderColor = clMoneyGreen;
  Bevels.Inner = fsLowered;
  PaintControlBorder(C, Bounds(106, 100, 90, 30), Bevels);
  PaintRoundedSides(C, Bounds(204, 100, 50, 30), clMaroon, sdsAll);
  PaintCornerMarks(C, Bounds(262, 100, 50, 30), clMaroon, 5);
  PaintDottedFocus(C, Bounds(320, 100, 50, 30));
  const int32_t Saved = C->SaveDC();
  C->SetViewportOrg(380, 104);
  PaintEditFrame(C, 80, 22, false, sdsAll, clBtnShadow, clWindow, fsFlatBold);
  C->RestoreDC(Saved);
  Note(C, 8, 132, "rounded, bevels with border, rounded sides, corner marks, dotted focus, edit frame");
  // Glyphs: arrows, the close cross, check boxes and radio buttons in their states.
  for (int32_t D = 0; D < 4; ++D) PaintArrowButton(C, Bounds(8 + D * 20, 160, 16, 16), false, true, false, D);
  PaintDropDownArrow(C, Bounds(88, 160, 16, 16), false, true, false);
  PaintDropDownArrow(C, Bounds(108, 160, 16, 16), false, false, false);
  PaintCloseButton(C, Bounds(128, 160, 16, 16), false, true, false);
  TGlyphColors G;
  G.Hot1 = RGB(255, 160, 40);
  G.Hot2 = RGB(255, 230, 170);
  G.Mark = clNavy;
  const TGlyphDrawState States[] = {gdsNormal, gdsDown, gdsHot, gdsDisabled};
  for (int32_t I = 0; I < 4; ++I) {
    for (int32_t State = 0; State < 3; ++State)
      PaintCheckBoxGlyph(C, Bounds(160 + I * 60 + State * 17, 160, 13, 13), State, G, States[I]);
    PaintRadioButtonGlyph(C, Bounds(160 + I * 60, 180, 13, 13), false, G, clFuchsia, false, clBtnFace, States[I]);
    PaintRadioButtonGlyph(C, Bounds(177 + I * 60, 180, 13, 13), true, G, clFuchsia, false, clBtnFace, States[I]);
  }
  G.HotStyle = 1;
  PaintCheckBoxGlyph(C, Bounds(400, 160, 13, 13), 1, G, gdsHot);
  PaintRadioButtonGlyph(C, Bounds(400, 180, 13, 13), true, G, clFuchsia, false, clBtnFace, gdsHot);
  Note(C, 8, 200, "arrows, drop-down, close; check and radio: normal, down, hot, disabled; hot frame");
}

TGalleryPage FramesPage("kv-frames", [](TForm* Form) {
  Form->SetColor(clBtnFace);
  Form->OnPaint = [Form](TComponent*) { PaintFrames(Form->Canvas()); };
});

const char* const GradientNames[] = {"DiagonalUp", "DiagonalDown", "HorizontalEnd", "HorizontalCenter",
                                     "HorizontalBox", "VerticalEnd", "VerticalCenter", "VerticalBox",
                                     "SquareBox", "BigSquareBox"};

TGalleryPage GradientsPage("kv-gradients", [](TForm* Form) {
  Form->SetColor(clBtnFace);
  Form->OnPaint = [Form](TComponent*) {
    TCanvas* C = Form->Canvas();
    for (int32_t D = 0; D < 10; ++D) {
      const int32_t X = 8 + (D % 5) * 94, Y = 8 + (D / 5) * 110;
      FillGradientRect(C, Bounds(X, Y, 86, 60), TGradientDirection(D), 1, clNavy, RGB(255, 240, 200));
      FillGradientRect(C, Bounds(X, Y + 62, 86, 20), TGradientDirection(D), 8, clMaroon, clWhite);
      Note(C, X, Y + 84, GradientNames[D]);
    }
    Note(C, 8, 230, "smooth factor 1 above, 8 below");
  };
});

TKvBackground* MakeBackground(TForm* Form, TRect Bounds) {
  auto* B = new TKvBackground(Form);
  B->SetParent(Form);
  B->SetBoundsRect(Bounds);
  return B;
}

TGalleryPage BackgroundPage("kv-background", [](TForm* Form) {
  // The windows' look: diagonal gradient over the whole client area.
  TKvBackground* Whole = MakeBackground(Form, Rect(0, 0, 0, 0));
  Whole->SetName("BgrMain");
  Whole->SetAlign(alClient);
  Whole->SetGradientColorStart(RGB(176, 214, 255));
  Whole->SetGradientColorStop(RGB(244, 250, 255));
  Whole->SetGradientDirection(gdDiagonalDown);
  TBitmap Tile(8, 8);
  for (int32_t Y = 0; Y < 8; ++Y)
    for (int32_t X = 0; X < 8; ++X) Tile.Canvas()->SetPixel(X, Y, (X + Y) % 4 ? clCream : clSkyBlue);
  TBitmap Picture(24, 16);
  Picture.Canvas()->Brush()->SetColor(clMaroon);
  Picture.Canvas()->FillRect(Rect(0, 0, 24, 16));
  Picture.Canvas()->Brush()->SetColor(clYellow);
  Picture.Canvas()->FillRect(Rect(4, 4, 20, 12));
  const TImageStyle Styles[] = {isCenter, isClip, isFill, isStretch, isTiled};
  for (int32_t I = 0; I < 5; ++I) {
    TKvBackground* B = MakeBackground(Form, Bounds(10 + I * 92, 20, 84, 60));
    B->SetGradientDirection(gdSquareBox);
    B->SetGradientColorStart(clWhite);
    B->SetGradientColorStop(clTeal);
    B->SetFrameStyle(TFrameStyle(fsLowered + I));
    B->Image()->SetGraphic(&Picture);
    B->SetShowImage(true);
    B->SetImageStyle(Styles[I]);
  }
  TKvBackground* Textured = MakeBackground(Form, Bounds(10, 100, 140, 80));
  Textured->Texture()->SetGraphic(&Tile);
  Textured->SetShowTexture(true);
  Textured->SetFrameStyle(fsFlat);
  Textured->SetFrameColor(clNavy);
  TKvBackground* Smooth = MakeBackground(Form, Bounds(160, 100, 140, 80));
  Smooth->SetGradientDirection(gdHorizontalCenter);
  Smooth->SetGradientColorStart(clNavy);
  Smooth->SetGradientColorStop(clSkyBlue);
  Smooth->SetGradientSmoothFactor(8);
  Smooth->SetFrameStyle(fsGroove);
  TKvBackground* Inactive = MakeBackground(Form, Bounds(310, 100, 140, 80));
  Inactive->SetActive(false);
  Inactive->SetFrameStyle(fsBump);
});

TKvLabel* MakeLabel(TForm* Form, const std::string& Caption, TRect Bounds) {
  auto* L = new TKvLabel(Form);
  L->SetParent(Form);
  L->SetAutoSize(false);
  L->SetBoundsRect(Bounds);
  L->SetCaption(Caption);
  return L;
}

TGalleryPage LabelsPage("kv-labels", [](TForm* Form) {
  Form->SetColor(clBtnFace);
  const TTextStyle Styles[] = {tsNormal, tsRaised, tsRecessed, tsShadow};
  const char* StyleNames[] = {"Normal", "Raised", "Recessed", "Shadow"};
  for (int32_t I = 0; I < 4; ++I) {
    TKvLabel* L = MakeLabel(Form, StyleNames[I], Bounds(10 + I * 115, 10, 105, 30));
    L->Font()->SetHeight(-16);
    L->Font()->SetStyle(fsBold);
    L->SetTextStyle(Styles[I]);
    L->SetLayout(tlCenter);
    L->SetAlignment(taCenter);
    L->SetBorderOuter(TFrameStyleEx(fsGroove + I));
  }
  const TFrameStyleEx Borders[] = {fsFlat, fsFlatBold, fsFlatRounded, fsStatus, fsPopup, fsButtonUp};
  for (int32_t I = 0; I < 6; ++I) {
    TKvLabel* L = MakeLabel(Form, FrameNames[Borders[I]], Bounds(10 + I * 76, 50, 70, 24));
    L->SetBorderOuter(Borders[I]);
    L->SetBorderWidth(I % 2 ? 2 : 0);
    L->SetBorderColor(clSkyBlue);
    L->SetColor(clWhite);
    L->SetLayout(tlCenter);
    L->SetAlignment(taCenter);
  }
  TKvLabel* Flat = MakeLabel(Form, "Turned by 30 degrees", Bounds(10, 90, 160, 90));
  Flat->SetRotation(roFlat);
  Flat->SetAngle(30);
  Flat->SetBorderOuter(fsLowered);
  TKvLabel* Curve = MakeLabel(Form, "Along a curve", Bounds(180, 90, 120, 90));
  Curve->SetRotation(roCurve);
  Curve->SetCenterPoint(cpLowerCenter);
  Curve->SetAngle(170);
  Curve->SetBorderOuter(fsLowered);
  TKvLabel* Vertical = MakeLabel(Form, "Upwards", Bounds(310, 90, 24, 90));
  Vertical->SetRotation(roFlat);
  Vertical->SetAngle(90);
  const std::string Path = "/home/user/Music/Some Artist/Some Album/01 track.flac";
  TKvLabel* End = MakeLabel(Form, Path, Bounds(10, 190, 200, 18));
  End->SetCondenseCaption(ccAtEnd);
  TKvLabel* Within = MakeLabel(Form, Path, Bounds(220, 190, 200, 18));
  Within->SetCondenseCaption(ccWithinPath);
  TKvLabel* Disabled = MakeLabel(Form, "A disabled label", Bounds(10, 215, 200, 18));
  Disabled->SetTextStyle(tsShadow);
  Disabled->SetEnabled(false);
  TKvLabel* Blink = MakeLabel(Form, "Blinking (on phase)", Bounds(220, 215, 200, 18));
  Blink->SetBlinking(true);
  Blink->SetBlinkColor(clRed);
  Blink->Perform(CM_BLINK, 1);
  auto* Link = new TKvURLLabel(Form);
  Link->SetParent(Form);
  Link->SetBounds(10, 245, 200, 18);
  Link->SetCaption("https://example.org/sonvix");
  auto* Visited = new TKvURLLabel(Form);
  Visited->SetParent(Form);
  Visited->SetBounds(220, 245, 200, 18);
  Visited->SetCaption("A visited link");
  Visited->SetVisited(true);
});

TKvProgressBar* MakeBar(TForm* Form, TBarStyle Style, TRect Bounds, uint16_t Percent) {
  auto* B = new TKvProgressBar(Form);
  B->SetParent(Form);
  B->SetBarStyle(Style);
  B->SetBoundsRect(Bounds);
  B->SetPercent(Percent);
  return B;
}

TGalleryPage ProgressPage("kv-progress", [](TForm* Form) {
  Form->SetColor(clBtnFace);
  const TBarStyle Styles[] = {bsTraditional, bsLED, bsGradient};
  const uint16_t Percents[] = {0, 37, 100};
  for (int32_t S = 0; S < 3; ++S) {
    for (int32_t P = 0; P < 3; ++P) MakeBar(Form, Styles[S], Bounds(10 + P * 125, 10 + S * 34, 115, 24), Percents[P]);
    MakeBar(Form, Styles[S], Bounds(400 + S * 24, 10, 18, 120), 60);
  }
  // The main window's look: gradient, 100 parts.
  TKvProgressBar* Main = MakeBar(Form, bsGradient, Bounds(10, 120, 365, 18), 64);
  Main->SetTotalParts(100);
  TKvProgressBar* Rounded = MakeBar(Form, bsTraditional, Bounds(10, 150, 180, 22), 50);
  Rounded->SetBorderOuter(fsFlatRounded);
  Rounded->SetFlatColor(clNavy);
  Rounded->SetFlatColorAdjustment(0);
  TKvProgressBar* Bordered = MakeBar(Form, bsLED, Bounds(200, 150, 180, 22), 70);
  Bordered->SetBorderOuter(fsRaised);
  Bordered->SetBorderWidth(2);
  Bordered->SetBorderInner(fsLowered);
  Bordered->SetBarColor(clGreen);
  TKvProgressBar* Box = MakeBar(Form, bsGradient, Bounds(10, 185, 370, 30), 80);
  Box->SetGradientDirection(gdVerticalCenter);
  Box->SetBarColor(clMaroon);
  Box->SetBarColorStop(clRed);
});

}  // namespace
