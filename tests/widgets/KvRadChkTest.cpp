// Check boxes and radio buttons: sibling unchecking, checking by keyboard focus only,
// read-only, the three-state cycle, the space bar, Enter as Tab and linked actions
// under real input; the glyph per look and state, custom glyph cells, soft edges over
// the parent and the focus rectangle by pixel facts.
#include "tests/widgets/WidgetTest.h"

#include <gtest/gtest.h>

#include <QApplication>

#include "platform/gui/ActnList.h"
#include "platform/gui/ExtCtrls.h"
#include "widgets/KvRadChk.h"

using namespace widgettest;
using namespace testsupport;

namespace {

// Radio buttons and check boxes keep their glyph 2 pixels from the top (caption right).
constexpr int32_t GlyphTop = 2;

template <class T>
std::vector<bool> CheckedOf(std::initializer_list<T*> Buttons) {
  std::vector<bool> Result;
  for (T* B : Buttons) Result.push_back(B->Checked());
  return Result;
}

}  // namespace

TEST(KvRadioButton, CheckingOneUnchecksTheOthersOnTheSameParentOnly) {
  TInputForm F;
  auto* R1 = F.Add<TKvRadioButton>(Bounds(10, 10, 100, 17), "One");
  auto* R2 = F.Add<TKvRadioButton>(Bounds(10, 30, 100, 17), "Two");
  auto* R3 = F.Add<TKvRadioButton>(Bounds(10, 50, 100, 17), "Three");
  auto* Panel = F.Add<TPanel>(Bounds(150, 10, 150, 60));
  auto* P1 = F.Add<TKvRadioButton>(Bounds(5, 5, 100, 17), "Four", Panel);
  auto* P2 = F.Add<TKvRadioButton>(Bounds(5, 25, 100, 17), "Five", Panel);
  int Clicks = 0;
  for (TKvRadioButton* R : {R1, R2, R3}) R->OnClick = [&](TComponent*) { ++Clicks; };
  F.Show();
  R1->SetChecked(true);  // as a click does, setting it clicks
  P1->SetChecked(true);
  EXPECT_EQ(Clicks, 1);
  MouseClick(R3, 5, 5);
  MouseClick(R3, 5, 5);  // already checked: no second click
  EXPECT_EQ(Clicks, 2);
  EXPECT_EQ(CheckedOf({R1, R2, R3, P1, P2}), (std::vector<bool>{false, false, true, true, false}));
  // Only the checked button of a group is a tab stop.
  EXPECT_EQ((std::vector<bool>{R1->TabStop(), R3->TabStop()}), (std::vector<bool>{false, true}));
  EXPECT_EQ(R3->Perform(BM_GETCHECK), 1);
}

TEST(KvRadioButton, FocusFromTheKeyboardChecksItAMouseFocusDoesNotAndReadOnlyRefusesBoth) {
  TInputForm F;
  auto* Box = F.Add<TKvCheckBox>(Bounds(10, 10, 100, 17), "Box");
  auto* R1 = F.Add<TKvRadioButton>(Bounds(10, 30, 100, 17), "One");
  auto* R2 = F.Add<TKvRadioButton>(Bounds(10, 50, 100, 17), "Two");
  auto* R3 = F.Add<TKvRadioButton>(Bounds(10, 70, 100, 17), "&Third");
  R1->SetChecked(true);
  F.Show();
  ASSERT_TRUE(Box->Focused());
  KeyClick(Qt::Key_Tab);  // to the checked one
  EXPECT_TRUE(R1->Focused());
  KeyClick(Qt::Key_Down);
  EXPECT_TRUE(R2->Focused());
  EXPECT_EQ(CheckedOf({R1, R2, R3}), (std::vector<bool>{false, true, false}));
  MousePress(R3, 5, 5);
  EXPECT_TRUE(R3->Focused());
  MouseMove(R3, 5, -30);
  MouseRelease(R3, 5, -30);
  EXPECT_EQ(CheckedOf({R1, R2, R3}), (std::vector<bool>{false, true, false}));
  Box->SetFocus();
  KeyClick('t', Qt::AltModifier);  // the accelerator focuses, the focus checks
  EXPECT_EQ(CheckedOf({R1, R2, R3}), (std::vector<bool>{false, false, true}));
  // Read-only spreads to the siblings; then neither focus nor click checks.
  R1->SetReadOnly(true);
  EXPECT_TRUE(R2->ReadOnly() && R3->ReadOnly());
  EXPECT_FALSE(Box->ReadOnly());
  KeyClick(Qt::Key_Up);
  EXPECT_TRUE(R2->Focused());
  MouseClick(R1, 5, 5);
  EXPECT_EQ(CheckedOf({R1, R2, R3}), (std::vector<bool>{false, false, true}));
}

