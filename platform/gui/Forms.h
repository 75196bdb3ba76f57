#pragma once
// Forms, the application object and the screen.
//
// Windows are built in code: a form's constructor creates its controls between
// BeginLoading(this) and EndLoading(this) (Controls.h), and the form is made with
// Application->CreateForm or NewForm, which raise OnCreate once the object is complete.
//
// Every modal thing (ShowModal, message boxes, file and folder dialogs) goes through
// ExecuteDialog (Dialogs.h), so tests answer them with a responder and never block.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/Controls.h"

class QEventLoop;
class QSocketNotifier;
class THintManager;
class THintWindow;

enum TFormBorderStyle : uint8_t { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using TBorderStyle = TFormBorderStyle;  // bsNone or bsSingle for controls

using TBorderIcons = uint8_t;
enum : TBorderIcons { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };

enum TPosition : uint8_t {
  poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter,
  poMainFormCenter, poOwnerFormCenter
};

enum TCloseAction : uint8_t { caNone, caHide, caFree, caMinimize };

using TModalResult = int32_t;
enum : TModalResult {
  mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6,
  mrNo = 7, mrAll = 8, mrNoToAll = 9, mrYesToAll = 10
};

using TCloseEvent = std::function<void(TComponent* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TComponent* Sender, bool& CanClose)>;

// A top-level window. Its bounds are its client area, also Left and Top: the window
// manager's frame lies outside them. A form starts hidden; OnShow runs before it
// appears, OnActivate when it becomes the active window (the focus then goes to
// ActiveControl, or to the first control in tab order).
//
// Focus: whenever the focused control of the form changes, the controls that lose it
// (and their parents up to the common one) get CM_EXIT, those that gain it CM_ENTER
// (outermost first), and the form broadcasts CM_FOCUSCHANGED with the new control to
// all its controls.
class TCustomForm : public TWinControl {
public:
  explicit TCustomForm(TComponent* AOwner);
  ~TCustomForm() override;
  void BeforeDestruction() override;
  // Raises OnCreate; CreateForm and NewForm call it once the form is complete.
  virtual void AfterConstruction();

  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle Value);
  TBorderIcons BorderIcons() const { return FBorderIcons; }
  void SetBorderIcons(TBorderIcons Value);
  // Applied when the form is first shown.
  TPosition Position() const { return FPosition; }
  void SetPosition(TPosition Value) { FPosition = Value; }
  // The form sees the keys of its controls first.
  bool KeyPreview() const { return FKeyPreview; }
  void SetKeyPreview(bool Value) { FKeyPreview = Value; }
  // The control that has (or gets, once the form is active) the focus. Raises
  // EInvalidOperation for a control of another form or one that cannot take the focus.
  TWinControl* ActiveControl() const { return FActiveControl; }
  void SetActiveControl(TWinControl* Value);
  // Setting a result other than mrNone ends ShowModal.
  TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult Value);
  // The form's window is the active window.
  bool Active() const { return FActive; }
  bool Modal() const { return FModalLevel > 0; }
  TCanvas* Canvas() const { return FCanvas.get(); }

  void SetVisible(bool Value) override;
  // Activates the form's window.
  void SetFocus() override;
  // Closes the form: a modal form gets mrCancel; otherwise OnCloseQuery may refuse,
  // OnClose chooses the action (caHide by default; the main form ends the application).
  void Close();
  // OnCloseQuery's answer.
  virtual bool CloseQuery();
  // Shows the form modally and returns its modal result (through ExecuteDialog).
  TModalResult ShowModal();
  // Frees the form once the event being handled is done.
  void Release();
  // Moves the focus to Control (a control of this form).
  void FocusControl(TWinControl* Control);
  // Records that Control now has the focus (see the class comment); false when nothing changed.
  bool SetFocusedControl(TWinControl* Control);

  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnPaint;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;

protected:
  bool HostEvent(QEvent* Event) override;
  void UpdateHostGeometry() override;
  void PaintWindow(TCanvas* Canvas) override;
  TCanvas* PaintCanvas() const override { return FCanvas.get(); }
  virtual void Paint();
  virtual void DoCreate();
  virtual void DoShow();
  virtual void DoHide();
  virtual void DoClose(TCloseAction& Action);
  virtual void DoDestroy();
  virtual void Activate();
  virtual void Deactivate();
  void CMTextChanged() override;
  // Tab and Shift+Tab move the focus through the tab order, arrows among the active
  // control's siblings; other keys are broadcast to the controls.
  bool CMDialogKey(uint16_t Key, TShiftState Shift) override;

