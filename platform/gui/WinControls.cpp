// TWinControl: children, alignment, focus and tab order, keys.
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QWidget>
#include <algorithm>

#include "platform/gui/ControlHost.h"
#include "platform/gui/Controls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/GuiInternal.h"
#include "platform/gui/QtSupport.h"

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}
TWinControl::TWinControl(TComponent* AOwner, IControlHost* AHost) : TControl(AOwner, AHost) {}

void TWinControl::BeforeDestruction() {
  // Destroying first (owned components go), then the children that others own, while
  // our host still holds them; then the control itself.
  TComponent::BeforeDestruction();
  while (ControlCount() > 0) Controls(ControlCount() - 1)->Free();
  TControl::BeforeDestruction();
}

TWinControl::~TWinControl() {
  while (ControlCount() > 0) Controls(ControlCount() - 1)->Free();
}

void TWinControl::Loaded() {
  TControl::Loaded();
  if (FAlignmentNeeded) Realign();
}

TControl* TWinControl::Controls(int32_t Index) const {
  const auto N = static_cast<int32_t>(FControls.size());
  if (Index < N) return FControls.at(static_cast<size_t>(Index));
  return FWinControls.at(static_cast<size_t>(Index - N));
}

bool TWinControl::ContainsControl(const TControl* Control) const {
  for (; Control; Control = Control->Parent())
    if (Control == this) return true;
  return false;
}

TControl* TWinControl::ControlAtPos(const TPoint& P, bool AllowDisabled, bool AllowWinControls) const {
  auto Hit = [&](TControl* C) {
    return C->Visible() && (AllowDisabled || C->Enabled()) && PtInRect(C->BoundsRect(), P);
  };
  if (AllowWinControls)
    for (auto It = FWinControls.rbegin(); It != FWinControls.rend(); ++It)
      if (Hit(*It)) return *It;
  for (auto It = FControls.rbegin(); It != FControls.rend(); ++It)
    if (Hit(*It)) return *It;
  return nullptr;
}

// ---------------------------------------------------------------------------
// Children

void TWinControl::Insert(TControl* AControl) {
  AControl->FParent = this;
  if (auto* W = dynamic_cast<TWinControl*>(AControl)) {
    FWinControls.push_back(W);
    FTabList.push_back(W);
  } else {
    FControls.push_back(AControl);
  }
  if (QWidget* Child = AControl->Host()) {
    Child->setParent(Host());
    AControl->UpdateHostGeometry();
    AControl->UpdateHostVisibility();
  }
  Restack();
}

void TWinControl::Remove(TControl* AControl) {
  std::erase(FControls, AControl);
  if (auto* W = dynamic_cast<TWinControl*>(AControl)) {
    std::erase(FWinControls, W);
    std::erase(FTabList, W);
  }
  AControl->FParent = nullptr;
  if (QWidget* Child = AControl->Host()) {
    Child->hide();
    // A control being destroyed takes its host along at once, which leaves the parent
    // then; taking it out first only costs a window of its own.
    if (!AControl->Destroying()) Child->setParent(nullptr);
  }
}

// Qt's stacking follows our lists: the graphic controls below the windowed ones.
void TWinControl::Restack() {
  for (TControl* C : FControls)
    if (QWidget* W = C->Host()) W->raise();
  for (TWinControl* C : FWinControls)
    if (QWidget* W = C->Host()) W->raise();
}

void TWinControl::InsertControl(TControl* AControl) {
  Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<intptr_t>(AControl), 1);
  Insert(AControl);
  AControl->Perform(CM_PARENTCOLORCHANGED);
  AControl->Perform(CM_PARENTFONTCHANGED);
  AControl->Perform(CM_PARENTSHOWHINTCHANGED);
  AControl->Perform(CM_PARENTBIDIMODECHANGED);
  AlignControl(AControl);
  Perform(CM_CONTROLCHANGE, reinterpret_cast<intptr_t>(AControl), 1);
}

void TWinControl::RemoveControl(TControl* AControl) {
  Perform(CM_CONTROLCHANGE, reinterpret_cast<intptr_t>(AControl), 0);
  if (TCustomForm* Form = GetParentForm(this)) Form->ControlRemoving(AControl);
  Remove(AControl);
  Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<intptr_t>(AControl), 0);
  Realign();
}

void TWinControl::Broadcast(TMessage& Message) {
  for (int32_t I = 0; I < ControlCount(); ++I) {
    Controls(I)->WndProc(Message);
    if (Message.Result != 0) return;
  }
}

