#pragma once
// Qt widgets as hosts of controls. A host is a Qt widget class with its event() routed
// to its control (TControl::HostEvent), which turns Qt's events into the class
// library's virtuals and hands the rest back to the widget class (BaseEvent).
//
// A control over another Qt widget class makes its host in its constructor:
//
//   TCustomEdit::TCustomEdit(TComponent* AOwner)
//       : TWinControl(AOwner, new TControlHost<QLineEdit>(this)) {}
//
// and reaches the widget through Host() (a static_cast to the widget class is safe).
// Such a control lets the widget paint itself (override PaintHost to call
// DefaultHostEvent, and PaintControl to call RenderHost, so that PaintTo shows it) and
// usually wants Qt's click focus (setFocusPolicy(Qt::ClickFocus)) and the characters
// (WMGetDlgCode).
// Scroll areas get their mouse and paint events through viewportEvent(), not event():
// their hosts must route those too.
//
// Only platform/gui and the standard controls built over Qt widgets include this file.

#include <QEvent>
#include <QWidget>

#include "platform/gui/Controls.h"

// The common set-up of every host: no focus from Qt (the class library moves the focus),
// mouse moves without a button held, hidden until the control is shown on a parent.
void InitHostWidget(QWidget* Widget);

template <class Base>
class TControlHost : public Base, public IControlHost {
public:
  explicit TControlHost(TControl* AControl) : Base(nullptr), IControlHost(AControl) { InitHostWidget(this); }
  QWidget* Widget() override { return this; }
  bool BaseEvent(QEvent* Event) override { return Base::event(Event); }

protected:
  bool event(QEvent* Event) override {
    if (TControl* C = Control()) return Dispatch(C, Event);
    return Base::event(Event);
  }
};
