// The list view: items bound to rows by position, vetoed state changes, selection and
// focus events, captions edited in place, context menus and column clicks, geometry and
// painting.
#include "tests/support/Gui.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QPaintEvent>
#include <QTreeWidget>

#include "platform/gui/ExtCtrls.h"
#include "platform/gui/ListView.h"

using namespace testsupport;

namespace {

// A list view that records its state notifications, as the widget library's does.
class TProbeList : public TListView {
public:
  using TListView::TListView;
  void UseHeader(QHeaderView* Header) { SetHeaderView(Header); }
  std::vector<std::tuple<int32_t, uint32_t, uint32_t>> States, Asked;

protected:
  bool ItemStateChanging(TListItem* Item, uint32_t NewState, uint32_t OldState) override {
    Asked.emplace_back(Item->Index(), NewState, OldState);
    return TListView::ItemStateChanging(Item, NewState, OldState);
  }
  void ItemStateChanged(TListItem* Item, uint32_t NewState, uint32_t OldState) override {
    States.emplace_back(Item->Index(), NewState, OldState);
    TListView::ItemStateChanged(Item, NewState, OldState);
  }
};

struct TListForm {
  TListForm() : Form(NewForm<TForm>(nullptr)) {
    Form->SetBounds(0, 0, 400, 300);
    List = new TProbeList(Form);
    List->SetParent(Form);
    List->SetBounds(10, 10, 380, 200);
    const struct {
      const char* Caption;
      int32_t Width;
      TAlignment Alignment;
    } Columns[] = {{"File", 200, taLeftJustify}, {"Duration", 70, taRightJustify}, {"Size MB", 62, taRightJustify}};
    for (const auto& C : Columns) {
      TListColumn* Column = List->Columns()->Add();
      Column->SetCaption(C.Caption);
      Column->SetWidth(C.Width);
      Column->SetAlignment(C.Alignment);
    }
    List->OnInsert = [this](TComponent*, TListItem* Item) { Journal.push_back("insert " + std::to_string(Item->Index())); };
    List->OnDeletion = [this](TComponent*, TListItem* Item) { Journal.push_back("delete " + Item->Caption()); };
    List->OnSelectItem = [this](TComponent*, TListItem* Item, bool Selected) {
      Journal.push_back(std::string(Selected ? "select " : "unselect ") + Item->Caption());
    };
  }
  ~TListForm() { Form->Free(); }
  TListItem* Add(const std::string& Caption, std::vector<std::string> SubItems = {}) {
    TListItem* Item = List->Items()->Add();
    Item->SetCaption(Caption);
    Item->SubItems()->Assign(SubItems);
    return Item;
  }
  // The texts Qt shows in row Row.
  std::vector<std::string> Row(int Row) const {
    const QTreeWidgetItem* R = Tree()->topLevelItem(Row);
    std::vector<std::string> Texts;
    for (int C = 0; C < Tree()->columnCount(); ++C) Texts.push_back(R->text(C).toStdString());
    return Texts;
  }
  std::vector<std::string> Captions() const {
    std::vector<std::string> Result;
    for (int32_t I = 0; I < List->Items()->Count(); ++I) Result.push_back(List->Items()->Item(I)->Caption());
    return Result;
  }
  QTreeWidget* Tree() const { return static_cast<QTreeWidget*>(List->Host()); }
  // A client point inside row Row's caption.
  TPoint At(int32_t Row) const {
    const TRect R = List->Items()->Item(Row)->DisplayRect(drLabel);
    return {R.Left + 30, (R.Top + R.Bottom) / 2};
  }
  TForm* Form;
  TProbeList* List;
  std::vector<std::string> Journal;
};

}  // namespace

