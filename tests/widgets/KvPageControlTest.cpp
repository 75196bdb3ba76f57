// The page control: the main window's source pages loaded with "Folder" active, pages
// switched by clicks and keys, ActivePage and PageIndex moves, hidden tabs, the focus
// handed to the page shown, closing and dragging pages, and the colour rules.
#include "tests/widgets/TabTest.h"

#include <gtest/gtest.h>

#include "platform/gui/ExtCtrls.h"

using namespace tabtest;
using Events = std::vector<std::string>;
using testsupport::PixelAt;
using testsupport::Render;

namespace {

// The main window's page control, built while the form loads.
struct TSourcePages {
  explicit TSourcePages(bool DefaultToFile = false) : Form(NewForm<TForm>(nullptr)) {
    Form->SetBounds(0, 0, 400, 300);
    Form->SetColor(clCream);
    BeginLoading(Form);
    Pages = new TKvPageControl(Form);
    Pages->SetName("PageSource");
    Pages->SetParent(Form);
    Pages->SetBounds(10, 10, 300, 150);
    Pages->SetBoldCurrentTab(true);
    Pages->SetFlatColor(clNavy);
    Pages->TabColors()->SetHighlightBar(clLime);
    Pages->TabColors()->SetShadow(clSilver);
    Pages->SetShowFocusRect(false);
    Pages->SetShowShadow(false);
    Pages->SetTabWidth(80);
    Pages->SetTransparent(true);
    Pages->SetFixedDimension(19);
    for (const char* Caption : {"Audio CD", "Folder", "File"}) {
      auto* Sheet = new TKvTabSheet(Form);
      Sheet->SetPageControl(Pages);
      Sheet->SetCaption(Caption);
      Sheet->SetColor(clSkyBlue);
      Sheets.push_back(Sheet);
    }
    Pages->SetActivePage(Sheets[1]);
    if (DefaultToFile) Pages->SetActivePageDefault(Sheets[2]);
    Log.Attach(Pages);
    EndLoading(Form);
    testsupport::ShowActive(Form);
  }
  ~TSourcePages() { Form->Free(); }
  std::vector<std::string> Shown() const { return ShownPages(Sheets); }
  TForm* Form;
  TKvPageControl* Pages;
  std::vector<TKvTabSheet*> Sheets;
  TEventLog Log;
};

}  // namespace

TEST(KvPageControl, TheSourcePagesLoadWithFolderActiveAndSwitchOnClicks) {
  Events Sheets;  // outlives the pages, which report hiding as they go
  TSourcePages P;
  EXPECT_EQ(P.Pages->ActivePage(), P.Sheets[1]);
  EXPECT_EQ(P.Pages->TabIndex(), 1);
  EXPECT_EQ(P.Shown(), Events{"Folder"});
  EXPECT_TRUE(P.Pages->UseColoredTabs());  // the sheets' colour differs from the control's
  EXPECT_EQ(P.Log.Take(), Events{});       // loading reports nothing
  EXPECT_EQ(P.Sheets[1]->BoundsRect(), Rect(1, 20, 299, 149));

  // The page and its tab in the page's colour, the tab joined to the card, the bar on
  // top, the control's ground showing through beside the tabs.
  const QImage I = Render(P.Pages);
  const TRect Tab = P.Pages->TabControlRect(1);
  EXPECT_EQ(Tab, Rect(72, 0, 152, 19));
  EXPECT_EQ(PixelAt(I, 112, 19), TColor(clSkyBlue));
  EXPECT_EQ(PixelAt(I, 40, 19), TColor(clNavy));
  EXPECT_EQ(PixelAt(I, 112, 3), TColor(clLime));
  EXPECT_EQ(PixelAt(I, 280, 5), TColor(clCream));
  EXPECT_EQ(PixelAt(I, 150, 100), TColor(clSkyBlue));

  for (TKvTabSheet* S : P.Sheets) {
    S->OnShow = [&Sheets](TComponent* Sender) { Sheets.push_back("show " + static_cast<TKvTabSheet*>(Sender)->Caption()); };
    S->OnHide = [&Sheets](TComponent* Sender) { Sheets.push_back("hide " + static_cast<TKvTabSheet*>(Sender)->Caption()); };
  }
  const TPoint File = CenterPoint(P.Pages->TabControlRect(2));
  testsupport::MouseClick(P.Pages, File.X, File.Y);
  EXPECT_EQ(P.Pages->ActivePage(), P.Sheets[2]);
  EXPECT_EQ(P.Shown(), Events{"File"});
  EXPECT_EQ(P.Log.Take(), (Events{"changing 2", "change", "page", "click"}));
  EXPECT_EQ(Sheets, (Events{"show File", "hide Folder"}));

  // A default page set while loading wins over the active one.
  TSourcePages D(true);
  EXPECT_EQ(D.Pages->ActivePage(), D.Sheets[2]);
  EXPECT_EQ(D.Pages->TabIndex(), 2);
  EXPECT_EQ(D.Shown(), Events{"File"});
}

