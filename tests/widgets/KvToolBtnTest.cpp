// Tool buttons: clicks and groups through real mouse events, the drop-down menu and its
// re-press guard on the test clock, following a toolbar's settings, and the painted
// face, image and caption per state and look.
#include "tests/widgets/BarsTest.h"

#include <gtest/gtest.h>

#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Menus.h"
#include "widgets/KvPanel.h"
#include "widgets/KvToolBtn.h"

using namespace barstest;
using testsupport::ColorBounds;
using testsupport::MouseClick;
using testsupport::MouseMove;
using testsupport::MousePress;
using testsupport::MouseRelease;
using testsupport::PixelAt;
using testsupport::Render;

TEST(KvToolButton, GroupedButtonsLatchOneAtATimeAndClickOnlyWhenTheyChange) {
  TBarsForm F;
  TClicks Clicks[3];
  TKvToolButton* B[3];
  for (int32_t I = 0; I < 3; ++I) {
    B[I] = F.Place<TKvToolButton>(Bounds(10 + I * 30, 10, 25, 25));
    B[I]->SetGroupIndex(1);
    B[I]->OnClick = Clicks[I].Handler();
  }
  auto* Other = F.Place<TKvToolButton>(Bounds(200, 10, 25, 25));
  Other->SetGroupIndex(2);
  Other->SetDown(true);
  MouseClick(B[0], 5, 5);
  MouseClick(B[1], 5, 5);
  EXPECT_FALSE(B[0]->Down());
  EXPECT_TRUE(B[1]->Down());
  EXPECT_TRUE(Other->Down());  // another group
  EXPECT_EQ(B[1]->State(), TKvToolButton::stDown);
  // Without AllowAllUp the down button stays down, and that is no click.
  MouseClick(B[1], 5, 5);
  EXPECT_TRUE(B[1]->Down());
  EXPECT_EQ(Clicks[1].Count, 1);
  // AllowAllUp reaches the whole group.
  B[2]->SetAllowAllUp(true);
  EXPECT_TRUE(B[1]->AllowAllUp());
  MouseClick(B[1], 5, 5);
  EXPECT_FALSE(B[1]->Down());
  EXPECT_EQ(Clicks[1].Count, 2);
  // Pressed, dragged off and released: neither a click nor a change.
  MousePress(B[2], 5, 5);
  EXPECT_EQ(B[2]->State(), TKvToolButton::stPressed);
  MouseMove(B[2], 60, 5);
  EXPECT_EQ(B[2]->State(), TKvToolButton::stUp);
  MouseRelease(B[2], 60, 5);
  EXPECT_FALSE(B[2]->Down());
  EXPECT_EQ(Clicks[2].Count, 0);
  // Leaving the group releases the button.
  B[0]->SetDown(true);
  B[0]->SetGroupIndex(0);
  EXPECT_FALSE(B[0]->Down());
}

namespace {

struct TDropDown {
  TDropDown() {
    Menu = new TPopupMenu(&F.Form);
    for (const char* Caption : {"One", "Two"}) {
      auto* Item = new TMenuItem(Menu);
      Item->SetCaption(Caption);
      Item->OnClick = [this, Caption](TComponent*) { Chosen += Caption; };
      Menu->Items()->Add(Item);
    }
    Button = F.Place<TKvToolButton>(Bounds(20, 20, 25, 25));
    Button->SetToolStyle(tsDropDown);
    Button->SetDropDownMenu(Menu);
  }
  int32_t Arrow() const { return Button->Width() - 5; }
  TBarsForm F;
  TPopupMenu* Menu;
  TKvToolButton* Button;
  TClicks Clicks;
  std::string Chosen;
};

}  // namespace