private:
  void ApplyWindowFlags();
  void ApplyPosition();
  void CloseModal();
  void ActivateFocus();
  void ControlRemoving(TControl* Control);
  friend class TWinControl;

  TFormBorderStyle FBorderStyle = bsSizeable;
  TBorderIcons FBorderIcons = biSystemMenu | biMinimize | biMaximize;
  TPosition FPosition = poDesigned;
  bool FKeyPreview = false;
  TWinControl* FActiveControl = nullptr;
  TWinControl* FFocusedControl = nullptr;
  TModalResult FModalResult = mrNone;
  int32_t FModalLevel = 0;
  QEventLoop* FModalLoop = nullptr;
  bool FActive = false;
  bool FPositioned = false;
  bool FMinimized = false;
  std::unique_ptr<TCanvas> FCanvas;
};

class TForm : public TCustomForm {
public:
  using TCustomForm::TCustomForm;
};

// A form of class T owned by Owner, with OnCreate raised.
template <class T>
T* NewForm(TComponent* Owner) {
  T* Form = new T(Owner);
  Form->AfterConstruction();
  return Form;
}

// ---------------------------------------------------------------------------

using THintWindowClass = std::function<THintWindow*(TComponent* Owner)>;
using TExceptionEvent = std::function<void(TComponent* Sender, const Exception& E)>;
// Command and data of a help request; true when the handler dealt with it.
using THelpEvent = std::function<bool(uint16_t Command, intptr_t Data)>;
constexpr uint16_t HELP_CONTEXT = 1;

// The application: the Qt application with one exception guard around every event
// dispatch, the forms, the main loop and the application-wide settings. One exists per
// process; its constructor sets Application and Screen. The forms it owns go before Qt
// does; free any other form before the application goes.
class TApplication : public TComponent {
public:
  TApplication(int& Argc, char** Argv);
  ~TApplication() override;

  // Nothing is left to do at this point; kept for the program's start-up code.
  void Initialize() {}
  const std::string& Title() const { return FTitle; }
  void SetTitle(const std::string& Value);
  // The path of the running program.
  std::string ExeName() const;

  // Makes a form owned by the application and raises its OnCreate; the first one made
  // becomes the main form.
  template <class T>
  void CreateForm(T*& Reference) {
    T* Form = new T(this);
    Reference = Form;
    if (!FMainForm) FMainForm = Form;
    Form->AfterConstruction();
  }
  TCustomForm* MainForm() const { return FMainForm; }
  // Shows the main form and runs the event loop until Terminate.
  void Run();
  // Handles the events waiting now (posted calls and the threads' Synchronize included).
  void ProcessMessages();
  // Ends Run and every modal loop.
  void Terminate();
  bool Terminated() const { return FTerminated; }

  // From now on SIGTERM, SIGHUP and SIGINT no longer kill the process at once: each
  // reaches OnTerminationSignal on the main thread, from whichever event loop runs (a
  // modal one too), or terminates the application when there is no handler. Only the
  // first signal is handed on; a signal ignored when this is called (nohup) stays
  // ignored.
  void CatchTerminationSignals();
  std::function<void(int Signal)> OnTerminationSignal;
  // The first termination signal caught; 0 when none.
  int TerminationSignal() const { return FTerminationSignal; }
  // For after the application is gone: ends the process of Signal, at its default
  // action, so that whoever started it sees why. Returns 128 + Signal, the shell's
  // status for it, should the process still live.
  static int DieOfSignal(int Signal);

  // Some window of the application is active.
  bool Active() const;

  // Call inside a catch block: gives the exception being handled to OnException, or
  // shows its message in a box (with a full stop added) when there is no handler.
  void HandleException(TComponent* Sender);
  void ShowException(const Exception& E);
  TExceptionEvent OnException;

  // A message box owned by the active form.
  int32_t MessageBox(const std::string& Text, const std::string& Caption, uint32_t Flags);