TEST(KvPageControl, ActivePageAndPageIndexMoves) {
  TPageForm F({"A", "B", "C"});
  EXPECT_EQ(F.Pages->ActivePage(), F.Sheets[0]);  // the first page comes up by itself
  F.Pages->SetActivePage(F.Sheets[2]);
  EXPECT_EQ(F.Pages->TabIndex(), 2);
  EXPECT_EQ(F.Shown(), Events{"C"});
  EXPECT_EQ(F.Log.Take(), (Events{"changing 2", "change", "page"}));
  F.Log.Refused = {1};
  F.Pages->SetActivePage(F.Sheets[1]);
  EXPECT_EQ(F.Pages->ActivePage(), F.Sheets[2]);
  F.Log.Take();
  // No page: OnPageChange, nothing shown.
  F.Pages->SetActivePageIndex(5);
  EXPECT_EQ(F.Pages->ActivePage(), nullptr);
  EXPECT_EQ(F.Pages->TabIndex(), -1);
  EXPECT_EQ(F.Shown(), Events{});
  EXPECT_EQ(F.Log.Take(), Events{"page"});
  F.Pages->SetActivePageIndex(2);

  // Moving a page reorders the tabs and keeps the page active.
  std::vector<std::pair<int32_t, int32_t>> Moves;
  F.Pages->OnTabOrderChange = [&](TComponent*, int32_t Old, int32_t New) { Moves.emplace_back(Old, New); };
  F.Sheets[2]->SetPageIndex(0);
  EXPECT_EQ(Moves, (std::vector<std::pair<int32_t, int32_t>>{{2, 0}}));
  EXPECT_EQ(F.Pages->Pages(0), F.Sheets[2]);
  EXPECT_EQ(F.Pages->Tab(0)->Caption, "C");
  EXPECT_EQ(F.Pages->Tab(2)->Caption, "B");
  EXPECT_EQ(F.Pages->ActivePage(), F.Sheets[2]);
  EXPECT_EQ(F.Pages->TabIndex(), 0);
  EXPECT_EQ(F.Log.Take(), (Events{"changing 2", "change", "page"}));  // the selection above, not the move
  try {
    F.Sheets[0]->SetPageIndex(3);
    ADD_FAILURE() << "no error";
  } catch (const EKvTabControlError& E) {
    EXPECT_EQ(E.Message(), "3 is an invalid PageIndex value. PageIndex must be between 0 and 2");
  }
  EXPECT_THROW(F.Sheets[0]->SetPageIndex(-1), EKvTabControlError);
  try {
    F.Sheets[0]->SetVisible(true);
    ADD_FAILURE() << "no error";
  } catch (const EKvTabControlError& E) {
    EXPECT_EQ(E.Message(), "You cannot change the Visible property of a page");
  }
}

