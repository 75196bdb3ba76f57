#pragma once
// Drops from other programs onto a windowed control.
//
// A TDropSite makes a control a place where what other programs drag (files from the
// file manager, text) can be dropped. It takes the drag's events on the control's host,
// or on the viewport of a scrolling host, and hands them to a handler in the class
// library's terms: the keys and buttons held, the point in the drop area's coordinates,
// the effects the source offers and the data it carries (valid during the call only).
//
// The handler answers enter, over and drop with the effect it would perform (0 refuses;
// DROPEFFECT_SCROLL and other bits are ignored). The source is told that effect only
// when it offered it; any other answer is a refusal, so a source is never told an
// effect it did not offer. The enter itself is always taken, because Qt sends the rest
// of a drag (moves, drop, leave) only to a widget that took its enter; what the source
// sees is the answer to the move that Qt sends right after the enter, and to the
// following moves and the drop. So a refused drag still gets its moves and its leave.
// An exception from the handler goes to Application->HandleException and the event
// counts as refused.
//
// A site lives shorter than its control: the component that made it destroys it when
// the control goes (FreeNotification). Destroying it stops drops on the control.

#include <cstdint>
#include <memory>

#include "platform/gui/Controls.h"
#include "platform/gui/DataObject.h"

// Drop effects: the bits a source offers and a target answers.
enum : uint32_t {
  DROPEFFECT_NONE = 0,
  DROPEFFECT_COPY = 1,
  DROPEFFECT_MOVE = 2,
  DROPEFFECT_LINK = 4,
  DROPEFFECT_SCROLL = 0x80000000,
};

// The scroll bars a drop area shows.
using TDropScrollBars = uint8_t;
enum : TDropScrollBars { dsbHorizontal = 1, dsbVertical = 2 };

class TDropSite;

struct TDragInfo {
  const IDataObject* DataObject = nullptr;
  TShiftState Shift = 0;  // ssShift, ssCtrl, ssAlt and the mouse buttons held
  TPoint Point;           // in the drop area's coordinates
  uint32_t Offered = 0;   // DROPEFFECT_COPY, _MOVE and _LINK as the source offers them
};

class IDropSiteHandler {
public:
  virtual ~IDropSiteHandler() = default;
  virtual uint32_t SiteDragEnter(TDropSite* Site, const TDragInfo& Info) = 0;
  virtual uint32_t SiteDragOver(TDropSite* Site, const TDragInfo& Info) = 0;
  virtual void SiteDragLeave(TDropSite* Site) = 0;
  virtual uint32_t SiteDrop(TDropSite* Site, const TDragInfo& Info) = 0;
};

class TDropSite {
public:
  TDropSite(TWinControl* Control, IDropSiteHandler* Handler);
  ~TDropSite();
  TDropSite(const TDropSite&) = delete;
  TDropSite& operator=(const TDropSite&) = delete;

  TWinControl* Control() const { return FControl; }
  // The widget that takes Control's drops: its host, or the host's viewport when the
  // host scrolls.
  static QWidget* DropWidgetOf(const TWinControl* Control);

  // The drop area in its own coordinates.
  TRect ClientRect() const;
  // The scroll bars the area shows now (a bar that is on, or that is needed because
  // there is something to scroll).
  TDropScrollBars ScrollBars() const;
  // The thickness of a scroll bar.
  int32_t ScrollBarSize() const;
  // Scrolls one line: vertically up or down (Forward), horizontally left or right.
  void ScrollLine(bool Vertical, bool Forward);

private:
  class TFilter;
  TWinControl* FControl;
  std::unique_ptr<TFilter> FFilter;
};