TEST(ListView, ItemsAndSubItemsStayBoundToTheirRowsByPosition) {
  TListForm F;
  F.Add("c.mp3", {"0:10", "1.00 MB"});
  F.Add("a.mp3", {"0:20", "2.00 MB"});
  TListItem* B = F.List->Items()->Insert(1);
  B->SetCaption("b.mp3");
  B->SubItems()->Add("0:30");
  EXPECT_EQ(F.Captions(), (std::vector<std::string>{"c.mp3", "b.mp3", "a.mp3"}));  // never sorted unless asked
  EXPECT_EQ(F.Row(1), (std::vector<std::string>{"b.mp3", "0:30", ""}));
  EXPECT_EQ(B->Index(), 1);
  B->SubItems()->Insert(0, "x");
  EXPECT_EQ(F.Row(1), (std::vector<std::string>{"b.mp3", "x", "0:30"}));
  B->SubItems()->Delete(0);
  EXPECT_EQ(F.Row(1), (std::vector<std::string>{"b.mp3", "0:30", ""}));
  F.List->Items()->Delete(0);
  EXPECT_EQ(F.Row(0), (std::vector<std::string>{"b.mp3", "0:30", ""}));
  EXPECT_EQ(F.Row(1), (std::vector<std::string>{"a.mp3", "0:20", "2.00 MB"}));
  EXPECT_EQ(F.Journal, (std::vector<std::string>{"insert 0", "insert 1", "insert 1", "delete c.mp3"}));
  // Sorting only when asked: the selection stays with its item.
  F.Add("C.mp3");
  F.List->Items()->Item(2)->SetSelected(true);
  F.Journal.clear();
  F.List->AlphaSort();
  EXPECT_EQ(F.Captions(), (std::vector<std::string>{"a.mp3", "b.mp3", "C.mp3"}));
  EXPECT_EQ(F.Row(0)[0], "a.mp3");
  EXPECT_EQ(F.List->Selected()->Caption(), "C.mp3");
  EXPECT_TRUE(F.Journal.empty());
  F.List->CustomSort([](TListItem* A, TListItem* B) { return int32_t(B->SubItems()->Count() - A->SubItems()->Count()); });
  EXPECT_EQ(F.Captions(), (std::vector<std::string>{"a.mp3", "b.mp3", "C.mp3"}));  // stable: ties keep their order
  F.List->SetSortType(stText);
  F.List->Items()->Item(0)->SetCaption("z.mp3");
  EXPECT_EQ(F.Captions(), (std::vector<std::string>{"b.mp3", "C.mp3", "z.mp3"}));
  F.List->Items()->Clear();
  EXPECT_EQ(F.Journal, (std::vector<std::string>{"delete b.mp3", "delete C.mp3", "delete z.mp3"}));
  EXPECT_EQ(F.Tree()->topLevelItemCount(), 0);
}

TEST(ListView, CheckChangesCanBeVetoedWhetherMadeInCodeOrByTheUser) {
  TListForm F;
  F.List->SetCheckboxes(true);
  for (const char* C : {"one", "two", "three"}) F.Add(C);
  F.List->OnChanging = [&](TComponent*, TListItem* Item, TItemChange Change, bool& Allow) {
    ASSERT_EQ(Change, ctState);
    if (Item->Caption() == "two" && Item->Checked()) Allow = false;  // "two" cannot be unticked
  };
  for (int32_t I = 0; I < 3; ++I) F.List->Items()->Item(I)->SetChecked(true);
  F.List->Items()->Item(1)->SetChecked(false);
  EXPECT_TRUE(F.List->Items()->Item(1)->Checked());
  // The user: a click on the check box, and Space on the focused item.
  ShowActive(F.Form);
  F.List->SetFocus();
  F.List->Items()->Item(0)->SetFocused(true);
  KeyClick(Qt::Key_Space);
  EXPECT_FALSE(F.List->Items()->Item(0)->Checked());
  const TRect Box = F.List->Items()->Item(1)->DisplayRect(drIcon);
  MouseClick(F.List, (Box.Left + Box.Right) / 2, (Box.Top + Box.Bottom) / 2);
  EXPECT_TRUE(F.List->Items()->Item(1)->Checked());
  // Locked ticks: neither code nor the user changes one, and nobody is asked.
  F.List->SetChecksLocked(true);
  F.List->Items()->Item(2)->SetChecked(false);
  F.List->Items()->Item(2)->SetFocused(true);
  KeyClick(Qt::Key_Space);
  EXPECT_TRUE(F.List->Items()->Item(2)->Checked());
  F.List->SetChecksLocked(false);
  // Every check change is asked about, and only accepted ones are told, with the
  // state-image bits of the change alone.
  using TStates = std::vector<std::tuple<int32_t, uint32_t, uint32_t>>;
  const auto Checks = [](const TStates& All) {
    TStates Result;
    for (const auto& S : All)
      if (std::get<1>(S) & LVIS_STATEIMAGEMASK) Result.push_back(S);
    return Result;
  };
  const TStates Ticked{{0, LVIS_CHECKED, LVIS_UNCHECKED}, {1, LVIS_CHECKED, LVIS_UNCHECKED}, {2, LVIS_CHECKED, LVIS_UNCHECKED}};
  TStates Asked = Ticked, Told = Ticked;
  for (const auto& S : TStates{{1, LVIS_UNCHECKED, LVIS_CHECKED}, {0, LVIS_UNCHECKED, LVIS_CHECKED}, {1, LVIS_UNCHECKED, LVIS_CHECKED}})
    Asked.push_back(S);
  Told.emplace_back(0, LVIS_UNCHECKED, LVIS_CHECKED);
  EXPECT_EQ(Checks(F.List->Asked), Asked);
  EXPECT_EQ(Checks(F.List->States), Told);
  // Without check boxes nothing is checked.
  F.List->SetCheckboxes(false);
  EXPECT_FALSE(F.List->Items()->Item(2)->Checked());
  EXPECT_EQ(F.List->Items()->Item(2)->States() & LVIS_STATEIMAGEMASK, 0u);
}

