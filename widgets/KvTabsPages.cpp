// Tab sheets and the page control: one page per visible tab, the active page shown and
// handed the focus, pages moved, closed and coloured.
#include <algorithm>
#include <cstdio>

#include "platform/gui/Forms.h"
#include "widgets/KvTabs.h"

namespace {

constexpr int32_t PageControlHeight = 150;

// Sets the focus to Control when it can take it; false otherwise.
bool TryActivate(TCustomForm* Form, TWinControl* Control) {
  if (!Form || !Control || !Control->CanFocus()) return false;
  Form->SetActiveControl(Control);
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Tab sheet

TKvTabSheet::TKvTabSheet(TComponent* AOwner) : TCustomControl(AOwner) {
  SetControlStyle(ControlStyle() | csAcceptsControls | csOpaque);
  ShowPage(false);
  SetAlign(alClient);
}

void TKvTabSheet::BeforeDestruction() {
  if (TKvPageControl* P = FPageControl) {
    FPageControl = nullptr;
    P->RemovePage(this);
  }
  TCustomControl::BeforeDestruction();
}

void TKvTabSheet::SetPageControl(TKvPageControl* Value) { SetParent(Value); }

void TKvTabSheet::SetParent(TWinControl* AParent) {
  auto* NewControl = dynamic_cast<TKvPageControl*>(AParent);
  if (FPageControl && FPageControl != NewControl) {
    TKvPageControl* Old = FPageControl;
    FPageControl = nullptr;
    Old->RemovePage(this);
  }
  TCustomControl::SetParent(AParent);
  if (NewControl && FPageControl != NewControl) {
    FPageControl = NewControl;
    NewControl->InsertPage(this);
  }
}

void TKvTabSheet::SetVisible(bool) { throw EKvTabControlError("You cannot change the Visible property of a page"); }

void TKvTabSheet::ShowPage(bool Value) { TCustomControl::SetVisible(Value); }

void TKvTabSheet::TabChanged() {
  if (FPageControl) FPageControl->TabsChanged();
}

void TKvTabSheet::SetDisabledIndex(int32_t Value) {
  if (Value == FDisabledIndex) return;
  FDisabledIndex = Value;
  TabChanged();
}

void TKvTabSheet::SetImageIndex(int32_t Value) {
  if (Value == FImageIndex) return;
  FImageIndex = Value;
  TabChanged();
}

void TKvTabSheet::SetTabEnabled(bool Value) {
  if (Value == FTabEnabled) return;
  FTabEnabled = Value;
  TabChanged();
}

void TKvTabSheet::SetTabVisible(bool Value) {
  if (Value == FTabVisible) return;
  FTabVisible = Value;
  TabChanged();
}

int32_t TKvTabSheet::PageIndex() const {
  if (!FPageControl) return -1;
  const auto& Pages = FPageControl->FPages;
  return static_cast<int32_t>(std::find(Pages.begin(), Pages.end(), this) - Pages.begin());
}

void TKvTabSheet::SetPageIndex(int32_t Value) {
  if (!FPageControl) return;
  const int32_t Last = FPageControl->PageCount() - 1;
  if (Value < 0 || Value > Last) {
    char Message[128];
    std::snprintf(Message, sizeof Message, "%d is an invalid PageIndex value. PageIndex must be between 0 and %d",
                  Value, Last);
    throw EKvTabControlError(Message);
  }
  FPageControl->MovePage(this, Value);
}

int32_t TKvTabSheet::TabIndex() const {
  if (!FPageControl || !FTabVisible) return -1;
  int32_t Index = 0;
  for (const TKvTabSheet* P : FPageControl->FPages) {
    if (P == this) return Index;
    if (P->FTabVisible) ++Index;
  }
  return -1;
}

void TKvTabSheet::Paint() {
  bool Handled = false;
  if (OnPaintBackground) OnPaintBackground(this, Canvas(), ClientRect(), Handled);
  if (Handled) return;
  Canvas()->Brush()->SetStyle(bsSolid);
  Canvas()->Brush()->SetColor(Color());
  Canvas()->FillRect(ClientRect());
}

void TKvTabSheet::CMTextChanged() {
  TCustomControl::CMTextChanged();
  TabChanged();
}

// A page in a colour of its own makes the control show every page's colour.
void TKvTabSheet::CMColorChanged() {
  TCustomControl::CMColorChanged();
  if (!FPageControl) return;
  if (Color() != FPageControl->Color()) FPageControl->SetUseColoredTabs(true);
  TabChanged();
}

void TKvTabSheet::CMShowingChanged() {
  TCustomControl::CMShowingChanged();
  const bool Now = Showing();
  if (Now == FWasShowing) return;
  FWasShowing = Now;
  const TNotifyEvent& Event = Now ? OnShow : OnHide;
  if (Event) Event(this);
}

// ---------------------------------------------------------------------------
// Page control

TKvPageControl::TKvPageControl(TComponent* AOwner) : TKvCustomTabControl(AOwner) {
  SetControlStyle(ControlStyle() & ~csAcceptsControls);
  SetHeight(PageControlHeight);
}

void TKvPageControl::BeforeDestruction() {
  for (TKvTabSheet* P : FPages) P->FPageControl = nullptr;
  FPages.clear();
  FActivePage = nullptr;
  FActivePageDefault = nullptr;
  TKvCustomTabControl::BeforeDestruction();
}

void TKvPageControl::Loaded() {
  const bool Held = FHoldEvents;
  FHoldEvents = true;
  TKvCustomTabControl::Loaded();
  TKvTabSheet* Page = FActivePage;
  if (FActivePageDefault && FActivePageDefault != Page) Page = FActivePageDefault;
  FActivePage = nullptr;
  SetTabIndex(-1);
  TabsChanged();
  if (Page && Page->FPageControl == this) {
    ChangeActivePage(Page);
    SelectTab(Page->TabIndex());
  } else {
    TKvCustomTabControl::KeepSelectionValid();
  }
  FHoldEvents = Held;
}

void TKvPageControl::InsertPage(TKvTabSheet* Page) {
  FPages.push_back(Page);
  if (!Page->ParentColor() && Page->Color() != Color()) SetUseColoredTabs(true);
  TabsChanged();
}

void TKvPageControl::RemovePage(TKvTabSheet* Page) {
  if (Page == FActivePage) SetActivePage(nullptr);
  if (Page == FActivePageDefault) FActivePageDefault = nullptr;
  std::erase(FPages, Page);
  if (!Destroying()) TabsChanged();
}

void TKvPageControl::MovePage(TKvTabSheet* Page, int32_t NewIndex) {
  const int32_t Old = Page->PageIndex();
  if (Old == NewIndex) return;
  std::erase(FPages, Page);
  FPages.insert(FPages.begin() + NewIndex, Page);
  TabsChanged();
  if (OnTabOrderChange) OnTabOrderChange(this, Old, NewIndex);
}

// The tabs of the pages whose tab is visible; the selection follows the active page.
void TKvPageControl::TabsChanged() {
  TKvTabDataList& List = Tabs();
  List.Clear();
  for (const TKvTabSheet* P : FPages) {
    if (!P->FTabVisible) continue;
    TKvTabData* T = List.Add();
    T->Caption = P->Caption();
    T->Color = P->Color();
    T->Enabled = P->FTabEnabled;
    T->Visible = P->FTabVisible;
    T->Hint = P->Hint();
    T->ImageIndex = P->FImageIndex;
    T->DisabledIndex = P->FDisabledIndex;
  }
  // The same page under a new number is no change of page.
  if (FActivePage && !Loading()) {
    const int32_t Shown = FActivePage->TabIndex();
    if (Shown != TabIndex()) {
      TKvTabSheet* Keep = FActivePage;
      const bool Held = FHoldEvents;
      FHoldEvents = true;
      SelectTab(Shown);
      FActivePage = Keep;
      FHoldEvents = Held;
    }
  }
  ReLayout();
}

TKvTabSheet* TKvPageControl::PageForTab(int32_t TabIndex) const {
  if (TabIndex < 0) return nullptr;
  for (TKvTabSheet* P : FPages)
    if (P->FTabVisible && TabIndex-- == 0) return P;
  return nullptr;
}

void TKvPageControl::Change() {
  if (TKvTabSheet* Page = PageForTab(TabIndex())) ChangeActivePage(Page);
  if (!FHoldEvents) TKvCustomTabControl::Change();
}

// While the active page's tab is hidden no tab is selected.
void TKvPageControl::KeepSelectionValid() {
  if (FHoldEvents || (FActivePage && !FActivePage->FTabVisible)) return;
  TKvCustomTabControl::KeepSelectionValid();
}

void TKvPageControl::ChangeActivePage(TKvTabSheet* Page) {
  if (Page == FActivePage) return;
  TKvTabSheet* Old = FActivePage;
  TCustomForm* Form = GetParentForm(this);
  // A focused control on the old page hands the focus to the page first, so that it
  // can pass to the new page.
  if (Form && Old && Form->ActiveControl() && Old->ContainsControl(Form->ActiveControl()))
    TryActivate(Form, Old);
  const bool PageHadFocus = Form && Old && Form->ActiveControl() == Old;
  if (Page) {
    Page->BringToFront();
    Page->ShowPage(true);
  }
  if (PageHadFocus && !TryActivate(Form, Page)) TryActivate(Form, this);
  if (Old) Old->ShowPage(false);
  FActivePage = Page;
  if (Form && Page && Form->ActiveControl() == Page) Page->SelectFirst();
}

void TKvPageControl::SetActivePage(TKvTabSheet* Page) {
  if (Page && Page->FPageControl != this) return;
  if (Loading()) {
    FActivePage = Page;
    return;
  }
  if (!Page || !Page->FTabVisible) {
    ChangeActivePage(Page);
    if (!FHoldEvents && OnPageChange) OnPageChange(this);
  }
  SetTabIndex(Page ? Page->TabIndex() : -1);
}

int32_t TKvPageControl::ActivePageIndex() const { return FActivePage ? FActivePage->PageIndex() : -1; }

void TKvPageControl::SetActivePageIndex(int32_t Value) {
  SetActivePage(Value >= 0 && Value < PageCount() ? Pages(Value) : nullptr);
}

TKvTabSheet* TKvPageControl::FindNextPage(TKvTabSheet* CurPage, bool GoForward, bool CheckTabVisible) const {
  const int32_t N = PageCount();
  if (N == 0) return nullptr;
  int32_t Start = CurPage ? CurPage->PageIndex() : -1;
  if (Start < 0 || Start >= N) Start = GoForward ? N - 1 : 0;
  int32_t I = Start;
  for (int32_t K = 0; K < N; ++K) {
    I = GoForward ? (I + 1) % N : (I + N - 1) % N;
    if (!CheckTabVisible || Pages(I)->FTabVisible) return Pages(I);
  }
  return nullptr;
}

void TKvPageControl::SelectNextPage(bool GoForward, bool CheckTabVisible) {
  TKvTabSheet* Page = FindNextPage(FActivePage, GoForward, CheckTabVisible);
  if (!Page || Page == FActivePage) return;
  const int32_t Tab = Page->TabIndex();
  if (Tab < 0)
    SetActivePage(Page);
  else if (CanChange(Tab))
    SelectTab(Tab);
}

void TKvPageControl::SetAllTabsVisible(bool Value) {
  for (TKvTabSheet* P : FPages) P->FTabVisible = Value;
  TabsChanged();
}

void TKvPageControl::ShowControl(TControl* AControl) {
  for (TControl* C = AControl; C; C = C->Parent())
    if (auto* Page = dynamic_cast<TKvTabSheet*>(C); Page && Page->FPageControl == this) return SetActivePage(Page);
}

// The previous tab's page takes over (the next one when the first closes).
void TKvPageControl::CloseSelectedTab() {
  TKvTabSheet* Page = FActivePage;
  if (!Page) return;
  const int32_t Index = TabIndex();
  const int32_t Next = Index > 0 ? Index - 1 : (TabCount() > 1 ? 1 : -1);
  if (Next >= 0) SelectTab(Next);
  Page->Free();
}

// The dragged tab's page goes to the page of the tab it was dropped on.
void TKvPageControl::MoveSelectedTab(int32_t NewIndex) {
  TKvTabSheet* Target = PageForTab(NewIndex);
  if (FActivePage && Target) FActivePage->SetPageIndex(Target->PageIndex());
}

TColor TKvPageControl::CardColor() const { return FActivePage ? FActivePage->Color() : Color(); }

bool TKvPageControl::CMDialogKey(uint16_t Key, TShiftState Shift) {
  if (Key == VK_TAB && (Shift & ssCtrl) && !(Shift & ssAlt)) {
    const TCustomForm* Form = GetParentForm(this);
    if (Form && Form->ActiveControl() && ContainsControl(Form->ActiveControl())) {
      SelectNextPage(!(Shift & ssShift));
      return true;
    }
  }
  return TKvCustomTabControl::CMDialogKey(Key, Shift);
}

void TKvPageControl::CMColorChanged() {
  TKvCustomTabControl::CMColorChanged();
  if (!UseColoredTabs()) PageColorsFromControl();
}

void TKvPageControl::PageColorsFromControl() {
  for (TKvTabSheet* P : FPages) P->SetColor(Color());
}

void TKvPageControl::WMSetFocus(TFocusReason Reason) {
  TKvCustomTabControl::WMSetFocus(Reason);
  if (FActivePage && !FActivePage->FTabVisible) FActivePage->SelectFirst();
}
