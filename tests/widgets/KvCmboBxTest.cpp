// Combo boxes: keyboard search on the test clock, the empty-list guard, the wheel,
// auto-completion, owner-drawn items, the drop-down button, the read-only state, style
// changes at run time, the list's closing events and the items' objects leaving.
#include "tests/widgets/WidgetTest.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>

#include "platform/gui/ExtCtrls.h"
#include "widgets/KvCmboBx.h"
#include "widgets/KvEdit.h"

using namespace widgettest;
using testsupport::CountColor;
using testsupport::KeyClick;
using testsupport::MouseWheel;
using testsupport::PixelAt;
using testsupport::Render;

namespace {

struct TComboForm : TInputForm {
  explicit TComboForm(TComboBoxStyle Style) : TInputForm(360, 260) {
    Box = Add<TKvComboBox>(Bounds(10, 10, 150, 21));
    Box->SetStyle(Style);
    Box->Items()->Assign(std::vector<std::string>{"Low", "Medium", "High", "Highest"});
    Other = Add<TKvEdit>(Bounds(10, 100, 100, 21));
    Box->OnClick = [this](TComponent*) { Events.push_back("click " + std::to_string(Box->ItemIndex())); };
    Box->OnChange = [this](TComponent*) { Events.push_back("change " + Box->Text()); };
    Show();
    Box->SetFocus();
  }
  // Takes the events so far.
  std::vector<std::string> Taken() { return std::exchange(Events, {}); }
  QLineEdit* Edit() const { return static_cast<QComboBox*>(Box->Host())->lineEdit(); }
  TKvComboBox* Box;
  TKvEdit* Other;
  std::vector<std::string> Events;
};

using TEvents = std::vector<std::string>;

}  // namespace

TEST(KvComboBox, KeyboardSearchSelectsByPrefixUntilThePause) {
  TComboForm F(csDropDownList);
  TBeepCounter Beeps;
  constexpr uint32_t Pause = TKvComboBox::SearchInterval;
  constexpr int32_t None = -2;  // no choice made
  const struct {
    int Key;  // a character, or a Qt::Key
    uint32_t PauseBefore;
    int32_t Index;
    int Beeps;
  } Steps[] = {
      {'h', 0, 2, 0},
      {'i', 1000, 2, 0},  // "hi": still High, chosen again
      {'x', 0, None, 1},  // "hix": nothing; the search stays "hi"
      {'g', 0, 2, 1},
      {'h', 0, 2, 1},
      {'e', 0, 3, 1},                   // "highe": Highest
      {Qt::Key_Backspace, 0, 2, 1},     // "high"
      {'l', Pause, 0, 1},               // after the pause a new search: Low
      {'m', Pause - 1, None, 2},        // "lm": nothing
      {'m', Pause, 1, 2},               // "m": Medium
      {Qt::Key_Backspace, 0, 0, 2},     // nothing left: item 0
      {Qt::Key_Backspace, 0, None, 3},  // nothing to take back
      {'h', 0, 2, 3},
      {Qt::Key_Down, 0, 3, 3},  // a navigation key forgets "h"
      {'l', 0, 0, 3},
      {'h', Pause, 2, 3},
      {Qt::Key_Escape, 0, 0, 3},
  };
  for (const auto& S : Steps) {
    TTimer::Advance(S.PauseBefore);
    const int32_t Before = F.Box->ItemIndex();
    if (S.Key < 0x100)
      KeyClick(char(S.Key));
    else
      KeyClick(Qt::Key(S.Key));
    const TEvents Expected =
        S.Index == None ? TEvents{} : TEvents{"click " + std::to_string(S.Index), "change " + F.Box->Text()};
    EXPECT_EQ(F.Box->ItemIndex(), S.Index == None ? Before : S.Index) << S.Key;
    EXPECT_EQ(F.Taken(), Expected) << S.Key;
    EXPECT_EQ(Beeps.Count, S.Beeps) << S.Key;
  }
}

