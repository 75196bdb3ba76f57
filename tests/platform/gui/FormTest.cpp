// Forms and the application: dialog-key routing and focus with real key events, modal
// forms and message boxes through the responder, closing, the exception guard, timers.
#include "tests/support/Gui.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QCoreApplication>
#include <QEvent>

#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/StdCtrls.h"

using namespace testsupport;

namespace {

std::vector<std::string> Journal;

// A control that takes the focus and records the keys and notifications it gets.
class TKeyProbe : public TCustomControl {
public:
  TKeyProbe(TComponent* AOwner, const std::string& AName, TWinControl* AParent, uint32_t DlgCode = 0)
      : TCustomControl(AOwner), FDlgCode(DlgCode) {
    SetName(AName);
    SetParent(AParent);
    SetTabStop(true);
    SetBounds(0, 0, 20, 20);
    OnKeyDown = [this](TComponent*, uint16_t& Key, TShiftState) { Keys.push_back(Key); };
    OnKeyPress = [this](TComponent*, char32_t& Key) { Chars += static_cast<char>(Key); };
    OnEnter = [this](TComponent*) { Journal.push_back("enter " + Name()); };
    OnExit = [this](TComponent*) { Journal.push_back("exit " + Name()); };
  }
  std::vector<uint16_t> Keys;
  std::string Chars;
  TWinControl* LastFocusChange = nullptr;
  TFocusReason LastReason = frOther;

protected:
  uint32_t WMGetDlgCode() override { return FDlgCode; }
  void WMSetFocus(TFocusReason Reason) override { LastReason = Reason; }
  void CMFocusChanged(TWinControl* Focused) override {
    LastFocusChange = Focused;
    TCustomControl::CMFocusChanged(Focused);
  }

private:
  uint32_t FDlgCode;
};

// A push button as the widgets build one: the default button takes Enter while no
// other button has the focus, the cancel button Escape, the accelerator clicks it.
class TTestButton : public TKeyProbe {
public:
  TTestButton(TComponent* AOwner, const std::string& AName, TWinControl* AParent, const std::string& ACaption)
      : TKeyProbe(AOwner, AName, AParent) {
    SetCaption(ACaption);
    OnClick = [this](TComponent*) { ++Clicks; };
  }
  bool Default = false, Cancel = false, Active = false;
  int Clicks = 0;

protected:
  bool CMDialogKey(uint16_t Key, TShiftState Shift) override {
    if (((Key == VK_RETURN && Active) || (Key == VK_ESCAPE && Cancel)) && Shift == 0 && CanFocus()) {
      Click();
      return true;
    }
    return TKeyProbe::CMDialogKey(Key, Shift);
  }
  bool CMDialogChar(char32_t Char, TShiftState Shift) override {
    if (IsAccel(Char, Caption()) && CanFocus()) {
      Click();
      return true;
    }
    return TKeyProbe::CMDialogChar(Char, Shift);
  }
  void CMFocusChanged(TWinControl* Focused) override {
    Active = dynamic_cast<TTestButton*>(Focused) ? Focused == this : Default;
    TKeyProbe::CMFocusChanged(Focused);
  }
};

TWinControl* FocusedControl() {
  return dynamic_cast<TWinControl*>(IControlHost::ControlOf(QApplication::focusWidget()));
}

struct TDialogForm {
  TDialogForm() {
    Form = new TForm(nullptr);
    Form->SetBounds(0, 0, 300, 200);
    Edit = new TKeyProbe(Form, "Edit", Form, DLGC_WANTARROWS | DLGC_WANTCHARS);
    Ok = new TTestButton(Form, "Ok", Form, "&OK");
    Ok->Default = true;
    Cancel = new TTestButton(Form, "Cancel", Form, "Cancel");
    Cancel->Cancel = true;
    NoStop = new TKeyProbe(Form, "NoStop", Form);
    NoStop->SetTabStop(false);
    Off = new TKeyProbe(Form, "Off", Form);
    Off->SetEnabled(false);
    Panel = new TKeyProbe(Form, "Panel", Form);
    Panel->SetTabStop(false);
    Panel->SetBounds(100, 0, 100, 100);
    Inner = new TKeyProbe(Form, "Inner", Panel, DLGC_WANTCHARS);
    int32_t X = 0;
    for (TKeyProbe* P : {Edit, static_cast<TKeyProbe*>(Ok), static_cast<TKeyProbe*>(Cancel), NoStop, Off}) {
      P->SetLeft(X);
      X += 20;
    }
    auto* Label = new TLabel(Form);
    Label->SetParent(Form);
    Label->SetCaption("&Name");
    Label->SetFocusControl(Inner);
    ShowActive(Form);
  }
  ~TDialogForm() { Form->Free(); }
  TForm* Form;
  TKeyProbe *Edit, *NoStop, *Off, *Panel, *Inner;
  TTestButton *Ok, *Cancel;
};

}  // namespace

