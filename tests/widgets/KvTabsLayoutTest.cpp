// Tab control layout: strip, cards and tabs on every strip in both sequences, tab sizes
// of the five shapes, rows and their rotation, hit tests where slanted tabs overlap, and
// single-row scrolling with the scroller under real mouse events and the test clock.
#include "tests/widgets/TabTest.h"

#include <gtest/gtest.h>

#include "platform/gui/ExtCtrls.h"

using namespace tabtest;

TEST(KvTabsLayout, StripCardAndTabsOnEveryStripInBothSequences) {
  // 300 x 200, tabs 80 long and 19 across: the second tab starts 72 pixels after the first.
  struct TCase {
    TKvTabOrientation Strip;
    TKvTabSequence Sequence;
    TRect StripRect, Card, Tab0, Tab1;
  };
  const TCase Cases[] = {
      {toTop, tsStandard, {0, 0, 299, 19}, {0, 19, 299, 199}, {0, 0, 80, 19}, {72, 0, 152, 19}},
      {toLeft, tsStandard, {0, 0, 19, 199}, {19, 0, 299, 199}, {0, 119, 19, 199}, {0, 47, 19, 127}},
      {toBottom, tsStandard, {0, 180, 299, 199}, {0, 0, 299, 180}, {0, 180, 80, 199}, {72, 180, 152, 199}},
      {toRight, tsStandard, {280, 0, 299, 199}, {0, 0, 280, 199}, {280, 0, 299, 80}, {280, 72, 299, 152}},
      {toTop, tsReverse, {0, 0, 299, 19}, {0, 19, 299, 199}, {219, 0, 299, 19}, {147, 0, 227, 19}},
      {toLeft, tsReverse, {0, 0, 19, 199}, {19, 0, 299, 199}, {0, 0, 19, 80}, {0, 72, 19, 152}},
      {toBottom, tsReverse, {0, 180, 299, 199}, {0, 0, 299, 180}, {219, 180, 299, 199}, {147, 180, 227, 199}},
      {toRight, tsReverse, {280, 0, 299, 199}, {0, 0, 280, 199}, {280, 119, 299, 199}, {280, 47, 299, 127}},
  };
  for (const TCase& C : Cases) {
    TTabForm F({"One", "Two"}, false);
    FixStrip(F.Tabs, C.Strip, C.Sequence);
    const std::string What = StripName(C.Strip, C.Sequence);
    EXPECT_EQ(F.Tabs->FixedDimension(), 19) << What;
    EXPECT_EQ(F.Tabs->StripRect(), C.StripRect) << What;
    EXPECT_EQ(F.Tabs->DisplayRect(), C.Card) << What;
    EXPECT_EQ(F.Tabs->TabControlRect(0), C.Tab0) << What;
    EXPECT_EQ(F.Tabs->TabControlRect(1), C.Tab1) << What;
    EXPECT_FALSE(F.Tabs->ScrollNeeded()) << What;
  }
  // Without tabs the card is the whole control.
  TTabForm Empty({}, false);
  EXPECT_EQ(Empty.Tabs->DisplayRect(), Rect(0, 0, 299, 199));
}

TEST(KvTabsLayout, PagesFillTheCardLessItsFrameAndShadow) {
  TPageForm F({"One", "Two"});
  FixTabSize(F.Pages);
  EXPECT_EQ(F.Pages->StripRect(), Rect(0, 0, 297, 19));  // the shadow takes two pixels on the right
  EXPECT_EQ(F.Sheets[0]->BoundsRect(), Rect(1, 20, 297, 197));
  F.Pages->SetShowShadow(false);
  EXPECT_EQ(F.Sheets[0]->BoundsRect(), Rect(1, 20, 299, 199));
  F.Pages->SetShowFullFrame(false);
  EXPECT_EQ(F.Sheets[0]->BoundsRect(), Rect(0, 20, 300, 200));
  F.Pages->SetShowCardFrame(false);
  F.Pages->SetTabOrientation(toLeft);
  FixTabSize(F.Pages);
  EXPECT_EQ(F.Sheets[0]->BoundsRect(), Rect(18, 0, 300, 200));
}

