// TControl: the host bridge, properties, painting, mouse input; the loading state.
// Windowed controls are in WinControls.cpp.
#include "platform/gui/Controls.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QWheelEvent>
#include <QWidget>
#include <algorithm>
#include <unordered_set>

#include "platform/gui/ActnList.h"
#include "platform/gui/ControlHost.h"
#include "platform/gui/Forms.h"
#include "platform/gui/GuiInternal.h"
#include "platform/gui/Menus.h"
#include "platform/gui/QtSupport.h"

// ---------------------------------------------------------------------------
// Loading state

namespace {

struct TLoadingRoot {
  const TComponent* Root;
  int32_t Depth;
};
std::vector<TLoadingRoot> LoadingRoots;
// Components whose Loaded has run while their root is still finishing.
std::unordered_set<const TComponent*> LoadedEarly;

TLoadingRoot* FindRoot(const TComponent* Root) {
  for (TLoadingRoot& R : LoadingRoots)
    if (R.Root == Root) return &R;
  return nullptr;
}

void CollectOwned(TComponent* C, std::vector<TComponent*>& Out) {
  Out.push_back(C);
  for (int32_t I = 0; I < C->ComponentCount(); ++I) CollectOwned(C->Components(I), Out);
}

TControl* CaptureControl = nullptr;

}  // namespace

void BeginLoading(TComponent* Root) {
  if (TLoadingRoot* R = FindRoot(Root))
    ++R->Depth;
  else
    LoadingRoots.push_back({Root, 1});
}

void EndLoading(TComponent* Root) {
  TLoadingRoot* R = FindRoot(Root);
  if (!R || --R->Depth > 0) return;
  std::vector<TComponent*> Order;
  CollectOwned(Root, Order);
  // However Loaded ends (an exception included), Root is no longer loading.
  struct TFinish {
    TComponent* Root;
    std::vector<TComponent*>& Order;
    ~TFinish() {
      for (TComponent* C : Order) LoadedEarly.erase(C);
      std::erase_if(LoadingRoots, [&](const TLoadingRoot& L) { return L.Root == Root; });
    }
  } Finish{Root, Order};
  for (size_t I = 0; I < Order.size(); ++I) {
    // A Loaded handler may free components: call only those still owned under Root.
    std::vector<TComponent*> Alive;
    CollectOwned(Root, Alive);
    if (std::find(Alive.begin(), Alive.end(), Order[I]) == Alive.end()) continue;
    Order[I]->Loaded();
    LoadedEarly.insert(Order[I]);
  }
}

bool ComponentLoading(const TComponent* C) {
  if (!C) return false;
  if (C->ComponentState() & csLoading) return true;
  if (LoadingRoots.empty() || LoadedEarly.count(C)) return false;
  for (const TComponent* O = C; O; O = O->Owner())
    if (FindRoot(O)) return true;
  return false;
}

// ---------------------------------------------------------------------------
// Hosts

void InitHostWidget(QWidget* Widget) {
  Widget->setMouseTracking(true);
  Widget->setFocusPolicy(Qt::NoFocus);
  Widget->setAttribute(Qt::WA_Hover, false);
}

TControl* IControlHost::ControlOf(const QWidget* Widget) {
  for (const QWidget* W = Widget; W; W = W->parentWidget())
    if (const auto* H = dynamic_cast<const IControlHost*>(W))
      if (H->Control()) return H->Control();
  return nullptr;
}

bool IControlHost::Dispatch(TControl* Control, QEvent* Event) {
  try {
    return Control->HostEvent(Event);
  } catch (...) {
    if (Application) Application->HandleException(Control);
    return true;
  }
}

// ---------------------------------------------------------------------------
// TControl: life

TControl::TControl(TComponent* AOwner) : TComponent(AOwner) { Construct(new TControlHost<QWidget>(this)); }

TControl::TControl(TComponent* AOwner, IControlHost* AHost) : TComponent(AOwner) { Construct(AHost); }

void TControl::Construct(IControlHost* AHost) {
  FHost = AHost;
  FHost->Attach();
  FFont = std::make_unique<TFont>();
  FFont->OnChange = [this](TComponent*) { FontChanged(); };
}

TControl::~TControl() {
  // Reached without Free(): the parts that do not dispatch to overrides.
  if (CaptureControl == this) CaptureControl = nullptr;
  LoadedEarly.erase(this);
  std::erase_if(LoadingRoots, [this](const TLoadingRoot& L) { return L.Root == this; });
  if (FParent) FParent->RemoveControl(this);
  FActionLink.reset();
  FreeHost();
}

void TControl::BeforeDestruction() {
  // Marks the component destroying, tells whoever asked and frees what it owns while
  // the control is still whole; then it leaves its parent and its host goes.
  TComponent::BeforeDestruction();
  if (CaptureControl == this) CaptureControl = nullptr;
  if (FParent) FParent->RemoveControl(this);
  FActionLink.reset();
  FreeHost();
}

