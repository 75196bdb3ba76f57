#pragma once
// The tab control and the page control.
//
// TKvCustomTabControl draws a strip of tabs along one edge (toTop, toLeft, toBottom,
// toRight) in one of five shapes, in one row that scrolls or in several rows, and a
// "card" (the page area) that the selected tab opens onto. Everything is laid out as if
// the strip lay along the top with tabs running left to right ("layout coordinates":
// x along the strip, y across it, the card below y = strip thickness) and then mapped
// onto the control for the orientation and the sequence (tsReverse runs the tabs from
// the far end). Rows are numbered from the card outwards; selecting a tab in another row
// rotates the rows so that its row lies next to the card.
//
// Layout runs whenever something it depends on changes (not while loading) and on a
// change of size; the card changing moves the child controls (AdjustClientRect is the
// card less its frame). Painting goes to one off-screen bitmap per paint: background,
// the rows from back to front with the selected tab last, each tab clipped to its own
// polygon region, then the card joined to the selected tab, then the drop marker of a
// tab drag.
//
// Selection: TabIndex runs OnChanging (which may refuse) before another tab is chosen
// by the user or by the control's search for a selectable tab; the selected tab is
// kept visible and enabled at each layout. Hot tracking and per-tab hints follow the
// mouse with a 60 ms timer (TTimer, so tests drive it with the test clock).
//
// TKvPageControl shows one TKvTabSheet per visible tab; only the active page is shown.
// Docking pages in and out is not built.
//
// GUI thread only.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/Controls.h"
#include "platform/gui/Graphics.h"
#include "platform/gui/ImgList.h"
#include "widgets/KvCommon.h"

enum TKvTabStyle : uint8_t { tsSingleSlant, tsDoubleSlant, tsCutCorner, tsRoundCorners, tsBackSlant };
enum TKvTabOrientation : uint8_t { toTop, toLeft, toBottom, toRight };
enum TKvTabSequence : uint8_t { tsStandard, tsReverse };
enum TKvImagePosition : uint8_t { ipLeft, ipTop, ipRight, ipBottom, ipBack, ipStretch };
enum TKvHorizontalAlignment : uint8_t { haLeft, haCenter, haRight };
enum TKvVerticalAlignment : uint8_t { vaTop, vaCenter, vaBottom };
enum TKvTabHotTrackStyle : uint8_t { htsTab, htsText };
enum TKvTextStyle : uint8_t { tsHotTrack, tsSelected, tsUnselected, tsDisabledHighlight, tsDisabledShadow };

// Raised by the tab and page controls with an English message.
class EKvTabControlError : public Exception {
public:
  using Exception::Exception;
};

class TKvCustomTabControl;
class TKvPageControl;
class TPopupMenu;

// A caption's lines (split at CR LF), and a line as shown: its first '&' marks the
// accelerator and goes ("&&" leaves one '&').
std::vector<std::string> TabCaptionLines(const std::string& Caption);
std::string TabShownLine(const std::string& Line);

// ---------------------------------------------------------------------------
// Tab data

// One shown tab. TabRect and Row are the layout's (layout coordinates).
class TKvTabData : public TPersistent {
public:
  // Copies Caption, DisabledIndex, ImageIndex, Color, Enabled, Visible and Hint.
  void Assign(const TPersistent& Source) override;

  std::string Caption;  // "&" accelerators, CR LF line breaks
  TColor Color = clBtnFace;
  int32_t DisabledIndex = -1;
  bool Enabled = true;
  std::string Hint;
  int32_t ImageIndex = -1;
  TRect TabRect;
  bool Visible = true;
  int32_t Row = 0;

  // The image shown: a disabled tab's own image when it has one.
  int32_t ShownImageIndex() const { return !Enabled && DisabledIndex != -1 ? DisabledIndex : ImageIndex; }
};

class TKvTabDataList : public TPersistent {
public:
  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  TKvTabData* Items(int32_t Index) const { return FItems.at(static_cast<size_t>(Index)).get(); }
  TKvTabData* Add();
  void Clear() { FItems.clear(); }
  // Replaces item Index with a copy of Value (the old item goes).
  void SetItem(int32_t Index, const TKvTabData& Value);
  void Delete(int32_t Index);
  // Deep copy of another list.
  void Assign(const TPersistent& Source) override;

private:
  std::vector<std::unique_ptr<TKvTabData>> FItems;
};