void TWinControl::NotifyControls(uint32_t Msg) {
  TMessage M{Msg, 0, 0, 0};
  Broadcast(M);
}

// ---------------------------------------------------------------------------
// Alignment

void TWinControl::EnableAlign() {
  if (--FAlignLevel == 0 && FAlignmentNeeded) Realign();
}

void TWinControl::AlignControl(TControl* AControl) {
  if (Destroying() || Loading() || FAlignLevel != 0) {
    FAlignmentNeeded = true;
    return;
  }
  {
    struct THold {
      int32_t& Level;
      ~THold() { --Level; }
    } Hold{++FAlignLevel};
    TRect R = ClientRect();
    AlignControls(AControl, R);
    // Moves of the children during the pass asked again: that is done.
    FAlignmentNeeded = false;
  }
  if (AutoSize()) AdjustSize();
}

namespace {

bool InsertBefore(const TControl* C1, const TControl* C2, TAlign A) {
  switch (A) {
    case alTop: return C1->Top() < C2->Top();
    case alBottom: return C1->Top() + C1->Height() >= C2->Top() + C2->Height();
    case alLeft: return C1->Left() < C2->Left();
    case alRight: return C1->Left() + C1->Width() >= C2->Left() + C2->Width();
    default: return false;
  }
}

int32_t MulDiv(int32_t A, int32_t B, int32_t C) {
  return static_cast<int32_t>(Round(static_cast<double>(A) * B / C));
}

}  // namespace

void TWinControl::AlignControls(TControl* AControl, TRect& Rect) {
  AdjustClientRect(Rect);
  for (TAlign A : {alTop, alBottom, alLeft, alRight, alClient}) {
    std::vector<TControl*> List;
    if (AControl && AControl->Parent() == this && AControl->Align() == A && AControl->Visible())
      List.push_back(AControl);
    for (int32_t I = 0; I < ControlCount(); ++I) {
      TControl* C = Controls(I);
      if (C == AControl || C->Align() != A || !C->Visible()) continue;
      auto Pos = std::find_if(List.begin(), List.end(), [&](TControl* Other) { return InsertBefore(C, Other, A); });
      List.insert(Pos, C);
    }
    for (TControl* C : List) {
      int32_t W = Rect.Right - Rect.Left;
      if (W < 0 || A == alLeft || A == alRight) W = C->Width();
      int32_t H = Rect.Bottom - Rect.Top;
      if (H < 0 || A == alTop || A == alBottom) H = C->Height();
      int32_t L = Rect.Left, T = Rect.Top;
      switch (A) {
        case alTop: Rect.Top += H; break;
        case alBottom: Rect.Bottom -= H; T = Rect.Bottom; break;
        case alLeft: Rect.Left += W; break;
        case alRight: Rect.Right -= W; L = Rect.Right; break;
        default: break;
      }
      C->FAnchorMove = true;
      C->SetBounds(L, T, W, H);
      C->FAnchorMove = false;
      // A control that did not take the size it was given keeps its own.
      switch (A) {
        case alTop: Rect.Top -= H - C->Height(); break;
        case alBottom: Rect.Bottom += H - C->Height(); break;
        case alLeft: Rect.Left -= W - C->Width(); break;
        case alRight: Rect.Right += W - C->Width(); break;
        default: break;
      }
    }
  }
  AlignAnchored(AControl);
}

// Controls without alignment whose anchors are not just left and top keep their
// distances to the anchored edges; a control anchored on neither side of an axis keeps
// its relative position on it.
void TWinControl::AlignAnchored(TControl* AControl) {
  const int32_t PW = ClientWidth(), PH = ClientHeight();
  for (int32_t I = 0; I < ControlCount(); ++I) {
    TControl* C = Controls(I);
    if (C == AControl || C->Align() != alNone || C->Anchors() == (akLeft | akTop)) continue;
    const TPoint Orig = C->FOriginalParentSize, Rules = C->FAnchorRules;
    if (Orig.X <= 0 || Orig.Y <= 0) continue;
    int32_t L = C->Left(), T = C->Top(), W = C->Width(), H = C->Height();
    const TAnchors A = C->Anchors();
    if (A & akRight) {
      if (A & akLeft)
        W = PW - (Orig.X - Rules.X);
      else
        L = PW - (Orig.X - Rules.X);
    } else if (!(A & akLeft)) {
      L = MulDiv(Rules.X, PW, Orig.X) - W / 2;
    }
    if (A & akBottom) {
      if (A & akTop)
        H = PH - (Orig.Y - Rules.Y);
      else
        T = PH - (Orig.Y - Rules.Y);
    } else if (!(A & akTop)) {
      T = MulDiv(Rules.Y, PH, Orig.Y) - H / 2;
    }
    C->FAnchorMove = true;
    C->SetBounds(L, T, W, H);
    C->FAnchorMove = false;
  }
}

