// The tab control: tab data, colours, the region cache, construction and properties.
#include "widgets/KvTabs.h"

#include <algorithm>

#include "platform/gui/ExtCtrls.h"

// ---------------------------------------------------------------------------
// Tab data

void TKvTabData::Assign(const TPersistent& Source) {
  const auto* S = dynamic_cast<const TKvTabData*>(&Source);
  if (!S) return TPersistent::Assign(Source);
  Caption = S->Caption;
  DisabledIndex = S->DisabledIndex;
  ImageIndex = S->ImageIndex;
  Color = S->Color;
  Enabled = S->Enabled;
  Visible = S->Visible;
  Hint = S->Hint;
}

TKvTabData* TKvTabDataList::Add() {
  FItems.push_back(std::make_unique<TKvTabData>());
  return FItems.back().get();
}

void TKvTabDataList::SetItem(int32_t Index, const TKvTabData& Value) {
  auto Item = std::make_unique<TKvTabData>();
  Item->Assign(Value);
  FItems.at(static_cast<size_t>(Index)) = std::move(Item);
}

void TKvTabDataList::Delete(int32_t Index) { FItems.erase(FItems.begin() + Index); }

void TKvTabDataList::Assign(const TPersistent& Source) {
  const auto* S = dynamic_cast<const TKvTabDataList*>(&Source);
  if (!S) return TPersistent::Assign(Source);
  if (S == this) return;
  FItems.clear();
  for (const auto& Item : S->FItems) Add()->Assign(*Item);
}

void TKvTabColors::Assign(const TPersistent& Source) {
  const auto* S = dynamic_cast<const TKvTabColors*>(&Source);
  if (!S) return TPersistent::Assign(Source);
  SetHighlightBar(S->FHighlightBar);
  SetShadow(S->FShadow);
  SetUnselected(S->FUnselected);
}

void TKvTabColors::Change(TColor& Field, TColor Value) {
  if (Field == Value) return;
  Field = Value;
  FOwner->Invalidate();
}

void TKvTextColors::Assign(const TPersistent& Source) {
  const auto* S = dynamic_cast<const TKvTextColors*>(&Source);
  if (!S) return TPersistent::Assign(Source);
  SetDisabledHighlight(S->FDisabledHighlight);
  SetDisabledShadow(S->FDisabledShadow);
  SetSelected(S->FSelected);
  SetUnselected(S->FUnselected);
}

void TKvTextColors::Change(TColor& Field, TColor Value) {
  if (Field == Value) return;
  Field = Value;
  FOwner->Invalidate();
}

// ---------------------------------------------------------------------------
// Region cache

const TRegion* TKvTabRegionCache::Find(const TRect& R) {
  auto It = std::find_if(FItems.begin(), FItems.end(), [&](const TItem& I) { return I.Rect == R; });
  if (It == FItems.end()) return nullptr;
  std::rotate(FItems.begin(), It, It + 1);
  return &FItems.front().Region;
}

const TRegion* TKvTabRegionCache::Insert(const TRect& R, TRegion Region) {
  FItems.insert(FItems.begin(), TItem{R, std::move(Region)});
  Trim();
  return &FItems.front().Region;
}

void TKvTabRegionCache::SetCapacity(int32_t Value) {
  if (Value == 0 || Value < -1) throw EKvTabControlError("Capacity must be -1 (to cache all regions) or > 0");
  FCapacity = Value;
  Trim();
}

void TKvTabRegionCache::Trim() {
  if (FCapacity != -1 && Count() > FCapacity) FItems.resize(static_cast<size_t>(FCapacity));
}

// ---------------------------------------------------------------------------
// The tab control

namespace {

constexpr int32_t DefaultWidth = 300;
constexpr int32_t DefaultHeight = 100;

}  // namespace