// Colours of the tabs; each change repaints the owner.
class TKvTabColors : public TPersistent {
public:
  explicit TKvTabColors(TControl* AOwner) : FOwner(AOwner) {}
  void Assign(const TPersistent& Source) override;
  TColor HighlightBar() const { return FHighlightBar; }
  void SetHighlightBar(TColor Value) { Change(FHighlightBar, Value); }
  TColor Shadow() const { return FShadow; }
  void SetShadow(TColor Value) { Change(FShadow, Value); }
  TColor Unselected() const { return FUnselected; }
  void SetUnselected(TColor Value) { Change(FUnselected, Value); }

private:
  void Change(TColor& Field, TColor Value);
  TControl* FOwner;
  TColor FHighlightBar = clHighlight;
  TColor FShadow = clBtnFace;
  TColor FUnselected = clWindow;
};

class TKvTextColors : public TPersistent {
public:
  explicit TKvTextColors(TControl* AOwner) : FOwner(AOwner) {}
  void Assign(const TPersistent& Source) override;
  TColor DisabledHighlight() const { return FDisabledHighlight; }
  void SetDisabledHighlight(TColor Value) { Change(FDisabledHighlight, Value); }
  TColor DisabledShadow() const { return FDisabledShadow; }
  void SetDisabledShadow(TColor Value) { Change(FDisabledShadow, Value); }
  TColor Selected() const { return FSelected; }
  void SetSelected(TColor Value) { Change(FSelected, Value); }
  TColor Unselected() const { return FUnselected; }
  void SetUnselected(TColor Value) { Change(FUnselected, Value); }

private:
  void Change(TColor& Field, TColor Value);
  TControl* FOwner;
  TColor FDisabledHighlight = clBtnHighlight;
  TColor FDisabledShadow = clBtnShadow;
  TColor FSelected = clBtnText;
  TColor FUnselected = clBtnText;
};

// Polygon regions of the tabs, looked up by the tab's rectangle in the control; the
// most recently used first. Capacity -1 keeps every region.
class TKvTabRegionCache {
public:
  // nullptr when there is none for R; a hit moves to the front.
  const TRegion* Find(const TRect& R);
  const TRegion* Insert(const TRect& R, TRegion Region);
  void Clear() { FItems.clear(); }
  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  int32_t Capacity() const { return FCapacity; }
  // Raises EKvTabControlError for 0 and values below -1; trims from the end.
  void SetCapacity(int32_t Value);

private:
  void Trim();
  struct TItem {
    TRect Rect;
    TRegion Region;
  };
  std::vector<TItem> FItems;
  int32_t FCapacity = 1;
};

// ---------------------------------------------------------------------------
// The small controls on the strip: scroller, close button and menu button

// Press, capture and release of a small strip button: the action fires at a release
// over the pressed part.
class TKvTabButtonBase : public TCustomControl {
public:
  TKvTabButtonBase(TComponent* AOwner, TKvCustomTabControl* ATabControl);
  TColor FrameColor() const { return FFrameColor; }
  void SetFrameColor(TColor Value);
  bool Pressed() const { return FPressed; }
  bool MouseInside() const { return FMouseInside; }

protected:
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void WMEraseBkgnd(TCanvas*) override {}
  // Whether (X, Y) lies on the pressed part.
  virtual bool OnPressedPart(int32_t X, int32_t Y) const;
  virtual void PressStarted(int32_t X, int32_t Y) { (void)X, (void)Y; }
  virtual void PressEnded() {}
  virtual void Action() = 0;
  // A face in R: FrameColor outline around a flat or gradient fill.
  void PaintFace(TCanvas* Canvas, const TRect& R, bool Down) const;

  TKvCustomTabControl* FTabControl;

private:
  TColor FFrameColor = clBtnShadow;
  bool FPressed = false;
  bool FMouseInside = false;
};

// Two arrows sharing their middle pixel; a press repeats after 400 ms, then every 100 ms
// while the mouse stays over the pressed arrow.
class TKvTabScroller : public TKvTabButtonBase {
public:
  TKvTabScroller(TComponent* AOwner, TKvCustomTabControl* ATabControl);
  TOrientation Orientation() const { return FOrientation; }
  void SetOrientation(TOrientation Value);
  // 0 down/left, 1 up/right.
  int32_t PressedPart() const { return FPressedPart; }

