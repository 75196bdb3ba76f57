#include "platform/gui/HintWindow.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

#include "platform/gui/ControlHost.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/GuiInternal.h"
#include "platform/gui/QtSupport.h"

// ---------------------------------------------------------------------------
// THintWindow

THintWindow::THintWindow(TComponent* AOwner) : TCustomControl(AOwner) {
  QWidget* W = Host();
  W->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint);
  W->setAttribute(Qt::WA_ShowWithoutActivating);
  W->setAttribute(Qt::WA_TransparentForMouseEvents);
  SetColor(clInfoBk);
  if (Screen) Font()->Assign(*Screen->HintFont());
  Font()->SetColor(clInfoText);
}

void THintWindow::CreateParams(TCreateParams& Params) {
  Params.Style = WS_POPUP | WS_BORDER;
  Params.ExStyle = WS_EX_TOOLWINDOW;
  Params.WindowClassStyle |= CS_SAVEBITS | CS_DROPSHADOW;
}

void THintWindow::CreateWnd() {
  TCustomControl::CreateWnd();
  if (FParamsRead) return;
  FParams = {};
  CreateParams(FParams);
  FParamsRead = true;
  ClientAreaChanged();
}

TPoint THintWindow::ClientOffset() const {
  const int32_t B = (FParams.Style & WS_BORDER) ? 1 : 0;
  return {B, B};
}

TRect THintWindow::GetClientRect() const {
  const TPoint O = ClientOffset();
  return Rect(0, 0, std::max(0, Width() - 2 * O.X), std::max(0, Height() - 2 * O.Y));
}

TRect THintWindow::CalcHintRect(int32_t MaxWidth, const std::string& AHint, void*) {
  TRect R = Rect(0, 0, MaxWidth, 0);
  Canvas()->SetFont(Font());
  Canvas()->DrawText(AHint, R, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX | DrawTextBiDiModeFlagsReadingOnly());
  R.Right += 6;
  R.Bottom += 2;
  return R;
}

void THintWindow::ActivateHint(TRect R, const std::string& AHint) {
  HandleNeeded();
  SetCaption(AHint);
  R.Bottom += 4;
  // Into the work area of the monitor that holds the rectangle's top-left corner.
  const int32_t W = R.Width(), H = R.Height();
  if (Screen) {
    const TRect Area = Screen->MonitorFromPoint(R.TopLeft()).WorkareaRect;
    if (R.Top + H > Area.Bottom) R.Top = Area.Bottom - H;
    if (R.Left + W > Area.Right) R.Left = Area.Right - W;
    R.Left = std::max(R.Left, Area.Left);
    R.Top = std::max(R.Top, Area.Top);
  }
  SetBounds(R.Left, R.Top, W, H);
  QWidget* Window = Host();
  Window->show();
  Window->raise();
  Invalidate();
}

void THintWindow::ReleaseHandle() { Host()->hide(); }

void THintWindow::SetWindowRegion(const TRegion* Region) {
  if (Region)
    Host()->setMask(Region->QtRegion());
  else
    Host()->clearMask();
}

void THintWindow::Paint() {
  TRect R = ClientRect();
  R.Left += 2;
  R.Top += 2;
  TCanvas* C = Canvas();
  C->SetFont(Font());
  C->Brush()->SetStyle(bsClear);
  C->DrawText(Caption(), R, DT_LEFT | DT_NOPREFIX | DT_WORDBREAK | DrawTextBiDiModeFlagsReadingOnly());
}

void THintWindow::PaintControl(QImage& Image, const TRegion& Clip, const TPoint& Origin) {
  TCustomControl::PaintControl(Image, Clip, Origin);
  if (!(FParams.Style & WS_BORDER)) return;
  TCanvas Frame;
  Frame.SetImage(&Image);
  Frame.SelectClipRgn(&Clip);
  Frame.SetViewportOrg(Origin.X, Origin.Y);
  Frame.Brush()->SetColor(clWindowFrame);
  Frame.FrameRect(Rect(0, 0, Width(), Height()));
  Frame.SetImage(nullptr);
}

// ---------------------------------------------------------------------------
// The hint manager

namespace {

// Tells the manager when a control it follows, or its window, goes.
class THintWatcher : public TComponent {
public:
  THintWatcher() : TComponent(nullptr) {}
  std::function<void(TComponent*)> OnRemove;

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && OnRemove) OnRemove(AComponent);
  }
};

// The distance from the pointer's hot spot down to the hint.
constexpr int32_t CursorHeightMargin = 20;

// The control whose hint shows for C: C or the nearest parent with ShowHint.
TControl* HintControlOf(TControl* C) {
  if (!Application || !Application->ShowHint()) return nullptr;
  for (; C; C = C->Parent())
    if (C->ShowHint()) return C;
  return nullptr;
}

// The hint of C or of the nearest parent that has one.
std::string HintOf(const TControl* C) {
  for (; C; C = C->Parent())
    if (!C->Hint().empty()) return C->Hint();
  return {};
}

}  // namespace