TEST(KvToolButton, DropDownSplitsAndTheClosingPressNeverReopensTheMenu) {
  TDropDown D;
  EXPECT_EQ(D.Button->Width(), 25 + 14);
  D.Button->OnClick = D.Clicks.Handler();
  testsupport::TDialogScript Script;
  // The arrow opens the menu below the button; the click on the button part, which
  // closes the menu and reaches the button meanwhile, neither clicks nor reopens it.
  Script.Answer([&](const TDialogRequest& R) {
    EXPECT_EQ(R.Kind, dkPopupMenu);
    EXPECT_EQ(Point(R.X, R.Y), D.Button->ClientToScreen(Point(0, 25)));
    EXPECT_EQ(D.Button->State(), TKvToolButton::stDroppedDown);
    EXPECT_TRUE(D.Button->Hot());
    SendPress(D.Button, 5, 5);
    return TDialogAnswer{};
  });
  MouseClick(D.Button, D.Arrow(), 5);
  EXPECT_TRUE(Script.Finished());
  EXPECT_EQ(D.Clicks.Count, 0);
  EXPECT_EQ(D.Button->State(), TKvToolButton::stUp);
  // That press used up, the next click on the button part counts.
  MouseClick(D.Button, 5, 5);
  EXPECT_EQ(D.Clicks.Count, 1);
  // A menu closed without a press on the button: a press on the arrow within 100 ms
  // of the close is the one that closed it.
  Script.Dismiss();
  MouseClick(D.Button, D.Arrow(), 5);
  TTimer::Advance(99);
  MouseClick(D.Button, D.Arrow(), 5);
  EXPECT_EQ(Script.Requests().size(), 2u);
  TTimer::Advance(100);
  Script.Choose("Two");
  MouseClick(D.Button, D.Arrow(), 5);
  EXPECT_EQ(Script.Requests().size(), 3u);
  EXPECT_EQ(D.Chosen, "Two");
  EXPECT_EQ(D.Clicks.Count, 1);
}

TEST(KvToolButton, DropDownWithoutClickHandlerOpensFromAnywhereAndFromItsAccelerator) {
  TDropDown D;
  D.Button->SetCaption("&Tools");
  testsupport::TDialogScript Script;
  Script.Choose("One");
  MouseClick(D.Button, 3, 3);
  Script.Choose("Two");
  EXPECT_EQ(D.F.Form.Perform(CM_DIALOGCHAR, 't', ssAlt), 1);
  EXPECT_EQ(D.Chosen, "OneTwo");
  // The menu going away leaves the button without one.
  D.Menu->Free();
  EXPECT_EQ(D.Button->DropDownMenu(), nullptr);
  MouseClick(D.Button, 3, 3);
}

TEST(KvToolButton, FollowsTheToolbarUntilASettingIsMadeOnTheButton) {
  TBarsForm F;
  auto* Toolbar = F.Place<TKvToolbar>(Bounds(0, 0, 300, 40));
  Toolbar->SetImages(SolidImages(&F.Form, 16, {clRed}));
  Toolbar->SetButtonSize(40, 30, false);
  Toolbar->SetButtonLayout(blGlyphTop);
  Toolbar->SetVisualStyle(vsGradient);
  auto* B = new TKvToolButton(&F.Form);
  B->SetCaption("Go");
  B->SetImageIndex(0);
  B->SetParent(Toolbar);
  EXPECT_EQ(Point(B->Width(), B->Height()), Point(40, 30));
  EXPECT_EQ(B->Layout(), blGlyphTop);
  EXPECT_EQ(B->VisualStyle(), vsGradient);
  EXPECT_FALSE(B->ShowCaption());
  // Its own ShowCaption detaches it from the toolbar's until the flag is set again.
  B->SetShowCaption(true);
  Toolbar->SetShowButtonCaptions(false);
  Toolbar->SetShowButtonCaptions(true);
  Toolbar->SetShowButtonCaptions(false);
  EXPECT_TRUE(B->ShowCaption());
  EXPECT_FALSE(B->UseToolbarShowCaption());
  B->SetUseToolbarShowCaption(true);
  EXPECT_FALSE(B->ShowCaption());
  // A size of its own stays; the drop-down style adds its arrow section either way.
  B->SetWidth(50);
  Toolbar->SetButtonWidth(45);
  EXPECT_EQ(B->Width(), 50);
  B->SetUseToolbarButtonSize(true);
  EXPECT_EQ(B->Width(), 45);
  B->SetGroupIndex(3);
  B->SetToolStyle(tsDropDown);
  EXPECT_EQ(B->Width(), 45 + 14);
  EXPECT_EQ(B->GroupIndex(), 0);
  Toolbar->SetButtonWidth(44);
  EXPECT_EQ(B->Width(), 44 + 14);
  // With its caption shown the button is as wide as image, caption and margins need.
  Toolbar->SetShowButtonCaptions(true);
  Toolbar->SetButtonLayout(blGlyphLeft);
  Toolbar->SetButtonWidth(10);
  TCanvas Measure;
  Measure.SetFont(B->Font());
  EXPECT_EQ(B->Width(), 16 + Measure.TextWidth("Go") + 12 + 14);
}

