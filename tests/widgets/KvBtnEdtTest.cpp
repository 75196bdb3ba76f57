// Button edits: the shortcut keys, the buttons' place and the text margins kept clear
// of them, hiding them when read-only, and AllowKeyEdit.
#include "tests/widgets/WidgetTest.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>

#include "widgets/KvBtnEdt.h"

using namespace widgettest;
using testsupport::KeyClick;
using testsupport::MouseClick;
using testsupport::Render;

namespace {

struct TButtonEditForm : TInputForm {
  TButtonEditForm() {
    Edit = Add<TKvButtonEdit>(Bounds(10, 10, 200, 21));
    Other = Add<TKvEdit>(Bounds(10, 40, 100, 21));
    Edit->OnButtonClick = [this](TComponent*) { Clicks.push_back(Edit->Focused() ? "main, focused" : "main"); };
    Edit->OnAltBtnClick = [this](TComponent*) { Clicks.push_back("alt"); };
    Show();
  }
  std::vector<std::string> Clicks;
  TKvButtonEdit* Edit;
  TKvEdit* Other;
};

}  // namespace

TEST(KvButtonEdit, ShortcutsAndPressesClickTheButtonsAndTypeNothing) {
  TButtonEditForm F;
  TKvButtonEdit* E = F.Edit;
  E->SetText("/home/music");
  E->SetAltBtnVisible(true);
  E->SetAltBtnShortCut(ShortCut(VK_F4, ssShift));
  E->SetFocus();
  KeyClick(Qt::Key_F4);
  KeyClick(Qt::Key_F4, Qt::ShiftModifier);
  EXPECT_EQ(F.Clicks, (std::vector<std::string>{"main, focused", "alt"}));
  EXPECT_EQ(E->Text(), "/home/music");
  // A button that is hidden or disabled, or hidden with the read-only edit's buttons,
  // has no shortcut.
  E->SetButtonVisible(false);
  KeyClick(Qt::Key_F4);
  E->SetButtonVisible(true);
  E->Buttons()->MainButton()->SetEnabled(false);
  KeyClick(Qt::Key_F4);
  E->Buttons()->MainButton()->SetEnabled(true);
  E->SetReadOnly(true);
  KeyClick(Qt::Key_F4, Qt::ShiftModifier);
  E->SetReadOnly(false);
  EXPECT_EQ(F.Clicks.size(), 2u);
  // Pressing a button brings the focus to the edit first.
  F.Other->SetFocus();
  MouseClick(E->Buttons()->MainButton(), 5, 5);
  EXPECT_EQ(F.Clicks.back(), "main, focused");
}

TEST(KvButtonEdit, ButtonsSitAtTheRightEdgeAndTheTextKeepsClearOfThem) {
  TButtonEditForm F;
  TKvButtonEdit* E = F.Edit;
  TKvButtonPair* Pair = E->Buttons();
  const int32_t H = E->Height();
  const struct {
    bool Alt, ReadOnly, Hide;
    int32_t PairWidth;  // 0: no buttons shown
  } Cases[] = {{false, false, true, 17}, {true, false, true, 34}, {true, true, true, 0}, {true, true, false, 34}};
  for (const auto& K : Cases) {
    E->SetAltBtnVisible(K.Alt);
    E->SetReadOnly(K.ReadOnly);
    E->SetHideButtonsOnReadOnly(K.Hide);
    EXPECT_EQ(Pair->Visible(), K.PairWidth > 0);
    EXPECT_EQ(E->RightMargin(), K.PairWidth ? K.PairWidth + 2 : 0);
    if (!K.PairWidth) continue;
    EXPECT_EQ(Pair->BoundsRect(), Rect(E->Width() - K.PairWidth - 4, 0, E->Width() - 4, H - 4));
    EXPECT_EQ(Pair->MainButton()->BoundsRect(), Rect(0, 0, 17, H - 4));
    if (K.Alt) {
      EXPECT_EQ(Pair->AltButton()->BoundsRect(), Rect(17, 0, 34, H - 4));
    }
  }
  // Typed text stops short of the buttons.
  E->SetReadOnly(false);
  E->SetAltBtnVisible(false);
  E->SetColor(clWhite);
  E->Font()->SetColor(clRed);
  E->SetText(std::string(60, 'W'));
  E->SetSelStart(60);
  const QImage I = Render(E);
  const TRect Text = testsupport::ColorBounds(I, clRed);
  EXPECT_LT(Text.Right, E->Width() - 2 - 17 - 2 + 1);
  EXPECT_GT(Text.Right, E->Width() - 2 - 17 - 2 - 12);
  // The stock glyph: the lookup dots in black on the button face.
  const TRect Face = Rect(E->Width() - 2 - 17, 2, E->Width() - 2, H - 2);
  EXPECT_GE(testsupport::CountColor(I, clBlack, Face), 12);
}

TEST(KvButtonEdit, WithoutAllowKeyEditOnlyTheCaretMoves) {
  TButtonEditForm F;
  TKvButtonEdit* E = F.Edit;
  TBeepCounter Beeps;
  E->SetText("abc");
  E->SetAllowKeyEdit(false);
  E->SetFocus();
  E->SetSelStart(1);
  QApplication::clipboard()->setText("xyz");
  for (Qt::Key K : {Qt::Key_X, Qt::Key_Backspace, Qt::Key_Delete}) KeyClick(K);
  KeyClick('v', Qt::ControlModifier);
  EXPECT_EQ(E->Text(), "abc");
  EXPECT_EQ(Beeps.Count, 3);
  KeyClick(Qt::Key_Right);
  EXPECT_EQ(E->SelStart(), 2);
  // Without the beep; and the program still sets the text.
  E->SetBeepOnInvalidKey(false);
  KeyClick(Qt::Key_Y);
  EXPECT_EQ(Beeps.Count, 3);
  E->SetText("chosen");
  EXPECT_EQ(E->Text(), "chosen");
  E->SetAllowKeyEdit(true);
  KeyClick(Qt::Key_End);
  KeyClick('!');
  EXPECT_EQ(E->Text(), "chosen!");
}