TEST(KvTabsLayout, TabSizesOfTheFiveShapes) {
  TCanvas Measure;
  const int32_t TextW = Measure.TextWidth("Ab"), TextH = Measure.TextHeight("Ab");
  const int32_t RoundMinimum = Measure.TextWidth("AAA");
  ASSERT_GT(RoundMinimum, TextW);  // round tabs are at least "AAA" long
  const TKvTabStyle Styles[] = {tsSingleSlant, tsDoubleSlant, tsCutCorner, tsRoundCorners, tsBackSlant};
  for (TKvTabStyle Style : Styles)
    for (TKvTabOrientation Strip : {toTop, toLeft})
      for (TOrientation Text : {orHorizontal, orVertical}) {
        TTabForm F({"Ab", "Ab"}, false);
        F.Tabs->SetTabStyle(Style);
        F.Tabs->SetTabOrientation(Strip);
        F.Tabs->SetTextOrientation(Text);
        F.Tabs->SetTabIndex(0);
        const bool H = Strip == toTop, V = Text == orVertical;
        int32_t W = V ? TextH : TextW, Ht = V ? TextW : TextH;
        W += 2;  // the image margin on the left counts without an image too
        if (Style == tsRoundCorners && !V) W = std::max(W, RoundMinimum);
        const int32_t W2 = W + 2, H2 = Ht + 2, Cut = 6;
        TSize Expected;
        switch (Style) {
          case tsSingleSlant:
          case tsBackSlant:
            Expected = H ? TSize{2 * ((Ht + 6) / 2) + W2 + 4, Ht + 6} : TSize{W + 6, 2 * ((W + 6) / 2) + H2 + 4};
            break;
          case tsDoubleSlant: Expected = H ? TSize{2 * H2 + W2 + 4, Ht + 6} : TSize{W + 6, 2 * W2 + H2 + 4}; break;
          case tsCutCorner:
            if (!V)
              Expected = H ? TSize{2 * Cut + W2 + 6, Ht + 7} : TSize{W2 + Cut + 5, Ht + 10};
            else
              Expected = H ? TSize{W + 10, H2 + Cut + 5} : TSize{W + 7, 2 * Cut + H2 + 6};
            break;
          case tsRoundCorners: Expected = V ? TSize{W2 + 4, H2 + 14} : TSize{W2 + 14, H2 + 4}; break;
        }
        const TRect R = F.Tabs->TabControlRect(1);
        const std::string What = "style " + std::to_string(Style) + " strip " + std::to_string(Strip) + " text " +
                                 std::to_string(Text);
        EXPECT_EQ(TSize(R.Width(), R.Height()), Expected) << What;
        EXPECT_EQ(F.Tabs->FixedDimension(), H ? Expected.cy : Expected.cx) << What;
      }
  // A fixed width makes every tab that long whatever its caption.
  TTabForm F({"A", "A much longer caption"}, false);
  F.Tabs->SetTabWidth(80);
  EXPECT_EQ(F.Tabs->TabControlRect(0).Width(), 80);
  EXPECT_EQ(F.Tabs->TabControlRect(1).Width(), 80);
  EXPECT_EQ(F.Tabs->TabControlRect(1).Left, 72);
}