  TNotifyEvent OnUpRightClick;
  TNotifyEvent OnDownLeftClick;

  static constexpr uint32_t InitialDelay = 400;
  static constexpr uint32_t RepeatDelay = 100;

protected:
  void Paint() override;
  bool OnPressedPart(int32_t X, int32_t Y) const override;
  void PressStarted(int32_t X, int32_t Y) override;
  void PressEnded() override;
  void Action() override;

private:
  void RepeatTimer(TComponent* Sender);
  TRect Half(int32_t Part) const;

  TOrientation FOrientation = orHorizontal;
  int32_t FPressedPart = 0;
  TTimer* FTimer = nullptr;
};

class TKvTabCloseButton : public TKvTabButtonBase {
public:
  using TKvTabButtonBase::TKvTabButtonBase;
  TNotifyEvent OnClose;

protected:
  void Paint() override;
  void Action() override;
};

// Lists the visible tabs in a popup menu, opened from the button's corner towards the
// card; choosing an entry selects its tab (OnChanging may refuse).
class TKvTabMenuButton : public TKvTabButtonBase {
public:
  TKvTabMenuButton(TComponent* AOwner, TKvCustomTabControl* ATabControl);

protected:
  void Paint() override;
  void Action() override;

private:
  // Where the menu opens, in the button's client coordinates.
  TPoint PopupCorner() const;
  void FillMenu();
  void ItemClick(TComponent* Sender);

  TPopupMenu* FMenu;
};

// ---------------------------------------------------------------------------
// The tab control

using TKvTabChangingEvent = std::function<void(TComponent* Sender, int32_t NewIndex, bool& AllowChange)>;
using TKvTabCloseEvent = std::function<void(TComponent* Sender, bool& AllowClose)>;
using TKvTabOrderChangeEvent = std::function<void(TComponent* Sender, int32_t OldIndex, int32_t NewIndex)>;
using TKvGetTabTextColorEvent =
    std::function<void(TComponent* Sender, int32_t TabIndex, TKvTextStyle TextStyle, TColor& Color, bool& Handled)>;
using TKvPaintBackgroundEvent =
    std::function<void(TComponent* Sender, TCanvas* Canvas, const TRect& Rect, bool& Handled)>;
using TKvPaintCardBackgroundEvent =
    std::function<void(TComponent* Sender, TCanvas* Canvas, int32_t Row, const TRect& Rect, bool& Handled)>;
using TKvPaintTabBackgroundEvent =
    std::function<void(TComponent* Sender, TCanvas* Canvas, int32_t TabIndex, const TRect& Rect, bool& Handled)>;

class TKvCustomTabControl : public TCustomControl {
  friend class TKvTabScroller;

public:
  explicit TKvCustomTabControl(TComponent* AOwner);
  ~TKvCustomTabControl() override;
  void BeforeDestruction() override;
  void Loaded() override;

