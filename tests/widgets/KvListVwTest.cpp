// List views: check changes that can be refused, the last column filling the width,
// sorting by header clicks with the sort arrow drawn in each mode, the per-item context
// menu by mouse and keyboard, captions edited only from a click on them.
#include "tests/widgets/WidgetTest.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QTreeWidget>

#include "platform/gui/ExtCtrls.h"
#include "widgets/KvButton.h"
#include "widgets/KvEdit.h"
#include "widgets/KvListVw.h"

using namespace widgettest;
using testsupport::KeyClick;
using testsupport::MouseClick;
using testsupport::Render;

namespace {

struct TListForm : TInputForm {
  TListForm() : TInputForm(520, 320) {
    List = Add<TKvListView>(Bounds(10, 10, 480, 200));
    // The conversion list's columns.
    for (const auto& [Caption, Width, Alignment] :
         {std::tuple("File", 280, taLeftJustify), std::tuple("Duration", 70, taRightJustify),
          std::tuple("Size MB", 62, taRightJustify)}) {
      TListColumn* C = List->Columns()->Add();
      C->SetCaption(Caption);
      C->SetWidth(Width);
      C->SetAlignment(Alignment);
    }
  }
  TListItem* AddItem(const std::string& Caption, std::vector<std::string> SubItems = {}) {
    TListItem* Item = List->Items()->Add();
    Item->SetCaption(Caption);
    Item->SubItems()->Assign(SubItems);
    return Item;
  }
  std::vector<std::string> Captions() const {
    std::vector<std::string> Result;
    for (int32_t I = 0; I < List->Items()->Count(); ++I) Result.push_back(List->Items()->Item(I)->Caption());
    return Result;
  }
  QHeaderView* Header() const { return static_cast<QTreeWidget*>(List->Host())->header(); }
  int32_t LastWidth() const { return List->Columns()->Items(2)->Width(); }
  TKvListView* List;
};

}  // namespace

TEST(KvListView, CheckChangesAreAskedForAndCanBeRefused) {
  TListForm F;
  F.List->SetCheckboxes(true);
  for (const char* C : {"one", "two", "three"}) F.AddItem(C);
  std::vector<std::string> Asked, Changed;
  bool Refuse = false;
  F.List->OnCheckStateChanging = [&](TComponent*, TListItem* Item, bool Checked, bool& Allow) {
    Asked.push_back(Item->Caption() + (Checked ? " on" : " off"));
    Allow = !Refuse;
  };
  F.List->OnCheckStateChange = [&](TComponent*, TListItem* Item) { Changed.push_back(Item->Caption()); };
  F.List->Items()->Item(0)->SetChecked(true);
  F.List->Items()->Item(1)->SetSelected(true);  // no check change
  // During a run the application refuses every change, the user's too.
  Refuse = true;
  F.List->Items()->Item(0)->SetChecked(false);
  F.Show();
  const TRect Box = F.List->Items()->Item(2)->DisplayRect(drIcon);
  MouseClick(F.List, (Box.Left + Box.Right) / 2, (Box.Top + Box.Bottom) / 2);
  EXPECT_TRUE(F.List->Items()->Item(0)->Checked());
  EXPECT_FALSE(F.List->Items()->Item(2)->Checked());
  Refuse = false;
  MouseClick(F.List, (Box.Left + Box.Right) / 2, (Box.Top + Box.Bottom) / 2);
  EXPECT_TRUE(F.List->Items()->Item(2)->Checked());
  EXPECT_EQ(Asked, (std::vector<std::string>{"one on", "one off", "three on", "three on"}));
  EXPECT_EQ(Changed, (std::vector<std::string>{"one", "three"}));
}