void TControl::FreeHost() {
  if (!FHost) return;
  QWidget* W = FHost->Widget();
  FHost->Detach();
  FHost = nullptr;
  if (W->hasFocus()) W->clearFocus();
  if (QWidget::mouseGrabber() == W) W->releaseMouse();
  delete W;
}

QWidget* TControl::Host() const { return FHost ? FHost->Widget() : nullptr; }

void TControl::SetName(const std::string& Value) {
  TComponent::SetName(Value);
  if (QWidget* W = Host()) W->setObjectName(ToQString(Value));
}

void TControl::Loaded() {
  TComponent::Loaded();
  if (!LoadingRoots.empty()) LoadedEarly.insert(this);
  if (TBasicAction* A = Action()) ActionChange(A, true);
  UpdateAnchorRules();
}

// ---------------------------------------------------------------------------
// TControl: parent and geometry

void TControl::SetParent(TWinControl* AParent) {
  if (AParent == FParent) return;
  if (AParent == static_cast<TControl*>(this))
    throw EInvalidOperation("A control cannot have itself as its parent");
  if (FParent) FParent->RemoveControl(this);
  if (AParent) {
    if (auto* Win = dynamic_cast<TWinControl*>(this)) Win->SetPopupOwner(nullptr);
    AParent->InsertControl(this);
    UpdateAnchorRules();
  }
}

void TControl::UpdateHostGeometry() {
  const TPoint O = FParent ? FParent->ClientOffset() : TPoint{};
  if (QWidget* W = Host()) W->setGeometry(FLeft + O.X, FTop + O.Y, FWidth, FHeight);
}

void TControl::UpdateHostVisibility() {
  const auto* Win = dynamic_cast<const TWinControl*>(this);
  if (QWidget* W = Host()) W->setVisible(FVisible && (FParent || (Win && Win->FPopupOwner)));
}

void TControl::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
  AWidth = std::max(0, AWidth);
  AHeight = std::max(0, AHeight);
  if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
  const bool Sized = AWidth != FWidth || AHeight != FHeight;
  FLeft = ALeft;
  FTop = ATop;
  FWidth = AWidth;
  FHeight = AHeight;
  UpdateHostGeometry();
  if (!FAnchorMove) UpdateAnchorRules();
  RequestAlign();
  if (Sized) WMSize();
}

void TControl::WMSize() {
  if (!Loading()) Resize();
}

void TControl::Resize() {
  if (OnResize) OnResize(this);
}

void TControl::RequestAlign() {
  if (FParent) FParent->AlignControl(this);
}

namespace {
constexpr TAnchors AnchorAlign[] = {
    akLeft | akTop,                       // alNone
    akLeft | akTop | akRight,             // alTop
    akLeft | akRight | akBottom,          // alBottom
    akLeft | akTop | akBottom,            // alLeft
    akRight | akTop | akBottom,           // alRight
    akLeft | akTop | akRight | akBottom,  // alClient
};
bool IsVerticalAlign(TAlign A) { return A == alTop || A == alBottom; }
bool IsHorizontalAlign(TAlign A) { return A == alLeft || A == alRight; }
}  // namespace

void TControl::SetAlign(TAlign Value) {
  if (Value == FAlign) return;
  const TAlign Old = FAlign;
  FAlign = Value;
  FAnchors = AnchorAlign[Value];
  // Turning between the top/bottom and the left/right alignments turns the control.
  if (!Loading() && ((IsVerticalAlign(Old) && IsHorizontalAlign(Value)) ||
                     (IsHorizontalAlign(Old) && IsVerticalAlign(Value))))
    SetBounds(FLeft, FTop, FHeight, FWidth);
  RequestAlign();
}

void TControl::SetAnchors(TAnchors Value) {
  if (Value == FAnchors) return;
  FAnchors = Value;
  UpdateAnchorRules();
}

// Remembers where the control stands relative to the anchored edges of its parent's
// client area, and that area's size.
void TControl::UpdateAnchorRules() {
  if (!FParent || Loading()) return;
  if (FAnchors == (akLeft | akTop)) {
    FOriginalParentSize = {};
    return;
  }
  if (FAnchors & akRight)
    FAnchorRules.X = (FAnchors & akLeft) ? FWidth : FLeft;
  else
    FAnchorRules.X = FLeft + FWidth / 2;
  if (FAnchors & akBottom)
    FAnchorRules.Y = (FAnchors & akTop) ? FHeight : FTop;
  else
    FAnchorRules.Y = FTop + FHeight / 2;
  FOriginalParentSize = {FParent->ClientWidth(), FParent->ClientHeight()};
}

void TControl::SetAutoSize(bool Value) {
  if (Value == FAutoSize) return;
  FAutoSize = Value;
  if (Value) AdjustSize();
}

bool TControl::CanAutoSize(int32_t&, int32_t&) { return false; }

void TControl::AdjustSize() {
  if (!FAutoSize || Loading()) return;
  int32_t W = FWidth, H = FHeight;
  if (CanAutoSize(W, H)) SetBounds(FLeft, FTop, W, H);
}

