#include "widgets/KvPopups.h"

#include <vector>

#include "platform/gui/Forms.h"
#include "platform/gui/PopupLoop.h"

namespace {

// Moves every child of From to To, keeping their order.
void MoveChildren(TWinControl* From, TWinControl* To) {
  std::vector<TControl*> Children;
  for (int32_t I = 0; I < From->ControlCount(); ++I) Children.push_back(From->Controls(I));
  for (TControl* C : Children) C->SetParent(To);
}

}  // namespace

// ---------------------------------------------------------------------------
// TKvCustomPopup

TKvCustomPopup::TKvCustomPopup(TComponent* AOwner) : TKvCustomPanel(AOwner) {
  SetVisible(false);
  SetBorderWidth(2);
  SetBorderOuter(fsPopup);
  SetFlatColorAdjustment(0);
}

// ---------------------------------------------------------------------------
// TKvPopup

TKvPopup::TKvPopup(TKvPopupPanel* APanel) : TKvCustomPopup(APanel), FPanel(APanel) {
  TCustomForm* Form = GetParentForm(APanel);
  if (!Form) throw EInvalidOperation("Control '" + APanel->Name() + "' has no parent window");
  SetPopupOwner(Form);
  SetColor(APanel->Color());
  SetFont(APanel->Font());
  SetHint(APanel->Hint());
  SetShowHint(APanel->ShowHint());
}

void TKvPopup::BeforeDestruction() {
  *FAlive = false;
  EndPopupLoop(this);
  // The children are the panel's: they never go with the window.
  MoveChildrenBack();
  TKvCustomPopup::BeforeDestruction();
}

void TKvPopup::MoveChildrenBack() {
  if (!FHoldsChildren) return;
  FHoldsChildren = false;
  Hide();
  MoveChildren(this, FPanel);
}

bool TKvPopup::Popup(TControl* Control, TAlignment Alignment, int32_t X, int32_t Y) {
  const TRect From = Bounds(Control->ClientOrigin().X, Control->ClientOrigin().Y, Control->Width(), Control->Height());
  // The panel's size as laid out: an auto-sized panel shrinks as its children leave.
  const int32_t W = FPanel->Width(), H = FPanel->Height();
  FHoldsChildren = true;
  MoveChildren(FPanel, this);
  for (int32_t I = 0; I < ControlCount() && !FFocusedChild; ++I)
    if (auto* Child = dynamic_cast<TWinControl*>(Controls(I)); Child && Child->Enabled() && Child->Visible())
      FFocusedChild = Child;

  int32_t L, T;
  if (X != -1 || Y != -1) {
    L = From.Left + X;
    T = From.Top + Y;
  } else {
    T = From.Bottom;
    switch (Alignment) {
      case taLeftJustify: L = From.Left; break;
      case taRightJustify: L = From.Right - W; break;
      default: L = (From.Left + From.Right - W) / 2; break;
    }
  }
  // Into the work area: left of its right edge, above the control when there is no
  // room below, then not past its left and top edges.
  const TRect Area = Screen->MonitorFromPoint({L, T}).WorkareaRect;
  if (L + W > Area.Right) L = Area.Right - W;
  if (T + H > Area.Bottom) T = From.Top - H;
  if (L < Area.Left) L = Area.Left;
  if (T < Area.Top) T = Area.Top;
  SetBounds(L, T, W, H);

  const std::shared_ptr<bool> Alive = FAlive;
  Show();
  FDismissed = true;
  RunPopupLoop(this, FFocusedChild);
  if (!*Alive) return false;
  MoveChildrenBack();
  return !FDismissed;
}

void TKvPopup::ClosePopup() {
  FDismissed = false;
  EndPopupLoop(this);
}

// ---------------------------------------------------------------------------
// TKvPopupPanel

TKvPopupPanel::TKvPopupPanel(TComponent* AOwner) : TKvCustomPopup(AOwner) {
  SetControlStyle(ControlStyle() | csAcceptsControls);
  SetAlignment(taRightJustify);
  SetBounds(Left(), Top(), 100, 100);
  SetColor(clBtnFace);
  SetAutoSize(true);
}

void TKvPopupPanel::BeforeDestruction() {
  *FAlive = false;
  ClosePopup();
  TKvCustomPopup::BeforeDestruction();
}

void TKvPopupPanel::ClosePopup() {
  if (FPopup) FPopup->ClosePopup();
}

bool TKvPopupPanel::PopupAt(TControl* Control, int32_t X, int32_t Y) {
  if (FPopup || !Control) return false;
  FControl = Control;
  TCustomForm* Form = GetParentForm(this);
  TWinControl* Focused = Form ? Form->ActiveControl() : nullptr;
  if (OnPopup) OnPopup(this);
  HandleNeeded();
  const std::shared_ptr<bool> Alive = FAlive;
  bool Closed = false;
  try {
    FPopup = new TKvPopup(this);
    FPopup->SetBorderOuter(BorderOuter());
    FPopup->SetFlatColor(FlatColor());
    Closed = FPopup->Popup(Control, Alignment(), X, Y);
  } catch (...) {
    if (*Alive) {
      if (FPopup) FPopup->Free();
      FPopup = nullptr;
      FControl = nullptr;
    }
    throw;
  }
  if (!*Alive) return Closed;
  FPopup->Free();
  FPopup = nullptr;
  if (OnClose) OnClose(this);
  if (Application && Application->Active() && Focused && Focused->CanFocus()) Focused->SetFocus();
  FControl = nullptr;
  return Closed;
}
