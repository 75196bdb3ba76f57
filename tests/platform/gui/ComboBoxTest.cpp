// The combo box: which changes raise events, styles switched at run time, the list's
// opening and closing, searches, owner drawing.
#include "tests/support/Gui.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QProxyStyle>
#include <QStyleFactory>

#include "platform/gui/ComboBox.h"
#include "platform/gui/Edits.h"

using namespace testsupport;

namespace {

struct TComboForm {
  explicit TComboForm(TComboBoxStyle Style = csDropDownList) : Form(NewForm<TForm>(nullptr)) {
    Form->SetBounds(0, 0, 300, 200);
    Box = new TComboBox(Form);
    Box->SetParent(Form);
    Box->SetBounds(10, 10, 150, 21);
    Box->SetStyle(Style);
    Box->Items()->Assign(std::vector<std::string>{"Low", "Medium", "High", "Highest"});
    Box->OnClick = [this](TComponent*) { Events.push_back("click " + std::to_string(Box->ItemIndex())); };
    Box->OnChange = [this](TComponent*) { Events.push_back("change " + Box->Text()); };
  }
  ~TComboForm() { Form->Free(); }
  QAbstractItemView* List() const { return static_cast<QComboBox*>(Box->Host())->view(); }
  TForm* Form;
  TComboBox* Box;
  std::vector<std::string> Events;
};

}  // namespace

TEST(ComboBox, OnlyTheUsersChoiceRaisesEvents) {
  TComboForm F;
  EXPECT_EQ(F.Box->ItemIndex(), -1);  // items added select nothing
  F.Box->SetItemIndex(2);
  EXPECT_EQ(F.Box->Text(), "High");
  F.Box->SetItemIndex(9);
  EXPECT_EQ(F.Box->ItemIndex(), -1);
  F.Box->SetItemIndex(1);
  F.Box->Items()->Delete(3);
  F.Box->Items()->Insert(0, "Lowest");
  EXPECT_EQ(F.Box->ItemIndex(), 2);  // the selected item moves along
  EXPECT_TRUE(F.Events.empty());
  ShowActive(F.Form);
  F.Box->SetFocus();
  KeyClick(Qt::Key_Down);  // the arrow keys choose, as the wheel and the list do
  EXPECT_EQ(F.Events, (std::vector<std::string>{"click 3", "change High"}));
  // OnSelect takes OnChange's place after a choice.
  int Selects = 0;
  F.Box->OnSelect = [&](TComponent*) { ++Selects; };
  F.Events.clear();
  F.Box->SetDroppedDown(true);
  // (Qt ignores a click in a list that opened within the double-click time.)
  F.List()->setCurrentIndex(F.List()->model()->index(0, 0));
  KeyClick(Qt::Key_Return);
  EXPECT_FALSE(F.Box->DroppedDown());
  EXPECT_EQ(F.Box->ItemIndex(), 0);
  EXPECT_EQ(F.Events, std::vector<std::string>{"click 0"});
  EXPECT_EQ(Selects, 1);
  F.Box->SetDroppedDown(true);  // choosing the selected item again changes nothing
  KeyClick(Qt::Key_Return);
  EXPECT_EQ(F.Events.size(), 1u);
  // Deleting the selected item leaves none selected.
  F.Box->Items()->Delete(0);
  EXPECT_EQ(F.Box->ItemIndex(), -1);
  EXPECT_EQ(F.Box->Text(), "");
}

TEST(ComboBox, StyleChangesKeepItemsSelectionAndText) {
  TComboForm F;
  F.Box->SetItemIndex(2);
  F.Box->SetStyle(csDropDown);
  EXPECT_EQ(F.Box->Text(), "High");
  EXPECT_EQ(F.Box->ItemIndex(), 2);
  F.Box->SetText("4");  // an edit part's text set in code raises OnChange
  EXPECT_EQ(F.Events, std::vector<std::string>{"change 4"});
  EXPECT_EQ(F.Box->ItemIndex(), 2);
  ShowActive(F.Form);
  F.Box->SetFocus();
  F.Box->SelectAll();
  KeyClick('5');
  EXPECT_EQ(F.Events.back(), "change 5");
  KeyClick(Qt::Key_Return);  // Enter chooses nothing
  EXPECT_EQ(F.Events.size(), 2u);
  // The edit part's menu comes through the responder.
  TDialogScript Script;
  Script.Choose("Select All");
  F.Box->SetSelStart(0);
  QTest::mouseClick(static_cast<QComboBox*>(F.Box->Host())->lineEdit(), Qt::RightButton, {}, QPoint(5, 5));
  EXPECT_EQ(F.Box->SelText(), "5");
  for (TComboBoxStyle S : {csSimple, csOwnerDrawFixed, csDropDownList}) {
    F.Box->SetStyle(S);
    EXPECT_EQ(F.Box->Items()->Count(), 4);
    EXPECT_EQ(F.Box->ItemIndex(), 2);
  }
  EXPECT_EQ(F.Box->Text(), "High");
  // Text of a drop-down list selects the item with that text, ignoring case.
  F.Box->SetText("medium");
  EXPECT_EQ(F.Box->ItemIndex(), 1);
  F.Box->SetText("none of them");
  EXPECT_EQ(F.Box->ItemIndex(), 1);
  EXPECT_EQ(F.Events.size(), 2u);
}

