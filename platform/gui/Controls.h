#pragma once
// Controls: the visual components of the class library, each standing on a Qt widget.
//
// Lifetime. A TControl is a TComponent that *has* a Qt widget, its host, and forwards
// the host's events to its own virtual methods. The control deletes its host; Qt's
// parenting never deletes a control or a host: a TWinControl frees its child controls
// (whoever owns them) before its own host goes, as the class library does. Destroy
// controls with Free() or through their owner.
//
// Geometry. Bounds are the control's own (Left, Top, Width, Height in the parent's
// client coordinates) and go through the virtual SetBounds; Qt never moves or sizes a
// child. Align and Anchors are done by our own alignment code (AlignControls,
// AdjustClientRect, Realign); no Qt layouts. A form's bounds are its client area; the
// window manager's frame lies outside them.
//
// Properties follow the class library's rules, not Qt's: Enabled is each control's own
// flag with its own notification (Qt's inherited enabled state only blocks input);
// Color/ParentColor, Font/ParentFont, ShowHint/ParentShowHint and BiDiMode/
// ParentBiDiMode propagate by our notifications. Setters store a changed value only.
//
// Messages. Perform(Msg, WParam, LParam) reaches the virtual WndProc, whose default
// dispatches the library's messages (Messages.h) to the typed virtuals CMxxx/WMxxx
// below; overriding WndProc sees every notification. Broadcast and NotifyControls send
// a message to a windowed control's children.
//
// Painting. Graphic controls and custom controls paint with Paint() on their Canvas,
// which is bound to an image only while the control paints (drawing on it at any other
// time raises EInvalidGraphicOperation; measuring text always works). The image starts
// transparent, so what a control leaves unpainted shows its parent and the controls
// below it. A windowed control first erases its client area with its Color
// (WMEraseBkgnd; transparent controls override it to do nothing).
//
// Input. Mouse events arrive in client coordinates with the implicit grab: after a
// press the control gets the moves and the release wherever the pointer goes. A click
// (csClickEvents) is a press and a release of the left button inside the control.
// Entering a child does not leave the parent. Keys go to the focused windowed control
// through the form's dialog-key routing (see TWinControl). Exceptions never leave a
// host's event handling: they go to Application->HandleException.
//
// Loading. Between BeginLoading(form) and EndLoading(form) (below) every component of
// the form is loading (Loading()): alignment waits, anchors are taken later, and
// setters that behave differently while loading do so. Loaded() ends a component's
// loading state; overrides call the inherited Loaded() first.
//
// Destroying. From the start of Free() (before its children and owned components go)
// a control's Destroying() is true.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/Graphics.h"
#include "platform/gui/Messages.h"
#include "platform/gui/Types.h"
#include "platform/rtl/Classes.h"

class QContextMenuEvent;
class QEvent;
class QImage;
class QKeyEvent;
class QPaintEvent;
class QWheelEvent;
class QWidget;

class TBasicAction;
class TPopupMenu;
class TControl;
class TControlActionLink;
class TWinControl;
class TCustomForm;

enum TAlign : uint8_t { alNone, alTop, alBottom, alLeft, alRight, alClient };

using TAnchors = uint8_t;
enum : TAnchors { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };

enum TMouseButton : uint8_t { mbLeft, mbRight, mbMiddle };
enum TAlignment : uint8_t { taLeftJustify, taRightJustify, taCenter };
enum TTextLayout : uint8_t { tlTop, tlCenter, tlBottom };
enum TBiDiMode : uint8_t { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };

// Control style: what a control is and does.
using TControlStyle = uint32_t;
enum : TControlStyle {
  csAcceptsControls = 0x0001,  // may be the parent of other controls
  csCaptureMouse = 0x0002,     // is the capture control while a button is held on it
  csClickEvents = 0x0008,      // press and release of the left button make a Click
  csSetCaption = 0x0020,       // kept for the widgets that set them; nothing acts on them
  csOpaque = 0x0040,           // paints all of its client area
  csDoubleClicks = 0x0080,     // gets double clicks (otherwise a second press)
  csReplicatable = 0x0800,     // kept, as csSetCaption
  csReflector = 0x4000,        // kept, as csSetCaption
};