  // Properties. A change lays out again or repaints; negative sizes are ignored.
  bool AlignTabs() const { return FAlignTabs; }
  void SetAlignTabs(bool Value);
  bool AllowTabDragging() const { return FAllowTabDragging; }
  void SetAllowTabDragging(bool Value) { FAllowTabDragging = Value; }
  // Follows the parent's Color while ParentBackgroundColor.
  TColor BackgroundColor() const { return FBackgroundColor; }
  void SetBackgroundColor(TColor Value);
  bool ParentBackgroundColor() const { return FParentBackgroundColor; }
  void SetParentBackgroundColor(bool Value);
  bool BoldCurrentTab() const { return FBoldCurrentTab; }
  void SetBoldCurrentTab(bool Value);
  int32_t CutCornerSize() const { return FCutCornerSize; }
  void SetCutCornerSize(int32_t Value);
  // The outline colour (with FlatColorAdjustment applied to its luminance).
  TColor FlatColor() const { return FFlatColor; }
  void SetFlatColor(TColor Value);
  int32_t FlatColorAdjustment() const { return FFlatColorAdjustment; }
  void SetFlatColorAdjustment(int32_t Value);
  bool HotTrack() const { return FHotTrack; }
  void SetHotTrack(bool Value);
  TColor HotTrackColor() const { return FHotTrackColor; }
  void SetHotTrackColor(TColor Value);
  TKvHotTrackColorType HotTrackColorType() const { return FHotTrackColorType; }
  void SetHotTrackColorType(TKvHotTrackColorType Value);
  TKvTabHotTrackStyle HotTrackStyle() const { return FHotTrackStyle; }
  void SetHotTrackStyle(TKvTabHotTrackStyle Value);
  TKvHorizontalAlignment ImageAlignment() const { return FImageAlignment; }
  void SetImageAlignment(TKvHorizontalAlignment Value);
  TKvVerticalAlignment ImageAlignmentVertical() const { return FImageAlignmentVertical; }
  void SetImageAlignmentVertical(TKvVerticalAlignment Value);
  int32_t ImageMargin() const { return FImageMargin; }
  void SetImageMargin(int32_t Value);
  TKvImagePosition ImagePosition() const { return FImagePosition; }
  void SetImagePosition(TKvImagePosition Value);
  TCustomImageList* Images() const { return FImages; }
  void SetImages(TCustomImageList* Value);
  // Room before the first tab.
  int32_t Margin() const { return FMargin; }
  void SetMargin(int32_t Value);
  bool MultiLine() const { return FMultiLine; }
  void SetMultiLine(bool Value);
  int32_t RowIndent() const { return FRowIndent; }
  void SetRowIndent(int32_t Value);
  int32_t RowOverlap() const { return FRowOverlap; }
  void SetRowOverlap(int32_t Value);
  bool ShowCardFrame() const { return FShowCardFrame; }
  void SetShowCardFrame(bool Value);
  bool ShowCloseButton() const { return FShowCloseButton; }
  void SetShowCloseButton(bool Value);
  bool ShowMenuButton() const { return FShowMenuButton; }
  void SetShowMenuButton(bool Value);
  bool ShowFocusRect() const { return FShowFocusRect; }
  void SetShowFocusRect(bool Value);
  // False also clears ShowShadow.
  bool ShowFullFrame() const { return FShowFullFrame; }
  void SetShowFullFrame(bool Value);
  // True also sets ShowFullFrame.
  bool ShowShadow() const { return FShowShadow; }
  void SetShowShadow(bool Value);
  bool SoftCorners() const { return FSoftCorners; }
  void SetSoftCorners(bool Value);
  TKvTabColors* TabColors() const { return FTabColors.get(); }
  void SetTabColors(const TKvTabColors* Value) { FTabColors->Assign(*Value); }
  // The fixed extent of every tab across (TabHeight) or along (TabWidth) a horizontal
  // strip when above 0; on vertical strips TabWidth is across and TabHeight along.
  int32_t TabHeight() const { return FTabHeight; }
  void SetTabHeight(int32_t Value);
  int32_t TabWidth() const { return FTabWidth; }
  void SetTabWidth(int32_t Value);
  bool TabHints() const { return FTabHints; }
  void SetTabHints(bool Value);
  // -1 for none. A value outside the tabs gives -1.
  int32_t TabIndex() const { return FTabIndex; }
  void SetTabIndex(int32_t Value);
  TKvTabOrientation TabOrientation() const { return FTabOrientation; }
  void SetTabOrientation(TKvTabOrientation Value);
  // The overlap term of tsCutCorner and tsRoundCorners tabs (-1 leaves a gap).
  int32_t TabOverlap() const { return FTabOverlap; }
  void SetTabOverlap(int32_t Value);
  TKvTabSequence TabSequence() const { return FTabSequence; }
  void SetTabSequence(TKvTabSequence Value);
  TKvTabStyle TabStyle() const { return FTabStyle; }
  void SetTabStyle(TKvTabStyle Value);
  TKvHorizontalAlignment TextAlignment() const { return FTextAlignment; }
  void SetTextAlignment(TKvHorizontalAlignment Value);
  TKvVerticalAlignment TextAlignmentVertical() const { return FTextAlignmentVertical; }
  void SetTextAlignmentVertical(TKvVerticalAlignment Value);
  TKvTextColors* TextColors() const { return FTextColors.get(); }
  void SetTextColors(const TKvTextColors* Value) { FTextColors->Assign(*Value); }
  // Vertical text needs a font that can be turned: other fonts become "Verdana".
  TOrientation TextOrientation() const { return FTextOrientation; }
  void SetTextOrientation(TOrientation Value);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool Value);
  // Tabs (and the card) in their own colours instead of the control's.
  bool UseColoredTabs() const { return FUseColoredTabs; }
  void SetUseColoredTabs(bool Value);
  bool UseGradients() const { return FUseGradients; }
  void SetUseGradients(bool Value);
  int32_t RegionCacheCapacity() const { return FRegionCache.Capacity(); }
  void SetRegionCacheCapacity(int32_t Value);

  // Layout results.
  int32_t TabCount() const { return FTabs.Count(); }
  const TKvTabData* Tab(int32_t Index) const { return FTabs.Items(Index); }
  // The tabs' extent across the strip; the layout sets it from the tab sizes.
  int32_t FixedDimension() const { return FFixedDimension; }
  void SetFixedDimension(int32_t Value);
  int32_t RowCount() const { return FRowCount; }
  TRect StripRect() const;
  // The card of Row (0: the one the selected tab opens onto), in the control.
  TRect CardRect(int32_t Row) const;
  TRect DisplayRect() const { return CardRect(0); }
  // Tab Index in the control (before clipping).
  TRect TabControlRect(int32_t Index) const;
  // The tab's outline in the control, first point to last.
  std::vector<TPoint> TabPolygon(int32_t Index) const;
  // The tab under P (client coordinates), -1 for none.
  int32_t TabAtPos(const TPoint& P);
  // Single-row scrolling.
  bool ScrollNeeded() const { return FScrollNeeded; }
  int32_t FirstShownTab() const { return FFirstShown; }
  bool TabInView(int32_t Index) const;
  void ScrollForward();
  void ScrollBack();
  bool CanScrollForward() const;
  bool CanScrollBack() const;
  // The tab under the mouse while hot tracking, else -1.
  int32_t HotTab() const { return FHotTab; }
  // The tab a drag would drop on (the marker shows there), else -1.
  int32_t DropTarget() const { return FDropTarget; }
  bool Dragging() const { return FDragging; }
  TKvTabScroller* Scroller() const { return FScroller; }
  TKvTabCloseButton* CloseButton() const { return FCloseButton; }
  TKvTabMenuButton* MenuButton() const { return FMenuButton; }
  // Lays out now when something changed since the last layout.
  void EnsureLayout();

  TKvTabChangingEvent OnChanging;
  TNotifyEvent OnChange;
  TNotifyEvent OnPageChange;
  TNotifyEvent OnTabClick;
  TKvTabCloseEvent OnClose;
  TKvTabOrderChangeEvent OnTabOrderChange;
  TKvGetTabTextColorEvent OnGetTextColor;
  TKvPaintBackgroundEvent OnPaintBackground;
  TKvPaintCardBackgroundEvent OnPaintCardBackground;
  TKvPaintTabBackgroundEvent OnPaintTabBackground;

  static constexpr uint32_t HotTrackInterval = 60;
  static constexpr uint32_t DragScrollDelay = 400;
  static constexpr uint32_t DragScrollInterval = 300;

