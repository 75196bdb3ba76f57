#include "platform/gui/PopupLoop.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <vector>

#include "platform/gui/Controls.h"
#include "platform/gui/Forms.h"

namespace {

bool IsPress(QEvent::Type T) {
  return T == QEvent::MouseButtonPress || T == QEvent::MouseButtonDblClick ||
         T == QEvent::NonClientAreaMouseButtonPress || T == QEvent::NonClientAreaMouseButtonDblClick;
}

bool IsRelease(QEvent::Type T) {
  return T == QEvent::MouseButtonRelease || T == QEvent::NonClientAreaMouseButtonRelease;
}

// Swallows the release of a press that a popup loop swallowed, whenever it comes (the
// loop is usually over by then). Made once, with the application as its parent.
class TReleaseSwallower : public QObject {
public:
  static void Arm(Qt::MouseButton Button) {
    static QPointer<TReleaseSwallower> Instance;
    if (!Instance) Instance = new TReleaseSwallower(qApp);
    Instance->FButton = Button;
    qApp->removeEventFilter(Instance);
    qApp->installEventFilter(Instance);
  }

protected:
  using QObject::QObject;
  bool eventFilter(QObject*, QEvent* E) override {
    if (IsRelease(E->type()) && static_cast<QMouseEvent*>(E)->button() == FButton) {
      qApp->removeEventFilter(this);
      return true;
    }
    // A new press: its own release is not ours to take.
    if (IsPress(E->type())) qApp->removeEventFilter(this);
    return false;
  }

private:
  Qt::MouseButton FButton = Qt::NoButton;
};

class TPopupLoopFilter : public QObject {
public:
  TPopupLoopFilter(TWinControl* Popup, TWinControl* KeyTarget)
      : FPopupControl(Popup), FPopup(Popup->Host()), FKeys(KeyTarget->Host()) {
    if (TWinControl* Owner = Popup->PopupOwner()) FFormWindow = Owner->Host();
  }

  void End(TPopupLoopEnd Why) {
    if (!FEnded) FEnd = Why;
    FEnded = true;
    FLoop.exit();
  }

  TWinControl* const FPopupControl;
  QEventLoop FLoop;
  TPopupLoopEnd FEnd = pleClosed;
  bool FEnded = false;

protected:
  bool eventFilter(QObject* O, QEvent* E) override {
    // A Qt popup (a menu dropped from a control of the popup) runs its own loop.
    if (QApplication::activePopupWidget()) return false;
    const QEvent::Type T = E->type();
    if (IsPress(T)) {
      if (Inside(O)) return false;
      TReleaseSwallower::Arm(static_cast<QMouseEvent*>(E)->button());
      End(pleOutsideClick);
      return true;
    }
    switch (T) {
      case QEvent::KeyPress:
      case QEvent::KeyRelease: {
        // Keys reach the window first and then its focus widget: act on the second.
        if (!O->isWidgetType()) return false;
        auto* K = static_cast<QKeyEvent*>(E);
        if (K->key() == Qt::Key_Escape) {
          if (T == QEvent::KeyPress) End(pleEscape);
          return true;
        }
        if (Inside(O) || !FKeys) return false;
        QKeyEvent Copy(T, K->key(), K->modifiers(), K->nativeScanCode(), K->nativeVirtualKey(), K->nativeModifiers(),
                       K->text(), K->isAutoRepeat(), static_cast<quint16>(K->count()));
        QCoreApplication::sendEvent(FKeys, &Copy);
        return true;
      }
      case QEvent::ApplicationDeactivate:
        End(pleDeactivated);
        return false;
      case QEvent::ApplicationStateChange:
        if (static_cast<QApplicationStateChangeEvent*>(E)->applicationState() != Qt::ApplicationActive)
          End(pleDeactivated);
        return false;
      case QEvent::WindowDeactivate:
        if (O == FFormWindow) End(pleDeactivated);
        return false;
      default:
        return false;
    }
  }

private:
  bool Inside(QObject* O) const {
    if (!FPopup) return false;
    if (auto* W = qobject_cast<QWidget*>(O)) return W == FPopup || FPopup->isAncestorOf(W);
    if (auto* Win = qobject_cast<QWindow*>(O)) return Win == FPopup->windowHandle();
    return true;
  }

  QPointer<QWidget> FPopup;
  QPointer<QWidget> FKeys;
  QPointer<QWidget> FFormWindow;
};

std::vector<TPopupLoopFilter*> RunningLoops;

}  // namespace

TPopupLoopEnd RunPopupLoop(TWinControl* Popup, TWinControl* KeyTarget) {
  TPopupLoopFilter Filter(Popup, KeyTarget ? KeyTarget : Popup);
  RunningLoops.push_back(&Filter);
  qApp->installEventFilter(&Filter);
  QObject::connect(Popup->Host(), &QObject::destroyed, &Filter, [&Filter] { Filter.End(pleClosed); });
  struct TLeave {
    TPopupLoopFilter& Filter;
    ~TLeave() {
      qApp->removeEventFilter(&Filter);
      std::erase(RunningLoops, &Filter);
    }
  } Leave{Filter};
  if (!Application || !Application->Terminated()) Filter.FLoop.exec();
  // Terminate quits every running loop.
  if (!Filter.FEnded && Application && Application->Terminated()) return pleTerminated;
  return Filter.FEnd;
}

void EndPopupLoop(TWinControl* Popup) {
  for (TPopupLoopFilter* F : RunningLoops)
    if (F->FPopupControl == Popup) F->End(pleClosed);
}

bool PopupLoopRunning(const TWinControl* Popup) {
  return std::any_of(RunningLoops.begin(), RunningLoops.end(),
                     [Popup](const TPopupLoopFilter* F) { return F->FPopupControl == Popup; });
}
