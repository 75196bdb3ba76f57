// Hints: shown after the pause on the test clock, read afresh, hidden again; the
// application's hint window class; the hint window's painting.
#include "tests/support/Gui.h"

#include <gtest/gtest.h>

#include <QHelpEvent>
#include <QToolTip>

#include "platform/gui/ExtCtrls.h"
#include "platform/gui/HintWindow.h"

using namespace testsupport;

namespace {

// Three panels with hints on a shown form; the application's hint settings come back
// afterwards.
struct THintForm {
  THintForm() : Form(NewForm<TForm>(nullptr)) {
    Form->SetBounds(100, 100, 300, 200);
    Form->SetShowHint(true);
    A = Panel("Full path to folder\nwith audio files|Status bar text", 0);
    B = Panel("Other", 100);
    C = Panel("Never", 200);
    C->SetShowHint(false);
    ShowActive(Form);
  }
  ~THintForm() {
    Application->CancelHint();
    Application->SetShowHint(false);
    Application->SetHintWindowClass(nullptr);
    Application->SetShowHint(true);
    Form->Free();
  }
  TPanel* Panel(const std::string& Hint, int32_t Left) {
    auto* P = new TPanel(Form);
    P->SetParent(Form);
    P->SetBounds(Left, 0, 90, 90);
    P->SetHint(Hint);
    return P;
  }
  static std::string Shown() {
    THintWindow* W = Application->ShownHintWindow();
    return W ? W->Caption() : "";
  }
  TForm* Form;
  TPanel *A, *B, *C;
};

}  // namespace

TEST(Hints, ShowAfterThePauseAndHideAfterTheHidePause) {
  THintForm F;
  TCanvas Measure;
  MouseMove(F.A, 10, 10);
  TTimer::Advance(499);
  EXPECT_EQ(THintForm::Shown(), "");
  TTimer::Advance(1);
  EXPECT_EQ(THintForm::Shown(), "Full path to folder\nwith audio files");  // the short part, two lines
  THintWindow* W = Application->ShownHintWindow();
  const TPoint Pointer = F.A->ClientToScreen({10, 10});
  EXPECT_EQ(W->BoundsRect(), Bounds(Pointer.X, Pointer.Y + 20, Measure.TextWidth("Full path to folder") + 6,
                                    2 * Measure.TextHeight("X") + 2 + 4));
  TTimer::Advance(2500);
  EXPECT_EQ(THintForm::Shown(), "");
  MouseMove(F.A, 12, 12);  // the same control: no second showing
  TTimer::Advance(1000);
  EXPECT_EQ(THintForm::Shown(), "");
  MouseMove(F.B, 5, 5);  // B follows its parent's ShowHint
  TTimer::Advance(500);
  EXPECT_EQ(THintForm::Shown(), "Other");
  MouseMove(F.A, 5, 5);  // from a shown hint to the next control: the short pause
  TTimer::Advance(50);
  EXPECT_EQ(THintForm::Shown(), "Full path to folder\nwith audio files");
  MouseMove(F.C, 5, 5);
  TTimer::Advance(1000);
  EXPECT_EQ(THintForm::Shown(), "");
  // Qt's own tool tips never show.
  QHelpEvent Help(QEvent::ToolTip, QPoint(5, 5), F.B->Host()->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(F.B->Host(), &Help);
  EXPECT_FALSE(QToolTip::isVisible());
}

TEST(Hints, ADisabledControlShowsItsOwnHintNotItsParents) {
  // Qt hands the move that a disabled control does not take to each of its parents.
  THintForm F;
  auto* Inner = new TPanel(F.Form);
  Inner->SetParent(F.B);
  Inner->SetBounds(10, 10, 40, 40);
  Inner->SetHint("Not available");
  Inner->SetEnabled(false);
  MouseMove(Inner, 5, 5);
  TTimer::Advance(500);
  EXPECT_EQ(THintForm::Shown(), "Not available");
}

TEST(Hints, AreReadAfreshAndCancelledByCodeClicksAndTheApplication) {
  THintForm F;
  MouseMove(F.A, 10, 10);
  TTimer::Advance(500);
  ASSERT_NE(THintForm::Shown(), "");
  // A control that changes its hint (a tab control per tab) cancels the one showing.
  F.A->SetHint("Changed");
  Application->CancelHint();
  EXPECT_EQ(THintForm::Shown(), "");
  MouseMove(F.A, 11, 11);
  TTimer::Advance(500);
  EXPECT_EQ(THintForm::Shown(), "Changed");
  MouseClick(F.A, 11, 11);
  EXPECT_EQ(THintForm::Shown(), "");
  MouseMove(F.B, 5, 5);
  Application->SetShowHint(false);
  TTimer::Advance(1000);
  EXPECT_EQ(THintForm::Shown(), "");
}

namespace {

// A hint window as the application makes its own: no border, a rounded region, a
// larger rectangle.
class TRoundHint : public THintWindow {
public:
  using THintWindow::THintWindow;
  void ActivateHint(TRect R, const std::string& AHint) override {
    R.Right += Canvas()->TextWidth(" ");
    R.Bottom += Canvas()->TextWidth("  ");
    SetBoundsRect(R);
    const TRegion Corners(Rect(2, 0, Width() - 2, Height()));
    SetWindowRegion(&Corners);
    THintWindow::ActivateHint(R, AHint);
  }

protected:
  void CreateParams(TCreateParams& Params) override {
    THintWindow::CreateParams(Params);
    Params.Style &= ~WS_BORDER;
  }
};

}  // namespace

TEST(Hints, TheApplicationsWindowClassAndTheDefaultPainting) {
  THintForm F;
  TCanvas Measure;
  Application->ActivateHint(F.B->ClientToScreen({5, 5}));
  THintWindow* Plain = Application->ShownHintWindow();
  ASSERT_NE(Plain, nullptr);
  EXPECT_EQ(Plain->ClientOffset(), Point(1, 1));
  EXPECT_EQ(Plain->Font()->Color(), clInfoText);
  Plain->Font()->SetColor(clNavy);  // apart from the frame's black
  const QImage Image = Render(Plain);
  EXPECT_EQ(PixelAt(Image, 0, 0), ColorToRGB(clWindowFrame));
  EXPECT_EQ(PixelAt(Image, 1, 1), ColorToRGB(clInfoBk));
  const TRect Ink = ColorBounds(Image, clNavy);
  EXPECT_GE(Ink.Left, 3);  // border and the two-pixel margin
  EXPECT_LE(Ink.Right, Plain->Width() - 1);
  // A class set while hints are off is made when they come on.
  Application->SetShowHint(false);
  Application->SetHintWindowClass([](TComponent* Owner) { return new TRoundHint(Owner); });
  Application->SetShowHint(true);
  Application->ActivateHint(F.B->ClientToScreen({5, 5}));
  auto* Round = dynamic_cast<TRoundHint*>(Application->ShownHintWindow());
  ASSERT_NE(Round, nullptr);
  EXPECT_EQ(Round->ClientOffset(), Point(0, 0));
  EXPECT_EQ(Round->Width(), Measure.TextWidth("Other") + 6 + Measure.TextWidth(" "));
  EXPECT_EQ(Round->Height(), Measure.TextHeight("X") + 2 + Measure.TextWidth("  ") + 4);
  // The region was made before the window grew by 4: its bottom row is Height - 5.
  EXPECT_EQ(Round->Host()->mask().boundingRect(), QRect(2, 0, Round->Width() - 4, Round->Height() - 4));
  EXPECT_EQ(PixelAt(Render(Round), 0, 0), ColorToRGB(clInfoBk));  // no border
}
