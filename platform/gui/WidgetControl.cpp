#include "platform/gui/WidgetControl.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>
#include <QWidget>
#include <memory>

#include "platform/gui/ExtCtrls.h"
#include "platform/gui/GuiInternal.h"
#include "platform/gui/Menus.h"
#include "platform/gui/QtSupport.h"

TWidgetControl::TWidgetControl(TComponent* AOwner, IControlHost* AHost) : TWinControl(AOwner, AHost) {
  Host()->setFocusPolicy(Qt::ClickFocus);
  SetTabStop(true);
  SetParentColor(false);
  ApplyLook();
}

// ---------------------------------------------------------------------------
// The border band

int32_t TWidgetControl::BorderBand() const {
  if (FBorderStyle != bsSingle) return 0;
  return FCtl3D ? 2 : 1;
}

TPoint TWidgetControl::ClientOffset() const { return {BorderBand(), BorderBand()}; }

TRect TWidgetControl::GetClientRect() const {
  const int32_t B = BorderBand();
  return Rect(0, 0, std::max(0, Width() - 2 * B), std::max(0, Height() - 2 * B));
}

void TWidgetControl::SetBorderStyle(TBorderStyle Value) {
  if (Value != bsNone) Value = bsSingle;
  if (Value == FBorderStyle) return;
  FBorderStyle = Value;
  BorderChanged();
}

void TWidgetControl::SetCtl3D(bool Value) {
  if (Value == FCtl3D) return;
  FCtl3D = Value;
  BorderChanged();
}

void TWidgetControl::BorderChanged() {
  ClientAreaChanged();
  Invalidate();
}

