// Edits and memos: the class library's text events, keys, clipboard commands, focus and
// selection, the border band, and memo lines.
#include "tests/support/Gui.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>

#include "platform/gui/Edits.h"

using namespace testsupport;

namespace {

// An edit that records its clipboard commands and may refuse pasting, as the widget
// library's edits do.
class TProbeEdit : public TEdit {
public:
  TProbeEdit(TComponent* AOwner, TWinControl* AParent) : TEdit(AOwner) {
    SetParent(AParent);
    SetBounds(10, 10, 120, 21);
  }
  std::vector<uint32_t> Commands;
  bool RefusePaste = false;
  int TextMessages = 0;

protected:
  void WMCut() override {
    Commands.push_back(WM_CUT);
    TEdit::WMCut();
  }
  void WMPaste() override {
    Commands.push_back(WM_PASTE);
    if (!RefusePaste) TEdit::WMPaste();
  }
  void CMTextChanged() override {
    ++TextMessages;
    TEdit::CMTextChanged();
  }
};

struct TEditForm {
  TEditForm() : Form(NewForm<TForm>(nullptr)) {
    Form->SetBounds(0, 0, 300, 200);
    Edit = new TProbeEdit(Form, Form);
    Other = new TEdit(Form);
    Other->SetParent(Form);
    Other->SetBounds(10, 40, 120, 21);
    Edit->OnChange = [this](TComponent*) { Changes.push_back(Edit->Text()); };
  }
  ~TEditForm() { Form->Free(); }
  TForm* Form;
  TProbeEdit* Edit;
  TEdit* Other;
  std::vector<std::string> Changes;
};

}  // namespace

TEST(Edit, TextFiresOnChangeFromCodeAndFromTheKeyboard) {
  TEditForm F;
  F.Edit->SetText("abc");
  F.Edit->SetText("abc");  // unchanged: nothing
  EXPECT_EQ(F.Changes, std::vector<std::string>{"abc"});
  EXPECT_EQ(F.Edit->TextMessages, 1);
  EXPECT_TRUE(F.Edit->Modified());
  ShowActive(F.Form);
  F.Edit->SetFocus();
  F.Edit->SetSelStart(3);
  // OnKeyPress may change or swallow a character; CharCase converts what is typed.
  F.Edit->OnKeyPress = [](TComponent*, char32_t& Key) {
    if (Key == U'x') Key = 0;
    if (Key == U'q') Key = U'z';
  };
  F.Edit->SetCharCase(ecUpperCase);
  EXPECT_EQ(F.Edit->Text(), "ABC");
  for (char C : {'d', 'x', 'q'}) KeyClick(C);
  EXPECT_EQ(F.Edit->Text(), "ABCDZ");
  EXPECT_EQ(F.Changes.back(), "ABCDZ");
  EXPECT_EQ(F.Edit->TextMessages, 2);  // typing is not a text message; CharCase set it in code
  // MaxLength stops typing, not text set in code; ReadOnly stops both typing and pasting.
  F.Edit->SetMaxLength(5);
  KeyClick('e');
  EXPECT_EQ(F.Edit->Text(), "ABCDZ");
  F.Edit->SetReadOnly(true);
  F.Edit->SetSelStart(0);
  KeyClick(Qt::Key_Delete);
  F.Edit->PasteFromClipboard();
  EXPECT_EQ(F.Edit->Text(), "ABCDZ");
}

TEST(Edit, ClipboardCommandsFromKeysMenusAndCodeGoThroughTheirMessages) {
  TEditForm F;
  TDialogScript Script;
  F.Edit->SetText("one two");
  ShowActive(F.Form);
  F.Edit->SetFocus();
  F.Edit->SetSelStart(4);
  F.Edit->SetSelLength(3);
  EXPECT_EQ(F.Edit->SelText(), "two");
  KeyClick('x', Qt::ControlModifier);
  EXPECT_EQ(F.Edit->Text(), "one ");
  EXPECT_EQ(QApplication::clipboard()->text(), QString("two"));
  F.Edit->RefusePaste = true;
  KeyClick('v', Qt::ControlModifier);
  EXPECT_EQ(F.Edit->Text(), "one ");
  // The widget's own menu comes through the responder; its Paste is WM_PASTE too.
  F.Edit->RefusePaste = false;
  Script.Choose("Paste");
  MouseClick(F.Edit, 5, 5, Qt::RightButton);
  EXPECT_EQ(F.Edit->Text(), "one two");
  EXPECT_EQ(F.Edit->Commands, (std::vector<uint32_t>{WM_CUT, WM_PASTE, WM_PASTE}));
  ASSERT_EQ(Script.MenuCaptions.size(), 1u);
  EXPECT_NE(std::find(Script.MenuCaptions[0].begin(), Script.MenuCaptions[0].end(), "Cut"),
            Script.MenuCaptions[0].end());
  // SelText replaces the selection; Undo takes the last change back.
  F.Edit->SelectAll();
  F.Edit->SetSelText("three");
  EXPECT_EQ(F.Edit->Text(), "three");
  ASSERT_TRUE(F.Edit->CanUndo());
  F.Edit->Undo();
  EXPECT_EQ(F.Edit->Text(), "one two");
  F.Edit->ClearUndo();
  EXPECT_FALSE(F.Edit->CanUndo());
  EXPECT_EQ(F.Edit->Text(), "one two");
  EXPECT_TRUE(Script.Finished());
}

