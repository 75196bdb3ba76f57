// Toolbars: rows, columns and wrapping, the layout order, sizing to the content, text
// option presets, the automatic divider, and the overflow button whose popup copies
// click their originals once.
#include "tests/widgets/BarsTest.h"

#include <gtest/gtest.h>

#include <vector>

#include "widgets/KvPanel.h"
#include "widgets/KvPopups.h"
#include "widgets/KvToolBtn.h"

using namespace barstest;
using testsupport::MouseClick;

namespace {

TKvToolbar* MakeToolbar(TBarsForm& F, TRect Bounds) {
  auto* T = F.Place<TKvToolbar>(Bounds);
  T->SetAlign(alNone);
  T->SetBoundsRect(Bounds);
  return T;
}

std::vector<TKvToolButton*> AddButtons(TBarsForm& F, TKvToolbar* T, int32_t Count) {
  std::vector<TKvToolButton*> Buttons;
  for (int32_t I = 0; I < Count; ++I) {
    auto* B = new TKvToolButton(&F.Form);
    B->SetImageIndex(I);
    B->SetParent(T);
    Buttons.push_back(B);
  }
  return Buttons;
}

std::vector<TPoint> Positions(const std::vector<TKvToolButton*>& Buttons) {
  std::vector<TPoint> P;
  for (TKvToolButton* B : Buttons) P.push_back(B->Visible() ? Point(B->Left(), B->Top()) : Point(-1, -1));
  return P;
}

}  // namespace

TEST(KvToolbar, RowsColumnsAndWrapping) {
  struct TCase {
    const char* Name;
    TOrientation Orientation;
    bool Wrap;
    bool AutoResize;
    TAlign Align;
    bool RightToLeft;
    int32_t Hidden;  // index of a hidden button, or -1
    std::vector<TPoint> Expected;
    TSize Size;  // of the toolbar afterwards
  };
  // Five 25 x 25 buttons on a 100 x 100 toolbar: margin 4, top margin 2, rows of 25.
  const TCase Cases[] = {
      {"rows", orHorizontal, true, true, alNone, false, -1, {{4, 2}, {29, 2}, {54, 2}, {4, 27}, {29, 27}}, {100, 54}},
      {"one row", orHorizontal, false, true, alNone, false, -1, {{4, 2}, {29, 2}, {54, 2}, {79, 2}, {104, 2}}, {100, 29}},
      {"right to left", orHorizontal, true, true, alNone, true, -1, {{71, 2}, {46, 2}, {21, 2}, {71, 27}, {46, 27}}, {100, 54}},
      {"hidden skipped", orHorizontal, true, true, alNone, false, 1, {{4, 2}, {-1, -1}, {29, 2}, {54, 2}, {4, 27}}, {100, 54}},
      {"columns", orVertical, true, false, alNone, false, -1, {{4, 4}, {4, 29}, {4, 54}, {29, 4}, {29, 29}}, {100, 100}},
      {"sized to its column", orVertical, true, true, alNone, false, -1, {{4, 4}, {4, 29}, {4, 54}, {4, 79}, {4, 104}}, {100, 133}},
      {"left column", orVertical, true, true, alLeft, false, -1, {{4, 4}, {4, 29}, {4, 54}, {4, 79}, {4, 104}}, {29, 300}},
  };
  for (const TCase& C : Cases) {
    TBarsForm F;
    auto* T = MakeToolbar(F, Bounds(0, 0, 100, 100));
    T->SetAutoResize(C.AutoResize);
    T->SetBounds(0, 0, 100, 100);
    T->SetOrientation(C.Orientation);
    T->SetWrapControls(C.Wrap);
    if (C.RightToLeft) T->SetBiDiMode(bdRightToLeft);
    std::vector<TKvToolButton*> B = AddButtons(F, T, 5);
    if (C.Hidden >= 0) B[static_cast<size_t>(C.Hidden)]->Hide();
    T->SetAlign(C.Align);
    EXPECT_EQ(Positions(B), C.Expected) << C.Name;
    EXPECT_EQ(TSize(T->Width(), T->Height()), C.Size) << C.Name;
  }
}

TEST(KvToolbar, OverflowButtonShowsWhenTheLastControlPassesTheMargin) {
  TBarsForm F;
  auto* T = MakeToolbar(F, Bounds(0, 0, 132, 30));
  T->SetWrapControls(false);
  AddButtons(F, T, 5);  // the last one ends at 4 + 5 * 25 = 129
  ASSERT_TRUE(T->OverflowShown());
  EXPECT_EQ(T->OverflowButton()->BoundsRect(), Bounds(132 - 14, 0, 14, 29));
  EXPECT_TRUE(T->OverflowButton()->Visible());
  EXPECT_EQ(T->ToolbarControlCount(), 5);  // the overflow button is not one of them
  T->SetWidth(133);
  EXPECT_FALSE(T->OverflowShown());
  EXPECT_FALSE(T->OverflowButton()->Visible());
  T->SetWidth(60);
  EXPECT_TRUE(T->OverflowButton()->Visible());
  T->SetWrapControls(true);
  EXPECT_FALSE(T->OverflowButton()->Visible());
}