bool TWinControl::CanAutoSize(int32_t& NewWidth, int32_t& NewHeight) {
  // The size that holds the visible children, with the borders kept.
  int32_t Right = -1, Bottom = -1;
  for (int32_t I = 0; I < ControlCount(); ++I) {
    TControl* C = Controls(I);
    if (!C->Visible() || C->Align() == alClient) continue;
    Right = std::max(Right, C->Left() + C->Width());
    Bottom = std::max(Bottom, C->Top() + C->Height());
  }
  if (Right < 0) return false;
  TRect Client = ClientRect(), Adjusted = Client;
  AdjustClientRect(Adjusted);
  NewWidth = Right + (Client.Right - Adjusted.Right) + (Width() - Client.Width());
  NewHeight = Bottom + (Client.Bottom - Adjusted.Bottom) + (Height() - Client.Height());
  return true;
}

void TWinControl::ClientAreaChanged() {
  for (int32_t I = 0; I < ControlCount(); ++I) Controls(I)->UpdateHostGeometry();
  Realign();
}

void TWinControl::WMSize() {
  Realign();
  TControl::WMSize();
}

// ---------------------------------------------------------------------------
// Focus and tab order

bool TWinControl::CanFocus() const {
  const TCustomForm* Form = GetParentForm(this);
  if (!Form) return false;
  for (const TControl* C = this; C != Form; C = C->Parent())
    if (!C->Visible() || !C->Enabled()) return false;
  return true;
}

bool TWinControl::Focused() const {
  const QWidget* F = QApplication::focusWidget();
  return F && IControlHost::ControlOf(F) == this;
}

void TWinControl::SetFocus() {
  TCustomForm* Form = GetParentForm(this);
  if (!Form) throw EInvalidOperation("Control '" + Name() + "' has no parent window");
  Form->FocusControl(this);
}

int32_t TWinControl::TabOrder() const {
  if (!Parent()) return -1;
  const auto& List = Parent()->FTabList;
  return static_cast<int32_t>(std::find(List.begin(), List.end(), this) - List.begin());
}

void TWinControl::SetTabOrder(int32_t Value) {
  if (!Parent()) return;
  auto& List = Parent()->FTabList;
  std::erase(List, this);
  Value = std::clamp<int32_t>(Value, 0, static_cast<int32_t>(List.size()));
  List.insert(List.begin() + Value, this);
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& List) const {
  for (TWinControl* C : FTabList) {
    List.push_back(C);
    C->GetTabOrderList(List);
  }
}

TWinControl* TWinControl::FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop,
                                          bool CheckParent) const {
  std::vector<TWinControl*> List;
  GetTabOrderList(List);
  if (List.empty()) return nullptr;
  const auto N = static_cast<int32_t>(List.size());
  auto Found = std::find(List.begin(), List.end(), CurControl);
  int32_t Start = Found == List.end() ? (GoForward ? N - 1 : 0) : static_cast<int32_t>(Found - List.begin());
  int32_t I = Start;
  do {
    I = GoForward ? (I + 1) % N : (I + N - 1) % N;
    TWinControl* C = List[static_cast<size_t>(I)];
    if (C->CanFocus() && (!CheckTabStop || C->TabStop()) && (!CheckParent || C->Parent() == this)) return C;
  } while (I != Start);
  return nullptr;
}

void TWinControl::SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop) {
  TWinControl* Next = FindNextControl(CurControl, GoForward, CheckTabStop, !CheckTabStop);
  if (!Next) return;
  TFocusReasonScope Reason(GoForward ? frTab : frBacktab);
  Next->SetFocus();
}

void TWinControl::SelectFirst() {
  TWinControl* C = FindNextControl(nullptr, true, true, false);
  if (!C) C = FindNextControl(nullptr, true, false, false);
  if (!C) return;
  if (TCustomForm* Form = GetParentForm(this)) Form->SetActiveControl(C);
}