TEST(KvTabsLayout, RowsAreCountedAlignedAndTurnedToTheCard) {
  // Eight tabs of 80 on a 300-pixel strip: each row is 5 pixels shorter than the one
  // before it, so three tabs fit a row and three rows are needed.
  TTabForm F({"1", "2", "3", "4", "5", "6", "7", "8"}, false);
  FixTabSize(F.Tabs);
  F.Tabs->SetShowShadow(false);
  F.Tabs->SetMultiLine(true);
  F.Tabs->SetTabIndex(0);
  ASSERT_EQ(F.Tabs->RowCount(), 3);
  EXPECT_EQ(F.Tabs->StripRect(), Rect(0, 0, 299, 19 + 2 * 14));
  const int32_t Rows[] = {0, 0, 0, 1, 1, 1, 2, 2};
  for (int32_t I = 0; I < 8; ++I) EXPECT_EQ(F.Tabs->Tab(I)->Row, Rows[I]) << I;
  // Row 2 lies furthest out and is indented most; its card starts under it.
  EXPECT_EQ(F.Tabs->TabControlRect(6), Rect(10, 0, 90, 19));
  EXPECT_EQ(F.Tabs->CardRect(2), Rect(10, 19, 299, 171));
  EXPECT_EQ(F.Tabs->CardRect(0), Rect(0, 47, 289, 199));
  // Selecting a tab of row 1 brings its row next to the card; the others follow in turn.
  F.Tabs->SetTabIndex(4);
  const int32_t Turned[] = {2, 2, 2, 0, 0, 0, 1, 1};
  for (int32_t I = 0; I < 8; ++I) EXPECT_EQ(F.Tabs->Tab(I)->Row, Turned[I]) << I;
  EXPECT_EQ(F.Tabs->TabControlRect(4), Rect(72, 28, 152, 47));
  EXPECT_EQ(F.Tabs->TabControlRect(0), Rect(10, 0, 90, 19));
  // The same from the far end: the first tab at the right, rows indented from there.
  F.Tabs->SetTabSequence(tsReverse);
  EXPECT_EQ(F.Tabs->TabControlRect(3), Rect(219, 28, 299, 47));
  EXPECT_EQ(F.Tabs->TabControlRect(0), Rect(209, 0, 289, 19));
}

TEST(KvTabsLayout, AlignedRowsShareTheirFreeLength) {
  TTabForm F({"January", "February", "March", "April", "May", "June", "July", "August", "September"}, false);
  F.Tabs->SetTabHeight(19);
  F.Tabs->SetShowShadow(false);
  F.Tabs->SetMultiLine(true);
  const int32_t Rows = F.Tabs->RowCount();
  ASSERT_GE(Rows, 2);
  std::vector<TRect> Natural;
  for (int32_t I = 0; I < 9; ++I) Natural.push_back(F.Tabs->Tab(I)->TabRect);
  F.Tabs->SetAlignTabs(true);
  ASSERT_EQ(F.Tabs->RowCount(), Rows);
  const int32_t Available = 299 - (Rows - 1) * 5;
  for (int32_t I = 0; I < 9; ++I) {
    const TKvTabData* T = F.Tabs->Tab(I);
    const bool LastInRow = I == 8 || F.Tabs->Tab(I + 1)->Row != T->Row;
    const bool FirstInRow = I == 0 || F.Tabs->Tab(I - 1)->Row != T->Row;
    if (LastInRow) {
      EXPECT_EQ(T->TabRect.Right, Available) << I;
    }
    if (FirstInRow) continue;
    // Tabs keep their overlap; the earlier ones of a row get the odd pixels.
    const TKvTabData* P = F.Tabs->Tab(I - 1);
    EXPECT_EQ(T->TabRect.Left, P->TabRect.Right - 9 + 1) << I;
    const int32_t Grown = T->TabRect.Width() - Natural[I].Width(), Before = P->TabRect.Width() - Natural[I - 1].Width();
    EXPECT_TRUE(Grown == Before || Grown == Before - 1) << I;
  }
  // Tabs of a fixed width stay as they are.
  F.Tabs->SetTabWidth(80);
  EXPECT_EQ(F.Tabs->Tab(1)->TabRect.Width(), 80);
}

