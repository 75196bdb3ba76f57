// The tab control's behaviour: selection with its veto, mouse, keys and accelerators,
// hot tracking with per-tab hints, closing, and dragging a tab to another place.
#include <cstdlib>

#include "platform/gui/ExtCtrls.h"
#include "widgets/KvTabs.h"

namespace {

// How far the mouse moves with the button held before a tab drag starts.
constexpr int32_t DragThreshold = 5;

class TFlagScope {
public:
  explicit TFlagScope(bool& Flag) : FFlag(Flag), FOld(Flag) { Flag = true; }
  ~TFlagScope() { FFlag = FOld; }
  TFlagScope(const TFlagScope&) = delete;
  TFlagScope& operator=(const TFlagScope&) = delete;

private:
  bool& FFlag;
  bool FOld;
};

}  // namespace

// ---------------------------------------------------------------------------
// Selection

void TKvCustomTabControl::SetTabIndex(int32_t Value) {
  if (Loading()) {
    FTabIndex = Value;
    return;
  }
  if (Value < 0 || Value >= TabCount()) {
    FTabIndex = -1;
    Invalidate();
    return;
  }
  const int32_t OldFirst = FFirstShown;
  const bool Changed = Value != FTabIndex;
  if (Changed) {
    if (!FSelecting && !CanChange(Value)) return;
    FTabIndex = Value;
    // Rows turn, a bold caption widens its tab.
    ReLayout();
    SelectTabInView();
  }
  if (Changed || FFirstShown != OldFirst) {
    Invalidate();
    if (FScroller) FScroller->Invalidate();
  }
  if (Changed) Change();
  if (FCloseButton) FCloseButton->Invalidate();
  if (FMenuButton) FMenuButton->Invalidate();
}

void TKvCustomTabControl::SelectTab(int32_t Index) {
  TFlagScope Selecting(FSelecting);
  SetTabIndex(Index);
}

bool TKvCustomTabControl::CanChange(int32_t Index) {
  if (Index < 0 || Index >= TabCount()) return false;
  const TKvTabData* Tab = FTabs.Items(Index);
  if (!Tab->Visible || !Tab->Enabled) return false;
  bool AllowChange = true;
  if (OnChanging) OnChanging(this, Index, AllowChange);
  return AllowChange;
}

void TKvCustomTabControl::Change() {
  if (OnChange) OnChange(this);
  if (OnPageChange) OnPageChange(this);
}

// The selected tab itself needs only to be visible and enabled; another is asked.
int32_t TKvCustomTabControl::FindSelectable(int32_t Start, int32_t Step, int32_t Tries) {
  const int32_t N = TabCount();
  for (int32_t K = 0, I = Start; K < Tries && I >= 0 && I < N; ++K, I += Step) {
    const TKvTabData* Tab = FTabs.Items(I);
    if (I == FTabIndex ? Tab->Visible && Tab->Enabled : CanChange(I)) return I;
  }
  return -1;
}

void TKvCustomTabControl::KeepSelectionValid() {
  const int32_t N = TabCount();
  int32_t Start = FTabIndex;
  if (Start < 0) {
    if (FirstVisible() < 0) return;
    Start = 0;
  }
  int32_t Found = FindSelectable(Start, 1, N);
  if (Found < 0) Found = FindSelectable(std::min(Start, N - 1), -1, N);
  if (Found != FTabIndex) SelectTab(Found);
}

// ---------------------------------------------------------------------------
// Mouse

void TKvCustomTabControl::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  FMouseDownTab = -1;
  if (!Enabled()) return;
  const int32_t Hit = TabAtPos({X, Y});
  if (Hit < 0 || !FTabs.Items(Hit)->Enabled) return;
  if (TabStop() && Hit == FTabIndex) {
    if (CanFocus()) SetFocus();
    if (!Focused()) return;
  }
  SetTabIndex(Hit);
  if (FTabIndex == Hit && OnTabClick) OnTabClick(this);
  if (Button == mbLeft) {
    FMouseDownTab = Hit;
    FMouseDownPos = {X, Y};
  }
}

void TKvCustomTabControl::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  FMousePos = {X, Y};
  // Only the tab that is selected after the press can be dragged.
  if (FAllowTabDragging && FMouseDownTab >= 0 && FMouseDownTab == FTabIndex && (Shift & ssLeft)) {
    if (!FDragging && (std::abs(X - FMouseDownPos.X) >= DragThreshold || std::abs(Y - FMouseDownPos.Y) >= DragThreshold))
      FDragging = true;
    if (FDragging) return UpdateDrag(X, Y);
  }
  if (!FHotTrack && !FTabHints) return;
  const int32_t Hit = TabAtPos({X, Y});
  if (Hit >= 0) {
    if (Hit != FHotTab) StartHotTracking(Hit);
    return;
  }
  const bool InStrip = PtInRect(StripRect(), {X, Y});
  if (FTabHints && (FHotTab >= 0 || InStrip) && Application) Application->CancelHint();
  // Over the bare strip no hint shows; the control's own comes back over the card.
  const bool NoHint = FTabHints && InStrip;
  EndHotTracking(!NoHint);
  if (NoHint) ReplaceHint("");
}

void TKvCustomTabControl::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  FMouseDownTab = -1;
  if (!FDragging) return;
  const int32_t Target = FDropTarget;
  EndDrag();
  if (Target >= 0) MoveSelectedTab(Target);
}

void TKvCustomTabControl::CMMouseEnter() {
  FMouseInside = true;
  TCustomControl::CMMouseEnter();
}

void TKvCustomTabControl::CMMouseLeave() {
  FMouseInside = false;
  TCustomControl::CMMouseLeave();
}