TEST(KvPageControl, HiddenTabsLeaveTheirPagesOutOfTheSelection) {
  TPageForm F({"A", "B", "C"});
  F.Sheets[1]->SetTabVisible(false);
  EXPECT_EQ(F.Pages->TabCount(), 2);
  EXPECT_EQ(F.Sheets[2]->TabIndex(), 1);
  EXPECT_EQ(F.Sheets[1]->TabIndex(), -1);
  F.ClickTab(1);
  EXPECT_EQ(F.Pages->ActivePage(), F.Sheets[2]);
  F.Log.Take();
  // The active page's tab hidden: no tab selected, the page stays.
  F.Sheets[2]->SetTabVisible(false);
  EXPECT_EQ(F.Pages->TabIndex(), -1);
  EXPECT_EQ(F.Pages->ActivePage(), F.Sheets[2]);
  EXPECT_EQ(F.Shown(), Events{"C"});
  EXPECT_EQ(F.Log.Take(), Events{});
  F.Pages->ShowAllTabs();
  EXPECT_EQ(F.Pages->TabIndex(), 2);
  EXPECT_EQ(F.Pages->ActivePage(), F.Sheets[2]);
  // Removing the active page brings up the first.
  F.Sheets[2]->SetPageControl(nullptr);
  EXPECT_EQ(F.Pages->PageCount(), 2);
  EXPECT_EQ(F.Pages->ActivePage(), F.Sheets[0]);
  EXPECT_EQ(F.Shown(), (Events{"A"}));
}

