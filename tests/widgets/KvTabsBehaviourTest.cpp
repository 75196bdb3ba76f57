// Tab control behaviour under real events: clicks through the veto, arrow keys, Home
// and End, accelerators, the selection kept on a selectable tab, hot tracking and tab
// hints on the test clock, the menu button's list of tabs.
#include "tests/widgets/TabTest.h"

#include <gtest/gtest.h>

#include <tuple>

#include "platform/gui/ExtCtrls.h"
#include "platform/gui/ImgList.h"

using namespace tabtest;
using Events = std::vector<std::string>;

TEST(KvTabsBehaviour, ClicksSelectEnabledTabsThroughTheVeto) {
  TTabForm F({"One", "Two", "Three"});
  F.Tabs->Tabs().Items(2)->Enabled = false;
  F.Tabs->TabsChanged();
  ASSERT_EQ(F.Tabs->TabIndex(), 0);
  F.Click(1);
  EXPECT_EQ(F.Tabs->TabIndex(), 1);
  EXPECT_EQ(F.Log.Take(), (Events{"changing 1", "change", "page", "click"}));
  F.Click(2);  // disabled
  EXPECT_EQ(F.Tabs->TabIndex(), 1);
  EXPECT_EQ(F.Log.Take(), Events{});
  F.Log.Refused = {0};
  // Clicking the selected tab takes the focus and only reports the click.
  auto* Other = new TCustomControl(F.Form);
  Other->SetParent(F.Form);
  Other->SetTabStop(true);
  Other->SetBounds(320, 10, 20, 20);
  Other->SetFocus();
  F.Click(0);
  EXPECT_FALSE(F.Tabs->Focused());
  EXPECT_EQ(F.Log.Take(), Events{"changing 0"});
  F.Click(1);
  EXPECT_TRUE(F.Tabs->Focused());
  EXPECT_EQ(F.Log.Take(), Events{"click"});
  // A value outside the tabs selects none, quietly.
  F.Tabs->SetTabIndex(3);
  EXPECT_EQ(F.Tabs->TabIndex(), -1);
  EXPECT_EQ(F.Log.Take(), Events{});
}

TEST(KvTabsBehaviour, ArrowsHomeAndEndSkipTabsThatCannotBeSelected) {
  // Four tabs, the third disabled, starting on the first; the keys pressed in turn and
  // the tab selected after each.
  struct TCase {
    TKvTabOrientation Strip;
    TKvTabSequence Sequence;
    std::vector<Qt::Key> Keys;
    std::vector<int32_t> Selected;
  };
  using Qt::Key_Down, Qt::Key_End, Qt::Key_Home, Qt::Key_Left, Qt::Key_Right, Qt::Key_Up;
  const TCase Cases[] = {
      {toTop, tsStandard, {Key_Right, Key_Right, Key_Right, Key_Left, Key_Down, Key_End, Key_Home}, {1, 3, 0, 3, 0, 3, 0}},
      {toTop, tsReverse, {Key_Left, Key_Up, Key_Right, Key_Home, Key_End}, {1, 3, 1, 3, 0}},
      {toLeft, tsStandard, {Key_Up, Key_Left, Key_Down, Key_Home, Key_End}, {1, 3, 1, 3, 0}},
      {toRight, tsStandard, {Key_Down, Key_Up, Key_End}, {1, 0, 3}},
      {toBottom, tsReverse, {Key_Right, Key_Home}, {3, 3}},
  };
  for (const TCase& C : Cases) {
    TTabForm F({"A", "B", "C", "D"});
    F.Tabs->SetTabOrientation(C.Strip);
    F.Tabs->SetTabSequence(C.Sequence);
    F.Tabs->Tabs().Items(2)->Enabled = false;
    F.Tabs->TabsChanged();
    F.Tabs->SetFocus();
    std::vector<int32_t> Seen;
    for (Qt::Key K : C.Keys) {
      testsupport::KeyClick(K);
      Seen.push_back(F.Tabs->TabIndex());
    }
    EXPECT_EQ(Seen, C.Selected) << "strip " << C.Strip << " sequence " << C.Sequence;
    // Each selection by key asked once and reported a click.
    const Events Log = F.Log.Take();
    EXPECT_EQ(std::count(Log.begin(), Log.end(), "click"), static_cast<long>(C.Keys.size()));
  }
  // A refused tab is passed over; with nothing selectable the keys do nothing.
  TTabForm F({"A", "B", "C"});
  F.Tabs->SetFocus();
  F.Log.Refused = {1};
  testsupport::KeyClick(Qt::Key_Right);
  EXPECT_EQ(F.Tabs->TabIndex(), 2);
  EXPECT_EQ(F.Log.Take(), (Events{"changing 1", "changing 2", "change", "page", "click"}));
  F.Log.Refused = {0, 1, 2};
  for (int32_t I = 0; I < 3; ++I) F.Tabs->Tabs().Items(I)->Enabled = false;
  F.Tabs->TabsChanged();
  ASSERT_EQ(F.Tabs->TabIndex(), -1);
  testsupport::KeyClick(Qt::Key_Right);
  testsupport::KeyClick(Qt::Key_Left);
  EXPECT_EQ(F.Tabs->TabIndex(), -1);
}