void TWinControl::HandleNeeded() {
  if (FHandleCreated) return;
  FHandleCreated = true;
  CreateWnd();
}

void TWinControl::RecreateWnd() {
  if (!FHandleCreated) return;
  DestroyWnd();
  CreateWnd();
}

void TWinControl::SetPopupOwner(TWinControl* Owner) {
  // The popup stands over the window its owner is in.
  while (Owner && Owner->Parent()) Owner = Owner->Parent();
  if (Owner == FPopupOwner) return;
  if (Owner == this) throw EInvalidOperation("A control cannot be its own popup owner");
  if (Owner && Parent()) SetParent(nullptr);
  if (FPopupOwner) RemoveFreeNotification(FPopupOwner);
  FPopupOwner = Owner;
  QWidget* W = Host();
  W->hide();
  if (Owner) {
    FreeNotification(Owner);
    // A tool-tip window: frameless, above its owner, and never activated by showing.
    W->setParent(Owner->Host(), Qt::ToolTip | Qt::FramelessWindowHint);
  } else {
    W->setParent(nullptr, Qt::Widget);
  }
  UpdateHostGeometry();
  UpdateHostVisibility();
}

void TWinControl::Notification(TComponent* AComponent, TOperation Operation) {
  TControl::Notification(AComponent, Operation);
  // Before the owner's window goes, which would take our window with it.
  if (Operation == opRemove && AComponent == FPopupOwner) SetPopupOwner(nullptr);
}

// ---------------------------------------------------------------------------
// Messages

void TWinControl::Dispatch(TMessage& M) {
  switch (M.Msg) {
    case CM_ENTER: CMEnter(); break;
    case CM_EXIT: CMExit(); break;
    case CM_WANTSPECIALKEY: M.Result = CMWantSpecialKey(static_cast<uint16_t>(M.WParam), static_cast<TShiftState>(M.LParam)); break;
    case CM_CONTROLCHANGE: CMControlChange(reinterpret_cast<TControl*>(M.WParam), M.LParam != 0); break;
    case CM_CONTROLLISTCHANGE: CMControlListChange(reinterpret_cast<TControl*>(M.WParam), M.LParam != 0); break;
    case WM_GETDLGCODE: M.Result = WMGetDlgCode(); break;
    case WM_SETFOCUS: WMSetFocus(static_cast<TFocusReason>(M.WParam)); break;
    case WM_KILLFOCUS: WMKillFocus(static_cast<TFocusReason>(M.WParam)); break;
    default: TControl::Dispatch(M);
  }
}

void TWinControl::CMColorChanged() {
  TControl::CMColorChanged();
  NotifyControls(CM_PARENTCOLORCHANGED);
}

void TWinControl::CMFontChanged() {
  TControl::CMFontChanged();
  NotifyControls(CM_PARENTFONTCHANGED);
}

void TWinControl::CMShowHintChanged() {
  TControl::CMShowHintChanged();
  NotifyControls(CM_PARENTSHOWHINTCHANGED);
}

void TWinControl::CMBiDiModeChanged() {
  if (QWidget* W = Host()) W->setLayoutDirection(UseRightToLeftAlignment() ? Qt::RightToLeft : Qt::LeftToRight);
  NotifyControls(CM_PARENTBIDIMODECHANGED);
}

void TWinControl::CMSysColorChange() { NotifyControls(CM_SYSCOLORCHANGE); }

bool TWinControl::CMDialogKey(uint16_t Key, TShiftState Shift) {
  TMessage M{CM_DIALOGKEY, Key, Shift, 0};
  Broadcast(M);
  return M.Result != 0;
}

bool TWinControl::CMDialogChar(char32_t Char, TShiftState Shift) {
  TMessage M{CM_DIALOGCHAR, static_cast<intptr_t>(Char), Shift, 0};
  Broadcast(M);
  return M.Result != 0;
}

void TWinControl::CMFocusChanged(TWinControl* Focused) {
  TMessage M{CM_FOCUSCHANGED, 0, reinterpret_cast<intptr_t>(Focused), 0};
  Broadcast(M);
}

void TWinControl::DoEnter() {
  if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
  if (OnExit) OnExit(this);
}

// ---------------------------------------------------------------------------
// Events and keys