TPoint TControl::ClientOrigin() const {
  QWidget* W = Host();
  return W ? FromQPoint(W->mapToGlobal(ToQPoint(ClientOffset()))) : TPoint{};
}

TPoint TControl::ClientToScreen(const TPoint& P) const {
  const TPoint O = ClientOrigin();
  return {P.X + O.X, P.Y + O.Y};
}

TPoint TControl::ScreenToClient(const TPoint& P) const {
  const TPoint O = ClientOrigin();
  return {P.X - O.X, P.Y - O.Y};
}

TPoint TControl::ClientToParent(const TPoint& P, const TWinControl* AParent) const {
  if (!AParent) AParent = FParent;
  TPoint Result = P;
  for (const TControl* C = this; C != AParent; C = C->FParent) {
    if (!C->FParent) throw EInvalidOperation("Control '" + Name() + "' is not a child of the given parent");
    const TPoint O = C->ClientOffset();
    Result.X += C->FLeft + O.X;
    Result.Y += C->FTop + O.Y;
  }
  return Result;
}

void TControl::BringToFront() {
  if (!FParent) return;
  auto MoveLast = [this](auto& List) {
    auto It = std::find(List.begin(), List.end(), this);
    if (It != List.end()) std::rotate(It, It + 1, List.end());
  };
  MoveLast(FParent->FControls);
  MoveLast(FParent->FWinControls);
  FParent->Restack();
}

void TControl::SendToBack() {
  if (!FParent) return;
  auto MoveFirst = [this](auto& List) {
    auto It = std::find(List.begin(), List.end(), this);
    if (It != List.end()) std::rotate(List.begin(), It, It + 1);
  };
  MoveFirst(FParent->FControls);
  MoveFirst(FParent->FWinControls);
  FParent->Restack();
}

// ---------------------------------------------------------------------------
// TControl: properties

bool TControl::Showing() const {
  QWidget* W = Host();
  return W && W->isVisible();
}

void TControl::SetVisible(bool Value) {
  if (Value == FVisible) return;
  FVisible = Value;
  UpdateHostVisibility();
  Perform(CM_VISIBLECHANGED, Value);
  RequestAlign();
}

void TControl::DoSetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  // Qt's enabled state blocks the input; a disabled parent still blocks its children.
  if (QWidget* W = Host()) W->setEnabled(Value);
  Perform(CM_ENABLEDCHANGED);
}

void TControl::DoSetText(const std::string& Value) {
  if (Value == FText) return;
  FText = Value;
  Perform(CM_TEXTCHANGED);
}

void TControl::SetColor(TColor Value) {
  if (Value == FColor) return;
  FColor = Value;
  FParentColor = false;
  Perform(CM_COLORCHANGED);
}

void TControl::SetParentColor(bool Value) {
  if (Value == FParentColor) return;
  FParentColor = Value;
  if (FParent && Value && !Loading()) Perform(CM_PARENTCOLORCHANGED);
}

void TControl::FontChanged() {
  FParentFont = false;
  Perform(CM_FONTCHANGED);
}

void TControl::SetParentFont(bool Value) {
  if (Value == FParentFont) return;
  FParentFont = Value;
  if (FParent && Value && !Loading()) Perform(CM_PARENTFONTCHANGED);
}

void TControl::SetHint(const std::string& Value) {
  if (Value == FHint) return;
  FHint = Value;
  UpdateToolTip();
}

void TControl::SetShowHint(bool Value) {
  if (Value == FShowHint) return;
  FShowHint = Value;
  FParentShowHint = false;
  Perform(CM_SHOWHINTCHANGED);
}

void TControl::SetParentShowHint(bool Value) {
  if (Value == FParentShowHint) return;
  FParentShowHint = Value;
  if (FParent && Value && !Loading()) Perform(CM_PARENTSHOWHINTCHANGED);
}

void TControl::UpdateToolTip() {
  if (QWidget* W = Host()) W->setToolTip(FShowHint ? ToQString(GetShortHint(FHint)) : QString());
}

void TControl::SetCursor(TCursor Value) {
  if (Value == FCursor) return;
  FCursor = Value;
  Perform(CM_CURSORCHANGED);
}

void TControl::SetBiDiMode(TBiDiMode Value) {
  if (Value == FBiDiMode) return;
  FBiDiMode = Value;
  FParentBiDiMode = false;
  Perform(CM_BIDIMODECHANGED);
}

void TControl::SetParentBiDiMode(bool Value) {
  if (Value == FParentBiDiMode) return;
  FParentBiDiMode = Value;
  if (FParent && Value && !Loading()) Perform(CM_PARENTBIDIMODECHANGED);
}