TEST(KvCheckBox, ClicksCycleThroughTheStates) {
  for (const bool AllowGrayed : {false, true}) {
    TInputForm F;
    auto* Box = F.Add<TKvCheckBox>(Bounds(10, 10, 100, 17), "Box");
    Box->SetAllowGrayed(AllowGrayed);
    int Clicks = 0;
    Box->OnClick = [&](TComponent*) { ++Clicks; };
    F.Show();
    std::vector<intptr_t> States;
    for (int I = 0; I < 3; ++I) {
      MouseClick(Box, 5, 5);
      States.push_back(Box->Perform(BM_GETCHECK));
    }
    const std::vector<intptr_t> Expected = AllowGrayed ? std::vector<intptr_t>{cbGrayed, cbChecked, cbUnchecked}
                                                       : std::vector<intptr_t>{cbChecked, cbUnchecked, cbChecked};
    EXPECT_EQ(States, Expected);
    EXPECT_EQ(Clicks, 3);
  }
}

TEST(KvCheckBox, SpaceTogglesOnReleaseEscapeDropsThePressAndReadOnlyRefusesInput) {
  TInputForm F;
  auto* Box = F.Add<TKvCheckBox>(Bounds(10, 10, 100, 17), "Box");
  auto* Next = F.Add<TKvCheckBox>(Bounds(10, 30, 100, 17), "Next");
  F.Show();
  Box->SetFocus();
  QTest::keyPress(Box->Host(), Qt::Key_Space);
  EXPECT_FALSE(Box->Checked());
  QTest::keyRelease(Box->Host(), Qt::Key_Space);
  EXPECT_TRUE(Box->Checked());
  QTest::keyPress(Box->Host(), Qt::Key_Space);
  KeyClick(Qt::Key_Escape);
  QTest::keyRelease(Box->Host(), Qt::Key_Space);
  EXPECT_TRUE(Box->Checked());
  Box->SetReadOnly(true);
  KeyClick(Qt::Key_Space);
  MouseClick(Box, 5, 5);
  EXPECT_TRUE(Box->Checked());
  Box->SetChecked(false);  // the program still may
  EXPECT_FALSE(Box->Checked());
  // Enter as Tab.
  Box->SetTabOnEnter(true);
  KeyClick(Qt::Key_Return);
  Application->ProcessMessages();
  EXPECT_TRUE(Next->Focused());
}

TEST(KvCheckBox, ALinkedActionChangesTheStateWithoutAClick) {
  TForm Form(nullptr);
  auto* Box = new TKvCheckBox(&Form);
  auto* Radio = new TKvRadioButton(&Form);
  Box->SetParent(&Form);
  Radio->SetParent(&Form);
  int Clicks = 0;
  Box->OnClick = Radio->OnClick = [&](TComponent*) { ++Clicks; };
  TAction BoxAction(nullptr), RadioAction(nullptr);
  BoxAction.SetChecked(true);
  Box->SetAction(&BoxAction);
  Radio->SetAction(&RadioAction);
  EXPECT_TRUE(Box->Checked());
  RadioAction.SetChecked(true);
  BoxAction.SetChecked(false);
  EXPECT_TRUE(Radio->Checked());
  EXPECT_FALSE(Box->Checked());
  EXPECT_EQ(Clicks, 0);
  Box->SetChecked(true);
  EXPECT_EQ(Clicks, 1);
  Box->SetAction(nullptr);
  Radio->SetAction(nullptr);
}

