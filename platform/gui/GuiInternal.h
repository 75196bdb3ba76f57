#pragma once
// Pieces shared by the library's own sources.

#include <QtCore/qnamespace.h>

#include "platform/gui/Messages.h"

// The reason the next focus change is made for (by the mouse while a press is handled,
// by Tab while the form moves the focus on).
TFocusReason& NextFocusReason();

class TFocusReasonScope {
public:
  explicit TFocusReasonScope(TFocusReason Reason) : FOld(NextFocusReason()) { NextFocusReason() = Reason; }
  ~TFocusReasonScope() { NextFocusReason() = FOld; }
  TFocusReasonScope(const TFocusReasonScope&) = delete;
  TFocusReasonScope& operator=(const TFocusReasonScope&) = delete;

private:
  TFocusReason FOld;
};

TFocusReason FocusReasonOf(Qt::FocusReason Reason);
Qt::FocusReason ToQtFocusReason(TFocusReason Reason);

#include <functional>

class TComponent;

// Runs Fn; an exception goes to Application->HandleException with Sender.
void RunGuarded(const std::function<void()>& Fn, TComponent* Sender);
// Runs Fn from the event loop, guarded, once the current event is done.
void PostGuarded(std::function<void()> Fn);

class QImage;
class QWidget;
class TRegion;
struct TPoint;

// Qt's painting of Widget (with Flags, QWidget::RenderFlags) into Image, the widget's
// (0, 0) at Origin of Image, within Clip (Image's pixels).
void RenderWidget(QWidget* Widget, QImage& Image, const TRegion& Clip, const TPoint& Origin, int Flags);