// Cursors: the built-in shapes, and numbers above 0 for cursors registered with Screen.
using TCursor = int16_t;
enum : TCursor {
  crDefault = 0, crNone = -1, crArrow = -2, crCross = -3, crIBeam = -4, crSizeNESW = -6,
  crSizeNS = -7, crSizeNWSE = -8, crSizeWE = -9, crUpArrow = -10, crHourGlass = -11,
  crDrag = -12, crNoDrop = -13, crHSplit = -14, crVSplit = -15, crMultiDrag = -16,
  crSQLWait = -17, crNo = -18, crAppStart = -19, crHelp = -20, crHandPoint = -21,
  crSizeAll = -22,
};

using TMouseEvent = std::function<void(TComponent* Sender, TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y)>;
using TMouseMoveEvent = std::function<void(TComponent* Sender, TShiftState Shift, int32_t X, int32_t Y)>;
using TMouseWheelEvent = std::function<void(TComponent* Sender, TShiftState Shift, int32_t WheelDelta, TPoint MousePos, bool& Handled)>;
using TKeyEvent = std::function<void(TComponent* Sender, uint16_t& Key, TShiftState Shift)>;
// Key is one typed character (control characters such as #13 and #27 included); setting
// it to 0 swallows it, setting another character types that one instead.
using TKeyPressEvent = std::function<void(TComponent* Sender, char32_t& Key)>;
// MousePos is in client coordinates, (-1, -1) when the menu was asked for from the
// keyboard; setting Handled keeps the popup menu from showing.
using TContextPopupEvent = std::function<void(TComponent* Sender, TPoint MousePos, bool& Handled)>;

// The bridge from a Qt widget to its control; the widget hosts of ControlHost.h
// implement it. Stage of every Qt event: host -> Dispatch -> TControl::HostEvent.
class IControlHost {
public:
  virtual ~IControlHost() = default;
  virtual QWidget* Widget() = 0;
  // The widget class's own handling of Event.
  virtual bool BaseEvent(QEvent* Event) = 0;
  // The control, once it has attached the host (events before that, while the widget
  // is being made, get the widget's own handling).
  TControl* Control() const { return FControl; }
  void Attach() { FControl = FPending; }
  // The control goes first; events that arrive afterwards get the widget's own handling.
  void Detach() { FControl = FPending = nullptr; }
  // The control of Widget or of its nearest ancestor that is a host; nullptr if none.
  static TControl* ControlOf(const QWidget* Widget);

protected:
  explicit IControlHost(TControl* AControl) : FPending(AControl) {}
  // Hands Event to the control, catching every exception (it goes to
  // Application->HandleException). Returns whether the event was handled.
  static bool Dispatch(TControl* Control, QEvent* Event);

private:
  TControl* FPending;
  TControl* FControl = nullptr;
};

// The loading state of windows built in code. BeginLoading puts Root and every component
// it owns (at any depth, also those made later) in the loading state; EndLoading then
// calls Loaded() on Root and on each owned component in creation order (depth first),
// after which nothing of Root is loading. Calls nest.
void BeginLoading(TComponent* Root);
void EndLoading(TComponent* Root);
// True while C is loading, also for components that are not controls.
bool ComponentLoading(const TComponent* C);

// ---------------------------------------------------------------------------

class TControl : public TComponent {
  friend class IControlHost;
  friend class TWinControl;
  friend class TCustomForm;

public:
  // A control with a plain widget host (a non-native child widget, no focus).
  explicit TControl(TComponent* AOwner);
  ~TControl() override;
  void BeforeDestruction() override;
  void Loaded() override;

