#include "platform/gui/DropSite.h"

#include <QAbstractScrollArea>
#include <QDropEvent>
#include <QPointer>
#include <QScrollBar>
#include <QStyle>
#include <QWidget>

#include "platform/gui/Clipboard.h"
#include "platform/gui/Forms.h"
#include "platform/gui/QtSupport.h"

namespace {

TShiftState ShiftOf(const QDropEvent* E) {
  TShiftState S = 0;
  const Qt::KeyboardModifiers M = E->modifiers();
  if (M & Qt::ShiftModifier) S |= ssShift;
  if (M & Qt::ControlModifier) S |= ssCtrl;
  if (M & Qt::AltModifier) S |= ssAlt;
  const Qt::MouseButtons B = E->buttons();
  if (B & Qt::LeftButton) S |= ssLeft;
  if (B & Qt::RightButton) S |= ssRight;
  if (B & Qt::MiddleButton) S |= ssMiddle;
  return S;
}

uint32_t EffectsOf(Qt::DropActions Actions) {
  uint32_t E = 0;
  if (Actions & Qt::CopyAction) E |= DROPEFFECT_COPY;
  if (Actions & Qt::MoveAction) E |= DROPEFFECT_MOVE;
  if (Actions & Qt::LinkAction) E |= DROPEFFECT_LINK;
  return E;
}

Qt::DropAction ActionOf(uint32_t Effect) {
  if (Effect & DROPEFFECT_COPY) return Qt::CopyAction;
  if (Effect & DROPEFFECT_MOVE) return Qt::MoveAction;
  if (Effect & DROPEFFECT_LINK) return Qt::LinkAction;
  return Qt::IgnoreAction;
}

// Tells the source the handler's answer, or refuses when the source did not offer it
// (Qt would otherwise put its own proposal in place of an action not offered).
void Answer(QDropEvent* E, uint32_t Effect) {
  const Qt::DropAction A = ActionOf(Effect);
  if (A != Qt::IgnoreAction && (E->possibleActions() & A)) {
    E->setDropAction(A);
    E->accept();
  } else {
    E->setDropAction(Qt::IgnoreAction);
    E->ignore();
  }
}

}  // namespace

class TDropSite::TFilter : public QObject {
public:
  TFilter(TDropSite* Site, IDropSiteHandler* Handler, QWidget* Widget)
      : FSite(Site), FHandler(Handler), FWidget(Widget), FAcceptedDrops(Widget->acceptDrops()) {
    FWidget->installEventFilter(this);
    FWidget->setAcceptDrops(true);
  }
  ~TFilter() override {
    if (!FWidget) return;
    FWidget->removeEventFilter(this);
    FWidget->setAcceptDrops(FAcceptedDrops);
  }
  QWidget* Widget() const { return FWidget; }

protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override {
    if (Watched != FWidget) return false;
    switch (Event->type()) {
      case QEvent::DragEnter:
      case QEvent::DragMove:
      case QEvent::Drop: {
        auto* E = static_cast<QDropEvent*>(Event);
        const TMimeDataObject Data(E->mimeData());
        const TDragInfo Info{&Data, ShiftOf(E), FromQPoint(E->position().toPoint()), EffectsOf(E->possibleActions())};
        const QEvent::Type Type = Event->type();
        uint32_t Effect = DROPEFFECT_NONE;
        Guarded([&] {
          Effect = Type == QEvent::DragEnter  ? FHandler->SiteDragEnter(FSite, Info)
                   : Type == QEvent::DragMove ? FHandler->SiteDragOver(FSite, Info)
                                              : FHandler->SiteDrop(FSite, Info);
        });
        Answer(E, Effect);
        // Qt sends the drag's other events only where its enter was taken.
        if (Type == QEvent::DragEnter) E->accept();
        return true;
      }
      case QEvent::DragLeave:
        Guarded([&] { FHandler->SiteDragLeave(FSite); });
        Event->accept();
        return true;
      default:
        return false;
    }
  }

private:
  // The handler may unregister the control and so free this filter: nothing of it is
  // used after the call.
  template <class F>
  void Guarded(F&& Fn) {
    TWinControl* Control = FSite->Control();
    try {
      Fn();
    } catch (...) {
      if (Application) Application->HandleException(Control);
    }
  }

  TDropSite* FSite;
  IDropSiteHandler* FHandler;
  QPointer<QWidget> FWidget;
  bool FAcceptedDrops;
};

TDropSite::TDropSite(TWinControl* Control, IDropSiteHandler* Handler)
    : FControl(Control), FFilter(std::make_unique<TFilter>(this, Handler, DropWidgetOf(Control))) {}

TDropSite::~TDropSite() = default;

QWidget* TDropSite::DropWidgetOf(const TWinControl* Control) {
  QWidget* Host = Control->Host();
  if (auto* Area = qobject_cast<QAbstractScrollArea*>(Host)) return Area->viewport();
  return Host;
}

TRect TDropSite::ClientRect() const {
  const QWidget* W = FFilter->Widget();
  return W ? FromQRect(W->rect()) : TRect{};
}

namespace {

bool BarShown(const QScrollBar* Bar, Qt::ScrollBarPolicy Policy) {
  return Policy == Qt::ScrollBarAlwaysOn || (Policy == Qt::ScrollBarAsNeeded && Bar->maximum() > Bar->minimum());
}

QAbstractScrollArea* ScrollAreaOf(const TWinControl* Control) {
  return qobject_cast<QAbstractScrollArea*>(Control->Host());
}

}  // namespace

TDropScrollBars TDropSite::ScrollBars() const {
  const QAbstractScrollArea* Area = ScrollAreaOf(FControl);
  if (!Area) return 0;
  TDropScrollBars Bars = 0;
  if (BarShown(Area->horizontalScrollBar(), Area->horizontalScrollBarPolicy())) Bars |= dsbHorizontal;
  if (BarShown(Area->verticalScrollBar(), Area->verticalScrollBarPolicy())) Bars |= dsbVertical;
  return Bars;
}

int32_t TDropSite::ScrollBarSize() const {
  const QWidget* W = FControl->Host();
  return W->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, W);
}

void TDropSite::ScrollLine(bool Vertical, bool Forward) {
  QAbstractScrollArea* Area = ScrollAreaOf(FControl);
  if (!Area) return;
  QScrollBar* Bar = Vertical ? Area->verticalScrollBar() : Area->horizontalScrollBar();
  Bar->triggerAction(Forward ? QAbstractSlider::SliderSingleStepAdd : QAbstractSlider::SliderSingleStepSub);
}