// ---------------------------------------------------------------------------
// Hot tracking and tab hints

void TKvCustomTabControl::StartHotTracking(int32_t Index) {
  FHotTab = Index;
  if (FHotTrack) Invalidate();
  if (FTabHints) {
    if (Application) Application->CancelHint();
    ReplaceHint(FTabs.Items(Index)->Hint);
  }
  if (!FHotTimer) {
    FHotTimer = new TTimer(this);
    FHotTimer->SetEnabled(false);
    FHotTimer->SetInterval(HotTrackInterval);
    FHotTimer->OnTimer = [this](TComponent* Sender) { HotTrackTimer(Sender); };
  }
  if (!FHotTimer->Enabled()) FHotTimer->SetEnabled(true);
}

void TKvCustomTabControl::EndHotTracking(bool RestoreHint) {
  if (FHotTimer) FHotTimer->SetEnabled(false);
  if (FHotTab >= 0) {
    FHotTab = -1;
    Invalidate();
  }
  if (RestoreHint && FHintReplaced) {
    FHintReplaced = false;
    SetHint(FSavedHint);
  }
}

// The control's own hint is kept while tab hints stand in for it.
void TKvCustomTabControl::ReplaceHint(const std::string& Value) {
  if (!FHintReplaced) FSavedHint = Hint();
  FHintReplaced = true;
  SetHint(Value);
}

// The mouse may leave without passing over the strip's edge.
void TKvCustomTabControl::HotTrackTimer(TComponent*) {
  if (!FMouseInside || TabAtPos(FMousePos) < 0) EndHotTracking();
}

// ---------------------------------------------------------------------------
// Keys and focus

void TKvCustomTabControl::KeyDown(uint16_t& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  const int32_t N = TabCount();
  if (Key == 0 || N == 0) return;
  EnsureLayout();
  const bool LeftStrip = FTabOrientation == toLeft, Standard = FTabSequence == tsStandard;
  int32_t Found = -1;
  switch (Key) {
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN: {
      const bool RightOrDown = Key == VK_RIGHT || Key == VK_DOWN;
      const int32_t Step = ((RightOrDown != LeftStrip) == Standard) ? 1 : -1;
      // Each other tab once, going round from the selected one.
      for (int32_t K = 1, I = FTabIndex; K <= N; ++K) {
        I = I < 0 ? (Step > 0 ? 0 : N - 1) : (I + Step + N) % N;
        if (I == FTabIndex) break;
        if (CanChange(I)) {
          Found = I;
          break;
        }
      }
      break;
    }
    case VK_HOME:
    case VK_END: {
      const bool Home = (Key == VK_HOME) != (LeftStrip == Standard);
      Found = Home ? FindSelectable(0, 1, N) : FindSelectable(N - 1, -1, N);
      break;
    }
    default: return;
  }
  Key = 0;
  if (Found < 0) return;
  SelectTab(Found);
  if (OnTabClick) OnTabClick(this);
}

bool TKvCustomTabControl::CMDialogChar(char32_t Char, TShiftState Shift) {
  if (CanFocus()) {
    for (int32_t I = 0; I < TabCount(); ++I) {
      const TKvTabData* Tab = FTabs.Items(I);
      if (!Tab->Enabled || !Tab->Visible || !IsAccel(Char, Tab->Caption)) continue;
      SetFocus();
      if (Focused()) {
        SetTabIndex(I);
        if (FTabIndex == I && OnTabClick) OnTabClick(this);
      }
      return true;
    }
  }
  return TCustomControl::CMDialogChar(Char, Shift);
}

void TKvCustomTabControl::WMSetFocus(TFocusReason Reason) {
  TCustomControl::WMSetFocus(Reason);
  Invalidate();
}

void TKvCustomTabControl::WMKillFocus(TFocusReason Reason) {
  TCustomControl::WMKillFocus(Reason);
  Invalidate();
}

// ---------------------------------------------------------------------------
// Dragging

void TKvCustomTabControl::UpdateDrag(int32_t X, int32_t Y) {
  const bool OverSelf = PtInRect(ClientRect(), {X, Y});
  const int32_t Hit = OverSelf ? TabAtPos({X, Y}) : -1;
  if (Hit < 0) {
    if (!FDragTimer) {
      FDragTimer = new TTimer(this);
      FDragTimer->SetEnabled(false);
      FDragTimer->OnTimer = [this](TComponent* Sender) { DragScrollTimer(Sender); };
    }
    if (!FDragTimer->Enabled()) {
      FDragTimer->SetInterval(DragScrollDelay);
      FDragTimer->SetEnabled(true);
    }
  } else if (FDragTimer) {
    FDragTimer->SetEnabled(false);
  }
  const int32_t Target = Hit != FTabIndex ? Hit : -1;
  if (Target == FDropTarget) return;
  FDropTarget = Target;
  Invalidate();
}

void TKvCustomTabControl::EndDrag() {
  if (FDragTimer) FDragTimer->SetEnabled(false);
  FDragging = false;
  FDropTarget = -1;
  Invalidate();
}

// Past the strip's start or end, the row scrolls a tab at a time.
void TKvCustomTabControl::DragScrollTimer(TComponent*) {
  FDragTimer->SetInterval(DragScrollInterval);
  bool Back, Forward;
  if (HorizontalStrip()) {
    Back = FMousePos.X < 0;
    Forward = FMousePos.X > Width();
  } else {
    Back = FMousePos.Y < 0;
    Forward = FMousePos.Y > Height();
    if (FTabOrientation == toLeft) std::swap(Back, Forward);
  }
  if (FTabSequence == tsReverse) std::swap(Back, Forward);
  if (Forward)
    ScrollForward();
  else if (Back)
    ScrollBack();
}