  // Parent and host.
  TWinControl* Parent() const { return FParent; }
  virtual void SetParent(TWinControl* AParent);
  QWidget* Host() const;
  // Also gives the host widget the Name as its objectName, so tests find it: name
  // controls through this (TComponent's SetName does not do it).
  void SetName(const std::string& Value);

  // Bounds in the parent's client coordinates.
  int32_t Left() const { return FLeft; }
  int32_t Top() const { return FTop; }
  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  void SetLeft(int32_t Value) { SetBounds(Value, FTop, FWidth, FHeight); }
  void SetTop(int32_t Value) { SetBounds(FLeft, Value, FWidth, FHeight); }
  void SetWidth(int32_t Value) { SetBounds(FLeft, FTop, Value, FHeight); }
  void SetHeight(int32_t Value) { SetBounds(FLeft, FTop, FWidth, Value); }
  // The entry point of every change of position and size. The parent then realigns
  // (aligned siblings make room); a change of size realigns a windowed control's own
  // children and calls Resize.
  virtual void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight);
  TRect BoundsRect() const { return Bounds(FLeft, FTop, FWidth, FHeight); }
  void SetBoundsRect(const TRect& R) { SetBounds(R.Left, R.Top, R.Width(), R.Height()); }
  TRect ClientRect() const { return GetClientRect(); }
  // Where the client area starts inside the bounds: (0, 0) unless a border band lies
  // around it (edits, memos, list views). Client coordinates (mouse positions, the
  // bounds of child controls, painting) count from there.
  virtual TPoint ClientOffset() const { return {}; }
  int32_t ClientWidth() const { return ClientRect().Width(); }
  int32_t ClientHeight() const { return ClientRect().Height(); }
  void SetClientWidth(int32_t Value) { SetWidth(FWidth - ClientWidth() + Value); }
  void SetClientHeight(int32_t Value) { SetHeight(FHeight - ClientHeight() + Value); }
  // Screen position of the client area's (0, 0).
  TPoint ClientOrigin() const;
  TPoint ClientToScreen(const TPoint& P) const;
  TPoint ScreenToClient(const TPoint& P) const;
  // A point of this control in the coordinates of AParent (default: the parent).
  TPoint ClientToParent(const TPoint& P, const TWinControl* AParent = nullptr) const;

  TAlign Align() const { return FAlign; }
  virtual void SetAlign(TAlign Value);
  TAnchors Anchors() const { return FAnchors; }
  void SetAnchors(TAnchors Value);
  bool AutoSize() const { return FAutoSize; }
  virtual void SetAutoSize(bool Value);

  // Visibility: Visible is the control's own flag; Showing means it is really on screen
  // (visible, with every parent up to a shown form).
  bool Visible() const { return FVisible; }
  virtual void SetVisible(bool Value);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Showing() const;

  // The control's own enabled flag; its change raises CM_ENABLEDCHANGED on this control
  // only. A disabled parent blocks the input of its children without changing their flag.
  bool Enabled() const { return GetEnabled(); }
  void SetEnabled(bool Value) { DoSetEnabled(Value); }

  // Caption and Text are one string; a change raises CM_TEXTCHANGED.
  std::string Caption() const { return GetText(); }
  void SetCaption(const std::string& Value) { SetText(Value); }
  std::string Text() const { return GetText(); }
  void SetText(const std::string& Value) { DoSetText(Value); }

  // Colour and font. Setting one to a new value ends its parent link; setting
  // ParentColor (ParentFont) to true takes the parent's value now and follows it.
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  bool ParentColor() const { return FParentColor; }
  void SetParentColor(bool Value);
  TFont* Font() const { return FFont.get(); }
  void SetFont(const TFont* Value) { FFont->Assign(*Value); }
  bool ParentFont() const { return FParentFont; }
  void SetParentFont(bool Value);

  // Hints: Hint is "short|long"; the short part is what the hint window shows.
  const std::string& Hint() const { return FHint; }
  void SetHint(const std::string& Value);
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool Value);
  bool ParentShowHint() const { return FParentShowHint; }
  void SetParentShowHint(bool Value);

  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor Value);

  // Right-to-left reading and alignment.
  TBiDiMode BiDiMode() const { return FBiDiMode; }
  void SetBiDiMode(TBiDiMode Value);
  bool ParentBiDiMode() const { return FParentBiDiMode; }
  void SetParentBiDiMode(bool Value);
  bool UseRightToLeftAlignment() const { return FBiDiMode == bdRightToLeft; }
  bool UseRightToLeftReading() const { return FBiDiMode != bdLeftToRight; }
  // DrawText flags with DT_RTLREADING added for right-to-left reading and DT_LEFT and
  // DT_RIGHT exchanged for right-to-left alignment.
  uint32_t DrawTextBiDiModeFlags(uint32_t Flags) const;
  uint32_t DrawTextBiDiModeFlagsReadingOnly() const { return UseRightToLeftReading() ? uint32_t(DT_RTLREADING) : 0u; }

  TControlStyle ControlStyle() const { return FControlStyle; }
  // An opaque control (csOpaque) paints alone: what lies under it is not painted first.
  void SetControlStyle(TControlStyle Value);
  // In the loading state (see the file comment).
  bool Loading() const { return ComponentLoading(this); }
  int32_t Tag() const { return FTag; }
  void SetTag(int32_t Value) { FTag = Value; }

  // Painting: Invalidate asks for a paint, Update paints what is pending now, Repaint
  // paints now.
  void Invalidate();
  void Update();
  void Repaint();
  void Refresh() { Repaint(); }
  // Paints the control (and a windowed control's visible children) into Image at
  // (X, Y), as it would paint on screen.
  void PaintTo(QImage& Image, int32_t X, int32_t Y) { PaintPart(Image, X, Y, Rect(0, 0, FWidth, FHeight)); }
  // The same for Part of the control only (its own coordinates): what lies outside is
  // neither painted nor worked out.
  void PaintPart(QImage& Image, int32_t X, int32_t Y, const TRect& Part);

  // Messages.
  intptr_t Perform(uint32_t Msg, intptr_t WParam = 0, intptr_t LParam = 0);
  virtual void WndProc(TMessage& Message);

  // Z-order among the parent's controls; graphic controls always stay below the
  // windowed ones.
  void BringToFront();
  void SendToBack();

  // True while this control has the mouse captured (a button held since a press on it).
  bool MouseCapture() const;
  void SetMouseCapture(bool Value);

  // Shown on a right click or the context-menu key (Shift+F10) unless OnContextPopup
  // handles it; cleared when the menu goes.
  TPopupMenu* PopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(TPopupMenu* Value);

  // An action supplies caption, enabled state, hint and visibility and runs on Click.
  TBasicAction* Action() const;
  void SetAction(TBasicAction* Value);

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TNotifyEvent OnResize;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TMouseWheelEvent OnMouseWheel;
  TContextPopupEvent OnContextPopup;