TEST(KvComboBox, TypingInTheDroppedListSearchesAsWithTheListClosed) {
  TComboForm F(csDropDownList);
  F.Box->Items()->Assign(std::vector<std::string>{"MP3", "WMA", "WAV", "WavPack"});
  F.Box->SetItemIndex(0);
  F.Box->SetDroppedDown(true);
  QAbstractItemView* List = static_cast<QComboBox*>(F.Box->Host())->view();
  // Each key that moves the choice raises its events at once; the list's highlight follows.
  const struct {
    char Key;
    uint32_t PauseBefore;
    int32_t Index;
  } Steps[] = {{'w', 0, 1}, {'a', 1000, 2}, {'w', TKvComboBox::SearchInterval, 1}};
  for (const auto& S : Steps) {
    TTimer::Advance(S.PauseBefore);
    KeyClick(S.Key);
    EXPECT_TRUE(F.Box->DroppedDown());
    EXPECT_EQ(F.Box->ItemIndex(), S.Index) << S.Key;
    EXPECT_EQ(List->currentIndex().row(), S.Index) << S.Key;
    EXPECT_EQ(F.Taken(), (TEvents{"click " + std::to_string(S.Index), "change " + F.Box->Text()})) << S.Key;
  }
  // Enter keeps what the search chose, with nothing raised again.
  KeyClick(Qt::Key_Return);
  EXPECT_FALSE(F.Box->DroppedDown());
  EXPECT_EQ(F.Box->ItemIndex(), 1);
  EXPECT_EQ(F.Taken(), TEvents{});
}

TEST(KvComboBox, WheelStepsThroughTheListAndAnEmptyListIgnoresKeysAndWheel) {
  TComboForm F(csDropDownList);
  const int32_t Y = 10;
  const struct {
    int32_t Delta;
    int32_t Index;
    bool Events;
  } Steps[] = {{120, 0, true},  // no selection: the first item
               {-120, 1, true}, {-240, 3, true}, {-120, 3, false}, {120, 2, true}, {360, 0, true}, {120, 0, false}};
  F.Box->SetItemIndex(-1);
  for (const auto& S : Steps) {
    MouseWheel(F.Box, 30, Y, S.Delta);
    EXPECT_EQ(F.Box->ItemIndex(), S.Index) << S.Delta;
    EXPECT_EQ(!F.Taken().empty(), S.Events) << S.Delta;
  }
  // Read-only: the wheel does nothing.
  F.Box->SetReadOnly(true);
  MouseWheel(F.Box, 30, Y, -120);
  KeyClick(Qt::Key_Down);
  KeyClick('h');
  EXPECT_EQ(F.Box->ItemIndex(), 0);
  F.Box->SetReadOnly(false);
  // An empty list: Backspace, Escape and the wheel change nothing and raise nothing,
  // also when the search had found something before the items went.
  KeyClick('h');
  F.Box->Items()->Clear();
  F.Taken();
  for (Qt::Key K : {Qt::Key_Backspace, Qt::Key_Escape}) KeyClick(K);
  MouseWheel(F.Box, 30, Y, -120);
  MouseWheel(F.Box, 30, Y, 120);
  EXPECT_EQ(F.Box->ItemIndex(), -1);
  EXPECT_TRUE(F.Taken().empty());
}

TEST(KvComboBox, AutoCompleteCompletesTypedTextAndSelectsTheTail) {
  TComboForm F(csDropDown);
  TBeepCounter Beeps;
  int Matches = 0;
  F.Box->OnMatch = [&](TComponent*) { ++Matches; };
  const auto State = [&] {
    return std::tuple(F.Box->Text(), F.Box->SelStart(), F.Box->SelLength(), F.Box->ItemIndex());
  };
  KeyClick('h');
  EXPECT_EQ(State(), std::tuple("High", 1, 3, 2));
  EXPECT_EQ(F.Taken(), (TEvents{"click 2", "change High"}));
  for (char C : {'I', 'g', 'h', 'e'}) KeyClick(C);
  EXPECT_EQ(State(), std::tuple("Highest", 5, 2, 3));
  EXPECT_EQ(Matches, 2);
  // Backspace takes the completed tail and the last key.
  KeyClick(Qt::Key_Backspace);
  EXPECT_EQ(State(), std::tuple("High", 4, 0, 2));
  // Text that begins no item: typed as it is with AllowEdit, refused with a beep without.
  KeyClick('x');
  EXPECT_EQ(F.Box->Text(), "Highx");
  EXPECT_EQ(Beeps.Count, 0);
  F.Box->SetAllowEdit(false);
  KeyClick('y');
  EXPECT_EQ(F.Box->Text(), "Highx");
  EXPECT_EQ(Beeps.Count, 1);
  // Escape clears the choice; KeepSearchCase keeps the typed letters as they were.
  F.Taken();
  KeyClick(Qt::Key_Escape);
  EXPECT_EQ(State(), std::tuple("", 0, 0, -1));
  EXPECT_EQ(F.Taken(), (TEvents{"click -1", "change "}));
  F.Box->SetKeepSearchCase(true);
  KeyClick('m');
  KeyClick('E');
  EXPECT_EQ(State(), std::tuple("mEdium", 2, 4, 1));
  // Pasted text completes; text set by the program stays as it is.
  F.Box->SetKeepSearchCase(false);
  F.Box->SetAllowEdit(true);
  F.Box->SetText("");
  QApplication::clipboard()->setText("lo");
  KeyClick('v', Qt::ControlModifier);
  EXPECT_EQ(State(), std::tuple("Low", 2, 1, 0));
  F.Box->SetText("4");
  EXPECT_EQ(State(), std::tuple("4", 1, 0, 0));
}