TEST(KvListView, LastColumnFillsWhatTheOthersLeave) {
  TListForm F;
  // Empty: room is kept for the scroll bar the items may bring.
  F.List->SetWidth(500);
  const int32_t Others = 280 + 70;
  EXPECT_EQ(F.LastWidth(), F.List->ClientWidth() - TKvListView::ScrollBarWidth - Others);
  F.AddItem("a.mp3", {"0:10", "1.00"});
  F.List->SetWidth(480);
  EXPECT_EQ(F.LastWidth(), F.List->ClientWidth() - Others);
  // Never narrower than 5 pixels; nothing when the others take all the room.
  F.List->SetWidth(Others + 4 + 2);
  EXPECT_EQ(F.LastWidth(), 5);
  F.List->SetWidth(200);
  EXPECT_EQ(F.LastWidth(), 5);
  F.List->SetWidth(480);
  // The user narrowing a column widens the last one.
  F.Show();
  QHeaderView* H = F.Header();
  const int Divider = H->sectionViewportPosition(0) + H->sectionSize(0) - 1;
  QTest::mousePress(H->viewport(), Qt::LeftButton, {}, QPoint(Divider, 5));
  QTest::mouseMove(H->viewport(), QPoint(Divider - 50, 5));
  QTest::mouseRelease(H->viewport(), Qt::LeftButton, {}, QPoint(Divider - 50, 5));
  EXPECT_EQ(F.List->Columns()->Items(0)->Width(), 230);
  EXPECT_EQ(F.LastWidth(), F.List->ClientWidth() - 230 - 70);
  // Switched off, the column keeps its width.
  F.List->SetFillLastColumn(false);
  const int32_t Kept = F.LastWidth();
  F.List->SetWidth(400);
  EXPECT_EQ(F.LastWidth(), Kept);
}

TEST(KvListView, HeaderClicksSortOnlyWithAlphaSortAllAndDrawTheArrow) {
  TListForm F;
  F.AddItem("b", {"2:00"});
  F.AddItem("a", {""});
  F.AddItem("c", {"1:00"});
  F.Show();
  QHeaderView* H = F.Header();
  const auto ClickHeader = [&](int Section) {
    QTest::mouseClick(H->viewport(), Qt::LeftButton, {}, QPoint(H->sectionViewportPosition(Section) + 10, 5));
  };
  ClickHeader(1);
  EXPECT_EQ(F.Captions(), (std::vector<std::string>{"b", "a", "c"}));  // bound by position
  F.List->SetAlphaSortAll(true);
  const std::vector<std::string> Orders[] = {{"c", "b", "a"}, {"a", "b", "c"}, {"c", "b", "a"}};
  for (const auto& Order : Orders) {
    ClickHeader(1);
    EXPECT_EQ(F.Captions(), Order);  // empty texts after the others, ascending
  }
  EXPECT_EQ(F.List->HeaderSortDirection(), sdAscending);
  // The arrow: a triangle in clBtnShadow, half the header's height wide at most, in the
  // sort column's item; where depends on the mode and the column's alignment.
  const int32_t Band = F.List->ClientOffset().X, HeaderHeight = H->height();
  const int32_t ArrowWidth = HeaderHeight / 2, A = ArrowWidth * 2 / 3 * 3 / 4;
  TCanvas Measure;
  Measure.SetFont(F.List->Font());
  // The arrow's pixels inside the item's face (the bevel left out), from the item's
  // top-left corner.
  const auto Arrow = [&](int Section) {
    const TPoint Item{Band + H->sectionViewportPosition(Section), Band};
    TRect R = BoundsIn(Render(F.List), clBtnShadow,
                       Bounds(Item.X + 2, Item.Y + 2, H->sectionSize(Section) - 4, HeaderHeight - 4));
    if (!IsRectEmpty(R)) OffsetRect(R, -Item.X, -Item.Y);
    return R;
  };
  const struct {
    TKvLVHeaderSortDisplayMode Mode;
    int Section;
    int32_t Left;  // from the item's left edge
  } Cases[] = {
      {hsdmRightOfText, 1, H->sectionSize(1) - 6 - ArrowWidth},
      {hsdmRightAlign, 1, H->sectionSize(1) - 6 - ArrowWidth},
      {hsdmLeftAlign, 1, 6},
      {hsdmRightOfText, 0, 6 + Measure.TextWidth("File") + 5},
      {hsdmRightAlign, 0, H->sectionSize(0) - 6 - ArrowWidth},
  };
  for (const auto& K : Cases) {
    F.List->SetHeaderSortDisplayMode(K.Mode);
    ClickHeader(K.Section);
    const TRect R = Arrow(K.Section);
    EXPECT_EQ(R.Left, K.Left) << K.Mode << " " << K.Section;
    EXPECT_EQ(R.Width(), 2 * A - 1) << K.Mode;
    EXPECT_EQ(R.Height(), A) << K.Mode;
    EXPECT_TRUE(IsRectEmpty(Arrow(1 - K.Section))) << K.Mode;
  }
  // Ascending points up: one pixel at the top; descending down.
  const auto TopRow = [&](int Section) {
    const TRect R = Arrow(Section);
    const TPoint Item{Band + H->sectionViewportPosition(Section), Band};
    return testsupport::CountColor(Render(F.List), clBtnShadow, Bounds(Item.X + R.Left, Item.Y + R.Top, R.Width(), 1));
  };
  ClickHeader(0);
  EXPECT_EQ(F.List->HeaderSortDirection(), sdAscending);
  EXPECT_EQ(TopRow(0), 1);
  ClickHeader(0);
  EXPECT_EQ(F.List->HeaderSortDirection(), sdDescending);
  EXPECT_EQ(TopRow(0), 2 * A - 1);
  // A column narrower than twice the arrow's width shows none; hsdmNone none at all.
  F.List->Columns()->Items(0)->SetWidth(2 * ArrowWidth);
  EXPECT_TRUE(IsRectEmpty(Arrow(0)));
  F.List->Columns()->Items(0)->SetWidth(200);
  F.List->SetHeaderSortDisplayMode(hsdmNone);
  EXPECT_TRUE(IsRectEmpty(Arrow(0)));
}

