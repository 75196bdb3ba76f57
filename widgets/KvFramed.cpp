#include "widgets/KvFramed.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

void PostTabKey(TWinControl* Control) {
  // Queued on the host, so nothing runs once it went; the host's event handling guards
  // what the key sets off.
  QWidget* Target = Control->Host();
  QMetaObject::invokeMethod(
      Target,
      [Target] {
        QKeyEvent Tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QCoreApplication::sendEvent(Target, &Tab);
      },
      Qt::QueuedConnection);
}