void TWidgetControl::WMNCPaint(TCanvas* Canvas) {
  TRect R = Rect(0, 0, Width(), Height());
  switch (BorderBand()) {
    case 2:
      Frame3D(Canvas, R, clBtnShadow, clBtnHighlight, 1);
      Frame3D(Canvas, R, cl3DDkShadow, cl3DLight, 1);
      break;
    case 1:
      Canvas->Brush()->SetColor(clWindowFrame);
      Canvas->FrameRect(R);
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------------------
// Painting

void TWidgetControl::PaintOverlay(const QRegion& Region) {
  QWidget* W = Host();
  QImage Buffer(W->size(), QImage::Format_ARGB32_Premultiplied);
  Buffer.fill(Qt::transparent);
  const TRegion Clip(Region);
  {
    TCanvas Frame;
    Frame.SetImage(&Buffer);
    Frame.SelectClipRgn(&Clip);
    WMNCPaint(&Frame);
    Frame.SetImage(nullptr);
  }
  {
    TCanvas Client;
    Client.SetImage(&Buffer);
    TRect R = ClientRect();
    const TPoint O = ClientOffset();
    OffsetRect(R, O.X, O.Y);
    const TRegion Inside = TRegion::Combine(Clip, TRegion(R), RGN_AND);
    Client.SelectClipRgn(&Inside);
    Client.SetViewportOrg(O.X, O.Y);
    PaintWindow(&Client);
    Client.SetImage(nullptr);
  }
  QPainter P(W);
  P.setClipRegion(Region);
  P.drawImage(0, 0, Buffer);
}

void TWidgetControl::PaintHost(QPaintEvent* Event) {
  DefaultHostEvent(Event);
  PaintOverlay(Event->region());
}

void TWidgetControl::PaintControl(QImage& Image, const TRegion& Clip, const TPoint& Origin) {
  RenderWidget(Host(), Image, Clip, Origin, QWidget::DrawWindowBackground | QWidget::DrawChildren);
}


// ---------------------------------------------------------------------------
// Look

void TWidgetControl::ApplyLookTo(QWidget* Widget) const {
  QPalette Pal = Widget->palette();
  const QColor Back = ToQColor(Color()), Text = ToQColor(Font()->Color());
  for (QPalette::ColorGroup G : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    Pal.setColor(G, QPalette::Base, Back);
    Pal.setColor(G, QPalette::Window, Back);
    Pal.setColor(G, QPalette::Button, ToQColor(clBtnFace));
    Pal.setColor(G, QPalette::Text, G == QPalette::Disabled ? ToQColor(clGrayText) : Text);
    Pal.setColor(G, QPalette::WindowText, G == QPalette::Disabled ? ToQColor(clGrayText) : Text);
    Pal.setColor(G, QPalette::ButtonText, G == QPalette::Disabled ? ToQColor(clGrayText) : ToQColor(clBtnText));
    Pal.setColor(G, QPalette::Highlight, ToQColor(clHighlight));
    Pal.setColor(G, QPalette::HighlightedText, ToQColor(clHighlightText));
  }
  Widget->setPalette(Pal);
  Widget->setFont(Font()->QtFont());
}

void TWidgetControl::ApplyLook() { ApplyLookTo(Host()); }

void TWidgetControl::CMColorChanged() {
  ApplyLook();
  TWinControl::CMColorChanged();
}

void TWidgetControl::CMFontChanged() {
  ApplyLook();
  TWinControl::CMFontChanged();
}

void TWidgetControl::CMEnabledChanged() {
  ApplyLook();
  TWinControl::CMEnabledChanged();
}

// ---------------------------------------------------------------------------
// Input

bool TWidgetControl::HostEvent(QEvent* Event) {
  switch (Event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
      if (!Host()->isEnabled()) return DefaultHostEvent(Event);
      DefaultHostEvent(Event);
      return TWinControl::HostEvent(Event);
    default:
      return TWinControl::HostEvent(Event);
  }
}

namespace {
bool IsMouseEvent(QEvent::Type T) {
  return T == QEvent::MouseButtonPress || T == QEvent::MouseButtonRelease || T == QEvent::MouseButtonDblClick ||
         T == QEvent::MouseMove;
}
}  // namespace

bool TWidgetControl::ViewportPreview(QWidget* Viewport, QEvent* Event) {
  switch (Event->type()) {
    case QEvent::Wheel: {
      auto* E = static_cast<QWheelEvent*>(Event);
      QWheelEvent Mapped(Viewport->mapTo(Host(), E->position().toPoint()), E->globalPosition(), E->pixelDelta(),
                         E->angleDelta(), E->buttons(), E->modifiers(), E->phase(), E->inverted(), E->source(),
                         E->pointingDevice());
      if (!HandleWheelEvent(&Mapped)) return false;
      E->accept();
      return true;
    }
    case QEvent::ContextMenu: {
      auto* E = static_cast<QContextMenuEvent*>(Event);
      // Keyboard requests come from our key handling (see TControl).
      if (E->reason() == QContextMenuEvent::Keyboard) return true;
      return Perform(WM_CONTEXTMENU, E->globalPos().x(), E->globalPos().y()) != 0;
    }
    default:
      return false;
  }
}

void TWidgetControl::ViewportAfter(QWidget* Viewport, QEvent* Event) {
  if (!IsMouseEvent(Event->type()) || !Host()->isEnabled()) return;
  auto* E = static_cast<QMouseEvent*>(Event);
  QMouseEvent Mapped(E->type(), QPointF(Viewport->mapTo(Host(), E->position().toPoint())), E->scenePosition(),
                     E->globalPosition(), E->button(), E->buttons(), E->modifiers(), E->pointingDevice());
  TWinControl::HostEvent(&Mapped);
}

void TWidgetControl::PopupEditMenu(const TPoint& Pos, const TEditMenuState& State,
                                   const std::function<void()>& SelectAll) {
  TComponentPtr<TPopupMenu> Popup(new TPopupMenu(nullptr));
  const bool CanPaste = !State.ReadOnly && !QGuiApplication::clipboard()->text().isEmpty();
  const struct {
    const char* Caption;
    uint32_t Message;
    bool Enabled;
  } Entries[] = {
      {"&Undo", WM_UNDO, State.CanUndo && !State.ReadOnly},
      {"-", 0, true},
      {"Cu&t", WM_CUT, State.HasSelection && !State.ReadOnly},
      {"&Copy", WM_COPY, State.HasSelection},
      {"&Paste", WM_PASTE, CanPaste},
      {"&Delete", WM_CLEAR, State.HasSelection && !State.ReadOnly},
      {"-", 0, true},
      {"Select &All", 0, State.CanSelectAll},
  };
  for (const auto& E : Entries) {
    auto* Item = new TMenuItem(Popup.get());
    Item->SetCaption(E.Caption);
    Item->SetEnabled(E.Enabled);
    const uint32_t Message = E.Message;
    Item->OnClick = [this, Message, SelectAll](TComponent*) {
      if (Message)
        Perform(Message);
      else
        SelectAll();
    };
    Popup->Items()->Add(Item);
  }
  Popup->SetPopupComponent(this);
  Popup->Popup(Pos.X, Pos.Y);
}

void TWidgetControl::Dispatch(TMessage& M) {
  switch (M.Msg) {
    case WM_CUT: WMCut(); break;
    case WM_COPY: WMCopy(); break;
    case WM_PASTE: WMPaste(); break;
    case WM_CLEAR: WMClear(); break;
    case WM_UNDO: WMUndo(); break;
    default: TWinControl::Dispatch(M);
  }
}