TEST(KvTabsLayout, HitTestsPreferTheSelectedTabWhereSlantsOverlap) {
  TTabForm F({"One", "Two", "Three"}, false);
  FixTabSize(F.Tabs);
  // (75, 17) lies under the first tab's slant and inside the second tab; (75, 3) is
  // above that slant; (70, 1) is outside both.
  struct TCase {
    int32_t Selected;
    TPoint P;
    int32_t Hit;
  };
  const TCase Cases[] = {{1, {75, 17}, 1}, {0, {75, 17}, 0}, {2, {75, 17}, 0}, {0, {75, 3}, 1},
                         {2, {70, 1}, -1}, {0, {150, 30}, -1}, {2, {200, 10}, 2}};
  for (const TCase& C : Cases) {
    F.Tabs->SetTabIndex(C.Selected);
    EXPECT_EQ(F.Tabs->TabAtPos(C.P), C.Hit) << C.Selected << " " << C.P.X << "," << C.P.Y;
  }
  EXPECT_THROW(F.Tabs->SetRegionCacheCapacity(0), EKvTabControlError);
  try {
    F.Tabs->SetRegionCacheCapacity(-2);
  } catch (const EKvTabControlError& E) {
    EXPECT_EQ(E.Message(), "Capacity must be -1 (to cache all regions) or > 0");
  }
  F.Tabs->SetRegionCacheCapacity(-1);
  EXPECT_EQ(F.Tabs->TabAtPos({75, 17}), 0);
}

TEST(KvTabsLayout, ASingleRowScrollsWithTheScroller) {
  TTabForm F({"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"});
  FixTabSize(F.Tabs);
  F.Tabs->SetShowShadow(false);
  F.Tabs->SetTabIndex(0);
  ASSERT_TRUE(F.Tabs->ScrollNeeded());
  // Room for 299 - 2 x 17 pixels of tabs before the scroller: three tabs.
  auto InView = [&] {
    std::vector<int32_t> Result;
    for (int32_t I = 0; I < 10; ++I)
      if (F.Tabs->TabInView(I)) Result.push_back(I);
    return Result;
  };
  EXPECT_EQ(InView(), (std::vector<int32_t>{0, 1, 2}));
  TKvTabScroller* S = F.Tabs->Scroller();
  ASSERT_NE(S, nullptr);
  EXPECT_EQ(S->BoundsRect(), Bounds(267, 0, 33, 17));
  EXPECT_EQ(F.Tabs->TabAtPos({250, 10}), -1);  // tab 3 is partly hidden: not in view

  // A click scrolls once, at the release.
  testsupport::MousePress(S, 25, 8);
  EXPECT_EQ(F.Tabs->FirstShownTab(), 0);
  testsupport::MouseRelease(S, 25, 8);
  EXPECT_EQ(F.Tabs->FirstShownTab(), 1);
  EXPECT_EQ(F.Tabs->TabControlRect(1), Rect(0, 0, 80, 19));
  EXPECT_EQ(InView(), (std::vector<int32_t>{1, 2, 3}));
  // Held: after 400 ms, then every 100 ms while over the arrow, and at the release.
  testsupport::MousePress(S, 25, 8);
  TTimer::Advance(399);
  EXPECT_EQ(F.Tabs->FirstShownTab(), 1);
  TTimer::Advance(1);
  EXPECT_EQ(F.Tabs->FirstShownTab(), 2);
  TTimer::Advance(100);
  EXPECT_EQ(F.Tabs->FirstShownTab(), 3);
  testsupport::MouseMove(S, 5, 8);  // the other arrow: the repeat pauses
  TTimer::Advance(200);
  EXPECT_EQ(F.Tabs->FirstShownTab(), 3);
  testsupport::MouseMove(S, 25, 8);
  TTimer::Advance(100);
  EXPECT_EQ(F.Tabs->FirstShownTab(), 4);
  testsupport::MouseRelease(S, 25, 8);
  EXPECT_EQ(F.Tabs->FirstShownTab(), 5);
  TTimer::Advance(500);
  EXPECT_EQ(F.Tabs->FirstShownTab(), 5);
  // The left arrow goes back; the row stops where its last tab is in view.
  testsupport::MouseClick(S, 5, 8);
  EXPECT_EQ(F.Tabs->FirstShownTab(), 4);
  for (int32_t I = 0; I < 5; ++I) F.Tabs->ScrollForward();
  EXPECT_EQ(F.Tabs->FirstShownTab(), 7);
  EXPECT_FALSE(F.Tabs->CanScrollForward());
  // Selecting a tab brings it into view.
  F.Tabs->SetTabIndex(1);
  EXPECT_EQ(F.Tabs->FirstShownTab(), 1);
  F.Tabs->SetTabIndex(9);
  EXPECT_EQ(F.Tabs->FirstShownTab(), 7);
  // Wide enough for all: the scroller waits out of sight and every tab is in view.
  F.Tabs->SetWidth(1000);
  EXPECT_FALSE(F.Tabs->ScrollNeeded());
  EXPECT_EQ(F.Tabs->FirstShownTab(), 0);
  EXPECT_EQ(S->BoundsRect(), Bounds(-34, -18, 33, 17));
  EXPECT_EQ(InView().size(), 10u);
}