TEST(ListView, SelectionAndFocusRaiseTheirEventsAndCanBeRefused) {
  TListForm F;
  for (const char* C : {"a", "b", "c", "d"}) F.Add(C);
  F.List->SetItemIndex(1);
  F.List->Items()->Item(2)->SetSelected(true);  // single selection: b goes
  EXPECT_TRUE(F.List->Items()->Item(2)->Selected());
  EXPECT_FALSE(F.List->Items()->Item(1)->Selected());
  EXPECT_EQ(F.Journal, (std::vector<std::string>{"insert 0", "insert 1", "insert 2", "insert 3", "select b",
                                                 "unselect b", "select c"}));
  EXPECT_EQ(F.List->SelCount(), 1);
  ShowActive(F.Form);
  F.List->SetFocus();
  F.Journal.clear();
  const TPoint D = F.At(3);
  MouseClick(F.List, D.X, D.Y);
  EXPECT_EQ(F.Journal, (std::vector<std::string>{"unselect c", "select d"}));
  EXPECT_EQ(F.List->ItemFocused()->Caption(), "d");
  KeyClick(Qt::Key_Up);
  EXPECT_EQ(F.List->Selected()->Caption(), "c");
  // Refused: the selection stays where it is.
  F.List->OnChanging = [](TComponent*, TListItem* Item, TItemChange, bool& Allow) { Allow = Item->Caption() != "a"; };
  F.Journal.clear();
  const TPoint A = F.At(0);
  MouseClick(F.List, A.X, A.Y);
  EXPECT_FALSE(F.List->Items()->Item(0)->Selected());
  EXPECT_EQ(F.Journal, std::vector<std::string>{"unselect c"});
  F.List->OnChanging = nullptr;
  // Multi-select: Ctrl adds, Selected in code leaves only that one.
  F.List->SetMultiSelect(true);
  const TPoint B = F.At(1);
  MouseClick(F.List, B.X, B.Y);
  QTest::mouseClick(F.Tree()->viewport(), Qt::LeftButton, Qt::ControlModifier,
                    F.Tree()->viewport()->mapFrom(F.Tree(), QPoint(D.X + 2, D.Y + 2)));
  EXPECT_EQ(F.List->SelCount(), 2);
  EXPECT_EQ(F.List->ItemIndex(), 1);
  F.List->SetSelected(F.List->Items()->Item(2));
  EXPECT_EQ(F.List->SelCount(), 1);
  F.List->SelectAll();
  EXPECT_EQ(F.List->SelCount(), 4);
  F.List->ClearSelection();
  EXPECT_EQ(F.List->Selected(), nullptr);
  int Clicks = 0, DoubleClicks = 0;
  F.List->OnClick = [&](TComponent*) { ++Clicks; };
  F.List->OnDblClick = [&](TComponent*) { ++DoubleClicks; };
  MouseDoubleClick(F.List, B.X, B.Y);
  EXPECT_EQ(DoubleClicks, 1);
  EXPECT_GE(Clicks, 1);
}