TEST(KvPageControl, TheFocusFollowsTheActivePage) {
  TPageForm F({"A", "B", "C"});
  F.Edit(0)->SetFocus();
  F.ClickTab(1);
  EXPECT_TRUE(F.Edit(1)->Focused());
  // Ctrl+Tab and Ctrl+Shift+Tab go round the pages while the focus is inside.
  testsupport::KeyClick(Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(F.Pages->ActivePage(), F.Sheets[2]);
  EXPECT_TRUE(F.Edit(2)->Focused());
  testsupport::KeyClick(Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(F.Pages->ActivePage(), F.Sheets[0]);
  testsupport::KeyClick(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(F.Pages->ActivePage(), F.Sheets[2]);
  EXPECT_TRUE(F.Edit(2)->Focused());
  // Focus outside the page control: Ctrl+Tab is not its key.
  auto* Outside = new TCustomControl(F.Form);
  Outside->SetParent(F.Form);
  Outside->SetTabStop(true);
  Outside->SetBounds(320, 10, 20, 20);
  Outside->SetFocus();
  testsupport::KeyClick(Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(F.Pages->ActivePage(), F.Sheets[2]);
  // The control itself focused while its page's tab is hidden: the page's control takes it.
  F.Sheets[2]->SetTabVisible(false);
  F.Pages->SetFocus();
  EXPECT_TRUE(F.Edit(2)->Focused());
}

TEST(KvPageControl, ClosingAndDraggingPages) {
  TPageForm F({"A", "B", "C", "D"});
  F.Pages->SetShowCloseButton(true);
  F.Pages->SetActivePage(F.Sheets[2]);
  TKvTabCloseButton* Close = F.Pages->CloseButton();
  ASSERT_NE(Close, nullptr);
  testsupport::MouseClick(Close, 5, 5);  // nobody allows it
  EXPECT_EQ(F.Pages->PageCount(), 4);
  bool Allow = false;
  F.Pages->OnClose = [&](TComponent*, bool& AllowClose) { AllowClose = Allow; };
  testsupport::MouseClick(Close, 5, 5);
  EXPECT_EQ(F.Pages->PageCount(), 4);
  Allow = true;
  testsupport::MouseClick(Close, 5, 5);
  ASSERT_EQ(F.Pages->PageCount(), 3);
  EXPECT_EQ(F.Pages->ActivePage(), F.Sheets[1]);  // the previous tab's page
  EXPECT_EQ(F.Pages->TabIndex(), 1);
  F.Pages->SetActivePage(F.Sheets[0]);
  testsupport::MouseClick(Close, 5, 5);
  ASSERT_EQ(F.Pages->PageCount(), 2);
  EXPECT_EQ(F.Pages->ActivePage(), F.Sheets[1]);  // the first closed: the next one, now first
  EXPECT_EQ(F.Pages->TabIndex(), 0);

  // Dragging the selected tab over another marks where it goes and moves its page there.
  TPageForm G({"A", "B", "C"});
  FixTabSize(G.Pages);
  G.Pages->SetAllowTabDragging(true);
  std::vector<std::pair<int32_t, int32_t>> Moves;
  G.Pages->OnTabOrderChange = [&](TComponent*, int32_t Old, int32_t New) { Moves.emplace_back(Old, New); };
  const TPoint From = CenterPoint(G.Pages->TabControlRect(0)), To = CenterPoint(G.Pages->TabControlRect(2));
  testsupport::MousePress(G.Pages, From.X, From.Y);
  testsupport::MouseMove(G.Pages, From.X + 2, From.Y);
  EXPECT_FALSE(G.Pages->Dragging());  // not past the threshold yet
  const QImage Before = Render(G.Pages);
  testsupport::MouseMove(G.Pages, To.X, To.Y);
  EXPECT_TRUE(G.Pages->Dragging());
  EXPECT_EQ(G.Pages->DropTarget(), 2);
  // The marker inverts two arrowheads on the target's far edge, the middle of its slant.
  const QImage Marked = Render(G.Pages);
  const TRect Target = G.Pages->TabControlRect(2);
  const int32_t X = Target.Right - 9;
  for (const int32_t Y : {Target.Top + 2, Target.Bottom - 3}) {
    const TColor Under = PixelAt(Before, X, Y);
    EXPECT_EQ(PixelAt(Marked, X, Y), RGB(255 - GetRValue(Under), 255 - GetGValue(Under), 255 - GetBValue(Under))) << Y;
  }
  EXPECT_EQ(PixelAt(Marked, X, Target.Top + 10), PixelAt(Before, X, Target.Top + 10));
  testsupport::MouseRelease(G.Pages, To.X, To.Y);
  EXPECT_FALSE(G.Pages->Dragging());
  EXPECT_EQ(Moves, (std::vector<std::pair<int32_t, int32_t>>{{0, 2}}));
  EXPECT_EQ(G.Pages->Pages(2), G.Sheets[0]);
  EXPECT_EQ(G.Pages->ActivePage(), G.Sheets[0]);
  EXPECT_EQ(G.Pages->TabIndex(), 2);
}

TEST(KvPageControl, PagesTakeTheControlsColourUntilOneHasItsOwn) {
  TPageForm F({"A", "B"});
  F.Pages->SetColor(clMoneyGreen);
  EXPECT_EQ(F.Sheets[0]->Color(), TColor(clMoneyGreen));
  EXPECT_EQ(F.Sheets[1]->Color(), TColor(clMoneyGreen));
  EXPECT_FALSE(F.Pages->UseColoredTabs());
  F.Sheets[1]->SetColor(clSkyBlue);
  EXPECT_TRUE(F.Pages->UseColoredTabs());
  EXPECT_EQ(F.Pages->Tab(1)->Color, TColor(clSkyBlue));
  F.Pages->SetColor(clCream);
  EXPECT_EQ(F.Sheets[1]->Color(), TColor(clSkyBlue));
  // The card shows the active page's colour.
  F.Pages->SetActivePage(F.Sheets[1]);
  EXPECT_EQ(PixelAt(Render(F.Pages), 150, 100), TColor(clSkyBlue));
  F.Pages->SetUseColoredTabs(false);
  EXPECT_EQ(F.Sheets[1]->Color(), TColor(clCream));
  // Beside the tabs the control shows the parent's colour, or a colour of its own.
  F.Form->SetColor(clOlive);
  EXPECT_EQ(PixelAt(Render(F.Pages), 280, 5), TColor(clOlive));
  F.Pages->SetBackgroundColor(clTeal);
  F.Form->SetColor(clGray);
  EXPECT_EQ(PixelAt(Render(F.Pages), 280, 5), TColor(clTeal));
  F.Pages->SetParentBackgroundColor(true);
  EXPECT_EQ(F.Pages->BackgroundColor(), TColor(clGray));
}