TKvCustomTabControl::TKvCustomTabControl(TComponent* AOwner)
    : TCustomControl(AOwner),
      FTabColors(std::make_unique<TKvTabColors>(this)),
      FTextColors(std::make_unique<TKvTextColors>(this)) {
  SetControlStyle(csAcceptsControls | csCaptureMouse | csClickEvents | csDoubleClicks | csOpaque);
  SetColor(clBtnFace);
  SetParentColor(true);
  SetTabStop(true);
  FImageChangeLink.OnChange = [this](TComponent* Sender) { ImageListChange(Sender); };
  SetBounds(Left(), Top(), DefaultWidth, DefaultHeight);
}

TKvCustomTabControl::~TKvCustomTabControl() = default;

void TKvCustomTabControl::BeforeDestruction() {
  if (FImages) FImages->UnRegisterChanges(&FImageChangeLink);
  FImages = nullptr;
  TCustomControl::BeforeDestruction();
}

void TKvCustomTabControl::Loaded() {
  TCustomControl::Loaded();
  if (FTextOrientation == orVertical && !IsTrueTypeFont(Font())) Font()->SetName("Verdana");
  ReLayout();
  SetTabIndex(FTabIndex);
}

template <class T>
void TKvCustomTabControl::Change(T& Field, T Value, bool Layout) {
  if (Field == Value) return;
  Field = Value;
  if (Layout)
    ReLayout();
  else
    Invalidate();
}

void TKvCustomTabControl::ReLayout() {
  FNeedsLayout = true;
  if (!Loading() && !Destroying()) EnsureLayout();
  Invalidate();
}

void TKvCustomTabControl::EnsureLayout() {
  if (!FNeedsLayout || FInLayout || Loading() || Destroying()) return;
  FInLayout = true;
  // What a layout sets off (a selection, a handler) may ask for another one.
  for (int32_t Pass = 0; Pass < 4 && FNeedsLayout; ++Pass) {
    FNeedsLayout = false;
    Layout();
    if (!FNeedsLayout) KeepSelectionValid();
  }
  FInLayout = false;
  // The children follow the card and its frame.
  TRect Display;
  AdjustClientRect(Display);
  if (Display != FLastDisplayRect) {
    FLastDisplayRect = Display;
    Realign();
  }
}

void TKvCustomTabControl::SetAlignTabs(bool Value) {
  if (Value == FAlignTabs) return;
  FAlignTabs = Value;
  if (FMultiLine) ReLayout();
}

void TKvCustomTabControl::SetBackgroundColor(TColor Value) {
  FParentBackgroundColor = false;
  Change(FBackgroundColor, Value, false);
}

void TKvCustomTabControl::SetParentBackgroundColor(bool Value) {
  if (Value == FParentBackgroundColor) return;
  FParentBackgroundColor = Value;
  if (Value) Perform(CM_PARENTCOLORCHANGED);
}

void TKvCustomTabControl::SetBoldCurrentTab(bool Value) { Change(FBoldCurrentTab, Value, true); }

void TKvCustomTabControl::SetCutCornerSize(int32_t Value) {
  if (Value < 0 || Value == FCutCornerSize) return;
  FCutCornerSize = Value;
  if (FTabStyle == tsCutCorner) ReLayout();
}

void TKvCustomTabControl::SetFlatColor(TColor Value) {
  if (Value == FFlatColor) return;
  FFlatColor = Value;
  UpdateSmallControlColors();
  Invalidate();
}

void TKvCustomTabControl::SetFlatColorAdjustment(int32_t Value) {
  if (Value == FFlatColorAdjustment) return;
  FFlatColorAdjustment = Value;
  UpdateSmallControlColors();
  Invalidate();
}

std::vector<TKvTabButtonBase*> TKvCustomTabControl::SmallControls() const {
  std::vector<TKvTabButtonBase*> Made{FScroller, FCloseButton, FMenuButton};
  std::erase(Made, nullptr);
  return Made;
}