TEST(ListView, CaptionsAreEditedInPlaceAfterAClickOnTheSelectedOneOrF2) {
  TListForm F;
  for (const char* C : {"a.mp3", "b.mp3"}) F.Add(C);
  std::vector<std::string> Asked;
  F.List->OnEditing = [&](TComponent*, TListItem* Item, bool& Allow) {
    Asked.push_back(Item->Caption());
    Allow = Asked.size() < 4;
  };
  F.List->OnEdited = [](TComponent*, TListItem*, std::string& S) { S += "!"; };
  ShowActive(F.Form);
  F.List->SetFocus();
  const TPoint A = F.At(0);
  const auto Click = [&] {  // and the double-click time passes
    MouseClick(F.List, A.X, A.Y);
    TTimer::Advance(static_cast<uint32_t>(QApplication::doubleClickInterval()));
    return F.List->IsEditing();
  };
  // The click that selects edits nothing, the next one does; the handler's text wins.
  EXPECT_FALSE(Click());
  ASSERT_TRUE(Click());
  TypeText("x");
  KeyClick(Qt::Key_Return);
  ASSERT_TRUE(ProcessEventsUntil([&] { return !F.List->IsEditing(); }, 5000));
  // F2 edits the focused item; Escape cancels; Tab commits and goes to no other cell.
  KeyClick(Qt::Key_F2);
  TypeText("y");
  KeyClick(Qt::Key_Escape);
  KeyClick(Qt::Key_Down);
  KeyClick(Qt::Key_F2);
  TypeText("z");
  KeyClick(Qt::Key_Tab);
  EXPECT_FALSE(F.List->IsEditing());
  EXPECT_EQ(F.Captions(), (std::vector<std::string>{"x!", "z!"}));
  EXPECT_FALSE(Click());
  // A double click, a refusal (the fourth time asked) and a read-only list edit nothing.
  MouseDoubleClick(F.List, A.X, A.Y);
  TTimer::Advance(static_cast<uint32_t>(QApplication::doubleClickInterval()));
  EXPECT_FALSE(Click());
  F.List->SetReadOnly(true);
  EXPECT_FALSE(Click());
  KeyClick(Qt::Key_F2);
  EXPECT_FALSE(F.List->IsEditing());
  EXPECT_EQ(Asked, (std::vector<std::string>{"a.mp3", "x!", "b.mp3", "x!"}));
}

