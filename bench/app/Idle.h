// What the window drivers of bench/app/run.sh call idle, the same for our window and for
// the empty Qt program it is measured against.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QObject>
#include <QWidget>

// Handles events until Window has been painted and then a pass of the event loop finds
// nothing to deliver: the window is on the screen and the program waits for the user.
// Painted means a paint of the window or of any widget in it: Qt paints the whole window
// in one pass, and skips the window's own widget when opaque children cover it.
inline void WaitUntilPaintedAndIdle(QWidget* Window) {
  struct TCounter : QObject {
    QWidget* Window = nullptr;
    bool Painted = false;
    long Delivered = 0;
    bool eventFilter(QObject* Receiver, QEvent* Event) override {
      ++Delivered;
      if (Event->type() == QEvent::Paint && Receiver->isWidgetType() &&
          static_cast<QWidget*>(Receiver)->window() == Window)
        Painted = true;
      return false;
    }
  } Counter;
  Counter.Window = Window;
  QCoreApplication::instance()->installEventFilter(&Counter);
  while (!Counter.Painted) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  for (long Before = -1; Before != Counter.Delivered;) {
    Before = Counter.Delivered;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  }
  QCoreApplication::instance()->removeEventFilter(&Counter);
}