protected:
  // For controls over another Qt widget class: AHost is made by the deriving class's
  // constructor (see ControlHost.h) and owned by the control from here on.
  TControl(TComponent* AOwner, IControlHost* AHost);

  // Every Qt event of the host. The default turns them into the virtuals below and
  // gives other events (and what the virtuals leave) to the widget's own handling.
  virtual bool HostEvent(QEvent* Event);
  // The widget class's own handling of Event.
  bool DefaultHostEvent(QEvent* Event);
  // Paints the host for a Qt paint event: the control's painting on a fresh image,
  // then the image onto the widget. Controls whose widget paints itself override it to
  // call DefaultHostEvent.
  virtual void PaintHost(QPaintEvent* Event);
  // The control's own painting into Image, its (0, 0) at Origin of Image, within Clip
  // (Image's pixels).
  virtual void PaintControl(QImage& Image, const TRegion& Clip, const TPoint& Origin);
  // Qt's painting of the host widget (without its children) into Image, as above: the
  // PaintControl of controls whose widget paints itself.
  void RenderHost(QImage& Image, const TRegion& Clip, const TPoint& Origin);
  // For PaintPart: the children's share of Own (this control's coordinates) over
  // Buffer, which holds Own.
  virtual void PaintChildParts(QImage& Buffer, const TRect& Own) {
    (void)Buffer;
    (void)Own;
  }
  // Puts the host widget where the bounds say.
  virtual void UpdateHostGeometry();
  // After a change of size: a windowed control realigns its children; then Resize
  // (not while loading).
  virtual void WMSize();

  virtual TRect GetClientRect() const { return Rect(0, 0, FWidth, FHeight); }
  virtual bool GetEnabled() const { return FEnabled; }
  virtual void DoSetEnabled(bool Value);
  virtual std::string GetText() const { return FText; }
  virtual void DoSetText(const std::string& Value);

  virtual void Click();
  virtual void DblClick();
  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  virtual void MouseMove(TShiftState Shift, int32_t X, int32_t Y);
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  // WheelDelta in multiples of 120 (small steps are added up first). True: handled.
  virtual bool DoMouseWheel(TShiftState Shift, int32_t WheelDelta, TPoint MousePos);
  // Adds up Event's steps and hands whole ones to DoMouseWheel; true when nothing is
  // left for the widget's own handling. Event's position is in host coordinates.
  bool HandleWheelEvent(QWheelEvent* Event);
  // A context menu asked for at Event (host coordinates; keyboard requests have no
  // position): WM_CONTEXTMENU, then the widget's own handling of what is left.
  bool HandleContextMenuEvent(QContextMenuEvent* Event);
  // WM_CONTEXTMENU: Pos in screen coordinates, (-1, -1) from the keyboard. Raises
  // OnContextPopup, then pops PopupMenu up (at the client origin when asked from the
  // keyboard). True: the request was used; otherwise the widget's own menu or the
  // parent's may show.
  virtual bool WMContextMenu(const TPoint& Pos);
  virtual void DoContextPopup(const TPoint& MousePos, bool& Handled);
  // After a change of size (not while loading): raises OnResize.
  virtual void Resize();
  // Asks the parent to realign, for a change of Align, bounds or visibility.
  virtual void RequestAlign();
  // Auto-size: the size the control wants; false keeps the size.
  virtual bool CanAutoSize(int32_t& NewWidth, int32_t& NewHeight);
  virtual void AdjustSize();

  virtual std::unique_ptr<TControlActionLink> CreateActionLink();
  // The action's properties reach the control; with CheckDefaults only where the
  // control still has its default value.
  virtual void ActionChange(TBasicAction* Sender, bool CheckDefaults);
  void Notification(TComponent* AComponent, TOperation Operation) override;

  // Message dispatch of the default WndProc.
  virtual void Dispatch(TMessage& Message);
  virtual void DefaultHandler(TMessage& Message) { (void)Message; }
  // Typed notifications (the message they stand for in the name).
  virtual void CMEnabledChanged();
  virtual void CMVisibleChanged();
  virtual void CMShowingChanged() {}
  virtual void CMTextChanged();
  virtual void CMFontChanged();
  virtual void CMColorChanged();
  virtual void CMParentColorChanged();
  virtual void CMParentFontChanged();
  virtual void CMParentShowHintChanged();
  virtual void CMBiDiModeChanged() {}
  virtual void CMParentBiDiModeChanged();
  virtual void CMMouseEnter();
  virtual void CMMouseLeave();
  virtual void CMSysColorChange() {}
  virtual void CMCursorChanged();
  virtual void CMShowHintChanged();
  // True: the key or character was used (the message's answer 1).
  virtual bool CMDialogKey(uint16_t Key, TShiftState Shift);
  virtual bool CMDialogChar(char32_t Char, TShiftState Shift);
  virtual void CMFocusChanged(TWinControl* Focused);
  virtual void CMButtonPressed(int32_t GroupIndex, TControl* Sender) { (void)GroupIndex; (void)Sender; }