TEST(ListView, ContextMenusByMouseAndKeyboardAndColumnClicks) {
  TListForm F;
  TDialogScript Script;
  for (const char* C : {"a", "b"}) F.Add(C);
  auto* Menu = new TPopupMenu(F.Form);
  auto* Remove = new TMenuItem(F.Form);
  Remove->SetCaption("&Remove");
  std::string Removed;
  Remove->OnClick = [&](TComponent*) { Removed = F.List->Selected() ? F.List->Selected()->Caption() : "-"; };
  Menu->Items()->Add(Remove);
  F.List->SetPopupMenu(Menu);
  std::vector<TPoint> Asked;
  F.List->OnContextPopup = [&](TComponent*, TPoint Pos, bool&) { Asked.push_back(Pos); };
  ShowActive(F.Form);
  F.List->SetFocus();
  const TPoint B = F.At(1);
  MouseClick(F.List, B.X, B.Y);
  Script.Choose("Remove");
  MouseClick(F.List, B.X, B.Y, Qt::RightButton);
  EXPECT_EQ(Removed, "b");
  EXPECT_EQ(Menu->PopupComponent(), F.List);
  Script.Dismiss();
  KeyClick(Qt::Key_F10, Qt::ShiftModifier);
  Script.Dismiss();
  KeyClick(Qt::Key_Menu);
  ASSERT_EQ(Script.Requests().size(), 3u);
  EXPECT_EQ(Asked, (std::vector<TPoint>{B, {-1, -1}, {-1, -1}}));
  const TPoint Origin = F.List->ClientToScreen({0, 0});
  EXPECT_EQ(Point(Script.Requests()[1].X, Script.Requests()[1].Y), Origin);
  EXPECT_EQ(Script.MenuCaptions[0], std::vector<std::string>{"Remove"});
  // A handler that takes the request leaves the menu out.
  F.List->OnContextPopup = [](TComponent*, TPoint, bool& Handled) { Handled = true; };
  KeyClick(Qt::Key_Menu);
  EXPECT_TRUE(Script.Finished());
  EXPECT_EQ(Script.Requests().size(), 3u);
  // Column headers, also a header of a derived list's own: clicks, and hiding them
  // moves the rows up.
  std::vector<int32_t> Clicked;
  F.List->OnColumnClick = [&](TComponent*, TListColumn* C) { Clicked.push_back(C->Index()); };
  auto* H = new QHeaderView(Qt::Horizontal);
  F.List->UseHeader(H);
  ASSERT_EQ(F.Tree()->header(), H);
  EXPECT_EQ(H->sectionSize(1), 70);
  QTest::mouseClick(H->viewport(), Qt::LeftButton, {}, QPoint(H->sectionPosition(2) + 5, 5));
  EXPECT_EQ(Clicked, std::vector<int32_t>{2});
  EXPECT_EQ(F.List->Items()->Item(0)->DisplayRect(drBounds).Top, H->height());
  F.List->SetShowColumnHeaders(false);
  EXPECT_EQ(F.List->Items()->Item(0)->DisplayRect(drBounds).Top, 0);
  EXPECT_EQ(F.List->GetItemAt(5, F.List->Items()->Item(1)->DisplayRect(drBounds).Top + 2), F.List->Items()->Item(1));
  // Scrolling: an item out of view has no display rectangle until it is made visible.
  for (int I = 0; I < 40; ++I) F.Add("row " + std::to_string(I));
  TListItem* Last = F.List->Items()->Item(41);
  EXPECT_TRUE(IsRectEmpty(Last->DisplayRect(drBounds)));
  Last->MakeVisible(false);
  EXPECT_FALSE(IsRectEmpty(Last->DisplayRect(drBounds)));
  EXPECT_LE(Last->DisplayRect(drBounds).Bottom, F.List->ClientHeight());
  const int32_t Top = F.List->TopItem()->Index();
  F.List->Scroll(0, -2 * Last->DisplayRect(drBounds).Height());
  EXPECT_EQ(F.List->TopItem()->Index(), Top - 2);
}

TEST(ListView, PaintsColumnsGridLinesAndTheUnfocusedSelection) {
  TListForm F;
  F.List->SetShowColumnHeaders(false);
  F.List->SetRowSelect(true);
  F.List->SetGridLines(true);
  F.List->SetHideSelection(false);
  F.List->Font()->SetColor(clNavy);
  F.Add("left", {"right"});
  F.Add("second");
  auto* Other = new TListView(F.Form);
  Other->SetParent(F.Form);
  Other->SetTop(250);
  ShowActive(F.Form);
  Other->SetFocus();
  F.List->Items()->Item(1)->SetSelected(true);
  QImage Image = Render(F.List);
  const TRect Row0 = F.List->Items()->Item(0)->DisplayRect(drBounds);
  const TPoint O = F.List->ClientOffset();
  // The right-aligned sub-item ends near its column's right edge; the caption starts left.
  const TRect Ink = ColorBounds(Image.copy(O.X + 200, O.Y + Row0.Top, 70, Row0.Height()), clNavy);
  EXPECT_GT(Ink.Right, 70 - 12);
  EXPECT_LT(ColorBounds(Image.copy(O.X, O.Y + Row0.Top, 200, Row0.Height()), clNavy).Left, 12);
  // Grid lines at the bottom of each row and the right of each column.
  EXPECT_EQ(PixelAt(Image, O.X + 100, O.Y + Row0.Bottom - 1), ColorToRGB(clBtnFace));
  EXPECT_EQ(PixelAt(Image, O.X + 199, O.Y + Row0.Top + 3), ColorToRGB(clBtnFace));
  // A selected row of an unfocused list shows in clBtnFace (HideSelection off).
  const TRect Row1 = F.List->Items()->Item(1)->DisplayRect(drBounds);
  EXPECT_EQ(PixelAt(Image, O.X + 150, O.Y + Row1.Top + 2), ColorToRGB(clBtnFace));
  F.List->SetFocus();
  EXPECT_EQ(PixelAt(Render(F.List), O.X + 150, O.Y + Row1.Top + 2), ColorToRGB(clHighlight));
  // The band: a sunken edge round the rows.
  EXPECT_EQ(PixelAt(Image, 0, 50), ColorToRGB(clBtnShadow));
  EXPECT_EQ(PixelAt(Image, F.List->Width() - 1, 50), ColorToRGB(clBtnHighlight));
}