TEST(KvCheckBox, AVisibleFrameControllerGivesTheHotTrackLookInItsColoursAsAdmitted) {
  TForm Form(nullptr);
  auto* Controller = new TKvFrameController(&Form);
  Controller->SetColor(clYellow);
  Controller->SetFrameColor(clNavy);
  Controller->SetFrameHotColor(clRed);
  Controller->SetFrameHotTrack(true);
  auto* All = new TKvCheckBox(&Form);
  auto* NoColor = new TKvCheckBox(&Form);
  NoColor->SetFrameControllerNotifications(fcnAll & ~NotificationBit(fcpColor));
  Controller->SetFrameVisible(false);
  All->SetFrameController(Controller);
  EXPECT_FALSE(All->HotTrack());  // an invisible frame gives nothing
  Controller->SetFrameVisible(true);
  NoColor->SetFrameController(Controller);
  for (TKvCheckBox* B : {All, NoColor}) {
    EXPECT_TRUE(B->HotTrack());
    EXPECT_EQ(B->FrameColor(), TColor(clNavy));
    EXPECT_EQ(B->HotTrackStyle(), htsFrame);
    EXPECT_EQ(B->HotTrackColor(), TColor(clRed));
  }
  EXPECT_EQ(All->FillColor(), TColor(clYellow));
  EXPECT_EQ(NoColor->FillColor(), TColor(clWindow));
}

TEST(KvGlyphButtonPaint, GlyphPerLookAndState) {
  struct TCase {
    bool Radio, HotTrack;
    int32_t State;  // check box: TCheckBoxState; radio button: 1 checked
    bool Enabled, ReadOnly;
    TPoint At;  // in the 13 x 13 glyph
    TColor Expected;
  } Cases[] = {
      // Classic: the sunken box and its tick, grayed and disabled in the face colour.
      {false, false, cbChecked, true, false, {3, 5}, clWindowText},
      {false, false, cbChecked, true, false, {2, 2}, clWindow},
      {false, false, cbChecked, true, false, {0, 0}, clBtnShadow},
      {false, false, cbChecked, true, false, {12, 12}, clBtnHighlight},
      {false, false, cbGrayed, true, false, {3, 5}, clBtnShadow},
      {false, false, cbGrayed, true, false, {2, 2}, clBtnFace},
      {false, false, cbUnchecked, false, false, {2, 2}, clBtnFace},
      // Classic: the sunken circle and its dot.
      {true, false, 1, true, false, {6, 6}, clWindowText},
      {true, false, 1, true, false, {6, 3}, clWindow},
      {true, false, 1, true, false, {6, 0}, clBtnShadow},
      {true, false, 1, true, false, {6, 12}, clBtnHighlight},
      {true, false, 1, false, false, {6, 6}, clBtnShadow},
      {true, false, 0, false, false, {6, 3}, clBtnFace},
      // Hot-track: frame, fill, mark in the highlight colour; disabled and read-only fills.
      {false, true, cbChecked, true, false, {3, 5}, clHighlight},
      {false, true, cbChecked, true, false, {2, 2}, clWindow},
      {false, true, cbChecked, true, false, {0, 0}, clBtnShadow},
      {false, true, cbUnchecked, false, false, {2, 2}, clBtnFace},
      {false, true, cbUnchecked, true, true, {2, 2}, clInfoBk},
      {true, true, 1, true, false, {6, 6}, clHighlight},
  };
  for (const TCase& C : Cases) {
    TForm Form(nullptr);
    TKvCustomGlyphButton* B = C.Radio ? static_cast<TKvCustomGlyphButton*>(new TKvRadioButton(&Form))
                                      : static_cast<TKvCustomGlyphButton*>(new TKvCheckBox(&Form));
    B->SetParent(&Form);
    B->SetBounds(0, 0, 100, 17);
    B->SetHotTrack(C.HotTrack);
    if (auto* Box = dynamic_cast<TKvCheckBox*>(B))
      Box->SetState(TCheckBoxState(C.State));
    else
      B->SetChecked(C.State == 1);
    B->SetEnabled(C.Enabled);
    B->SetReadOnly(C.ReadOnly);
    EXPECT_EQ(PixelAt(Render(B), C.At.X, GlyphTop + C.At.Y), RGBOf(C.Expected))
        << (C.Radio ? "radio" : "check") << (C.HotTrack ? " hot" : " classic") << " state " << C.State << " at "
        << C.At.X << "," << C.At.Y;
  }
}