TEST(KvTabsBehaviour, AcceleratorsFocusAndSelect) {
  TTabForm F({"&First", "Se&cond", "&&Third"});
  testsupport::KeyClick('c', Qt::AltModifier);
  EXPECT_EQ(F.Tabs->TabIndex(), 1);
  EXPECT_TRUE(F.Tabs->Focused());
  EXPECT_EQ(F.Log.Take(), (Events{"changing 1", "change", "page", "click"}));
  testsupport::KeyClick('t', Qt::AltModifier);  // "&&" is no accelerator
  EXPECT_EQ(F.Tabs->TabIndex(), 1);
  F.Tabs->Tabs().Items(0)->Enabled = false;
  F.Tabs->TabsChanged();
  testsupport::KeyClick('f', Qt::AltModifier);
  EXPECT_EQ(F.Tabs->TabIndex(), 1);
}

TEST(KvTabsBehaviour, TheSelectionMovesOffTabsThatGoOrCannotBeSelected) {
  TTabForm F({"A", "B", "C", "D"});
  F.Tabs->SetTabIndex(3);
  F.Log.Take();
  // Removed: the search goes down from the end.
  F.Tabs->Tabs().Delete(3);
  F.Tabs->TabsChanged();
  EXPECT_EQ(F.Tabs->TabIndex(), 2);
  // Disabled: the next selectable tab upwards, else downwards, without a second veto.
  F.Tabs->SetTabIndex(1);
  F.Log.Take();
  F.Tabs->Tabs().Items(1)->Enabled = false;
  F.Tabs->TabsChanged();
  EXPECT_EQ(F.Tabs->TabIndex(), 2);
  EXPECT_EQ(F.Log.Take(), (Events{"changing 2", "change", "page"}));
  F.Tabs->Tabs().Items(2)->Visible = false;
  F.Tabs->TabsChanged();
  EXPECT_EQ(F.Tabs->TabIndex(), 0);
  F.Tabs->Tabs().Clear();
  F.Tabs->TabsChanged();
  EXPECT_EQ(F.Tabs->TabIndex(), -1);
}

TEST(KvTabsBehaviour, HotTrackingAndTabHintsFollowTheMouse) {
  TTabForm F({"One", "Two"});
  FixTabSize(F.Tabs);
  F.Tabs->SetTabHints(true);
  F.Tabs->SetHint("The control");
  F.Tabs->Tabs().Items(0)->Hint = "First tab";
  F.Tabs->Tabs().Items(1)->Hint = "Second tab";
  F.Tabs->TabsChanged();
  auto Move = [&](TPoint P) { testsupport::MouseMove(F.Tabs, P.X, P.Y); };
  Move(F.Inside(1));
  EXPECT_EQ(F.Tabs->HotTab(), 1);
  EXPECT_EQ(F.Tabs->Hint(), "Second tab");
  Move(F.Inside(0));
  EXPECT_EQ(F.Tabs->HotTab(), 0);
  EXPECT_EQ(F.Tabs->Hint(), "First tab");
  Move({250, 10});  // the bare strip: no hint
  EXPECT_EQ(F.Tabs->HotTab(), -1);
  EXPECT_EQ(F.Tabs->Hint(), "");
  Move({150, 100});  // the card: the control's own
  EXPECT_EQ(F.Tabs->Hint(), "The control");
  // Leaving the control from over a tab: the next tick of the 60 ms timer ends it.
  Move(F.Inside(1));
  ASSERT_EQ(F.Tabs->HotTab(), 1);
  testsupport::MouseMove(F.Form, 380, 280);
  EXPECT_EQ(F.Tabs->HotTab(), 1);
  TTimer::Advance(TKvCustomTabControl::HotTrackInterval);
  EXPECT_EQ(F.Tabs->HotTab(), -1);
  EXPECT_EQ(F.Tabs->Hint(), "The control");
  // The hot tab shows the hot colour in its bar.
  F.Tabs->SetHotTrackColor(clFuchsia);
  Move(F.Inside(1));
  const TRect Tab = F.Tabs->TabControlRect(1);
  EXPECT_GT(testsupport::CountColor(testsupport::Render(F.Tabs), clFuchsia, Tab), 40);
  F.Tabs->SetHotTrackColorType(htctComplement);
  EXPECT_GT(testsupport::CountColor(testsupport::Render(F.Tabs), OppositeHueColor(clFuchsia, 140), Tab), 40);
  F.Tabs->SetHotTrack(false);
  F.Tabs->SetTabHints(false);
  EXPECT_EQ(F.Tabs->HotTab(), -1);
}