protected:
  TKvTabDataList& Tabs() { return FTabs; }
  // The tabs changed: lay out again and keep the selection valid.
  virtual void TabsChanged() { ReLayout(); }
  // Whether tab Index may be selected: visible, enabled, and not refused by OnChanging.
  virtual bool CanChange(int32_t Index);
  // After TabIndex changed: OnChange, then OnPageChange.
  virtual void Change();
  // The close button's approved request; nothing here.
  virtual void CloseSelectedTab() {}
  // A dropped drag: the selected tab goes to tab NewIndex's place; nothing here.
  virtual void MoveSelectedTab(int32_t NewIndex) { (void)NewIndex; }
  // The selection search of each layout.
  virtual void KeepSelectionValid();
  // The card's fill unless a handler paints it.
  virtual TColor CardColor() const;
  // Selecting while the control picks a tab itself: no OnChanging.
  void SelectTab(int32_t Index);
  // Sets the needs-layout flag, lays out (not while loading) and repaints.
  void ReLayout();

  void Paint() override;
  void WMEraseBkgnd(TCanvas*) override {}
  void AdjustClientRect(TRect& Rect) override;
  void WMSize() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  uint32_t WMGetDlgCode() override { return DLGC_WANTARROWS; }
  bool CMDialogChar(char32_t Char, TShiftState Shift) override;
  void WMSetFocus(TFocusReason Reason) override;
  void WMKillFocus(TFocusReason Reason) override;
  void CMMouseEnter() override;
  void CMMouseLeave() override;
  void CMFontChanged() override;
  void CMColorChanged() override;
  void CMParentColorChanged() override;
  void CMEnabledChanged() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  template <class T>
  void Change(T& Field, T Value, bool Layout);
  void ImageListChange(TComponent* Sender);
  void UpdateSmallControlColors();
  // The scroller and the buttons made so far.
  std::vector<TKvTabButtonBase*> SmallControls() const;

  // Layout (KvTabsLayout.cpp).
  bool HorizontalStrip() const { return FTabOrientation == toTop || FTabOrientation == toBottom; }
  bool VerticalText() const { return FTextOrientation == orVertical; }
  bool ShadowShown() const { return FTabOrientation == toTop && FTabSequence == tsStandard && FShowShadow; }
  int32_t Slant(int32_t X) const;
  int32_t StripThickness() const;
  int32_t StripLength() const;
  TSize TextSize(const std::string& Caption, bool Bold) const;
  TSize ContentSize(int32_t Index) const;
  TSize TabSizeFor(TSize Content) const;
  int32_t PlaceTabs(const std::vector<int32_t>& Lengths, int32_t Available, bool Commit);
  void AlignRows(int32_t Available);
  void RotateRows();
  int32_t AvailableLength(int32_t Rows) const;
  void Layout();
  void SetFirstShownAfterLayout(int32_t OldFirst);
  void SelectTabInView();

  // Shapes and scrolling (KvTabsShapes.cpp).
  int32_t Offset() const;
  TPoint MapPoint(int32_t X, int32_t Y) const;
  TRect LayoutTabRect(int32_t Index) const;
  TRegion TabRegion(int32_t Index);
  // Room at the end of the strip for a shown button (its size + 2), for both buttons.
  int32_t ButtonReserve(bool Shown) const;
  int32_t ButtonReserve() const { return ButtonReserve(FShowCloseButton) + ButtonReserve(FShowMenuButton); }
  // The size of the buttons and the scroller's arrows, measured at each layout.
  int32_t SmallControlSize() const { return FSmallSize; }
  int32_t MeasureSmallControlSize() const;
  int32_t FirstVisible() const;
  int32_t LastVisible() const;
  bool ScrollsForward(bool UpRight) const;
  void PlaceSmallControls();
  void ScrollerUpRight(TComponent* Sender);
  void ScrollerDownLeft(TComponent* Sender);
  void CloseButtonClose(TComponent* Sender);

  // Painting (KvTabsPaint.cpp).
  struct TOutline;
  void SetTabFont(TCanvas* Canvas, bool Bold, bool Underline = false) const;
  void PaintTabsAndCards(TCanvas* Canvas);
  void PaintTab(TCanvas* Canvas, int32_t Index, TOutline& Outline);
  void PaintTabBackground(TCanvas* Canvas, int32_t Index, const TRect& R);
  void PaintTabContents(TCanvas* Canvas, int32_t Index, const TRect& R);
  TRect ContentRect(const TRect& R) const;
  void PaintCaption(TCanvas* Canvas, const std::string& Caption, const TRect& Area, TColor Color, bool Bold);
  void PaintCaptionLine(TCanvas* Canvas, const std::string& Line, TPoint At, TColor Color, bool Bold);
  void PaintHotTrackBar(TCanvas* Canvas, const TRect& R, TColor Color) const;
  void PaintFocus(TCanvas* Canvas, const TRect& R) const;
  void PaintCard(TCanvas* Canvas, int32_t Row, TOutline& Outline);
  void AddCardFrame(int32_t Row, TOutline& Outline) const;
  void Replay(TCanvas* Canvas, const TOutline& Outline);
  void PaintDropMarker(TCanvas* Canvas);
  TColor TextColor(int32_t Index, TKvTextStyle Style, TColor Default);

  // Behaviour (KvTabsInput.cpp).
  int32_t FindSelectable(int32_t Start, int32_t Step, int32_t Tries);
  void StartHotTracking(int32_t Index);
  void EndHotTracking(bool RestoreHint = true);
  void ReplaceHint(const std::string& Value);
  void HotTrackTimer(TComponent* Sender);
  void UpdateDrag(int32_t X, int32_t Y);
  void EndDrag();
  void DragScrollTimer(TComponent* Sender);

  TKvTabDataList FTabs;
  std::unique_ptr<TKvTabColors> FTabColors;
  std::unique_ptr<TKvTextColors> FTextColors;
  TKvTabRegionCache FRegionCache;
  TChangeLink FImageChangeLink;
  TCustomImageList* FImages = nullptr;
  TKvTabScroller* FScroller = nullptr;
  TKvTabCloseButton* FCloseButton = nullptr;
  TKvTabMenuButton* FMenuButton = nullptr;

  bool FAlignTabs = false;
  bool FAllowTabDragging = false;
  TColor FBackgroundColor = clBtnFace;
  bool FParentBackgroundColor = true;
  bool FBoldCurrentTab = false;
  int32_t FCutCornerSize = 6;
  TColor FFlatColor = clBtnShadow;
  int32_t FFlatColorAdjustment = 0;
  bool FHotTrack = true;
  TColor FHotTrackColor = 0x149BF0;
  TKvHotTrackColorType FHotTrackColorType = htctActual;
  TKvTabHotTrackStyle FHotTrackStyle = htsTab;
  TKvHorizontalAlignment FImageAlignment = haCenter;
  TKvVerticalAlignment FImageAlignmentVertical = vaCenter;
  int32_t FImageMargin = 2;
  TKvImagePosition FImagePosition = ipLeft;
  int32_t FMargin = 0;
  bool FMultiLine = false;
  int32_t FRowIndent = 5;
  int32_t FRowOverlap = 5;
  bool FShowCardFrame = true;
  bool FShowCloseButton = false;
  bool FShowMenuButton = false;
  bool FShowFocusRect = true;
  bool FShowFullFrame = true;
  bool FShowShadow = true;
  bool FSoftCorners = false;
  int32_t FTabHeight = 0;
  int32_t FTabWidth = 0;
  bool FTabHints = false;
  int32_t FTabIndex = -1;
  TKvTabOrientation FTabOrientation = toTop;
  int32_t FTabOverlap = -1;
  TKvTabSequence FTabSequence = tsStandard;
  TKvTabStyle FTabStyle = tsSingleSlant;
  TKvHorizontalAlignment FTextAlignment = haCenter;
  TKvVerticalAlignment FTextAlignmentVertical = vaCenter;
  TOrientation FTextOrientation = orHorizontal;
  bool FTransparent = false;
  bool FUseColoredTabs = false;
  bool FUseGradients = true;

  bool FNeedsLayout = true;
  bool FInLayout = false;
  bool FScrollNeeded = false;
  int32_t FFirstShown = -1;
  int32_t FFixedDimension = 0;
  int32_t FSmallSize = 0;
  int32_t FRowCount = 1;
  TRect FLastDisplayRect;
  bool FSelecting = false;

  // Hot tracking and hints.
  int32_t FHotTab = -1;
  TTimer* FHotTimer = nullptr;
  bool FMouseInside = false;
  TPoint FMousePos;
  bool FHintReplaced = false;
  std::string FSavedHint;

  // Dragging.
  int32_t FMouseDownTab = -1;
  TPoint FMouseDownPos;
  bool FDragging = false;
  int32_t FDropTarget = -1;
  TTimer* FDragTimer = nullptr;
};