uint32_t TControl::DrawTextBiDiModeFlags(uint32_t Flags) const {
  if (UseRightToLeftAlignment()) {
    if ((Flags & (DT_CENTER | DT_RIGHT)) == DT_RIGHT)
      Flags &= ~DT_RIGHT;
    else if ((Flags & (DT_CENTER | DT_RIGHT)) == 0)
      Flags |= DT_RIGHT;
  }
  return Flags | DrawTextBiDiModeFlagsReadingOnly();
}

// ---------------------------------------------------------------------------
// TControl: messages

intptr_t TControl::Perform(uint32_t Msg, intptr_t WParam, intptr_t LParam) {
  TMessage M{Msg, WParam, LParam, 0};
  WndProc(M);
  return M.Result;
}

void TControl::WndProc(TMessage& Message) { Dispatch(Message); }

void TControl::Dispatch(TMessage& M) {
  switch (M.Msg) {
    case CM_ENABLEDCHANGED: CMEnabledChanged(); break;
    case CM_VISIBLECHANGED: CMVisibleChanged(); break;
    case CM_SHOWINGCHANGED: CMShowingChanged(); break;
    case CM_TEXTCHANGED: CMTextChanged(); break;
    case CM_FONTCHANGED: CMFontChanged(); break;
    case CM_COLORCHANGED: CMColorChanged(); break;
    case CM_PARENTCOLORCHANGED: CMParentColorChanged(); break;
    case CM_PARENTFONTCHANGED: CMParentFontChanged(); break;
    case CM_SHOWHINTCHANGED: CMShowHintChanged(); break;
    case CM_PARENTSHOWHINTCHANGED: CMParentShowHintChanged(); break;
    case CM_BIDIMODECHANGED: CMBiDiModeChanged(); break;
    case CM_PARENTBIDIMODECHANGED: CMParentBiDiModeChanged(); break;
    case CM_MOUSEENTER: CMMouseEnter(); break;
    case CM_MOUSELEAVE: CMMouseLeave(); break;
    case CM_SYSCOLORCHANGE: CMSysColorChange(); break;
    case CM_CURSORCHANGED: CMCursorChanged(); break;
    case CM_DIALOGKEY: M.Result = CMDialogKey(static_cast<uint16_t>(M.WParam), static_cast<TShiftState>(M.LParam)); break;
    case CM_DIALOGCHAR: M.Result = CMDialogChar(static_cast<char32_t>(M.WParam), static_cast<TShiftState>(M.LParam)); break;
    case CM_FOCUSCHANGED: CMFocusChanged(reinterpret_cast<TWinControl*>(M.LParam)); break;
    case CM_BUTTONPRESSED: CMButtonPressed(static_cast<int32_t>(M.WParam), reinterpret_cast<TControl*>(M.LParam)); break;
    case WM_CONTEXTMENU: M.Result = WMContextMenu({static_cast<int32_t>(M.WParam), static_cast<int32_t>(M.LParam)}); break;
    default: DefaultHandler(M);
  }
}

void TControl::CMEnabledChanged() { Invalidate(); }
void TControl::CMVisibleChanged() { Invalidate(); }
void TControl::CMTextChanged() { Invalidate(); }
void TControl::CMFontChanged() { Invalidate(); }
void TControl::CMColorChanged() { Invalidate(); }

void TControl::CMParentColorChanged() {
  if (!FParentColor || !FParent) return;
  SetColor(FParent->Color());
  FParentColor = true;
}

void TControl::CMParentFontChanged() {
  if (!FParentFont || !FParent) return;
  FFont->Assign(*FParent->Font());
  FParentFont = true;
}

void TControl::CMShowHintChanged() { UpdateToolTip(); }

void TControl::CMParentShowHintChanged() {
  if (!FParentShowHint || !FParent) return;
  SetShowHint(FParent->ShowHint());
  FParentShowHint = true;
}

void TControl::CMParentBiDiModeChanged() {
  if (!FParentBiDiMode || !FParent) return;
  SetBiDiMode(FParent->BiDiMode());
  FParentBiDiMode = true;
}

void TControl::CMMouseEnter() {
  if (OnMouseEnter) OnMouseEnter(this);
}

void TControl::CMMouseLeave() {
  if (OnMouseLeave) OnMouseLeave(this);
}

void TControl::CMCursorChanged() {
  if (QWidget* W = Host(); W && Screen) Screen->ApplyCursor(W, FCursor);
}

bool TControl::CMDialogKey(uint16_t, TShiftState) { return false; }
bool TControl::CMDialogChar(char32_t, TShiftState) { return false; }
void TControl::CMFocusChanged(TWinControl*) {}

// ---------------------------------------------------------------------------
// TControl: actions

TBasicAction* TControl::Action() const { return FActionLink ? FActionLink->Action() : nullptr; }

std::unique_ptr<TControlActionLink> TControl::CreateActionLink() {
  return std::make_unique<TControlActionLink>(this);
}

void TControl::SetAction(TBasicAction* Value) {
  if (Value == Action()) return;
  if (TBasicAction* Old = Action()) Old->RemoveFreeNotification(this);
  if (!Value) {
    FActionLink.reset();
    return;
  }
  if (!FActionLink) FActionLink = CreateActionLink();
  FActionLink->SetAction(Value);
  Value->FreeNotification(this);
  ActionChange(Value, Loading());
}

