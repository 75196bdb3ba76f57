// Edits and memos: Enter as Tab, the edit's mouse capture, and the memo's caret line
// and column with their events.
#include "tests/widgets/WidgetTest.h"

#include <gtest/gtest.h>

#include <QWidget>

#include "widgets/KvCmboBx.h"
#include "widgets/KvEdit.h"

using namespace widgettest;
using testsupport::KeyClick;

namespace {

struct TEditForm : TInputForm {
  TEditForm() : TInputForm(360, 260) {
    Edit = Add<TKvEdit>(Bounds(10, 10, 120, 21));
    Memo = Add<TKvMemo>(Bounds(10, 40, 200, 80));
    Combo = Add<TKvComboBox>(Bounds(10, 130, 120, 21));
    Last = Add<TKvEdit>(Bounds(10, 160, 120, 21));
  }
  TKvEdit* Edit;
  TKvMemo* Memo;
  TKvComboBox* Combo;
  TKvEdit* Last;
};

}  // namespace

TEST(KvEdit, EnterMovesTheFocusOnWithTabOnEnterAndTypesNothing) {
  TEditForm F;
  F.Memo->SetText("memo");
  F.Combo->SetText("combo");
  F.Show();
  // Without TabOnEnter the memo takes Enter as a line break.
  F.Memo->SetFocus();
  F.Memo->SetSelStart(4);
  KeyClick(Qt::Key_Return);
  Application->ProcessMessages();
  EXPECT_TRUE(F.Memo->Focused());
  EXPECT_EQ(F.Memo->Text(), "memo\n");
  F.Memo->SetText("memo");
  const struct {
    TWinControl* Control;
    TWinControl* Next;
  } Chain[] = {{F.Edit, F.Memo}, {F.Memo, F.Combo}, {F.Combo, F.Last}};
  F.Edit->SetTabOnEnter(true);
  F.Memo->SetTabOnEnter(true);
  F.Combo->SetTabOnEnter(true);
  for (const auto& Step : Chain) {
    Step.Control->SetFocus();
    KeyClick(Qt::Key_Return);
    Application->ProcessMessages();
    EXPECT_TRUE(Step.Next->Focused()) << Step.Control->Name();
  }
  EXPECT_EQ(F.Memo->Text(), "memo");
  EXPECT_EQ(F.Combo->Text(), "combo");
}

TEST(KvEdit, ACaptureTheEditHoldsEndsWithTheLeftButtonUpAndWithTheFocus) {
  TEditForm F;
  F.Show();
  F.Edit->SetFocus();
  F.Edit->SetMouseCapture(true);
  ASSERT_EQ(QWidget::mouseGrabber(), F.Edit->Host());
  testsupport::MouseClick(F.Edit, 5, 5);
  EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
  EXPECT_EQ(GetCaptureControl(), nullptr);
  F.Edit->SetMouseCapture(true);
  F.Last->SetFocus();
  EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
  EXPECT_EQ(GetCaptureControl(), nullptr);
  // Another control's capture is not the edit's to end.
  F.Edit->SetFocus();
  F.Memo->SetMouseCapture(true);
  F.Last->SetFocus();
  EXPECT_TRUE(F.Memo->MouseCapture());
  F.Memo->SetMouseCapture(false);
}

TEST(KvMemo, LineAndColumnFollowTheCaretAndOutOfRangeValuesAreIgnored) {
  TEditForm F;
  TKvMemo* M = F.Memo;
  std::vector<std::pair<int32_t, int32_t>> Moves;
  std::vector<bool> Selections;
  M->OnLineColChange = [&](TComponent*, int32_t Line, int32_t Column) { Moves.emplace_back(Line, Column); };
  M->OnClipboardChange = [&](TComponent*, bool, bool Selection) { Selections.push_back(Selection); };
  EXPECT_EQ(std::pair(M->Line(), M->Column()), std::pair(1, 1));  // empty
  F.Show();
  ASSERT_FALSE(Moves.empty());  // the window's creation reports the caret
  M->SetText("one\ntwo three\nfour");
  EXPECT_EQ(Moves.back(), std::pair(1, 1));  // a change reports it
  M->SetFocus();
  Moves.clear();
  KeyClick(Qt::Key_Down);
  KeyClick(Qt::Key_End);
  EXPECT_EQ(Moves.back(), std::pair(2, 10));
  KeyClick(Qt::Key_Left, Qt::ShiftModifier);
  EXPECT_TRUE(Selections.back());
  EXPECT_EQ(std::pair(M->Line(), M->Column()), std::pair(2, 9));
  // Setting them moves the caret and reports; values outside the text change nothing.
  M->SetLine(3);
  EXPECT_EQ(Moves.back(), std::pair(3, 1));
  EXPECT_FALSE(Selections.back());
  M->SetColumn(5);
  EXPECT_EQ(Moves.back(), std::pair(3, 5));
  const size_t Reported = Moves.size();
  for (int32_t Bad : {0, -1, 6}) M->SetColumn(Bad);
  for (int32_t Bad : {0, 4, 99}) M->SetLine(Bad);
  EXPECT_EQ(Moves.size(), Reported);
  EXPECT_EQ(std::pair(M->Line(), M->Column()), std::pair(3, 5));
  // A click reports where it put the caret.
  testsupport::MouseClick(M, 3, 3);
  EXPECT_EQ(Moves.back(), std::pair(1, 1));
}
