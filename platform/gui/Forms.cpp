#include "platform/gui/Forms.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QSocketNotifier>
#include <QUrl>
#include <QWindowStateChangeEvent>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <map>

#include "platform/gui/ClassicLook.h"
#include "platform/gui/ControlHost.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/GuiInternal.h"
#include "platform/gui/HintWindow.h"
#include "platform/gui/QtSupport.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Threads.h"

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

// ---------------------------------------------------------------------------
// Guarded calls

// The last line of defence: nothing escapes Qt's event delivery. The library's own entry
// points (control hosts, timers, posted calls) catch before this.
// Where the last mouse event put the pointer (QCursor::pos() does not follow the
// events of every platform plugin).
namespace {
QPoint LastCursorPos;
bool CursorPosKnown = false;
}  // namespace

class TGuardedApplication : public QApplication {
public:
  using QApplication::QApplication;
  bool notify(QObject* Receiver, QEvent* Event) override {
    switch (Event->type()) {
      case QEvent::MouseMove:
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
        LastCursorPos = static_cast<QMouseEvent*>(Event)->globalPosition().toPoint();
        CursorPosKnown = true;
        break;
      case QEvent::StyleChange:
      case QEvent::ApplicationPaletteChange:
      case QEvent::ApplicationFontChange:
        KeepClassicLook();
        break;
      default:
        break;
    }
    try {
      const bool Handled = QApplication::notify(Receiver, Event);
      if (Event->type() == QEvent::WindowStateChange) KeepModalShown(Receiver);
      return Handled;
    } catch (...) {
      if (Application) Application->HandleException(nullptr);
      return false;
    }
  }

private:
  // A modal window has no minimise button, yet a window manager may minimise it all
  // the same: the windows it blocks would then ignore every click with nothing in
  // sight to answer, so it is shown again.
  static void KeepModalShown(QObject* Receiver) {
    auto* W = qobject_cast<QWidget*>(Receiver);
    if (!W || !W->isWindow() || !W->isMinimized() || W->windowModality() == Qt::NonModal) return;
    QMetaObject::invokeMethod(
        W,
        [W] {
          if (!W->isMinimized() || W->windowModality() == Qt::NonModal) return;
          W->showNormal();
          W->raise();
          W->activateWindow();
        },
        Qt::QueuedConnection);
  }
};

TPoint GetCursorPos() { return FromQPoint(CursorPosKnown ? LastCursorPos : QCursor::pos()); }

void RunGuarded(const std::function<void()>& Fn, TComponent* Sender) {
  try {
    Fn();
  } catch (...) {
    if (Application) Application->HandleException(Sender);
  }
}