void TControl::ActionChange(TBasicAction* Sender, bool CheckDefaults) {
  const auto* A = dynamic_cast<const TAction*>(Sender);
  if (!A) return;
  if (!CheckDefaults || Caption().empty()) SetCaption(A->Caption());
  if (!CheckDefaults || Enabled()) SetEnabled(A->Enabled());
  if (!CheckDefaults || Hint().empty()) SetHint(A->Hint());
  if (!CheckDefaults || Visible()) SetVisible(A->Visible());
}

void TControl::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && FActionLink && AComponent == FActionLink->Action()) FActionLink.reset();
  if (Operation == opRemove && AComponent == FPopupMenu) FPopupMenu = nullptr;
}

void TControl::SetPopupMenu(TPopupMenu* Value) {
  if (Value == FPopupMenu) return;
  if (FPopupMenu) FPopupMenu->RemoveFreeNotification(this);
  FPopupMenu = Value;
  if (Value) Value->FreeNotification(this);
}

// ---------------------------------------------------------------------------
// TControl: painting

void TControl::SetControlStyle(TControlStyle Value) {
  FControlStyle = Value;
  if (QWidget* W = Host()) W->setAttribute(Qt::WA_OpaquePaintEvent, (Value & csOpaque) != 0);
}

void TControl::Invalidate() {
  if (QWidget* W = Host()) W->update();
}

void TControl::Update() {
  if (QWidget* W = Host())
    if (W->isVisible()) QCoreApplication::sendPostedEvents(W->window(), QEvent::UpdateRequest);
}

void TControl::Repaint() {
  if (QWidget* W = Host()) W->repaint();
}

void TControl::PaintHost(QPaintEvent* Event) {
  if (FSkipPaint) return;
  QWidget* W = Host();
  // Only the rectangle that needs painting is worked out.
  const QRect Area = Event->region().boundingRect() & W->rect();
  if (Area.isEmpty()) return;
  QImage Buffer(Area.size(), QImage::Format_ARGB32_Premultiplied);
  Buffer.fill(Qt::transparent);
  PaintControl(Buffer, TRegion(Event->region().translated(-Area.topLeft())), {-Area.left(), -Area.top()});
  QPainter P(W);
  P.setClipRegion(Event->region());
  P.drawImage(Area.topLeft(), Buffer);
}

void TControl::PaintControl(QImage&, const TRegion&, const TPoint&) {}

void RenderWidget(QWidget* Widget, QImage& Image, const TRegion& Clip, const TPoint& Origin, int Flags) {
  // Qt places the top-left corner of the region it renders at the offset it is given.
  const QRegion Source = Clip.QtRegion().translated(-Origin.X, -Origin.Y) & Widget->rect();
  if (Source.isEmpty()) return;
  QPainter P(&Image);
  Widget->render(&P, Source.boundingRect().topLeft() + QPoint(Origin.X, Origin.Y), Source,
                 QWidget::RenderFlags(Flags));
}

void TControl::RenderHost(QImage& Image, const TRegion& Clip, const TPoint& Origin) {
  if (QWidget* W = Host()) RenderWidget(W, Image, Clip, Origin, QWidget::DrawWindowBackground);
}

void TControl::PaintPart(QImage& Image, int32_t X, int32_t Y, const TRect& Part) {
  TRect Own;
  if (!IntersectRect(Own, Part, Rect(0, 0, FWidth, FHeight))) return;
  QImage Buffer(Own.Width(), Own.Height(), QImage::Format_ARGB32_Premultiplied);
  Buffer.fill(Qt::transparent);
  PaintControl(Buffer, TRegion(Rect(0, 0, Own.Width(), Own.Height())), {-Own.Left, -Own.Top});
  PaintChildParts(Buffer, Own);
  QPainter P(&Image);
  P.drawImage(X + Own.Left, Y + Own.Top, Buffer);
}