TEST(KvToolbar, AResizeRepaintsTheOverflowButtonsStrip) {
  // Without its own full repaint, a captioned toolbar repaints a strip at its right end:
  // wide enough for the overflow button while that shows.
  const struct {
    int32_t Buttons;
    TRect Painted;  // after the toolbar narrows from 132 to 120
  } Cases[] = {{5, Rect(120 - 15, 0, 120, 29)}, {2, Rect(120 - 1, 0, 120, 29)}};
  for (const auto& C : Cases) {
    TBarsForm F;
    auto* T = MakeToolbar(F, Bounds(0, 0, 132, 30));
    T->SetWrapControls(false);
    T->SetCaption("Player");
    AddButtons(F, T, C.Buttons);
    T->Update();
    testsupport::TPaintCounter Paints({T});
    T->SetWidth(120);
    T->Update();
    EXPECT_EQ(T->OverflowShown(), C.Buttons == 5);
    EXPECT_EQ(Paints.Painted(T), C.Painted) << C.Buttons;
  }
}

TEST(KvToolbar, NeverAutoResizesOnAPageScrollerOrAClassLibraryToolbar) {
  struct TToolBar : TCustomPanel {
    using TCustomPanel::TCustomPanel;
  };
  struct TPageScroller : TCustomPanel {
    using TCustomPanel::TCustomPanel;
  };
  TBarsForm F;
  TWinControl* Parents[] = {F.Place<TToolBar>(Bounds(0, 0, 200, 100)),
                            F.Place<TPageScroller>(Bounds(0, 100, 200, 100)),
                            F.Place<TKvPanel>(Bounds(0, 200, 200, 100))};
  for (TWinControl* Parent : Parents) {
    const bool Sizes = dynamic_cast<TKvPanel*>(Parent) != nullptr;
    auto* T = F.Place<TKvToolbar>(Bounds(0, 0, 200, 60), Parent);
    EXPECT_EQ(T->AutoResize(), Sizes);
    T->SetAutoResize(true);
    EXPECT_EQ(T->AutoResize(), Sizes);
    AddButtons(F, T, 2);
    EXPECT_EQ(T->Height(), Sizes ? 29 : 60);
  }
}

TEST(KvToolbar, ButtonLayoutReachesTheButtonsThatFollowTheToolbar) {
  TBarsForm F;
  auto* T = MakeToolbar(F, Bounds(0, 0, 300, 30));
  std::vector<TKvToolButton*> B = AddButtons(F, T, 2);
  B[1]->SetLayout(blGlyphRight);
  // Taking one layout leaves a button following the toolbar for the next.
  for (TButtonLayout Layout : {blGlyphBottom, blGlyphTop}) {
    T->SetButtonLayout(Layout);
    EXPECT_EQ(B[0]->Layout(), Layout);
    EXPECT_EQ(B[1]->Layout(), blGlyphRight);
  }
}

TEST(KvToolbar, ControlsKeepTheOrderTheyCameInAndLeaveTheirPlace) {
  TBarsForm F;
  BeginLoading(&F.Form);
  auto* T = MakeToolbar(F, Bounds(0, 0, 300, 30));
  // A windowed control first: the class library lists graphic children before it.
  auto* Panel = F.Place<TKvPanel>(Bounds(0, 0, 30, 25), T);
  std::vector<TKvToolButton*> B = AddButtons(F, T, 2);
  EndLoading(&F.Form);
  EXPECT_EQ(T->ToolbarControls(0), Panel);
  EXPECT_EQ(Panel->Left(), 4);
  EXPECT_EQ(B[1]->Left(), 4 + 30 + 25);
  auto* Later = AddButtons(F, T, 1)[0];
  EXPECT_EQ(T->ToolbarControls(3), Later);
  EXPECT_EQ(Later->Left(), 4 + 30 + 50);
  B[0]->Free();
  EXPECT_EQ(T->ToolbarControlCount(), 3);
  EXPECT_EQ(Later->Left(), 4 + 30 + 25);
}