// A tab control whose tabs the program sets itself.
class TKvTabControl : public TKvCustomTabControl {
public:
  using TKvCustomTabControl::TKvCustomTabControl;
  // The tabs; call TabsChanged after changing them.
  TKvTabDataList& Tabs() { return TKvCustomTabControl::Tabs(); }
  void TabsChanged() override { TKvCustomTabControl::TabsChanged(); }
};

// ---------------------------------------------------------------------------
// Pages

class TKvTabSheet : public TCustomControl {
  friend class TKvPageControl;

public:
  explicit TKvTabSheet(TComponent* AOwner);
  void BeforeDestruction() override;

  TKvPageControl* PageControl() const { return FPageControl; }
  // Moves the sheet to another page control (nullptr: to none).
  void SetPageControl(TKvPageControl* Value);
  // A page control as parent joins it; another parent leaves it.
  void SetParent(TWinControl* AParent) override;
  // Only the page control shows and hides its pages: raises EKvTabControlError.
  void SetVisible(bool Value) override;

  int32_t DisabledIndex() const { return FDisabledIndex; }
  void SetDisabledIndex(int32_t Value);
  int32_t ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int32_t Value);
  bool TabEnabled() const { return FTabEnabled; }
  void SetTabEnabled(bool Value);
  bool TabVisible() const { return FTabVisible; }
  void SetTabVisible(bool Value);
  // Position among all pages of the control; raises EKvTabControlError outside them.
  int32_t PageIndex() const;
  void SetPageIndex(int32_t Value);
  // Position among the pages with a visible tab; -1 when its own tab is hidden.
  int32_t TabIndex() const;

  TKvPaintBackgroundEvent OnPaintBackground;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;