void TControl::PaintParentImage(TCanvas* Canvas) {
  if (!FParent) return;
  // The part of the control to show: what the canvas can take of it, where client area
  // and bounds are alike; all of it otherwise (the picture of the bounds is then fitted
  // to the client area).
  TRect Part = Rect(0, 0, FWidth, FHeight);
  const TRect Client = ClientRect();
  const bool Alike = Client.Width() == FWidth && Client.Height() == FHeight;
  if (Alike && !IntersectRect(Part, Part, Canvas->ClipRect())) return;
  if (IsRectEmpty(Part)) return;
  QImage Under(Part.Width(), Part.Height(), QImage::Format_ARGB32_Premultiplied);
  Under.fill(Qt::transparent);
  // Part in the parent's client coordinates; the parent paints in its own, where its
  // client area may be offset.
  TRect Area = Part;
  OffsetRect(Area, FLeft, FTop);
  const TPoint O = FParent->ClientOffset();
  FParent->PaintControl(Under, TRegion(Rect(0, 0, Part.Width(), Part.Height())),
                        {-(Area.Left + O.X), -(Area.Top + O.Y)});
  // The siblings below this control that reach under it, in stacking order. (Those
  // that do not are left out: a transparent one would paint its own siblings again.)
  const bool Windowed = dynamic_cast<TWinControl*>(this) != nullptr;
  auto PaintUnder = [&](TControl* C) {
    TRect Common;
    if (!C->FVisible || !IntersectRect(Common, C->BoundsRect(), Area)) return;
    OffsetRect(Common, -C->FLeft, -C->FTop);
    C->PaintPart(Under, C->FLeft - Area.Left, C->FTop - Area.Top, Common);
  };
  for (TControl* C : FParent->FControls) {
    if (C == this) break;
    PaintUnder(C);
  }
  if (Windowed)
    for (TWinControl* C : FParent->FWinControls) {
      if (C == this) break;
      PaintUnder(C);
    }
  Canvas->DrawImage(Alike ? Part : Client, Under, Rect(0, 0, Part.Width(), Part.Height()));
}

// ---------------------------------------------------------------------------
// TControl: input

namespace {

TShiftState ShiftOf(Qt::KeyboardModifiers Mods, Qt::MouseButtons Buttons) {
  TShiftState S = 0;
  if (Mods & Qt::ShiftModifier) S |= ssShift;
  if (Mods & Qt::ControlModifier) S |= ssCtrl;
  if (Mods & Qt::AltModifier) S |= ssAlt;
  if (Buttons & Qt::LeftButton) S |= ssLeft;
  if (Buttons & Qt::RightButton) S |= ssRight;
  if (Buttons & Qt::MiddleButton) S |= ssMiddle;
  return S;
}

bool ButtonOf(Qt::MouseButton B, TMouseButton& Out) {
  switch (B) {
    case Qt::LeftButton: Out = mbLeft; return true;
    case Qt::RightButton: Out = mbRight; return true;
    case Qt::MiddleButton: Out = mbMiddle; return true;
    default: return false;
  }
}

}  // namespace

TFocusReason& NextFocusReason() {
  static TFocusReason Reason = frOther;
  return Reason;
}

TFocusReason FocusReasonOf(Qt::FocusReason Reason) {
  switch (Reason) {
    case Qt::MouseFocusReason: return frMouse;
    case Qt::TabFocusReason: return frTab;
    case Qt::BacktabFocusReason: return frBacktab;
    case Qt::ActiveWindowFocusReason: return frActiveWindow;
    default: return frOther;
  }
}

Qt::FocusReason ToQtFocusReason(TFocusReason Reason) {
  switch (Reason) {
    case frMouse: return Qt::MouseFocusReason;
    case frTab: return Qt::TabFocusReason;
    case frBacktab: return Qt::BacktabFocusReason;
    case frActiveWindow: return Qt::ActiveWindowFocusReason;
    default: return Qt::OtherFocusReason;
  }
}

namespace {

// A press in a window that is not active activates it before the press is handled, as a
// click does on Windows. The window manager's activation comes after the press here, so
// a control that takes the focus on its press would otherwise find itself unfocused and
// drop the click (the first click after a drop from another program).
void ActivateFormOf(const TControl* Control) {
  TCustomForm* Form = GetParentForm(Control);
  if (!Form || Form->Active() || !Form->Visible() || !Form->Enabled()) return;
  QWidget* Window = Form->Host();
  if (!Window->isWindow() || QApplication::activePopupWidget()) return;
  Window->activateWindow();
  QApplication::setActiveWindow(Window);
}

}  // namespace

bool TControl::HandleMouseEvent(QEvent* Event) {
  auto* E = static_cast<QMouseEvent*>(Event);
  const QPoint Pos = E->position().toPoint() - ToQPoint(ClientOffset());
  TShiftState Shift = ShiftOf(E->modifiers(), E->buttons());
  TMouseButton Button = mbLeft;
  const bool HasButton = ButtonOf(E->button(), Button);
  QEvent::Type Type = Event->type();
  if (Type == QEvent::MouseButtonDblClick && !(FControlStyle & csDoubleClicks)) Type = QEvent::MouseButtonPress;
  E->accept();
  switch (Type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      if (!HasButton) return true;
      ActivateFormOf(this);
      if (Button == mbLeft && (FControlStyle & csCaptureMouse)) CaptureControl = this;
      // Focus taken while the press is handled counts as taken by the mouse.
      TFocusReasonScope Reason(frMouse);
      if (Type == QEvent::MouseButtonDblClick) {
        if (Button == mbLeft && (FControlStyle & csClickEvents)) DblClick();
        MouseDown(Button, Shift | ssDouble, Pos.x(), Pos.y());
      } else {
        if (Button == mbLeft && (FControlStyle & csClickEvents)) FClicked = true;
        MouseDown(Button, Shift, Pos.x(), Pos.y());
      }
      return true;
    }
    case QEvent::MouseButtonRelease:
      if (!HasButton) return true;
      if (Button == mbLeft) {
        if (CaptureControl == this) CaptureControl = nullptr;
        if (FClicked) {
          FClicked = false;
          if (PtInRect(ClientRect(), {Pos.x(), Pos.y()})) Click();
        }
      }
      MouseUp(Button, Shift, Pos.x(), Pos.y());
      return true;
    default:
      MouseMove(Shift, Pos.x(), Pos.y());
      return true;
  }
}