public:
  // Drawing support for transparent controls: paints the parent and the controls below
  // this one (not this control nor those above it) into Canvas, as they show under
  // this control's client area, within the canvas's clip only. Public for the painting
  // routines of the widgets.
  void PaintParentImage(TCanvas* Canvas);

private:
  void Construct(IControlHost* AHost);
  void FreeHost();
  void UpdateHostVisibility();
  void UpdateToolTip();
  void UpdateAnchorRules();
  void FontChanged();
  bool HandleMouseEvent(QEvent* Event);
  void ActionLinkChanged();

  IControlHost* FHost = nullptr;
  TWinControl* FParent = nullptr;
  int32_t FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  TAlign FAlign = alNone;
  TAnchors FAnchors = akLeft | akTop;
  TPoint FAnchorRules;
  TPoint FOriginalParentSize;
  bool FAnchorMove = false;
  bool FAutoSize = false;
  bool FVisible = true;
  bool FEnabled = true;
  std::string FText;
  TColor FColor = clWindow;
  bool FParentColor = true;
  std::unique_ptr<TFont> FFont;
  bool FParentFont = true;
  std::string FHint;
  bool FShowHint = false;
  bool FParentShowHint = true;
  TCursor FCursor = crDefault;
  TBiDiMode FBiDiMode = bdLeftToRight;
  bool FParentBiDiMode = true;
  TControlStyle FControlStyle = csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks;
  int32_t FTag = 0;
  bool FClicked = false;
  bool FSkipPaint = false;
  int32_t FWheelRest = 0;
  std::unique_ptr<TControlActionLink> FActionLink;
  TPopupMenu* FPopupMenu = nullptr;
};