  // Hints (see HintWindow.h). Switching ShowHint makes the hint window anew, of the
  // class HintWindowClass makes (a THintWindow when it is empty).
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool Value);
  const THintWindowClass& HintWindowClass() const { return FHintWindowClass; }
  void SetHintWindowClass(THintWindowClass Value) { FHintWindowClass = std::move(Value); }
  // Milliseconds: the mouse rests this long before a hint shows (500), or moves on from
  // a shown hint to the next control (50); a hint shows this long (2500).
  uint32_t HintPause() const { return FHintPause; }
  void SetHintPause(uint32_t Value) { FHintPause = Value; }
  uint32_t HintShortPause() const { return FHintShortPause; }
  void SetHintShortPause(uint32_t Value) { FHintShortPause = Value; }
  uint32_t HintHidePause() const { return FHintHidePause; }
  void SetHintHidePause(uint32_t Value) { FHintHidePause = Value; }
  // Hides the hint; the next rest of the mouse on a control shows its hint afresh.
  void CancelHint();
  // Shows at once the hint of the control at CursorPos (screen coordinates).
  void ActivateHint(const TPoint& CursorPos);
  // The hint window while a hint shows, else nullptr.
  THintWindow* ShownHintWindow() const;

  const std::string& HelpFile() const { return FHelpFile; }
  void SetHelpFile(const std::string& Value) { FHelpFile = Value; }
  // OnHelp first; otherwise the help file is opened with the desktop's handler.
  bool HelpContext(int32_t Context);
  THelpEvent OnHelp;

  // The main form was minimised, or restored from being minimised.
  TNotifyEvent OnMinimize;
  TNotifyEvent OnRestore;

private:
  friend class TCustomForm;
  std::unique_ptr<class TGuardedApplication> FQtApp;
  std::string FTitle;
  TCustomForm* FMainForm = nullptr;
  bool FTerminated = false;
  bool FRunning = false;  // inside Run's event loop
  bool FShowHint = true;
  THintWindowClass FHintWindowClass;
  uint32_t FHintPause = 500;
  uint32_t FHintShortPause = 50;
  uint32_t FHintHidePause = 2500;
  std::unique_ptr<THintManager> FHintManager;
  std::string FHelpFile;
  std::vector<QEventLoop*> FModalLoops;
  std::vector<TCustomForm*> FPendingRelease;
  std::unique_ptr<QSocketNotifier> FSignalNotifier;
  int FTerminationSignal = 0;
};

extern TApplication* Application;

// ---------------------------------------------------------------------------

struct TMonitor {
  int32_t MonitorNum = 0;
  bool Primary = false;
  TRect BoundsRect;
  TRect WorkareaRect;
};

// The screen: monitors, cursors, the forms and the fonts of the desktop.
class TScreen {
public:
  TScreen();
  ~TScreen();
  TScreen(const TScreen&) = delete;
  TScreen& operator=(const TScreen&) = delete;

  int32_t MonitorCount() const;
  TMonitor Monitors(int32_t Index) const;
  // The monitor holding P, or the nearest one.
  TMonitor MonitorFromPoint(const TPoint& P) const;
  // The monitor showing most of Control's window, or the nearest one.
  TMonitor MonitorFromWindow(const TControl* Control) const;
  // The primary monitor's size.
  int32_t Width() const;
  int32_t Height() const;
  TMonitor PrimaryMonitor() const;
  // The work area of the primary monitor.
  TRect WorkAreaRect() const;
  static constexpr int32_t PixelsPerInch = 96;

  // Forms in creation order, and the active one (nullptr when none is active).
  int32_t FormCount() const { return static_cast<int32_t>(FForms.size()); }
  TCustomForm* Forms(int32_t Index) const { return FForms.at(static_cast<size_t>(Index)); }
  TCustomForm* ActiveForm() const;

  // A cursor shown over every window while not crDefault.
  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor Value);
  // Registers cursor Id (above 0) as one of the built-in shapes, or as an image.
  void RegisterCursor(TCursor Id, TCursor Shape);
  void RegisterCursorImage(TCursor Id, const TBitmap& Image, TPoint HotSpot);
  // Shows Cursor over Widget.
  void ApplyCursor(QWidget* Widget, TCursor Cursor) const;

  TFont* MenuFont() const { return FMenuFont.get(); }
  TFont* HintFont() const { return FHintFont.get(); }

private:
  friend class TCustomForm;
  struct TCursors;
  std::vector<TCustomForm*> FForms;
  TCursor FCursor = crDefault;
  std::unique_ptr<TCursors> FCursors;
  std::unique_ptr<TFont> FMenuFont;
  std::unique_ptr<TFont> FHintFont;
};

extern TScreen* Screen;