TEST(Edit, AutoSelectOnEnteringAndTheSelectionOutlivesTheFocus) {
  TEditForm F;
  F.Edit->SetText("hello");
  F.Other->SetText("world");
  ShowActive(F.Form);
  F.Edit->SetFocus();
  KeyClick(Qt::Key_Tab);
  EXPECT_TRUE(F.Other->Focused());
  EXPECT_EQ(F.Other->SelText(), "world");  // AutoSelect
  F.Other->SetSelStart(1);
  F.Other->SetSelLength(2);
  F.Other->SetAutoSelect(false);
  const QImage Focused = Render(F.Other);
  KeyClick(Qt::Key_Tab);
  EXPECT_EQ(F.Other->SelText(), "or");  // kept while another control has the focus
  // ...and shown neither as a selection nor with a caret: the edit looks as it does
  // with no selection at all.
  const QImage Kept = Render(F.Other);
  EXPECT_NE(Kept, Focused);
  F.Other->SetSelLength(0);
  EXPECT_EQ(Kept, Render(F.Other));
  F.Other->SetSelLength(2);
  F.Edit->SetAutoSelect(false);
  F.Edit->SetSelStart(2);
  KeyClick(Qt::Key_Tab);
  EXPECT_EQ(F.Other->SelText(), "or");
  KeyClick(Qt::Key_Tab);
  EXPECT_TRUE(F.Edit->Focused());
  EXPECT_EQ(F.Edit->SelLength(), 0);  // without AutoSelect the caret stays
  EXPECT_EQ(F.Edit->SelStart(), 2);
}

