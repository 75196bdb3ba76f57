#pragma once
// Shared builders of the button, panel, toolbar and popup tests: a shown form to place
// controls on, image lists of solid colours, click counters and a press handed to a
// control's window directly.

#include "tests/widgets/WidgetTest.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <initializer_list>
#include <memory>

#include "platform/gui/ImgList.h"
#include "platform/gui/PopupLoop.h"

namespace barstest {

// A shown, active form of 400 x 300 at (100, 100).
struct TBarsForm {
  TBarsForm() : Form(nullptr) {
    Form.SetBounds(100, 100, 400, 300);
    testsupport::ShowActive(&Form);
  }
  template <class T>
  T* Place(TRect Bounds, TWinControl* Parent = nullptr) {
    auto* C = new T(&Form);
    C->SetParent(Parent ? Parent : &Form);
    C->SetBoundsRect(Bounds);
    return C;
  }
  TForm Form;
};

// Size x Size images, image I filled with Colors[I].
inline TImageList* SolidImages(TComponent* Owner, int32_t Size, std::initializer_list<TColor> Colors) {
  auto* List = new TImageList(Owner);
  List->SetSize(Size, Size);
  for (TColor C : Colors) {
    TBitmap B(Size, Size);
    B.Canvas()->Brush()->SetColor(C);
    B.Canvas()->FillRect(Rect(0, 0, Size, Size));
    List->Add(&B, nullptr);
  }
  return List;
}

struct TClicks {
  int32_t Count = 0;
  TNotifyEvent Handler() {
    return [this](TComponent*) { ++Count; };
  }
};

// A left press delivered straight to C's window, as Qt hands on the press that closed
// one of its menus.
inline void SendPress(TControl* C, int32_t X, int32_t Y) {
  const QPointF At(X, Y);
  QMouseEvent E(QEvent::MouseButtonPress, At, C->Host()->mapToGlobal(At), Qt::LeftButton, Qt::LeftButton,
                Qt::NoModifier);
  QCoreApplication::sendEvent(C->Host(), &E);
}

// Runs Act inside the loop of the popup window that Find returns, once it is up. Should
// that popup still be up after Act's events, the test fails and the popup is closed:
// no test can hang on a popup. Keep the result while the popup may come; afterwards
// nothing left waiting in the event queue acts any more.
class TInsidePopup {
public:
  TInsidePopup(std::function<TWinControl*()> Find, std::function<void()> Act) {
    testsupport::FromInsideTheDialog([Live = FLive, Find, Act] {
      if (!*Live) return true;
      TWinControl* Window = Find();
      if (!Window || !Window->Showing()) return false;
      const QPointer<QWidget> Host = Window->Host();
      Act();
      testsupport::FromInsideTheDialog([Host, Window] {
        if (Host && PopupLoopRunning(Window)) {
          ADD_FAILURE() << "The popup stayed up";
          EndPopupLoop(Window);
        }
        return true;
      });
      return true;
    });
  }
  ~TInsidePopup() { *FLive = false; }
  TInsidePopup(const TInsidePopup&) = delete;
  TInsidePopup& operator=(const TInsidePopup&) = delete;

private:
  std::shared_ptr<bool> FLive = std::make_shared<bool>(true);
};

}  // namespace barstest