bool TControl::HostEvent(QEvent* Event) {
  QWidget* W = Host();
  switch (Event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
      // A disabled widget passes its mouse on to its parent, as Qt does.
      if (!W->isEnabled()) return DefaultHostEvent(Event);
      return HandleMouseEvent(Event);
    case QEvent::Wheel:
      if (W->isEnabled() && HandleWheelEvent(static_cast<QWheelEvent*>(Event))) return true;
      return DefaultHostEvent(Event);
    case QEvent::ContextMenu:
      // Keyboard requests come from our own key handling (VK_APPS, Shift+F10), so that
      // every platform gives one.
      if (static_cast<QContextMenuEvent*>(Event)->reason() == QContextMenuEvent::Keyboard) return true;
      return HandleContextMenuEvent(static_cast<QContextMenuEvent*>(Event));
    case QEvent::Enter:
      Perform(CM_MOUSEENTER);
      return DefaultHostEvent(Event);
    case QEvent::Leave:
      Perform(CM_MOUSELEAVE);
      return DefaultHostEvent(Event);
    case QEvent::Show:
    case QEvent::Hide:
      DefaultHostEvent(Event);
      Perform(CM_SHOWINGCHANGED);
      return true;
    case QEvent::ToolTip:
      if (!FShowHint || (Application && !Application->ShowHint())) {
        Event->ignore();
        return true;
      }
      return DefaultHostEvent(Event);
    case QEvent::Paint:
      PaintHost(static_cast<QPaintEvent*>(Event));
      return true;
    default:
      return DefaultHostEvent(Event);
  }
}

bool TControl::DefaultHostEvent(QEvent* Event) { return FHost ? FHost->BaseEvent(Event) : false; }

bool TControl::HandleWheelEvent(QWheelEvent* E) {
  FWheelRest += E->angleDelta().y();
  const int32_t Delta = FWheelRest / 120 * 120;
  FWheelRest -= Delta;
  const QPoint Pos = E->position().toPoint() - ToQPoint(ClientOffset());
  if (Delta != 0 && !DoMouseWheel(ShiftOf(E->modifiers(), E->buttons()), Delta, {Pos.x(), Pos.y()})) return false;
  E->accept();
  return true;
}

bool TControl::HandleContextMenuEvent(QContextMenuEvent* E) {
  const bool Keyboard = E->reason() == QContextMenuEvent::Keyboard;
  const TPoint Pos = Keyboard ? TPoint{-1, -1} : FromQPoint(E->globalPos());
  if (Perform(WM_CONTEXTMENU, Pos.X, Pos.Y)) {
    E->accept();
    return true;
  }
  return DefaultHostEvent(E);
}

bool TControl::WMContextMenu(const TPoint& Pos) {
  const bool FromKeyboard = Pos.X == -1 && Pos.Y == -1;
  bool Handled = false;
  DoContextPopup(FromKeyboard ? Pos : ScreenToClient(Pos), Handled);
  if (Handled) return true;
  TPopupMenu* Menu = FPopupMenu;
  if (!Menu || !Menu->AutoPopup()) return false;
  const TPoint At = FromKeyboard ? ClientToScreen({0, 0}) : Pos;
  Menu->SetPopupComponent(this);
  Menu->Popup(At.X, At.Y);
  return true;
}

void TControl::DoContextPopup(const TPoint& MousePos, bool& Handled) {
  if (OnContextPopup) OnContextPopup(this, MousePos, Handled);
}

void TControl::Click() {
  if (OnClick)
    OnClick(this);
  else if (FActionLink)
    FActionLink->Execute(this);
}

void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}

bool TControl::DoMouseWheel(TShiftState Shift, int32_t WheelDelta, TPoint MousePos) {
  bool Handled = false;
  if (OnMouseWheel) OnMouseWheel(this, Shift, WheelDelta, MousePos, Handled);
  return Handled;
}

bool TControl::MouseCapture() const { return CaptureControl == this; }

void TControl::SetMouseCapture(bool Value) {
  QWidget* W = Host();
  if (Value) {
    CaptureControl = this;
    // While a button is held Qt's implicit grab already sends everything here.
    if (W && QGuiApplication::mouseButtons() == Qt::NoButton) W->grabMouse();
  } else {
    if (CaptureControl == this) CaptureControl = nullptr;
    if (W && QWidget::mouseGrabber() == W) W->releaseMouse();
  }
}

TControl* GetCaptureControl() { return CaptureControl; }