protected:
  void Paint() override;
  void WMEraseBkgnd(TCanvas*) override {}
  void CMTextChanged() override;
  void CMColorChanged() override;
  void CMShowingChanged() override;

private:
  void TabChanged();
  void ShowPage(bool Value);

  TKvPageControl* FPageControl = nullptr;
  int32_t FDisabledIndex = -1;
  int32_t FImageIndex = -1;
  bool FTabEnabled = true;
  bool FTabVisible = true;
  bool FWasShowing = false;
};

class TKvPageControl : public TKvCustomTabControl {
  friend class TKvTabSheet;

public:
  explicit TKvPageControl(TComponent* AOwner);
  void BeforeDestruction() override;
  void Loaded() override;

  int32_t PageCount() const { return static_cast<int32_t>(FPages.size()); }
  TKvTabSheet* Pages(int32_t Index) const { return FPages.at(static_cast<size_t>(Index)); }
  TKvTabSheet* ActivePage() const { return FActivePage; }
  // A page of another control is ignored; while loading only the reference is kept.
  void SetActivePage(TKvTabSheet* Page);
  // A page shown after loading instead of the ActivePage set while loading.
  TKvTabSheet* ActivePageDefault() const { return FActivePageDefault; }
  void SetActivePageDefault(TKvTabSheet* Page) { FActivePageDefault = Page; }
  // -1 without an active page; an index outside the pages sets none.
  int32_t ActivePageIndex() const;
  void SetActivePageIndex(int32_t Value);
  // The page after (or before) CurPage, wrapping; from no page the first going forward
  // and the last going back. nullptr when there is none.
  TKvTabSheet* FindNextPage(TKvTabSheet* CurPage, bool GoForward, bool CheckTabVisible) const;
  void SelectNextPage(bool GoForward, bool CheckTabVisible = true);
  // TabVisible of every page.
  void HideAllTabs() { SetAllTabsVisible(false); }
  void ShowAllTabs() { SetAllTabsVisible(true); }
  // Makes the page holding AControl (or AControl itself, a page) active.
  void ShowControl(TControl* AControl);

protected:
  void TabsChanged() override;
  void Change() override;
  void CloseSelectedTab() override;
  void MoveSelectedTab(int32_t NewIndex) override;
  void KeepSelectionValid() override;
  TColor CardColor() const override;
  bool CMDialogKey(uint16_t Key, TShiftState Shift) override;
  void CMColorChanged() override;
  void WMSetFocus(TFocusReason Reason) override;

private:
  void InsertPage(TKvTabSheet* Page);
  void RemovePage(TKvTabSheet* Page);
  void MovePage(TKvTabSheet* Page, int32_t NewIndex);
  void ChangeActivePage(TKvTabSheet* Page);
  void SetAllTabsVisible(bool Value);
  TKvTabSheet* PageForTab(int32_t TabIndex) const;
  void PageColorsFromControl();

  std::vector<TKvTabSheet*> FPages;
  TKvTabSheet* FActivePage = nullptr;
  TKvTabSheet* FActivePageDefault = nullptr;
  bool FHoldEvents = false;
};