TEST(KvTabsBehaviour, DraggingPastTheStripsEndScrollsTheRow) {
  TTabForm F({"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"});
  FixTabSize(F.Tabs);
  F.Tabs->SetShowShadow(false);
  F.Tabs->SetAllowTabDragging(true);
  const TPoint From = F.Inside(0);
  testsupport::MousePress(F.Tabs, From.X, From.Y);
  testsupport::MouseMove(F.Tabs, 320, 10);  // past the end of the strip
  ASSERT_TRUE(F.Tabs->Dragging());
  EXPECT_EQ(F.Tabs->DropTarget(), -1);
  TTimer::Advance(TKvCustomTabControl::DragScrollDelay - 1);
  EXPECT_EQ(F.Tabs->FirstShownTab(), 0);
  TTimer::Advance(1);
  EXPECT_EQ(F.Tabs->FirstShownTab(), 1);
  TTimer::Advance(TKvCustomTabControl::DragScrollInterval);
  EXPECT_EQ(F.Tabs->FirstShownTab(), 2);
  testsupport::MouseMove(F.Tabs, -20, 10);  // before its start
  TTimer::Advance(TKvCustomTabControl::DragScrollInterval);
  EXPECT_EQ(F.Tabs->FirstShownTab(), 1);
  // Over a tab the row rests and the marker shows there.
  const TPoint Over = F.Inside(3);
  testsupport::MouseMove(F.Tabs, Over.X, Over.Y);
  EXPECT_EQ(F.Tabs->DropTarget(), 3);
  TTimer::Advance(1000);
  EXPECT_EQ(F.Tabs->FirstShownTab(), 1);
  testsupport::MouseRelease(F.Tabs, Over.X, Over.Y);
  EXPECT_FALSE(F.Tabs->Dragging());
  EXPECT_EQ(F.Tabs->DropTarget(), -1);
  EXPECT_EQ(F.Tabs->TabIndex(), 0);
}

TEST(KvTabsBehaviour, TheMenuButtonListsTheVisibleTabsAndSelectsThroughTheVeto) {
  TTabForm F({"&One", "Two\r\nlines", "Hidden", "Off", "Four"});
  TComponentPtr<TImageList> Images(new TImageList(nullptr));
  F.Tabs->SetImages(Images.get());
  TKvTabDataList& Tabs = F.Tabs->Tabs();
  Tabs.Items(2)->Visible = false;
  Tabs.Items(3)->Enabled = false;
  Tabs.Items(3)->DisabledIndex = 1;
  Tabs.Items(4)->ImageIndex = 2;
  F.Tabs->SetShowMenuButton(true);
  F.Tabs->TabsChanged();
  F.Log.Take();
  F.Log.Refused = {1};
  testsupport::TDialogScript Script;
  auto Open = [&] {
    testsupport::MouseClick(F.Tabs->MenuButton(), 5, 5);
    return F.Log.Take();
  };
  Script.Choose("Four");
  EXPECT_EQ(Open(), (Events{"changing 4", "change", "page"}));
  Script.Choose("Two lines");
  EXPECT_EQ(Open(), Events{"changing 1"});
  // The menu is filled afresh each time: caption, enabled, checked, image and tag.
  const TPopupMenu* Menu = Script.Requests().at(1).Menu;
  std::vector<std::tuple<std::string, bool, bool, int32_t, int32_t>> Entries;
  for (int32_t I = 0; I < Menu->Items()->Count(); ++I) {
    const TMenuItem* M = Menu->Items()->Items(I);
    Entries.emplace_back(M->Caption(), M->Enabled(), M->Checked(), M->ImageIndex(), M->Tag());
  }
  EXPECT_EQ(Entries, (decltype(Entries){{"&One", true, false, -1, 0},
                                        {"Two lines", true, false, -1, 1},
                                        {"Off", false, false, 1, 3},
                                        {"Four", true, true, 2, 4}}));
  EXPECT_EQ(Menu->Images(), Images.get());
  // A tab gone while the menu was open: its entry selects nothing.
  F.Tabs->SetTabIndex(0);
  F.Log.Take();
  Script.Answer([&](const TDialogRequest& R) {
    Tabs.Delete(4);
    F.Tabs->TabsChanged();
    return TDialogAnswer{0, {}, {}, 0, R.Menu->Items()->Items(3)};
  });
  EXPECT_EQ(Open(), Events{});
  EXPECT_EQ(F.Tabs->TabIndex(), 0);
}