TControl* FindDragTarget(const TPoint& Pos, bool AllowDisabled) {
  TControl* C = IControlHost::ControlOf(QApplication::widgetAt(ToQPoint(Pos)));
  while (C && !AllowDisabled && !C->Enabled()) C = C->Parent();
  return C;
}

// ---------------------------------------------------------------------------
// Helpers

TCustomForm* GetParentForm(const TControl* Control) {
  if (!Control) return nullptr;
  while (Control->Parent()) Control = Control->Parent();
  return dynamic_cast<TCustomForm*>(const_cast<TControl*>(Control));
}

bool IsAccel(char32_t Char, const std::string& Caption) {
  const std::u32string S = ToQString(Caption).toStdU32String();
  for (size_t I = 0; I + 1 < S.size(); ++I) {
    if (S[I] != U'&') continue;
    if (S[I + 1] == U'&') {
      ++I;
      continue;
    }
    return QChar::toUpper(S[I + 1]) == QChar::toUpper(Char);
  }
  return false;
}

std::string GetShortHint(const std::string& Hint) {
  const size_t Bar = Hint.find('|');
  return Bar == std::string::npos ? Hint : Hint.substr(0, Bar);
}

std::string GetLongHint(const std::string& Hint) {
  const size_t Bar = Hint.find('|');
  return Bar == std::string::npos ? Hint : Hint.substr(Bar + 1);
}

TControl* FindControl(const TComponent* Root, const std::string& Name) {
  if (!Root) return nullptr;
  if (auto* C = dynamic_cast<const TControl*>(Root); C && Root->Name() == Name) return const_cast<TControl*>(C);
  for (int32_t I = 0; I < Root->ComponentCount(); ++I)
    if (TControl* Found = FindControl(Root->Components(I), Name)) return Found;
  return nullptr;
}

// ---------------------------------------------------------------------------
// TGraphicControl

namespace {

// Binds Canvas to Image with Clip (Image's pixels) and the logical (0, 0) at Origin for
// the time of one paint.
class TPaintBinding {
public:
  TPaintBinding(TCanvas* Canvas, QImage& Image, const TRegion& Clip, const TPoint& Origin) : FCanvas(Canvas) {
    FCanvas->SetImage(&Image);
    FCanvas->SelectClipRgn(&Clip);
    if (Origin.X != 0 || Origin.Y != 0) FCanvas->SetViewportOrg(Origin.X, Origin.Y);
  }
  ~TPaintBinding() { FCanvas->SetImage(nullptr); }
  TPaintBinding(const TPaintBinding&) = delete;
  TPaintBinding& operator=(const TPaintBinding&) = delete;

private:
  TCanvas* FCanvas;
};

}  // namespace

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner), FCanvas(std::make_unique<TCanvas>()) {}
TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::PaintControl(QImage& Image, const TRegion& Clip, const TPoint& Origin) {
  TPaintBinding Binding(FCanvas.get(), Image, Clip, Origin);
  Paint();
}

// ---------------------------------------------------------------------------
// TWinControl painting and TCustomControl (the rest of TWinControl is in WinControls.cpp)

void TWinControl::PaintControl(QImage& Image, const TRegion& Clip, const TPoint& Origin) {
  const TPoint O = ClientOffset();
  const TPoint ClientOrigin{Origin.X + O.X, Origin.Y + O.Y};
  {
    TCanvas Eraser;
    TPaintBinding Binding(&Eraser, Image, Clip, ClientOrigin);
    WMEraseBkgnd(&Eraser);
  }
  TCanvas Local;
  TCanvas* C = PaintCanvas() ? PaintCanvas() : &Local;
  TPaintBinding Binding(C, Image, Clip, ClientOrigin);
  PaintWindow(C);
}

void TWinControl::WMEraseBkgnd(TCanvas* Canvas) {
  Canvas->Brush()->SetColor(Color());
  Canvas->Brush()->SetStyle(bsSolid);
  Canvas->FillRect(ClientRect());
}

void TWinControl::PaintChildParts(QImage& Buffer, const TRect& Own) {
  const TPoint O = ClientOffset();
  for (int32_t I = 0; I < ControlCount(); ++I) {
    TControl* C = Controls(I);
    if (!C->Visible()) continue;
    // Own in the child's coordinates; the child is placed where it lies in Buffer.
    const int32_t CX = C->Left() + O.X, CY = C->Top() + O.Y;
    TRect Piece = Own;
    OffsetRect(Piece, -CX, -CY);
    C->PaintPart(Buffer, CX - Own.Left, CY - Own.Top, Piece);
  }
}

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner), FCanvas(std::make_unique<TCanvas>()) {}
TCustomControl::TCustomControl(TComponent* AOwner, IControlHost* AHost)
    : TWinControl(AOwner, AHost), FCanvas(std::make_unique<TCanvas>()) {}
TCustomControl::~TCustomControl() = default;

void TCustomControl::PaintWindow(TCanvas*) { Paint(); }