namespace {

uint16_t VirtualKeyOf(const QKeyEvent* E) {
  const int K = E->key();
  if (E->modifiers() & Qt::KeypadModifier) {
    if (K >= Qt::Key_0 && K <= Qt::Key_9) return static_cast<uint16_t>(VK_NUMPAD0 + (K - Qt::Key_0));
    switch (K) {
      case Qt::Key_Asterisk: return VK_MULTIPLY;
      case Qt::Key_Plus: return VK_ADD;
      case Qt::Key_Minus: return VK_SUBTRACT;
      case Qt::Key_Period: return VK_DECIMAL;
      case Qt::Key_Slash: return VK_DIVIDE;
      default: break;
    }
  }
  if ((K >= Qt::Key_A && K <= Qt::Key_Z) || (K >= Qt::Key_0 && K <= Qt::Key_9)) return static_cast<uint16_t>(K);
  if (K >= Qt::Key_F1 && K <= Qt::Key_F24) return static_cast<uint16_t>(VK_F1 + (K - Qt::Key_F1));
  switch (K) {
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt: return VK_MENU;
    case Qt::Key_Pause: return VK_PAUSE;
    case Qt::Key_CapsLock: return VK_CAPITAL;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_Menu: return VK_APPS;
    case Qt::Key_Semicolon: case Qt::Key_Colon: return 0xBA;
    case Qt::Key_Equal: case Qt::Key_Plus: return 0xBB;
    case Qt::Key_Comma: case Qt::Key_Less: return 0xBC;
    case Qt::Key_Minus: case Qt::Key_Underscore: return 0xBD;
    case Qt::Key_Period: case Qt::Key_Greater: return 0xBE;
    case Qt::Key_Slash: case Qt::Key_Question: return 0xBF;
    case Qt::Key_QuoteLeft: case Qt::Key_AsciiTilde: return 0xC0;
    case Qt::Key_BracketLeft: case Qt::Key_BraceLeft: return 0xDB;
    case Qt::Key_Backslash: case Qt::Key_Bar: return 0xDC;
    case Qt::Key_BracketRight: case Qt::Key_BraceRight: return 0xDD;
    case Qt::Key_Apostrophe: case Qt::Key_QuoteDbl: return 0xDE;
    default: return 0;
  }
}

TShiftState KeyShift(const QKeyEvent* E) {
  TShiftState S = 0;
  if (E->modifiers() & Qt::ShiftModifier) S |= ssShift;
  if (E->modifiers() & Qt::ControlModifier) S |= ssCtrl;
  if (E->modifiers() & Qt::AltModifier) S |= ssAlt;
  return S;
}

// The character a key press types; 0 for none.
char32_t CharOf(const QKeyEvent* E) {
  const std::u32string Text = E->text().toStdU32String();
  if (!Text.empty()) return Text[0];
  const int K = E->key();
  switch (K) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return U'\r';
    case Qt::Key_Escape: return U'\x1b';
    case Qt::Key_Tab: return U'\t';
    case Qt::Key_Backspace: return U'\b';
    default: break;
  }
  // Alt+letter may come without text.
  if ((E->modifiers() & Qt::AltModifier) && ((K >= Qt::Key_A && K <= Qt::Key_Z) || (K >= Qt::Key_0 && K <= Qt::Key_9)))
    return (K >= Qt::Key_A && !(E->modifiers() & Qt::ShiftModifier)) ? static_cast<char32_t>(K - 'A' + 'a')
                                                                       : static_cast<char32_t>(K);
  return 0;
}

uint32_t DialogKeyMask(uint16_t Key) {
  switch (Key) {
    case VK_TAB: return DLGC_WANTTAB;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN: return DLGC_WANTARROWS;
    case VK_RETURN:
    case VK_ESCAPE: return DLGC_WANTALLKEYS;
    default: return 0;
  }
}

}  // namespace

bool TWinControl::DoKeyDown(uint16_t& Key, TShiftState Shift) {
  TCustomForm* Form = GetParentForm(this);
  if (Form && Form != this && Form->KeyPreview() && static_cast<TWinControl*>(Form)->DoKeyDown(Key, Shift)) return true;
  KeyDown(Key, Shift);
  return Key == 0;
}

bool TWinControl::DoKeyPress(char32_t& Key) {
  TCustomForm* Form = GetParentForm(this);
  if (Form && Form != this && Form->KeyPreview() && static_cast<TWinControl*>(Form)->DoKeyPress(Key)) return true;
  KeyPress(Key);
  return Key == 0;
}