TEST(KvGlyphButtonPaint, CustomGlyphCellFollowsTheState) {
  const TColor Palette[] = {RGB(200, 0, 0),   RGB(0, 0, 200),   RGB(0, 150, 0),  RGB(200, 200, 0), RGB(200, 0, 200),
                            RGB(0, 200, 200), RGB(100, 50, 0), RGB(50, 0, 100), RGB(0, 100, 50)};
  struct TCase {
    bool Radio;
    int32_t State;
    bool Enabled, Pressed;
    int32_t Cell;
  } Cases[] = {
      {true, 0, true, false, 0},  {true, 1, true, false, 1},         {true, 0, true, true, 2},
      {true, 1, true, true, 3},   {true, 0, false, false, 4},        {true, 1, false, false, 5},
      {false, cbGrayed, true, false, 2}, {false, cbUnchecked, true, true, 3}, {false, cbChecked, true, true, 4},
      {false, cbGrayed, false, false, 8},
  };
  constexpr int32_t Size = 10;
  for (const TCase& C : Cases) {
    TInputForm F;
    const TRect Where = Bounds(10, 10, 100, 17);
    TKvCustomGlyphButton* B = C.Radio ? static_cast<TKvCustomGlyphButton*>(F.Add<TKvRadioButton>(Where))
                                      : static_cast<TKvCustomGlyphButton*>(F.Add<TKvCheckBox>(Where));
    const int32_t Cells = C.Radio ? 6 : 9;
    TBitmap Strip(Cells * Size, Size);
    for (int32_t K = 0; K < Cells; ++K) {
      Strip.Canvas()->Brush()->SetColor(Palette[K]);
      Strip.Canvas()->FillRect(Bounds(K * Size, 0, Size, Size));
    }
    B->SetCustomGlyphs(&Strip);
    EXPECT_TRUE(B->UseCustomGlyphs());
    if (auto* Box = dynamic_cast<TKvCheckBox*>(B))
      Box->SetState(TCheckBoxState(C.State));
    else
      B->SetChecked(C.State == 1);
    B->SetEnabled(C.Enabled);
    F.Show();
    if (C.Pressed) MousePress(B, 50, 5);
    const TColor Seen = PixelAt(Render(B), Size / 2, GlyphTop + Size / 2);
    if (C.Pressed) MouseRelease(B, 50, -30);
    EXPECT_EQ(Seen, Palette[C.Cell]) << (C.Radio ? "radio" : "check") << " state " << C.State;
  }
}

TEST(KvGlyphButtonPaint, TransparentRadioButtonsSoftenTheCircleIntoTheParent) {
  const TColor Back = RGB(120, 170, 230);
  struct TCase {
    bool HotTrack, Transparent;
    TPoint At;
    TColor Expected;
  } Cases[] = {
      {false, true, {3, 0}, MixColors(clBtnShadow, Back, 40)},  {true, true, {3, 0}, MixColors(clBtnShadow, Back, 40)},
      {true, true, {4, 0}, MixColors(clBtnShadow, Back, 128)},  {false, false, {3, 0}, clYellow},
      {true, false, {1, 0}, clYellow},
  };
  for (const TCase& C : Cases) {
    TForm Form(nullptr);
    auto* Panel = new TPanel(&Form);
    Panel->SetParent(&Form);
    Panel->SetBounds(0, 0, 200, 100);
    Panel->SetColor(Back);
    auto* R = new TKvRadioButton(&Form);
    R->SetParent(Panel);
    R->SetBounds(10, 10, 100, 17);
    R->SetColor(clYellow);
    R->SetHotTrack(C.HotTrack);
    R->SetTransparent(C.Transparent);
    const QImage I = Render(R);
    EXPECT_EQ(PixelAt(I, C.At.X, GlyphTop + C.At.Y), RGBOf(C.Expected)) << C.HotTrack << C.Transparent;
    EXPECT_EQ(PixelAt(I, 99, 16), C.Transparent ? Back : TColor(clYellow));
  }
}

TEST(KvGlyphButtonPaint, FocusRectangleSurroundsTheCaptionText) {
  TInputForm F;
  auto* Elsewhere = F.Add<TKvCheckBox>(Bounds(10, 40, 120, 17), "Elsewhere");
  auto* Box = F.Add<TKvCheckBox>(Bounds(10, 10, 120, 17), "Check");
  Box->Font()->SetColor(clRed);
  F.Show();
  ASSERT_TRUE(Elsewhere->Focused());
  EXPECT_EQ(BoundsIn(Render(Box), clBlack, Rect(14, 0, 120, 17)), TRect{});
  Box->SetFocus();
  TCanvas Measure;
  Measure.SetFont(Box->Font());
  // The caption's room starts after the glyph and a gap of 4, inside a 1-pixel margin.
  const int32_t Left = 1 + 13 + 4 - 1;
  const TRect Focus = Rect(Left, 0, Left + Measure.TextWidth("Check") + 3, 17);
  EXPECT_EQ(BoundsIn(Render(Box), clBlack, Rect(14, 0, 120, 17)), Focus);
}
