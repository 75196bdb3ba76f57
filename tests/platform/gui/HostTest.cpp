// Controls over other Qt widget classes (the seam the standard controls use), the real
// modal loops when no responder answers, calls from other threads, and the screen.
#include "tests/support/Gui.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <thread>

#include "platform/gui/ControlHost.h"
#include "platform/rtl/Threads.h"

using namespace testsupport;

namespace {

// An edit as the standard controls will make one: a QLineEdit host painting itself.
class TTestEdit : public TWinControl {
public:
  TTestEdit(TComponent* AOwner, TWinControl* AParent, TRect Bounds)
      : TWinControl(AOwner, new TControlHost<QLineEdit>(this)) {
    Host()->setFocusPolicy(Qt::ClickFocus);
    SetTabStop(true);
    SetParent(AParent);
    SetBoundsRect(Bounds);
  }
  QLineEdit* Edit() const { return static_cast<QLineEdit*>(Host()); }
  TFocusReason LastReason = frOther;

protected:
  void PaintHost(QPaintEvent* Event) override { DefaultHostEvent(Event); }
  void PaintControl(QImage& Image, const TRegion& Clip, const TPoint& Origin) override {
    RenderHost(Image, Clip, Origin);
  }
  uint32_t WMGetDlgCode() override { return DLGC_WANTCHARS | DLGC_WANTARROWS; }
  void WMSetFocus(TFocusReason Reason) override { LastReason = Reason; }
};

int32_t DarkPixels(const QImage& Image) {
  int32_t N = 0;
  for (int Y = 0; Y < Image.height(); ++Y)
    for (int X = 0; X < Image.width(); ++X) N += qGray(Image.pixel(X, Y)) < 100;
  return N;
}

}  // namespace

TEST(HostedWidget, AQtWidgetGetsTheKeyRoutingAndPaintsItself) {
  TForm Form(nullptr);
  Form.SetBounds(0, 0, 200, 100);
  auto* Edit = new TTestEdit(&Form, &Form, Bounds(10, 10, 120, 22));
  auto* Other = new TTestEdit(&Form, &Form, Bounds(10, 40, 120, 22));
  int Enters = 0;
  Form.SetKeyPreview(true);
  Form.OnKeyDown = [&](TComponent*, uint16_t& Key, TShiftState) { Enters += Key == VK_RETURN; };
  Edit->OnKeyPress = [](TComponent*, char32_t& Key) {
    if (Key == U'b') Key = U'c';
    if (Key == U'x') Key = 0;
  };
  ShowActive(&Form);
  MouseClick(Other, 5, 5);
  EXPECT_TRUE(Other->Focused());
  EXPECT_EQ(Other->LastReason, frMouse);
  KeyClick(Qt::Key_Tab);
  EXPECT_TRUE(Edit->Focused());
  EXPECT_EQ(Edit->LastReason, frTab);
  for (char C : {'a', 'b', 'x'}) KeyClick(C);
  EXPECT_EQ(Edit->Edit()->text(), QString("ac"));
  KeyClick(Qt::Key_Left);  // arrows are the widget's own
  EXPECT_EQ(Edit->Edit()->cursorPosition(), 1);
  KeyClick(Qt::Key_Return);  // no default button: the key goes on to the keys
  EXPECT_EQ(Enters, 1);
  EXPECT_GT(DarkPixels(Render(Edit)), 5);  // the widget painted its text
  Edit->Free();
  EXPECT_EQ(Form.ActiveControl(), nullptr);
}

TEST(RealDialogs, RunTheirOwnLoopsWhenNoResponderAnswers) {
  TNoResponder NoResponder;
  FromInsideTheDialog([] {
    for (QWidget* W : QApplication::topLevelWidgets())
      if (auto* Box = qobject_cast<QMessageBox*>(W); Box && Box->isVisible()) {
        EXPECT_EQ(Box->text(), QString("Overwrite\nthe file?"));
        EXPECT_EQ(Box->icon(), QMessageBox::Question);
        Box->button(QMessageBox::No)->click();
        return true;
      }
    return false;
  });
  EXPECT_EQ(MessageBox(nullptr, "Overwrite\r\nthe file?", "Question", MB_YESNO | MB_ICONQUESTION), IDNO);
  TForm* Form = new TForm(nullptr);
  FromInsideTheDialog([Form] {
    if (!Form->Visible()) return false;
    Form->SetModalResult(mrYes);
    return true;
  });
  EXPECT_EQ(Form->ShowModal(), mrYes);
  EXPECT_FALSE(Form->Visible());
  Form->Free();
}

TEST(ApplicationThreads, SynchronizedCallsRunFromTheEventLoop) {
  struct TWorker : TThread {
    std::atomic<bool> Done{false};
    std::thread::id Ran;
    void Execute() override {
      Synchronize([this] {
        Ran = std::this_thread::get_id();
        Done = true;
      });
    }
  } Worker;
  Worker.Start();
  while (!Worker.Done) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  Worker.WaitFor();
  EXPECT_EQ(Worker.Ran, std::this_thread::get_id());
}

TEST(ApplicationScreen, MonitorsCursorsHintsAndHelp) {
  ASSERT_EQ(Screen->MonitorCount(), 1);
  EXPECT_TRUE(Screen->Monitors(0).Primary);
  EXPECT_EQ(Screen->Monitors(0).BoundsRect, Rect(0, 0, 800, 800));
  EXPECT_EQ(Screen->MonitorFromPoint({5000, -30}).MonitorNum, 0);  // the nearest
  TForm Form(nullptr);
  auto* Edit = new TTestEdit(&Form, &Form, Bounds(0, 0, 50, 20));
  Edit->SetCursor(crHandPoint);
  EXPECT_EQ(Edit->Host()->cursor().shape(), Qt::PointingHandCursor);
  Screen->RegisterCursor(26000, crIBeam);
  Edit->SetCursor(26000);
  EXPECT_EQ(Edit->Host()->cursor().shape(), Qt::IBeamCursor);
  Edit->SetHint("Full path to folder|with audio files");
  Edit->SetShowHint(true);
  EXPECT_EQ(Edit->Host()->toolTip(), QString("Full path to folder"));
  EXPECT_EQ(GetLongHint(Edit->Hint()), "with audio files");
  intptr_t Asked = -1;
  Application->OnHelp = [&](uint16_t Command, intptr_t Data) {
    Asked = Command == HELP_CONTEXT ? Data : -2;
    return true;
  };
  EXPECT_TRUE(Application->HelpContext(42));
  Application->OnHelp = nullptr;
  EXPECT_EQ(Asked, 42);
}