TEST(FormKeys, TabAndArrowsMoveTheFocusInTabOrder) {
  TDialogForm D;
  ASSERT_EQ(FocusedControl(), D.Edit);  // the first tab stop on activation
  std::vector<std::string> Path;
  for (int I = 0; I < 4; ++I) {
    KeyClick(Qt::Key_Tab);
    Path.push_back(FocusedControl()->Name());
  }
  EXPECT_EQ(Path, (std::vector<std::string>{"Ok", "Cancel", "Inner", "Edit"}));
  EXPECT_EQ(D.Edit->LastReason, frTab);
  KeyClick(Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(FocusedControl(), D.Inner);
  EXPECT_EQ(D.Inner->LastReason, frBacktab);
  // Focus taken while a mouse press is handled is taken by the mouse.
  D.Ok->OnMouseDown = [&](TComponent*, TMouseButton, TShiftState, int32_t, int32_t) { D.Ok->SetFocus(); };
  MouseClick(D.Ok, 2, 2);
  EXPECT_EQ(FocusedControl(), D.Ok);
  EXPECT_EQ(D.Ok->LastReason, frMouse);
  for (TKeyProbe* P : {D.Edit, D.Inner}) EXPECT_EQ(std::count(P->Keys.begin(), P->Keys.end(), VK_TAB), 0);
  // Arrows go to the next sibling, tab stop or not, unless the control wants them.
  D.Cancel->SetFocus();
  KeyClick(Qt::Key_Right);
  EXPECT_EQ(FocusedControl(), D.NoStop);
  D.Edit->SetFocus();
  D.Edit->Keys.clear();
  KeyClick(Qt::Key_Down);
  EXPECT_EQ(FocusedControl(), D.Edit);
  EXPECT_EQ(D.Edit->Keys, std::vector<uint16_t>{VK_DOWN});
  EXPECT_THROW(D.Off->SetFocus(), EInvalidOperation);
}

TEST(FormKeys, EnterEscapeAndAcceleratorsReachTheirButtons) {
  TDialogForm D;
  KeyClick(Qt::Key_Return);
  EXPECT_EQ(D.Ok->Clicks, 1);  // the default button, while the edit has the focus
  D.Cancel->SetFocus();
  KeyClick(Qt::Key_Return);
  EXPECT_EQ(D.Cancel->Clicks, 1);  // a focused button takes Enter itself
  EXPECT_EQ(D.Ok->Clicks, 1);
  KeyClick(Qt::Key_Escape);
  EXPECT_EQ(D.Cancel->Clicks, 2);
  KeyClick(Qt::Key_Escape, Qt::ShiftModifier);  // not with a shift key: the control gets it
  EXPECT_EQ(D.Cancel->Clicks, 2);
  EXPECT_EQ(D.Cancel->Keys, (std::vector<uint16_t>{VK_SHIFT, VK_ESCAPE}));
  EXPECT_EQ(D.Cancel->Chars, "\x1b");
  KeyClick('o', Qt::AltModifier);
  EXPECT_EQ(D.Ok->Clicks, 2);
  KeyClick('n', Qt::AltModifier);
  EXPECT_EQ(FocusedControl(), D.Inner);  // the label's focus control
  // A plain letter is a dialog character only where the control does not want characters.
  KeyClick('o');
  EXPECT_EQ(D.Ok->Clicks, 2);
  EXPECT_EQ(D.Inner->Chars, "o");
  D.Cancel->SetFocus();
  KeyClick('o');
  EXPECT_EQ(D.Ok->Clicks, 3);
  EXPECT_EQ(D.Cancel->Chars, "\x1b");
}

TEST(FormKeys, KeyPreviewSeesKeysFirstAndMayChangeThem) {
  TDialogForm D;
  D.Form->SetKeyPreview(true);
  std::vector<uint16_t> Seen;
  D.Form->OnKeyDown = [&](TComponent*, uint16_t& Key, TShiftState) {
    Seen.push_back(Key);
    if (Key == VK_F1) Key = 0;
  };
  D.Form->OnKeyPress = [](TComponent*, char32_t& Key) {
    if (Key == U'a') Key = U'b';
    if (Key == U'x') Key = 0;
  };
  std::vector<uint16_t> Released;
  D.Form->OnKeyUp = [&](TComponent*, uint16_t& Key, TShiftState) { Released.push_back(Key); };
  KeyClick(Qt::Key_F1);
  KeyClick('a');
  KeyClick('x');
  EXPECT_EQ(Seen, (std::vector<uint16_t>{VK_F1, 'A', 'X'}));
  EXPECT_EQ(Released, (std::vector<uint16_t>{VK_F1, 'A', 'X'}));
  EXPECT_EQ(D.Edit->Keys, (std::vector<uint16_t>{'A', 'X'}));
  EXPECT_EQ(D.Edit->Chars, "b");
}

TEST(FormFocus, EnterExitAndFocusChangedFollowTheFocus) {
  TDialogForm D;
  Journal.clear();
  D.Inner->SetFocus();
  EXPECT_EQ(Journal, (std::vector<std::string>{"exit Edit", "enter Panel", "enter Inner"}));
  EXPECT_EQ(D.Form->ActiveControl(), D.Inner);
  for (TKeyProbe* P : {D.Edit, D.NoStop, D.Panel, D.Inner}) EXPECT_EQ(P->LastFocusChange, D.Inner) << P->Name();
  EXPECT_EQ(D.Ok->LastFocusChange, D.Inner);
  Journal.clear();
  D.Edit->SetFocus();
  EXPECT_EQ(Journal, (std::vector<std::string>{"exit Inner", "exit Panel", "enter Edit"}));
  // Freeing the focused control leaves no dangling active control.
  D.Edit->Free();
  EXPECT_EQ(D.Form->ActiveControl(), nullptr);
}

TEST(FormModal, ShowModalGoesThroughTheResponder) {
  TForm* Form = new TForm(nullptr);
  Form->SetCaption("Tag editor");
  auto* Ok = new TTestButton(Form, "Ok", Form, "OK");
  Ok->OnClick = [Form](TComponent*) { Form->SetModalResult(mrOk); };
  std::vector<std::string> Events;
  Form->OnShow = [&](TComponent*) { Events.push_back("show"); };
  Form->OnHide = [&](TComponent*) { Events.push_back("hide"); };
  Form->OnCloseQuery = [&](TComponent*, bool&) { Events.push_back("close query"); };
  Form->OnClose = [&](TComponent*, TCloseAction& A) { Events.push_back(A == caHide ? "close hide" : "close"); };
  {
    TDialogScript Script;
    Script.Answer([&](const TDialogRequest& R) {
      EXPECT_EQ(R.Kind, dkForm);
      EXPECT_EQ(R.Form, Form);
      EXPECT_EQ(R.Caption, "Tag editor");
      EXPECT_TRUE(Form->Visible());
      EXPECT_TRUE(Form->Modal());
      Events.push_back("responder");
      Ok->Perform(CM_DIALOGCHAR, 0, 0);  // the responder works the form...
      Ok->OnClick(Ok);                    // ...and presses its button
      return TDialogAnswer{mrCancel, {}, {}, 0};
    });
    EXPECT_EQ(Form->ShowModal(), mrOk);  // the form's own result wins
    EXPECT_TRUE(Script.Finished());
  }
  EXPECT_EQ(Events, (std::vector<std::string>{"show", "responder", "close query", "close hide", "hide"}));
  EXPECT_FALSE(Form->Visible());
  EXPECT_FALSE(Form->Modal());
  {
    TDialogScript Script;
    Script.Answer(mrCancel);
    EXPECT_EQ(Form->ShowModal(), mrCancel);
  }
  Form->Show();
  EXPECT_THROW(Form->ShowModal(), EInvalidOperation);
  Form->Free();
}

TEST(FormModal, AModalWindowThatIsMinimisedComesBack) {
  TNoResponder Real;
  TForm* Form = new TForm(nullptr);
  Form->SetBorderStyle(bsDialog);
  // The real modal loops: a form, then a message box.
  const std::function<int32_t()> Modals[] = {[Form] { return Form->ShowModal(); },
                                             [] { return Application->MessageBox("Text", "Caption", MB_OK); }};
  for (const auto& Run : Modals) {
    bool Restored = false;
    FromInsideTheDialog([&] {
      QWidget* Modal = QApplication::activeModalWidget();
      if (!Modal || !Modal->isVisible()) return false;
      Modal->showMinimized();
      Restored = ProcessEventsUntil([Modal] { return !Modal->isMinimized(); }, 5000);
      if (Modal == Form->Host())
        Form->SetModalResult(mrOk);
      else
        static_cast<QDialog*>(Modal)->accept();
      return true;
    });
    Run();
    EXPECT_TRUE(Restored);
  }
  Form->Free();
}

TEST(FormModal, MessageBoxesAreRecordedWithTheirTextCaptionIconAndButtons) {
  TDialogScript Script;
  Script.Answer(IDOK);
  Script.Answer(IDNO);
  EXPECT_EQ(MessageBox(nullptr, "Not selected any format for encoding.\n\rPlease select a format.", "Settings error",
                       MB_OK | MB_ICONWARNING),
            IDOK);
  EXPECT_EQ(Application->MessageBox("One\r\nTwo", "Question", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2), IDNO);
  ASSERT_EQ(Script.Requests().size(), 2u);
  const TDialogRequest& First = Script.Requests()[0];
  EXPECT_EQ(First.Text, "Not selected any format for encoding.\nPlease select a format.");
  EXPECT_EQ(First.Caption, "Settings error");
  EXPECT_EQ(First.Icon(), uint32_t(MB_ICONWARNING));
  EXPECT_EQ(First.Buttons(), uint32_t(MB_OK));
  EXPECT_EQ(Script.Requests()[1].Text, "One\nTwo");
  EXPECT_EQ(Script.Requests()[1].Buttons(), uint32_t(MB_YESNO));
}

TEST(FormWindow, CreationActivationTitleAndBorders) {
  struct TMyForm : TForm {
    explicit TMyForm(TComponent* AOwner) : TForm(AOwner) {
      OnCreate = [this](TComponent*) { Created = ControlCount(); };
      new TKeyProbe(this, "Made", this);
    }
    int32_t Created = -1;
  };
  TMyForm* Main = nullptr;
  Application->CreateForm(Main);
  EXPECT_EQ(Main->Created, 1);  // raised once the constructor had made its controls
  EXPECT_EQ(Application->MainForm(), Main);
  auto* Second = NewForm<TMyForm>(nullptr);
  EXPECT_EQ(Second->Created, 1);
  EXPECT_EQ(Screen->Forms(Screen->FormCount() - 1), Second);
  int Activations = 0;
  Second->OnActivate = [&](TComponent*) { ++Activations; };
  Second->SetCaption("New version");
  Second->SetBorderStyle(bsDialog);
  Second->SetPosition(poMainFormCenter);
  Main->SetBounds(100, 100, 400, 300);
  Main->Show();
  Application->ProcessMessages();
  ShowActive(Second);
  EXPECT_EQ(Activations, 1);
  EXPECT_EQ(Screen->ActiveForm(), Second);
  EXPECT_EQ(Second->Host()->windowTitle(), QString("New version"));
  EXPECT_EQ(Second->Host()->windowType(), Qt::Dialog);
  EXPECT_EQ(Second->Host()->minimumSize(), Second->Host()->maximumSize());  // a dialog border does not size
  EXPECT_EQ(Second->Left(), 100 + (400 - Second->Width()) / 2);
  EXPECT_EQ(Second->ActiveControl()->Name(), "Made");
  Second->Free();
  Main->Free();
  EXPECT_EQ(Application->MainForm(), nullptr);
}

TEST(FormClose, CloseQueryCloseActionsAndPosition) {
  TForm* Form = new TForm(nullptr);
  Form->SetBounds(0, 0, 200, 100);
  Form->SetPosition(poScreenCenter);
  bool Allow = false;
  TCloseAction Action = caHide;
  bool Destroyed = false;
  Form->OnCloseQuery = [&](TComponent*, bool& CanClose) { CanClose = Allow; };
  Form->OnClose = [&](TComponent*, TCloseAction& A) { A = Action; };
  Form->OnDestroy = [&](TComponent*) { Destroyed = true; };
  ShowActive(Form);
  EXPECT_EQ(Form->BoundsRect(), Bounds(300, 350, 200, 100));  // centred on the 800 x 800 screen
  Form->Close();
  EXPECT_TRUE(Form->Visible());
  Allow = true;
  Action = caNone;
  Form->Close();
  EXPECT_TRUE(Form->Visible());
  Action = caHide;
  Form->Close();
  EXPECT_FALSE(Form->Visible());
  Form->Show();
  Action = caFree;
  Form->Close();
  EXPECT_FALSE(Destroyed);  // freed once the event is done
  Application->ProcessMessages();
  EXPECT_TRUE(Destroyed);
}

TEST(ApplicationGuard, ExceptionsFromEventsBecomeAMessageBox) {
  TForm Form(nullptr);
  Form.SetBounds(0, 0, 100, 100);
  auto* Button = new TTestButton(&Form, "Boom", &Form, "Boom");
  Button->OnClick = [](TComponent*) { throw Exception("Server connection failed"); };
  ShowActive(&Form);
  {
    TDialogScript Script;
    Script.Answer(IDOK);
    MouseClick(Button, 5, 5);
    ASSERT_EQ(Script.Requests().size(), 1u);
    EXPECT_EQ(Script.Requests()[0].Text, "Server connection failed.");
    EXPECT_EQ(Script.Requests()[0].Caption, Application->Title());
    EXPECT_EQ(Script.Requests()[0].Icon(), uint32_t(MB_ICONSTOP));
  }
  // A handler takes them instead; a timer's exception is guarded the same way, and so is
  // one thrown from any Qt object's event.
  std::vector<std::string> Caught;
  Application->OnException = [&](TComponent*, const Exception& E) { Caught.push_back(E.Message()); };
  TTimer Timer(nullptr);
  Timer.SetInterval(10);
  Timer.OnTimer = [](TComponent*) { throw EConvertError("'2A' is not a valid integer value"); };
  TTimer::Advance(10);
  Timer.SetEnabled(false);
  struct TThrower : QObject {
    bool event(QEvent*) override { throw std::runtime_error("Qt event"); }
  } Thrower;
  QCoreApplication::postEvent(&Thrower, new QEvent(QEvent::User));
  Application->ProcessMessages();
  Application->OnException = nullptr;
  EXPECT_EQ(Caught, (std::vector<std::string>{"'2A' is not a valid integer value", "Qt event"}));
}

TEST(Timers, FireInOrderOnTheTestClock) {
  std::vector<std::string> Fired;
  TTimer Fast(nullptr), Slow(nullptr), Off(nullptr);
  Fast.SetInterval(100);
  Slow.SetInterval(250);
  Off.SetEnabled(false);
  const uint32_t Start = GetTickCount();
  auto Record = [&](const char* Name) {
    return [&Fired, Start, Name](TComponent*) { Fired.push_back(std::string(Name) + "@" + std::to_string(GetTickCount() - Start)); };
  };
  int FastFires = 0;
  Fast.OnTimer = [&](TComponent* Sender) {
    Record("fast")(Sender);
    if (++FastFires == 5) Fast.SetInterval(30);  // restarts from now
  };
  Slow.OnTimer = Record("slow");
  Off.OnTimer = Record("off");
  TTimer::Advance(540);
  EXPECT_EQ(Fired, (std::vector<std::string>{"fast@100", "fast@200", "slow@250", "fast@300", "fast@400", "slow@500",
                                             "fast@500", "fast@530"}));
  EXPECT_EQ(GetTickCount() - Start, 540u);
  // Switching a timer off and on starts its period again.
  Fired.clear();
  Slow.SetEnabled(false);
  Slow.SetEnabled(true);
  Fast.SetEnabled(false);
  TTimer::Advance(250);
  EXPECT_EQ(Fired, (std::vector<std::string>{"slow@790"}));
  Slow.SetEnabled(false);
}
