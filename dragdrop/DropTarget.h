#pragma once
// Drop targets: windowed controls that take what other programs drag onto them.
//
// A drop target registers windowed controls (Target, or Register for more than one)
// and turns the drags over them into its events, in this order for one drag: OnEnter
// once, OnGetDropEffect and OnDragOver on every move, OnScroll on every auto-scroll
// step, then OnDrop or OnLeave. A drag whose data offers no usable format, or whose
// OnEnter leaves the effect at 0, is refused: its moves and its drop raise nothing,
// only OnLeave comes when it leaves.
//
// The effect of a point and the keys held (GetValidDropEffect): of the effects both
// Dragtypes allows and the source offers, Ctrl+Shift gives link, Ctrl copy, anything
// else move; when that one is not allowed, the first allowed of copy, move and link;
// none gives 0. The events may change it.
//
// A drop is always a copy: whatever effect the events settle on, the source is told
// "copied" when it is not 0, so it never deletes what was dropped. A source that does
// not offer copying is refused.
//
// Auto-scroll: over a control with scroll bars, a point outside the scroll zone (the
// client area less a scroll bar's thickness at the scrolling edges) adds
// DROPEFFECT_SCROLL to the effect and, 50 ms later, starts stepping the control's scroll
// bar one line towards that edge every 50 ms (a TTimer), until the point is back inside.
//
// Pasting (PasteFromClipboard, or Assign from the clipboard) takes what the clipboard
// holds as a drop at (0, 0) with no keys: OnDrop fires with the effect the source
// prefers, a move when a file manager cut the files and a copy otherwise (Dragtypes
// plays no part). A clipboard with nothing usable raises nothing.
//
// The drag image is drawn by the desktop, so ShowImage has nothing to do. The data of
// the drag or the paste (DataObject) can be read during its events only.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "dragdrop/DragDrop.h"
#include "platform/gui/DropSite.h"

class TTimer;

using TDragTypes = uint8_t;
enum : TDragTypes { dtCopy = 1, dtMove = 2, dtLink = 4 };

using TScrolDirections = uint8_t;
enum : TScrolDirections { sdUp = 1, sdDown = 2, sdLeft = 4, sdRight = 8 };

// Effect: DROPEFFECT_ bits; APoint in the target's client coordinates.
using TDropTargetEvent =
    std::function<void(TComponent* Sender, TShiftState ShiftState, TPoint APoint, uint32_t& Effect)>;
using TDropTargetScrollEvent =
    std::function<void(TComponent* Sender, TPoint Point, TScrolDirections& Scroll, int32_t& Interval)>;

// The registered controls, in registration order (a control follows a registered
// ancestor of it).
using TControlList = std::vector<TWinControl*>;

// Milliseconds before the first auto-scroll step and between steps.
inline constexpr uint32_t DragDropScrollDelay = 50;
inline constexpr uint32_t DragDropScrollInterval = 50;

class TCustomDropTarget : public TDragDropComponent, private IDropSiteHandler {
public:
  explicit TCustomDropTarget(TComponent* AOwner);
  ~TCustomDropTarget() override;
  void BeforeDestruction() override;

  TDragTypes Dragtypes() const { return FDragtypes; }
  void SetDragtypes(TDragTypes Value) { FDragtypes = Value; }
  // Fetch the data when the drag enters (so OnEnter sees it) instead of at the drop.
  bool GetDataOnEnter() const { return FGetDataOnEnter; }
  void SetGetDataOnEnter(bool Value) { FGetDataOnEnter = Value; }
  bool ShowImage() const { return FShowImage; }
  void SetShowImage(bool Value) { FShowImage = Value; }
  bool AutoScroll() const { return FAutoScroll; }
  void SetAutoScroll(bool Value) { FAutoScroll = Value; }
  // A move that is dropped counts as a copy.
  bool OptimizedMove() const { return FOptimizedMove; }
  void SetOptimizedMove(bool Value) { FOptimizedMove = Value; }
  bool MultiTarget() const { return FMultiTarget; }
  void SetMultiTarget(bool Value) { FMultiTarget = Value; }

  // The control under the drag during a drag; otherwise the first registered control.
  TWinControl* Target() const;
  // Leaves Value as the only registered control (nullptr: none).
  void SetTarget(TWinControl* Value);
  // Registers ATarget; unless MultiTarget (or while loading), the others go first.
  void Register(TWinControl* ATarget);
  // Unregisters ATarget; nullptr unregisters every control.
  void Unregister(TWinControl* ATarget = nullptr);
  const TControlList& Targets() const { return FTargets; }