// The control holding the mouse capture, or nullptr.
TControl* GetCaptureControl();
// The control on screen at Pos (screen coordinates), topmost first; a disabled control
// stands for its nearest enabled parent unless AllowDisabled. nullptr over no control.
TControl* FindDragTarget(const TPoint& Pos, bool AllowDisabled);
// The mouse pointer on the screen, where the application's last mouse event left it.
TPoint GetCursorPos();
// The form a control sits on, or nullptr.
TCustomForm* GetParentForm(const TControl* Control);
// Whether Char is the accelerator of Caption (the character after a single '&'),
// ignoring case.
bool IsAccel(char32_t Char, const std::string& Caption);
// The part of a hint before '|', and the part after it (the whole hint when there is no '|').
std::string GetShortHint(const std::string& Hint);
std::string GetLongHint(const std::string& Hint);

// ---------------------------------------------------------------------------

// A windowed control: it can hold child controls, take the focus and get keys.
//
// Keys. A key press on the focused control goes: (1) Tab, arrows, Enter and Escape
// that the control does not want (WMGetDlgCode, CMWantSpecialKey) go to its form as
// CM_DIALOGKEY; the form moves the focus on Tab (Shift+Tab back) and on arrows (among
// siblings) and broadcasts the rest to all its controls (so the default button takes
// Enter and the cancel button Escape); if one answers, the key is used up. (2) KeyDown:
// the form's first when it has KeyPreview, then the control's; a zeroed key is used up.
// (3) The typed character: with Alt held, or when the control does not want characters
// (DLGC_WANTCHARS), it goes to the form as CM_DIALOGCHAR, broadcast to every control
// (labels focus their FocusControl, buttons click on their accelerator); unused, it
// reaches KeyPress (the form's first with KeyPreview, then the control's). (4) What is
// left goes to the widget's own handling. Key releases go to KeyUp the same way.
// Keys never travel on to a parent widget.
class TWinControl : public TControl {
  friend class TControl;
  friend class TCustomForm;

public:
  explicit TWinControl(TComponent* AOwner);
  void BeforeDestruction() override;
  ~TWinControl() override;
  void Loaded() override;

