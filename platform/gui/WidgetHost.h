#pragma once
// Hosts of the standard controls over Qt widgets that paint themselves. Only the
// library's own sources include this file.

#include <QLineEdit>

#include "platform/gui/ControlHost.h"
#include "platform/gui/GuiInternal.h"
#include "platform/gui/WidgetControl.h"

// A scroll area's frame makes the border band: Qt lays the scroll bars and the viewport
// out inside it (its contents margins are its own to set), and the control paints the
// band over Qt's frame.
inline void SetFrameBand(QFrame* Frame, int Band) {
  Frame->setFrameStyle(Band > 0 ? QFrame::Box | QFrame::Plain : QFrame::NoFrame);
  Frame->setLineWidth(Band);
}

// A line edit's selection as the class library counts it: the caret when nothing is
// selected.
inline int LineSelStart(const QLineEdit* E) { return E->hasSelectedText() ? E->selectionStart() : E->cursorPosition(); }
inline int LineSelLength(const QLineEdit* E) { return E->hasSelectedText() ? E->selectionLength() : 0; }

// A scroll area (Base is a host of a TWidgetControl): its viewport's mouse, wheel and
// context-menu events reach the control too.
template <class Base>
class TScrollAreaHost : public Base {
public:
  using Base::Base;
  void SetViewportMargins(int Left, int Top, int Right, int Bottom) {
    this->setViewportMargins(Left, Top, Right, Bottom);
  }

protected:
  bool viewportEvent(QEvent* Event) override {
    auto* C = static_cast<TWidgetControl*>(this->Control());
    if (!C) return Base::viewportEvent(Event);
    bool Used = false;
    RunGuarded([&] { Used = C->ViewportPreview(this->viewport(), Event); }, C);
    if (Used) return true;
    const bool Result = Base::viewportEvent(Event);
    if (this->Control()) RunGuarded([&] { C->ViewportAfter(this->viewport(), Event); }, C);
    return Result;
  }
};