void TKvCustomTabControl::UpdateSmallControlColors() {
  const TColor Frame = AdjustLuminance(FFlatColor, FFlatColorAdjustment);
  for (TKvTabButtonBase* C : SmallControls()) C->SetFrameColor(Frame);
}

void TKvCustomTabControl::SetHotTrack(bool Value) {
  if (Value == FHotTrack) return;
  FHotTrack = Value;
  if (!Value && !FTabHints) EndHotTracking();
}

void TKvCustomTabControl::SetTabHints(bool Value) {
  if (Value == FTabHints) return;
  FTabHints = Value;
  if (!Value && !FHotTrack) EndHotTracking();
}

void TKvCustomTabControl::SetHotTrackColor(TColor Value) { Change(FHotTrackColor, Value, false); }
void TKvCustomTabControl::SetHotTrackColorType(TKvHotTrackColorType Value) { Change(FHotTrackColorType, Value, false); }
void TKvCustomTabControl::SetHotTrackStyle(TKvTabHotTrackStyle Value) { Change(FHotTrackStyle, Value, false); }
void TKvCustomTabControl::SetImageAlignment(TKvHorizontalAlignment Value) { Change(FImageAlignment, Value, true); }
void TKvCustomTabControl::SetImageAlignmentVertical(TKvVerticalAlignment Value) {
  Change(FImageAlignmentVertical, Value, true);
}
void TKvCustomTabControl::SetImagePosition(TKvImagePosition Value) { Change(FImagePosition, Value, true); }
void TKvCustomTabControl::SetMultiLine(bool Value) { Change(FMultiLine, Value, true); }
void TKvCustomTabControl::SetShowCardFrame(bool Value) { Change(FShowCardFrame, Value, true); }
void TKvCustomTabControl::SetShowFocusRect(bool Value) { Change(FShowFocusRect, Value, false); }
void TKvCustomTabControl::SetSoftCorners(bool Value) { Change(FSoftCorners, Value, true); }
void TKvCustomTabControl::SetTabOverlap(int32_t Value) { Change(FTabOverlap, Value, true); }
void TKvCustomTabControl::SetTabSequence(TKvTabSequence Value) { Change(FTabSequence, Value, true); }
void TKvCustomTabControl::SetTabStyle(TKvTabStyle Value) { Change(FTabStyle, Value, true); }
void TKvCustomTabControl::SetTextAlignment(TKvHorizontalAlignment Value) { Change(FTextAlignment, Value, true); }
void TKvCustomTabControl::SetTextAlignmentVertical(TKvVerticalAlignment Value) {
  Change(FTextAlignmentVertical, Value, true);
}
void TKvCustomTabControl::SetTransparent(bool Value) { Change(FTransparent, Value, false); }
void TKvCustomTabControl::SetUseGradients(bool Value) { Change(FUseGradients, Value, false); }

void TKvCustomTabControl::SetUseColoredTabs(bool Value) {
  if (Value == FUseColoredTabs) return;
  FUseColoredTabs = Value;
  Invalidate();
  // Without own colours the pages take the control's colour again.
  if (!Value) Perform(CM_COLORCHANGED);
}

void TKvCustomTabControl::SetImageMargin(int32_t Value) {
  if (Value >= 0) Change(FImageMargin, Value, true);
}
void TKvCustomTabControl::SetMargin(int32_t Value) {
  if (Value >= 0) Change(FMargin, Value, true);
}
void TKvCustomTabControl::SetRowIndent(int32_t Value) {
  if (Value >= 0) Change(FRowIndent, Value, true);
}
void TKvCustomTabControl::SetRowOverlap(int32_t Value) {
  if (Value >= 0) Change(FRowOverlap, Value, true);
}
void TKvCustomTabControl::SetTabHeight(int32_t Value) {
  if (Value >= 0) Change(FTabHeight, Value, true);
}
void TKvCustomTabControl::SetTabWidth(int32_t Value) {
  if (Value >= 0) Change(FTabWidth, Value, true);
}

