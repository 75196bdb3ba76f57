#pragma once
// The base of the standard controls built over a Qt widget class that paints itself
// (edits, memos, combo boxes, list views).
//
// Border band. With BorderStyle bsSingle the control keeps a band around its client
// area: two pixels with Ctl3D (a sunken edge), one without (a line in clWindowFrame);
// bsNone leaves none. Qt's widget works inside the band; the control paints the band
// itself in WMNCPaint, which the widget library overrides to draw its own frames.
// ClientRect and client coordinates (mouse positions, children) are those inside the
// band.
//
// Painting. Qt paints the widget; then WMNCPaint paints the band over it on a canvas
// covering the whole control, and PaintWindow paints on the client area (on top of
// what Qt painted; under a scroll area's viewport nothing of it shows). Invalidate
// repaints both.
//
// Input. The widget handles the mouse first, as a native control does, then the class
// library's events run (MouseDown, Click ...). A scroll area's viewport routes its
// mouse, wheel and context-menu events to the control too. Text controls show their
// own context menu (PopupEditMenu) as a TPopupMenu, through the dialog responder.

//
// Colour and font. Color is the widget's background (the palette's Base), the font's
// colour its text; selections use clHighlight and clHighlightText.

#include <cstdint>
#include <functional>

#include "platform/gui/Forms.h"

class TWidgetControl : public TWinControl {
public:
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  // bsNone or bsSingle.
  void SetBorderStyle(TBorderStyle Value);
  bool Ctl3D() const { return FCtl3D; }
  void SetCtl3D(bool Value);
  // The width of the band: 2, 1 or 0 (see above).
  int32_t BorderBand() const;
  TPoint ClientOffset() const override;

protected:
  TWidgetControl(TComponent* AOwner, IControlHost* AHost);

  TRect GetClientRect() const override;
  // Paints the band on Canvas, which covers the whole control (the client area starts
  // at ClientOffset()).
  virtual void WMNCPaint(TCanvas* Canvas);
  // After a change of BorderBand: the widget's inner margins follow (the band
  // included), then children move and realign. Overrides call the inherited one last.
  virtual void BorderChanged();

  bool HostEvent(QEvent* Event) override;
  void PaintHost(QPaintEvent* Event) override;
  // Qt's painting of the widget with all its child widgets (those of child controls
  // too) and the overlay.
  void PaintControl(QImage& Image, const TRegion& Clip, const TPoint& Origin) override;
  // Qt renders the child widgets with the widget, the hosts of child controls included.
  void PaintChildParts(QImage&, const TRect&) override {}
  void CMColorChanged() override;
  void CMFontChanged() override;
  void CMEnabledChanged() override;
  // Gives the widget (and Widget, when given) the control's colours and font.
  virtual void ApplyLook();
  void ApplyLookTo(QWidget* Widget) const;

  // The clipboard and undo commands (WM_CUT ...); the controls with text act on them.
  virtual void WMCut() {}
  virtual void WMCopy() {}
  virtual void WMPaste() {}
  virtual void WMClear() {}
  virtual void WMUndo() {}
  void Dispatch(TMessage& Message) override;

public:
  // What the edit menu offers.
  struct TEditMenuState {
    bool CanUndo = false;
    bool HasSelection = false;
    bool ReadOnly = false;
    bool CanSelectAll = false;
  };
  // The text controls' own context menu at Pos on the screen: Undo, Cut, Copy, Paste,
  // Delete (through WM_UNDO, WM_CUT, WM_COPY, WM_PASTE and WM_CLEAR, so a control can
  // refuse them) and Select All (SelectAll).
  void PopupEditMenu(const TPoint& Pos, const TEditMenuState& State, const std::function<void()>& SelectAll);
  // For the scroll-area hosts (WidgetHost.h), an event of the viewport: Preview runs
  // before the viewport's own handling and answers whether it used the event up (the
  // wheel and context menus go to the class library first); After runs after it (the
  // class library's mouse events).
  bool ViewportPreview(QWidget* Viewport, QEvent* Event);
  void ViewportAfter(QWidget* Viewport, QEvent* Event);

private:
  void PaintOverlay(const QRegion& Region);

  TBorderStyle FBorderStyle = bsSingle;
  bool FCtl3D = true;
};