TEST(KvComboBox, OwnerDrawnItemsGetTheSelectionColoursAndADottedFocus) {
  TComboForm F(csOwnerDrawFixed);
  std::vector<std::pair<TColor, TColor>> Colours;  // brush and font of the face
  F.Box->OnDrawItem = [&](TComponent*, int32_t, TRect R, TOwnerDrawState State) {
    TCanvas* C = F.Box->Canvas();
    if (State & odComboBoxEdit) Colours.emplace_back(C->Brush()->Color(), C->Font()->Color());
    C->FillRect(R);
  };
  F.Box->SetItemIndex(1);
  // The field of the face, left of the button.
  const TRect Field = Rect(2, 2, F.Box->Width() - 2 - 17, F.Box->Height() - 2);
  const QImage Focused = Render(F.Box);
  ASSERT_FALSE(Colours.empty());
  EXPECT_EQ(Colours.back(), std::pair(TColor(clHighlight), TColor(clHighlightText)));
  EXPECT_GT(CountColor(Focused, clHighlight, Field), 50);
  // The dotted focus: every second pixel of the item's outline in black.
  const int32_t Dots = CountColor(Focused, clBlack, Field);
  EXPECT_GT(Dots, 20);
  F.Other->SetFocus();
  const QImage Quiet = Render(F.Box);
  EXPECT_EQ(CountColor(Quiet, clBlack, Field), 0);
  EXPECT_EQ(CountColor(Quiet, clHighlight, Field), 0);
  // No item: only the focus shows, and nothing is drawn for an item.
  F.Box->SetItemIndex(-1);
  F.Box->SetFocus();
  Colours.clear();
  const QImage Empty = Render(F.Box);
  EXPECT_TRUE(Colours.empty());
  EXPECT_EQ(CountColor(Empty, clBlack, Field), Dots);
}

TEST(KvComboBox, AFocusedDropDownListShowsItsItemInTheSelectionColours) {
  TComboForm F(csDropDownList);
  F.Box->SetItemIndex(1);
  const TRect Field = Rect(2, 2, F.Box->Width() - 2 - 17, F.Box->Height() - 2);
  // The frame round the box would hide any focus drawn at its edge.
  EXPECT_GT(CountColor(Render(F.Box), clHighlight, Field), Field.Width() * Field.Height() / 2);
  F.Other->SetFocus();
  EXPECT_EQ(CountColor(Render(F.Box), clHighlight, Field), 0);
}

TEST(KvComboBox, FlatAndReadOnlyButtonsAreDrawnByTheControl) {
  TComboForm F(csDropDownList);
  F.Other->SetFocus();
  F.Box->SetColor(clWhite);
  const TRect Button = Rect(F.Box->Width() - 19, 2, F.Box->Width() - 2, F.Box->Height() - 2);
  const auto Arrow = [&](const QImage& I) { return CountColor(I, clBlack, Button); };
  // Flat and quiet: the control's colour with the arrow.
  F.Box->SetFlatButtons(true);
  QImage I = Render(F.Box);
  EXPECT_EQ(PixelAt(I, Button.Left, Button.Top), RGBOf(clWhite));
  EXPECT_EQ(CountColor(I, clWhite, Button) + Arrow(I), Button.Width() * Button.Height());
  // Hot: a raised one-pixel frame on the button face, or shades of another face colour.
  testsupport::MouseMove(F.Box, 20, 10);
  I = Render(F.Box);
  EXPECT_EQ(PixelAt(I, Button.Left, Button.Top), RGBOf(clBtnHighlight));
  EXPECT_EQ(PixelAt(I, Button.Right - 1, Button.Bottom - 1), RGBOf(clBtnShadow));
  EXPECT_EQ(PixelAt(I, Button.Left + 1, Button.Top + 1), RGBOf(clBtnFace));
  EXPECT_GT(Arrow(I), 0);
  F.Box->SetFlatButtonColor(clSkyBlue);
  I = Render(F.Box);
  EXPECT_EQ(PixelAt(I, Button.Left + 2, Button.Top + 2), RGBOf(clSkyBlue));
  // Read-only: no button, and clicks open nothing.
  F.Box->SetReadOnly(true);
  F.Box->SetReadOnlyColor(clYellow);
  I = Render(F.Box);
  EXPECT_EQ(CountColor(I, clYellow, Button), Button.Width() * Button.Height());
  testsupport::MouseClick(F.Box, Button.Left + 5, 8);
  EXPECT_FALSE(F.Box->DroppedDown());
}