void PostGuarded(std::function<void()> Fn) {
  QMetaObject::invokeMethod(qApp, [Fn = std::move(Fn)] { RunGuarded(Fn, nullptr); }, Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------
// TCustomForm

TCustomForm::TCustomForm(TComponent* AOwner)
    : TWinControl(AOwner, new TControlHost<QWidget>(this)), FCanvas(std::make_unique<TCanvas>()) {
  FVisible = false;
  FControlStyle = csAcceptsControls | csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks;
  ApplyWindowFlags();
  SetColor(clBtnFace);
  SetBounds(0, 0, 320, 240);
  if (Screen) Screen->FForms.push_back(this);
}

TCustomForm::~TCustomForm() {
  if (Screen) std::erase(Screen->FForms, this);
  if (Application) {
    std::erase(Application->FPendingRelease, this);
    if (Application->FMainForm == this) Application->FMainForm = nullptr;
  }
}

void TCustomForm::BeforeDestruction() {
  DoDestroy();
  if (Screen) std::erase(Screen->FForms, this);
  if (Application) {
    std::erase(Application->FPendingRelease, this);
    if (Application->FMainForm == this) Application->FMainForm = nullptr;
  }
  if (FModalLoop) FModalLoop->quit();
  TWinControl::BeforeDestruction();
}

void TCustomForm::AfterConstruction() { DoCreate(); }

void TCustomForm::DoCreate() {
  if (OnCreate) OnCreate(this);
}
void TCustomForm::DoShow() {
  if (OnShow) OnShow(this);
}
void TCustomForm::DoHide() {
  if (OnHide) OnHide(this);
}
void TCustomForm::DoClose(TCloseAction& Action) {
  if (OnClose) OnClose(this, Action);
}
void TCustomForm::DoDestroy() {
  if (OnDestroy) OnDestroy(this);
}
void TCustomForm::Activate() {
  if (OnActivate) OnActivate(this);
}
void TCustomForm::Deactivate() {
  if (OnDeactivate) OnDeactivate(this);
}
void TCustomForm::Paint() {
  if (OnPaint) OnPaint(this);
}
void TCustomForm::PaintWindow(TCanvas*) { Paint(); }

void TCustomForm::CMTextChanged() {
  Host()->setWindowTitle(ToQString(Caption()));
  TWinControl::CMTextChanged();
}

namespace {
bool Sizeable(TFormBorderStyle S) { return S == bsSizeable || S == bsSizeToolWin; }
}  // namespace

void TCustomForm::ApplyWindowFlags() {
  Qt::WindowFlags F;
  switch (FBorderStyle) {
    case bsNone: F = Qt::Window | Qt::FramelessWindowHint; break;
    case bsDialog: F = Qt::Dialog | Qt::WindowTitleHint; break;
    case bsToolWindow:
    case bsSizeToolWin: F = Qt::Tool | Qt::WindowTitleHint; break;
    default: F = Qt::Window | Qt::WindowTitleHint; break;
  }
  if (FBorderStyle != bsNone) {
    if (FBorderIcons & biSystemMenu) F |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (FBorderStyle != bsDialog && (FBorderIcons & biMinimize)) F |= Qt::WindowMinimizeButtonHint;
    if (FBorderStyle != bsDialog && Sizeable(FBorderStyle) && (FBorderIcons & biMaximize)) F |= Qt::WindowMaximizeButtonHint;
    if (FBorderIcons & biHelp) F |= Qt::WindowContextHelpButtonHint;
    F |= Qt::CustomizeWindowHint;
  }
  QWidget* W = Host();
  const bool WasVisible = W->isVisible();
  W->setWindowFlags(F);
  UpdateHostGeometry();
  if (WasVisible) W->show();
}

void TCustomForm::SetBorderStyle(TFormBorderStyle Value) {
  if (Value == FBorderStyle) return;
  FBorderStyle = Value;
  ApplyWindowFlags();
}

void TCustomForm::SetBorderIcons(TBorderIcons Value) {
  if (Value == FBorderIcons) return;
  FBorderIcons = Value;
  ApplyWindowFlags();
}

void TCustomForm::UpdateHostGeometry() {
  QWidget* W = Host();
  if (!W) return;
  if (Sizeable(FBorderStyle)) {
    W->setMinimumSize(0, 0);
    W->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  } else {
    W->setFixedSize(Width(), Height());
  }
  W->setGeometry(Left(), Top(), Width(), Height());
}

void TCustomForm::ApplyPosition() {
  if (FPositioned) return;
  FPositioned = true;
  TRect Target;
  const TCustomForm* Around = nullptr;
  if (FPosition == poMainFormCenter && Application) Around = Application->MainForm();
  if (FPosition == poOwnerFormCenter) Around = dynamic_cast<const TCustomForm*>(Owner());
  if (Around && Around != this && Around->Visible())
    Target = Around->BoundsRect();
  else if (FPosition == poScreenCenter || FPosition == poDesktopCenter || FPosition == poMainFormCenter ||
           FPosition == poOwnerFormCenter)
    Target = Screen ? Screen->PrimaryMonitor().BoundsRect : TRect{};
  else
    return;
  SetBounds(Target.Left + (Target.Width() - Width()) / 2, Target.Top + (Target.Height() - Height()) / 2, Width(), Height());
}

void TCustomForm::SetVisible(bool Value) {
  if (Value == Visible()) return;
  QWidget* W = Host();
  if (Value) {
    ApplyPosition();
    HandleNeeded();
    DoShow();
    FVisible = true;
    W->show();
  } else {
    DoHide();
    FVisible = false;
    W->hide();
  }
  Perform(CM_VISIBLECHANGED, Value);
}

void TCustomForm::SetFocus() {
  if (FActive) return;
  if (!Visible() || !Enabled()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
  QWidget* W = Host();
  W->raise();
  W->activateWindow();
  if (FActiveControl) FActiveControl->Host()->setFocus(ToQtFocusReason(NextFocusReason()));
}

void TCustomForm::SetActiveControl(TWinControl* Value) {
  if (Value == FActiveControl) return;
  if (Value && (Value == this || GetParentForm(Value) != this || (!Loading() && !Value->CanFocus())))
    throw EInvalidOperation("Cannot focus a disabled or invisible window");
  FActiveControl = Value;
  if (Loading() || !FActive) return;
  if (Value)
    Value->Host()->setFocus(ToQtFocusReason(NextFocusReason()));
  else
    Host()->setFocus(ToQtFocusReason(NextFocusReason()));
}

void TCustomForm::FocusControl(TWinControl* Control) {
  const bool WasActive = FActive;
  SetActiveControl(Control);
  if (!WasActive) SetFocus();
}

bool TCustomForm::SetFocusedControl(TWinControl* Control) {
  if (Control == FFocusedControl) return false;
  TWinControl* Old = FFocusedControl;
  FFocusedControl = Control;
  if (Control && Control != this) FActiveControl = Control;
  for (TWinControl* C = Old; C && C != this && !C->ContainsControl(Control); C = C->Parent()) C->Perform(CM_EXIT);
  std::vector<TWinControl*> Entered;
  for (TWinControl* C = Control; C && C != this && !(Old && C->ContainsControl(Old)); C = C->Parent())
    Entered.push_back(C);
  for (auto It = Entered.rbegin(); It != Entered.rend(); ++It) (*It)->Perform(CM_ENTER);
  Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<intptr_t>(Control));
  return true;
}

void TCustomForm::ControlRemoving(TControl* Control) {
  auto Inside = [Control](TWinControl* X) {
    if (!X) return false;
    if (auto* W = dynamic_cast<TWinControl*>(Control)) return W->ContainsControl(X);
    return Control == X;
  };
  if (Inside(FActiveControl)) FActiveControl = nullptr;
  if (Inside(FFocusedControl)) FFocusedControl = nullptr;
}

void TCustomForm::ActivateFocus() {
  if (FActiveControl && FActiveControl->CanFocus()) {
    FActiveControl->Host()->setFocus(Qt::ActiveWindowFocusReason);
    return;
  }
  FActiveControl = nullptr;
  if (TWinControl* First = FindNextControl(nullptr, true, true, false)) {
    TFocusReasonScope Reason(frActiveWindow);
    SetActiveControl(First);
  }
}

bool TCustomForm::HostEvent(QEvent* Event) {
  QWidget* W = Host();
  switch (Event->type()) {
    case QEvent::Close:
      // The window's close button: our closing rules decide, and hide the window.
      Event->ignore();
      Close();
      return true;
    case QEvent::WindowActivate:
      FActive = true;
      ActivateFocus();
      Activate();
      return DefaultHostEvent(Event);
    case QEvent::WindowDeactivate:
      FActive = false;
      Deactivate();
      return DefaultHostEvent(Event);
    case QEvent::Resize:
      // The window manager or the user sized the window.
      if (W->width() != Width() || W->height() != Height()) {
        FWidth = W->width();
        FHeight = W->height();
        WMSize();
      }
      return DefaultHostEvent(Event);
    case QEvent::Move:
      FLeft = W->geometry().x();
      FTop = W->geometry().y();
      return DefaultHostEvent(Event);
    case QEvent::WindowStateChange: {
      const bool Minimized = W->isMinimized();
      if (Minimized != FMinimized) {
        FMinimized = Minimized;
        if (Application && Application->MainForm() == this) {
          const TNotifyEvent& E = Minimized ? Application->OnMinimize : Application->OnRestore;
          if (E) E(Application);
        }
      }
      return DefaultHostEvent(Event);
    }
    default:
      return TWinControl::HostEvent(Event);
  }
}

bool TCustomForm::CMDialogKey(uint16_t Key, TShiftState Shift) {
  if (!(Shift & ssAlt)) {
    if (Key == VK_TAB && !(Shift & ssCtrl)) {
      SelectNext(FActiveControl, !(Shift & ssShift), true);
      return true;
    }
    if (Key == VK_LEFT || Key == VK_RIGHT || Key == VK_UP || Key == VK_DOWN) {
      if (!FActiveControl || !FActiveControl->Parent()) return false;
      FActiveControl->Parent()->SelectNext(FActiveControl, Key == VK_RIGHT || Key == VK_DOWN, false);
      return true;
    }
  }
  return TWinControl::CMDialogKey(Key, Shift);
}

bool TCustomForm::CloseQuery() {
  bool CanClose = true;
  if (OnCloseQuery) OnCloseQuery(this, CanClose);
  return CanClose;
}

void TCustomForm::Close() {
  if (Modal()) {
    SetModalResult(mrCancel);
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction Action = caHide;
  DoClose(Action);
  if (Action == caNone) return;
  if (Application && Application->MainForm() == this)
    Application->Terminate();
  else if (Action == caHide)
    Hide();
  else if (Action == caMinimize)
    Host()->showMinimized();
  else
    Release();
}

void TCustomForm::Release() {
  if (!Application) return;
  if (std::find(Application->FPendingRelease.begin(), Application->FPendingRelease.end(), this) !=
      Application->FPendingRelease.end())
    return;
  Application->FPendingRelease.push_back(this);
  PostGuarded([Form = this] {
    auto& Pending = Application->FPendingRelease;
    if (std::find(Pending.begin(), Pending.end(), Form) == Pending.end()) return;
    std::erase(Pending, Form);
    Form->Free();
  });
}

void TCustomForm::SetModalResult(TModalResult Value) {
  FModalResult = Value;
  if (FModalLoop && Value != mrNone) FModalLoop->quit();
}

void TCustomForm::CloseModal() {
  TCloseAction Action = caNone;
  if (CloseQuery()) {
    Action = caHide;
    DoClose(Action);
  }
  if (Action == caNone)
    FModalResult = mrNone;
  else if (Action == caFree)
    Release();
}

TModalResult TCustomForm::ShowModal() {
  if (Visible() || !Enabled() || Modal()) throw EInvalidOperation("Cannot make a visible window modal");
  FModalResult = mrNone;
  QWidget* W = Host();
  W->setWindowModality(Qt::ApplicationModal);
  ++FModalLevel;
  struct TLeave {
    TCustomForm* Form;
    ~TLeave() {
      --Form->FModalLevel;
      Form->FModalLoop = nullptr;
      Form->Hide();
      Form->Host()->setWindowModality(Qt::NonModal);
    }
  } Leave{this};
  Show();
  TDialogRequest Request;
  Request.Kind = dkForm;
  Request.Form = this;
  Request.Caption = Caption();
  bool Looped = false;
  const TDialogAnswer Answer = ExecuteDialog(Request, [this, &Looped] {
    Looped = true;
    QEventLoop Loop;
    FModalLoop = &Loop;
    Application->FModalLoops.push_back(&Loop);
    struct TForget {
      QEventLoop* L;
      ~TForget() { std::erase(Application->FModalLoops, L); }
    } Forget{&Loop};
    for (;;) {
      if (FModalResult == mrNone && !Application->Terminated()) Loop.exec();
      if (Application->Terminated())
        FModalResult = mrCancel;
      else if (FModalResult != mrNone)
        CloseModal();
      if (FModalResult != mrNone) break;
    }
    return TDialogAnswer{FModalResult, {}, {}, 0};
  });
  if (!Looped) {
    // A responder answered: the form closes as if the result had been set on it.
    if (FModalResult == mrNone) FModalResult = Answer.Result;
    if (FModalResult != mrNone) CloseModal();
  }
  return FModalResult;
}

// ---------------------------------------------------------------------------
// TApplication

TApplication::TApplication(int& Argc, char** Argv) : TComponent(nullptr) {
  if (Application) throw EInvalidOperation("There is already an application object");
  FQtApp = std::make_unique<TGuardedApplication>(Argc, Argv);
  FQtApp->setQuitOnLastWindowClosed(false);
  ApplyClassicLook(*FQtApp);
  Application = this;
  Screen = new TScreen();
  FHintManager = std::make_unique<THintManager>();
  FTitle = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName().toStdString();
  // Calls other threads hand to the main thread run from the event loop.
  SetWakeMainThread([] { PostGuarded([] { CheckSynchronize(); }); });
  QObject::connect(FQtApp.get(), &QApplication::focusChanged, [](QWidget*, QWidget* Now) {
    RunGuarded([Now] {
      auto* C = dynamic_cast<TWinControl*>(IControlHost::ControlOf(Now));
      if (TCustomForm* Form = GetParentForm(C); Form && Form != C) Form->SetFocusedControl(C);
    }, nullptr);
  });
}

TApplication::~TApplication() {
  SetWakeMainThread(nullptr);
  FSignalNotifier.reset();
  FHintManager.reset();
  // The forms go while Qt is still there.
  DestroyComponents();
  delete Screen;
  Screen = nullptr;
  Application = nullptr;
  FQtApp.reset();
}

void TApplication::SetTitle(const std::string& Value) { FTitle = Value; }

std::string TApplication::ExeName() const { return QCoreApplication::applicationFilePath().toStdString(); }

void TApplication::Run() {
  if (FMainForm) FMainForm->Show();
  if (FTerminated) return;
  FRunning = true;
  QApplication::exec();
  FRunning = false;
}

void TApplication::ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void TApplication::Terminate() {
  FTerminated = true;
  for (QEventLoop* L : FModalLoops) L->quit();
  // Not quit(): Qt answers it by closing every window, and the main form, closed already,
  // would run its OnClose a second time. Outside Run there is no loop of Qt's to end,
  // and exit() would end every loop started later.
  if (FRunning) QCoreApplication::exit(0);
}

// ---------------------------------------------------------------------------
// Termination signals: the handler only writes the signal's number into a pipe, whose
// other end the event loop watches; everything else runs on the main thread.

namespace {
int SignalPipe[2] = {-1, -1};

void NoteSignal(int Signal) {
  const int SavedErrno = errno;
  const unsigned char Byte = static_cast<unsigned char>(Signal);
  // A full pipe already holds a signal to act on.
  [[maybe_unused]] const ssize_t Written = ::write(SignalPipe[1], &Byte, 1);
  errno = SavedErrno;
}
}  // namespace

void TApplication::CatchTerminationSignals() {
  if (FSignalNotifier) return;
  if (SignalPipe[0] < 0 && ::pipe2(SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    const int Error = errno;
    throw EOSError("Cannot watch for termination signals: " + SysErrorMessage(Error), Error);
  }
  FSignalNotifier = std::make_unique<QSocketNotifier>(SignalPipe[0], QSocketNotifier::Read);
  QObject::connect(FSignalNotifier.get(), &QSocketNotifier::activated, [this] {
    RunGuarded([this] {
      unsigned char Bytes[16];
      int First = 0;
      for (ssize_t N; (N = ::read(SignalPipe[0], Bytes, sizeof Bytes)) > 0;)
        if (FTerminationSignal == 0) First = FTerminationSignal = Bytes[0];
      if (First == 0) return;
      if (OnTerminationSignal)
        OnTerminationSignal(First);
      else
        Terminate();
    }, this);
  });
  for (const int Signal : {SIGTERM, SIGHUP, SIGINT}) {
    struct sigaction Old {};
    if (::sigaction(Signal, nullptr, &Old) == 0 && Old.sa_handler == SIG_IGN) continue;
    struct sigaction Action {};
    Action.sa_handler = NoteSignal;
    sigemptyset(&Action.sa_mask);
    Action.sa_flags = SA_RESTART;
    ::sigaction(Signal, &Action, nullptr);
  }
}

int TApplication::DieOfSignal(int Signal) {
  std::fflush(nullptr);
  struct sigaction Action {};
  Action.sa_handler = SIG_DFL;
  sigemptyset(&Action.sa_mask);
  ::sigaction(Signal, &Action, nullptr);
  sigset_t Set;
  sigemptyset(&Set);
  sigaddset(&Set, Signal);
  ::pthread_sigmask(SIG_UNBLOCK, &Set, nullptr);
  ::raise(Signal);
  return 128 + Signal;
}

bool TApplication::Active() const { return QApplication::activeWindow() != nullptr; }

void TApplication::HandleException(TComponent* Sender) {
  const std::exception_ptr Current = std::current_exception();
  if (!Current) return;
  try {
    try {
      std::rethrow_exception(Current);
    } catch (const Exception& E) {
      if (OnException)
        OnException(Sender, E);
      else
        ShowException(E);
    } catch (const std::exception& E) {
      const Exception Wrapped(E.what());
      if (OnException)
        OnException(Sender, Wrapped);
      else
        ShowException(Wrapped);
    }
  } catch (const std::exception& E) {
    // The handler itself failed: there is nobody left to tell but the console.
    std::fprintf(stderr, "Unhandled exception: %s\n", E.what());
  } catch (...) {
    std::fprintf(stderr, "Unhandled exception\n");
  }
}

void TApplication::ShowException(const Exception& E) {
  std::string Text = E.Message();
  // A message that does not end in punctuation gets a full stop.
  if (!Text.empty() && static_cast<unsigned char>(Text.back()) > '.') Text += '.';
  ::MessageBox(nullptr, Text, FTitle, MB_OK | MB_ICONSTOP);
}

int32_t TApplication::MessageBox(const std::string& Text, const std::string& Caption, uint32_t Flags) {
  return ::MessageBox(nullptr, Text, Caption, Flags);
}

void TApplication::SetShowHint(bool Value) {
  if (Value == FShowHint) return;
  FShowHint = Value;
  FHintManager->ResetWindow();
}

void TApplication::CancelHint() { FHintManager->CancelHint(); }

void TApplication::ActivateHint(const TPoint& CursorPos) { FHintManager->ActivateHint(CursorPos); }

THintWindow* TApplication::ShownHintWindow() const { return FHintManager->ShownWindow(); }

bool TApplication::HelpContext(int32_t Context) {
  if (OnHelp && OnHelp(HELP_CONTEXT, Context)) return true;
  if (FHelpFile.empty()) return false;
  return QDesktopServices::openUrl(QUrl::fromLocalFile(ToQString(FHelpFile)));
}

// ---------------------------------------------------------------------------
// TScreen

struct TScreen::TCursors {
  std::map<TCursor, QCursor> Registered;
  bool Overriding = false;
};

TScreen::TScreen()
    : FCursors(std::make_unique<TCursors>()), FMenuFont(std::make_unique<TFont>()), FHintFont(std::make_unique<TFont>()) {}

TScreen::~TScreen() {
  if (FCursors->Overriding) QGuiApplication::restoreOverrideCursor();
}

namespace {

TMonitor MonitorOf(QScreen* S, int32_t Index) {
  TMonitor M;
  M.MonitorNum = Index;
  M.Primary = S == QGuiApplication::primaryScreen();
  M.BoundsRect = FromQRect(S->geometry());
  M.WorkareaRect = FromQRect(S->availableGeometry());
  return M;
}

int32_t IndexOf(QScreen* S) {
  return static_cast<int32_t>(QGuiApplication::screens().indexOf(S));
}

int64_t DistanceSquared(const QRect& R, const QPoint& P) {
  const int64_t DX = P.x() < R.left() ? R.left() - P.x() : (P.x() > R.right() ? P.x() - R.right() : 0);
  const int64_t DY = P.y() < R.top() ? R.top() - P.y() : (P.y() > R.bottom() ? P.y() - R.bottom() : 0);
  return DX * DX + DY * DY;
}

Qt::CursorShape ShapeOf(TCursor C) {
  switch (C) {
    case crNone: return Qt::BlankCursor;
    case crCross: return Qt::CrossCursor;
    case crIBeam: return Qt::IBeamCursor;
    case crSizeNESW: return Qt::SizeBDiagCursor;
    case crSizeNS: return Qt::SizeVerCursor;
    case crSizeNWSE: return Qt::SizeFDiagCursor;
    case crSizeWE: return Qt::SizeHorCursor;
    case crUpArrow: return Qt::UpArrowCursor;
    case crHourGlass:
    case crSQLWait: return Qt::WaitCursor;
    case crDrag:
    case crMultiDrag: return Qt::DragCopyCursor;
    case crNoDrop:
    case crNo: return Qt::ForbiddenCursor;
    case crHSplit: return Qt::SplitHCursor;
    case crVSplit: return Qt::SplitVCursor;
    case crAppStart: return Qt::BusyCursor;
    case crHelp: return Qt::WhatsThisCursor;
    case crHandPoint: return Qt::PointingHandCursor;
    case crSizeAll: return Qt::SizeAllCursor;
    default: return Qt::ArrowCursor;
  }
}

}  // namespace

int32_t TScreen::MonitorCount() const { return static_cast<int32_t>(QGuiApplication::screens().size()); }

TMonitor TScreen::Monitors(int32_t Index) const {
  return MonitorOf(QGuiApplication::screens().at(Index), Index);
}

TMonitor TScreen::MonitorFromPoint(const TPoint& P) const {
  const QPoint Q = ToQPoint(P);
  if (QScreen* S = QGuiApplication::screenAt(Q)) return MonitorOf(S, IndexOf(S));
  QScreen* Best = QGuiApplication::primaryScreen();
  for (QScreen* S : QGuiApplication::screens())
    if (DistanceSquared(S->geometry(), Q) < DistanceSquared(Best->geometry(), Q)) Best = S;
  return MonitorOf(Best, IndexOf(Best));
}

TMonitor TScreen::MonitorFromWindow(const TControl* Control) const {
  QWidget* W = Control ? Control->Host() : nullptr;
  QScreen* S = W ? W->screen() : QGuiApplication::primaryScreen();
  return MonitorOf(S, IndexOf(S));
}

TMonitor TScreen::PrimaryMonitor() const {
  QScreen* S = QGuiApplication::primaryScreen();
  return MonitorOf(S, IndexOf(S));
}

int32_t TScreen::Width() const { return QGuiApplication::primaryScreen()->geometry().width(); }
int32_t TScreen::Height() const { return QGuiApplication::primaryScreen()->geometry().height(); }
TRect TScreen::WorkAreaRect() const { return FromQRect(QGuiApplication::primaryScreen()->availableGeometry()); }

TCustomForm* TScreen::ActiveForm() const {
  return dynamic_cast<TCustomForm*>(IControlHost::ControlOf(QApplication::activeWindow()));
}

void TScreen::SetCursor(TCursor Value) {
  if (Value == FCursor) return;
  FCursor = Value;
  if (Value == crDefault) {
    if (FCursors->Overriding) QGuiApplication::restoreOverrideCursor();
    FCursors->Overriding = false;
    return;
  }
  QCursor C = FCursors->Registered.count(Value) ? FCursors->Registered[Value] : QCursor(ShapeOf(Value));
  if (FCursors->Overriding)
    QGuiApplication::changeOverrideCursor(C);
  else
    QGuiApplication::setOverrideCursor(C);
  FCursors->Overriding = true;
}

void TScreen::RegisterCursor(TCursor Id, TCursor Shape) { FCursors->Registered[Id] = QCursor(ShapeOf(Shape)); }

void TScreen::RegisterCursorImage(TCursor Id, const TBitmap& Image, TPoint HotSpot) {
  FCursors->Registered[Id] = QCursor(QPixmap::fromImage(Image.MaskedImage()), HotSpot.X, HotSpot.Y);
}

void TScreen::ApplyCursor(QWidget* Widget, TCursor Cursor) const {
  if (Cursor == crDefault) {
    Widget->unsetCursor();
    return;
  }
  auto It = FCursors->Registered.find(Cursor);
  Widget->setCursor(It != FCursors->Registered.end() ? It->second : QCursor(ShapeOf(Cursor)));
}