TEST(ListView, TheFocusRectangleGoesRoundTheTextNotOverIt) {
  // A list as the program's: check boxes, whole rows selected, no header.
  TListForm F;
  F.List->SetShowColumnHeaders(false);
  F.List->SetCheckboxes(true);
  F.List->SetRowSelect(true);
  TListItem* Item = F.Add("wavpack_test.wv", {"0:01", "0.03 MB"});
  ShowActive(F.Form);
  F.List->SetFocus();
  Item->SetSelected(true);
  Item->SetFocused(true);
  const QImage Image = Render(F.List);
  const TPoint O = F.List->ClientOffset();
  TRect Label = Item->DisplayRect(drLabel);
  OffsetRect(Label, O.X, O.Y);
  const QImage Caption = Image.copy(Label.Left, Label.Top, Label.Width(), Label.Height());
  // The dots invert the selection's colour; where they met the text, it would turn black.
  const TRect Text = ColorBounds(Caption, clHighlightText);
  const TRect Dots = ColorBounds(Caption, ColorToRGB(clHighlight) ^ 0xFFFFFF);
  ASSERT_FALSE(IsRectEmpty(Text));
  ASSERT_FALSE(IsRectEmpty(Dots));
  EXPECT_LT(Dots.Top, Text.Top);
  EXPECT_GT(Dots.Bottom, Text.Bottom);
  EXPECT_EQ(CountColor(Caption, clBlack), 0);
  // The underscore and the descenders whole: as much ink as the text has on a canvas.
  QImage Alone = MakeImage(200, 30);
  TCanvas Canvas;
  Canvas.SetImage(&Alone);
  Canvas.Font()->Assign(*F.List->Font());
  Canvas.Font()->SetColor(clBlack);
  Canvas.Brush()->SetStyle(bsClear);
  Canvas.TextOut(2, 2, Item->Caption());
  Canvas.SetImage(nullptr);
  EXPECT_EQ(CountColor(Caption, clHighlightText), CountColor(Alone, clBlack));
}

TEST(ListView, MovingTheFocusPaintsBothRowsAgainAcrossTheirWholeWidth) {
  TListForm F;
  F.List->SetRowSelect(true);
  F.List->SetMultiSelect(true);
  F.Add("first", {"0:30", "1.00 MB"});
  F.Add("second", {"0:40", "2.00 MB"});
  ShowActive(F.Form);
  F.List->SetFocus();
  MouseClick(F.List, F.At(0).X, F.At(0).Y);
  // What the viewport paints from here on.
  struct TPainted : QObject {
    QRegion Region;
    bool eventFilter(QObject*, QEvent* E) override {
      if (E->type() == QEvent::Paint) Region += static_cast<QPaintEvent*>(E)->region();
      return false;
    }
  } Painted;
  QWidget* Viewport = F.Tree()->viewport();
  ProcessEventsUntil([] { return true; });
  Viewport->installEventFilter(&Painted);
  // Shift+Down: the first row stays selected, so only the focus leaves it.
  KeyClick(Qt::Key_Down, Qt::ShiftModifier);
  ASSERT_TRUE(F.List->Items()->Item(1)->Focused());
  ASSERT_TRUE(F.List->Items()->Item(0)->Selected());
  // The focus rectangle of the row left must go from every pixel it covered.
  for (int Row : {0, 1}) {
    const QRect Cell = F.Tree()->visualItemRect(F.Tree()->topLevelItem(Row));
    const QRegion Whole(0, Cell.top(), Viewport->width(), Cell.height());
    EXPECT_TRUE(ProcessEventsUntil([&] { return (Whole - Painted.Region).isEmpty(); }, 2000)) << Row;
  }
  Viewport->removeEventFilter(&Painted);
}