// A form's boxes are built as drop-downs and most are made lists at once: the edit part
// of a box built while its form loads is made once loading ends, for the style it has
// then, or earlier if its text is used.
TEST(ComboBox, ABoxBuiltWhileItsFormLoadsMakesOnlyTheEditPartOfItsFinalStyle) {
  const auto Edits = [](const TComboBox* Box) { return Box->Host()->findChildren<QLineEdit*>().size(); };
  TForm* Form = NewForm<TForm>(nullptr);
  BeginLoading(Form);
  auto* List = new TComboBox(Form);
  List->SetStyle(csDropDownList);
  auto* Typed = new TComboBox(Form);
  Typed->SetText("typed");
  auto* Later = new TComboBox(Form);
  EXPECT_EQ(Edits(Later), 0);
  EXPECT_EQ(Edits(Typed), 1);
  EndLoading(Form);
  EXPECT_EQ(Edits(Later), 1);
  EXPECT_EQ(Edits(List), 0);
  EXPECT_TRUE(List->Host()->findChildren<QAbstractItemView*>().empty());  // made as it first opens
  EXPECT_EQ(Typed->Text(), "typed");
  Form->Free();
}

// The dropped list takes what the box was given before it first opened (font, colour,
// owner drawing).
TEST(ComboBox, TheDroppedListTakesTheBoxsLookAsItOpens) {
  TComboForm F(csOwnerDrawFixed);
  F.Box->SetColor(clYellow);
  F.Box->Font()->SetSize(14);
  F.Box->SetItemHeight(20);
  ShowActive(F.Form);
  EXPECT_FALSE(F.Box->DroppedDown());
  F.Box->SetDroppedDown(true);
  EXPECT_TRUE(F.Box->DroppedDown());
  EXPECT_EQ(F.List()->font(), F.Box->Font()->QtFont());
  EXPECT_EQ(F.List()->palette().color(QPalette::Base), QColor(255, 255, 0));
  EXPECT_EQ(F.List()->visualRect(F.List()->model()->index(0, 0)).height(), 20);
}

TEST(ComboBox, SimpleStyleShowsTheListBelowTheEdit) {
  TComboForm F(csSimple);
  F.Box->SetHeight(100);
  EXPECT_EQ(F.Box->Height(), 100);
  ShowActive(F.Form);
  F.Box->SetDroppedDown(true);
  EXPECT_FALSE(F.Box->DroppedDown());  // nothing drops: the list is always there
  auto* List = F.Box->Host()->findChild<QAbstractItemView*>(QString(), Qt::FindDirectChildrenOnly);
  ASSERT_NE(List, nullptr);
  EXPECT_TRUE(List->isVisible());
  EXPECT_GT(List->geometry().top(), 10);
  QTest::mouseClick(List->viewport(), Qt::LeftButton, {}, List->visualRect(List->model()->index(3, 0)).center());
  EXPECT_EQ(F.Box->Text(), "Highest");
  EXPECT_EQ(F.Events, (std::vector<std::string>{"click 3", "change Highest"}));
  F.Box->SetStyle(csDropDown);
  EXPECT_EQ(F.Box->Height(), TCanvas().TextHeight("X") + 8);  // the face's height again
}

TEST(ComboBox, DropDownFillsTheListBeforeItOpensAndCloseUpFollows) {
  TComboForm F;
  F.Box->Items()->Clear();
  std::vector<std::string> Journal;
  F.Box->OnDropDown = [&](TComponent*) {
    Journal.push_back("drop");
    if (F.Box->Items()->Count() == 0) F.Box->Items()->Assign(std::vector<std::string>{"a", "b"});
  };
  F.Box->OnCloseUp = [&](TComponent*) { Journal.push_back("close " + std::to_string(F.Box->ItemIndex())); };
  F.Box->SetDroppedWidth(250);
  ShowActive(F.Form);
  MouseClick(F.Box, 10, 5);
  EXPECT_TRUE(F.Box->DroppedDown());
  EXPECT_EQ(F.List()->model()->rowCount(), 2);
  EXPECT_GE(F.List()->width(), 250);
  KeyClick(Qt::Key_Escape);
  EXPECT_FALSE(F.Box->DroppedDown());
  EXPECT_EQ(GetCaptureControl(), nullptr);  // the press that opened the list holds nothing
  EXPECT_EQ(Journal, (std::vector<std::string>{"drop", "close -1"}));
  EXPECT_TRUE(F.Events.empty());
  // A list of items wider than the box and than DroppedWidth is as wide as its widest.
  F.Box->Items()->Add(std::string(60, 'W'));
  F.Box->SetDroppedDown(true);
  EXPECT_GE(F.List()->viewport()->width(), F.List()->sizeHintForColumn(0));
  EXPECT_GT(F.List()->width(), 250);
  F.Box->SetDroppedDown(false);
}