TEST(KvToolButton, ActionCheckedAndImageIndexDriveDownAndImage) {
  TBarsForm F;
  auto* Action = new TAction(&F.Form);
  Action->SetImageIndex(2);
  auto* B = F.Place<TKvToolButton>(Bounds(10, 10, 25, 25));
  B->SetGroupIndex(4);
  B->SetAction(Action);
  EXPECT_EQ(B->ImageIndex(), 2);
  Action->SetChecked(true);
  EXPECT_TRUE(B->Down());
  Action->SetImageIndex(3);
  EXPECT_EQ(B->ImageIndex(), 3);
  B->SetImageIndex(0);
  Action->SetImageIndex(1);
  EXPECT_EQ(B->ImageIndex(), 0);  // its own value stays
}

// ---------------------------------------------------------------------------
// Painting

namespace {

// Images: 0 normal (red), 1 down (lime), 2 hot (blue), 3 disabled (yellow), 11 pixels.
constexpr int32_t ImageSize = 11;

struct TFaceCase {
  const char* Name;
  TKvVisualStyle Style;
  bool Flat;
  bool Transparent;
  enum { Up, Hot, Pressed, Latched, Disabled } Kind;
  bool StateImages;   // DownIndex, HotIndex and DisabledIndex set
  TColor Corner;      // pixel (0, 0)
  TColor Image;       // the image's colour (the disabled grey when 0)
  int32_t Offset;     // of the image from its centred place
};

}  // namespace

TEST(KvToolButton, FaceFrameAndImagePerStateAndLook) {
  const TColor Back = clWhite;
  TColor Frame, Start, Stop;
  SelectionColorsByStyle(gcsSystem, Frame, Start, Stop);
  const TFaceCase Cases[] = {
      {"classic raised", vsClassic, false, true, TFaceCase::Up, true, clBtnHighlight, clRed, 0},
      {"classic pressed", vsClassic, false, true, TFaceCase::Pressed, true, clBtnShadow, clLime, 1},
      {"classic pressed, no down image", vsClassic, false, true, TFaceCase::Pressed, false, clBtnShadow, clRed, 1},
      {"flat quiet", vsClassic, true, true, TFaceCase::Up, true, Back, clRed, 0},
      {"opaque flat quiet", vsClassic, true, false, TFaceCase::Up, true, clBtnFace, clRed, 0},
      {"hot-track hot", vsWinXP, true, true, TFaceCase::Hot, true, clBtnHighlight, clBlue, 0},
      {"hot-track latched", vsWinXP, true, true, TFaceCase::Latched, true, clBtnShadow, clLime, 1},
      {"gradient hot", vsGradient, true, true, TFaceCase::Hot, true, Frame, clBlue, 0},
      {"gradient pressed", vsGradient, true, true, TFaceCase::Pressed, true, Frame, clLime, 0},
      {"opaque gradient hot", vsGradient, true, false, TFaceCase::Hot, true, Frame, clBlue, 0},
      {"disabled image", vsWinXP, true, true, TFaceCase::Disabled, true, Back, clYellow, 0},
      {"disabled grey", vsWinXP, true, true, TFaceCase::Disabled, false, Back, 0, 0},
  };
  for (const TFaceCase& C : Cases) {
    TBarsForm F;
    auto* B = F.Place<TKvToolButton>(Bounds(10, 10, 25, 25));
    B->SetImages(SolidImages(&F.Form, ImageSize, {clRed, clLime, clBlue, clYellow}));
    B->SetImageIndex(0);
    if (C.StateImages) {
      B->SetDownIndex(1);
      B->SetHotIndex(2);
      B->SetDisabledIndex(3);
    }
    B->SetVisualStyle(C.Style);
    B->SetFlat(C.Flat);
    B->SetTransparent(C.Transparent);
    B->SetColor(clBtnFace);
    if (C.Kind == TFaceCase::Hot) B->Perform(CM_MOUSEENTER);
    if (C.Kind == TFaceCase::Pressed) MousePress(B, 3, 3);
    if (C.Kind == TFaceCase::Latched) {
      B->SetGroupIndex(1);
      B->SetDown(true);
    }
    if (C.Kind == TFaceCase::Disabled) B->SetEnabled(false);
    const QImage I = Render(B, Back);
    if (C.Kind == TFaceCase::Pressed) MouseRelease(B, 3, 3);
    EXPECT_EQ(PixelAt(I, 0, 0), ColorToRGB(C.Corner)) << C.Name;
    // Centred in the client area less 2 pixels, pushed in by one when down.
    const int32_t At = 2 + (21 - ImageSize) / 2 + C.Offset;
    const TColor Expected = C.Image ? C.Image : PixelAt(I, At + 5, At + 5);
    EXPECT_EQ(ColorBounds(I, Expected), Bounds(At, At, ImageSize, ImageSize)) << C.Name;
    if (!C.Image) {
      EXPECT_EQ(GetRValue(Expected), GetBValue(Expected)) << "a grey " << C.Name;
    }
    if (C.Style == vsGradient && C.Kind != TFaceCase::Up) {
      // The selection gradient runs across: its end colours at the inner edges.
      const bool Reversed = C.Kind == TFaceCase::Pressed;
      EXPECT_EQ(PixelAt(I, 1, 12), ColorToRGB(Reversed ? Stop : Start)) << C.Name;
      EXPECT_EQ(PixelAt(I, 23, 12), ColorToRGB(Reversed ? Start : Stop)) << C.Name;
    }
  }
}