  // Children: the graphic controls first, then the windowed ones, each bottom to top.
  int32_t ControlCount() const { return static_cast<int32_t>(FControls.size() + FWinControls.size()); }
  TControl* Controls(int32_t Index) const;
  bool ContainsControl(const TControl* Control) const;
  // The child at P (client coordinates), topmost first; windowed children only when asked.
  TControl* ControlAtPos(const TPoint& P, bool AllowDisabled, bool AllowWinControls = false) const;
  void InsertControl(TControl* AControl);
  void RemoveControl(TControl* AControl);
  // Sends Message to each child until one answers (Result != 0).
  void Broadcast(TMessage& Message);
  void NotifyControls(uint32_t Msg);

  // Alignment: nested Disable/EnableAlign hold it back; Realign runs it now.
  void DisableAlign() { ++FAlignLevel; }
  void EnableAlign();
  bool AlignDisabled() const { return FAlignLevel > 0; }
  void Realign() { AlignControl(nullptr); }

  // Focus and tab order.
  bool CanFocus() const;
  bool Focused() const;
  // Raises EInvalidOperation when the control has no form or cannot take the focus.
  virtual void SetFocus();
  bool TabStop() const { return FTabStop; }
  void SetTabStop(bool Value) { FTabStop = Value; }
  int32_t TabOrder() const;
  void SetTabOrder(int32_t Value);
  // This control's windowed descendants in tab order (depth first).
  void GetTabOrderList(std::vector<TWinControl*>& List) const;
  TWinControl* FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop, bool CheckParent) const;
  void SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop);
  void SelectFirst();

  // The host exists from construction; CreateWnd runs once before the control is first
  // shown (and again on RecreateWnd), for set-up that needs a live window.
  bool HandleAllocated() const { return FHandleCreated; }
  void HandleNeeded();
  void RecreateWnd();

  // Popup windows. With an owner the control stands alone as a frameless top-level
  // window over the window of the owner's form: it has no parent control, its bounds
  // are screen coordinates, it stays above that window and showing it leaves the form
  // active. The popup leaves this state (hidden) when the owner's form goes, when it is
  // given a parent, or with nullptr. See PopupLoop.h for the loop that keeps it up.
  void SetPopupOwner(TWinControl* Owner);
  TWinControl* PopupOwner() const { return FPopupOwner; }

  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;