bool TWinControl::DoKeyUp(uint16_t& Key, TShiftState Shift) {
  TCustomForm* Form = GetParentForm(this);
  if (Form && Form != this && Form->KeyPreview() && static_cast<TWinControl*>(Form)->DoKeyUp(Key, Shift)) return true;
  KeyUp(Key, Shift);
  return Key == 0;
}

void TWinControl::KeyDown(uint16_t& Key, TShiftState Shift) {
  if (OnKeyDown) OnKeyDown(this, Key, Shift);
}

void TWinControl::KeyUp(uint16_t& Key, TShiftState Shift) {
  if (OnKeyUp) OnKeyUp(this, Key, Shift);
}

void TWinControl::KeyPress(char32_t& Key) {
  if (OnKeyPress) OnKeyPress(this, Key);
}

bool TWinControl::HandleKeyEvent(QKeyEvent* E) {
  if (!Host()->isEnabled()) return DefaultHostEvent(E);
  E->accept();
  uint16_t Key = VirtualKeyOf(E);
  const TShiftState Shift = KeyShift(E);
  TCustomForm* Form = GetParentForm(this);
  if (E->type() == QEvent::KeyRelease) {
    if (E->isAutoRepeat()) return true;
    if (!DoKeyUp(Key, Shift)) DefaultHostEvent(E);
    E->accept();
    return true;
  }
  // 1. Dialog keys the control does not want.
  if (const uint32_t Mask = DialogKeyMask(Key);
      Mask && !Perform(CM_WANTSPECIALKEY, Key, Shift) && !(Perform(WM_GETDLGCODE) & Mask) && Form &&
      Form->Perform(CM_DIALOGKEY, Key, Shift))
    return true;
  // 2. The key.
  const bool KeyUsed = Key != 0 && DoKeyDown(Key, Shift);
  // The context-menu key and Shift+F10 ask for a context menu, as a right click does.
  if (!KeyUsed && (Key == VK_APPS || (Key == VK_F10 && Shift == ssShift))) {
    ContextMenuFromKeyboard();
    return true;
  }
  // 3. The character.
  const char32_t Typed = CharOf(E);
  char32_t Char = Typed;
  if (Char != 0) {
    if (Shift & ssAlt) {
      if (Char != U' ' && Form) Form->Perform(CM_DIALOGCHAR, static_cast<intptr_t>(Char), Shift);
      Char = 0;
    } else if (!(Perform(WM_GETDLGCODE) & DLGC_WANTCHARS) && Form &&
               Form->Perform(CM_DIALOGCHAR, static_cast<intptr_t>(Char), Shift)) {
      Char = 0;
    } else {
      DoKeyPress(Char);
    }
  }
  // 4. The widget's own handling of what is left.
  if (!KeyUsed && (Typed == 0 || Char != 0)) {
    if (Char != Typed) {
      QKeyEvent Changed(E->type(), E->key(), E->modifiers(), QString::fromUcs4(&Char, 1), E->isAutoRepeat());
      DefaultHostEvent(&Changed);
    } else {
      DefaultHostEvent(E);
    }
  }
  E->accept();
  return true;
}

// Offered to this control, then (while nobody uses it) to the widget's own menu and to
// each parent in turn, as a right click would be.
void TWinControl::ContextMenuFromKeyboard() {
  for (TControl* C = this; C; C = C->Parent()) {
    QWidget* W = C->Host();
    const QPoint At = ToQPoint(C->ClientOffset());
    QContextMenuEvent E(QContextMenuEvent::Keyboard, At, W->mapToGlobal(At));
    if (C->HandleContextMenuEvent(&E) && E.isAccepted()) return;
  }
}

bool TWinControl::HostEvent(QEvent* Event) {
  switch (Event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      return HandleKeyEvent(static_cast<QKeyEvent*>(Event));
    case QEvent::FocusIn: {
      const auto Reason = FocusReasonOf(static_cast<QFocusEvent*>(Event)->reason());
      if (TCustomForm* Form = GetParentForm(this); Form && Form != this) Form->SetFocusedControl(this);
      Perform(WM_SETFOCUS, Reason);
      return DefaultHostEvent(Event);
    }
    case QEvent::FocusOut:
      Perform(WM_KILLFOCUS, FocusReasonOf(static_cast<QFocusEvent*>(Event)->reason()));
      return DefaultHostEvent(Event);
    case QEvent::Show:
      HandleNeeded();
      return TControl::HostEvent(Event);
    default:
      return TControl::HostEvent(Event);
  }
}
