// Spin buttons: their layout and arrows, the focus that goes to the focus control
// before a click counts, repeated clicks on the test clock and the arrow keys.
#include "tests/widgets/WidgetTest.h"

#include <gtest/gtest.h>

#include "platform/gui/ExtCtrls.h"
#include "widgets/KvEdit.h"
#include "widgets/KvSpnEdt.h"

using namespace widgettest;
using testsupport::KeyClick;
using testsupport::MousePress;
using testsupport::MouseRelease;

namespace {

struct TSpinForm : TInputForm {
  TSpinForm() {
    Edit = Add<TKvEdit>(Bounds(10, 10, 100, 21));
    Other = Add<TKvEdit>(Bounds(10, 40, 100, 21));
    Spin = Add<TKvSpinButtons>(Bounds(120, 10, 16, 25));
    Spin->OnUpRightClick = [this](TComponent*) { Clicks.push_back(Edit->Focused() ? "up, edit focused" : "up"); };
    Spin->OnDownLeftClick = [this](TComponent*) { Clicks.push_back("down"); };
    Show();
  }
  std::vector<std::string> Clicks;
  TKvEdit* Edit;
  TKvEdit* Other;
  TKvSpinButtons* Spin;
};

}  // namespace

TEST(KvSpinButtons, ButtonsShareTheControlByOrientationAndShowTheDirectionsArrows) {
  TSpinForm F;
  TKvSpinButtons* S = F.Spin;
  const auto Layout = [S] { return std::pair(S->UpRightButton()->BoundsRect(), S->DownLeftButton()->BoundsRect()); };
  EXPECT_EQ(Layout(), std::pair(Rect(0, 0, 16, 12), Rect(0, 12, 16, 25)));
  EXPECT_EQ(std::pair(S->UpRightButton()->Style(), S->DownLeftButton()->Style()), std::pair(cbsUp, cbsDown));
  // Side by side the control doubles its width; down/left takes the left half.
  S->SetOrientation(orHorizontal);
  S->SetDirection(sdLeftRight);
  EXPECT_EQ(S->Width(), 32);
  EXPECT_EQ(Layout(), std::pair(Rect(16, 0, 32, 25), Rect(0, 0, 16, 25)));
  EXPECT_EQ(std::pair(S->UpRightButton()->Style(), S->DownLeftButton()->Style()), std::pair(cbsRight, cbsLeft));
  // A glyph replaces the arrow; an empty one, or a change of direction, brings it back.
  TBitmap Glyph(18, 9);
  S->SetGlyphUpRight(&Glyph);
  EXPECT_EQ(S->UpRightButton()->Style(), cbsNone);
  EXPECT_EQ(S->NumGlyphsUpRight(), 2);
  S->SetGlyphUpRight(nullptr);
  EXPECT_EQ(S->UpRightButton()->Style(), cbsRight);
  S->SetGlyphDownLeft(&Glyph);
  S->SetDirection(sdUpDown);
  EXPECT_EQ(std::pair(S->UpRightButton()->Style(), S->DownLeftButton()->Style()), std::pair(cbsUp, cbsDown));
  S->SetOrientation(orVertical);
  EXPECT_EQ(S->Width(), 16);
}

TEST(KvSpinButtons, FocusGoesToTheFocusControlBeforeAClickCounts) {
  TSpinForm F;
  F.Spin->SetFocusControl(F.Edit);
  F.Other->SetFocus();
  MousePress(F.Spin->UpRightButton(), 5, 5);
  MouseRelease(F.Spin->UpRightButton(), 5, 5);
  EXPECT_TRUE(F.Edit->Focused());
  EXPECT_EQ(F.Clicks, std::vector<std::string>{"up, edit focused"});
  // A control that keeps the focus when left: the press clicks nothing, not even when
  // it repeats or is released.
  F.Other->SetFocus();
  F.Other->OnExit = [&](TComponent*) { F.Other->SetFocus(); };
  MousePress(F.Spin->DownLeftButton(), 5, 5);
  TTimer::Advance(1000);
  MouseRelease(F.Spin->DownLeftButton(), 5, 5);
  EXPECT_TRUE(F.Other->Focused());
  EXPECT_EQ(F.Clicks.size(), 1u);
  // Without a focus control, a spin button that is a tab stop takes the focus itself.
  F.Other->OnExit = nullptr;
  F.Spin->SetFocusControl(nullptr);
  F.Spin->SetTabStop(true);
  MousePress(F.Spin->DownLeftButton(), 5, 5);
  MouseRelease(F.Spin->DownLeftButton(), 5, 5);
  EXPECT_TRUE(F.Spin->Focused());
  EXPECT_EQ(F.Clicks.back(), "down");
}

TEST(KvSpinButtons, HeldButtonsRepeatOnTheTestClockAndArrowKeysClick) {
  TSpinForm F;
  F.Spin->SetInitialDelay(300);
  F.Spin->SetDelay(50);
  MousePress(F.Spin->DownLeftButton(), 5, 5);
  TTimer::Advance(299);
  EXPECT_TRUE(F.Clicks.empty());
  TTimer::Advance(1 + 3 * 50);
  MouseRelease(F.Spin->DownLeftButton(), 5, 5);
  EXPECT_EQ(F.Clicks, std::vector<std::string>(5, "down"));
  F.Clicks.clear();
  F.Spin->SetTabStop(true);
  F.Spin->SetFocus();
  KeyClick(Qt::Key_Up);
  KeyClick(Qt::Key_Down);
  EXPECT_EQ(F.Clicks, (std::vector<std::string>{"up", "down"}));
  EXPECT_TRUE(F.Spin->Focused());  // the form did not take the arrows
  // Disabled, the buttons are too.
  F.Spin->SetEnabled(false);
  EXPECT_FALSE(F.Spin->UpRightButton()->Enabled());
}
