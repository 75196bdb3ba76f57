// Popup menus: the item tree, what a popup shows and which choices click, and the real
// QMenu driven from the keyboard.
#include "tests/support/Gui.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>

#include "platform/gui/ImgList.h"
#include "platform/gui/Menus.h"

using namespace testsupport;

namespace {

struct TMenuFixture {
  TMenuFixture() : Menu(new TPopupMenu(nullptr)) {
    Open = Item(Menu->Items(), "&Open");
    Open->SetShortCut(ShortCut('O', ssCtrl));
    Item(Menu->Items(), "-");
    Item(Menu->Items(), "Hidden")->SetVisible(false);
    Item(Menu->Items(), "Disabled")->SetEnabled(false);
    Sub = Item(Menu->Items(), "Sub");
    A = Item(Sub, "A");
    B = Item(Sub, "B");
    for (TMenuItem* R : {A, B}) {
      R->SetRadioItem(true);
      R->SetGroupIndex(1);
    }
  }
  TMenuItem* Item(TMenuItem* Parent, const std::string& Caption) {
    auto* I = new TMenuItem(Menu.get());
    I->SetCaption(Caption);
    I->OnClick = [this, Caption](TComponent*) { Clicked.push_back(Caption); };
    Parent->Add(I);
    return I;
  }
  TComponentPtr<TPopupMenu> Menu;
  TMenuItem *Open, *Sub, *A, *B;
  std::vector<std::string> Clicked;
};

}  // namespace

TEST(PopupMenu, ShowsItsItemsAsTheyAreAndClicksOnlyUsableChoices) {
  TMenuFixture F;
  TDialogScript Script;
  F.Menu->OnPopup = [&](TComponent*) { F.Item(F.Menu->Items(), "Added late"); };
  Script.Choose("Open");
  F.Menu->Popup(10, 20);
  EXPECT_EQ(F.Clicked, std::vector<std::string>{"&Open"});
  ASSERT_EQ(Script.MenuCaptions.size(), 1u);
  EXPECT_EQ(Script.MenuCaptions[0], (std::vector<std::string>{"Open", "-", "Disabled", "Sub", "Added late"}));
  EXPECT_EQ(Script.Requests()[0].X, 10);
  EXPECT_EQ(Script.Requests()[0].Y, 20);
  EXPECT_EQ(F.Menu->PopupPoint(), Point(10, 20));
  // A disabled item, a submenu, an item of another menu and dismissing click nothing;
  // an item inside a submenu does.
  TMenuFixture Other;
  for (TMenuItem* Chosen : {F.Menu->Items()->Items(3), F.Sub, Other.Open, static_cast<TMenuItem*>(nullptr), F.B}) {
    F.Menu->OnPopup = nullptr;
    Script.Answer([Chosen](const TDialogRequest&) {
      TDialogAnswer A;
      A.MenuItem = Chosen;
      return A;
    });
    F.Menu->Popup(0, 0);
  }
  EXPECT_EQ(F.Clicked, (std::vector<std::string>{"&Open", "B"}));
  EXPECT_TRUE(Other.Clicked.empty());
  EXPECT_TRUE(Script.Finished());
}

TEST(PopupMenu, ItemTreeRadioGroupsAndShortCutTexts) {
  TMenuFixture F;
  F.A->SetChecked(true);
  F.B->SetChecked(true);  // one radio item of a group at a time
  EXPECT_FALSE(F.A->Checked());
  // Adding takes an item from where it was; an item cannot hold its own parent.
  TMenuFixture Other;
  F.Sub->Insert(0, Other.Open);
  EXPECT_EQ(Other.Open->Parent(), F.Sub);
  EXPECT_EQ(Other.Open->MenuIndex(), 0);
  EXPECT_EQ(Other.Menu->Items()->IndexOf(Other.Open), -1);
  EXPECT_THROW(F.A->Add(F.Sub), EMenuError);
  F.Sub->Delete(0);  // out of the menu, not freed
  EXPECT_EQ(Other.Open->Parent(), nullptr);
  Other.Open->Free();
  F.Sub->Free();  // with its sub-items
  EXPECT_EQ(F.Menu->Items()->Count(), 4);
  EXPECT_EQ(F.Menu->ComponentCount(), 5);  // the root and the four items left
  const std::pair<TShortCut, const char*> Texts[] = {
      {ShortCut('O', ssCtrl), "Ctrl+O"}, {ShortCut(VK_F10, ssShift), "Shift+F10"},
      {ShortCut(VK_DELETE, ssCtrl | ssShift), "Ctrl+Shift+Del"}, {ShortCut(VK_NEXT, ssAlt), "Alt+PgDn"},
      {ShortCut('7', 0), "7"}, {0, ""}};
  for (const auto& [Keys, Text] : Texts) EXPECT_EQ(ShortCutToText(Keys), Text);
}

TEST(PopupMenu, TheRealMenuTakesTheKeyboard) {
  TMenuFixture F;
  TImageList Images(nullptr);
  Images.SetSize(16, 16);
  TBitmap Red(16, 16);
  Red.Canvas()->Brush()->SetColor(clRed);
  Red.Canvas()->FillRect(Rect(0, 0, 16, 16));
  Images.Add(&Red, nullptr);
  F.Menu->SetImages(&Images);
  F.Open->SetImageIndex(0);
  TNoResponder Real;
  FromInsideTheDialog([&] {
    auto* Shown = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!Shown) return false;
    const QList<QAction*> Actions = Shown->actions();
    EXPECT_EQ(Actions.size(), 4);  // the hidden item is left out
    EXPECT_EQ(Actions[0]->text(), QString("&Open\tCtrl+O"));
    EXPECT_FALSE(Actions[0]->icon().isNull());
    EXPECT_TRUE(Actions[1]->isSeparator());
    EXPECT_FALSE(Actions[2]->isEnabled());
    EXPECT_NE(Actions[3]->menu(), nullptr);
    QTest::keyClick(Shown, Qt::Key_Down);
    QTest::keyClick(Shown, Qt::Key_Return);
    return true;
  });
  F.Menu->Popup(50, 50);
  EXPECT_EQ(F.Clicked, std::vector<std::string>{"&Open"});
}