protected:
  TWinControl(TComponent* AOwner, IControlHost* AHost);

  bool HostEvent(QEvent* Event) override;
  void PaintControl(QImage& Image, const TRegion& Clip, const TPoint& Origin) override;
  // WM_ERASEBKGND: fills the client area with Color.
  virtual void WMEraseBkgnd(TCanvas* Canvas);
  // WM_PAINT after erasing, on PaintCanvas() (nothing here).
  virtual void PaintWindow(TCanvas* Canvas) { (void)Canvas; }
  // The canvas the control paints on (its Canvas), or nullptr for none.
  virtual TCanvas* PaintCanvas() const { return nullptr; }
  void WMSize() override;
  void PaintChildParts(QImage& Buffer, const TRect& Own) override;
  virtual void CreateWnd() {}
  virtual void DestroyWnd() {}
  void Notification(TComponent* AComponent, TOperation Operation) override;

  void AlignControl(TControl* AControl);
  // Lays out the aligned and anchored children in Rect (the client rectangle less
  // AdjustClientRect): alTop, alBottom, alLeft, alRight and alClient in that order, each
  // group ordered by position; then anchored controls follow the parent's size.
  virtual void AlignControls(TControl* AControl, TRect& Rect);
  virtual void AdjustClientRect(TRect& Rect) { (void)Rect; }
  bool CanAutoSize(int32_t& NewWidth, int32_t& NewHeight) override;
  // After a change of ClientOffset or of the client size: the children's widgets move
  // along and the children realign.
  void ClientAreaChanged();

  virtual void KeyDown(uint16_t& Key, TShiftState Shift);
  virtual void KeyUp(uint16_t& Key, TShiftState Shift);
  virtual void KeyPress(char32_t& Key);
  virtual void DoEnter();
  virtual void DoExit();

  void Dispatch(TMessage& Message) override;
  void CMColorChanged() override;
  void CMFontChanged() override;
  void CMShowHintChanged() override;
  void CMBiDiModeChanged() override;
  void CMSysColorChange() override;
  bool CMDialogKey(uint16_t Key, TShiftState Shift) override;
  bool CMDialogChar(char32_t Char, TShiftState Shift) override;
  void CMFocusChanged(TWinControl* Focused) override;
  virtual bool CMWantSpecialKey(uint16_t Key, TShiftState Shift) { (void)Key; (void)Shift; return false; }
  virtual void CMControlChange(TControl* Control, bool Inserting) { (void)Control; (void)Inserting; }
  virtual void CMControlListChange(TControl* Control, bool Inserting) { (void)Control; (void)Inserting; }
  virtual void CMEnter() { DoEnter(); }
  virtual void CMExit() { DoExit(); }
  // What the control wants of the dialog keys (DLGC_ flags); none here.
  virtual uint32_t WMGetDlgCode() { return 0; }
  virtual void WMSetFocus(TFocusReason Reason) { (void)Reason; }
  virtual void WMKillFocus(TFocusReason Reason) { (void)Reason; }

private:
  bool HandleKeyEvent(QKeyEvent* Event);
  void ContextMenuFromKeyboard();
  bool DoKeyDown(uint16_t& Key, TShiftState Shift);
  bool DoKeyPress(char32_t& Key);
  bool DoKeyUp(uint16_t& Key, TShiftState Shift);
  void Insert(TControl* AControl);
  void Remove(TControl* AControl);
  void Restack();
  void AlignAnchored(TControl* AControl);

  std::vector<TControl*> FControls;
  std::vector<TWinControl*> FWinControls;
  std::vector<TWinControl*> FTabList;
  bool FTabStop = false;
  int32_t FAlignLevel = 0;
  bool FAlignmentNeeded = false;
  bool FHandleCreated = false;
  TWinControl* FPopupOwner = nullptr;
};

// A control without a window of its own: it never takes the focus and paints over
// its parent's background.
class TGraphicControl : public TControl {
public:
  explicit TGraphicControl(TComponent* AOwner);
  ~TGraphicControl() override;
  TCanvas* Canvas() const { return FCanvas.get(); }

protected:
  virtual void Paint() {}
  void PaintControl(QImage& Image, const TRegion& Clip, const TPoint& Origin) override;

private:
  std::unique_ptr<TCanvas> FCanvas;
};

// A windowed control that paints itself: Paint runs on Canvas after erasing.
class TCustomControl : public TWinControl {
public:
  explicit TCustomControl(TComponent* AOwner);
  ~TCustomControl() override;
  TCanvas* Canvas() const { return FCanvas.get(); }

protected:
  TCustomControl(TComponent* AOwner, IControlHost* AHost);
  virtual void Paint() {}
  void PaintWindow(TCanvas* Canvas) override;
  TCanvas* PaintCanvas() const override { return FCanvas.get(); }

private:
  std::unique_ptr<TCanvas> FCanvas;
};

class EInvalidOperation : public Exception {
public:
  using Exception::Exception;
};

// The control named Name among Root's owned components (at any depth), or nullptr.
TControl* FindControl(const TComponent* Root, const std::string& Name);