TEST(Edit, TheBorderBandHoldsTheClientAreaAndIsPaintedAround) {
  TEditForm F;
  F.Edit->SetAutoSize(false);
  F.Edit->SetBounds(0, 0, 100, 30);
  EXPECT_EQ(F.Edit->ClientRect(), Rect(0, 0, 96, 26));
  auto* Child = new TEdit(F.Form);
  Child->SetParent(F.Edit);
  Child->SetBorderStyle(bsNone);
  Child->SetAutoSize(false);
  Child->SetBounds(0, 0, 10, 10);
  EXPECT_EQ(Child->Host()->pos(), QPoint(2, 2));
  EXPECT_EQ(Child->ClientToParent({0, 0}, F.Form), Point(2, 2));
  QImage Image = Render(F.Edit);
  // A sunken edge: shadow and dark shadow at the top left, highlight and light at the
  // bottom right.
  EXPECT_EQ(PixelAt(Image, 0, 5), ColorToRGB(clBtnShadow));
  EXPECT_EQ(PixelAt(Image, 1, 5), ColorToRGB(cl3DDkShadow));
  EXPECT_EQ(PixelAt(Image, 99, 5), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(PixelAt(Image, 98, 5), ColorToRGB(cl3DLight));
  EXPECT_EQ(PixelAt(Image, 50, 2), ColorToRGB(clWindow));
  // Mouse positions are client positions.
  TPoint Down{-1, -1};
  F.Edit->OnMouseDown = [&](TComponent*, TMouseButton, TShiftState, int32_t X, int32_t Y) { Down = {X, Y}; };
  ShowActive(F.Form);
  QTest::mouseClick(F.Edit->Host(), Qt::LeftButton, {}, QPoint(50, 12));
  EXPECT_EQ(Down, Point(48, 10));
  // Flat: one line in the frame colour; none: no band at all.
  F.Edit->SetCtl3D(false);
  EXPECT_EQ(F.Edit->ClientRect(), Rect(0, 0, 98, 28));
  EXPECT_EQ(PixelAt(Render(F.Edit), 0, 5), ColorToRGB(clWindowFrame));
  F.Edit->SetBorderStyle(bsNone);
  EXPECT_EQ(F.Edit->ClientOffset(), Point(0, 0));
  EXPECT_EQ(Child->Host()->pos(), QPoint(0, 0));
  EXPECT_EQ(PixelAt(Render(F.Edit), 0, 5), ColorToRGB(clWindow));
  // AutoSize: the font's height and 6 pixels without Ctl3D (8 with it).
  F.Edit->SetAutoSize(true);
  EXPECT_EQ(F.Edit->Height(), TCanvas().TextHeight("X") + 6);
  F.Edit->SetCtl3D(true);
  EXPECT_EQ(F.Edit->Height(), TCanvas().TextHeight("X") + 8);
}

TEST(Memo, LinesAreBoundToTheTextByPosition) {
  TForm Form(nullptr);
  auto* M = new TMemo(&Form);
  M->SetParent(&Form);
  int Changes = 0;
  M->OnChange = [&](TComponent*) { ++Changes; };
  TStrings* L = M->Lines();
  EXPECT_EQ(L->Count(), 0);
  L->Add("b");
  L->Insert(0, "a");
  L->Add("d");
  L->Insert(2, "c");
  EXPECT_EQ(M->Text(), "a\nb\nc\nd\n");  // the first line added to an empty memo ends in a break
  EXPECT_EQ(Changes, 4);
  L->SetString(1, "B");
  L->Delete(3);  // the last line: the break before it stays
  EXPECT_EQ(M->Text(), "a\nB\nc\n");
  EXPECT_EQ(L->Count(), 3);  // a final line break starts no line
  L->Add("e");
  EXPECT_EQ(L->ToVector(), (std::vector<std::string>{"a", "B", "c", "e"}));
  L->Delete(0);
  EXPECT_EQ(L->Strings(0), "B");
  EXPECT_THROW(L->Strings(3), EListError);
  M->SetText("x\r\ny");
  EXPECT_EQ(L->Count(), 2);
  M->SetCaretPos({1, 1});
  EXPECT_EQ(M->CaretPos(), Point(1, 1));
  EXPECT_EQ(M->SelStart(), 3);
  L->Clear();
  EXPECT_EQ(M->Text(), "");
}

TEST(Memo, EnterTabAndEscapeFollowWantReturnsAndWantTabs) {
  TForm* Form = NewForm<TForm>(nullptr);
  Form->SetBounds(0, 0, 300, 200);
  auto* M = new TMemo(Form);
  M->SetParent(Form);
  auto* After = new TEdit(Form);
  After->SetParent(Form);
  After->SetTop(150);
  int Escapes = 0;
  Form->SetKeyPreview(true);
  Form->OnKeyDown = [&](TComponent*, uint16_t& Key, TShiftState) { Escapes += Key == VK_ESCAPE; };
  ShowActive(Form);
  M->SetFocus();
  KeyClick('a');
  KeyClick(Qt::Key_Return);
  KeyClick(Qt::Key_Return, Qt::ShiftModifier);  // a line break, not Qt's soft one
  KeyClick('b');
  EXPECT_EQ(M->Lines()->ToVector(), (std::vector<std::string>{"a", "", "b"}));
  M->SetWantTabs(true);
  KeyClick(Qt::Key_Tab);
  EXPECT_EQ(M->Lines()->Strings(2), "b\t");
  M->SetWantReturns(false);
  KeyClick(Qt::Key_Return);
  EXPECT_EQ(M->Lines()->Count(), 3);
  KeyClick(Qt::Key_Escape);
  EXPECT_EQ(Escapes, 1);
  M->SetWantTabs(false);
  KeyClick(Qt::Key_Tab);
  EXPECT_TRUE(After->Focused());
  Form->Free();
}

TEST(Memo, ScrollsByLinesAndPagesAndToATopLine) {
  TForm* Form = NewForm<TForm>(nullptr);
  auto* M = new TMemo(Form);
  M->SetParent(Form);
  M->SetBounds(0, 0, 150, 60);
  M->SetScrollBars(ssVertical);
  for (int I = 0; I < 40; ++I) M->Lines()->Add("line " + std::to_string(I));
  ShowActive(Form);
  EXPECT_EQ(M->TopLine(), 0);
  EXPECT_FALSE(M->ScrollLines(-1));
  EXPECT_TRUE(M->ScrollLines(3));
  EXPECT_EQ(M->TopLine(), 3);
  M->SetTopLine(20);
  EXPECT_EQ(M->TopLine(), 20);
  EXPECT_TRUE(M->ScrollPages(1));
  EXPECT_GT(M->TopLine(), 20);
  M->SetTopLine(1000);
  EXPECT_FALSE(M->ScrollLines(1));
  Form->Free();
}