void TKvCustomTabControl::SetShowCloseButton(bool Value) { Change(FShowCloseButton, Value, true); }
void TKvCustomTabControl::SetShowMenuButton(bool Value) { Change(FShowMenuButton, Value, true); }

void TKvCustomTabControl::SetShowFullFrame(bool Value) {
  if (Value == FShowFullFrame) return;
  FShowFullFrame = Value;
  if (!Value) FShowShadow = false;
  ReLayout();
}

void TKvCustomTabControl::SetShowShadow(bool Value) {
  if (Value == FShowShadow) return;
  FShowShadow = Value;
  if (Value) FShowFullFrame = true;
  ReLayout();
}

void TKvCustomTabControl::SetTabOrientation(TKvTabOrientation Value) {
  if (Value == FTabOrientation) return;
  FTabOrientation = Value;
  if (!Loading()) ReLayout();
}

void TKvCustomTabControl::SetTextOrientation(TOrientation Value) {
  if (Value == FTextOrientation) return;
  FTextOrientation = Value;
  if (Value == orVertical && !Loading() && !IsTrueTypeFont(Font())) Font()->SetName("Verdana");
  ReLayout();
}

void TKvCustomTabControl::SetFixedDimension(int32_t Value) {
  if (Value < 0 || Value == FFixedDimension) return;
  FFixedDimension = Value;
  ReLayout();
}

void TKvCustomTabControl::SetRegionCacheCapacity(int32_t Value) { FRegionCache.SetCapacity(Value); }

void TKvCustomTabControl::SetImages(TCustomImageList* Value) {
  if (Value == FImages) return;
  if (FImages) {
    FImages->UnRegisterChanges(&FImageChangeLink);
    FImages->RemoveFreeNotification(this);
  }
  FImages = Value;
  if (FImages) {
    FImages->RegisterChanges(&FImageChangeLink);
    FImages->FreeNotification(this);
  }
  ReLayout();
}

void TKvCustomTabControl::ImageListChange(TComponent*) { ReLayout(); }

void TKvCustomTabControl::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FImages) {
    FImages = nullptr;
    if (!Destroying()) ReLayout();
  }
}

void TKvCustomTabControl::CMFontChanged() {
  TCustomControl::CMFontChanged();
  ReLayout();
}

void TKvCustomTabControl::CMColorChanged() {
  if (FUseColoredTabs) {
    NotifyControls(CM_PARENTCOLORCHANGED);
    return;
  }
  TCustomControl::CMColorChanged();
}

void TKvCustomTabControl::CMParentColorChanged() {
  TCustomControl::CMParentColorChanged();
  if (FParentBackgroundColor && Parent()) {
    FBackgroundColor = Parent()->Color();
    Invalidate();
  }
}

void TKvCustomTabControl::CMEnabledChanged() {
  TCustomControl::CMEnabledChanged();
  for (TKvTabButtonBase* C : SmallControls()) C->Invalidate();
}

void TKvCustomTabControl::WMSize() {
  FNeedsLayout = true;
  EnsureLayout();
  TCustomControl::WMSize();
}

void TKvCustomTabControl::AdjustClientRect(TRect& Rect) {
  TRect R = DisplayRect();
  if (FShowFullFrame) {
    ++R.Left;
    ++R.Top;
    if (ShadowShown()) {
      R.Right -= 2;
      R.Bottom -= 2;
    }
  } else if (FShowCardFrame) {
    if (FTabOrientation == toTop) ++R.Top;
    ++R.Right;
    ++R.Bottom;
  } else {
    switch (FTabOrientation) {
      case toLeft: --R.Left; break;
      case toBottom: ++R.Bottom; break;
      case toRight: ++R.Right; break;
      default: break;
    }
    ++R.Right;
    ++R.Bottom;
  }
  Rect = R;
}