TEST(KvToolButton, LatchedClassicButtonShowsTheDownPattern) {
  TBarsForm F;
  auto* B = F.Place<TKvToolButton>(Bounds(10, 10, 25, 25));
  B->SetVisualStyle(vsClassic);
  B->SetGroupIndex(1);
  B->SetDown(true);
  for (bool Transparent : {true, false}) {
    B->SetTransparent(Transparent);
    const QImage I = Render(B);
    const TColor Fore = Transparent ? TColor(clBtnHighlight) : BrightenColor(clBtnFace, 20);
    // Inside the lowered frame, a checkerboard from the control's origin.
    EXPECT_EQ(PixelAt(I, 2, 2), ColorToRGB(Fore)) << Transparent;
    EXPECT_EQ(PixelAt(I, 3, 2), ColorToRGB(clBtnFace)) << Transparent;
    EXPECT_EQ(PixelAt(I, 0, 0), ColorToRGB(clBtnShadow)) << Transparent;
  }
}

TEST(KvToolButton, ImageAndCaptionLayoutsAndAlignment) {
  struct TCase {
    TButtonLayout Layout;
    TAlignment Alignment;
    // Where the caption lies from the image: -1 before it, 1 after it, across the layout axis.
    int32_t Side;
    bool Vertical;
  };
  const TCase Cases[] = {{blGlyphLeft, taCenter, 1, false},   {blGlyphRight, taCenter, -1, false},
                         {blGlyphTop, taCenter, 1, true},     {blGlyphBottom, taCenter, -1, true},
                         {blGlyphLeft, taLeftJustify, 1, false}, {blGlyphRight, taLeftJustify, -1, false},
                         {blGlyphRight, taRightJustify, -1, false}};
  for (const TCase& C : Cases) {
    TBarsForm F;
    auto* B = F.Place<TKvToolButton>(Bounds(10, 10, 120, 60));
    B->SetImages(SolidImages(&F.Form, ImageSize, {clRed}));
    B->SetImageIndex(0);
    B->SetShowCaption(true);
    B->SetCaption("Caption");
    B->Font()->SetColor(clBlue);
    B->SetLayout(C.Layout);
    B->SetAlignment(C.Alignment);
    const QImage I = Render(B);
    const TRect Image = ColorBounds(I, clRed), Text = ColorBounds(I, clBlue);
    ASSERT_FALSE(IsRectEmpty(Text)) << C.Layout;
    if (C.Vertical)
      EXPECT_TRUE(C.Side > 0 ? Text.Top >= Image.Bottom + 4 : Text.Bottom + 4 <= Image.Top) << C.Layout;
    else
      EXPECT_TRUE(C.Side > 0 ? Text.Left >= Image.Right + 4 : Text.Right + 4 <= Image.Left) << C.Layout;
    // Image and caption as one block: at 4 pixels from the edge when justified, else centred.
    const int32_t Left = std::min(Image.Left, Text.Left), Right = std::max(Image.Right, Text.Right);
    const int32_t Off = C.Alignment == taLeftJustify    ? Left - 4
                        : C.Alignment == taRightJustify ? Right - (120 - 4)
                                                        : (Left + Right - 120) / 2;
    EXPECT_LE(std::abs(Off), 1) << C.Layout << " " << C.Alignment;
  }
}