  const IDataObject* DataObject() const { return FDataObject; }

  // Takes the clipboard's contents as a drop; the effect performed, 0 when nothing was
  // taken (then OnDrop does not fire).
  uint32_t PasteFromClipboard();
  // The clipboard (TClipboard) is pasted. Drag data (an IDataObject, as TMimeDataObject
  // is) is read as a drop would read it, without raising OnDrop; EConvertError when it
  // holds nothing usable, as for any other Source.
  void Assign(const TPersistent& Source) override;

  TDropTargetEvent OnEnter;
  TDropTargetEvent OnDragOver;
  TNotifyEvent OnLeave;
  TDropTargetEvent OnDrop;
  TDropTargetEvent OnGetDropEffect;
  TDropTargetScrollEvent OnScroll;

protected:
  virtual void DoEnter(TShiftState ShiftState, TPoint Point, uint32_t& Effect);
  virtual void DoDragOver(TShiftState ShiftState, TPoint Point, uint32_t& Effect);
  // Fires OnDrop; then a move becomes a copy under OptimizedMove.
  virtual void DoDrop(TShiftState ShiftState, TPoint Point, uint32_t& Effect);
  virtual void DoLeave();
  // A paste: DoDrop with no keys at (0, 0), then SetPasteSucceeded unless Effect is 0.
  virtual void DoPaste(uint32_t& Effect);
  virtual void DoScroll(TPoint Point, TScrolDirections& Scroll, int32_t& Interval);
  // Clears, then reads the data of the drag; true when something was read.
  virtual bool GetData();
  virtual bool DoGetData() = 0;
  virtual void ClearData() = 0;
  virtual uint32_t GetValidDropEffect(TShiftState ShiftState, TPoint Point, uint32_t Offered);
  // The registered control that Control is, or lies in; nullptr when none.
  virtual TWinControl* FindTarget(TWinControl* Control) const;
  virtual bool HasValidFormats(const IDataObject& DataObject) = 0;
  // The effect the source of DataObject asks for: the cut or copy that GNOME's file
  // managers note on the clipboard; 0 when it says nothing.
  virtual uint32_t GetPreferredDropEffect() const;
  // Would tell the source of a paste what was done; a Linux clipboard has nowhere to
  // take it, so nothing is written.
  virtual void SetPasteSucceeded(uint32_t Effect);
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  uint32_t SiteDragEnter(TDropSite* Site, const TDragInfo& Info) override;
  uint32_t SiteDragOver(TDropSite* Site, const TDragInfo& Info) override;
  void SiteDragLeave(TDropSite* Site) override;
  uint32_t SiteDrop(TDropSite* Site, const TDragInfo& Info) override;
  uint32_t DragEnter(TDropSite* Site, const TDragInfo& Info);
  uint32_t Drop(const TDragInfo& Info);
  void EndDrag();
  TDropSite* SiteOf(const TWinControl* Control) const;
  void StartScrollTimer(uint32_t Interval);
  void ScrollTimerTick(TComponent* Sender);

  TDragTypes FDragtypes = dtCopy;
  bool FGetDataOnEnter = false;
  bool FShowImage = true;
  bool FAutoScroll = true;
  bool FOptimizedMove = false;
  bool FMultiTarget = false;
  TControlList FTargets;
  std::vector<std::unique_ptr<TDropSite>> FSites;
  // The drag in progress.
  TWinControl* FCurrentTarget = nullptr;
  const IDataObject* FDataObject = nullptr;
  bool FDragAccepted = false;
  TPoint FLastPoint;
  TDropScrollBars FScrollBars = 0;
  TRect FScrollZone;
  TTimer* FScrollTimer;
};

// A drop target reading through data formats (DataFormats): a drag is usable when one
// of them accepts one of its formats and finds a format it can read.
class TCustomDropMultiTarget : public TCustomDropTarget {
public:
  explicit TCustomDropMultiTarget(TComponent* AOwner);
  // Frees the data formats still in DataFormats.
  ~TCustomDropMultiTarget() override;

  // Before a data format is used; Accept false passes it over.
  std::function<void(TComponent* Sender, TCustomDataFormat* DataFormat, bool& Accept)> OnAcceptFormat;

protected:
  bool HasValidFormats(const IDataObject& DataObject) override;
  bool DoGetData() override;
  void ClearData() override;
  virtual void DoAcceptFormat(TCustomDataFormat* DataFormat, bool& Accept);
};
