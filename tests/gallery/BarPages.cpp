// Gallery pages of tool buttons, control buttons, panels, group boxes, toolbars and
// popup panels, each in the classic, flat, hot-track and gradient looks.
#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>
#include <string>

#include "platform/gui/StdCtrls.h"
#include "tests/gallery/Gallery.h"
#include "widgets/KvBckgnd.h"
#include "widgets/KvCtrlBtn.h"
#include "widgets/KvPanel.h"
#include "widgets/KvPlayerImages.h"
#include "widgets/KvPopups.h"
#include "widgets/KvToolBtn.h"

namespace {

template <class T>
T* Place(TComponent* Owner, TWinControl* Parent, TRect Bounds) {
  auto* C = new T(Owner);
  C->SetParent(Parent);
  C->SetBoundsRect(Bounds);
  return C;
}

void Note(TForm* Form, int32_t X, int32_t Y, const std::string& Text) {
  auto* L = Place<TLabel>(Form, Form, Bounds(X, Y, 10, 10));
  L->SetTransparent(true);
  L->SetCaption(Text);
}

// The pressed look needs a real press: one is handed to the control's window and never
// released.
void Press(TControl* C, int32_t X = 4, int32_t Y = 4) {
  QMouseEvent E(QEvent::MouseButtonPress, QPointF(X, Y), C->Host()->mapToGlobal(QPointF(X, Y)), Qt::LeftButton,
                Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(C->Host(), &E);
}

void Hover(TControl* C) { C->Perform(CM_MOUSEENTER); }

TImageList* PlayerImages(TForm* Form) {
  auto* Images = new TImageList(Form);
  AddPlayerImages(Images);
  return Images;
}

struct TLook {
  const char* Name;
  TKvVisualStyle Style;
  bool Flat;
};
constexpr TLook Looks[] = {
    {"classic", vsClassic, false}, {"flat", vsClassic, true}, {"hot-track", vsWinXP, true}, {"gradient", vsGradient, true}};

TGalleryPage ToolButtonsPage("kv-toolbuttons", [](TForm* Form) {
  Form->SetColor(clBtnFace);
  TImageList* Images = PlayerImages(Form);
  const char* States[] = {"up", "hot", "press", "down", "dn+hot", "off", "split", "menu"};
  for (int32_t S = 0; S < 8; ++S) Note(Form, 90 + S * 40, 4, States[S]);
  for (int32_t L = 0; L < 4; ++L) {
    const int32_t Y = 20 + L * 36;
    Note(Form, 8, Y + 8, Looks[L].Name);
    for (int32_t S = 0; S < 8; ++S) {
      auto* B = Place<TKvToolButton>(Form, Form, Bounds(90 + S * 40, Y, 30, 30));
      B->SetImages(Images);
      B->SetImageIndex(S % 5);
      B->SetVisualStyle(Looks[L].Style);
      B->SetFlat(Looks[L].Flat);
      if (S == 3 || S == 4) {
        B->SetGroupIndex(10 + L * 10 + S);
        B->SetDown(true);
      }
      if (S >= 6) {
        B->SetToolStyle(tsDropDown);
        B->SetDropDownMenu(nullptr);
        if (S == 6) B->OnClick = [](TComponent*) {};
      }
      if (S == 1 || S == 4 || S == 6) Hover(B);
      if (S == 2) Press(B);
      if (S == 5) B->SetEnabled(false);
    }
  }
  // Captions beside the image in the four layouts, and the tag editor's button.
  const TButtonLayout Layouts[] = {blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom};
  const char* LayoutNames[] = {"Left", "Right", "Top", "Bottom"};
  for (int32_t I = 0; I < 4; ++I) {
    auto* B = Place<TKvToolButton>(Form, Form, Bounds(8 + I * 84, 170, 78, I < 2 ? 30 : 52));
    B->SetImages(Images);
    B->SetImageIndex(I);
    B->SetLayout(Layouts[I]);
    B->SetShowCaption(true);
    B->SetCaption(LayoutNames[I]);
    B->SetVisualStyle(vsGradient);
    Hover(B);
  }
  auto* Apply = Place<TKvToolButton>(Form, Form, Bounds(8, 240, 130, 22));
  Apply->SetShowCaption(true);
  Apply->SetCaption("Apply for all tracks");
  auto* Raised = Place<TKvToolButton>(Form, Form, Bounds(150, 240, 130, 22));
  Raised->SetShowCaption(true);
  Raised->SetCaption("Apply for all tracks");
  Raised->SetVisualStyle(vsClassic);
  Raised->SetFlat(false);
  auto* Off = Place<TKvToolButton>(Form, Form, Bounds(292, 240, 130, 22));
  Off->SetShowCaption(true);
  Off->SetCaption("Apply for all tracks");
  Off->SetEnabled(false);
  Note(Form, 8, 268, "captions: left, right, top, bottom (gradient, hot); free-standing: hot-track, classic, disabled");
});

TGalleryPage ControlButtonsPage("kv-controlbuttons", [](TForm* Form) {
  Form->SetColor(clBtnFace);
  TBitmap Glyph(27, 9);
  Glyph.Canvas()->Brush()->SetColor(clFuchsia);
  Glyph.Canvas()->FillRect(Rect(0, 0, 27, 9));
  const TColor Cells[] = {clNavy, clGray, clMaroon};
  for (int32_t I = 0; I < 3; ++I) {
    Glyph.Canvas()->Brush()->SetColor(Cells[I]);
    Glyph.Canvas()->FillRect(Rect(I * 9 + 2, 2, I * 9 + 7, 7));
  }
  const TKvControlButtonStyle Styles[] = {cbsNone, cbsUp, cbsDown, cbsLeft, cbsRight, cbsDropDown};
  const char* States[] = {"up", "hot", "pressed", "disabled"};
  for (int32_t Flat = 0; Flat < 2; ++Flat)
    for (int32_t S = 0; S < 4; ++S) {
      const int32_t Y = 10 + (Flat * 4 + S) * 28;
      Note(Form, 8, Y + 4, std::string(Flat ? "flat " : "raised ") + States[S]);
      for (int32_t K = 0; K < 6; ++K) {
        auto* B = Place<TKvControlButton>(Form, Form, Bounds(100 + K * 24, Y, 17, 21));
        B->SetStyle(Styles[K]);
        B->SetFlat(Flat == 1);
        if (Styles[K] == cbsNone) B->SetGlyph(&Glyph);
        if (S == 1) Hover(B);
        if (S == 2) Press(B);
        if (S == 3) B->SetEnabled(false);
      }
    }
  Note(Form, 260, 14, "glyph (3 cells), up, down, left, right, drop-down");
});

TKvPanel* MakePanel(TForm* Form, TRect Bounds, const std::string& Caption) {
  auto* P = Place<TKvPanel>(Form, Form, Bounds);
  P->SetCaption(Caption);
  return P;
}

TGalleryPage PanelsPage("kv-panels", [](TForm* Form) {
  Form->SetColor(clBtnFace);
  MakePanel(Form, Bounds(8, 8, 110, 50), "Raised");
  auto* Bevels = MakePanel(Form, Bounds(126, 8, 110, 50), "Lowered, border, raised");
  Bevels->SetBorderOuter(fsLowered);
  Bevels->SetBorderWidth(3);
  Bevels->SetBorderColor(clSkyBlue);
  Bevels->SetBorderInner(fsRaised);
  auto* Flat = MakePanel(Form, Bounds(244, 8, 110, 50), "Flat, navy");
  Flat->SetBorderOuter(fsFlat);
  Flat->SetFlatColor(clNavy);
  Flat->SetFlatColorAdjustment(0);
  auto* Rounded = MakePanel(Form, Bounds(362, 8, 110, 50), "Rounded");
  Rounded->SetBorderOuter(fsFlatRounded);
  Rounded->SetColor(clWhite);
  const TFrameStyleEx Frames[] = {fsGroove, fsBump, fsStatus, fsPopup};
  const char* FrameNames[] = {"Groove", "Bump", "Status", "Popup"};
  for (int32_t I = 0; I < 4; ++I) MakePanel(Form, Bounds(8 + I * 118, 66, 110, 34), FrameNames[I])->SetBorderOuter(Frames[I]);
  auto* Gradient = MakePanel(Form, Bounds(8, 108, 226, 60), "Gradient look, caption at the top left");
  Gradient->SetVisualStyle(vsGradient);
  Gradient->SetAlignment(taLeftJustify);
  Gradient->SetAlignmentVertical(avTop);
  Gradient->SetTextMargin(6);
  Gradient->SetTextMarginVertical(4);
  auto* Custom = MakePanel(Form, Bounds(244, 108, 228, 60), "Custom gradient, bottom right");
  Custom->SetVisualStyle(vsGradient);
  Custom->SetGradientColorStyle(gcsCustom);
  Custom->SetGradientColorStart(RGB(255, 240, 200));
  Custom->SetGradientColorStop(RGB(200, 120, 40));
  Custom->SetGradientDirection(gdVerticalEnd);
  Custom->SetAlignment(taRightJustify);
  Custom->SetAlignmentVertical(avBottom);
  const TKvGridStyle Grids[] = {gsDots, gsDottedLines, gsSolidLines};
  const char* GridNames[] = {"Dots", "Dotted lines", "Solid lines"};
  for (int32_t I = 0; I < 3; ++I) {
    auto* G = MakePanel(Form, Bounds(8 + I * 118, 176, 110, 60), GridNames[I]);
    G->SetShowGrid(true);
    G->SetGridStyle(Grids[I]);
    G->SetGridColor(clTeal);
    G->SetGridXSize(I == 0 ? 6 : 12);
    G->SetGridYSize(I == 0 ? 6 : 10);
  }
  auto* Disabled = MakePanel(Form, Bounds(362, 176, 110, 60), "Disabled");
  Disabled->SetEnabled(false);
  auto* Back = Place<TKvBackground>(Form, Form, Bounds(8, 244, 464, 70));
  Back->SetGradientColorStart(RGB(176, 214, 255));
  Back->SetGradientColorStop(RGB(244, 250, 255));
  Back->SetGradientDirection(gdDiagonalDown);
  auto* Clear = MakePanel(Form, Bounds(20, 254, 200, 50), "Transparent over the background");
  Clear->SetTransparent(true);
  Clear->SetBorderOuter(fsFlat);
  auto* Frame = MakePanel(Form, Bounds(240, 254, 220, 50), "Transparent, frame only, bottom edge");
  Frame->SetTransparent(true);
  Frame->SetBorderOuter(fsGroove);
  Frame->SetBorderSides(sdsBottom);
});

TGalleryPage GroupBoxesPage("kv-groupboxes", [](TForm* Form) {
  Form->SetColor(clBtnFace);
  auto* Back = Place<TKvBackground>(Form, Form, Bounds(0, 180, 480, 180));
  Back->SetGradientColorStart(RGB(176, 214, 255));
  Back->SetGradientColorStop(RGB(244, 250, 255));
  Back->SetGradientDirection(gdDiagonalDown);
  const TKvGroupBoxStyle Styles[] = {gsStandard, gsCustom, gsTopLine, gsFlat, gsBanner, gsUnderline};
  const char* Names[] = {"&Standard", "Custom", "Top line", "Flat", "Banner", "Underline"};
  for (int32_t T = 0; T < 2; ++T)
    for (int32_t I = 0; I < 6; ++I) {
      auto* G = Place<TKvGroupBox>(Form, Form, Bounds(8 + (I % 3) * 156, 8 + T * 172 + (I / 3) * 82, 148, 74));
      G->SetGroupStyle(Styles[I]);
      G->SetCaption(Names[I]);
      G->SetTransparent(T == 1);
      if (Styles[I] == gsCustom) {
        G->SetBorderOuter(fsLowered);
        G->SetVisualStyle(vsGradient);
      }
      auto* Child = Place<TKvPanel>(Form, G, Rect(0, 0, 0, 0));
      Child->SetAlign(alClient);
      Child->SetBorderOuter(fsNone);
      Child->SetTransparent(true);
      Child->SetCaption(T == 1 ? "transparent" : "client area");
      Child->SetBorderOuter(fsFlat);
      Child->SetFlatColor(clSilver);
      Child->SetFlatColorAdjustment(0);
      if (T == 1 && I == 5) G->SetEnabled(false);
    }
});

TKvToolbar* MakeToolbar(TForm* Form, TRect Bounds) {
  auto* T = Place<TKvToolbar>(Form, Form, Bounds);
  T->SetAlign(alNone);
  T->SetBoundsRect(Bounds);
  return T;
}

TKvToolButton* AddButton(TKvToolbar* Toolbar, int32_t Image, const std::string& Caption = "") {
  auto* B = new TKvToolButton(Toolbar->Owner());
  B->SetImageIndex(Image);
  B->SetCaption(Caption);
  B->SetParent(Toolbar);
  return B;
}

TGalleryPage ToolbarsPage("kv-toolbars", [](TForm* Form) {
  Form->SetColor(clBtnFace);
  TImageList* Images = PlayerImages(Form);
  // The main window's player: horizontal, gradient, images only.
  auto* Play = MakeToolbar(Form, Bounds(8, 8, 150, 32));
  Play->SetVisualStyle(vsGradient);
  Play->SetTextOptions(ttoCustom);
  Play->SetWrapControls(false);
  Play->SetAutoStyle(false);
  Play->SetImages(Images);
  for (int32_t I = 0; I < 5; ++I) {
    TKvToolButton* B = AddButton(Play, I);
    if (I == 0) Hover(B);
    if (I == 2) B->SetEnabled(false);
  }
  // Its menu bar: vertical, with captions.
  auto* Menu = MakeToolbar(Form, Bounds(8, 60, 110, 120));
  Menu->SetOrientation(orVertical);
  Menu->SetVisualStyle(vsGradient);
  Menu->SetButtonSize(100, 22, true);
  Menu->SetTextOptions(ttoCustom);
  Menu->SetWrapControls(false);
  Menu->SetAutoStyle(false);
  for (const char* Caption : {"About ", "Help ", "New version ", "Homepage "}) {
    TKvToolButton* B = AddButton(Menu, -1, Caption);
    if (Caption[0] == 'H' && Caption[1] == 'e') Hover(B);
  }
  // Classic, wrapping into two rows.
  auto* Wrap = MakeToolbar(Form, Bounds(180, 8, 110, 32));
  Wrap->SetVisualStyle(vsClassic);
  Wrap->SetImages(Images);
  for (int32_t I = 0; I < 5; ++I) AddButton(Wrap, I)->SetFlat(I % 2 == 0);
  // Too narrow and not wrapping: the overflow button shows.
  auto* Over = MakeToolbar(Form, Bounds(300, 8, 110, 32));
  Over->SetWrapControls(false);
  Over->SetImages(Images);
  for (int32_t I = 0; I < 5; ++I) AddButton(Over, I);
  auto* OverGradient = MakeToolbar(Form, Bounds(300, 50, 110, 32));
  OverGradient->SetWrapControls(false);
  OverGradient->SetVisualStyle(vsGradient);
  OverGradient->SetImages(Images);
  for (int32_t I = 0; I < 5; ++I) AddButton(OverGradient, I);
  // Text labels below the images, and a tiled background.
  auto* Labels = MakeToolbar(Form, Bounds(140, 100, 330, 60));
  Labels->SetImages(Images);
  Labels->SetTextOptions(ttoShowTextLabels);
  int32_t Image = 0;
  for (const char* Caption : {"Play", "Pause", "Stop", "Back", "Next"}) AddButton(Labels, Image++, Caption);
  TBitmap Tile(6, 6);
  for (int32_t Y = 0; Y < 6; ++Y)
    for (int32_t X = 0; X < 6; ++X) Tile.Canvas()->SetPixel(X, Y, (X + Y) % 3 ? clCream : clSkyBlue);
  auto* Tiled = MakeToolbar(Form, Bounds(140, 190, 330, 32));
  Tiled->SetImages(Images);
  Tiled->SetTextOptions(ttoSelectiveTextOnRight);
  Tiled->SetBackground(&Tile);
  AddButton(Tiled, piPlay, "Play");
  AddButton(Tiled, piStop, "Stop");
  // Aligned to the bottom with the divider on its top edge... and at the bottom.
  auto* Bottom = Place<TKvToolbar>(Form, Form, Rect(0, 0, 0, 0));
  Bottom->SetAlign(alBottom);
  Bottom->SetImages(Images);
  for (int32_t I = 0; I < 3; ++I) AddButton(Bottom, I);
  Note(Form, 140, 240, "player (gradient), menu bar, wrapping, overflowing,");
  Note(Form, 140, 254, "text labels, background; below: aligned to the bottom");
});

TGalleryPage PopupsPage("kv-popups", [](TForm* Form) {
  Form->SetColor(clBtnFace);
  TImageList* Images = PlayerImages(Form);
  // A popup panel looks like this while it is up (shown here in place).
  auto* Panel = Place<TKvPopupPanel>(Form, Form, Bounds(8, 8, 100, 100));
  auto* Caption = Place<TLabel>(Form, Panel, Bounds(8, 8, 10, 10));
  Caption->SetCaption("A popup panel");
  for (int32_t I = 0; I < 3; ++I) {
    auto* B = Place<TKvToolButton>(Form, Panel, Bounds(8 + I * 27, 28, 25, 25));
    B->SetImages(Images);
    B->SetImageIndex(I);
  }
  Panel->Show();
  auto* Flat = Place<TKvPopupPanel>(Form, Form, Bounds(160, 8, 120, 60));
  Flat->SetBorderOuter(fsFlat);
  Flat->SetFlatColor(clNavy);
  Flat->SetCaption("Flat frame");
  Flat->SetAutoSize(false);
  Flat->SetBounds(160, 8, 120, 60);
  Flat->Show();
  // An overflowing gradient toolbar, and its popup as the chevron drops it: a flat
  // toolbar of the cut-off buttons on a window-coloured ground.
  auto* Source = MakeToolbar(Form, Bounds(8, 130, 110, 32));
  Source->SetWrapControls(false);
  Source->SetVisualStyle(vsGradient);
  Source->SetImages(Images);
  for (int32_t I = 0; I < 5; ++I) AddButton(Source, I);
  auto* Drop = Place<TKvPopupPanel>(Form, Form, Bounds(40, 162, 100, 40));
  auto* Inner = Place<TKvToolbar>(Form, Drop, Bounds(3, 3, 83, 29));
  Inner->SetAlign(alNone);
  Inner->SetBounds(3, 3, 83, 29);
  Inner->SetBorderOuter(fsFlat);
  Inner->SetBorderSides(sdsAll);
  Inner->SetColor(clWindow);
  Inner->SetVisualStyle(vsGradient);
  Inner->SetImages(Images);
  for (int32_t I = 3; I < 5; ++I) AddButton(Inner, I);
  Drop->Show();
  Note(Form, 8, 220, "popup panels: fsPopup (default), fsFlat; the overflow popup of a toolbar");
});

}  // namespace