TEST(KvListView, ItemContextMenuByMouseAndByShiftF10) {
  TListForm F;
  testsupport::TDialogScript Script;
  for (const char* C : {"a", "b"}) F.AddItem(C);
  auto* Menu = new TPopupMenu(F.Form);
  auto* Remove = new TMenuItem(F.Form);
  Remove->SetCaption("&Remove");
  Menu->Items()->Add(Remove);
  auto* Own = new TPopupMenu(F.Form);
  auto* OwnItem = new TMenuItem(F.Form);
  OwnItem->SetCaption("&List");
  Own->Items()->Add(OwnItem);
  F.List->SetPopupMenu(Own);
  std::vector<std::pair<std::string, TPoint>> Asked;
  F.List->OnItemContextMenu = [&](TComponent*, TListItem* Item, TPoint& Position, TPopupMenu*& Shown) {
    Asked.emplace_back(Item->Caption(), Position);
    Shown = Menu;
    Position.X += 1;
  };
  F.Show();
  F.List->SetFocus();
  const TRect B = F.List->Items()->Item(1)->DisplayRect(drLabel);
  const TPoint At{B.Left + 20, (B.Top + B.Bottom) / 2};
  Script.Dismiss();
  MouseClick(F.List, At.X, At.Y, Qt::RightButton);
  // From the keyboard: the selected item, at the centre of the focused one.
  F.List->Items()->Item(0)->SetSelected(true);
  F.List->Items()->Item(0)->SetFocused(true);
  const TRect Focused = F.List->Items()->Item(0)->DisplayRect(drBounds);
  const TPoint Centre{(Focused.Left + Focused.Right) / 2, (Focused.Top + Focused.Bottom) / 2};
  Script.Dismiss();
  KeyClick(Qt::Key_F10, Qt::ShiftModifier);
  ASSERT_EQ(Asked.size(), 2u);
  EXPECT_EQ(Asked[0], std::pair(std::string("b"), At));
  EXPECT_EQ(Asked[1], std::pair(std::string("a"), Centre));
  ASSERT_EQ(Script.Requests().size(), 2u);
  const TPoint Shown = F.List->ClientToScreen({Centre.X + 1, Centre.Y});
  EXPECT_EQ(Point(Script.Requests()[1].X, Script.Requests()[1].Y), Shown);
  EXPECT_EQ(Script.MenuCaptions[0], std::vector<std::string>{"Remove"});
  // Below the items the list's own menu shows, as for any control.
  Script.Dismiss();
  MouseClick(F.List, 20, F.List->ClientHeight() - 5, Qt::RightButton);
  EXPECT_EQ(Script.MenuCaptions.back(), std::vector<std::string>{"List"});
  EXPECT_EQ(Asked.size(), 2u);
  EXPECT_TRUE(Script.Finished());
}