TEST(KvComboBox, StyleSwitchedAtRunTimeKeepsItemsLookAndReadOnlyState) {
  // The WAV sample size box: a drop-down list that becomes an editable box showing "4",
  // disabled, and back.
  TComboForm F(csDropDownList);
  F.Box->Items()->Assign(std::vector<std::string>{"default", "8", "16", "24"});
  F.Box->SetFrameHotTrack(true);
  F.Box->SetFrameHotStyle(fsFlat);
  F.Box->SetFramingPreference(fpCustomFraming);
  F.Box->SetItemIndex(2);
  F.Other->SetFocus();
  F.Box->SetStyle(csDropDown);
  F.Box->SetText("4");
  F.Box->SetEnabled(false);
  EXPECT_EQ(F.Box->Text(), "4");
  EXPECT_EQ(F.Box->Color(), TColor(clBtnFace));
  QImage I = Render(F.Box);
  EXPECT_EQ(PixelAt(I, 0, 10), RGBOf(clBtnShadow));  // the frame
  EXPECT_EQ(PixelAt(I, 1, 10), RGBOf(clBtnFace));    // the ring in the disabled colour
  F.Box->SetEnabled(true);
  F.Box->SetStyle(csDropDownList);
  EXPECT_EQ(F.Box->ItemIndex(), 2);
  EXPECT_EQ(F.Box->Text(), "16");
  EXPECT_EQ(F.Box->Color(), TColor(clWindow));
  // The edit part of a later style switch is read-only as the box is.
  F.Box->SetReadOnly(true);
  F.Box->SetStyle(csDropDown);
  ASSERT_NE(F.Edit(), nullptr);
  EXPECT_TRUE(F.Edit()->isReadOnly());
  EXPECT_EQ(F.Taken(), TEvents{"change 4"});
}

TEST(KvComboBox, ClosingTheListAndLeavingReportWhatHappened) {
  TComboForm F(csDropDown);
  std::vector<std::string> Journal;
  F.Box->OnSelEndOk = [&](TComponent*) { Journal.push_back("ok"); };
  F.Box->OnSelEndCancel = [&](TComponent*) { Journal.push_back("cancel"); };
  F.Box->OnCloseUp = [&](TComponent*) { Journal.push_back("closed"); };
  F.Box->OnNotInList = [&](TComponent*) { Journal.push_back("not in list " + F.Box->Text()); };
  auto* List = static_cast<QComboBox*>(F.Box->Host())->view();
  F.Box->SetDroppedDown(true);
  List->setCurrentIndex(List->model()->index(1, 0));
  KeyClick(Qt::Key_Return);
  Application->ProcessMessages();
  F.Box->SetDroppedDown(true);
  KeyClick(Qt::Key_Escape);
  Application->ProcessMessages();
  EXPECT_EQ(Journal, (std::vector<std::string>{"closed", "ok", "closed", "cancel"}));
  Journal.clear();
  F.Show();  // the list's window took the activation
  F.Box->SetFocus();
  F.Box->SetText("Mediums");
  F.Other->SetFocus();
  F.Box->SetFocus();
  F.Box->SetText("medium");
  F.Other->SetFocus();
  EXPECT_EQ(Journal, std::vector<std::string>{"not in list Mediums"});
}

TEST(KvComboBox, EachItemWithAnObjectIsReportedOnceWhenItLeavesTheList) {
  int Objects[4] = {};
  std::vector<void*> Deleted;
  {
    TComboForm F(csDropDownList);  // Low, Medium, High, Highest
    TStrings* Items = F.Box->Items();
    F.Box->OnDeleteItem = [&](TComponent* Sender, void* Data) {
      EXPECT_EQ(Sender, F.Box);
      Deleted.push_back(Data);
    };
    for (int I : {0, 2, 3}) Items->SetObject(I, &Objects[I]);
    Items->Delete(1);  // no object
    Items->Delete(0);
    Items->SetString(0, "Top");  // renamed, still there
    EXPECT_EQ(Deleted, std::vector<void*>{&Objects[0]});
    Items->Assign(std::vector<std::string>{"One", "Two"});
    Items->SetObject(1, &Objects[1]);
    Items->Clear();
    EXPECT_EQ(Deleted, (std::vector<void*>{&Objects[0], &Objects[2], &Objects[3], &Objects[1]}));
    Items->Add("Plain");
    Items->AddObject("Kept", &Objects[2]);
  }
  // The form took the box with it.
  EXPECT_EQ(Deleted, (std::vector<void*>{&Objects[0], &Objects[2], &Objects[3], &Objects[1], &Objects[2]}));
}