struct THintManager::TImpl : public QObject {
  TImpl() : Watcher(new THintWatcher()) {
    Pause = new TTimer(Watcher.get());
    Pause->SetEnabled(false);
    Pause->OnTimer = [this](TComponent*) {
      Pause->SetEnabled(false);
      Show();
    };
    Hide = new TTimer(Watcher.get());
    Hide->SetEnabled(false);
    Hide->OnTimer = [this](TComponent*) { HideWindow(); };
    Watcher->OnRemove = [this](TComponent* C) {
      if (C == Target) {
        Target = nullptr;
        Pause->SetEnabled(false);
        HideWindow();
      }
      if (C == Window) {
        Window = nullptr;
        Shown = false;
      }
    };
    qApp->installEventFilter(this);
  }
  ~TImpl() override {
    qApp->removeEventFilter(this);
    if (Window) Window->Free();
  }

  bool eventFilter(QObject* Object, QEvent* Event) override {
    switch (Event->type()) {
      case QEvent::ToolTip:
        // Our hints instead of Qt's tool tips.
        return Object->isWidgetType() && IControlHost::ControlOf(static_cast<QWidget*>(Object));
      case QEvent::MouseMove:
        if (Object->isWidgetType()) {
          auto* W = static_cast<QWidget*>(Object);
          const QPoint At = static_cast<QMouseEvent*>(Event)->globalPosition().toPoint();
          // A disabled control does not take the move, and Qt hands a copy to each of its
          // parents in turn: the hint stays with the control under the pointer.
          if (QWidget* Under = W->childAt(W->mapFromGlobal(At)); Under && !Under->isWindow()) return false;
          RunGuarded([&] { MouseMoved(W, FromQPoint(At)); }, nullptr);
        }
        return false;
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
      case QEvent::Wheel:
      case QEvent::KeyPress:
        if (Shown || Pause->Enabled()) Cancel();
        return false;
      case QEvent::Leave:
        if (Object->isWidgetType() && static_cast<QWidget*>(Object)->isWindow() && Target &&
            Target->Host() && Target->Host()->window() == Object)
          Cancel();
        return false;
      default:
        return false;
    }
  }

  void MouseMoved(QWidget* Widget, const TPoint& At) {
    if (QApplication::mouseButtons() != Qt::NoButton) return;
    TControl* C = HintControlOf(IControlHost::ControlOf(Widget));
    if (C == Target) {
      if (!Shown) Cursor = At;
      return;
    }
    const bool WasShown = Shown;
    HideWindow();
    SetTarget(C);
    Cursor = At;
    if (!C) return;
    Pause->SetInterval(WasShown ? Application->HintShortPause() : Application->HintPause());
    Pause->SetEnabled(true);
  }

  void SetTarget(TControl* C) {
    if (C == Target) return;
    if (Target) Target->RemoveFreeNotification(Watcher.get());
    Target = C;
    if (C) C->FreeNotification(Watcher.get());
  }

  void Show() {
    if (!Target || !Application || !Application->ShowHint()) return;
    const std::string Text = GetShortHint(HintOf(Target));
    if (Text.empty()) return;
    if (!Window) {
      const THintWindowClass& Make = Application->HintWindowClass();
      Window = Make ? Make(Application) : new THintWindow(Application);
      Window->FreeNotification(Watcher.get());
    }
    TRect R = Window->CalcHintRect(Screen ? Screen->Width() : 800, Text, nullptr);
    OffsetRect(R, Cursor.X, Cursor.Y + CursorHeightMargin);
    Window->ActivateHint(R, Text);
    Shown = true;
    Hide->SetEnabled(false);
    Hide->SetInterval(Application->HintHidePause());
    Hide->SetEnabled(true);
  }

  void HideWindow() {
    Hide->SetEnabled(false);
    if (Window && Shown) Window->ReleaseHandle();
    Shown = false;
  }

  void Cancel() {
    HideWindow();
    Pause->SetEnabled(false);
    SetTarget(nullptr);
  }

  TComponentPtr<THintWatcher> Watcher;
  TTimer* Pause;
  TTimer* Hide;
  TControl* Target = nullptr;
  TPoint Cursor;
  THintWindow* Window = nullptr;
  bool Shown = false;
};

THintManager::THintManager() : FImpl(std::make_unique<TImpl>()) {}
THintManager::~THintManager() = default;

void THintManager::CancelHint() { FImpl->Cancel(); }

void THintManager::ActivateHint(const TPoint& CursorPos) {
  FImpl->Cancel();
  FImpl->SetTarget(HintControlOf(IControlHost::ControlOf(QApplication::widgetAt(ToQPoint(CursorPos)))));
  FImpl->Cursor = CursorPos;
  FImpl->Show();
}

THintWindow* THintManager::ShownWindow() const { return FImpl->Shown ? FImpl->Window : nullptr; }

void THintManager::ResetWindow() {
  FImpl->Cancel();
  if (FImpl->Window) FImpl->Window->Free();
}