TEST(ComboBox, FindsItemsByPrefixAndExactlyWrappingRound) {
  TComboForm F;
  const struct {
    std::string Text;
    int32_t StartAfter;
    int32_t Prefix, Exact;
  } Cases[] = {
      {"high", -1, 2, 2}, {"HIGH", 2, 3, 2}, {"High", 3, 2, 2}, {"m", 1, 1, -1}, {"x", -1, -1, -1}, {"", 0, 1, -1},
  };
  for (const auto& C : Cases) {
    EXPECT_EQ(F.Box->FindString(C.Text, C.StartAfter), C.Prefix) << C.Text << " after " << C.StartAfter;
    EXPECT_EQ(F.Box->FindStringExact(C.Text, C.StartAfter), C.Exact) << C.Text << " after " << C.StartAfter;
  }
}

TEST(ComboBox, OwnerDrawnItemsAndFace) {
  TComboForm F(csOwnerDrawVariable);
  std::vector<TOwnerDrawState> FaceStates;
  F.Box->OnDrawItem = [&](TComponent*, int32_t Index, TRect R, TOwnerDrawState State) {
    if (State & odComboBoxEdit) FaceStates.push_back(State);
    F.Box->Canvas()->Brush()->SetColor(Index == 1 ? clRed : clLime);
    F.Box->Canvas()->FillRect(R);
  };
  F.Box->OnMeasureItem = [](TComponent*, int32_t Index, int32_t& Height) { Height = 10 + 5 * Index; };
  F.Box->SetItemIndex(1);
  const QImage Face = Render(F.Box);
  EXPECT_GT(CountColor(Face, clRed), 50);
  ASSERT_FALSE(FaceStates.empty());
  EXPECT_EQ(FaceStates.back() & (odComboBoxEdit | odFocused), odComboBoxEdit);
  ShowActive(F.Form);
  F.Box->SetDroppedDown(true);
  for (int I = 0; I < 4; ++I) EXPECT_EQ(F.List()->visualRect(F.List()->model()->index(I, 0)).height(), 10 + 5 * I);
  F.Box->SetDroppedDown(false);
  F.Box->SetStyle(csOwnerDrawFixed);
  F.Box->SetItemHeight(14);
  F.Box->SetDroppedDown(true);
  EXPECT_EQ(F.List()->visualRect(F.List()->model()->index(3, 0)).height(), 14);
}

TEST(ComboBox, DropButtonAndEditsHaveTheClassicLookWhateverTheDesktopAsks) {
  // The test main asks for Fusion through QT_STYLE_OVERRIDE, as a desktop may.
  const auto Base = [](const QStyle* S) {
    if (const auto* Proxy = qobject_cast<const QProxyStyle*>(S)) S = Proxy->baseStyle();
    return S->name().toLower().toStdString();
  };
  EXPECT_EQ(Base(QApplication::style()), "windows");
  TComboForm F;
  auto* Edit = new TEdit(F.Form);
  Edit->SetParent(F.Form);
  EXPECT_EQ(Base(Edit->Host()->style()), "windows");
  // The drop button is the classic raised one: white above and left, the dark shadow
  // below and right, the face in clBtnFace.
  ShowActive(F.Form);
  const QImage I = F.Box->Host()->grab().toImage();
  const int32_t Right = I.width() - 3, Left = I.width() - 17, Mid = I.height() / 2;
  EXPECT_EQ(PixelAt(I, Left, Mid), TColor(clWhite));
  EXPECT_EQ(PixelAt(I, Right, Mid), ColorToRGB(cl3DDkShadow));
  EXPECT_EQ(PixelAt(I, Left + 3, 4), ColorToRGB(clBtnFace));
  // Unfocused, the field beside it shows the control's colour.
  Edit->SetFocus();
  const QImage Unfocused = F.Box->Host()->grab().toImage();
  EXPECT_EQ(PixelAt(Unfocused, 6, Mid), TColor(clWhite));
  EXPECT_EQ(PixelAt(Unfocused, Left + 3, 4), ColorToRGB(clBtnFace));
  // A platform theme that sets its own style, palette and font while the program runs
  // (as desktops do when their settings change) is undone.
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  QApplication::setPalette(QPalette(Qt::darkGray));
  QApplication::setFont(QFont("DejaVu Serif", 14));
  Application->ProcessMessages();
  EXPECT_EQ(Base(QApplication::style()), "windows");
  const QColor Button = QApplication::palette().color(QPalette::Button);
  EXPECT_EQ(RGB(Button.red(), Button.green(), Button.blue()), ColorToRGB(clBtnFace));
  EXPECT_EQ(QApplication::font().family().toStdString(), DefaultFontName());
}