TEST(KvListView, OnlyAClickInsideTheCaptionEditsItUnlessEditOnRowClick) {
  TListForm F;
  F.List->SetRowSelect(true);
  F.AddItem("a.mp3", {"0:10", "1.00"})->SetSelected(true);
  F.List->Items()->Item(0)->SetFocused(true);
  // Enter ends the edit and does not press the form's default button.
  auto* Ok = F.Add<TKvButton>(Bounds(10, 250, 75, 25), "OK");
  Ok->SetDefault(true);
  int Pressed = 0, Asked = 0;
  Ok->OnClick = [&](TComponent*) { ++Pressed; };
  F.List->OnEditing = [&](TComponent*, TListItem*, bool&) { ++Asked; };
  F.Show();
  Ok->SetFocus();
  const TRect Row = F.List->Items()->Item(0)->DisplayRect(drBounds);
  const auto Click = [&](int32_t X) {  // and the double-click time passes
    MouseClick(F.List, X, (Row.Top + Row.Bottom) / 2);
    TTimer::Advance(static_cast<uint32_t>(QApplication::doubleClickInterval()));
    return F.List->IsEditing();
  };
  // The click that brings the focus edits nothing; one on another column of the
  // selected row is not even asked about.
  EXPECT_FALSE(Click(20));
  EXPECT_FALSE(Click(Row.Right - 20));
  EXPECT_EQ(Asked, 0);
  F.List->SetEditOnRowClick(true);
  EXPECT_TRUE(Click(Row.Right - 20));
  KeyClick(Qt::Key_Escape);
  F.List->SetEditOnRowClick(false);
  EXPECT_TRUE(Click(20));
  KeyClick(Qt::Key_Return);
  EXPECT_TRUE(testsupport::ProcessEventsUntil([&] { return !F.List->IsEditing(); }, 5000));
  EXPECT_EQ(Asked, 2);
  EXPECT_EQ(Pressed, 0);
}

TEST(KvListView, RowsHoldTheWholeTextWithTheGridLineBelowIt) {
  TListForm F;
  F.List->SetGridLines(true);
  const std::string Caption = "damaged_cut.flac gjpqy";
  F.AddItem(Caption, {"0:10", "1.00"});
  F.AddItem("second.flac");
  F.Show();
  // The focus elsewhere, so that no focus rectangle lies on the row.
  F.Add<TKvEdit>(Bounds(10, 250, 100, 21))->SetFocus();
  // The text as drawn free in the list's font: every pixel of it shows in the row.
  TBitmap Free(300, 40);
  TCanvas* C = Free.Canvas();
  C->Brush()->SetColor(clWhite);
  C->FillRect(Rect(0, 0, 300, 40));
  C->SetFont(F.List->Font());
  const int32_t TextHeight = C->TextHeight(Caption);
  C->TextOut(0, 0, Caption);
  const int32_t Pixels = testsupport::CountColor(Free.Image(), clBlack);
  ASSERT_GT(Pixels, 0);

  const TRect Row = F.List->Items()->Item(0)->DisplayRect(drBounds);
  EXPECT_EQ(Row.Height(), 1 + TextHeight + 1 + 1);  // the focus rectangle's rows, the grid line
  const QImage I = Render(F.List);
  const TRect Label = F.List->Items()->Item(0)->DisplayRect(drLabel);
  const TPoint O = F.List->ClientOffset();
  TRect Text = Label;
  OffsetRect(Text, O.X, O.Y);
  Text.Right = std::min(Text.Right, Text.Left + 270);
  EXPECT_EQ(testsupport::CountColor(I, clBlack, Text), Pixels);
  // The grid line is the row's last pixel row, below the text.
  const TRect Grid = Rect(Text.Left, Text.Bottom - 1, Text.Right, Text.Bottom);
  EXPECT_EQ(testsupport::CountColor(I, clBtnFace, Grid), Grid.Width());
}