TEST(KvTabsLayout, TheMenuButtonSitsBeforeTheCloseButtonAndOpensTowardsTheCard) {
  // 17-pixel buttons on a 300 x 200 control: where the menu button sits alone and after
  // the close button, and the corner of it that the menu opens from.
  struct TCase {
    TKvTabOrientation Strip;
    TKvTabSequence Sequence;
    TPoint Alone, AfterClose, Corner;
    TPopupAlignment Side;
  };
  const TCase Cases[] = {
      {toTop, tsStandard, {283, 0}, {264, 0}, {17, 17}, paRight},
      {toTop, tsReverse, {0, 0}, {19, 0}, {0, 17}, paLeft},
      {toLeft, tsStandard, {0, 0}, {0, 19}, {17, 0}, paLeft},
      {toLeft, tsReverse, {0, 183}, {0, 164}, {17, 0}, paLeft},
      {toBottom, tsStandard, {283, 182}, {264, 182}, {17, 0}, paRight},
      {toBottom, tsReverse, {0, 182}, {19, 182}, {0, 0}, paLeft},
      {toRight, tsStandard, {282, 183}, {282, 164}, {0, 0}, paRight},
      {toRight, tsReverse, {282, 0}, {282, 19}, {0, 0}, paRight},
  };
  for (const TCase& C : Cases) {
    TTabForm F({"One", "Two"});
    FixStrip(F.Tabs, C.Strip, C.Sequence);
    F.Tabs->SetShowMenuButton(true);
    TKvTabMenuButton* Menu = F.Tabs->MenuButton();
    const std::string What = StripName(C.Strip, C.Sequence);
    EXPECT_EQ(Menu->BoundsRect(), Bounds(C.Alone.X, C.Alone.Y, 17, 17)) << What;
    F.Tabs->SetShowCloseButton(true);
    EXPECT_EQ(Menu->BoundsRect().TopLeft(), C.AfterClose) << What;
    testsupport::TDialogScript Script;
    Script.Dismiss();
    testsupport::MouseClick(Menu, 5, 5);
    ASSERT_EQ(Script.Requests().size(), 1u) << What;
    EXPECT_EQ(Point(Script.Requests()[0].X, Script.Requests()[0].Y), Menu->ClientToScreen(C.Corner)) << What;
    EXPECT_EQ(Script.Requests()[0].MenuAlignment, C.Side) << What;
  }
  // Four tabs end at 296: they fit the 299-pixel strip until the button takes 19 of it;
  // then the scroller comes before the button.
  TTabForm F({"0", "1", "2", "3"}, false);
  FixStrip(F.Tabs, toTop, tsStandard);
  EXPECT_FALSE(F.Tabs->ScrollNeeded());
  F.Tabs->SetShowMenuButton(true);
  ASSERT_TRUE(F.Tabs->ScrollNeeded());
  EXPECT_EQ(F.Tabs->Scroller()->BoundsRect(), Bounds(248, 0, 33, 17));
  EXPECT_TRUE(F.Tabs->TabInView(2));
  EXPECT_FALSE(F.Tabs->TabInView(3));
}