TEST(KvToolbar, TextOptionPresetsUntilAButtonSettingIsMade) {
  struct TCase {
    TKvToolbarTextOptions Options;
    TOrientation Orientation;
    TButtonLayout Layout;
    TSize Button;
    bool Captions;
    int32_t RowHeight;
  };
  const TCase Cases[] = {
      {ttoShowTextLabels, orHorizontal, blGlyphTop, {60, 40}, true, 40},
      {ttoShowTextLabels, orVertical, blGlyphTop, {60, 40}, true, 60},
      {ttoSelectiveTextOnRight, orHorizontal, blGlyphLeft, {60, 25}, true, 25},
      {ttoNoTextLabels, orVertical, blGlyphLeft, {25, 25}, false, 25},
  };
  for (const TCase& C : Cases) {
    TBarsForm F;
    auto* T = MakeToolbar(F, Bounds(0, 0, 300, 30));
    T->SetOrientation(C.Orientation);
    T->SetTextOptions(ttoSelectiveTextOnRight);
    T->SetTextOptions(C.Options);
    TKvToolButton* B = AddButtons(F, T, 1)[0];
    B->SetCaption("x");
    EXPECT_EQ(T->ButtonLayout(), C.Layout) << C.Options;
    EXPECT_EQ(B->Layout(), C.Layout) << C.Options;
    EXPECT_EQ(B->ShowCaption(), C.Captions) << C.Options;
    EXPECT_EQ(TSize(B->Width(), B->Height()), C.Button) << C.Options;
    EXPECT_EQ(T->RowHeight(), C.RowHeight) << C.Options;
    EXPECT_EQ(T->TextOptions(), C.Options);
    T->SetButtonWidth(70);
    EXPECT_EQ(T->TextOptions(), ttoCustom);
    EXPECT_EQ(B->Width(), 70);
  }
}

TEST(KvToolbar, AutomaticDividerFollowsTheAlignmentUntilABorderIsSet) {
  TBarsForm F;
  auto* T = F.Place<TKvToolbar>(Bounds(0, 0, 100, 30));
  const std::pair<TAlign, TSides> Sides[] = {{alBottom, sdsBottom}, {alLeft, sdsLeft}, {alRight, sdsRight}, {alTop, sdsTop}};
  for (const auto& [Align, Side] : Sides) {
    T->SetAlign(Align);
    EXPECT_EQ(T->BorderSides(), Side) << Align;
    EXPECT_EQ(T->BorderOuter(), fsGroove);
  }
  T->SetShowDivider(false);
  EXPECT_EQ(T->BorderOuter(), fsNone);
  EXPECT_TRUE(T->AutoStyle());
  T->SetBorderSides(sdsAll);
  EXPECT_FALSE(T->AutoStyle());
  T->SetAlign(alBottom);
  EXPECT_EQ(T->BorderSides(), sdsAll);
}

TEST(KvToolbar, OverflowPopupCopiesClickTheirOriginalOnce) {
  TBarsForm F;
  auto* T = MakeToolbar(F, Bounds(10, 10, 100, 30));
  T->SetWrapControls(false);
  T->SetImages(SolidImages(&F.Form, 16, {clRed, clLime, clBlue, clYellow, clNavy}));
  std::vector<TKvToolButton*> B = AddButtons(F, T, 5);
  TClicks Clicks[5];
  for (size_t I = 0; I < B.size(); ++I) B[I]->OnClick = Clicks[I].Handler();
  B[4]->SetEnabled(false);
  TKvToolbarPopupButton* Chevron = T->OverflowButton();
  ASSERT_NE(Chevron, nullptr);
  // The buttons passing 100 - 4 (the fourth ends at 104, the fifth at 129) are copied,
  // in a toolbar of their own below the chevron.
  std::vector<int32_t> Copied;
  auto Window = [Chevron]() -> TWinControl* {
    TKvPopupPanel* Panel = Chevron->PopupPanel();
    return Panel ? Panel->PopupWindow() : nullptr;
  };
  const TInsidePopup During(Window, [&] {
    auto* Inner = dynamic_cast<TKvToolbar*>(Window()->Controls(0));
    ASSERT_NE(Inner, nullptr);
    for (int32_t I = 0; I < Inner->ToolbarControlCount(); ++I) {
      auto* Copy = static_cast<TKvToolButton*>(Inner->ToolbarControls(I));
      Copied.push_back(Copy->ImageIndex());
      EXPECT_EQ(Copy->Enabled(), B[static_cast<size_t>(Copy->ImageIndex())]->Enabled());
    }
    EXPECT_EQ(Window()->Top(), Chevron->ClientOrigin().Y + Chevron->Height());
    MouseClick(Inner->ToolbarControls(0), 5, 5);
  });
  MouseClick(Chevron, 5, 5);
  EXPECT_EQ(Copied, (std::vector<int32_t>{3, 4}));
  EXPECT_EQ(Chevron->PopupPanel(), nullptr);
  for (int32_t I = 0; I < 5; ++I) EXPECT_EQ(Clicks[I].Count, I == 3 ? 1 : 0) << I;
  // A click outside closes the popup and reaches nothing.
  const TInsidePopup Outside(Window, [&] { MouseClick(B[0], 5, 5); });
  MouseClick(Chevron, 5, 5);
  EXPECT_EQ(Chevron->PopupPanel(), nullptr);
  EXPECT_EQ(Clicks[0].Count, 0);
  EXPECT_EQ(Clicks[3].Count, 1);
}
